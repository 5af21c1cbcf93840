// The help window's search model: case-insensitive matching, Find Again, the
// all-sections walk that stops on its start section, and the 40-character cut.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui/help_search.h"
#include "gui/help_text.h"

namespace {

// Section 3 alone holds "needle"; section 5 holds "Twice" twice.
const char* const kTexts[11] = {
    "",          "one",          "two",          "the needle is here", "four",
    "TWICE and TWICE", "six",  "seven",        "eight",              "nine",
    "ten",
};

void record(int section, void* context) {
    static_cast<std::vector<int>*>(context)->push_back(section);
}

}  // namespace

TEST(HelpFindText, CaseInsensitiveFromPosition) {
    EXPECT_EQ(help_find_text("Hello World", 0, "world"), 6);
    EXPECT_EQ(help_find_text("Hello World", 7, "world"), -1);
    EXPECT_EQ(help_find_text("aAa", 1, "A"), 1);
    EXPECT_EQ(help_find_text("abc", 0, "abcd"), -1);
    EXPECT_EQ(help_find_text("abc", 2, ""), 2);   // empty: at the position itself
    EXPECT_EQ(help_find_text("abc", 3, ""), 3);
    EXPECT_EQ(help_find_text("abc", 4, ""), -1);  // beyond a shorter section
    EXPECT_EQ(help_find_text("x\xC9y", 0, "\xC9"), 1);  // bytes above 127 compare too
}

TEST(HelpSearch, ThisSectionTwiceThenNotFound) {
    help_search s;
    help_open_section(s, 5);
    help_new_search(s, kSearchThisSection, "twice");
    auto m = help_find(s, kTexts, nullptr, nullptr);
    EXPECT_TRUE(m.found);
    EXPECT_EQ(m.offset, 0);
    EXPECT_EQ(m.length, 5);
    m = help_find(s, kTexts, nullptr, nullptr);  // Find Again
    EXPECT_TRUE(m.found);
    EXPECT_EQ(m.offset, 10);
    m = help_find(s, kTexts, nullptr, nullptr);
    EXPECT_FALSE(m.found);
    EXPECT_EQ(m.section, 5);
    EXPECT_EQ(s.position, 0);
}

TEST(HelpSearch, AllSectionsWalkStopsOnStartSection) {
    help_search s;
    std::vector<int> shown;
    help_open_section(s, 5);
    help_new_search(s, kSearchAllSections, "NEEDLE");
    auto m = help_find(s, kTexts, record, &shown);
    EXPECT_TRUE(m.found);
    EXPECT_EQ(m.section, 3);
    EXPECT_EQ(m.offset, 4);
    EXPECT_EQ(shown, (std::vector<int>{6, 7, 8, 9, 10, 1, 2, 3}));

    shown.clear();
    m = help_find(s, kTexts, record, &shown);  // Find Again goes on through 4 to 5
    EXPECT_FALSE(m.found);
    EXPECT_EQ(m.section, 5);
    EXPECT_EQ(shown, (std::vector<int>{4, 5}));

    // Nowhere: the whole round from section 1 back to section 1.
    shown.clear();
    help_open_section(s, 1);
    help_new_search(s, kSearchAllSections, "absent");
    m = help_find(s, kTexts, record, &shown);
    EXPECT_FALSE(m.found);
    EXPECT_EQ(s.current_section, 1);
    EXPECT_EQ(shown.size(), 10u);
    EXPECT_EQ(shown.back(), 1);
}

TEST(HelpSearch, CutAndEmptySearchAfterOpeningASection) {
    help_search s;
    help_open_section(s, 2);
    help_new_search(s, kSearchThisSection, std::string(45, 'x'));
    EXPECT_EQ(s.search, std::string(40, 'x'));

    // Opening another section keeps mode, position and start but empties the string:
    // Find Again then matches nothing visible.
    help_open_section(s, 3);
    help_new_search(s, kSearchAllSections, "needle");
    ASSERT_TRUE(help_find(s, kTexts, nullptr, nullptr).found);
    help_open_section(s, 4);
    EXPECT_EQ(s.mode, kSearchAllSections);
    EXPECT_EQ(s.position, 10);
    EXPECT_EQ(s.start_section, 3);
    auto m = help_find(s, kTexts, nullptr, nullptr);
    EXPECT_TRUE(m.found);
    EXPECT_EQ(m.length, 0);
}

TEST(HelpText, ElevenTitlesAndTenRealSections) {
    const char* expected[] = {"About",       "Introduction",      "Menu Bar",
                              "Help Windows", "Main Window",      "Tuning",
                              "Secondary Windows", "Sending Files", "Macros",
                              "Resources",   "Accelerator Keys"};
    for (int i = 0; i < kHelpSections; ++i) EXPECT_STREQ(helpTitles()[i], expected[i]);
    for (int i = kHelpFirstSection; i <= kHelpLastSection; ++i) {
        EXPECT_GT(std::strlen(helpTexts()[i]), 1000u) << helpTitles()[i];
    }
    EXPECT_EQ(std::strncmp(aboutText(), "vorda ", 6), 0);
}

TEST(HelpText, AcceleratorSectionListsEveryKey) {
    const char* keys[] = {"Ctrl-1", "Ctrl-9", "Ctrl-X", "Ctrl-R", "Ctrl-T", "Ctrl-B",
                          "Ctrl-M", "Ctrl-N", "Ctrl-S", "Ctrl-W", "Ctrl-F", "Ctrl-V",
                          "Ctrl-U", "Ctrl-D", "Ctrl-H", "Ctrl-O", "Ctrl-L", "Ctrl-K", "Ctrl-A", "Ctrl-C",
                          "Ctrl-Q", "Shift-Alt-o", "Shift-Alt-h"};
    for (const char* k : keys) {
        EXPECT_NE(std::strstr(helpTexts()[10], k), nullptr) << k;
    }
}
