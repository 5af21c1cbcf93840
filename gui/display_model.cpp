#include "gui/display_model.h"

#include <cmath>
#include <cstdio>

int speed_to_interval(int speed) {
    if (speed > 100) return -1;
    const float x = static_cast<float>((100 - speed) / 99.0 * 3.0 + 8.0);
    return static_cast<int>(std::pow(2.0, static_cast<double>(x)));
}

void set_centre(display_geometry& g, float centre) {
    g.centre = centre;
    // Without a length there are no bins yet; set_fft_length places the centre later.
    if (!(g.bin_width > 0.0f)) return;
    g.start_bin = static_cast<int>(centre / g.bin_width - 192.0f);
}

void set_fft_length(display_geometry& g, int fft_length) {
    if (fft_length > 0) g.fft_length = fft_length;
    // With no length yet the geometry stays empty rather than infinite.
    if (g.fft_length <= 0) return;
    g.bin_width = 8000.0f / static_cast<float>(g.fft_length);
    set_centre(g, g.centre);
    const int c = g.fft_length / 512;
    g.imd_bins = {kCentreColumn + c, kCentreColumn - c, kCentreColumn + 3 * c,
                  kCentreColumn - 3 * c};
}

void fill_columns(const display_geometry& g, const float* values,
                  std::array<float, kDisplayColumns>& columns) {
    const float scale = static_cast<float>(512.0 / g.fft_length);
    for (int c = 1; c < kDisplayColumns; ++c) {
        const int bin = g.start_bin + c;
        const float f = static_cast<float>(c - kCentreColumn) * g.bin_width + g.centre;
        if (bin < 2 || f > 4000.0f || bin >= g.fft_length) {
            columns[c] = kNoData;
        } else {
            columns[c] = values[bin] * 5.0f * scale;
        }
    }
}

namespace {

// The columns [left, right] of a PSK31-wide signal near column x and the threshold
// that bounds them, a quarter of the local peak; false when the columns at or above
// it are too narrow or too wide for one signal.
bool signal_span(const display_geometry& g, const std::array<float, kDisplayColumns>& columns,
                 int x, int& left, int& right, float& threshold) {
    if (!(g.bin_width > 0.0f)) return false;
    const int w = static_cast<int>(31.25f / g.bin_width);
    const int lo = static_cast<int>(x - 1.5 * w);
    const int hi = static_cast<int>(x + 1.5 * w);
    auto value = [&](int c) { return (c >= 0 && c < kDisplayColumns) ? columns[c] : 0.0f; };
    auto inside = [](int c) { return c >= 0 && c < kDisplayColumns; };

    float peak = 0.0f;
    for (int c = lo; c < hi; ++c) {
        if (inside(c) && columns[c] > peak) peak = columns[c];
    }
    threshold = lo == hi ? 0.0f : peak * 0.25f;
    left = 0;
    for (int c = lo; c < hi; ++c) {
        if (inside(c) && value(c) >= threshold) {
            left = c;
            break;
        }
    }
    right = 0;
    for (int c = hi; c > lo; --c) {
        if (inside(c) && value(c) >= threshold) {
            right = c;
            break;
        }
    }
    const int width = right - left;
    return 0.5 * w < width && width < 1.5 * w;
}

}  // namespace

int find_signal(const display_geometry& g, const std::array<float, kDisplayColumns>& columns,
                int x) {
    int left = 0;
    int right = 0;
    float threshold = 0.0f;
    if (!signal_span(g, columns, x, left, right, threshold)) return -1;
    return (left + right) / 2;
}

float signal_centre(const display_geometry& g,
                    const std::array<float, kDisplayColumns>& columns, int x) {
    int left = 0;
    int right = 0;
    float threshold = 0.0f;
    if (!signal_span(g, columns, x, left, right, threshold)) return -1.0f;
    // A click to one side sees part of the signal through its window; the rest counts
    // too. Text reaches past 1.5 signal widths at a quarter of the peak, but a span of
    // two widths or more has a neighbour in it, and then the window's span stands.
    int outer_left = left;
    int outer_right = right;
    while (outer_left > 0 && columns[outer_left - 1] >= threshold) --outer_left;
    while (outer_right < kDisplayColumns - 1 && columns[outer_right + 1] >= threshold) {
        ++outer_right;
    }
    if (outer_right - outer_left < 2 * static_cast<int>(31.25f / g.bin_width)) {
        left = outer_left;
        right = outer_right;
    }
    // The columns hold magnitudes, so their squares weigh each column by its power.
    // A text signal's momentary spectrum is lopsided, and the midpoint of its edges
    // lands a column or more off, where the receiver's AFC cannot pull in.
    double sum = 0.0;
    double moment = 0.0;
    for (int c = left; c <= right; ++c) {
        const double v = columns[c] > 0.0f ? columns[c] : 0.0;
        sum += v * v;
        moment += v * v * c;
    }
    if (!(sum > 0.0)) return static_cast<float>(left + right) / 2.0f;
    return static_cast<float>(moment / sum);
}

float click_frequency(const display_geometry& g,
                      const std::array<float, kDisplayColumns>& columns, int column) {
    const float centre = signal_centre(g, columns, column);
    // A column shows bin start_bin + column, which lies up to a bin width from the
    // frequency the column stands for; a signal found in the bins is tuned by them.
    const float f = centre < 0.0f
                        ? static_cast<float>(column - kCentreColumn) * g.bin_width + g.centre
                        : (static_cast<float>(g.start_bin) + centre) * g.bin_width;
    if (f < 0.0f) return 0.0f;
    if (f > 4000.0f) return 4000.0f;
    return f;
}

