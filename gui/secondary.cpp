#include "gui/secondary.h"

#include <algorithm>
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

#include "app/startup.h"
#include "app/state_file.h"
#include "gui/controls.h"
#include "gui/display.h"
#include "gui/icon.h"
#include "gui/main_window.h"
#include "gui/text_panes.h"
#include "server/server.h"

SecondaryDecoder secondaryDecoders[DECODER_SLOTS];

namespace {

// Every window-manager function but Close: only "Close" may close the window,
// because it also frees the channel.
constexpr int ALL_BUT_CLOSE = MWM_FUNC_ALL | MWM_FUNC_CLOSE;

constexpr int CENTRE_COLUMN = 192;  // the main receive frequency on the display
constexpr float MAX_FREQUENCY = 4000.0f;

float fieldValue(Widget field) {
    char* text = XmTextFieldGetString(field);
    const float value = frequencyFieldValue(text);
    XtFree(text);
    return value;
}

void writeFrequency(SecondaryDecoder* d, float frequency) {
    d->shownFrequency = frequency;
    std::snprintf(d->freqText, sizeof d->freqText, "%4.1f", frequency);
    setFrequencyText(d->rx2FreqText, d->freqText);
}

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
    server_set_afc(owner(clientData)->channel, toggle->set ? 1 : 0);
}

void decoderQpskCB(Widget, XtPointer clientData, XtPointer callData) {
    const auto* toggle = static_cast<XmToggleButtonCallbackStruct*>(callData);
    server_set_qpsk(owner(clientData)->channel, toggle->set ? 1 : 0);
}

bool shiftHeld(const XEvent* event) {
    if (event == nullptr) return false;
    switch (event->type) {
        case ButtonPress:
        case ButtonRelease:
            return (event->xbutton.state & ShiftMask) != 0;
        case KeyPress:
        case KeyRelease:
            return (event->xkey.state & ShiftMask) != 0;
        default:
            return false;
    }
}

void decoderArrowCB(Widget arrow, XtPointer clientData, XtPointer callData) {
    SecondaryDecoder* d = owner(clientData);
    const auto* call = static_cast<XmArrowButtonCallbackStruct*>(callData);
    unsigned char direction = XmARROW_UP;
    XtVaGetValues(arrow, XmNarrowDirection, &direction, nullptr);
    char* text = XmTextFieldGetString(d->rx2FreqText);
    const float frequency = decoder_arrow_frequency(text, direction == XmARROW_UP,
                                                    call->click_count, shiftHeld(call->event));
    XtFree(text);
    std::snprintf(d->freqText, sizeof d->freqText, "%4.1f", frequency);
    setFrequencyText(d->rx2FreqText, d->freqText);
    server_set_frequency(d->channel, frequencyHundredths(frequency));
}

// "<-> Main": the server exchanges the two receivers with all their settings;
// the windows follow with texts, modes, AFC and frequencies.
void swapCB(Widget, XtPointer clientData, XtPointer) {
    SecondaryDecoder* d = owner(clientData);
    MainWindow& mw = mainWindow;
    server_swap_receivers(SERVER_MAIN_CHANNEL, d->channel);

    // As characters: the Latin-1 text passes unchanged whatever the locale.
    wchar_t* mainText = XmTextGetStringWcs(mw.rxText);
    wchar_t* ownText = XmTextGetStringWcs(d->rxText);
    XmTextDisableRedisplay(mw.rxText);
    XmTextDisableRedisplay(d->rxText);
    XmTextSetStringWcs(mw.rxText, ownText);
    XmTextSetStringWcs(d->rxText, mainText);
    XtFree(reinterpret_cast<char*>(mainText));
    XtFree(reinterpret_cast<char*>(ownText));
    showEnd(mw.rxText);
    showEnd(d->rxText);
    XmTextEnableRedisplay(mw.rxText);
    XmTextEnableRedisplay(d->rxText);
    mw.scrolledBack = 0;
    d->scrolledBack = 0;
    XtVaSetValues(mw.rxText, XmNbackground, plainColor, nullptr);
    XtVaSetValues(d->rxText, XmNbackground, plainColor, nullptr);

    // The main toggles notify, so that their handlers send the new mode to the
    // transmitter as well; this window's channel already has its settings.
    const Boolean mainQpsk = XmToggleButtonGetState(mw.qpskTB);
    XmToggleButtonSetState(mw.qpskTB, XmToggleButtonGetState(d->qpskTB), True);
    XmToggleButtonSetState(d->qpskTB, mainQpsk, False);
    const Boolean mainAfc = XmToggleButtonGetState(mw.afcTB);
    XmToggleButtonSetState(mw.afcTB, XmToggleButtonGetState(d->afcTB), True);
    XmToggleButtonSetState(d->afcTB, mainAfc, False);

    const float mainFrequency = fieldValue(mw.rxFreqText);
    const float ownFrequency = fieldValue(d->rx2FreqText);
    std::snprintf(mw.freqText, sizeof mw.freqText, "%4.1f", ownFrequency);
    setFrequencyText(mw.rxFreqText, mw.freqText);
    server_set_frequency(SERVER_MAIN_CHANNEL, frequencyHundredths(ownFrequency));
    writeFrequency(d, mainFrequency);
    server_set_frequency(d->channel, frequencyHundredths(mainFrequency));
}

