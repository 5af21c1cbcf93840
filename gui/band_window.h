// The band window "VORDA BAND": every station the band survey hears, one line
// each, ordered by frequency. A click tunes the main receiver to a station, the
// right button offers a secondary window, and Find highlights lines. The poll loop
// feeds it; it never waits on the survey.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

#include "gui/band_lines.h"

struct MainWindow;
struct survey_char;

struct BandWindow {
    BandLines model;
    size_t columns;          // bandColumns: the width of a line
    double dialHz;           // the rig's dial frequency, 0 while unknown
    bool lsbDial;            // the rig's mode puts the audio below the dial
    std::string call;        // the operator's call, always highlighted

    Widget shell;            // "bandDiag"
    Widget form;             // "bandForm"
    Widget findLabel;        // "bandFindLabel"
    Widget findField;        // "bandFind"
    Widget statusLabel;      // "bandStatus"
    Widget text;             // "bandText"
    Widget popup;            // "bandPopup"
    int popupLine;           // the line the popup menu was opened on

    int state;               // -1 never built, 0 built and closed, 1 open
    bool changed;            // the lines differ from what the window shows
    double shownAt;          // seconds, when the window was last written
    std::string shown;       // what bandText holds
    MainWindow* window;
};

// Settings taken once; the window is built on first open.
void band_window_setup(BandWindow* band, MainWindow* mw, int columns, int timeout,
                       const char* call);

// Opens the window when closed, closes it when open ("Band Browser", Ctrl-A).
void band_window_toggle(BandWindow* band);
void band_window_open(BandWindow* band);

// Characters from the survey and the time in seconds: new text, lines aged out;
// the window is rewritten at most a few times a second.
void band_window_update(BandWindow* band, const std::vector<survey_char>& chars, double now);

// Where the window stands and how large it is; false when it was never built.
bool band_window_place(const BandWindow* band, int* x, int* y, int* width, int* height);
