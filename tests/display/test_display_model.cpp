// The display's arithmetic: intervals, geometry, snapping, grey ramp, IMD.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gui/display_model.h"

namespace {

display_geometry geometry(int fft_length, float centre) {
    display_geometry g;
    g.centre = centre;
    set_fft_length(g, fft_length);
    return g;
}

std::array<float, kDisplayColumns> flat(float v) {
    std::array<float, kDisplayColumns> c;
    c.fill(v);
    return c;
}

}  // namespace

TEST(DisplaySpeed, IntervalFromSpeed) {
    EXPECT_EQ(speed_to_interval(100), 256);
    EXPECT_EQ(speed_to_interval(50), 731);
    EXPECT_EQ(speed_to_interval(1), 2048);
    EXPECT_EQ(speed_to_interval(0), 2091);
    EXPECT_EQ(speed_to_interval(101), -1);
    // Slower speeds never give shorter intervals.
    for (int s = 1; s <= 100; ++s) EXPECT_LE(speed_to_interval(s), speed_to_interval(s - 1));
}

TEST(DisplayGeometry, StartBinAndClickFrequency) {
    auto g = geometry(2048, 1000.0f);
    EXPECT_FLOAT_EQ(g.bin_width, 3.90625f);
    EXPECT_EQ(g.start_bin, 64);
    auto none = flat(0.0f);
    EXPECT_FLOAT_EQ(click_frequency(g, none, 192), 1000.0f);
    EXPECT_FLOAT_EQ(click_frequency(g, none, 0), 250.0f);
    EXPECT_EQ(g.imd_bins, (std::array<int, 4>{196, 188, 204, 180}));

    auto low = geometry(1024, 100.0f);
    EXPECT_EQ(low.start_bin, -179);
    EXPECT_FLOAT_EQ(click_frequency(low, none, 0), 0.0f);  // limited at 0 Hz

    auto high = geometry(1024, 3900.0f);
    EXPECT_FLOAT_EQ(click_frequency(high, none, 383), 4000.0f);

    // A length change keeps the centre and moves the start bin with it.
    set_fft_length(g, 4096);
    EXPECT_EQ(g.start_bin, static_cast<int>(1000.0f / 1.953125f - 192.0f));
    set_fft_length(g, -1);
    EXPECT_EQ(g.fft_length, 4096);
}

TEST(DisplayGeometry, ColumnsWithoutDataAtTheBandEdges) {
    std::vector<float> values(1024, 2.0f);
    std::array<float, kDisplayColumns> columns = flat(7.0f);
    auto low = geometry(1024, 100.0f);
    fill_columns(low, values.data(), columns);
    EXPECT_EQ(columns[0], 7.0f) << "column 0 is never filled";
    EXPECT_EQ(columns[1], kNoData);
    EXPECT_EQ(columns[180], kNoData);  // bin 1
    EXPECT_EQ(columns[181], 5.0f);     // bin 2: 2 * 5 * 512/1024
    auto high = geometry(1024, 3900.0f);
    fill_columns(high, values.data(), columns);
    EXPECT_EQ(columns[192 + 12], 5.0f);    // 3993.75 Hz
    EXPECT_EQ(columns[192 + 13], kNoData);  // 4001.56 Hz
    EXPECT_EQ(columns[383], kNoData);
}

TEST(DisplaySnapping, SignalWidthDecidesSnapping) {
    auto g = geometry(1024, 1000.0f);  // w = 4 columns
    auto columns = flat(0.1f);
    for (int c = 200; c <= 204; ++c) columns[c] = 8.0f;  // a 31.25 Hz wide signal
    EXPECT_EQ(find_signal(g, columns, 202), 202);
    EXPECT_EQ(find_signal(g, columns, 199), 202);
    EXPECT_FLOAT_EQ(click_frequency(g, columns, 199), 1000.0f + 10 * 7.8125f);

    auto spike = flat(0.1f);
    spike[200] = 8.0f;
    EXPECT_EQ(find_signal(g, spike, 200), -1);
    EXPECT_FLOAT_EQ(click_frequency(g, spike, 199), 1000.0f + 7 * 7.8125f);

    auto noise = flat(1.0f);  // broad: everything above a quarter of the peak
    EXPECT_EQ(find_signal(g, noise, 192), -1);

    // At the window's edge the columns outside do not count.
    auto edge = flat(0.1f);
    for (int c = 0; c <= 4; ++c) edge[c] = 8.0f;
    EXPECT_EQ(find_signal(g, edge, 2), 2);
    EXPECT_EQ(find_signal(geometry(4096, 1000.0f), flat(0.0f), 383), -1);
}