void closeCB(Widget, XtPointer clientData, XtPointer) {
    SecondaryDecoder* d = owner(clientData);
    server_disable_receiver(d->channel);
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

    std::snprintf(d->freqText, sizeof d->freqText, "%s", "1000.0");
    d->rx2FreqText = XtVaCreateManagedWidget(
        "rx2FreqText", xmTextFieldWidgetClass, d->rxFreqCombo, XmNcolumns, 6, XmNmaxLength, 6,
        XmNmarginHeight, 10, XmNshadowThickness, 0, XmNvalue, d->freqText, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
        nullptr);
    // Both arrows carry the up arrow's name, as in the main window.
    d->upArrow = XtVaCreateManagedWidget(
        "rxUpArrow", xmArrowButtonWidgetClass, d->rxFreqCombo, XmNarrowDirection, XmARROW_UP,
        XmNwidth, 25, XmNshadowThickness, 0, XmNtopAttachment, XmATTACH_FORM,
        XmNbottomAttachment, XmATTACH_POSITION, XmNbottomPosition, 50, XmNleftAttachment,
        XmATTACH_WIDGET, XmNleftWidget, d->rx2FreqText, nullptr);
    d->downArrow = XtVaCreateManagedWidget(
        "rxUpArrow", xmArrowButtonWidgetClass, d->rxFreqCombo, XmNarrowDirection, XmARROW_DOWN,
        XmNwidth, 25, XmNshadowThickness, 0, XmNtopAttachment, XmATTACH_POSITION,
        XmNtopPosition, 50, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
        XmATTACH_WIDGET, XmNleftWidget, d->rx2FreqText, nullptr);
    d->afcTB = XtVaCreateManagedWidget(
        "AFC", xmToggleButtonWidgetClass, d->rxFreqCombo, XmNset, True, XmNshadowThickness, 0,
        XmNalignment, XmALIGNMENT_BEGINNING, XmNtopAttachment, XmATTACH_FORM,
        XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget,
        d->upArrow, XmNrightAttachment, XmATTACH_FORM, nullptr);

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

    XtAddCallback(d->afcTB, XmNvalueChangedCallback, decoderAfcCB, d);
    XtAddCallback(d->upArrow, XmNactivateCallback, decoderArrowCB, d);
    XtAddCallback(d->downArrow, XmNactivateCallback, decoderArrowCB, d);
    XtAddCallback(d->swapButton, XmNactivateCallback, swapCB, d);
    XtAddCallback(d->closeButton, XmNactivateCallback, closeCB, d);
    XtAddCallback(d->rx2FreqText, XmNfocusCallback, rxFreqFocusCB, d);
    XtAddCallback(d->rx2FreqText, XmNlosingFocusCallback, rxFreqFocusCB, d);
    XtAddCallback(d->rx2FreqText, XmNmodifyVerifyCallback, freqTextCB, d);
    XtAddCallback(d->rx2FreqText, XmNactivateCallback, freqTextCB, d);
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
    d->rxText = XtVaCreateManagedWidget(
        "rxText", xmTextWidgetClass, d->rxTextSW, XmNrows, 4, XmNeditMode, XmMULTI_LINE_EDIT,
        XmNeditable, False, XmNwordWrap, True, XmNcursorPositionVisible, False,
        XmNautoShowCursorPosition, False, XmNscrollHorizontal, False, XmNshadowThickness, 2,
        XmNuserData, d, nullptr);
    // The shared pane code finds this record through the pane and its scroll bar.
    XtVaGetValues(d->rxTextSW, XmNverticalScrollBar, &d->scrollBar, nullptr);
    XtVaSetValues(d->scrollBar, XmNuserData, d, nullptr);
    const char* scrollLists[] = {XmNdragCallback,          XmNincrementCallback,
                                 XmNdecrementCallback,     XmNpageIncrementCallback,
                                 XmNpageDecrementCallback, XmNtoTopCallback,
                                 XmNtoBottomCallback,      XmNvalueChangedCallback};
    for (const char* list : scrollLists) XtAddCallback(d->scrollBar, list, scrollCB, d);

    d->menuStrings[0] = XmStringCreateLocalized(const_cast<char*>("Rx Text"));
    d->menuStrings[1] = XmStringCreateLocalized(const_cast<char*>("Clear"));
    d->menuStrings[2] = XmStringCreateLocalized(const_cast<char*>("Ctrl-C"));
    d->clrRx = XmVaCreateSimplePopupMenu(
        d->rxText, const_cast<char*>("clrRx"), clearCB, XmVaTITLE, d->menuStrings[0],
        XmVaSEPARATOR, XmVaPUSHBUTTON, d->menuStrings[1], 'C', "Ctrl<Key>c", d->menuStrings[2],
        XmNuserData, d->rxText, nullptr);
    XtAddEventHandler(d->rxText, ButtonPressMask, False, popupCB, d->clrRx);
}

