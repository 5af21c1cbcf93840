#include <gtest/gtest.h>

#include "gui_app.h"

#include <Xm/TextP.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iterator>

#include "app/console_services.h"
#include "app/startup.h"
#include "fakes/server_fake.h"
#include "gui/icon.h"
#include "gui/scope.h"
#include "gui/secondary.h"
#include "gui/text_panes.h"

MainWindow mainWindow;

namespace {

XtAppContext appContext = nullptr;
char programName[] = "vorda-test";

// The mode and option toggles, and how the first build set them.
Widget* toggleSlots[] = {&mainWindow.controls.qpskTB,       &mainWindow.controls.lsbTB,
                         &mainWindow.controls.rxFreq.toggle, &mainWindow.controls.txFreq.toggle,
                         &mainWindow.controls.cwIdTB,        &mainWindow.controls.dcdTB};
bool builtToggles[std::size(toggleSlots)];

void useSourceResourceFile() {
    // The resource file as installed, and nothing from the user's environment.
    setenv("XFILESEARCHPATH", VORDA_SOURCE_DATA_DIR "/%N", 1);
    setenv("XUSERFILESEARCHPATH", "/nonexistent/%N", 1);
    unsetenv("XENVIRONMENT");
    unsetenv("XAPPLRESDIR");
}

}  // namespace

std::vector<FakeCommand> buildCommands;
AppResources builtResources{};

XtAppContext guiApp() {
    if (appContext != nullptr) return appContext;
    useSourceResourceFile();
    if (std::getenv("DISPLAY") == nullptr) {
        ADD_FAILURE() << "no DISPLAY: run under tests/with-services.sh";
        std::exit(1);
    }
    useCharacterLocale();  // as the program does before the toolkit starts
    int argc = 1;
    char* argv[] = {programName, nullptr};
    // Right of where the black-box tests show the program, which share the screen.
    topLevel = XtVaAppInitialize(&appContext, "Vorda", nullptr, 0, &argc, argv, nullptr,
                                 XmNtitle, "vorda under test", XmNx, 720, XmNy, 0, nullptr);
    XtVaSetValues(topLevel, XmNiconPixmap, createIconPixmap(XtDisplay(topLevel)), nullptr);
    getAppResources(topLevel, &appResources);
    fakeServer.reset();
    createMainWindow(&mainWindow, topLevel, &appResources, consoleServices());
    buildCommands = fakeServer.commands;
    builtResources = appResources;
    for (size_t i = 0; i < std::size(toggleSlots); ++i) {
        builtToggles[i] = XmToggleButtonGetState(*toggleSlots[i]) != 0;
    }
    scope_init(&mainWindow.scope, topLevel, mainWindow.scope.drawingArea);
    settle();
    return appContext;
}

void settle() { settle(appContext, XtDisplay(topLevel)); }

Widget buildSecondWindow(const std::vector<std::string>& xrm, MainWindow* mw,
                         AppResources* resources, const ConsoleServices& services) {
    guiApp();
    std::vector<std::string> storage;
    storage.push_back(programName);
    for (const std::string& line : xrm) {
        storage.push_back("-xrm");
        storage.push_back(line);
    }
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(storage.size());
    Display* display =
        XtOpenDisplay(appContext, nullptr, programName, "Vorda", nullptr, 0, &argc, argv.data());
    Widget shell = XtVaAppCreateShell(programName, "Vorda", applicationShellWidgetClass, display,
                                      XmNx, 720, XmNy, 0, nullptr);
    getAppResources(shell, resources);
    createMainWindow(mw, shell, resources, services);
    scope_init(&mw->scope, shell, mw->scope.drawingArea);  // as start-up does
    settle();
    return shell;
}

Widget testShell(const char* name) {
    guiApp();
    return XtVaAppCreateShell(name, "VordaTest", topLevelShellWidgetClass, XtDisplay(topLevel),
                              XmNx, 1100, XmNy, 0, nullptr);
}

int highlightAt(Widget text, long position) {
    const auto* tw = reinterpret_cast<XmTextWidget>(text);
    int mode = XmHIGHLIGHT_NORMAL;
    for (Cardinal i = 0; i < tw->text.highlight.number; ++i) {
        if (tw->text.highlight.list[i].position <= position) mode = tw->text.highlight.list[i].mode;
    }
    return mode;
}

void resetSecondaryDecoders() {
    for (SecondaryDecoder& d : mainWindow.decoders) {
        // A built window is the parent of its main form, whatever a test later put
        // in the record; left alive, its handlers would serve a record reset below.
        if (d.mainForm != nullptr) XtDestroyWidget(XtParent(d.mainForm));
        d = SecondaryDecoder{};
        d.state = -1;
    }
}

void resetPanes() {
    guiApp();
    XmTextSetString(mainWindow.panes.rx.text, const_cast<char*>(""));
    XmTextSetHighlight(mainWindow.panes.rx.text, 0, 1000000, XmHIGHLIGHT_NORMAL);
    XmTextSetString(mainWindow.panes.txText, const_cast<char*>(""));
    mainWindow.panes.rx.scrolledBack = 0;
    mainWindow.panes.look.localCaps = 0;
    mainWindow.controls.rxFreq.focused = 0;
    appResources = builtResources;
    appResources.zero = 0;
    // Quietly: a test that needs a toggle's handler to have run sets it itself.
    for (size_t i = 0; i < std::size(toggleSlots); ++i) {
        XmToggleButtonSetState(*toggleSlots[i], builtToggles[i] ? True : False, False);
    }
    fakeServer.reset();
    settle();
}