// A PSK31 signal's momentary spectrum: two equal tones either side of a null at the
// carrier, skirts of nearly equal power that a quarter of the peak cuts unevenly.
std::array<float, kDisplayColumns> lopsided_signal(int carrier_column) {
    auto columns = flat(0.1f);
    columns[carrier_column - 2] = 2.6f;  // just above a quarter of the peak
    columns[carrier_column - 1] = 10.0f;
    columns[carrier_column] = 0.0f;
    columns[carrier_column + 1] = 10.0f;
    columns[carrier_column + 2] = 2.4f;  // just below
    return columns;
}

TEST(DisplaySnapping, UnevenEdgesStillTuneToTheCarrier) {
    auto g = geometry(1024, 1000.0f);  // on the bin grid: column c shows (c - 192) * 7.8125 + 1000
    const auto columns = lopsided_signal(210);
    const float carrier = 1000.0f + 18 * 7.8125f;
    // The seek asks find_signal for the midpoint of the edges, truncated, as before.
    EXPECT_EQ(find_signal(g, columns, 210), 209);
    EXPECT_NEAR(signal_centre(g, columns, 210), 210.0f, 0.1f);
    // A column off is beyond the AFC's reach; the carrier itself is not.
    for (int click : {207, 209, 210, 212}) {
        EXPECT_NEAR(click_frequency(g, columns, click), carrier, 1.0f) << click;
    }
    EXPECT_EQ(signal_centre(g, flat(0.1f), 210), -1.0f);
}

TEST(DisplaySnapping, SignalsTuneByTheirBinsWhenTheCentreIsOffTheGrid) {
    // 1000.1 Hz is no multiple of 7.8125: column c shows bin c - 63, which lies 7.7 Hz
    // above the frequency the column stands for.
    auto g = geometry(1024, 1000.1f);
    ASSERT_EQ(g.start_bin, -63);
    const int column = 160 + 63;  // bin 160, 1250 Hz
    const auto columns = lopsided_signal(column);
    EXPECT_NEAR(click_frequency(g, columns, column), 1250.0f, 1.0f);
    // Where nothing is found the click still tunes exactly to the clicked column.
    EXPECT_FLOAT_EQ(click_frequency(g, flat(0.1f), column), 1000.1f + 31 * 7.8125f);
    auto spike = flat(0.1f);
    spike[column] = 8.0f;
    EXPECT_FLOAT_EQ(click_frequency(g, spike, column - 1), 1000.1f + 30 * 7.8125f);
}

TEST(DisplaySnapping, AClickToOneSideWeighsTheWholeSignal) {
    auto g = geometry(2048, 1000.0f);  // w = 8 columns
    auto columns = flat(0.1f);
    const int carrier = 200;
    for (int c = carrier - 4; c <= carrier + 4; ++c) columns[c] = 10.0f;
    columns[carrier] = 5.0f;
    // The click's window, [x - 12, x + 12), shows only the signal's upper part.
    const int click = carrier + 10;
    EXPECT_EQ(find_signal(g, columns, click), carrier + 1);
    EXPECT_NEAR(signal_centre(g, columns, click), carrier, 0.05f);
    EXPECT_NEAR(click_frequency(g, columns, click), 1000.0f + 8 * 3.90625f, 0.2f);

    // A neighbour joined to the signal is no part of it: the window's span counts alone.
    for (int c = carrier - 13; c < carrier - 4; ++c) columns[c] = 10.0f;
    EXPECT_EQ(find_signal(g, columns, click), carrier + 1);
    EXPECT_GT(signal_centre(g, columns, click), carrier);
    EXPECT_LT(signal_centre(g, columns, click), carrier + 4);
}