void buildWindow(SecondaryDecoder* d, int slot) {
    d->scrolledBack = 0;
    d->slot = slot;
    char title[32];
    std::snprintf(title, sizeof title, "VORDA Secondary RX %d", slot + 1);
    // A window manager that ignores the missing Close function still must not
    // hide the window behind the channel's back.
    d->secondaryDiag = XtVaCreatePopupShell(
        "secondaryDiag", xmDialogShellWidgetClass, topLevel, XmNtitle, title, XmNmwmFunctions,
        ALL_BUT_CLOSE, XmNdeleteResponse, XmDO_NOTHING, XmNiconPixmap, iconPixmap, nullptr);
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
    const WindowPosition& saved = stateValues.decoderPos[slot];
    const int x = decoder_coordinate_on_screen(saved.x, WidthOfScreen(screen), width);
    const int y = decoder_coordinate_on_screen(saved.y, HeightOfScreen(screen), height);
    XtVaSetValues(d->secondaryDiag, XmNx, static_cast<Position>(x), XmNy, static_cast<Position>(y),
                  nullptr);
    XtVaSetValues(d->secondaryDiag, XmNminWidth, width, XmNminHeight, height, nullptr);

    scope_init(&d->scope, topLevel, d->scopeDA);
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

float decoder_arrow_frequency(const char* fieldText, bool up, int clickCount, bool shift) {
    // The second click of a double click adds 7 Hz to the first click's 1 Hz.
    float step = 1.0f;
    if (clickCount == 2) {
        step = 7.0f;
    } else if (shift) {
        step = 8.0f;
    }
    const float value = frequencyFieldValue(fieldText) + (up ? step : -step);
    return std::clamp(value, 0.0f, MAX_FREQUENCY);
}

int decoder_open(int column) {
    const float frequency = display_click_freq(&vordaDisplay, column);
    int slot = 0;
    while (slot < DECODER_SLOTS && secondaryDecoders[slot].state == 1) ++slot;
    if (slot == DECODER_SLOTS) {
        std::fputs("error: no free decoder channel!\n", stderr);
        return -1;
    }
    SecondaryDecoder* d = &secondaryDecoders[slot];
    if (d->secondaryDiag == nullptr) buildWindow(d, slot);

    d->channel = slot + 3;
    server_enable_receiver(d->channel);
    server_set_squelch(d->channel, 15);
    const Boolean qpsk = XmToggleButtonGetState(mainWindow.qpskTB);
    XmToggleButtonSetState(d->qpskTB, qpsk, False);
    server_set_qpsk(d->channel, qpsk ? 1 : 0);
    server_set_lsb(d->channel, 0);
    server_set_afc(d->channel, 1);
    XmToggleButtonSetState(d->afcTB, True, False);
    server_set_frequency(d->channel, frequencyHundredths(frequency));

    // The field is written whatever it showed before: a channel opened at 0 Hz
    // would otherwise keep the "1000.0" it was built with (the shown frequency
    // starts at 0 as well), and a reopened window the text the operator left.
    writeFrequency(d, frequency);
    decoder_show_status(d, 0, frequency);

    XmTextSetString(d->rxText, const_cast<char*>(""));
    // An empty pane is at its end: it follows the text again.
    d->scrolledBack = 0;
    XtVaSetValues(d->rxText, XmNbackground, plainColor, nullptr);
    d->state = 1;
    XtPopup(d->secondaryDiag, XtGrabNone);
    return slot;
}

void openDecoderCB(Widget, XtPointer, XtPointer) {
    const int slot = decoder_open(CENTRE_COLUMN);
    if (slot == -1) return;
    Widget pane = secondaryDecoders[slot].rxText;
    wchar_t* text = XmTextGetStringWcs(mainWindow.rxText);
    XmTextSetStringWcs(pane, text);
    XtFree(reinterpret_cast<char*>(text));
    showEnd(pane);
}

void decoder_show_status(SecondaryDecoder* decoder, int dcd, float frequency) {
    if (decoder->focused == 0 &&
        std::fabs(static_cast<double>(frequency - decoder->shownFrequency)) > 0.05) {
        writeFrequency(decoder, frequency);
    }
    XtVaSetValues(decoder->dcdTB, XmNset, dcd != 0 ? True : False, nullptr);
}
