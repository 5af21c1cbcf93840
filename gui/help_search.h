// Search in the help sections, free of X: the help window only displays what
// this model decides (which section is shown, what is highlighted, and when
// "String Not Found" comes up).
#pragma once

#include <string>

constexpr int kHelpFirstSection = 1;   // section 0 is the About placeholder
constexpr int kHelpLastSection = 10;
constexpr int kHelpSearchMax = 40;     // characters kept of a search string

enum help_search_mode { kSearchAgain = 0, kSearchThisSection = 1, kSearchAllSections = 2 };

struct help_search {
    int current_section = kHelpFirstSection;  // the section shown, 1 to 10
    std::string search;                       // at most 40 characters
    int mode = kSearchThisSection;            // kept for Find Again
    int position = 0;                         // offset where the next search starts
    int start_section = kHelpFirstSection;    // where the last new search began
};

struct help_match {
    bool found = false;
    int section = 0;  // the section shown when the search ended
    int offset = 0;   // of the match in that section's text
    int length = 0;   // 0 for an empty search string
};

// Offset of the first case-insensitive occurrence of `needle` in `text` at or after
// `from`, or -1. An empty needle matches at `from` itself (when `from` lies within
// the text).
int help_find_text(const char* text, int from, const std::string& needle);

// A section opened from the Help menu: it is shown and the search string is
// emptied; mode, position and start section stay.
void help_open_section(help_search& s, int section);

// Starts a new search from what was typed into the find prompt (cut to 40
// characters) in mode 1 (this section) or 2 (all sections).
void help_new_search(help_search& s, int mode, const std::string& typed);

// Called whenever an all-sections search moves the window on to another section.
using help_show_fn = void (*)(int section, void* context);

// Runs the search from the current position in `texts` (indexed by section). In
// all-sections mode every section moved to is passed to `show` in turn; the walk
// stops with no match when it comes back to the start section.
help_match help_find(help_search& s, const char* const* texts, help_show_fn show,
                     void* context);
