// The tuning display's arithmetic, free of X: geometry of the 384 columns around
// the receive frequency, signal snapping, the grey ramp and the IMD reading.
#pragma once

#include <array>
#include <cstdint>
#include <string>

constexpr int kDisplayColumns = 384;
constexpr int kDisplayRows = 75;
constexpr int kCentreColumn = 192;
constexpr float kNoData = -1.0f;  // a column with nothing to show

struct display_geometry {
    int fft_length = 0;        // 1024, 2048 or 4096
    float centre = 0.0f;       // Hz shown in the centre column
    float bin_width = 0.0f;    // Hz per bin
    int start_bin = 0;         // FFT bin of column 0
    std::array<int, 4> imd_bins{};  // 192 + c, 192 - c, 192 + 3c, 192 - 3c
};

// Update interval for a display speed 0..100 (samples between spectra), or -1 when
// the speed is above 100 and the interval must stay unchanged.
int speed_to_interval(int speed);

// Takes a new FFT length (> 0) and recomputes bin width, start bin and IMD bins.
void set_fft_length(display_geometry& g, int fft_length);
// Moves the centre and recomputes the start bin.
void set_centre(display_geometry& g, float centre);

// Column values of one spectrum block: -1 where the bin is below 2 or above 4000 Hz.
// Column 0 is never filled and keeps its value.
void fill_columns(const display_geometry& g, const float* values,
                  std::array<float, kDisplayColumns>& columns);

// The centre column of a PSK31-wide signal near column x, or -1.
int find_signal(const display_geometry& g, const std::array<float, kDisplayColumns>& columns,
                int x);
// The centre of that signal as a fractional column (the power-weighted mean of the
// columns it spans), or -1 where find_signal finds none.
float signal_centre(const display_geometry& g,
                    const std::array<float, kDisplayColumns>& columns, int x);
// Audio frequency for a click on a column, snapped to the centre of a nearby signal,
// 0 to 4000 Hz. Where no signal is found it is exactly the clicked column's.
float click_frequency(const display_geometry& g,
                      const std::array<float, kDisplayColumns>& columns, int column);

// TrueColor pixel of grey level 0..99 for the visual's channel masks.
unsigned long grey_pixel(int level, unsigned long red_mask, unsigned long green_mask,
                         unsigned long blue_mask);
// How the grey ramp is made on a screen, decided from its visuals without X.
// Class numbers are X's: 3 PseudoColor, 4 TrueColor, 5 DirectColor.
struct visual_desc {
    int depth;
    int visual_class;
    unsigned long red_mask, green_mask, blue_mask;
    bool is_default;  // the screen's default visual, whose colormap and depth we draw in
};
enum class grey_method {
    true_colour,      // pixel values computed from the masks, nothing allocated
    read_write_cells, // 100 cells allocated and stored in the default colormap
    read_only_cells,  // 100 shared cells asked for by colour in the default colormap
};
struct grey_choice {
    grey_method method = grey_method::read_only_cells;
    int found = -1;   // 0 8-bit PseudoColor, 1..4 15-, 16-, 24-, 32-bit TrueColor; -1 none
    unsigned long red_mask = 0, green_mask = 0, blue_mask = 0;
};
// The first of 8-bit PseudoColor, 15-, 16-, 24- and 32-bit TrueColor the screen
// offers decides. Cells are only allocated read-write when that PseudoColor visual
// is the default one; otherwise, and when none of the five is offered, the default
// visual's masks serve if it has any (True- or DirectColor), else shared cells.
grey_choice choose_grey_method(const visual_desc* visuals, int count);
// "find_visual_info: Using ..." for choice.found, or the fallback's message.
const char* grey_choice_message(const grey_choice& choice);
// Intensity of grey level 0..99 (16 bits) for the shared read-only cells.
unsigned short grey_intensity(int level);

// Waterfall grey level of a column value.
int waterfall_level(float value, int brightness);
// Height in pixels of the spectrum trace for a column value (at most 65).
int trace_height(float value);

// IMD reading averaged over 20 blocks with carrier detect.
struct imd_meter {
    int carrier_blocks = 0;     // 0 to 20
    int quiet_blocks = 0;       // 0 to 5
    float accumulator = 0.0f;   // dB, both sides summed
};
// Feeds one raw spectrum block (fft_length values). Returns true and sets `text`
// when the IMD field should change ("---" or the mean in dB).
bool imd_update(imd_meter& m, const display_geometry& g, const float* values, bool dcd,
                std::string& text);
