// The main window: menus, the receive and transmit panes, the tuning display
// frame and the bottom row of controls, built once at start-up. The record owns
// the records of its parts, and the secondary decoder windows opened from it.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <utility>
#include <vector>

#include "gui/band_window.h"
#include "gui/controls.h"
#include "gui/log_dialog.h"
#include "gui/display_controls.h"
#include "gui/scope.h"
#include "gui/secondary.h"
#include "gui/text_panes.h"

struct AppResources;
struct MainWindow;

// What the console needs from the program around it, given at construction.
struct ConsoleServices {
    // QRT: saves the state of `mw` and ends the program.
    void (*quit)(const MainWindow* mw);  // never returns
    // Where the secondary window of `slot` (0 to 3) opens, as saved last time.
    void (*savedPosition)(int slot, int* x, int* y);
    // The directory of the QSO files the File menu sends.
    std::string (*qsoDirectory)();
    // Logs a contact given as (ADIF name, value) pairs. `logged` says whether it was
    // written; the text is what to tell: why not, or what else went wrong.
    std::string (*logContact)(const std::vector<std::pair<std::string, std::string>>& fields,
                              bool* logged);
    // Where the band window stood and how large it was last time; false: never saved.
    bool (*bandPlace)(int* x, int* y, int* width, int* height);
};

struct MainWindow {
    Widget shell;
    AppResources* resources;  // the frequencies are put in their place at build time
    ConsoleServices services;

    // Widgets of the window itself, in creation order.
    Widget mainForm;
    Widget label1;
    Widget menuBar;
    Widget filePulldown;
    Widget controlsPulldown;
    Widget seekPulldown;
    Widget fileCascade;
    Widget fileButtons[9];
    Widget fileSeparator;
    Widget logContactItem;
    Widget qrtButton;
    Widget controlsCascade;
    Widget videoItem;
    Widget recvItem;
    Widget xmitItem;
    Widget tuneItem;
    Widget broadItem;
    Widget mediumItem;
    Widget narrowItem;
    Widget spectrumItem;
    Widget waterfallItem;
    Widget flowUpItem;
    Widget localCapsItem;
    Widget openDecoderItem;
    Widget bandItem;
    Widget seekCascade;
    Widget seekUpItem;
    Widget seekDownItem;
    Widget haltItem;
    Widget helpCascade;
    Widget helpMenu;
    Widget bottomForm;
    Pixel whitePixel;
    Pixel blackPixel;

    // The parts, each passed to its handlers as client data.
    TextPanes panes;
    TrControls controls;
    TuningPanel tuning;
    PhaseScope scope;          // on scopeDA
    SecondaryDecoder decoders[DECODER_SLOTS];
    LogDialog log;             // built on first use
    BandWindow band;           // built on first open
};

void createMainWindow(MainWindow* mw, Widget shell, AppResources* resources,
                      const ConsoleServices& services);
