// A real X connection (Xvfb under the test harness) with the main window built
// from the source tree's resource file, a stand-in server, and helpers that act
// on widgets the way the toolkit does for a person at the keyboard.
#pragma once

#include <X11/Intrinsic.h>

#include <functional>
#include <string>

#include "gui/main_window.h"
#include "x_helpers.h"

// The window the tests build, as app/main.cpp builds its own.
extern MainWindow mainWindow;

namespace xtest {

// Opens the display and builds the main window once per test program. Returns
// false (and the tests skip) when no display is available.
bool setUpApplication();

XtAppContext app();
Widget topLevel();

// Runs the event loop, work procedures included, until `done` holds or the time
// is up; returns whether it held.
bool pumpUntil(const std::function<bool()>& done, int milliseconds = 3000);
// Runs the loop until pending work and events are finished (see ::settle).
void settle();

// Dispatches a key press to `w`'s window as if typed there.
void pressKey(Widget w, unsigned long keysym, unsigned state);
// Presses keys through the X server (xdotool, e.g. "ctrl+1") with the keyboard
// focus on `w`'s window, the way a person's keystrokes arrive, grabs included.
void serverKeys(Widget w, const char* keys);
// Clicks mouse button 1 on the middle of `w` through the X server.
void serverClick(Widget w);
// Types `text` into a text field character by character.
void typeInto(Widget field, const std::string& text);

// Asks the window manager's way for the shell to close (WM_DELETE_WINDOW).
void closeByWindowManager(Widget shell);

}  // namespace xtest
