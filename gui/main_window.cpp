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

#include "gui/console_settings.h"
#include "gui/actions.h"
#include "gui/controls.h"
#include "gui/display.h"
#include "gui/display_controls.h"
#include "gui/icon.h"
#include "gui/menus.h"
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

Widget modeToggle(const char* name, Widget parent) {
    return XtVaCreateManagedWidget(name, xmToggleButtonWidgetClass, parent, XmNalignment,
                                   XmALIGNMENT_END, XmNshadowThickness, 3, nullptr);
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
    mw->controls.rxGenFrame = frame("genFrame", mw->controls.controlsRC, XmSHADOW_ETCHED_IN, 3);
    mw->controls.rxComboForm = form("rxComboForm", mw->controls.rxGenFrame, 1);
    if (res->rxFreq == 0) res->rxFreq = 1000.0f;
    server_set_frequency(SERVER_MAIN_CHANNEL, hundredths(res->rxFreq));
    frequency_field_create(&mw->controls.rxFreq, mw->controls.rxComboForm, "rxFreqText",
                           "rxUpArrow", "AFC", frequencyText(res->rxFreq).c_str(), res->afc != 0);
    server_set_afc(SERVER_MAIN_CHANNEL, res->afc);

    mw->controls.txFreqLabel =
        XtVaCreateManagedWidget("Tx Freq", xmLabelWidgetClass, mw->controls.controlsRC, nullptr);
    mw->controls.txGenFrame = frame("genFrame", mw->controls.controlsRC, XmSHADOW_ETCHED_IN, 3);
    mw->controls.txComboForm = form("txComboForm", mw->controls.txGenFrame, 1);
    if (res->txFreq == 0) res->txFreq = 1000.0f;
    // The transmitter starts on the frequency the field shows.
    server_set_frequency(SERVER_TX_CHANNEL, hundredths(res->txFreq));
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
    server_set_squelch(SERVER_MAIN_CHANNEL, 15);
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
    server_set_qpsk(SERVER_TX_CHANNEL, mw->controls.qpsk);
    server_set_qpsk(SERVER_MAIN_CHANNEL, mw->controls.qpsk);
    server_set_lsb(SERVER_TX_CHANNEL, mw->controls.lsb);
    server_set_lsb(SERVER_MAIN_CHANNEL, mw->controls.lsb);
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

    const AppResources* r = mw->resources;
    band_window_setup(&mw->band, mw, r->bandColumns, r->bandTimeout, r->call);

    TuningPanel& t = mw->tuning;
    t.rxFreq = &c.rxFreq;
    t.window = mw;
    t.seekFirstStep = 1;
    t.view.dcdToggle = c.dcdTB;
    t.view.imdField = c.imdTF;

    for (SecondaryDecoder& decoder : mw->decoders) decoder.state = -1;
}

}  // namespace

void createMainWindow(MainWindow* mw, Widget shell, AppResources* resources,
                      const ConsoleServices& services) {
    containers.clear();
    mw->shell = shell;
    mw->resources = resources;
    mw->services = services;
    mw->mainForm = form("mainForm", shell, 4);
    mw->label1 = XtVaCreateManagedWidget("label1", xmLabelWidgetClass, mw->mainForm,
                                         XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment,
                                         XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                                         nullptr);
    createMenuBar(mw, resources);
    container(mw->menuBar);

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
    // Each part adds its own handlers; the menus added theirs as they were built.
    panes_attach(&mw->panes);
    tuning_attach(&mw->tuning);
    controls_attach(&mw->controls);
    XtAddCallback(mw->scope.drawingArea, XmNexposeCallback, scopeExposeCB, &mw->scope);
    registerCallBoxActions(XtWidgetToApplicationContext(shell), mw->resources);

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
