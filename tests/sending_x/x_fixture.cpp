// gtest before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "sending_x/x_fixture.h"

#include <Xm/PushB.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/Xm.h>

#include <chrono>
#include <string>
#include <cstdlib>

#include "app/console_services.h"
#include "app/resources.h"
#include "app/startup.h"
#include "gui/main_window.h"
#include "gui/scope.h"

MainWindow mainWindow;

namespace xtest {

namespace {

XtAppContext context = nullptr;
bool attempted = false;

// Root coordinates of the middle of `w`, as "x y".
std::string middleOf(Widget w) {
    Dimension width = 0;
    Dimension height = 0;
    Position x = 0;
    Position y = 0;
    XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, XmNx, &x, XmNy, &y, nullptr);
    // A gadget draws in its parent's window, at its own position there.
    Widget windowed = XmIsGadget(w) ? XtParent(w) : w;
    if (!XmIsGadget(w)) x = y = 0;
    Position rootX = 0;
    Position rootY = 0;
    XtTranslateCoords(windowed, static_cast<Position>(x + width / 2),
                      static_cast<Position>(y + height / 2), &rootX, &rootY);
    return std::to_string(rootX) + " " + std::to_string(rootY);
}

}  // namespace

bool setUpApplication() {
    if (attempted) return context != nullptr;
    attempted = true;
    if (std::getenv("DISPLAY") == nullptr) return false;
    // The source tree's resource file is the user defaults file: the real
    // translations, names and states, as installed.
    setenv("XUSERFILESEARCHPATH", VORDA_SOURCE_DATA_DIR "/%N", 1);
    XtToolkitInitialize();
    context = XtCreateApplicationContext();
    int argc = 1;
    char name[] = "vorda";
    char* argv[] = {name, nullptr};
    Display* display = XtOpenDisplay(context, nullptr, "vorda", "Vorda", nullptr, 0, &argc, argv);
    if (display == nullptr) {
        context = nullptr;
        return false;
    }
    ::topLevel = XtVaAppCreateShell("vorda", "Vorda", applicationShellWidgetClass, display,
                                    nullptr);
    getAppResources(::topLevel, &appResources);
    createMainWindow(&mainWindow, ::topLevel, &appResources, consoleServices());
    scope_init(&mainWindow.scope, ::topLevel, mainWindow.scope.drawingArea);  // as start-up does
    XtRealizeWidget(::topLevel);
    settle();
    return true;
}

XtAppContext app() { return context; }
Widget topLevel() { return ::topLevel; }

bool pumpUntil(const std::function<bool()>& done, int milliseconds) {
    return ::pumpUntil(context, done, milliseconds);
}

void settle() { ::settle(context, XtDisplay(::topLevel)); }

void pressKey(Widget w, unsigned long keysym, unsigned state) {
    XEvent e = keyEvent(w, keysym, state);
    XtDispatchEvent(&e);
    e.type = KeyRelease;
    XtDispatchEvent(&e);
}

void serverKeys(Widget w, const char* keys) {
    Display* d = XtDisplay(w);
    Widget shell = w;
    while (!XtIsShell(shell)) shell = XtParent(shell);
    // With the pointer over the widget, keys grabbed by an ancestor (the menu
    // accelerators) reach it as they do for a person working in the window.
    XRaiseWindow(d, XtWindow(shell));  // windows without a manager overlap
    XSync(d, False);
    if (std::system(("xdotool mousemove " + middleOf(w)).c_str()) != 0) ADD_FAILURE();
    // As a window manager would: the X focus on the shell, and the toolkit's own
    // keyboard focus on the widget inside it, both settled before the keys come.
    XSetInputFocus(d, XtWindow(shell), RevertToParent, CurrentTime);
    settle();
    XmProcessTraversal(w, XmTRAVERSE_CURRENT);
    if (!pumpUntil([&] { return XmGetFocusWidget(w) == w; }, 1000)) ADD_FAILURE() << "no focus";
    settle();
    const std::string command = std::string("xdotool key ") + keys;
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
    settle();
}

void serverClick(Widget w) {
    Widget shell = w;
    while (!XtIsShell(shell)) shell = XtParent(shell);
    XRaiseWindow(XtDisplay(shell), XtWindow(shell));  // windows without a manager overlap
    XSync(XtDisplayOfObject(w), False);
    const std::string command = "xdotool mousemove " + middleOf(w) + " click 1";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
    settle();
}

void typeInto(Widget field, const std::string& text) {
    for (char c : text) {
        callAction(field, "self-insert", static_cast<unsigned char>(c),
                   (c >= 'A' && c <= 'Z') ? ShiftMask : 0);
    }
}

void closeByWindowManager(Widget shell) {
    Display* d = XtDisplay(shell);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.display = d;
    e.xclient.window = XtWindow(shell);
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XtDispatchEvent(&e);
}

}  // namespace xtest
