#include "gui/help_search.h"

#include <cctype>
#include <cstring>

namespace {

bool equal_ignoring_case(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

int next_section(int section) {
    return section >= kHelpLastSection ? kHelpFirstSection : section + 1;
}

}  // namespace

int help_find_text(const char* text, int from, const std::string& needle) {
    const int length = static_cast<int>(std::strlen(text));
    if (from < 0 || from > length) return -1;
    const int n = static_cast<int>(needle.size());
    for (int i = from; i + n <= length; ++i) {
        int k = 0;
        while (k < n && equal_ignoring_case(text[i + k], needle[k])) ++k;
        if (k == n) return i;
    }
    return -1;
}

void help_open_section(help_search& s, int section) {
    s.current_section = section;
    s.search.clear();
}

void help_new_search(help_search& s, int mode, const std::string& typed) {
    s.mode = mode;
    s.position = 0;
    s.start_section = s.current_section;
    s.search = typed.substr(0, kHelpSearchMax);
}

help_match help_find(help_search& s, const char* const* texts, help_show_fn show,
                     void* context) {
    help_match m;
    // Every section is visited at most once before the walk is back where it began.
    for (int visited = 0; visited <= kHelpLastSection; ++visited) {
        const int at = help_find_text(texts[s.current_section], s.position, s.search);
        if (at >= 0) {
            m.found = true;
            m.section = s.current_section;
            m.offset = at;
            m.length = static_cast<int>(s.search.size());
            s.position = at + m.length;
            return m;
        }
        s.position = 0;
        if (s.mode != kSearchAllSections) break;
        s.current_section = next_section(s.current_section);
        if (show) show(s.current_section, context);
        if (s.current_section == s.start_section) break;
    }
    m.section = s.current_section;
    return m;
}
