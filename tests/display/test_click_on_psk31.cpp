// Clicks near a real PSK31 text signal, block by block, tune where the receiver's AFC
// can take over: within 3 Hz of the carrier when a signal is found, exactly the
// clicked column when none is.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "display/click_sweep.h"
#include "modem/receiver.h"
#include "modem/varicode.h"

namespace {

struct Case {
    int fft_length;
    double frequency;  // Hz
    float centre;      // display centre, Hz
    double snr_db;     // in 2500 Hz
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.fft_length << "-point FFT, " << c.frequency << " Hz, centre " << c.centre
        << " Hz, SNR " << c.snr_db << " dB";
}

// The signal of a case, at a fifth of full scale.
click_sweep::signal_case signalOf(const Case& p) {
    click_sweep::signal_case c;
    c.fft_length = p.fft_length;
    c.frequency = p.frequency;
    c.centre = p.centre;
    c.snr_db = p.snr_db;
    c.level = 0.2;
    return c;
}

class ClickOnPsk31 : public testing::TestWithParam<Case> {
  protected:
    void SetUp() override { load_code_table(VORDA_SOURCE_DATA_DIR); }
};

TEST_P(ClickOnPsk31, SnapsWithinTheAfcsReach) {
    const Case& p = GetParam();
    click_sweep::signal_case c = signalOf(p);
    // Clicks up to a signal width either side of the carrier's column, where the
    // search window sees only part of the signal.
    const int reach = click_sweep::signal_columns(p.fft_length);
    ASSERT_TRUE(click_sweep::wholly_shown(c));
    display_geometry g;
    g.centre = p.centre;
    set_fft_length(g, p.fft_length);
    const int nearest = click_sweep::nearest_column(c);
    const double f = click_sweep::true_frequency(p.frequency);
    const double nearest_error = (nearest - kCentreColumn) * g.bin_width + p.centre - f;

    long snapped = 0;
    long clicks = 0;
    for (const auto& k : click_sweep::sweep(c, reach)) {
        ++clicks;
        if (k.snapped) {
            ++snapped;
            EXPECT_NEAR(k.error, 0.0, 3.0) << "block " << k.block << ", offset " << k.offset;
        } else {
            EXPECT_NEAR(k.error, nearest_error + k.offset * g.bin_width, 0.01)
                << "block " << k.block << ", offset " << k.offset;
        }
    }
    // Text often spreads past 1.5 signal widths and is not taken for one signal, but a
    // good share of the blocks is found.
    EXPECT_GT(snapped, clicks / 8);
}

// The broad view's clicks, then the receiver: retuned to where each click tunes, at
// that block, with AFC on, it must copy the end of the text.
class DecodeAfterClick : public ClickOnPsk31 {};

TEST_P(DecodeAfterClick, TheReceiverCopiesTheRestOfTheText) {
    const Case& p = GetParam();
    click_sweep::signal_case c = signalOf(p);
    c.text = "cq de test the quick brown fox cq de test the quick brown fox end of test 73";
    const std::string tail = "end of test 73";
    const std::vector<double> audio = click_sweep::received_audio(c);
    std::vector<int16_t> samples;
    for (double v : audio) samples.push_back(click_sweep::to_sample(v));
    const double f = click_sweep::true_frequency(p.frequency);

    // The main receiver sits at 1000 Hz until the click, as the program starts.
    psk31_receiver before_click;
    init_receiver(before_click);
    before_click.afc = 1;
    before_click.squelch = 15;
    size_t fed = 0;
    int tried = 0;
    // Clicks half a signal width either side, every eighth block of the first half.
    for (const auto& k :
         click_sweep::sweep(c, audio, click_sweep::signal_columns(c.fft_length) / 2)) {
        if (k.block % 8 != 0 || k.sample > samples.size() / 2) continue;
        // A click beside the signal that finds none tunes to the clicked column itself.
        if (!k.snapped && k.offset != 0) continue;
        while (fed < k.sample) receive_sample(before_click, samples[fed++]);
        psk31_receiver rx = before_click;
        // The program tunes to the truncated hundredth.
        set_receiver_frequency(rx, static_cast<int32_t>(static_cast<float>(f + k.error) * 100.0f));
        std::string text;
        for (size_t i = fed; i < samples.size() + 8000; ++i) {
            const int ch = receive_sample(rx, i < samples.size() ? samples[i] : int16_t{0});
            if (ch != NO_CHAR && rx.dcd != 0) text += static_cast<char>(ch);
        }
        ++tried;
        EXPECT_NE(text.find(tail), std::string::npos)
            << "block " << k.block << ", offset " << k.offset << (k.snapped ? ", snapped" : "")
            << ", tuned " << k.error << " Hz off: " << text;
    }
    EXPECT_GT(tried, 20);
}

INSTANTIATE_TEST_SUITE_P(
    Display, DecodeAfterClick,
    testing::Values(Case{1024, 1250.0, 1000.0f, INFINITY}, Case{1024, 1253.9, 1000.1f, INFINITY},
                    Case{1024, 1256.5, 1101.3f, INFINITY}, Case{1024, 1759.8, 1507.7f, 10.0}),
    [](const testing::TestParamInfo<Case>& info) {
        const Case& p = info.param;
        return std::to_string(static_cast<int>(p.frequency * 10)) + "dHz_centre" +
               std::to_string(static_cast<int>(p.centre * 10)) +
               (std::isfinite(p.snr_db) ? "_snr" + std::to_string(static_cast<int>(p.snr_db))
                                        : "_clean");
    });

// Carriers on and between column centres; display centres on the bin grid and off it
// by nearly a broad column either way.
INSTANTIATE_TEST_SUITE_P(
    Display, ClickOnPsk31,
    testing::Values(Case{1024, 1250.0, 1000.0f, INFINITY}, Case{1024, 1253.9, 1000.0f, INFINITY},
                    Case{1024, 1253.9, 1000.1f, 10.0}, Case{1024, 1759.8, 1507.7f, 10.0},
                    Case{2048, 1256.5, 1101.3f, INFINITY}, Case{2048, 1003.9, 1507.7f, 10.0},
                    Case{4096, 1256.5, 1000.1f, 10.0}, Case{4096, 1253.9, 1507.7f, INFINITY}),
    [](const testing::TestParamInfo<Case>& info) {
        const Case& p = info.param;
        return "fft" + std::to_string(p.fft_length) + "_" +
               std::to_string(static_cast<int>(p.frequency * 10)) + "dHz_centre" +
               std::to_string(static_cast<int>(p.centre * 10)) +
               (std::isfinite(p.snr_db) ? "_snr" + std::to_string(static_cast<int>(p.snr_db))
                                        : "_clean");
    });

}  // namespace
