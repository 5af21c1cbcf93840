// The manual compiled into the program: the About text and ten help sections.
#pragma once

constexpr int kHelpSections = 11;  // entry 0, "About", is a placeholder

// Titles and texts of the kHelpSections sections.
const char* const* helpTitles();
const char* const* helpTexts();

// The About box's message: name and version on the first line, then credits.
const char* aboutText();