unsigned long grey_pixel(int level, unsigned long red_mask, unsigned long green_mask,
                         unsigned long blue_mask) {
    const unsigned long m = 14080ul + 512ul * static_cast<unsigned long>(level);
    unsigned long pixel = 0;
    for (unsigned long mask : {red_mask, green_mask, blue_mask}) {
        if (mask == 0) continue;
        const int shift = __builtin_ctzl(mask);
        const int bits = __builtin_popcountl(mask);
        // Masks wider than 16 bits take the intensity's top bits, left-aligned.
        const unsigned long component = bits <= 16 ? (m >> (16 - bits)) : (m << (bits - 16));
        pixel |= (component << shift) & mask;
    }
    return pixel;
}

namespace {

constexpr int kPseudoColor = 3;
constexpr int kTrueColor = 4;
constexpr int kDirectColor = 5;

bool has_masks(const visual_desc& v) {
    return v.visual_class == kTrueColor || v.visual_class == kDirectColor;
}

grey_choice default_fallback(const visual_desc* visuals, int count, int found) {
    grey_choice choice;
    choice.found = found;
    for (int i = 0; i < count; ++i) {
        if (visuals[i].is_default && has_masks(visuals[i])) {
            choice.method = grey_method::true_colour;
            choice.red_mask = visuals[i].red_mask;
            choice.green_mask = visuals[i].green_mask;
            choice.blue_mask = visuals[i].blue_mask;
            return choice;
        }
    }
    choice.method = grey_method::read_only_cells;
    return choice;
}

}  // namespace

grey_choice choose_grey_method(const visual_desc* visuals, int count) {
    const struct {
        int depth;
        int visual_class;
    } wanted[5] = {{8, kPseudoColor}, {15, kTrueColor}, {16, kTrueColor}, {24, kTrueColor},
                   {32, kTrueColor}};
    for (int w = 0; w < 5; ++w) {
        // Prefer the default visual among those that match.
        const visual_desc* match = nullptr;
        for (int i = 0; i < count; ++i) {
            const visual_desc& v = visuals[i];
            if (v.depth != wanted[w].depth || v.visual_class != wanted[w].visual_class) continue;
            if (match == nullptr || v.is_default) match = &v;
        }
        if (match == nullptr) continue;
        if (w == 0) {
            // Cells of another visual's colormap would not show in our windows.
            if (match->is_default) {
                grey_choice choice;
                choice.method = grey_method::read_write_cells;
                choice.found = 0;
                return choice;
            }
            return default_fallback(visuals, count, 0);
        }
        grey_choice choice;
        choice.method = grey_method::true_colour;
        choice.found = w;
        choice.red_mask = match->red_mask;
        choice.green_mask = match->green_mask;
        choice.blue_mask = match->blue_mask;
        return choice;
    }
    return default_fallback(visuals, count, -1);
}

const char* grey_choice_message(const grey_choice& choice) {
    static const char* const found[5] = {
        "find_visual_info: Using 8 bpp Pseudo Color\n", "find_visual_info: Using 15 bpp True Color\n",
        "find_visual_info: Using 16 bpp True Color\n", "find_visual_info: Using 24 bpp True Color\n",
        "find_visual_info: Using 32 bpp True Color\n"};
    if (choice.found >= 0) return found[choice.found];
    if (choice.method == grey_method::true_colour) {
        return "find_visual_info: no 8 bpp Pseudo Color or True Color visual, using the "
               "default visual's colour masks\n";
    }
    return "find_visual_info: no 8 bpp Pseudo Color or True Color visual, using shared "
           "grey cells\n";
}

unsigned short grey_intensity(int level) {
    return static_cast<unsigned short>(14080 + 512 * level);
}

int waterfall_level(float value, int brightness) {
    if (value == kNoData) return 50;
    if (value <= 0.0f) return 0;
    const double level = brightness * std::log10(5.0 * value);
    if (!(level > 0.0)) return 0;
    if (level >= 99.0) return 99;
    return static_cast<int>(level);
}

int trace_height(float value) {
    const float h = 5.0f * value;
    if (h >= 65.0f) return 65;
    if (h <= -1.0e6f) return -1000000;  // far below the window, and no overflow
    return static_cast<int>(h);
}

bool imd_update(imd_meter& m, const display_geometry& g, const float* values, bool dcd,
                std::string& text) {
    if (!dcd) {
        if (++m.quiet_blocks >= 5) {
            m.quiet_blocks = 0;
            text = "---";
            return true;
        }
        return false;
    }
    m.quiet_blocks = 0;
    const int s = g.start_bin;
    const int c = g.fft_length / 512;
    const int lower3 = s + 192 - 3 * c, lower1 = s + 192 - c;
    const int upper1 = s + 192 + c, upper3 = s + 192 + 3 * c;
    // Near 0 Hz the lower products fall before the block, and a silent bin has no
    // logarithm: such blocks do not count towards the average.
    if (lower3 < 0 || upper3 >= g.fft_length) return false;
    const float a = values[lower3], b = values[lower1], d = values[upper3], e = values[upper1];
    if (!(a > 0.0f && b > 0.0f && d > 0.0f && e > 0.0f)) return false;
    const double sum = static_cast<double>(20.0f * std::log10(a / b)) +
                       static_cast<double>(20.0f * std::log10(d / e));
    if (!std::isfinite(sum)) return false;
    m.accumulator = static_cast<float>(m.accumulator + sum);
    if (++m.carrier_blocks >= 20) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%2.0f ", m.accumulator / 40.0);
        text = buffer;
        m.carrier_blocks = 0;
        m.accumulator = 0.0f;
        return true;
    }
    return false;
}
