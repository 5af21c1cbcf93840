#include "gui/controls.h"

#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <initializer_list>

#include "gui/console_settings.h"
#include "gui/scope.h"
#include "gui/text_panes.h"
#include "server/server.h"

namespace {

constexpr int CALL_LENGTH = 15;  // characters of the call the identification sends

bool isSet(Widget toggle) { return XmToggleButtonGetState(toggle) != False; }

int setOf(XtPointer callData) {
    return static_cast<XmToggleButtonCallbackStruct*>(callData)->set != 0 ? 1 : 0;
}

void focusTo(Widget w) { XmProcessTraversal(w, XmTRAVERSE_CURRENT); }

TrControls* controlsOf(XtPointer clientData) { return static_cast<TrControls*>(clientData); }

// NET: the transmitter goes to the receive frequency, as the receive field reads.
void netCopy(TrControls* c) {
    if (!isSet(c->txFreq.toggle)) return;
    char* text = XmTextFieldGetString(c->rxFreq.text);
    setFrequencyText(c->txFreq.text, text);
    const float f = frequencyFieldValue(text);
    XtFree(text);
    server_set_frequency(SERVER_TX_CHANNEL, frequencyHundredths(f));
}

}  // namespace

void setToggleCB(Widget, XtPointer toggle, XtPointer) {
    XmToggleButtonSetState(static_cast<Widget>(toggle), True, True);
}

void showTrState(TrControls* c) {
    for (Widget toggle : c->trToggles) {
        const Boolean set = XmToggleButtonGetState(toggle);
        XtVaSetValues(toggle, XmNbackground, set ? c->look->markColor : c->trPlainColor, nullptr);
        XmToggleButtonSetState(toggle, set, False);
    }
}

namespace {

void recvCB(Widget, XtPointer clientData, XtPointer) {
    TrControls* c = controlsOf(clientData);
    if (c->trState == 0) return;
    if (c->trState == 1 && isSet(c->cwIdTB)) {
        char text[4 + CALL_LENGTH + 1];
        std::snprintf(text, sizeof text, " de %.*s", CALL_LENGTH,
                      c->resources->call != nullptr ? c->resources->call : "");
        scope_draw(c->scope, 0, 35, SCOPE_GREEN);
        server_set_tx_mode(SERVER_TX_MODE_MORSE);
        server_send_text(text, 0);
    }
    // Queued behind the text still waiting: end, then PSK text mode for next time.
    server_request(SERVER_TX_END);
    server_set_tx_mode(SERVER_TX_MODE_PSK);
    scope_draw(c->scope, 0, 35, SCOPE_GREEN);
    focusTo(c->txText);
    c->trState = 0;
    showTrState(c);
}

void xmitCB(Widget, XtPointer clientData, XtPointer) {
    TrControls* c = controlsOf(clientData);
    if (c->trState == 1) return;
    netCopy(c);
    scope_draw(c->scope, 128, 35, SCOPE_GREEN);
    server_set_tx_mode(SERVER_TX_MODE_PSK);
    // From Tune the transmission runs already: only its mode changes.
    if (c->trState == 0) server_request(SERVER_TX_WHEN_CLEAR);
    focusTo(c->txText);
    c->trState = 1;
    showTrState(c);
}

void tuneCB(Widget, XtPointer clientData, XtPointer) {
    TrControls* c = controlsOf(clientData);
    if (c->trState == 2) return;
    netCopy(c);
    server_set_tx_mode(SERVER_TX_MODE_TUNE);
    if (c->trState == 0) server_request(SERVER_TX_NOW);
    c->trState = 2;
    showTrState(c);
}

void afcCB(Widget, XtPointer, XtPointer callData) {
    server_set_afc(SERVER_MAIN_CHANNEL, setOf(callData));
}

void netCB(Widget w, XtPointer clientData, XtPointer callData) {
    const int set = setOf(callData);
    XmToggleButtonSetState(w, set != 0 ? True : False, False);
    controlsOf(clientData)->net = set;
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

}  // namespace

void controls_attach(TrControls* c) {
    for (Widget toggle : {c->recvTB, c->xmitTB, c->tuneTB}) {
        // Clicking the set toggle of a radio group leaves it set.
        XtAddCallback(toggle, XmNdisarmCallback, setToggleCB, toggle);
    }
    XtAddCallback(c->recvTB, XmNvalueChangedCallback, recvCB, c);
    XtAddCallback(c->xmitTB, XmNvalueChangedCallback, xmitCB, c);
    XtAddCallback(c->tuneTB, XmNvalueChangedCallback, tuneCB, c);
    frequency_field_attach(&c->rxFreq);
    frequency_field_attach(&c->txFreq);
    XtAddCallback(c->rxFreq.toggle, XmNvalueChangedCallback, afcCB, c);
    XtAddCallback(c->txFreq.toggle, XmNvalueChangedCallback, netCB, c);
    XtAddCallback(c->qpskTB, XmNvalueChangedCallback, qpskCB, c);
    XtAddCallback(c->lsbTB, XmNvalueChangedCallback, lsbCB, c);
    XtAddCallback(c->dcdTB, XmNvalueChangedCallback, dcdCB, c);
}
