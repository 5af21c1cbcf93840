// vorda: PSK31 sound-card modem and operating console.
#include <Xm/MwmUtil.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/band_feed.h"
#include "app/console_services.h"
#include "app/error_dialog.h"
#include "app/poll.h"
#include "app/ptt_report.h"
#include "app/resources.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "app/state_file.h"
#include "gui/callbox.h"
#include "gui/display.h"
#include "gui/icon.h"
#include "gui/main_window.h"
#include "gui/scope.h"
#include "gui/secondary.h"
#include "gui/text_panes.h"
#include "modem/data_directory.h"
#include "server/server.h"

#ifndef VORDA_DATA_DIR
#error "VORDA_DATA_DIR must name the installed data directory"
#endif

extern "C" char _XmVersionString[];  // "@(#)Motif Version x.y.z" of the library in use

namespace {

// Source-control marker in front of Motif's version strings.
constexpr int VERSION_MARKER = 4;

std::string bugReportTail() {
    return std::string("\n\nPlease send bug reports to\n") + contactAddress;
}

// The fatal dialogs come before the main window exists, and a shell without a
// child has no size to be realised with: it gets one pixel and stays unmapped,
// so that only the dialog shows.
void realiseForDialog(Widget shell) {
    XtVaSetValues(shell, XmNwidth, 1, XmNheight, 1, XmNmappedWhenManaged, False, nullptr);
    XtRealizeWidget(shell);
}

[[noreturn]] void fatalDialogLoop(XtAppContext app, const std::string& message,
                                  const char* diagnostic) {
    realiseForDialog(topLevel);
    errorDialog(topLevel, message.c_str(), 0, 1);
    std::fputs(diagnostic, stderr);
    XtAppMainLoop(app);
    std::exit(1);  // the loop does not return; OK exits with status 1
}

}  // namespace

int main(int argc, char** argv) {
    useCharacterLocale();
    static const std::string data = dataDirectoryFor(VORDA_DATA_DIR);
    searchOwnResourceFile(data);
    XtAppContext app;
    topLevel = XtVaAppInitialize(&app, "Vorda", nullptr, 0, &argc, argv, nullptr,
                                 XmNmwmFunctions, MWM_FUNC_ALL | MWM_FUNC_CLOSE, XmNtitle,
                                 "VORDA", nullptr);
    XtVaSetValues(topLevel, XmNiconPixmap, createIconPixmap(XtDisplay(topLevel)), nullptr);
    getAppResources(topLevel, &appResources);
    dataDirectory = data.c_str();

    if (appResources.buttonNames != nullptr && appResources.buttonNames[0] != nullptr &&
        std::strcmp(appResources.buttonNames[0], "-1") == 0) {
        fatalDialogLoop(app,
                        "The resource file, Vorda, is missing\nThis is an installation problem.  "
                        "Did\nyou install vorda as root?\n\nPlease send bug reports to \n" +
                            std::string(contactAddress),
                        "vorda: Vorda resource file missing\n");
    }

    if (iniProc('r') == 0) {
        // The dialog stays up in front of the main window, which is realised next.
        errorDialog(topLevel,
                    ("iniProc failed.  Run vorda from a terminal\nto get more error information."
                     + bugReportTail()).c_str(),
                    0, 1);
        std::fputs("iniProc failed. Run vorda from a terminal\n", stderr);
    }

    server_sample_rate = appResources.sampsize;
    server_ptt = serverPttOf(appResources);
    // A device, even an empty one, tells the server to key; nullptr keys nothing.
    const char* pttDevice = appResources.serDev != nullptr ? appResources.serDev : "";
    if (server_init(appResources.ptt != 0 ? pttDevice : nullptr, dataDirectory) == 0) {
        fatalDialogLoop(app,
                        "The server fail to initialize.\nRun vorda from a terminal to get\nmore "
                        "error information." + bugReportTail(),
                        "server initialization failed\n");
    }

    static MainWindow mainWindow;
    createMainWindow(&mainWindow, topLevel, &appResources, consoleServices());

    // Transmitting without keying must never pass unnoticed.
    ServerStatus txStatus{};
    server_get_status(SERVER_TX_CHANNEL, &txStatus, sizeof txStatus);
    const std::string pttProblem =
        pttWarning(appResources, txStatus.ptt != 0, server_ptt_problem());
    if (!pttProblem.empty()) std::fputs(pttProblem.c_str(), stderr);
    const std::string report =
        startupReport(iniReport, XmVERSION_STRING + VERSION_MARKER,
                      _XmVersionString + VERSION_MARKER, appResources) + pttProblem;
    XmTextInsert(mainWindow.panes.rx.text, XmTextGetLastPosition(mainWindow.panes.rx.text),
                 const_cast<char*>(report.c_str()));

    installSignalHandlers(app, &mainWindow);

    // Never destroyed: its thread runs until the process ends, as the server's does.
    BandFeed* bandFeed = new BandFeed;
    bandFeed->logPath = qsoDirectory() + "/band.log";
    bandFeed->logging.store(appResources.bandLog == 1 ? 1 : 0);
    band_feed_start(bandFeed);
    pollBandFeed = bandFeed;

    if (appResources.callBox == 1) {
        std::fputs("starting callbox\n", stderr);
        static CallBox callBox;
        createCallBox(&callBox, topLevel);
    }

    scope_init(&mainWindow.scope, topLevel, mainWindow.scope.drawingArea);

    display_init(&mainWindow.tuning.view, mainWindow.tuning.wfDA, mainWindow.tuning.spanFactor,
                 mainWindow.tuning.displaySpeed);

    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(topLevel, XmNwidth, &width, XmNheight, &height, nullptr);
    XtVaSetValues(topLevel, XmNminWidth, width, XmNminHeight, height, nullptr);

    checkDialout(topLevel);

    XtRealizeWidget(topLevel);
    if (appResources.bandBrowser == 1) band_window_open(&mainWindow.band);
    XtAppAddWorkProc(app, pollProc, &mainWindow);
    XtAppMainLoop(app);
    return 0;
}
