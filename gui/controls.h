// The operating controls of the main window: Recv, Xmit and Tune with the Morse
// identification, the frequency fields with their arrows, typed entry and focus,
// and the AFC, NET, DCD, QPSK and LSB toggles. The frequency-field handlers also
// serve the field of every secondary decoder window.
#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>

// 0 receiving, 1 transmitting text, 2 tuning: what the operator last asked for.
extern int trState;
// AFC put aside while a receive frequency field has the focus; one for all fields.
extern unsigned char savedAfc;

// The frequency a field's text stands for: "MAXFREQ" is the top of the band,
// anything else is read as a decimal number (0 when it is none).
float frequencyFieldValue(const char* text);
// Hundredths of a hertz for the server, truncated in single precision.
int32_t frequencyHundredths(float frequency);
// Writes a frequency field from the program ("%4.1f", "MAXFREQ"): the typing rule
// of freqTextCB applies to the operator only.
void setFrequencyText(Widget field, const char* text);

// Radio groups: setting a toggle with notification first unsets the one that was
// set, with its value-changed handler, then runs the new one's handler.
void setToggleCB(Widget w, XtPointer toggle, XtPointer callData);
void showTrState();

void recvCB(Widget w, XtPointer clientData, XtPointer callData);
void xmitCB(Widget w, XtPointer clientData, XtPointer callData);
void tuneCB(Widget w, XtPointer clientData, XtPointer callData);

void freqArrowCB(Widget arrow, XtPointer field, XtPointer callData);
// Client data: nullptr for the main fields, the SecondaryDecoder for a secondary one.
void freqTextCB(Widget field, XtPointer owner, XtPointer callData);
// Client data: the MainWindow record or the SecondaryDecoder.
void rxFreqFocusCB(Widget field, XtPointer owner, XtPointer callData);

void afcCB(Widget w, XtPointer clientData, XtPointer callData);
void netCB(Widget w, XtPointer clientData, XtPointer callData);
void dcdCB(Widget w, XtPointer clientData, XtPointer callData);
void qpskCB(Widget w, XtPointer clientData, XtPointer callData);
void lsbCB(Widget w, XtPointer clientData, XtPointer callData);
