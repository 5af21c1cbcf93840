// The manual compiled into the program: the About text and ten help sections.
#pragma once

constexpr int kHelpSections = 11;  // entry 0, "About", is a placeholder

extern const char* const kHelpTitles[kHelpSections];
extern const char* const kHelpTexts[kHelpSections];

// The About box's message: name and version on the first line, then credits.
extern const char* const kAboutText;
