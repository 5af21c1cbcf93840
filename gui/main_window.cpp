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

MainWindow mainWindow;
PhaseScope mainScope;
Pixel markColor;
Pixel plainColor;

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

void setFreqText(MainWindow* mw, float frequency) {
    std::snprintf(mw->freqText, sizeof mw->freqText, "%4.1f", frequency);
}

// trunc(f x 100) in single precision: the server takes hundredths of a hertz.
int32_t hundredths(float frequency) {
    return static_cast<int32_t>(frequency * 100.0f);
}

Boolean toggleSet(Widget toggle) {
    return XmToggleButtonGetState(toggle);
}

void videoCB(Widget, XtPointer dialog, XtPointer) {
    XtManageChild(static_cast<Widget>(dialog));
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

// One frequency combination: the field, the up and down arrows (both named
// after the up arrow) and the toggle beside them.
void frequencyCombo(Widget comboForm, char tag, const char* textName, const char* arrowName,
                    const char* toggleName, const char* value, int set, Widget* text,
                    Widget* up, Widget* down, Widget* toggle) {
    const XtPointer userData = reinterpret_cast<XtPointer>(static_cast<intptr_t>(tag));
    *text = XtVaCreateManagedWidget(
        textName, xmTextFieldWidgetClass, comboForm, XmNuserData, userData, XmNshadowThickness, 0,
        XmNmaxLength, 6, XmNcolumns, 6, XmNmarginHeight, 10, XmNvalue, value, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        nullptr);
    *up = XtVaCreateManagedWidget(
        arrowName, xmArrowButtonWidgetClass, comboForm, XmNarrowDirection, XmARROW_UP,
        XmNuserData, userData, XmNshadowThickness, 0, XmNwidth, 25, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_POSITION, XmNbottomPosition, 50,
        XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, *text, nullptr);
    *down = XtVaCreateManagedWidget(
        arrowName, xmArrowButtonWidgetClass, comboForm, XmNarrowDirection, XmARROW_DOWN,
        XmNuserData, userData, XmNshadowThickness, 0, XmNwidth, 25, XmNtopAttachment,
        XmATTACH_POSITION, XmNtopPosition, 50, XmNbottomAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, *text, nullptr);
    *toggle = XtVaCreateManagedWidget(
        toggleName, xmToggleButtonWidgetClass, comboForm, XmNset, set ? True : False,
        XmNalignment, XmALIGNMENT_BEGINNING, XmNshadowThickness, 0, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET,
        XmNleftWidget, *up, XmNrightAttachment, XmATTACH_FORM, nullptr);
}

Widget modeToggle(const char* name, Widget parent) {
    return XtVaCreateManagedWidget(name, xmToggleButtonWidgetClass, parent, XmNalignment,
                                   XmALIGNMENT_END, XmNshadowThickness, 3, nullptr);
}

Widget clearMenu(Widget parent, const char* name, const char* title, Widget pane) {
    XmString titleText = XmStringCreateLocalized(const_cast<char*>(title));
    XmString clearText = XmStringCreateLocalized(const_cast<char*>("Clear"));
    XmString acceleratorText = XmStringCreateLocalized(const_cast<char*>("Ctrl-C"));
    Widget menu = XmVaCreateSimplePopupMenu(
        parent, const_cast<char*>(name), clearCB, XmVaTITLE, titleText, XmVaSEPARATOR,
        XmVaPUSHBUTTON, clearText, 'C', "Ctrl<Key>c", acceleratorText, XmNuserData, pane,
        nullptr);
    XmStringFree(titleText);
    XmStringFree(clearText);
    XmStringFree(acceleratorText);
    return menu;
}

void buildMenus(MainWindow* mw, Widget shell, AppResources* res) {
    mw->menuBar = XmCreateMenuBar(mw->mainForm, const_cast<char*>("menuBar"), nullptr, 0);
    mw->filePulldown = pulldown(mw->menuBar, "filePulldown");
    mw->controlsPulldown = pulldown(mw->menuBar, "controlsPulldown");
    mw->seekPulldown = pulldown(mw->menuBar, "SeekPulldown");
    mw->fileCascade = cascade(mw->menuBar, "File", 'F', mw->filePulldown);
    createFileButtons(mw, shell, res->buttonNames);

    mw->controlsCascade = cascade(mw->menuBar, "Controls", 'C', mw->controlsPulldown);
    buildMenuItems(mw, mw->controlsPulldown, controlsMenu, controlsMenuSize);
    vordaDisplay.flowUp = toggleSet(mw->flowUpItem) ? 1 : 0;
    mw->localCaps = toggleSet(mw->localCapsItem) ? 1 : 0;

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
    mw->f1 = frame("f1", mw->bottomForm, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->f1, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM,
                  XmNleftAttachment, XmATTACH_FORM, nullptr);
    mw->displayForm = form("displayForm", mw->f1, 4);
    mw->displayRC = container(XtVaCreateWidget(
        "displayRC", xmRowColumnWidgetClass, mw->displayForm, XmNentryAlignment,
        XmALIGNMENT_CENTER, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr));
    mw->displayLabel =
        XtVaCreateManagedWidget("Display Controls", xmLabelWidgetClass, mw->displayRC, nullptr);
    mw->displayRB = radioBox("displayRB", mw->displayRC, 4);
    XtVaSetValues(mw->displayRB, XmNmarginWidth, 0, nullptr);

    Screen* screen = XtScreen(mw->mainForm);
    mw->whitePixel = WhitePixelOfScreen(screen);
    mw->blackPixel = BlackPixelOfScreen(screen);
    mw->spectrumPicture = pictureFromArt(mw->mainForm, spectrumArt, mw->blackPixel,
                                         mw->whitePixel);
    mw->waterfallPicture = pictureFromArt(mw->mainForm, waterfallArt, mw->blackPixel,
                                          mw->whitePixel);
    mw->saTB = XtVaCreateManagedWidget("saTB", xmToggleButtonWidgetClass, mw->displayRB,
                                       XmNshadowThickness, 3, XmNlabelType, XmPIXMAP,
                                       XmNlabelPixmap, mw->spectrumPicture, nullptr);
    mw->wfTB = XtVaCreateManagedWidget("wfTB", xmToggleButtonWidgetClass, mw->displayRB,
                                       XmNshadowThickness, 3, XmNlabelType, XmPIXMAP,
                                       XmNlabelPixmap, mw->waterfallPicture, nullptr);
    vordaDisplay.mode = toggleSet(mw->wfTB) ? 1 : 0;

    mw->bwRB = radioBox("bwRB", mw->displayRC, 3);
    XtVaSetValues(mw->bwRB, XmNmarginWidth, 0, nullptr);
    mw->broadTB = XtVaCreateManagedWidget("B", xmToggleButtonWidgetClass, mw->bwRB,
                                          XmNshadowThickness, 3, XmNmnemonic, XK_B, nullptr);
    mw->mediumTB = XtVaCreateManagedWidget("M", xmToggleButtonWidgetClass, mw->bwRB,
                                           XmNshadowThickness, 3, XmNmnemonic, XK_M, nullptr);
    mw->narrowTB = XtVaCreateManagedWidget("N", xmToggleButtonWidgetClass, mw->bwRB,
                                           XmNshadowThickness, 3, XmNmnemonic, XK_N, nullptr);
    mw->spanFactor = 0;
    if (toggleSet(mw->broadTB)) mw->spanFactor = 2;
    if (toggleSet(mw->mediumTB)) mw->spanFactor = 4;
    if (toggleSet(mw->narrowTB)) mw->spanFactor = 8;
    // With no span chosen in the resource file the display would get no FFT
    // length at all: take "B", the broadest view.
    if (mw->spanFactor == 0) {
        XmToggleButtonSetState(mw->broadTB, True, False);
        mw->spanFactor = 2;
    }

    mw->scopeDA = XtVaCreateManagedWidget(
        "scopeDA", xmDrawingAreaWidgetClass, mw->displayForm, XmNtraversalOn, False,
        XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->displayRC, XmNbottomAttachment,
        XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
        nullptr);
}

void buildFrequencyControls(MainWindow* mw, AppResources* res) {
    mw->f2 = frame("f2", mw->bottomForm, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->f2, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM,
                  XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, mw->f1, nullptr);
    mw->controlsForm = form("controlsForm", mw->f2, 4);
    mw->controlsRC = container(XtVaCreateWidget(
        "controlsRC", xmRowColumnWidgetClass, mw->controlsForm, XmNentryAlignment,
        XmALIGNMENT_CENTER, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr));

    mw->rxFreqLabel = XtVaCreateManagedWidget("Rx Freq", xmLabelWidgetClass, mw->controlsRC,
                                              nullptr);
    mw->rxGenFrame = frame("genFrame", mw->controlsRC, XmSHADOW_ETCHED_IN, 3);
    mw->rxComboForm = form("rxComboForm", mw->rxGenFrame, 1);
    if (res->rxFreq == 0) res->rxFreq = 1000.0f;
    server_set_frequency(SERVER_MAIN_CHANNEL, hundredths(res->rxFreq));
    setFreqText(mw, res->rxFreq);
    frequencyCombo(mw->rxComboForm, 'R', "rxFreqText", "rxUpArrow", "AFC", mw->freqText,
                   res->afc, &mw->rxFreqText, &mw->rxUpArrow, &mw->rxDownArrow, &mw->afcTB);
    server_set_afc(SERVER_MAIN_CHANNEL, res->afc);

    mw->txFreqLabel = XtVaCreateManagedWidget("Tx Freq", xmLabelWidgetClass, mw->controlsRC,
                                              nullptr);
    mw->txGenFrame = frame("genFrame", mw->controlsRC, XmSHADOW_ETCHED_IN, 3);
    mw->txComboForm = form("txComboForm", mw->txGenFrame, 1);
    if (res->txFreq == 0) res->txFreq = 1000.0f;
    // The transmitter starts on the frequency the field shows.
    server_set_frequency(SERVER_TX_CHANNEL, hundredths(res->txFreq));
    setFreqText(mw, res->txFreq);
    frequencyCombo(mw->txComboForm, 'T', "txFreqText", "txUpArrow", "NET", mw->freqText,
                   res->net, &mw->txFreqText, &mw->txUpArrow, &mw->txDownArrow, &mw->netTB);
    XmToggleButtonSetState(mw->netTB, res->net ? True : False, False);
    mw->net = res->net;

    mw->trLabel = XtVaCreateManagedWidget(
        "T/R Controls", xmLabelWidgetClass, mw->controlsForm, XmNtopAttachment, XmATTACH_WIDGET,
        XmNtopWidget, mw->controlsRC, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment,
        XmATTACH_FORM, nullptr);
    mw->trRB = radioBox("trRB", mw->controlsForm, 10);
    XtVaSetValues(mw->trRB, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->trLabel,
                  XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
                  XmNrightAttachment, XmATTACH_FORM, nullptr);
    const char* names[3] = {"Recv", "Xmit", "Tune"};
    const KeySym mnemonics[3] = {XK_R, XK_X, XK_T};
    Widget* toggles[3] = {&mw->recvTB, &mw->xmitTB, &mw->tuneTB};
    for (int i = 0; i < 3; ++i) {
        *toggles[i] = XtVaCreateManagedWidget(
            names[i], xmToggleButtonWidgetClass, mw->trRB, XmNindicatorOn, False,
            XmNshadowThickness, 3, XmNmnemonic, mnemonics[i], XmNset, i == 0 ? True : False,
            nullptr);
    }
}

void buildModes(MainWindow* mw) {
    mw->f3 = frame("f3", mw->bottomForm, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->f3, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM,
                  XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, mw->f2, nullptr);
    mw->modesRC = container(XtVaCreateWidget(
        "modesRC", xmRowColumnWidgetClass, mw->f3, XmNentryAlignment, XmALIGNMENT_BEGINNING,
        XmNisAligned, False, XmNadjustMargin, False, XmNadjustLast, False, XmNspacing, 8,
        XmNmarginHeight, 6, XmNmarginWidth, 6, nullptr));
    mw->modesLabel = XtVaCreateManagedWidget("Modes", xmLabelWidgetClass, mw->modesRC,
                                             XmNalignment, XmALIGNMENT_CENTER, nullptr);
    mw->dcdTB = modeToggle("DCD", mw->modesRC);
    XmToggleButtonSetState(mw->dcdTB, False, False);
    server_set_squelch(SERVER_MAIN_CHANNEL, 15);
    mw->qpskTB = modeToggle("QPSK", mw->modesRC);
    mw->lsbTB = modeToggle("LSB", mw->modesRC);
    mw->cwIdTB = modeToggle("CW ID", mw->modesRC);
    mw->imdFrame = frame("imdFrame", mw->modesRC, XmSHADOW_OUT, 3);
    mw->imdForm = container(XtVaCreateWidget("imdForm", xmFormWidgetClass, mw->imdFrame, nullptr));
    mw->imdTF = XtVaCreateManagedWidget(
        "imdTF", xmTextFieldWidgetClass, mw->imdForm, XmNmarginHeight, 2, XmNcolumns, 3,
        XmNshadowThickness, 0, XmNvalue, "---", XmNcursorPositionVisible, False,
        XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
        XmATTACH_FORM, nullptr);
    mw->imdLabel = XtVaCreateManagedWidget(
        "IMD", xmLabelWidgetClass, mw->imdForm, XmNshadowThickness, 0, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET,
        XmNleftWidget, mw->imdTF, XmNrightAttachment, XmATTACH_FORM, nullptr);

    mw->qpsk = toggleSet(mw->qpskTB) ? 1 : 0;
    mw->lsb = toggleSet(mw->lsbTB) ? 1 : 0;
    server_set_qpsk(SERVER_TX_CHANNEL, mw->qpsk);
    server_set_qpsk(SERVER_MAIN_CHANNEL, mw->qpsk);
    server_set_lsb(SERVER_TX_CHANNEL, mw->lsb);
    server_set_lsb(SERVER_MAIN_CHANNEL, mw->lsb);
}

void buildPanes(MainWindow* mw) {
    mw->f4 = frame("f4", mw->mainForm, XmSHADOW_IN, 5);
    XtVaSetValues(mw->f4, XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget, mw->bottomForm,
                  XmNleftAttachment, XmATTACH_FORM, nullptr);
    mw->wfDA = XtVaCreateManagedWidget("wfDA", xmDrawingAreaWidgetClass, mw->f4, XmNheight, 75,
                                       XmNwidth, 384, XmNbackground, mw->blackPixel,
                                       XmNtraversalOn, False, nullptr);
    // The panes end 8 pixels above the frame around the spectrum display.
    mw->paneWin = container(XtVaCreateWidget(
        "paneWin", xmPanedWindowWidgetClass, mw->mainForm, XmNtopAttachment, XmATTACH_WIDGET,
        XmNtopWidget, mw->menuBar, XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget, mw->f4,
        XmNbottomOffset, 8, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
        nullptr));

    mw->rxTextSW = container(XtVaCreateWidget("rxTextSW", xmScrolledWindowWidgetClass,
                                              mw->paneWin, XmNscrollingPolicy,
                                              XmAPPLICATION_DEFINED, XmNvisualPolicy,
                                              XmVARIABLE, XmNscrollBarDisplayPolicy, XmSTATIC,
                                              nullptr));
    mw->rxText = XtVaCreateManagedWidget(
        "rxText", xmTextWidgetClass, mw->rxTextSW, XmNeditMode, XmMULTI_LINE_EDIT,
        XmNshadowThickness, 3, XmNhighlightThickness, 2, XmNeditable, False, XmNwordWrap, True,
        XmNcursorPositionVisible, False, XmNautoShowCursorPosition, False, XmNscrollHorizontal,
        False, XmNuserData, mw, nullptr);
    mw->txTextSW = container(XtVaCreateWidget("txTextSW", xmScrolledWindowWidgetClass,
                                              mw->paneWin, XmNscrollingPolicy,
                                              XmAPPLICATION_DEFINED, XmNvisualPolicy,
                                              XmVARIABLE, XmNscrollBarDisplayPolicy, XmSTATIC,
                                              nullptr));
    mw->txText = XtVaCreateManagedWidget(
        "txText", xmTextWidgetClass, mw->txTextSW, XmNeditMode, XmMULTI_LINE_EDIT, XmNeditable,
        True, XmNwordWrap, True, XmNshadowThickness, 3, XmNhighlightThickness, 2, XmNblinkRate,
        0, XmNscrollHorizontal, False, nullptr);
    mw->scrolledBack = 0;
    XtVaGetValues(mw->rxTextSW, XmNverticalScrollBar, &mw->rxScrollBar, nullptr);
}

void buildVideoDialog(MainWindow* mw, Widget shell) {
    Arg args[2];
    XtSetArg(args[0], XmNhorizontalSpacing, 4);
    XtSetArg(args[1], XmNverticalSpacing, 4);
    mw->videoDiag = XmCreateFormDialog(shell, const_cast<char*>("videoDiag"), args, 2);
    XtVaSetValues(XtParent(mw->videoDiag), XmNtitle, "VORDA VIDEO", XmNiconPixmap, iconPixmap,
                  XmNmwmDecorations, MWM_DECOR_ALL | MWM_DECOR_RESIZEH, nullptr);
    mw->videoLabel = XtVaCreateManagedWidget(
        "Video Controls", xmLabelWidgetClass, mw->videoDiag, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->videoFrame = frame("videoFrame", mw->videoDiag, XmSHADOW_OUT, 3);
    XtVaSetValues(mw->videoFrame, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->videoLabel,
                  XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->videoForm = form("videoForm", mw->videoFrame, 4);
    mw->brightLabel = XtVaCreateManagedWidget(
        "Brightness", xmLabelWidgetClass, mw->videoForm, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->brightScale = XtVaCreateManagedWidget(
        "brightScale", xmScaleWidgetClass, mw->videoForm, XmNorientation, XmHORIZONTAL,
        XmNshowValue, True, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->brightLabel,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    mw->speedLabel = XtVaCreateManagedWidget(
        "Display Speed", xmLabelWidgetClass, mw->videoForm, XmNtopAttachment, XmATTACH_WIDGET,
        XmNtopWidget, mw->brightScale, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment,
        XmATTACH_FORM, nullptr);
    mw->fftSpeedScale = XtVaCreateManagedWidget(
        "fftSpeedScale", xmScaleWidgetClass, mw->videoForm, XmNorientation, XmHORIZONTAL,
        XmNshowValue, True, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->speedLabel,
        XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr);
    // The scale lives in another form, so the button hangs below the frame around it.
    mw->videoClose = XtVaCreateManagedWidget(
        "Close", xmPushButtonWidgetClass, mw->videoDiag, XmNtopAttachment, XmATTACH_WIDGET,
        XmNtopWidget, mw->videoFrame, XmNtopOffset, 4, XmNbottomAttachment, XmATTACH_FORM,
        XmNbottomOffset, 4, XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, 20,
        XmNrightAttachment, XmATTACH_FORM, XmNrightOffset, 20, nullptr);

    XmScaleGetValue(mw->brightScale, &mw->brightness);
    vordaDisplay.brightness = mw->brightness;
    XmScaleGetValue(mw->fftSpeedScale, &mw->displaySpeed);
}

void attachHandlers(MainWindow* mw, XtAppContext app) {
    XtAddCallback(mw->localCapsItem, XmNvalueChangedCallback, localCapsCB, nullptr);
    XtAddCallback(mw->videoItem, XmNactivateCallback, videoCB, mw->videoDiag);
    XtAddCallback(mw->videoClose, XmNactivateCallback, videoCloseCB, mw->videoDiag);
    XtAddCallback(mw->txText, XmNmodifyVerifyCallbackWcs, txTextCB, nullptr);
    XtAddCallback(mw->txText, XmNmotionVerifyCallback, txTextCB, nullptr);
    const char* scrollLists[] = {XmNdragCallback,          XmNincrementCallback,
                                 XmNdecrementCallback,     XmNpageIncrementCallback,
                                 XmNpageDecrementCallback, XmNtoTopCallback,
                                 XmNtoBottomCallback,      XmNvalueChangedCallback};
    for (const char* list : scrollLists) XtAddCallback(mw->rxScrollBar, list, scrollCB, mw);
    XtAddCallback(mw->scopeDA, XmNexposeCallback, scopeExposeCB, &mainScope);
    XtAddEventHandler(mw->rxText, ButtonPressMask, False, popupCB, mw->clrRx);
    XtAddEventHandler(mw->rxTextSW, ButtonPressMask, False, popupCB, mw->clrRx);
    XtAddEventHandler(mw->txText, ButtonPressMask, False, popupCB, mw->clrTx);
    XtAddEventHandler(mw->txTextSW, ButtonPressMask, False, popupCB, mw->clrTx);
    XtAddCallback(mw->flowUpItem, XmNvalueChangedCallback, flowUpCB, nullptr);
    const struct {
        Widget item;
        Widget toggle;
    } menuToggles[] = {{mw->recvItem, mw->recvTB},     {mw->xmitItem, mw->xmitTB},
                       {mw->tuneItem, mw->tuneTB},     {mw->broadItem, mw->broadTB},
                       {mw->mediumItem, mw->mediumTB}, {mw->narrowItem, mw->narrowTB},
                       {mw->spectrumItem, mw->saTB},   {mw->waterfallItem, mw->wfTB}};
    for (const auto& m : menuToggles) {
        XtAddCallback(m.item, XmNactivateCallback, setToggleCB, m.toggle);
        // Clicking the set toggle of a radio group leaves it set.
        XtAddCallback(m.toggle, XmNdisarmCallback, setToggleCB, m.toggle);
    }
    XtAddCallback(mw->saTB, XmNvalueChangedCallback, modeCB, reinterpret_cast<XtPointer>(0));
    XtAddCallback(mw->wfTB, XmNvalueChangedCallback, modeCB, reinterpret_cast<XtPointer>(1));
    XtAddCallback(mw->broadTB, XmNvalueChangedCallback, spanCB, reinterpret_cast<XtPointer>(2));
    XtAddCallback(mw->mediumTB, XmNvalueChangedCallback, spanCB, reinterpret_cast<XtPointer>(4));
    XtAddCallback(mw->narrowTB, XmNvalueChangedCallback, spanCB, reinterpret_cast<XtPointer>(8));
    XtAddCallback(mw->recvTB, XmNvalueChangedCallback, recvCB, nullptr);
    XtAddCallback(mw->xmitTB, XmNvalueChangedCallback, xmitCB, nullptr);
    XtAddCallback(mw->tuneTB, XmNvalueChangedCallback, tuneCB, nullptr);
    for (Widget arrow : {mw->rxUpArrow, mw->rxDownArrow}) {
        XtAddCallback(arrow, XmNactivateCallback, freqArrowCB, mw->rxFreqText);
    }
    for (Widget arrow : {mw->txUpArrow, mw->txDownArrow}) {
        XtAddCallback(arrow, XmNactivateCallback, freqArrowCB, mw->txFreqText);
    }
    XtAddCallback(mw->rxFreqText, XmNfocusCallback, rxFreqFocusCB, mw);
    XtAddCallback(mw->rxFreqText, XmNlosingFocusCallback, rxFreqFocusCB, mw);
    for (Widget field : {mw->rxFreqText, mw->txFreqText}) {
        XtAddCallback(field, XmNmodifyVerifyCallback, freqTextCB, nullptr);
        XtAddCallback(field, XmNactivateCallback, freqTextCB, nullptr);
    }
    XtAddCallback(mw->afcTB, XmNvalueChangedCallback, afcCB, nullptr);
    XtAddCallback(mw->netTB, XmNvalueChangedCallback, netCB, nullptr);
    XtAddCallback(mw->qpskTB, XmNvalueChangedCallback, qpskCB, nullptr);
    XtAddCallback(mw->lsbTB, XmNvalueChangedCallback, lsbCB, nullptr);
    XtAddCallback(mw->dcdTB, XmNvalueChangedCallback, dcdCB, nullptr);
    XtAddCallback(mw->brightScale, XmNvalueChangedCallback, brightCB, nullptr);
    XtAddCallback(mw->brightScale, XmNdragCallback, brightCB, nullptr);
    XtAddCallback(mw->fftSpeedScale, XmNvalueChangedCallback, speedCB, nullptr);
    XtAddCallback(mw->fftSpeedScale, XmNdragCallback, speedCB, nullptr);
    XtAddCallback(mw->wfDA, XmNinputCallback, wfInputCB, nullptr);
    XtAddCallback(mw->seekUpItem, XmNactivateCallback, seekCB, reinterpret_cast<XtPointer>('U'));
    XtAddCallback(mw->seekDownItem, XmNactivateCallback, seekCB, reinterpret_cast<XtPointer>('D'));
    XtAddCallback(mw->haltItem, XmNactivateCallback, haltCB, nullptr);
    XtAddCallback(mw->openDecoderItem, XmNactivateCallback, openDecoderCB, nullptr);
    registerCallBoxActions(app);
}

}  // namespace

void createFileButtons(MainWindow* mw, Widget shell, char** names) {
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
        XtAddCallback(mw->fileButtons[i - 1], XmNactivateCallback, sendFileCB, shell);
    }
    mw->fileSeparator = XtVaCreateManagedWidget("sep", xmSeparatorWidgetClass, mw->filePulldown,
                                                nullptr);
    mw->qrtButton = createMenuButton(mw->filePulldown, "QRT", 'Q', "Ctrl<Key>Q", "Ctrl-Q");
    XtVaSetValues(mw->qrtButton, XmNmnemonicCharSet, XmFONTLIST_DEFAULT_TAG, nullptr);
    XtAddCallback(mw->qrtButton, XmNactivateCallback, quitCB, nullptr);
}

void createMainWindow(MainWindow* mw, Widget shell, AppResources* resources) {
    containers.clear();
    mw->mainForm = form("mainForm", shell, 4);
    mw->label1 = XtVaCreateManagedWidget("label1", xmLabelWidgetClass, mw->mainForm,
                                         XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment,
                                         XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                                         nullptr);
    buildMenus(mw, shell, resources);

    mw->bottomForm = form("bottomForm", mw->mainForm, 4);
    XtVaSetValues(mw->bottomForm, XmNbottomAttachment, XmATTACH_FORM, XmNbottomOffset, 4,
                  XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, 8, XmNrightAttachment,
                  XmATTACH_FORM, XmNrightOffset, 8, nullptr);
    buildDisplayControls(mw);
    buildFrequencyControls(mw, resources);
    buildModes(mw);
    buildPanes(mw);
    buildVideoDialog(mw, shell);
    mw->clrRx = clearMenu(mw->rxTextSW, "clrRx", "Rx Text", mw->rxText);
    mw->clrTx = clearMenu(mw->txTextSW, "clrTx", "Tx Text", mw->txText);
    attachHandlers(mw, XtWidgetToApplicationContext(shell));

    // Children before their parents, so each container lays out once.
    for (auto it = containers.rbegin(); it != containers.rend(); ++it) {
        if (*it != mw->videoDiag) XtManageChild(*it);
    }
    XtRealizeWidget(shell);
    // Typing is what the window is for: the keyboard goes to the transmit pane as soon
    // as the window gets the focus, without a click or Xmit first.
    XmProcessTraversal(mw->txText, XmTRAVERSE_CURRENT);

    Dimension formWidth = 0;
    Dimension frameWidth = 0;
    XtVaGetValues(mw->mainForm, XmNwidth, &formWidth, nullptr);
    XtVaGetValues(mw->f4, XmNwidth, &frameWidth, nullptr);
    XtVaSetValues(mw->f4, XmNleftOffset, (static_cast<int>(formWidth) - frameWidth) / 2, nullptr);

    XtVaGetValues(mw->rxScrollBar, XmNtroughColor, &markColor, XmNbackground, &plainColor,
                  nullptr);
    // The scroll bar's paper colour is not the buttons' own: they go back to theirs.
    XtVaGetValues(mw->recvTB, XmNbackground, &mw->trPlainColor, nullptr);
    XtVaSetValues(mw->recvTB, XmNbackground, markColor, nullptr);
    mw->trToggles[0] = mw->recvTB;
    mw->trToggles[1] = mw->xmitTB;
    mw->trToggles[2] = mw->tuneTB;
}
