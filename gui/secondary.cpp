#include "gui/secondary.h"

#include <Xm/ArrowB.h>
#include <Xm/DialogS.h>
#include <Xm/DrawingA.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/MwmUtil.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrolledW.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "gui/controls.h"
#include "gui/display.h"
#include "gui/icon.h"
#include "gui/main_window.h"
#include "server/server.h"

namespace {

// Every window-manager function but Close: only "Close" may close the window,
// because it also frees the channel.
constexpr int ALL_BUT_CLOSE = MWM_FUNC_ALL | MWM_FUNC_CLOSE;

constexpr int CENTRE_COLUMN = 192;  // the main receive frequency on the display

// The end of a pane in view, with its insertion point there.
void showEnd(Widget pane) {
    const XmTextPosition end = XmTextGetLastPosition(pane);
    XmTextSetInsertionPosition(pane, end);
    XmTextShowPosition(pane, end);
}

SecondaryDecoder* owner(XtPointer clientData) {
    return static_cast<SecondaryDecoder*>(clientData);
}

void decoderAfcCB(Widget, XtPointer clientData, XtPointer callData) {
    const auto* toggle = static_cast<XmToggleButtonCallbackStruct*>(callData);
    server_set_afc(owner(clientData)->freq.channel, toggle->set ? 1 : 0);
}

void decoderQpskCB(Widget, XtPointer clientData, XtPointer callData) {
    const auto* toggle = static_cast<XmToggleButtonCallbackStruct*>(callData);
    server_set_qpsk(owner(clientData)->freq.channel, toggle->set ? 1 : 0);
}

// "<-> Main": the server exchanges the two receivers with all their settings;
// the windows follow with texts, modes, AFC and frequencies.
void swapCB(Widget, XtPointer clientData, XtPointer) {
    SecondaryDecoder* d = owner(clientData);
    MainWindow& mw = *d->window;
    Widget mainPane = mw.panes.rx.text;
    Widget ownPane = d->pane.text;
    server_swap_receivers(SERVER_MAIN_CHANNEL, d->freq.channel);

    // As characters: the Latin-1 text passes unchanged whatever the locale.
    wchar_t* mainText = XmTextGetStringWcs(mainPane);
    wchar_t* ownText = XmTextGetStringWcs(ownPane);
    XmTextDisableRedisplay(mainPane);
    XmTextDisableRedisplay(ownPane);
    XmTextSetStringWcs(mainPane, ownText);
    XmTextSetStringWcs(ownPane, mainText);
    XtFree(reinterpret_cast<char*>(mainText));
    XtFree(reinterpret_cast<char*>(ownText));
    showEnd(mainPane);
    showEnd(ownPane);
    XmTextEnableRedisplay(mainPane);
    XmTextEnableRedisplay(ownPane);
    mw.panes.rx.scrolledBack = 0;
    d->pane.scrolledBack = 0;
    XtVaSetValues(mainPane, XmNbackground, mw.panes.look.plainColor, nullptr);
    XtVaSetValues(ownPane, XmNbackground, mw.panes.look.plainColor, nullptr);

    // The main toggles notify, so that their handlers send the new mode to the
    // transmitter as well; this window's channel already has its settings.
    const Boolean mainQpsk = XmToggleButtonGetState(mw.controls.qpskTB);
    XmToggleButtonSetState(mw.controls.qpskTB, XmToggleButtonGetState(d->qpskTB), True);
    XmToggleButtonSetState(d->qpskTB, mainQpsk, False);
    const Boolean mainAfc = XmToggleButtonGetState(mw.controls.rxFreq.toggle);
    XmToggleButtonSetState(mw.controls.rxFreq.toggle, XmToggleButtonGetState(d->freq.toggle), True);
    XmToggleButtonSetState(d->freq.toggle, mainAfc, False);

    const float mainFrequency = frequency_field_value(&mw.controls.rxFreq);
    const float ownFrequency = frequency_field_value(&d->freq);
    frequency_field_write(&mw.controls.rxFreq, ownFrequency);
    server_set_frequency(SERVER_MAIN_CHANNEL, frequencyHundredths(ownFrequency));
    frequency_field_show(&d->freq, mainFrequency);
    server_set_frequency(d->freq.channel, frequencyHundredths(mainFrequency));
}

void closeCB(Widget, XtPointer clientData, XtPointer) {
    SecondaryDecoder* d = owner(clientData);
    server_disable_receiver(d->freq.channel);
    XtPopdown(d->secondaryDiag);
    d->state = 0;
}

Widget frame(const char* name, Widget parent, unsigned char type, int thickness, int margin) {
    return XtVaCreateWidget(name, xmFrameWidgetClass, parent, XmNshadowType, type,
                            XmNshadowThickness, thickness, XmNmarginWidth, margin,
                            XmNmarginHeight, margin, nullptr);
}

Widget form(const char* name, Widget parent, int spacing) {
    return XtVaCreateWidget(name, xmFormWidgetClass, parent, XmNhorizontalSpacing, spacing,
                            XmNverticalSpacing, spacing, nullptr);
}

void buildScope(SecondaryDecoder* d) {
    d->frame1 = frame("frame1", d->bottomForm, XmSHADOW_OUT, 3, 1);
    XtVaSetValues(d->frame1, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM,
                  XmNleftAttachment, XmATTACH_FORM, nullptr);
    d->scopeDA = XtVaCreateManagedWidget("scopeDA", xmDrawingAreaWidgetClass, d->frame1,
                                         XmNwidth, 80, XmNheight, 80, XmNtraversalOn, False,
                                         nullptr);
    XtAddCallback(d->scopeDA, XmNexposeCallback, scopeExposeCB, &d->scope);
}

void buildFrequencyControls(SecondaryDecoder* d) {
    d->frame2 = frame("frame2", d->bottomForm, XmSHADOW_OUT, 3, 0);
    XtVaSetValues(d->frame2, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM,
                  XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, d->frame1, nullptr);
    d->centerForm = form("centerForm", d->frame2, 4);
    d->rxFreqLabel = XtVaCreateManagedWidget(
        "Rx Freq", xmLabelWidgetClass, d->centerForm, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    d->frame2a = frame("frame2a", d->centerForm, XmSHADOW_ETCHED_IN, 2, 1);
    XtVaSetValues(d->frame2a, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, d->rxFreqLabel,
                  XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    d->rxFreqCombo = form("rxFreqCombo", d->frame2a, 1);

    // Both arrows carry the up arrow's name, as in the main window.
    frequency_field_create(&d->freq, d->rxFreqCombo, "rx2FreqText", "rxUpArrow", "AFC", "1000.0",
                           true);

    d->pbForm = form("pbForm", d->centerForm, 1);
    XtVaSetValues(d->pbForm, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, d->frame2a,
                  XmNbottomAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                  nullptr);
    d->swapButton = XtVaCreateManagedWidget(
        "<-> Main", xmPushButtonWidgetClass, d->pbForm, XmNtopAttachment, XmATTACH_FORM,
        XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_POSITION, XmNrightPosition, 45, nullptr);
    d->closeButton = XtVaCreateManagedWidget(
        "Close", xmPushButtonWidgetClass, d->pbForm, XmNtopAttachment, XmATTACH_FORM,
        XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_POSITION,
        XmNleftPosition, 55, XmNrightAttachment, XmATTACH_FORM, nullptr);

    XtAddCallback(d->freq.toggle, XmNvalueChangedCallback, decoderAfcCB, d);
    XtAddCallback(d->swapButton, XmNactivateCallback, swapCB, d);
    XtAddCallback(d->closeButton, XmNactivateCallback, closeCB, d);
}

void buildModes(SecondaryDecoder* d) {
    d->frame3 = frame("frame3", d->bottomForm, XmSHADOW_OUT, 3, 1);
    XtVaSetValues(d->frame3, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM,
                  XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, d->frame2, nullptr);
    d->modeForm = form("modeForm", d->frame3, 4);
    d->modesLabel = XtVaCreateManagedWidget(
        "Modes", xmLabelWidgetClass, d->modeForm, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    d->qpskTB = XtVaCreateManagedWidget(
        "QPSK", xmToggleButtonWidgetClass, d->modeForm, XmNshadowThickness, 2,
        XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, nullptr);
    d->dcdTB = XtVaCreateManagedWidget(
        "DCD", xmToggleButtonWidgetClass, d->modeForm, XmNshadowThickness, 2,
        XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget, d->qpskTB, XmNleftAttachment,
        XmATTACH_FORM, nullptr);
    XtAddCallback(d->qpskTB, XmNvalueChangedCallback, decoderQpskCB, d);
}

void buildPane(SecondaryDecoder* d) {
    d->rxTextSW = XtVaCreateWidget(
        "rxTextSW", xmScrolledWindowWidgetClass, d->mainForm, XmNscrollingPolicy,
        XmAPPLICATION_DEFINED, XmNvisualPolicy, XmVARIABLE, XmNscrollBarDisplayPolicy, XmSTATIC,
        XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget, d->bottomForm,
        nullptr);
    d->pane.text = XtVaCreateManagedWidget(
        "rxText", xmTextWidgetClass, d->rxTextSW, XmNrows, 4, XmNeditMode, XmMULTI_LINE_EDIT,
        XmNeditable, False, XmNwordWrap, True, XmNcursorPositionVisible, False,
        XmNautoShowCursorPosition, False, XmNscrollHorizontal, False, XmNshadowThickness, 2,
        XmNuserData, &d->pane, nullptr);
    XtVaGetValues(d->rxTextSW, XmNverticalScrollBar, &d->pane.scrollBar, nullptr);
    receive_pane_attach(&d->pane);
    clear_menu_create(&d->pane.clear, d->pane.text, "clrRx", "Rx Text", d->pane.text,
                      &d->pane.scrolledBack);
    XtAddEventHandler(d->pane.text, ButtonPressMask, False, popupCB, d->pane.clear.menu);
}

void buildWindow(MainWindow* mw, SecondaryDecoder* d, int slot) {
    d->window = mw;
    d->pane.scrolledBack = 0;
    d->pane.look = &mw->panes.look;
    d->freq.look = &mw->panes.look;
    d->freq.parksAfc = true;
    d->freq.notifyAfc = false;
    d->freq.arrowRule = ArrowRule::doubleClickFirst;
    d->slot = slot;
    char title[32];
    std::snprintf(title, sizeof title, "VORDA Secondary RX %d", slot + 1);
    // A window manager that ignores the missing Close function still must not
    // hide the window behind the channel's back.
    d->secondaryDiag = XtVaCreatePopupShell(
        "secondaryDiag", xmDialogShellWidgetClass, mw->shell, XmNtitle, title, XmNmwmFunctions,
        ALL_BUT_CLOSE, XmNdeleteResponse, XmDO_NOTHING, XmNiconPixmap, programIcon(), nullptr);
    d->mainForm = XtVaCreateWidget("mainForm", xmFormWidgetClass, d->secondaryDiag,
                                   XmNhorizontalSpacing, 4, XmNverticalSpacing, 4,
                                   XmNdialogStyle, XmDIALOG_MODELESS, XmNautoUnmanage, False,
                                   nullptr);
    d->bottomForm = form("bottomForm", d->mainForm, 4);
    XtVaSetValues(d->bottomForm, XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, 4,
                  XmNrightAttachment, XmATTACH_FORM, XmNrightOffset, 8, XmNbottomAttachment,
                  XmATTACH_FORM, XmNbottomOffset, 4, nullptr);
    buildScope(d);
    buildFrequencyControls(d);
    buildModes(d);
    buildPane(d);
    d->freq.focusAfterEnter = d->swapButton;
    d->freq.focusAfterLeave = d->pane.text;
    frequency_field_attach(&d->freq);

    // Children before their parents; managing mainForm pops the window up.
    for (Widget w : {d->pbForm, d->modeForm, d->rxFreqCombo, d->centerForm, d->frame1,
                     d->frame2a, d->frame2, d->frame3, d->bottomForm, d->rxTextSW, d->mainForm}) {
        XtManageChild(w);
    }

    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(d->secondaryDiag, XmNwidth, &width, XmNheight, &height, nullptr);
    // A state file from a larger screen (or an edited one) must not open the window
    // where it cannot be seen.
    Screen* screen = XtScreen(d->secondaryDiag);
    int savedX = 0;
    int savedY = 0;
    mw->services.savedPosition(slot, &savedX, &savedY);
    const int x = decoder_coordinate_on_screen(savedX, WidthOfScreen(screen), width);
    const int y = decoder_coordinate_on_screen(savedY, HeightOfScreen(screen), height);
    XtVaSetValues(d->secondaryDiag, XmNx, static_cast<Position>(x), XmNy, static_cast<Position>(y),
                  nullptr);
    XtVaSetValues(d->secondaryDiag, XmNminWidth, width, XmNminHeight, height, nullptr);

    scope_init(&d->scope, mw->shell, d->scopeDA);
    scope_clear(&d->scope);
    scope_draw(&d->scope, 90, 4, SCOPE_YELLOW);
}

}  // namespace

int decoder_coordinate_on_screen(int saved, int screenExtent, int windowExtent) {
    // Enough of the window to see it and drag it back; an operator may well keep
    // windows partly beyond the edge.
    constexpr int VISIBLE = 64;
    return std::clamp(saved, 0, std::max(screenExtent - std::min(windowExtent, VISIBLE), 0));
}

int decoder_open(MainWindow* mw, int column) {
    return decoder_open_at(mw, display_click_freq(&mw->tuning.view, column));
}

int decoder_open_at(MainWindow* mw, float frequency) {
    int slot = 0;
    while (slot < DECODER_SLOTS && mw->decoders[slot].state == 1) ++slot;
    if (slot == DECODER_SLOTS) {
        std::fputs("error: no free decoder channel!\n", stderr);
        return -1;
    }
    SecondaryDecoder* d = &mw->decoders[slot];
    if (d->secondaryDiag == nullptr) buildWindow(mw, d, slot);

    d->freq.channel = slot + 3;
    server_enable_receiver(d->freq.channel);
    server_set_squelch(d->freq.channel, 15);
    const Boolean qpsk = XmToggleButtonGetState(mw->controls.qpskTB);
    XmToggleButtonSetState(d->qpskTB, qpsk, False);
    server_set_qpsk(d->freq.channel, qpsk ? 1 : 0);
    server_set_lsb(d->freq.channel, 0);
    server_set_afc(d->freq.channel, 1);
    XmToggleButtonSetState(d->freq.toggle, True, False);
    server_set_frequency(d->freq.channel, frequencyHundredths(frequency));

    // The field is written whatever it showed before: a channel opened at 0 Hz
    // would otherwise keep the "1000.0" it was built with (the shown frequency
    // starts at 0 as well), and a reopened window the text the operator left.
    frequency_field_show(&d->freq, frequency);
    decoder_show_status(d, 0, frequency);

    XmTextSetString(d->pane.text, const_cast<char*>(""));
    // An empty pane is at its end: it follows the text again.
    d->pane.scrolledBack = 0;
    XtVaSetValues(d->pane.text, XmNbackground, mw->panes.look.plainColor, nullptr);
    d->state = 1;
    XtPopup(d->secondaryDiag, XtGrabNone);
    return slot;
}

void decoder_open_on_main(MainWindow* mw) {
    const int slot = decoder_open(mw, CENTRE_COLUMN);
    if (slot == -1) return;
    Widget pane = mw->decoders[slot].pane.text;
    wchar_t* text = XmTextGetStringWcs(mw->panes.rx.text);
    XmTextSetStringWcs(pane, text);
    XtFree(reinterpret_cast<char*>(text));
    showEnd(pane);
}

void decoder_show_status(SecondaryDecoder* decoder, int dcd, float frequency) {
    frequency_field_follow(&decoder->freq, frequency);
    XtVaSetValues(decoder->dcdTB, XmNset, dcd != 0 ? True : False, nullptr);
}

bool decoder_closed_position(const MainWindow* mw, int slot, int* x, int* y) {
    const SecondaryDecoder& decoder = mw->decoders[slot];
    // Never opened, or open: the position read at start-up is kept.
    if (decoder.state != 0 || decoder.secondaryDiag == nullptr) return false;
    Position shownX = 0;
    Position shownY = 0;
    XtVaGetValues(decoder.secondaryDiag, XmNx, &shownX, XmNy, &shownY, nullptr);
    *x = shownX;
    *y = shownY;
    return true;
}
