// The main window: menus, the receive and transmit panes, the tuning display
// frame and the bottom row of controls, built once at start-up.
#pragma once

#include <X11/Intrinsic.h>

#include "gui/scope.h"

struct AppResources;

struct MainWindow {
    int qpsk;                 // "QPSK" and "LSB" as the resource file set them
    int lsb;
    char freqText[16];        // "%4.1f" scratch
    Pixmap spectrumPicture;   // labels of saTB and wfTB
    Pixmap waterfallPicture;
    Pixel whitePixel;
    Pixel blackPixel;
    int displaySpeed;         // fftSpeedScale at build time
    int spanFactor;           // 2, 4 or 8 from "B", "M", "N"
    int rxFreqFocused;        // 1 while rxFreqText has the keyboard focus
    int scrolledBack;         // receive pane's scroll hold
    int brightness;           // brightScale at build time
    int net;                  // last state of "NET"
    unsigned char localCaps;  // show all text in capitals

    // Widgets, in creation order.
    Widget mainForm;
    Widget label1;
    Widget menuBar;
    Widget filePulldown;
    Widget controlsPulldown;
    Widget seekPulldown;
    Widget fileCascade;
    Widget fileButtons[9];
    Widget fileSeparator;
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
    Widget seekCascade;
    Widget seekUpItem;
    Widget seekDownItem;
    Widget haltItem;
    Widget helpCascade;
    Widget helpMenu;
    Widget bottomForm;
    Widget f1;
    Widget displayForm;
    Widget displayRC;
    Widget displayLabel;
    Widget displayRB;
    Widget saTB;
    Widget wfTB;
    Widget bwRB;
    Widget broadTB;
    Widget mediumTB;
    Widget narrowTB;
    Widget scopeDA;
    Widget f2;
    Widget controlsForm;
    Widget controlsRC;
    Widget rxFreqLabel;
    Widget rxGenFrame;
    Widget rxComboForm;
    Widget rxFreqText;
    Widget rxUpArrow;
    Widget rxDownArrow;
    Widget afcTB;
    Widget txFreqLabel;
    Widget txGenFrame;
    Widget txComboForm;
    Widget txFreqText;
    Widget txUpArrow;
    Widget txDownArrow;
    Widget netTB;
    Widget trLabel;
    Widget trRB;
    Widget recvTB;
    Widget xmitTB;
    Widget tuneTB;
    Widget f3;
    Widget modesRC;
    Widget modesLabel;
    Widget dcdTB;
    Widget qpskTB;
    Widget lsbTB;
    Widget cwIdTB;
    Widget imdFrame;
    Widget imdForm;
    Widget imdTF;
    Widget imdLabel;
    Widget f4;
    Widget wfDA;
    Widget paneWin;
    Widget rxTextSW;
    Widget rxText;
    Widget txTextSW;
    Widget txText;
    Widget videoDiag;
    Widget videoLabel;
    Widget videoFrame;
    Widget videoForm;
    Widget brightLabel;
    Widget brightScale;
    Widget speedLabel;
    Widget fftSpeedScale;
    Widget videoClose;
    Widget clrRx;
    Widget clrTx;

    Widget rxScrollBar;       // vertical scroll bar of rxTextSW
    Widget trToggles[3];      // "Recv", "Xmit", "Tune"
    Pixel trPlainColor;       // their background from the resource file, when not set
};

extern MainWindow mainWindow;
// The main window's phase scope, on scopeDA.
extern PhaseScope mainScope;
// Colours of a marked (scrolled back, focused, active) and an unmarked control,
// taken from the receive pane's scroll bar after realisation.
extern Pixel markColor;
extern Pixel plainColor;

void createMainWindow(MainWindow* mw, Widget shell, AppResources* resources);
void createFileButtons(MainWindow* mw, Widget shell, char** names);
