// The help window under a real X server: the Help menu items, the About box, and
// the search as the operator sees it (shown sections, highlights, the not-found
// box and the Find Again button).
#include <gtest/gtest.h>

#include <Xm/MessageB.h>
#include <Xm/PushB.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/TextP.h>
#include <Xm/Xm.h>
#include <X11/keysym.h>

#include <string>
#include <utility>
#include <vector>

#include "gui/help.h"
#include "gui/help_search.h"
#include "gui/help_text.h"
#include "gui/main_window.h"
#include "sending_x/x_fixture.h"

namespace {

using Range = std::pair<int, int>;

int sectionShowing(const std::string& text) {
    for (int i = kHelpFirstSection; i <= kHelpLastSection; ++i) {
        if (text == helpTexts()[i]) return i;
    }
    return -1;
}

int occurrences(int section, const std::string& word) {
    int n = 0;
    for (int at = help_find_text(helpTexts()[section], 0, word); at >= 0;
         at = help_find_text(helpTexts()[section], at + 1, word)) {
        ++n;
    }
    return n;
}

class HelpWindowTest : public ::testing::Test {
protected:
    std::vector<int> shown;  // sections put into the help text, in order

    void SetUp() override {
        if (!xtest::setUpApplication()) GTEST_SKIP() << "no X display";
        openItem(1);  // builds the window
        XtAddCallback(helpWindow().helpTxt, XmNvalueChangedCallback, recordShown, &shown);
    }

    void TearDown() override {
        if (helpWindow().helpTxt == nullptr) return;
        XtRemoveCallback(helpWindow().helpTxt, XmNvalueChangedCallback, recordShown, &shown);
        // Leave no window over the main window for the tests that follow, and the
        // help window closed as the operator closes it (which also ends a search).
        for (Widget w : {helpWindow().noMatchError, helpWindow().findPrompt, helpWindow().aboutDiag}) {
            if (w != nullptr) XtUnmanageChild(w);
        }
        if (XtIsManaged(helpWindow().helpDiag)) press(helpWindow().close);
        xtest::settle();
    }

    static void recordShown(Widget w, XtPointer client, XtPointer) {
        static_cast<std::vector<int>*>(client)->push_back(sectionShowing(textOf(w)));
    }

    // Chooses an item of the Help menu, as the menu does.
    void openItem(int index) {
        Widget item = XtNameToWidget(mainWindow.helpMenu, ("button_" + std::to_string(index)).c_str());
        ASSERT_NE(item, nullptr);
        XmPushButtonCallbackStruct cbs{};
        cbs.reason = XmCR_ACTIVATE;
        XtCallCallbacks(item, XmNactivateCallback, &cbs);
        xtest::settle();
    }

    int section() { return sectionShowing(textOf(helpWindow().helpTxt)); }

    // Find, the string, then This Section (Enter) or All Sections.
    void find(const std::string& what, bool allSections) {
        press(helpWindow().find);
        xtest::settle();
        Widget prompt = helpWindow().findPrompt;
        ASSERT_NE(prompt, nullptr);
        ASSERT_TRUE(XtIsManaged(prompt));
        Widget field = XmSelectionBoxGetChild(prompt, XmDIALOG_TEXT);
        XmTextFieldSetString(field, const_cast<char*>(what.c_str()));
        if (allSections) {
            press(XmSelectionBoxGetChild(prompt, XmDIALOG_APPLY_BUTTON));
        } else {
            callAction(field, "activate", XK_Return);
        }
        xtest::settle();
        EXPECT_FALSE(XtIsManaged(prompt));
    }

    void findAgain() {
        ASSERT_TRUE(XtIsSensitive(helpWindow().findAgain));
        press(helpWindow().findAgain);
        xtest::settle();
    }

    // The ranges of the help text shown in the selected highlight.
    std::vector<Range> highlighted() {
        auto* tw = reinterpret_cast<XmTextWidget>(helpWindow().helpTxt);
        const _XmHighlightData& h = tw->text.highlight;
        std::vector<Range> ranges;
        for (Cardinal i = 0; i < h.number; ++i) {
            if (h.list[i].mode != XmHIGHLIGHT_SELECTED) continue;
            const int end = i + 1 < h.number ? static_cast<int>(h.list[i + 1].position)
                                             : static_cast<int>(XmTextGetLastPosition(
                                                   helpWindow().helpTxt));
            ranges.emplace_back(static_cast<int>(h.list[i].position), end);
        }
        return ranges;
    }

    bool notFoundShown() {
        return helpWindow().noMatchError != nullptr && XtIsManaged(helpWindow().noMatchError);
    }

    void dismissNotFound() {
        press(XmMessageBoxGetChild(helpWindow().noMatchError, XmDIALOG_OK_BUTTON));
        xtest::settle();
        EXPECT_FALSE(notFoundShown());
    }
};

}  // namespace

