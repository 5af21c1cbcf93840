#include "gui/controls.h"

#include <Xm/ArrowB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/resources.h"
#include "gui/main_window.h"
#include "gui/scope.h"
#include "gui/secondary.h"
#include "server/server.h"

int trState = 0;
unsigned char savedAfc = 0;

namespace {

constexpr float MAX_FREQUENCY = 4000.0f;
constexpr int CALL_LENGTH = 15;  // characters of the call the identification sends

// True while the program itself writes a frequency field.
bool programWrite = false;

float fieldValue(Widget field) {
    char* text = XmTextFieldGetString(field);
    const float f = frequencyFieldValue(text);
    XtFree(text);
    return f;
}

void showFrequency(Widget field, float frequency) {
    char text[16];
    std::snprintf(text, sizeof text, "%4.1f", frequency);
    setFrequencyText(field, text);
}

intptr_t userDataOf(Widget w) {
    XtPointer data = nullptr;
    XtVaGetValues(w, XmNuserData, &data, nullptr);
    return reinterpret_cast<intptr_t>(data);
}

bool isSet(Widget toggle) { return XmToggleButtonGetState(toggle) != False; }

int setOf(XtPointer callData) {
    return static_cast<XmToggleButtonCallbackStruct*>(callData)->set != 0 ? 1 : 0;
}

void focusTo(Widget w) { XmProcessTraversal(w, XmTRAVERSE_CURRENT); }

// NET: the transmitter goes to the receive frequency, as the receive field reads.
void netCopy() {
    if (!isSet(mainWindow.netTB)) return;
    char* text = XmTextFieldGetString(mainWindow.rxFreqText);
    setFrequencyText(mainWindow.txFreqText, text);
    const float f = frequencyFieldValue(text);
    XtFree(text);
    server_set_frequency(SERVER_TX_CHANNEL, frequencyHundredths(f));
}

bool shiftHeld(const XEvent* event) {
    if (event == nullptr) return false;
    switch (event->type) {
        case ButtonPress:
        case ButtonRelease: return (event->xbutton.state & ShiftMask) != 0;
        case KeyPress:
        case KeyRelease: return (event->xkey.state & ShiftMask) != 0;
        default: return false;
    }
}

bool frequencyCharacter(char c) { return (c >= '0' && c <= '9') || c == '.'; }

}  // namespace

float frequencyFieldValue(const char* text) {
    // The field says so when a typed value was limited to the top of the band.
    if (std::strcmp(text, "MAXFREQ") == 0) return MAX_FREQUENCY;
    return static_cast<float>(std::atof(text));
}

int32_t frequencyHundredths(float frequency) {
    return static_cast<int32_t>(frequency * 100.0f);
}

void setFrequencyText(Widget field, const char* text) {
    programWrite = true;
    XmTextFieldSetString(field, const_cast<char*>(text));
    programWrite = false;
}

void setToggleCB(Widget, XtPointer toggle, XtPointer) {
    XmToggleButtonSetState(static_cast<Widget>(toggle), True, True);
}

void showTrState() {
    for (Widget toggle : mainWindow.trToggles) {
        const Boolean set = XmToggleButtonGetState(toggle);
        XtVaSetValues(toggle, XmNbackground, set ? markColor : mainWindow.trPlainColor, nullptr);
        XmToggleButtonSetState(toggle, set, False);
    }
}

void recvCB(Widget, XtPointer, XtPointer) {
    if (trState == 0) return;
    if (trState == 1 && isSet(mainWindow.cwIdTB)) {
        char text[4 + CALL_LENGTH + 1];
        std::snprintf(text, sizeof text, " de %.*s", CALL_LENGTH,
                      appResources.call != nullptr ? appResources.call : "");
        scope_draw(&mainScope, 0, 35, SCOPE_GREEN);
        server_set_tx_mode(SERVER_TX_MODE_MORSE);
        server_send_text(text, 0);
    }
    // Queued behind the text still waiting: end, then PSK text mode for next time.
    server_request(SERVER_TX_END);
    server_set_tx_mode(SERVER_TX_MODE_PSK);
    scope_draw(&mainScope, 0, 35, SCOPE_GREEN);
    focusTo(mainWindow.txText);
    trState = 0;
    showTrState();
}

void xmitCB(Widget, XtPointer, XtPointer) {
    if (trState == 1) return;
    netCopy();
    scope_draw(&mainScope, 128, 35, SCOPE_GREEN);
    server_set_tx_mode(SERVER_TX_MODE_PSK);
    // From Tune the transmission runs already: only its mode changes.
    if (trState == 0) server_request(SERVER_TX_WHEN_CLEAR);
    focusTo(mainWindow.txText);
    trState = 1;
    showTrState();
}

void tuneCB(Widget, XtPointer, XtPointer) {
    if (trState == 2) return;
    netCopy();
    server_set_tx_mode(SERVER_TX_MODE_TUNE);
    if (trState == 0) server_request(SERVER_TX_NOW);
    trState = 2;
    showTrState();
}

