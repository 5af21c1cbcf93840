// The tuning display of the main window and its controls: spectrum or waterfall,
// span, flow direction, brightness and speed in the video dialog, click to tune
// on wfDA, and Seek.
#pragma once

#include <X11/Intrinsic.h>

#include "gui/display.h"

struct FrequencyField;
struct MainWindow;

struct TuningPanel {
    Widget f1;
    Widget displayForm;
    Widget displayRC;
    Widget displayLabel;
    Widget displayRB;
    Widget saTB;
    Widget wfTB;
    Widget bwRB;
    Widget broadTB;
    Widget mediumTB;
    Widget narrowTB;
    Widget f4;
    Widget wfDA;
    Widget videoDiag;
    Widget videoLabel;
    Widget videoFrame;
    Widget videoForm;
    Widget brightLabel;
    Widget brightScale;
    Widget speedLabel;
    Widget fftSpeedScale;
    Widget videoClose;
    Pixmap spectrumPicture;   // labels of saTB and wfTB
    Pixmap waterfallPicture;
    int spanFactor;           // 2, 4 or 8 from "B", "M", "N"
    int brightness;           // brightScale at build time
    int displaySpeed;         // fftSpeedScale at build time
    VordaDisplay view;        // what wfDA shows

    // Seek: a seek runs, a stop was asked for, the next step is a seek's first.
    int seeking;
    int seekStopRequest;
    int seekFirstStep;
    char seekDirection;       // 'U' or 'D'
    Pixel fieldForeground;    // the receive field's own, put back when a seek ends

    FrequencyField* rxFreq;   // the main receive field, which clicks and seeks tune
    MainWindow* window;       // button 3 opens a secondary decoder window in it
};

// The display controls' handlers, each with the record as client data.
void tuning_attach(TuningPanel* tuning);

// Seek Up ('U') or Down ('D'); a running seek stops instead.
void seek_start(TuningPanel* tuning, char direction);
// Halt: a running seek stops at its next step.
void seek_halt(TuningPanel* tuning);
