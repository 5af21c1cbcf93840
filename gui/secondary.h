// Secondary decoder windows: up to four more receive channels (3 to 6), each
// with a receive pane, a phase scope and its own frequency field. The poll loop
// feeds the open ones and the shutdown saves the positions of the closed ones.
#pragma once

#include <Xm/Xm.h>

#include "gui/frequency_field.h"
#include "gui/scope.h"
#include "gui/text_panes.h"

struct MainWindow;

struct SecondaryDecoder {
    ReceivePane pane;       // "rxText" and its scroll hold
    FrequencyField freq;    // "rx2FreqText", its arrows and "AFC"; tunes the channel
    PhaseScope scope;
    int slot;               // 0 to 3

    Widget secondaryDiag;
    Widget mainForm;
    Widget rxTextSW;
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
    Widget dcdTB;
    Widget qpskTB;
    Widget modeForm;
    Widget modesLabel;

    int state;              // -1 never built, 0 built and closed, 1 open
    MainWindow* window;     // the main window, whose receiver "<-> Main" swaps with
};

constexpr int DECODER_SLOTS = 4;

// Opens a window on the signal at a column of the tuning display (snapped to a
// signal nearby) in the first slot of `mw` that is not open, building it on first
// use. Returns the slot, or -1 with a message when all four are open.
int decoder_open(MainWindow* mw, int column);

// The same on a frequency in hertz.
int decoder_open_at(MainWindow* mw, float frequency);

// "Open Decoder": a window on the main receive frequency, holding a copy of the
// main receive text, so that the main window is free to tune elsewhere.
void decoder_open_on_main(MainWindow* mw);

// Shows a channel's carrier detect and, unless the operator is typing into the
// field or it moved 0.05 Hz or less, its frequency in hertz.
void decoder_show_status(SecondaryDecoder* decoder, int dcd, float frequency);

// Where the closed secondary window of `slot` stands, for the state file; false
// when it was never opened or is open (its saved position stays as it was).
bool decoder_closed_position(const MainWindow* mw, int slot, int* x, int* y);

// One coordinate of a secondary window's saved position, moved so that the
// window's top-left corner and at least 64 pixels of it are on the screen.
int decoder_coordinate_on_screen(int saved, int screenExtent, int windowExtent);