void freqArrowCB(Widget arrow, XtPointer fieldData, XtPointer callData) {
    auto* call = static_cast<XmArrowButtonCallbackStruct*>(callData);
    auto field = static_cast<Widget>(fieldData);
    const intptr_t tag = userDataOf(arrow);
    unsigned char direction = XmARROW_UP;
    XtVaGetValues(arrow, XmNarrowDirection, &direction, nullptr);

    // A double click moves 1 + 7 Hz in all, like one Shift-click.
    float step = 1.0f;
    if (shiftHeld(call->event)) {
        step = 8.0f;
    } else if (call->click_count == 2) {
        step = 7.0f;
    }
    float f = fieldValue(field) + (direction == XmARROW_UP ? step : -step);
    if (f < 0.0f) f = 0.0f;
    if (f > MAX_FREQUENCY) f = MAX_FREQUENCY;
    showFrequency(field, f);
    server_set_frequency(tag == 'R' ? SERVER_MAIN_CHANNEL : SERVER_TX_CHANNEL,
                         frequencyHundredths(f));
}

void freqTextCB(Widget field, XtPointer owner, XtPointer callData) {
    switch (static_cast<XmAnyCallbackStruct*>(callData)->reason) {
        case XmCR_MODIFYING_TEXT_VALUE: {
            auto* verify = static_cast<XmTextVerifyCallbackStruct*>(callData);
            if (programWrite || verify->text == nullptr) return;
            // Typed or pasted: digits and points only, a mixed paste is refused whole.
            for (int i = 0; i < verify->text->length; ++i) {
                if (!frequencyCharacter(verify->text->ptr[i])) {
                    verify->doit = False;
                    return;
                }
            }
            return;
        }
        case XmCR_ACTIVATE: {
            float f = fieldValue(field);
            if (f < 0.0f) {
                setFrequencyText(field, "0.0");
                f = 0.0f;
            }
            if (f > MAX_FREQUENCY) {
                setFrequencyText(field, "MAXFREQ");
                f = MAX_FREQUENCY;
            }
            const intptr_t tag = userDataOf(field);
            if (tag == 'T' || tag == 'R') {
                server_set_frequency(tag == 'T' ? SERVER_TX_CHANNEL : SERVER_MAIN_CHANNEL,
                                     frequencyHundredths(f));
                focusTo(mainWindow.txText);
            } else if (owner != nullptr) {
                auto* decoder = static_cast<SecondaryDecoder*>(owner);
                server_set_frequency(decoder->channel, frequencyHundredths(f));
                focusTo(decoder->swapButton);
            } else {
                std::fprintf(stderr, "callback with cdata==NULL and userData=%p (%c)\n",
                             reinterpret_cast<void*>(tag), static_cast<char>(tag));
            }
            return;
        }
        default:
            std::fputs("freqTextCB - unexpected callback type\n", stderr);
            return;
    }
}

void rxFreqFocusCB(Widget field, XtPointer owner, XtPointer callData) {
    const int reason = static_cast<XmAnyCallbackStruct*>(callData)->reason;
    // The main window's field says 'R'; a secondary window's field carries no tag.
    const bool main = userDataOf(field) == 'R';
    if (reason == XmCR_FOCUS) {
        XtVaSetValues(field, XmNbackground, markColor, nullptr);
        if (main) {
            // AFC must not pull the receiver away while the operator types.
            savedAfc = isSet(mainWindow.afcTB) ? 1 : 0;
            XmToggleButtonSetState(mainWindow.afcTB, False, True);
            mainWindow.rxFreqFocused = 1;
        } else {
            auto* decoder = static_cast<SecondaryDecoder*>(owner);
            savedAfc = isSet(decoder->afcTB) ? 1 : 0;
            XtVaSetValues(decoder->afcTB, XmNset, False, nullptr);
            decoder->focused = 1;
        }
    } else if (reason == XmCR_LOSING_FOCUS) {
        XtVaSetValues(field, XmNbackground, plainColor, nullptr);
        if (main) {
            XmToggleButtonSetState(mainWindow.afcTB, savedAfc != 0 ? True : False, True);
            mainWindow.rxFreqFocused = 0;
            focusTo(mainWindow.txText);
        } else {
            auto* decoder = static_cast<SecondaryDecoder*>(owner);
            XtVaSetValues(decoder->afcTB, XmNset, savedAfc != 0 ? True : False, nullptr);
            decoder->focused = 0;
            focusTo(decoder->rxText);
        }
    } else {
        std::fputs("rxFreqFocusCB: gain/losing focus error\n", stderr);
    }
}

void afcCB(Widget, XtPointer, XtPointer callData) {
    server_set_afc(SERVER_MAIN_CHANNEL, setOf(callData));
}

void netCB(Widget w, XtPointer, XtPointer callData) {
    const int set = setOf(callData);
    XmToggleButtonSetState(w, set != 0 ? True : False, False);
    mainWindow.net = set;
}

// The receiver's flag takes the toggle's previous state; the poll loop shows the
// receiver's own flag again at its next cycle.
void dcdCB(Widget, XtPointer, XtPointer callData) {
    server_set_dcd(SERVER_MAIN_CHANNEL, setOf(callData) != 0 ? 0 : 1);
}

void qpskCB(Widget, XtPointer, XtPointer callData) {
    const int set = setOf(callData);
    server_set_qpsk(SERVER_MAIN_CHANNEL, set);
    server_set_qpsk(SERVER_TX_CHANNEL, set);
}

void lsbCB(Widget, XtPointer, XtPointer callData) {
    const int set = setOf(callData);
    server_set_lsb(SERVER_MAIN_CHANNEL, set);
    server_set_lsb(SERVER_TX_CHANNEL, set);
}
