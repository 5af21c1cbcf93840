// The tuning display: a spectrum trace or a scrolling grey waterfall of the
// audio around the main receive frequency, drawn in wfDA (384 x 75). It turns a
// column into a frequency, reads the IMD of the tuned signal and forwards the
// FFT length and the display speed to the spectrum analyzer (server channel 1).
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Xlib.h>

#include <array>

#include "gui/display_model.h"

struct VordaDisplay {
    Display* display;
    Window window;        // of the drawing area
    int screen;           // the display's default screen
    Colormap colormap;    // that screen's default colormap
    GC gc;                // the screen's default GC; foreground and lines change
    Cursor cursor;        // red down arrow over the drawing area
    Pixmap pixmap;        // 384 x 75 at root depth: every frame is composed here
    XColor grey[100];     // grey ramp, 0 darkest; only the pixels are used
    XColor red[2];        // "red": screen value, then exact value
    std::array<float, kDisplayColumns> columns;  // value per column, -1 = no data
    int mode;             // 0 spectrum analyzer, 1 waterfall
    display_geometry geometry;  // FFT length, centre (Hz), bin width, start bin, IMD bins
    unsigned char flowUp; // waterfall direction: 1 new rows at the bottom
    int brightness;       // waterfall contrast
    int updateInterval;   // samples between two spectra, as last sent to the analyzer
    Widget dcdToggle;     // the main receiver's carrier detect, for the IMD reading
    Widget imdField;      // where the IMD reading shows; none: not shown
};

// Once at start-up, after the main window is realised: pixmap, cursor, grey ramp,
// red, and the first FFT length (512 x span factor) and speed sent to the server.
void display_init(VordaDisplay* d, Widget drawingArea, int spanFactor, int speed);

// Chooses how the grey ramp is made on the display's screen and says so on
// standard error.
grey_choice find_visual_info(Display* display, int screen);

// length > 0 sets the FFT length, speed 0..100 the update interval (-1: keep);
// both are then sent to the server.
void fft_setup(VordaDisplay* d, int length, int speed);

// One spectrum block of FFT length values from channel 1: IMD, columns, frame.
void display_new_data(VordaDisplay* d, const float* values, int count);
void drawDisplay(VordaDisplay* d);

void display_set_rx_freq(VordaDisplay* d, float frequency);
// Frequency for a click on a column, snapped to a signal nearby; 0 to 4000 Hz.
float display_click_freq(VordaDisplay* d, int column);
// Centre column of a PSK31 signal near `column` in the last block, or -1.
int display_find_signal(VordaDisplay* d, int column);