TEST_F(HelpWindowTest, MenuItemsShowAboutAndEachSection) {
    openItem(0);
    ASSERT_NE(helpWindow().aboutDiag, nullptr);
    EXPECT_TRUE(XtIsManaged(helpWindow().aboutDiag));
    char* title = nullptr;
    XtVaGetValues(XtParent(helpWindow().aboutDiag), XmNtitle, &title, nullptr);
    EXPECT_STREQ(title, "ABOUT VORDA");
    EXPECT_EQ(labelOf(helpWindow().aboutDiag, XmNmessageString).rfind("vorda 0.1.0", 0), 0u);
    XmString message = nullptr;
    XtVaGetValues(helpWindow().aboutDiag, XmNmessageString, &message, nullptr);
    EXPECT_EQ(XmStringLineCount(message), 8);  // the newlines break the lines
    XmStringFree(message);
    EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(helpWindow().aboutDiag, XmDIALOG_CANCEL_BUTTON)));
    press(XmMessageBoxGetChild(helpWindow().aboutDiag, XmDIALOG_OK_BUTTON));
    xtest::settle();
    EXPECT_FALSE(XtIsManaged(helpWindow().aboutDiag));

    for (int i = kHelpFirstSection; i <= kHelpLastSection; ++i) {
        openItem(i);
        EXPECT_TRUE(XtIsManaged(helpWindow().helpDiag));
        EXPECT_EQ(labelOf(helpWindow().topicLabel, XmNlabelString), helpTitles()[i]);
        EXPECT_EQ(section(), i);
    }
    XtVaGetValues(XtParent(helpWindow().helpDiag), XmNtitle, &title, nullptr);
    EXPECT_STREQ(title, "VORDA HELP");
    // The prose wraps at the window's width: no sideways scrolling.
    Widget sideways = nullptr;
    XtVaGetValues(XtParent(helpWindow().helpTxt), XmNhorizontalScrollBar, &sideways, nullptr);
    EXPECT_TRUE(sideways == nullptr || !XtIsManaged(sideways));

    press(helpWindow().close);
    xtest::settle();
    EXPECT_FALSE(XtIsManaged(helpWindow().helpDiag));
}

TEST_F(HelpWindowTest, ThisSectionTwiceThenNotFound) {
    ASSERT_EQ(occurrences(2, "qrt"), 2);  // "QRT" twice in capitals in Menu Bar
    openItem(2);
    EXPECT_FALSE(XtIsSensitive(helpWindow().findAgain));
    find("qrt", false);
    const int first = help_find_text(helpTexts()[2], 0, "qrt");
    const int second = help_find_text(helpTexts()[2], first + 1, "qrt");
    EXPECT_EQ(highlighted(), (std::vector<Range>{{first, first + 3}}));
    findAgain();
    EXPECT_EQ(highlighted(), (std::vector<Range>{{first, first + 3}, {second, second + 3}}));
    EXPECT_FALSE(notFoundShown());
    findAgain();
    EXPECT_TRUE(notFoundShown());
    EXPECT_FALSE(XtIsSensitive(helpWindow().findAgain));
    EXPECT_EQ(section(), 2);
    dismissNotFound();

    // The next Find removes the old highlights.
    find("menu", false);
    EXPECT_EQ(highlighted().size(), 1u);
}

TEST_F(HelpWindowTest, AllSectionsWalkStopsOnTheStartSection) {
    for (int i = kHelpFirstSection; i <= kHelpLastSection; ++i) {
        ASSERT_EQ(occurrences(i, "forgets"), i == 3 ? 1 : 0) << i;
    }
    openItem(5);
    shown.clear();
    find("FORGETS", true);
    EXPECT_EQ(shown, (std::vector<int>{6, 7, 8, 9, 10, 1, 2, 3}));
    EXPECT_EQ(labelOf(helpWindow().topicLabel, XmNlabelString), "Help Windows");
    const int at = help_find_text(helpTexts()[3], 0, "forgets");
    EXPECT_EQ(highlighted(), (std::vector<Range>{{at, at + 7}}));
    EXPECT_FALSE(notFoundShown());

    shown.clear();
    findAgain();
    EXPECT_EQ(shown, (std::vector<int>{4, 5}));
    EXPECT_TRUE(notFoundShown());
    EXPECT_EQ(labelOf(helpWindow().topicLabel, XmNlabelString), "Tuning");
    dismissNotFound();

    // A string that is nowhere: the whole round, back on the first section.
    openItem(1);
    shown.clear();
    find("no such words here", true);
    EXPECT_EQ(shown.size(), 10u);
    EXPECT_EQ(section(), 1);
    EXPECT_TRUE(notFoundShown());
    dismissNotFound();
}

TEST_F(HelpWindowTest, LongStringIsCutAndFindAgainAfterOpeningFindsNothing) {
    const std::string text = helpTexts()[4];
    const std::string forty = text.substr(100, 40);
    ASSERT_EQ(occurrences(4, forty), 1);
    openItem(4);
    find(forty + "xyzzy", false);  // only the first 40 characters are searched for
    EXPECT_FALSE(notFoundShown());
    EXPECT_EQ(highlighted(), (std::vector<Range>{{100, 140}}));

    openItem(6);  // empties the search string
    findAgain();
    EXPECT_TRUE(highlighted().empty());
    EXPECT_FALSE(notFoundShown());
    EXPECT_EQ(section(), 6);
}
