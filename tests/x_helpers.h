// Reading widgets as a person at the screen sees them, for the test programs
// that build the real windows (gui_tests and sending_x_tests).
#pragma once

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <functional>
#include <string>

// Runs the event loop, work procedures included, until `done` holds or the time
// is up; returns whether it held.
bool pumpUntil(XtAppContext app, const std::function<bool()>& done, int milliseconds = 3000);
// Runs the loop until three round trips to the X server in a row bring no event,
// work procedures and due timers served in between; two seconds at the most.
void settle(XtAppContext app, Display* display);

// The text of a text field or text widget as Latin-1 bytes (0x1A for any other
// character).
std::string textOf(Widget text);
Pixel backgroundOf(Widget w);
Pixel foregroundOf(Widget w);

// A key press on `w`'s window for `keysym` (none for 0) with modifier `state`.
XEvent keyEvent(Widget w, unsigned long keysym, unsigned state = 0);
// Calls an action of `w` with such a key event, as its translation for the key would.
void callAction(Widget w, const char* action, unsigned long keysym = 0, unsigned state = 0,
                String* params = nullptr, Cardinal count = 0);
// A press of button 1 on `w`'s window (its parent's for a gadget), with `state`.
XEvent buttonEvent(Widget w, unsigned state = 0);
// Presses a push button (arm and activate; a gadget's parent calls its callbacks).
void press(Widget button);

// Calls the focus callbacks (XmCR_FOCUS) or the losing-focus ones of a text field.
void callFocusCallbacks(Widget field, int reason);

// An XmString resource of `w` (its label unless named otherwise) as plain text.
std::string labelOf(Widget w, const char* resource = XmNlabelString);
