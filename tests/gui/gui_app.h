// The application under test: the real resource file, the real window code and
// the stand-in server of tests/fakes, on the X display of $DISPLAY (Xvfb).
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

#include "app/console_services.h"
#include "app/resources.h"
#include "app/startup.h"
#include "gui/main_window.h"
#include "x_helpers.h"

// The window the tests build, once per process, as app/main.cpp builds its own.
extern MainWindow mainWindow;

// Builds the main window once per process with the installed resource file
// and returns the application context.
XtAppContext guiApp();

// The server commands the first build sent, in order.
#include "fakes/server_fake.h"
extern std::vector<FakeCommand> buildCommands;
// The application resources as the first build left them; resetPanes restores them.
extern AppResources builtResources;

// Handles every pending event, then waits briefly for more, until quiet.
void settle();

// A second main window on a display connection of its own, whose resource
// database is the resource file plus `xrm` lines (instance name "vorda-test").
// Used for builds with other resources or services; its handlers serve `mw`,
// which must outlive the returned shell.
Widget buildSecondWindow(const std::vector<std::string>& xrm, MainWindow* mw,
                         AppResources* resources,
                         const ConsoleServices& services = consoleServices());

// A plain top-level shell on the first display, for panes and drawing areas
// that tests build themselves.
Widget testShell(const char* name);

// The highlight mode of a text widget at a position.
int highlightAt(Widget text, long position);

// Every secondary decoder slot as after start-up (never opened): a window a test
// built for a slot is destroyed, stand-ins a test put in a record are forgotten.
void resetSecondaryDecoders();

// Clears both panes and every option the handlers read (the application
// resources and the mode toggles as built), and forgets what the fake server
// recorded.
void resetPanes();
