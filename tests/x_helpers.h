// Reading widgets as a person at the screen sees them, for the test programs
// that build the real windows (gui_tests and sending_x_tests).
#pragma once

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <string>

// The text of a text field or text widget as Latin-1 bytes (0x1A for any other
// character).
std::string textOf(Widget text);
// An XmString resource of `w` (its label unless named otherwise) as plain text.
std::string labelOf(Widget w, const char* resource = XmNlabelString);
