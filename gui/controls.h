// The operating controls of the main window: Recv, Xmit and Tune with the Morse
// identification, the receive and transmit frequency fields, and the AFC, NET,
// DCD, QPSK and LSB toggles with the IMD reading.
#pragma once

#include <X11/Intrinsic.h>

#include "gui/frequency_field.h"

struct AppResources;
struct PaneLook;
struct PhaseScope;

struct TrControls {
    Widget f2;
    Widget controlsForm;
    Widget controlsRC;
    Widget rxFreqLabel;
    Widget rxGenFrame;
    Widget rxComboForm;
    FrequencyField rxFreq;    // "rxFreqText" with "AFC"
    Widget txFreqLabel;
    Widget txGenFrame;
    Widget txComboForm;
    FrequencyField txFreq;    // "txFreqText" with "NET"
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

    Widget trToggles[3];      // "Recv", "Xmit", "Tune"
    Pixel trPlainColor;       // their background from the resource file, when not set
    int trState;              // 0 receiving, 1 transmitting text, 2 tuning: as last asked
    int qpsk;                 // "QPSK" and "LSB" as the resource file set them
    int lsb;
    int net;                  // last state of "NET"

    // What the handlers reach beyond the controls.
    PhaseScope* scope;        // the main window's, green while transmitting
    Widget txText;            // takes the keyboard after Recv, Xmit and Enter
    const PaneLook* look;
    const AppResources* resources;  // the call the identification sends
};

// The toggles' and fields' handlers, each with the record as client data.
void controls_attach(TrControls* controls);

// Radio groups: setting a toggle with notification first unsets the one that was
// set, with its value-changed handler, then runs the new one's handler. The
// client data is the toggle.
void setToggleCB(Widget w, XtPointer toggle, XtPointer callData);
// Marks the set one of Recv, Xmit and Tune.
void showTrState(TrControls* controls);
