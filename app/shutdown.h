// The way out: QRT (Ctrl-Q) and SIGINT, SIGQUIT or SIGTERM save the state file
// and end with status 0; the server releases the PTT line at any exit.
#pragma once

#include <X11/Intrinsic.h>

struct MainWindow;

// Keeps the positions of the closed secondary windows of `mw`, saves the state
// file and exits 0.
[[noreturn]] void quitProgram(const MainWindow* mw);

// Activate handler of "QRT"; saves the state file and exits 0. Never returns.
// The client data is the MainWindow record, whose closed secondary windows'
// positions are kept.
[[noreturn]] void quitCB(Widget w, XtPointer window, XtPointer callData);

// Installed for SIGINT, SIGQUIT and SIGTERM by installSignalHandlers.
void signalHandler(int signalNumber);

// Installs signalHandler and the main-loop side of the hand-over: the handler
// only notes the signal, and the quit sequence runs on the toolkit's thread
// with `window` as quitCB's client data.
void installSignalHandlers(XtAppContext app, XtPointer window);
