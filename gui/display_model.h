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
// Audio frequency for a click on a column, snapped to a nearby signal, 0 to 4000 Hz.
float click_frequency(const display_geometry& g,
                      const std::array<float, kDisplayColumns>& columns, int column);

// TrueColor pixel of grey level 0..99 for the visual's channel masks.
unsigned long grey_pixel(int level, unsigned long red_mask, unsigned long green_mask,
                         unsigned long blue_mask);
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