TEST(DisplayGreyRamp, PixelsForCommonVisuals) {
    // 15-bit 555, 16-bit 565, 24- and 32-bit 888.
    EXPECT_EQ(grey_pixel(0, 0x7C00, 0x03E0, 0x001F), 0x18C6ul);
    EXPECT_EQ(grey_pixel(0, 0xF800, 0x07E0, 0x001F), 0x31A6ul);
    EXPECT_EQ(grey_pixel(0, 0xFF0000, 0x00FF00, 0x0000FF), 0x373737ul);
    EXPECT_EQ(grey_pixel(99, 0xFF0000, 0x00FF00, 0x0000FF), 0xFDFDFDul);
    EXPECT_EQ(grey_pixel(99, 0x0000FF, 0x00FF00, 0xFF0000), 0xFDFDFDul);
    // The ramp rises monotonically in every channel.
    for (int i = 1; i < 100; ++i) {
        EXPECT_GE(grey_pixel(i, 0xF800, 0, 0), grey_pixel(i - 1, 0xF800, 0, 0));
        EXPECT_GT(grey_pixel(i, 0xFF0000, 0, 0), grey_pixel(i - 1, 0xFF0000, 0, 0));
    }
}

TEST(DisplayLevels, WaterfallAndTrace) {
    EXPECT_EQ(waterfall_level(kNoData, 30), 50);
    EXPECT_EQ(waterfall_level(0.0f, 30), 0);
    EXPECT_EQ(waterfall_level(-3.0f, 30), 0);
    EXPECT_EQ(waterfall_level(1e9f, 30), 99);
    EXPECT_EQ(waterfall_level(2.0f, 30), 30);  // 30 * log10(10)
    EXPECT_EQ(trace_height(13.0f), 65);
    EXPECT_EQ(trace_height(2.5f), 12);
    EXPECT_EQ(trace_height(-1.0f), -5);
}

TEST(DisplayImd, AverageOverTwentyBlocksAndDashesWithoutCarrier) {
    auto g = geometry(1024, 1000.0f);  // c = 2 bins
    std::vector<float> values(1024, 1.0f);
    const int s = g.start_bin;
    values[s + 192 - 2] = values[s + 192 + 2] = 100.0f;  // the two tones
    values[s + 192 - 6] = values[s + 192 + 6] = 1.0f;    // products 40 dB down
    imd_meter m;
    std::string text;
    for (int i = 0; i < 19; ++i) EXPECT_FALSE(imd_update(m, g, values.data(), true, text));
    ASSERT_TRUE(imd_update(m, g, values.data(), true, text));
    EXPECT_EQ(text, "-40 ");

    // Without carrier detect: "---" after every fifth block.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 4; ++i) EXPECT_FALSE(imd_update(m, g, values.data(), false, text));
        ASSERT_TRUE(imd_update(m, g, values.data(), false, text));
        EXPECT_EQ(text, "---");
    }

    // A carrier of 19 blocks, a drop, and its return completes the average.
    for (int i = 0; i < 19; ++i) imd_update(m, g, values.data(), true, text);
    EXPECT_FALSE(imd_update(m, g, values.data(), false, text));
    EXPECT_TRUE(imd_update(m, g, values.data(), true, text));
    EXPECT_EQ(text, "-40 ");
}

