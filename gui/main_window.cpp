#include "gui/main_window.h"

#include <Xm/ArrowB.h>
#include <Xm/CascadeB.h>
#include <Xm/DrawingA.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/MwmUtil.h>
#include <Xm/PanedW.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Scale.h>
#include <Xm/ScrolledW.h>
#include <Xm/Separator.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/resources.h"
#include "app/shutdown.h"
#include "gui/actions.h"
#include "gui/controls.h"
#include "gui/display.h"
#include "gui/display_controls.h"
#include "gui/help.h"
#include "gui/icon.h"
#include "gui/menus.h"
#include "gui/qso_files.h"
#include "gui/scope.h"
#include "gui/secondary.h"
#include "gui/text_panes.h"
#include "server/server.h"

namespace {

// Window-manager functions of every shell: all but Close, so that the program
// ends only through QRT or a signal, which save the state file.
constexpr int ALL_BUT_CLOSE = MWM_FUNC_ALL | MWM_FUNC_CLOSE;

// The two display-mode pictures, 32 x 16: '#' is drawn in black, '.' stays white.
const char* const spectrumArt[16] = {
    "################################", "###############..###############",
    "###############..###############", "###############..###############",
    "###############..###############", "###############..###############",
    "##############....##############", "##############....##############",
    "#############......#############", "#############......#############",
    "############........############", "###########..........###########",
    "#########..............#########", "######....................######",
    "##............................##", "################################",
};
const char* const waterfallArt[16] = {
    "#############.#.#.#.############", "############.#.#.#.#############",
    "#############.#.#.#.############", "############.#.#.#.#############",
    "#############.#.#.#.############", "############.#.#.#.#############",
    "#############.#.#.#.############", "############.#.#.#.#############",
    "#############.#.#.#.############", "############.#.#.#.#############",
    "#############.#.#.#.############", "############.#.#.#.#############",
    "#############.#.#.#.############", "############.#.#.#.#############",
    "#############.#.#.#.############", "############.#.#.#.#############",
};

Pixmap pictureFromArt(Widget w, const char* const art[16], Pixel black, Pixel white) {
    char bits[16 * 4] = {};
    for (int row = 0; row < 16; ++row) {
        for (int col = 0; col < 32; ++col) {
            if (art[row][col] == '#') bits[row * 4 + col / 8] |= static_cast<char>(1 << (col % 8));
        }
    }
    Screen* screen = XtScreen(w);
    return XCreatePixmapFromBitmapData(XtDisplay(w), RootWindowOfScreen(screen), bits, 32, 16,
                                       black, white, DefaultDepthOfScreen(screen));
}

// Containers are managed together once the whole tree exists, children first.
std::vector<Widget> containers;

Widget container(Widget w) {
    containers.push_back(w);
    return w;
}

// trunc(f x 100) in single precision: the server takes hundredths of a hertz.
int32_t hundredths(float frequency) {
    return static_cast<int32_t>(frequency * 100.0f);
}

std::string frequencyText(float frequency) {
    char text[16];
    std::snprintf(text, sizeof text, "%4.1f", frequency);
    return text;
}

Boolean toggleSet(Widget toggle) {
    return XmToggleButtonGetState(toggle);
}

// The form dialog unmanages itself when one of its buttons is activated.
void videoCloseCB(Widget, XtPointer, XtPointer) {}

Widget frame(const char* name, Widget parent, unsigned char shadowType, int thickness) {
    return container(XtVaCreateWidget(name, xmFrameWidgetClass, parent, XmNshadowType, shadowType,
                                      XmNshadowThickness, thickness, nullptr));
}

Widget form(const char* name, Widget parent, int spacing) {
    return container(XtVaCreateWidget(name, xmFormWidgetClass, parent, XmNhorizontalSpacing,
                                      spacing, XmNverticalSpacing, spacing, nullptr));
}

Widget radioBox(const char* name, Widget parent, int spacing) {
    return container(XtVaCreateWidget(name, xmRowColumnWidgetClass, parent, XmNradioBehavior,
                                      True, XmNradioAlwaysOne, True, XmNisHomogeneous, True,
                                      XmNentryClass, xmToggleButtonWidgetClass, XmNorientation,
                                      XmHORIZONTAL, XmNspacing, spacing, nullptr));
}

Widget pulldown(Widget menuBar, const char* name) {
    Arg args[1];
    XtSetArg(args[0], XmNtearOffModel, XmTEAR_OFF_ENABLED);
    return XmCreatePulldownMenu(menuBar, const_cast<char*>(name), args, 1);
}

Widget cascade(Widget menuBar, const char* name, char mnemonic, Widget submenu) {
    Widget w = XtVaCreateManagedWidget(name, xmCascadeButtonWidgetClass, menuBar, XmNmnemonic,
                                       static_cast<KeySym>(mnemonic), nullptr);
    if (submenu != nullptr) XtVaSetValues(w, XmNsubMenuId, submenu, nullptr);
    return w;
}

Widget modeToggle(const char* name, Widget parent) {
    return XtVaCreateManagedWidget(name, xmToggleButtonWidgetClass, parent, XmNalignment,
                                   XmALIGNMENT_END, XmNshadowThickness, 3, nullptr);
}

void buildMenus(MainWindow* mw, AppResources* res) {
    mw->menuBar = XmCreateMenuBar(mw->mainForm, const_cast<char*>("menuBar"), nullptr, 0);
    mw->filePulldown = pulldown(mw->menuBar, "filePulldown");
    mw->controlsPulldown = pulldown(mw->menuBar, "controlsPulldown");
    mw->seekPulldown = pulldown(mw->menuBar, "SeekPulldown");
    mw->fileCascade = cascade(mw->menuBar, "File", 'F', mw->filePulldown);
    createFileButtons(mw, res->buttonNames);

    mw->controlsCascade = cascade(mw->menuBar, "Controls", 'C', mw->controlsPulldown);
    buildMenuItems(mw, mw->controlsPulldown, controlsMenu, controlsMenuSize);
    mw->tuning.view.flowUp = toggleSet(mw->flowUpItem) ? 1 : 0;
    mw->panes.look.localCaps = toggleSet(mw->localCapsItem) ? 1 : 0;

    mw->seekCascade = cascade(mw->menuBar, "Seek", 'S', mw->seekPulldown);
    buildMenuItems(mw, mw->seekPulldown, seekMenu, seekMenuSize);
    mw->helpCascade = cascade(mw->menuBar, "Help", 'H', nullptr);

    // The Help items are numbered 0 to 10; the help window takes that index.
    XmString labels[helpMenuSize];
    for (std::size_t i = 0; i < helpMenuSize; ++i) {
        labels[i] = XmStringCreateLocalized(const_cast<char*>(helpMenuEntries[i].label));
    }
    auto b = [&](std::size_t i) { return labels[i]; };
    auto m = [&](std::size_t i) { return static_cast<KeySym>(helpMenuEntries[i].mnemonic); };
    mw->helpMenu = XmVaCreateSimplePulldownMenu(
        mw->menuBar, const_cast<char*>("helpMenu"), 3, helpMenuCB,
        XmVaPUSHBUTTON, b(0), m(0), nullptr, nullptr, XmVaPUSHBUTTON, b(1), m(1), nullptr, nullptr,
        XmVaPUSHBUTTON, b(2), m(2), nullptr, nullptr, XmVaPUSHBUTTON, b(3), m(3), nullptr, nullptr,
        XmVaPUSHBUTTON, b(4), m(4), nullptr, nullptr, XmVaPUSHBUTTON, b(5), m(5), nullptr, nullptr,
        XmVaPUSHBUTTON, b(6), m(6), nullptr, nullptr, XmVaPUSHBUTTON, b(7), m(7), nullptr, nullptr,
        XmVaPUSHBUTTON, b(8), m(8), nullptr, nullptr, XmVaPUSHBUTTON, b(9), m(9), nullptr, nullptr,
        XmVaPUSHBUTTON, b(10), m(10), nullptr, nullptr, nullptr);
    for (XmString label : labels) XmStringFree(label);
    XtVaSetValues(mw->helpMenu, XmNtearOffModel, XmTEAR_OFF_ENABLED, nullptr);

    XtVaSetValues(mw->menuBar, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->label1,
                  XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                  XmNmenuHelpWidget, mw->helpCascade, nullptr);
    container(mw->menuBar);
}

void buildDisplayControls(MainWindow* mw) {
    mw->tuning.f1 = frame("f1", mw->bottomForm, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->tuning.f1, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment,
                  XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, nullptr);
    mw->tuning.displayForm = form("displayForm", mw->tuning.f1, 4);
    mw->tuning.displayRC = container(XtVaCreateWidget(
        "displayRC", xmRowColumnWidgetClass, mw->tuning.displayForm, XmNentryAlignment,
        XmALIGNMENT_CENTER, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr));
    mw->tuning.displayLabel = XtVaCreateManagedWidget("Display Controls", xmLabelWidgetClass,
                                                      mw->tuning.displayRC, nullptr);
    mw->tuning.displayRB = radioBox("displayRB", mw->tuning.displayRC, 4);
    XtVaSetValues(mw->tuning.displayRB, XmNmarginWidth, 0, nullptr);

    Screen* screen = XtScreen(mw->mainForm);
    mw->whitePixel = WhitePixelOfScreen(screen);
    mw->blackPixel = BlackPixelOfScreen(screen);
    mw->tuning.spectrumPicture =
        pictureFromArt(mw->mainForm, spectrumArt, mw->blackPixel, mw->whitePixel);
    mw->tuning.waterfallPicture =
        pictureFromArt(mw->mainForm, waterfallArt, mw->blackPixel, mw->whitePixel);
    mw->tuning.saTB = XtVaCreateManagedWidget(
        "saTB", xmToggleButtonWidgetClass, mw->tuning.displayRB, XmNshadowThickness, 3,
        XmNlabelType, XmPIXMAP, XmNlabelPixmap, mw->tuning.spectrumPicture, nullptr);
    mw->tuning.wfTB = XtVaCreateManagedWidget(
        "wfTB", xmToggleButtonWidgetClass, mw->tuning.displayRB, XmNshadowThickness, 3,
        XmNlabelType, XmPIXMAP, XmNlabelPixmap, mw->tuning.waterfallPicture, nullptr);
    mw->tuning.view.mode = toggleSet(mw->tuning.wfTB) ? 1 : 0;

    mw->tuning.bwRB = radioBox("bwRB", mw->tuning.displayRC, 3);
    XtVaSetValues(mw->tuning.bwRB, XmNmarginWidth, 0, nullptr);
    mw->tuning.broadTB = XtVaCreateManagedWidget("B", xmToggleButtonWidgetClass, mw->tuning.bwRB,
                                          XmNshadowThickness, 3, XmNmnemonic, XK_B, nullptr);
    mw->tuning.mediumTB = XtVaCreateManagedWidget("M", xmToggleButtonWidgetClass, mw->tuning.bwRB,
                                           XmNshadowThickness, 3, XmNmnemonic, XK_M, nullptr);
    mw->tuning.narrowTB = XtVaCreateManagedWidget("N", xmToggleButtonWidgetClass, mw->tuning.bwRB,
                                           XmNshadowThickness, 3, XmNmnemonic, XK_N, nullptr);
    mw->tuning.spanFactor = 0;
    if (toggleSet(mw->tuning.broadTB)) mw->tuning.spanFactor = 2;
    if (toggleSet(mw->tuning.mediumTB)) mw->tuning.spanFactor = 4;
    if (toggleSet(mw->tuning.narrowTB)) mw->tuning.spanFactor = 8;
    // With no span chosen in the resource file the display would get no FFT
    // length at all: take "B", the broadest view.
    if (mw->tuning.spanFactor == 0) {
        XmToggleButtonSetState(mw->tuning.broadTB, True, False);
        mw->tuning.spanFactor = 2;
    }

    mw->scope.drawingArea = XtVaCreateManagedWidget(
        "scopeDA", xmDrawingAreaWidgetClass, mw->tuning.displayForm, XmNtraversalOn, False,
        XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->tuning.displayRC, XmNbottomAttachment,
        XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
        nullptr);
}

void buildFrequencyControls(MainWindow* mw, AppResources* res) {
    mw->controls.f2 = frame("f2", mw->bottomForm, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->controls.f2, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment,
                  XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, mw->tuning.f1,
                  nullptr);
    mw->controls.controlsForm = form("controlsForm", mw->controls.f2, 4);
    mw->controls.controlsRC = container(XtVaCreateWidget(
        "controlsRC", xmRowColumnWidgetClass, mw->controls.controlsForm, XmNentryAlignment,
        XmALIGNMENT_CENTER, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr));

    mw->controls.rxFreqLabel =
        XtVaCreateManagedWidget("Rx Freq", xmLabelWidgetClass, mw->controls.controlsRC, nullptr);
    server_control(SERVER_MAIN_CHANNEL, 6, res->afc);
    mw->controls.rxGenFrame = frame("genFrame", mw->controls.controlsRC, XmSHADOW_ETCHED_IN, 3);
    mw->controls.rxComboForm = form("rxComboForm", mw->controls.rxGenFrame, 1);
    if (res->rxFreq == 0) res->rxFreq = 1000.0f;
    server_control(SERVER_MAIN_CHANNEL, 8, hundredths(res->rxFreq));
    frequency_field_create(&mw->controls.rxFreq, mw->controls.rxComboForm, "rxFreqText",
                           "rxUpArrow", "AFC", frequencyText(res->rxFreq).c_str(), res->afc != 0);
    server_control(SERVER_MAIN_CHANNEL, 6, res->afc);

    mw->controls.txFreqLabel =
        XtVaCreateManagedWidget("Tx Freq", xmLabelWidgetClass, mw->controls.controlsRC, nullptr);
    mw->controls.txGenFrame = frame("genFrame", mw->controls.controlsRC, XmSHADOW_ETCHED_IN, 3);
    mw->controls.txComboForm = form("txComboForm", mw->controls.txGenFrame, 1);
    if (res->txFreq == 0) res->txFreq = 1000.0f;
    // The transmitter starts on the frequency the field shows.
    server_control(SERVER_TX_CHANNEL, 8, hundredths(res->txFreq));
    frequency_field_create(&mw->controls.txFreq, mw->controls.txComboForm, "txFreqText",
                           "txUpArrow", "NET", frequencyText(res->txFreq).c_str(), res->net != 0);
    XmToggleButtonSetState(mw->controls.txFreq.toggle, res->net ? True : False, False);
    mw->controls.net = res->net;

    mw->controls.trLabel = XtVaCreateManagedWidget(
        "T/R Controls", xmLabelWidgetClass, mw->controls.controlsForm, XmNtopAttachment,
        XmATTACH_WIDGET, XmNtopWidget, mw->controls.controlsRC, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->controls.trRB = radioBox("trRB", mw->controls.controlsForm, 10);
    XtVaSetValues(mw->controls.trRB, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
                  mw->controls.trLabel, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
                  XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    const char* names[3] = {"Recv", "Xmit", "Tune"};
    const KeySym mnemonics[3] = {XK_R, XK_X, XK_T};
    Widget* toggles[3] = {&mw->controls.recvTB, &mw->controls.xmitTB, &mw->controls.tuneTB};
    for (int i = 0; i < 3; ++i) {
        *toggles[i] = XtVaCreateManagedWidget(
            names[i], xmToggleButtonWidgetClass, mw->controls.trRB, XmNindicatorOn, False,
            XmNshadowThickness, 3, XmNmnemonic, mnemonics[i], XmNset, i == 0 ? True : False,
            nullptr);
    }
}

void buildModes(MainWindow* mw) {
    mw->controls.f3 = frame("f3", mw->bottomForm, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->controls.f3, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment,
                  XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, mw->controls.f2,
                  nullptr);
    mw->controls.modesRC = container(XtVaCreateWidget(
        "modesRC", xmRowColumnWidgetClass, mw->controls.f3, XmNentryAlignment,
        XmALIGNMENT_BEGINNING, XmNisAligned, False, XmNadjustMargin, False, XmNadjustLast, False,
        XmNspacing, 8, XmNmarginHeight, 6, XmNmarginWidth, 6, nullptr));
    mw->controls.modesLabel =
        XtVaCreateManagedWidget("Modes", xmLabelWidgetClass, mw->controls.modesRC, XmNalignment,
                                XmALIGNMENT_CENTER, nullptr);
    mw->controls.dcdTB = modeToggle("DCD", mw->controls.modesRC);
    XmToggleButtonSetState(mw->controls.dcdTB, False, False);
    server_control(SERVER_MAIN_CHANNEL, 3, 15);
    mw->controls.qpskTB = modeToggle("QPSK", mw->controls.modesRC);
    mw->controls.lsbTB = modeToggle("LSB", mw->controls.modesRC);
    mw->controls.cwIdTB = modeToggle("CW ID", mw->controls.modesRC);
    mw->controls.imdFrame = frame("imdFrame", mw->controls.modesRC, XmSHADOW_OUT, 3);
    mw->controls.imdForm =
        container(XtVaCreateWidget("imdForm", xmFormWidgetClass, mw->controls.imdFrame, nullptr));
    mw->controls.imdTF = XtVaCreateManagedWidget(
        "imdTF", xmTextFieldWidgetClass, mw->controls.imdForm, XmNmarginHeight, 2, XmNcolumns, 3,
        XmNshadowThickness, 0, XmNvalue, "---", XmNcursorPositionVisible, False,
        XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
        XmATTACH_FORM, nullptr);
    mw->controls.imdLabel = XtVaCreateManagedWidget(
        "IMD", xmLabelWidgetClass, mw->controls.imdForm, XmNshadowThickness, 0, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET,
        XmNleftWidget, mw->controls.imdTF, XmNrightAttachment, XmATTACH_FORM, nullptr);

    mw->controls.qpsk = toggleSet(mw->controls.qpskTB) ? 1 : 0;
    mw->controls.lsb = toggleSet(mw->controls.lsbTB) ? 1 : 0;
    server_control(SERVER_TX_CHANNEL, 4, mw->controls.qpsk);
    server_control(SERVER_MAIN_CHANNEL, 4, mw->controls.qpsk);
    server_control(SERVER_TX_CHANNEL, 5, mw->controls.lsb);
    server_control(SERVER_MAIN_CHANNEL, 5, mw->controls.lsb);
}

void buildPanes(MainWindow* mw) {
    mw->tuning.f4 = frame("f4", mw->mainForm, XmSHADOW_IN, 5);
    XtVaSetValues(mw->tuning.f4, XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget,
                  mw->bottomForm, XmNleftAttachment, XmATTACH_FORM, nullptr);
    mw->tuning.wfDA = XtVaCreateManagedWidget("wfDA", xmDrawingAreaWidgetClass, mw->tuning.f4,
                                              XmNheight, 75, XmNwidth, 384, XmNbackground,
                                              mw->blackPixel, XmNtraversalOn, False, nullptr);
    // The panes end 8 pixels above the frame around the spectrum display.
    mw->panes.paneWin = container(XtVaCreateWidget(
        "paneWin", xmPanedWindowWidgetClass, mw->mainForm, XmNtopAttachment, XmATTACH_WIDGET,
        XmNtopWidget, mw->menuBar, XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget,
        mw->tuning.f4, XmNbottomOffset, 8, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment,
        XmATTACH_FORM, nullptr));

    mw->panes.rxTextSW = container(XtVaCreateWidget("rxTextSW", xmScrolledWindowWidgetClass,
                                              mw->panes.paneWin, XmNscrollingPolicy,
                                              XmAPPLICATION_DEFINED, XmNvisualPolicy,
                                              XmVARIABLE, XmNscrollBarDisplayPolicy, XmSTATIC,
                                              nullptr));
    mw->panes.rx.text = XtVaCreateManagedWidget(
        "rxText", xmTextWidgetClass, mw->panes.rxTextSW, XmNeditMode, XmMULTI_LINE_EDIT,
        XmNshadowThickness, 3, XmNhighlightThickness, 2, XmNeditable, False, XmNwordWrap, True,
        XmNcursorPositionVisible, False, XmNautoShowCursorPosition, False, XmNscrollHorizontal,
        False, XmNuserData, &mw->panes.rx, nullptr);
    mw->panes.txTextSW = container(XtVaCreateWidget("txTextSW", xmScrolledWindowWidgetClass,
                                              mw->panes.paneWin, XmNscrollingPolicy,
                                              XmAPPLICATION_DEFINED, XmNvisualPolicy,
                                              XmVARIABLE, XmNscrollBarDisplayPolicy, XmSTATIC,
                                              nullptr));
    mw->panes.txText = XtVaCreateManagedWidget(
        "txText", xmTextWidgetClass, mw->panes.txTextSW, XmNeditMode, XmMULTI_LINE_EDIT,
        XmNeditable, True, XmNwordWrap, True, XmNshadowThickness, 3, XmNhighlightThickness, 2,
        XmNblinkRate, 0, XmNscrollHorizontal, False, nullptr);
    mw->panes.rx.scrolledBack = 0;
    XtVaGetValues(mw->panes.rxTextSW, XmNverticalScrollBar, &mw->panes.rx.scrollBar, nullptr);
}

void buildVideoDialog(MainWindow* mw, Widget shell) {
    Arg args[2];
    XtSetArg(args[0], XmNhorizontalSpacing, 4);
    XtSetArg(args[1], XmNverticalSpacing, 4);
    mw->tuning.videoDiag = XmCreateFormDialog(shell, const_cast<char*>("videoDiag"), args, 2);
    XtVaSetValues(XtParent(mw->tuning.videoDiag), XmNtitle, "VORDA VIDEO", XmNiconPixmap,
                  programIcon(), XmNmwmDecorations, MWM_DECOR_ALL | MWM_DECOR_RESIZEH, nullptr);
    mw->tuning.videoLabel = XtVaCreateManagedWidget(
        "Video Controls", xmLabelWidgetClass, mw->tuning.videoDiag, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->tuning.videoFrame = frame("videoFrame", mw->tuning.videoDiag, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->tuning.videoFrame, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
                  mw->tuning.videoLabel, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment,
                  XmATTACH_FORM, nullptr);
    mw->tuning.videoForm = form("videoForm", mw->tuning.videoFrame, 4);
    mw->tuning.brightLabel = XtVaCreateManagedWidget(
        "Brightness", xmLabelWidgetClass, mw->tuning.videoForm, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->tuning.brightScale = XtVaCreateManagedWidget(
        "brightScale", xmScaleWidgetClass, mw->tuning.videoForm, XmNorientation, XmHORIZONTAL,
        XmNshowValue, True, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->tuning.brightLabel,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->tuning.speedLabel = XtVaCreateManagedWidget(
        "Display Speed", xmLabelWidgetClass, mw->tuning.videoForm, XmNtopAttachment,
        XmATTACH_WIDGET, XmNtopWidget, mw->tuning.brightScale, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->tuning.fftSpeedScale = XtVaCreateManagedWidget(
        "fftSpeedScale", xmScaleWidgetClass, mw->tuning.videoForm, XmNorientation, XmHORIZONTAL,
        XmNshowValue, True, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->tuning.speedLabel,
        XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr);
    // The scale lives in another form, so the button hangs below the frame around it.
    mw->tuning.videoClose = XtVaCreateManagedWidget(
        "Close", xmPushButtonWidgetClass, mw->tuning.videoDiag, XmNtopAttachment, XmATTACH_WIDGET,
        XmNtopWidget, mw->tuning.videoFrame, XmNtopOffset, 4, XmNbottomAttachment, XmATTACH_FORM,
        XmNbottomOffset, 4, XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, 20,
        XmNrightAttachment, XmATTACH_FORM, XmNrightOffset, 20, nullptr);

    XmScaleGetValue(mw->tuning.brightScale, &mw->tuning.brightness);
    mw->tuning.view.brightness = mw->tuning.brightness;
    XmScaleGetValue(mw->tuning.fftSpeedScale, &mw->tuning.displaySpeed);
}

MainWindow* windowOf(XtPointer clientData) { return static_cast<MainWindow*>(clientData); }

void videoCB(Widget, XtPointer clientData, XtPointer) {
    XtManageChild(windowOf(clientData)->tuning.videoDiag);
}

void localCapsCB(Widget, XtPointer clientData, XtPointer callData) {
    auto* state = static_cast<XmToggleButtonCallbackStruct*>(callData);
    windowOf(clientData)->panes.look.localCaps = state->set ? 1 : 0;
}

void flowUpCB(Widget, XtPointer clientData, XtPointer callData) {
    windowOf(clientData)->tuning.view.flowUp =
        static_cast<XmToggleButtonCallbackStruct*>(callData)->set != 0 ? 1 : 0;
}

void openDecoderCB(Widget, XtPointer clientData, XtPointer) {
    decoder_open_on_main(windowOf(clientData));
}

void seekUpCB(Widget, XtPointer clientData, XtPointer) {
    seek_start(&windowOf(clientData)->tuning, 'U');
}

void seekDownCB(Widget, XtPointer clientData, XtPointer) {
    seek_start(&windowOf(clientData)->tuning, 'D');
}

void haltCB(Widget, XtPointer clientData, XtPointer) { seek_halt(&windowOf(clientData)->tuning); }

// The parts' records know what their handlers reach beyond them.
void linkParts(MainWindow* mw) {
    TextPanes& p = mw->panes;
    p.resources = mw->resources;
    p.rx.look = &p.look;

    TrControls& c = mw->controls;
    c.scope = &mw->scope;
    c.txText = p.txText;
    c.look = &p.look;
    c.resources = mw->resources;
    c.rxFreq.channel = SERVER_MAIN_CHANNEL;
    c.rxFreq.parksAfc = true;
    c.rxFreq.notifyAfc = true;
    c.rxFreq.focusAfterLeave = p.txText;
    c.txFreq.channel = SERVER_TX_CHANNEL;
    for (FrequencyField* field : {&c.rxFreq, &c.txFreq}) {
        field->arrowRule = ArrowRule::shiftFirst;
        field->focusAfterEnter = p.txText;
        field->look = &p.look;
    }

    TuningPanel& t = mw->tuning;
    t.rxFreq = &c.rxFreq;
    t.window = mw;
    t.seekFirstStep = 1;
    t.view.dcdToggle = c.dcdTB;
    t.view.imdField = c.imdTF;

    for (SecondaryDecoder& decoder : mw->decoders) decoder.state = -1;
}

void attachHandlers(MainWindow* mw, XtAppContext app) {
    XtAddCallback(mw->localCapsItem, XmNvalueChangedCallback, localCapsCB, mw);
    XtAddCallback(mw->videoItem, XmNactivateCallback, videoCB, mw);
    XtAddCallback(mw->tuning.videoClose, XmNactivateCallback, videoCloseCB, nullptr);
    XtAddCallback(mw->scope.drawingArea, XmNexposeCallback, scopeExposeCB, &mw->scope);
    XtAddCallback(mw->flowUpItem, XmNvalueChangedCallback, flowUpCB, mw);
    const struct {
        Widget item;
        Widget toggle;
    } menuToggles[] = {{mw->recvItem, mw->controls.recvTB},     {mw->xmitItem, mw->controls.xmitTB},
                       {mw->tuneItem, mw->controls.tuneTB},     {mw->broadItem, mw->tuning.broadTB},
                       {mw->mediumItem, mw->tuning.mediumTB}, {mw->narrowItem, mw->tuning.narrowTB},
                       {mw->spectrumItem, mw->tuning.saTB},   {mw->waterfallItem, mw->tuning.wfTB}};
    for (const auto& m : menuToggles) {
        XtAddCallback(m.item, XmNactivateCallback, setToggleCB, m.toggle);
    }
    panes_attach(&mw->panes);
    tuning_attach(&mw->tuning);
    controls_attach(&mw->controls);
    XtAddCallback(mw->seekUpItem, XmNactivateCallback, seekUpCB, mw);
    XtAddCallback(mw->seekDownItem, XmNactivateCallback, seekDownCB, mw);
    XtAddCallback(mw->haltItem, XmNactivateCallback, haltCB, mw);
    XtAddCallback(mw->openDecoderItem, XmNactivateCallback, openDecoderCB, mw);
    registerCallBoxActions(app, mw->resources);
}

}  // namespace

void createFileButtons(MainWindow* mw, char** names) {
    const int n = countNames(names);
    if (n > 9) {
        std::fputs("Too many file names defined in Vorda\n", stderr);
        // A configuration error, not a normal end.
        std::exit(1);
    }
    for (int i = 1; i <= n; ++i) {
        char accelerator[16];
        char acceleratorText[16];
        std::snprintf(accelerator, sizeof accelerator, "Ctrl<Key>%d", i);
        std::snprintf(acceleratorText, sizeof acceleratorText, "Ctrl-%d", i);
        mw->fileButtons[i - 1] =
            createMenuButton(mw->filePulldown, names[i - 1], 0, accelerator, acceleratorText);
        XtVaSetValues(mw->fileButtons[i - 1], XmNuserData, names[i - 1], nullptr);
        XtAddCallback(mw->fileButtons[i - 1], XmNactivateCallback, sendFileCB, mw);
    }
    mw->fileSeparator = XtVaCreateManagedWidget("sep", xmSeparatorWidgetClass, mw->filePulldown,
                                                nullptr);
    mw->qrtButton = createMenuButton(mw->filePulldown, "QRT", 'Q', "Ctrl<Key>Q", "Ctrl-Q");
    XtVaSetValues(mw->qrtButton, XmNmnemonicCharSet, XmFONTLIST_DEFAULT_TAG, nullptr);
    XtAddCallback(mw->qrtButton, XmNactivateCallback, quitCB, mw);
}

void createMainWindow(MainWindow* mw, Widget shell, AppResources* resources) {
    containers.clear();
    mw->shell = shell;
    mw->resources = resources;
    mw->mainForm = form("mainForm", shell, 4);
    mw->label1 = XtVaCreateManagedWidget("label1", xmLabelWidgetClass, mw->mainForm,
                                         XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment,
                                         XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                                         nullptr);
    buildMenus(mw, resources);

    mw->bottomForm = form("bottomForm", mw->mainForm, 4);
    XtVaSetValues(mw->bottomForm, XmNbottomAttachment, XmATTACH_FORM, XmNbottomOffset, 4,
                  XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, 8, XmNrightAttachment,
                  XmATTACH_FORM, XmNrightOffset, 8, nullptr);
    buildDisplayControls(mw);
    buildFrequencyControls(mw, resources);
    buildModes(mw);
    buildPanes(mw);
    buildVideoDialog(mw, shell);
    clear_menu_create(&mw->panes.rx.clear, mw->panes.rxTextSW, "clrRx", "Rx Text",
                      mw->panes.rx.text, &mw->panes.rx.scrolledBack);
    // Clearing the transmit pane ends the receive pane's scroll hold as well.
    clear_menu_create(&mw->panes.clearTx, mw->panes.txTextSW, "clrTx", "Tx Text",
                      mw->panes.txText, &mw->panes.rx.scrolledBack);
    linkParts(mw);
    attachHandlers(mw, XtWidgetToApplicationContext(shell));

    // Children before their parents, so each container lays out once.
    for (auto it = containers.rbegin(); it != containers.rend(); ++it) {
        if (*it != mw->tuning.videoDiag) XtManageChild(*it);
    }
    XtRealizeWidget(shell);
    // Typing is what the window is for: the keyboard goes to the transmit pane as soon
    // as the window gets the focus, without a click or Xmit first.
    XmProcessTraversal(mw->panes.txText, XmTRAVERSE_CURRENT);

    Dimension formWidth = 0;
    Dimension frameWidth = 0;
    XtVaGetValues(mw->mainForm, XmNwidth, &formWidth, nullptr);
    XtVaGetValues(mw->tuning.f4, XmNwidth, &frameWidth, nullptr);
    XtVaSetValues(mw->tuning.f4, XmNleftOffset, (static_cast<int>(formWidth) - frameWidth) / 2,
                  nullptr);

    PaneLook& look = mw->panes.look;
    XtVaGetValues(mw->panes.rx.scrollBar, XmNtroughColor, &look.markColor, XmNbackground,
                  &look.plainColor, nullptr);
    // The scroll bar's paper colour is not the buttons' own: they go back to theirs.
    XtVaGetValues(mw->controls.recvTB, XmNbackground, &mw->controls.trPlainColor, nullptr);
    XtVaSetValues(mw->controls.recvTB, XmNbackground, look.markColor, nullptr);
    mw->controls.trToggles[0] = mw->controls.recvTB;
    mw->controls.trToggles[1] = mw->controls.xmitTB;
    mw->controls.trToggles[2] = mw->controls.tuneTB;
}
