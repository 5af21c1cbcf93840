// Secondary decoder windows: up to four more receive channels (3 to 6), each
// with a receive pane, a phase scope and its own frequency field. The poll loop
// feeds the open ones and the shutdown saves the positions of the closed ones.
#pragma once

#include <Xm/Xm.h>

#include "gui/scope.h"

struct SecondaryDecoder {
    int scrolledBack;       // receive pane's scroll hold
    int focused;            // 1 while the frequency field has the keyboard focus
    char freqText[64];      // "%4.1f" of the frequency field
    PhaseScope scope;
    float shownFrequency;   // hertz, last written into the frequency field
    int slot;               // 0 to 3

    Widget secondaryDiag;
    Widget mainForm;
    Widget rxTextSW;
    Widget scrollBar;
    Widget rxText;
    Widget bottomForm;
    Widget frame1;
    Widget scopeDA;
    Widget frame2;
    Widget centerForm;
    Widget frame2a;
    Widget rxFreqLabel;
    Widget rxFreqCombo;
    Widget pbForm;
    Widget swapButton;      // "<-> Main"
    Widget closeButton;
    Widget frame3;
    Widget afcTB;
    Widget dcdTB;
    Widget qpskTB;
    Widget modeForm;
    Widget modesLabel;
    Widget clrRx;
    XmString menuStrings[3];  // title, "Clear" and its accelerator text
    Widget rx2FreqText;
    Widget upArrow;
    Widget downArrow;

    int state;              // -1 never built, 0 built and closed, 1 open
    int channel;            // server receive channel, slot + 3
};

constexpr int DECODER_SLOTS = 4;
extern SecondaryDecoder secondaryDecoders[DECODER_SLOTS];

// Opens a window on the signal at a column of the tuning display (snapped to a
// signal nearby) in the first slot that is not open, building it on first use.
// Returns the slot, or -1 with a message when all four are open.
int decoder_open(int column);

// "Open Decoder": a window on the main receive frequency, holding a copy of the
// main receive text, so that the main window is free to tune elsewhere.
void openDecoderCB(Widget w, XtPointer clientData, XtPointer callData);

// Shows a channel's carrier detect and, unless the operator is typing into the
// field or it moved 0.05 Hz or less, its frequency in hertz.
void decoder_show_status(SecondaryDecoder* decoder, int dcd, float frequency);

// One coordinate of a secondary window's saved position, moved so that the
// window's top-left corner and at least 64 pixels of it are on the screen.
int decoder_coordinate_on_screen(int saved, int screenExtent, int windowExtent);

// The frequency an arrow of a secondary window moves its field to: 1 Hz a
// click, 8 Hz with Shift, 7 Hz more on the second click of a double click.
// Not limited to 0 to 4000 Hz. The text is read as a decimal number.
float decoder_arrow_frequency(const char* fieldText, bool up, int clickCount, bool shift);