TEST(DisplayImd, NeverShowsInfinityOrNotANumber) {
    imd_meter m;
    std::string text;
    std::vector<float> zeros(1024, 0.0f);
    auto g = geometry(1024, 1000.0f);
    for (int i = 0; i < 40; ++i) EXPECT_FALSE(imd_update(m, g, zeros.data(), true, text));
    // Below 46.875 Hz the lower products lie before the block.
    auto low = geometry(1024, 20.0f);
    std::vector<float> ones(1024, 1.0f);
    for (int i = 0; i < 40; ++i) EXPECT_FALSE(imd_update(m, low, ones.data(), true, text));
    EXPECT_TRUE(std::isfinite(m.accumulator));
    EXPECT_EQ(m.carrier_blocks, 0);
}

TEST(DisplayVisuals, GreyRampMethodFollowsTheScreensVisuals) {
    constexpr int Pseudo = 3, True = 4, Direct = 5, StaticGray = 0;
    const visual_desc rgb24{24, True, 0xFF0000, 0x00FF00, 0x0000FF, false};
    const visual_desc rgb565{16, True, 0xF800, 0x07E0, 0x001F, false};
    auto with_default = [](visual_desc v) {
        v.is_default = true;
        return v;
    };

    // A usual X server: 24-bit TrueColor by default, DirectColor and 32-bit beside it.
    const visual_desc xvfb[] = {with_default(rgb24), {24, Direct, 0xFF0000, 0xFF00, 0xFF, false},
                                {32, True, 0xFF0000, 0xFF00, 0xFF, false}};
    grey_choice c = choose_grey_method(xvfb, 3);
    EXPECT_EQ(c.method, grey_method::true_colour);
    EXPECT_EQ(c.found, 3);
    EXPECT_EQ(c.red_mask, 0xFF0000ul);
    EXPECT_STREQ(grey_choice_message(c), "find_visual_info: Using 24 bpp True Color\n");

    // 15 and 16 bits come before 24.
    const visual_desc sixteen[] = {with_default(rgb565), rgb24};
    c = choose_grey_method(sixteen, 2);
    EXPECT_EQ(c.found, 2);
    EXPECT_EQ(c.green_mask, 0x07E0ul);

    // 8-bit PseudoColor as the default: cells of its own (the default) colormap.
    const visual_desc pseudo_default[] = {{8, Pseudo, 0, 0, 0, true}, rgb24};
    c = choose_grey_method(pseudo_default, 2);
    EXPECT_EQ(c.method, grey_method::read_write_cells);
    EXPECT_STREQ(grey_choice_message(c), "find_visual_info: Using 8 bpp Pseudo Color\n");

    // PseudoColor offered beside a TrueColor default: its cells would never show, so
    // the default visual's masks serve.
    const visual_desc pseudo_beside[] = {{8, Pseudo, 0, 0, 0, false}, with_default(rgb24)};
    c = choose_grey_method(pseudo_beside, 2);
    EXPECT_EQ(c.method, grey_method::true_colour);
    EXPECT_EQ(c.found, 0);
    EXPECT_EQ(c.blue_mask, 0xFFul);

    // None of the five: the default's masks if it has any, else shared grey cells.
    const visual_desc direct_only[] = {{24, Direct, 0xFF0000, 0xFF00, 0xFF, true}};
    c = choose_grey_method(direct_only, 1);
    EXPECT_EQ(c.method, grey_method::true_colour);
    EXPECT_EQ(c.found, -1);
    EXPECT_EQ(c.red_mask, 0xFF0000ul);
    const visual_desc grey_only[] = {{8, StaticGray, 0, 0, 0, true}, {8, Pseudo, 0, 0, 0, false}};
    c = choose_grey_method(grey_only, 2);
    EXPECT_EQ(c.method, grey_method::read_only_cells);
    EXPECT_EQ(c.found, 0);
    EXPECT_EQ(choose_grey_method(grey_only, 1).found, -1);
    EXPECT_NE(std::string(grey_choice_message(choose_grey_method(grey_only, 1))).find("shared"),
              std::string::npos);
    // The shared cells get the same ramp as the TrueColor pixels.
    EXPECT_EQ(grey_intensity(0), 0x3700);
    EXPECT_EQ(grey_intensity(99), 0xFD00);
}
