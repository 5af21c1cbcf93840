// The receive demodulator: set-up, the symbol step's arithmetic, decoding of an
// independently generated signal across modes, sidebands and carriers, AFC, noise,
// and the optimised front end against a plain model of the same arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "modem/psk31_signal.h"
#include "modem/receiver.h"
#include "modem/transmission.h"
#include "spectrum/spectrum_engine.h"

namespace {

class ReceiverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { load_code_table(VORDA_SOURCE_DATA_DIR); }
};

std::string receive(psk31_receiver& r, const std::vector<int16_t>& pcm) {
    std::string out;
    for (int16_t v : pcm) {
        const int c = receive_sample(r, v);
        if (c != NO_CHAR) out.push_back(static_cast<char>(c));
    }
    return out;
}

using receiver_ptr = std::unique_ptr<psk31_receiver, void (*)(psk31_receiver*)>;

receiver_ptr new_receiver(double hz, int32_t qpsk = 0, int32_t lsb = 0) {
    receiver_ptr r(create_receiver(), destroy_receiver);
    set_receiver_frequency(*r, static_cast<int32_t>(std::lround(hz * 100)));
    set_receiver_mode(*r, qpsk, lsb);
    return r;
}

// A filtered sample (s, c) whose absolute phase comes out as `phase` (1/256 turn):
// the middle of that phase's bucket, away from every rounding edge.
void feed_phase(psk31_receiver& r, int phase) {
    const double angle = (phase * 256 + 128) * M_PI / 32767;
    receive_symbol(r, static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)));
}

// Feeds phase changes (1/256 turn) from the receiver's last phase.
void feed_changes(psk31_receiver& r, const std::vector<int>& changes) {
    int phase = r.last_phase;
    for (int change : changes) {
        phase = ((phase + change + 128) & 255) - 128;
        feed_phase(r, phase);
    }
}

// Text long enough for error rates: QSO phrases in a fixed pseudo-random order.
std::string qso_text(size_t length) {
    static const char* const words[] = {
        "cq", "de", "VK2ABC", "the", "rig", "is", "running", "50", "watts", "into", "a",
        "dipole", "at", "12m", "agl.", "Name", "here", "is", "Jo,", "qth", "near", "the",
        "river", "ur", "rst", "599", "hw", "cpy?", "73", "tu", "k", "wx=sunny/22C"};
    std::string text;
    uint32_t state = 1;
    while (text.size() < length) {
        state = state * 1103515245u + 12345u;
        text += words[(state >> 16) % 32];
        text += (state >> 12) % 9 == 0 ? '\n' : ' ';
    }
    return text;
}

// Edit distance from `sent` to `got`, where characters `got` holds before the text
// (decoded while the receiver locked) are free.
size_t text_errors(const std::string& sent, const std::string& got) {
    std::vector<size_t> previous(got.size() + 1, 0), current(got.size() + 1);
    for (size_t i = 1; i <= sent.size(); ++i) {
        current[0] = i;
        for (size_t j = 1; j <= got.size(); ++j) {
            const size_t substitute = previous[j - 1] + (sent[i - 1] != got[j - 1] ? 1 : 0);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitute});
        }
        std::swap(previous, current);
    }
    return previous[got.size()];
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Set-up and the symbol step

TEST_F(ReceiverTest, NewReceiverAndFrequencySetting) {
    auto r = new_receiver(1000.0);
    psk31_receiver* fresh = create_receiver();
    EXPECT_EQ(fresh->freq, 1000.0f);
    EXPECT_EQ(std::lround(fresh->freq * 100), 100000);
    EXPECT_EQ(fresh->step, 8192);
    EXPECT_EQ(fresh->decoder.survivors[15].path & 0xFFFFF, 0xFFFFFu) << "decoder primed";
    destroy_receiver(fresh);

    set_receiver_frequency(*r, 123456);  // 1234.56 Hz: 10113.5 steps, truncated
    EXPECT_EQ(r->freq, 1234.56f);
    EXPECT_EQ(r->step, 10113);
    set_receiver_frequency(*r, 50);
    EXPECT_EQ(r->step, 4);

    // Re-initialising keeps the spectrum link, which belongs to the creator.
    spectrum_engine engine;
    r->spectrum = &engine;
    r->afc = 1;
    init_receiver(*r);
    EXPECT_EQ(r->spectrum, &engine);
    EXPECT_EQ(r->afc, 0);
    EXPECT_EQ(r->step, 8192);
}

TEST_F(ReceiverTest, SilenceDropsCarrierDetectAfter32Symbols) {
    auto r = new_receiver(1000.0);
    r->dcd = 1;
    r->dcd_register = 0xAAAAAAAAAAAAAAAAu;  // as after a signal
    r->strength = 7;
    // The first sample runs a decimated step, the 16th decimated step (sample 240)
    // takes the first symbol, and then one every 256 samples.
    EXPECT_EQ(receive(*r, std::vector<int16_t>(241, 0)), "");
    const std::vector<int16_t> symbol(256, 0);
    for (int k = 1; k < 31; ++k) EXPECT_EQ(receive(*r, symbol), "");
    EXPECT_EQ(r->strength, 0);
    EXPECT_EQ(r->dcd_register, uint64_t{1} << 63) << "31 steady symbols shifted in";
    EXPECT_EQ(r->dcd, 1) << "31 steady symbols are not enough";
    receive(*r, symbol);
    EXPECT_EQ(r->dcd_register, 0u);
    EXPECT_EQ(r->dcd, 0);
    EXPECT_EQ(r->phase, 0);
}

TEST_F(ReceiverTest, HardDecisionsRoundThePhaseChange) {
    struct Case {
        int change;
        int32_t qpsk, lsb;
        uint64_t decision;
    };
    const Case cases[] = {
        // BPSK: a reversal is anything from a quarter turn to three quarters.
        {0, 0, 0, 0}, {63, 0, 0, 0}, {64, 0, 0, 2}, {128, 0, 0, 2}, {191, 0, 0, 2},
        {-65, 0, 0, 2}, {-64, 0, 0, 0}, {-1, 0, 0, 0}, {64, 0, 1, 2}, {-63, 0, 1, 0},
        // QPSK: rounded to quarter turns; lower sideband counts them the other way.
        {31, 1, 0, 0}, {32, 1, 0, 1}, {95, 1, 0, 1}, {96, 1, 0, 2}, {-32, 1, 0, 0},
        {-33, 1, 0, 3}, {-96, 1, 0, 3}, {-97, 1, 0, 2}, {64, 1, 1, 3}, {-64, 1, 1, 1},
        {128, 1, 1, 2},
    };
    for (const Case& c : cases) {
        auto r = new_receiver(1000.0, c.qpsk, c.lsb);
        feed_phase(*r, 10);
        feed_changes(*r, {c.change});
        EXPECT_EQ(r->dcd_register & 3, c.decision)
            << "change " << c.change << " qpsk " << c.qpsk << " lsb " << c.lsb;
        EXPECT_EQ(r->phase, c.change & 0xFF);
    }
}

TEST_F(ReceiverTest, AfcFollowsTheMultipliedPhaseChange) {
    // 5 Hz above: 41 units of drift per symbol, e = 82, 0.041 Hz per symbol.
    auto r = new_receiver(1000.0);
    r->dcd = 1;
    r->dcd_register = 0xAAAAAAAAAAAAAAAAu;  // a signal has been there
    r->afc = 1;
    feed_phase(*r, 0);
    const float before = r->freq;
    feed_changes(*r, {41});
    EXPECT_EQ(r->freq, static_cast<float>(before + 82 * 0.0005));
    EXPECT_EQ(r->step, static_cast<int32_t>(r->freq * 8.192));
    feed_changes(*r, {41 + 128});  // a reversal on top of the drift changes nothing
    EXPECT_NEAR(r->freq, 1000.082f, 1e-4f);

    // Exactly a quarter turn (BPSK) or an odd number of eighths (QPSK): e = -128, no
    // direction, no change. Squelch 0 keeps carrier detect on throughout.
    for (int32_t qpsk : {0, 1}) {
        auto q = new_receiver(1000.0, qpsk);
        q->dcd = 1;
        q->dcd_register = 0xAAAAAAAAAAAAAAAAu;
        q->afc = 1;
        const int unit = qpsk ? 32 : 64;
        feed_changes(*q, {unit, -unit, 3 * unit, -3 * unit, unit, unit});
        EXPECT_EQ(q->freq, 1000.0f) << "qpsk " << qpsk;
        EXPECT_EQ(q->dcd, 1);
    }

    // AFC off, or carrier detect off: the frequency stays where it was put.
    for (int variant = 0; variant < 2; ++variant) {
        auto q = new_receiver(1000.0);
        q->afc = variant;
        q->dcd = 1 - variant;
        q->dcd_register = 0xAAAAAAAAAAAAAAAAu;
        feed_changes(*q, std::vector<int>(40, 20));
        EXPECT_EQ(q->freq, 1000.0f);
        EXPECT_EQ(q->step, 8192);
    }
}

TEST_F(ReceiverTest, CarrierDetect) {
    // Squelch off: only 32 steady symbols turn it off, and only 16 steady symbols
    // followed by 16 reversals turn it on; phase noise in between changes nothing.
    auto r = new_receiver(1000.0);
    std::vector<int> noise;
    uint32_t state = 7;
    for (int k = 0; k < 300; ++k) {
        state = state * 1664525u + 1013904223u;
        noise.push_back(static_cast<int>(state >> 24));
    }
    feed_changes(*r, noise);
    EXPECT_EQ(r->dcd, 0);
    feed_changes(*r, std::vector<int>(16, 0));
    feed_changes(*r, std::vector<int>(15, 128));
    EXPECT_EQ(r->dcd, 0);
    feed_changes(*r, {128});
    EXPECT_EQ(r->dcd, 1);
    EXPECT_EQ(r->dcd_vector[0], 1.0f);
    feed_changes(*r, noise);
    EXPECT_EQ(r->dcd, 1);
    feed_changes(*r, {128});
    feed_changes(*r, std::vector<int>(31, 0));
    EXPECT_EQ(r->dcd, 1);
    feed_changes(*r, {0});
    EXPECT_EQ(r->dcd, 0);
    EXPECT_EQ(r->dcd_vector[1], 0.0f);

    // Squelch 15: on when |v|^2 passes 0.15, off again below 0.075. A steady change
    // grows |v| as 1 - 0.95^n: above 0.387 from the 10th symbol.
    auto s = new_receiver(1000.0);
    s->squelch = 15;
    s->dcd_register = 1;  // keep clear of the two register patterns
    feed_changes(*s, std::vector<int>(9, 128));
    EXPECT_EQ(s->dcd, 0);
    feed_changes(*s, {128});
    EXPECT_EQ(s->dcd, 1);
    // A half turn of the doubled angle pulls |v| down, 0.401 -> 0.331 -> 0.265: the
    // first step stays above 0.274 (|v|^2 = 0.075), though below the 0.387 needed to
    // come on; the second drops it.
    feed_changes(*s, {64});
    EXPECT_EQ(s->dcd, 1);
    feed_changes(*s, {-64});
    EXPECT_EQ(s->dcd, 0);
}

// ---------------------------------------------------------------------------------
// Decoding the independent generator's signal

struct SweepCase {
    bool qpsk;
    bool lsb;
    double hz;
};

class DecodeSweep : public ReceiverTest, public ::testing::WithParamInterface<SweepCase> {};

TEST_P(DecodeSweep, TextComesThroughAfterThePreamble) {
    const SweepCase p = GetParam();
    const std::string text = "CQ CQ de v0rda/p: The quick brown fox, 0123456789 times? 73\n";
    psk31_signal::signal_options o;
    o.frequency = p.hz;
    o.qpsk = p.qpsk;
    o.lsb = p.lsb;
    o.start_phase = 1.3;
    o.amplitude = 12000;
    const auto pcm = psk31_signal::make_signal(text, o);

    auto r = new_receiver(p.hz, p.qpsk, p.lsb);
    const std::string out = receive(*r, pcm);
    EXPECT_TRUE(ends_with(out, text)) << out;
    EXPECT_LE(out.size(), text.size() + 1) << "at most one character while locking";

    // BPSK does not care about the sideband setting; QPSK needs the right one.
    auto other = new_receiver(p.hz, p.qpsk, !p.lsb);
    const std::string other_out = receive(*other, pcm);
    if (p.qpsk) {
        EXPECT_EQ(other_out.find("quick brown"), std::string::npos) << other_out;
    } else {
        EXPECT_EQ(other_out, out);
    }
}

std::vector<SweepCase> sweep_cases() {
    std::vector<SweepCase> cases;
    for (bool qpsk : {false, true}) {
        for (bool lsb : {false, true}) {
            for (double hz : {500.0, 812.5, 1000.0, 1234.56, 1500.0, 2000.0, 2500.0}) {
                cases.push_back({qpsk, lsb, hz});
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ModesSidebandsCarriers, DecodeSweep, ::testing::ValuesIn(sweep_cases()),
                         [](const ::testing::TestParamInfo<SweepCase>& info) {
                             return std::string(info.param.qpsk ? "Qpsk" : "Bpsk") +
                                    (info.param.lsb ? "Lsb" : "Usb") +
                                    std::to_string(static_cast<int>(info.param.hz * 100));
                         });

TEST_F(ReceiverTest, IdleAtTheReceiveFrequencyLocks) {
    // Silence first, as before a station starts: 16 steady symbols and then 16
    // reversals switch carrier detect on even before the squelch would.
    psk31_signal::signal_options o;
    o.frequency = 1000.0;
    o.lead_in = 8000;
    const auto pcm = psk31_signal::to_pcm(psk31_signal::modulate(psk31_signal::idle_bits(160), o));
    const size_t locked = 8000 + 64 * 256;
    auto r = new_receiver(1000.0);
    r->squelch = 15;
    receive(*r, std::vector<int16_t>(pcm.begin(), pcm.begin() + locked));
    EXPECT_EQ(r->dcd, 1);
    EXPECT_EQ(receive(*r, std::vector<int16_t>(pcm.begin() + locked, pcm.end())), "");
    EXPECT_EQ(r->dcd_register, 0xAAAAAAAAAAAAAAAAu) << "32 reversals in a row";
    EXPECT_EQ(r->dcd, 1);
    EXPECT_GT(100 * (r->dcd_vector[0] * r->dcd_vector[0] + r->dcd_vector[1] * r->dcd_vector[1]),
              15 * 0.5);
}

// The symbol clock must find the envelope peak wherever a clean signal starts against
// the receiver's 16-sample grid and wherever its clock stands; one on the transitions
// turns the text into structured garbage, and a slow escape costs the first
// characters. Mode 4: the two stations of a sound-server loopback that locked up,
// mixed by a mixer without dither at a third each (the modem sums both channels).
TEST_F(ReceiverTest, ClockFindsThePeakWhereverACleanSignalArrives) {
    const std::vector<int16_t> second = transmit("second signal 73", 0, 0, 150000);
    for (int mode = 0; mode < 5; ++mode) {
        const int qpsk = mode < 4 ? mode / 2 : 0, lsb = mode < 4 ? mode % 2 : 0;
        const std::string text = mode < 4 ? "cq de vorda" : "cq cq de vorda main channel";
        std::vector<int16_t> pcm = transmit(text, qpsk, lsb, 100000);
        for (size_t n = 0; mode == 4 && n < pcm.size(); ++n) {
            pcm[n] = static_cast<int16_t>(
                2 * std::lround(0.33333 * (pcm[n] + (n < second.size() ? second[n] : 0))));
        }
        for (int32_t clock : {0, 0x400000, 0x9C4F13}) {
            for (int offset = 0; offset < (mode == 4 ? 32 : 256); ++offset) {
                auto r = new_receiver(1000.0, qpsk, lsb);
                r->squelch = 15;
                r->symbol_clock = clock;
                std::string out;  // up to the text's length: what follows is the postamble
                for (size_t n = 0; n < offset + pcm.size() && out.size() < text.size(); ++n) {
                    const size_t at = n - offset;  // wraps for the silence before
                    const int c = receive_sample(*r, at < pcm.size() ? pcm[at] : 0);
                    if (c != NO_CHAR && r->dcd != 0) out.push_back(static_cast<char>(c));
                }
                ASSERT_EQ(out, text) << "mode " << mode << ", clock " << clock << ", offset " << offset;
            }
        }
    }
}

struct AfcCase {
    bool qpsk;
    double offset;
};

class AfcPullIn : public ReceiverTest, public ::testing::WithParamInterface<AfcCase> {};

TEST_P(AfcPullIn, FrequencyConvergesOnTheSignal) {
    const AfcCase p = GetParam();
    const std::string text = qso_text(160);
    psk31_signal::signal_options o;
    o.frequency = 1000.0 + p.offset;
    o.qpsk = p.qpsk;
    o.lead_in = 4000;
    const auto pcm = psk31_signal::make_signal(text, o);

    auto r = new_receiver(1000.0, p.qpsk);
    r->afc = 1;
    r->squelch = 15;
    EXPECT_TRUE(ends_with(receive(*r, pcm), text));
    EXPECT_NEAR(r->freq, o.frequency, 0.2);
    EXPECT_EQ(r->step, static_cast<int32_t>(r->freq * 8.192));
}

INSTANTIATE_TEST_SUITE_P(Offsets, AfcPullIn,
                         ::testing::Values(AfcCase{false, 3.0}, AfcCase{false, -3.0},
                                           AfcCase{false, 7.0}, AfcCase{true, 2.5},
                                           AfcCase{true, -2.5}));

TEST_F(ReceiverTest, AfcBeyondItsRangeRunsAway) {
    // 10 Hz is 82 units of drift per symbol; doubled, it wraps to -92 and the
    // correction points away from the signal.
    psk31_signal::signal_options o;
    o.frequency = 1010.0;
    o.lead_in = 4000;
    const auto pcm = psk31_signal::make_signal(qso_text(60), o);
    auto r = new_receiver(1000.0);
    r->afc = 1;
    r->squelch = 15;
    receive(*r, pcm);
    EXPECT_LT(r->freq, 1000.0f);
}

// ---------------------------------------------------------------------------------
// Noise. SNR is the mean power of the clean transmission (preamble, text and
// postamble) over the power of the added white noise within 2500 Hz, i.e. 2500/4000
// of its variance at 8000 samples per second.

TEST_F(ReceiverTest, BpskAtZeroDbSnrHasFewCharacterErrors) {
    const std::string text = qso_text(400);
    psk31_signal::signal_options o;
    o.frequency = 1500.0;
    o.amplitude = 5000.0;
    using namespace psk31_signal;
    auto wave = modulate(concat(concat(idle_bits(64), text_bits(text)), idle_bits(48)), o);
    add_noise(wave, noise_sd_for_snr(mean_power(wave), 0.0), 20240611);

    auto r = new_receiver(1500.0);
    const std::string out = receive(*r, to_pcm(wave));
    EXPECT_LE(text_errors(text, out), text.size() / 100) << out;
}

TEST_F(ReceiverTest, CarrierDetectWithSquelchInNoise) {
    // 8 s of noise, a transmission, 8 s of noise, at 0 dB SNR throughout.
    using namespace psk31_signal;
    signal_options o;
    o.frequency = 1500.0;
    o.amplitude = 5000.0;
    o.lead_in = 8 * kSampleRate;
    o.lead_out = 8 * kSampleRate;
    const std::string text = qso_text(120);
    const auto bits = concat(concat(idle_bits(64), text_bits(text)), idle_bits(16));
    auto wave = modulate(bits, o);
    const size_t signal_end = wave.size() - o.lead_out;
    const double power = mean_power(wave, o.lead_in, signal_end - o.lead_in);
    add_noise(wave, noise_sd_for_snr(power, 0.0), 99);
    const auto pcm = to_pcm(wave);

    auto r = new_receiver(1500.0);
    r->squelch = 15;
    // Carrier detect once per symbol period, two seconds after each change. Noise alone can hold the smoothed vector
    // above the threshold now and then (about 0.5% of the time over minutes), so the
    // noise stretches are held to a rate, the signal to always.
    int noise_checks = 0, on_in_noise = 0, off_in_signal = 0;
    size_t first_off_after = 0;
    const size_t settle = 2 * kSampleRate;
    const size_t signal_start = static_cast<size_t>(o.lead_in);
    for (size_t n = 0; n < pcm.size(); ++n) {
        receive_sample(*r, pcm[n]);
        if (n % kSamplesPerSymbol != 0) continue;
        const bool in_signal = n >= signal_start && n < signal_end;
        if (in_signal && n >= signal_start + settle) off_in_signal += 1 - r->dcd;
        if (n >= settle && (n < signal_start || n >= signal_end + settle)) {
            ++noise_checks;
            on_in_noise += r->dcd;
        }
        if (n >= signal_end && first_off_after == 0 && r->dcd == 0) first_off_after = n;
    }
    EXPECT_EQ(off_in_signal, 0);
    EXPECT_LE(on_in_noise * 20, noise_checks) << on_in_noise << " of " << noise_checks;
    ASSERT_GT(first_off_after, signal_end);
    EXPECT_LT(first_off_after - signal_end, static_cast<size_t>(kSampleRate)) << "off within 1 s";
}

// A weak signal the decoder reads well must not be squelched, in either mode: at
// -10 dB in 2500 Hz (AFC on, 1.3 Hz off tune) carrier detect comes on within 2 s and
// stays on, and what the squelch lets through is the text. Noise alone, five minutes
// of it, turns it on for at most 1% of the symbols.
class WeakSignalCarrierDetect : public ReceiverTest,
                                public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(WeakSignalCarrierDetect, OnWhileTheDecoderReadsRarelyInNoise) {
    using namespace psk31_signal;
    const auto [qpsk, lsb] = GetParam();
    signal_options o;
    o.frequency = 1501.3;
    o.amplitude = 6000.0;
    o.qpsk = qpsk != 0;
    o.lsb = lsb != 0;
    o.lead_in = 3 * kSampleRate;
    o.lead_out = 3 * kSampleRate;
    const std::string text = qso_text(200);
    auto wave = modulate(concat(concat(idle_bits(32), text_bits(text)), idle_bits(48)), o);
    const size_t signal_end = wave.size() - static_cast<size_t>(o.lead_out);
    const size_t signal_start = static_cast<size_t>(o.lead_in);
    add_noise(wave, noise_sd_for_snr(mean_power(wave, signal_start, signal_end - signal_start), -10.0),
              1234u + static_cast<uint32_t>(qpsk * 2 + lsb));
    const auto pcm = to_pcm(wave);

    auto r = new_receiver(1500.0, qpsk, lsb);
    r->afc = 1;
    r->squelch = 15;
    std::string passed;
    size_t first_on = 0, symbols = 0, on = 0;
    for (size_t n = 0; n < pcm.size(); ++n) {
        const int c = receive_sample(*r, pcm[n]);
        if (c != NO_CHAR && r->dcd != 0) passed += static_cast<char>(c);
        if (n < signal_start || n >= signal_end || n % kSamplesPerSymbol != 0) continue;
        if (r->dcd != 0 && first_on == 0) first_on = n;
        if (n < signal_start + 2 * kSampleRate) continue;
        ++symbols;
        on += static_cast<size_t>(r->dcd);
    }
    ASSERT_NE(first_on, 0u) << "carrier detect never came on";
    EXPECT_LE(first_on - signal_start, static_cast<size_t>(2 * kSampleRate));
    EXPECT_GE(on * 100, symbols * 95) << on << " of " << symbols << " symbols";
    EXPECT_LE(text_errors(text, passed), text.size() * 3 / 100) << passed;

    std::vector<double> noise(5 * 60 * kSampleRate, 0.0);
    add_noise(noise, 3000.0, 77);
    auto quiet = new_receiver(1500.0, qpsk, lsb);
    quiet->afc = 1;
    quiet->squelch = 15;
    size_t on_in_noise = 0;
    const auto noise_pcm = to_pcm(noise);
    for (size_t n = 0; n < noise_pcm.size(); ++n) {
        receive_sample(*quiet, noise_pcm[n]);
        if (n % kSamplesPerSymbol == 0) on_in_noise += static_cast<size_t>(quiet->dcd);
    }
    EXPECT_LE(on_in_noise * 100, noise_pcm.size() / kSamplesPerSymbol)
        << on_in_noise << " symbols with carrier detect on in noise";
}

// Slow fading, 20 dB deep with a 9 s period, 3 dB above the noise at the peaks (in
// 2500 Hz): carrier detect rides through every trough, so the squelch passes what the
// decoder reads, and still closes within 1.5 s of the end, which falls on a peak.
TEST_F(ReceiverTest, CarrierDetectRidesThroughFadesAndClosesAtTheEnd) {
    using namespace psk31_signal;
    for (const bool qpsk : {false, true}) {
        signal_options o;
        o.frequency = 1500.0;
        o.amplitude = 6000.0;
        o.qpsk = qpsk;
        o.lead_in = 2 * kSampleRate;
        o.lead_out = 3 * kSampleRate;
        const std::string text = qso_text(240);
        auto wave = modulate(concat(concat(idle_bits(32), text_bits(text)), idle_bits(48)), o);
        const size_t signal_start = static_cast<size_t>(o.lead_in);
        const size_t signal_end = wave.size() - static_cast<size_t>(o.lead_out);
        const double power = mean_power(wave, signal_start, signal_end - signal_start);
        const size_t period = 9 * kSampleRate;
        apply_sine_fade(wave, 20.0, 9.0, signal_end % period);
        add_noise(wave, noise_sd_for_snr(power, 3.0), 4321u + qpsk);
        const auto pcm = to_pcm(wave);

        auto r = new_receiver(1500.0, qpsk ? 1 : 0);
        r->afc = 1;
        r->squelch = 15;
        std::string passed, everything;
        size_t first_on = 0, off_in_signal = 0, closed = 0;
        for (size_t n = 0; n < pcm.size(); ++n) {
            const int c = receive_sample(*r, pcm[n]);
            if (c != NO_CHAR && n < signal_end + (qpsk ? 21 * kSamplesPerSymbol : 0)) {
                everything += static_cast<char>(c);
                if (r->dcd != 0) passed += static_cast<char>(c);
            }
            if (n % kSamplesPerSymbol != 0) continue;
            if (n < signal_end && r->dcd != 0 && first_on == 0) first_on = n;
            if (first_on != 0 && n < signal_end) off_in_signal += static_cast<size_t>(1 - r->dcd);
            if (n >= signal_end && closed == 0 && r->dcd == 0) closed = n;
        }
        ASSERT_NE(first_on, 0u) << qpsk;
        EXPECT_EQ(off_in_signal, 0u) << "QPSK " << qpsk;
        EXPECT_LE(text_errors(text, passed), text_errors(text, everything) + 2)
            << "QPSK " << qpsk << "\n" << passed;
        ASSERT_NE(closed, 0u) << qpsk;
        EXPECT_LT(closed - signal_end, static_cast<size_t>(3 * kSampleRate / 2)) << "QPSK " << qpsk;
    }
}

// A quiet recording decodes as a loud one does: the same transmissions in the same
// noise (20 dB), at peaks from half of full scale down to 250, and starting at times
// that put the symbols anywhere against the receiver's clock.
TEST_F(ReceiverTest, QuietRecordingsDecodeAsLoudOnes) {
    using namespace psk31_signal;
    const std::string text = "cq cq de dl1abc dl1abc pse k\nur rst 599 599 tnx fer call\n";
    for (bool qpsk : {false, true}) {
        for (int lead : {1000, 60000, 60080, 60160}) {
            signal_options o;
            o.frequency = 1260.0;
            o.qpsk = qpsk;
            o.amplitude = 1.0;
            o.lead_in = lead;
            std::vector<double> unit = modulate(concat(concat(idle_bits(32), text_bits(text)),
                                                       concat(idle_bits(48), std::vector<int>(32, 1))),
                                                o);
            add_noise(unit, noise_sd_for_snr(mean_power(unit, static_cast<size_t>(lead)), 20.0), 17);
            for (double peak : {16000.0, 1000.0, 250.0}) {
                std::vector<double> wave(unit);
                for (double& v : wave) v *= peak;
                auto r = new_receiver(1260.0, qpsk ? 1 : 0);
                r->afc = 1;
                r->squelch = 15;
                std::string got;
                for (int16_t v : to_pcm(wave)) {
                    const int c = receive_sample(*r, v);
                    if (c != NO_CHAR && r->dcd != 0) got += static_cast<char>(c);
                }
                EXPECT_NE(got.find(text), std::string::npos)
                    << (qpsk ? "QPSK" : "BPSK") << ", lead " << lead << ", peak " << peak << ": " << got;
            }
        }
    }
}

// A QPSK signal 3 Hz off tune in noise: the Viterbi decoder fits it badly until AFC
// has pulled the receiver in, and AFC works only with carrier detect on.
TEST_F(ReceiverTest, QpskOffTuneInNoiseComesOnAndIsPulledIn) {
    using namespace psk31_signal;
    for (double offset : {3.0, -3.0}) {
        signal_options o;
        o.frequency = 1500.0 + offset;
        o.amplitude = 6000.0;
        o.qpsk = true;
        o.lead_in = 2 * kSampleRate;
        const std::string text = qso_text(200);
        auto wave = modulate(concat(concat(idle_bits(32), text_bits(text)), idle_bits(48)), o);
        const size_t start = static_cast<size_t>(o.lead_in);
        add_noise(wave, noise_sd_for_snr(mean_power(wave, start, wave.size() - start), -8.0), 4321);
        auto r = new_receiver(1500.0, 1, 0);
        r->afc = 1;
        r->squelch = 15;
        std::string passed;
        for (int16_t v : to_pcm(wave)) {
            const int c = receive_sample(*r, v);
            if (c != NO_CHAR && r->dcd != 0) passed += static_cast<char>(c);
        }
        EXPECT_NEAR(r->freq, o.frequency, 0.3) << offset << " Hz off";
        EXPECT_LE(text_errors(text, passed), text.size() / 10) << offset << " Hz off: " << passed;
    }
}

INSTANTIATE_TEST_SUITE_P(ModesAndSidebands, WeakSignalCarrierDetect,
                         ::testing::Values(std::pair{0, 0}, std::pair{0, 1}, std::pair{1, 0},
                                           std::pair{1, 1}),
                         [](const auto& info) {
                             return std::string(info.param.first ? "Qpsk" : "Bpsk") +
                                    (info.param.second ? "Lsb" : "Usb");
                         });

// ---------------------------------------------------------------------------------
// The front end (oscillator table, fused filter loops) against a plain model that
// does every step as written, on a long noisy QPSK signal with AFC on: every output
// and every filtered value must agree to the bit.

namespace {

float channel_tap(int k) {
    return channel_half_taps[k < 32 ? k : 63 - k];
}
float decimator_tap(int k) {
    return decimator_half_taps[k < 40 ? k : 79 - k];
}

int model_sample(psk31_receiver& r, int16_t sample) {
    const float x = static_cast<float>(sample * (1.0 / 32767));
    r.nco_phase = (r.nco_phase + r.step) % 65536;
    const float theta = static_cast<float>(r.nco_phase * 2 * M_PI / 65536);
    r.mix_sin[r.in_index] = sinf(theta) * x;
    r.mix_cos[r.in_index] = cosf(theta) * x;
    r.in_index = (r.in_index + 1) % 128;
    const bool decimate = r.sample_count % 16 == 0;
    r.sample_count = (r.sample_count + 1) % 256;
    if (!decimate) return NO_CHAR;

    float a = 0, b = 0;
    for (int k = 0; k < 80; ++k) {
        a += decimator_tap(k) * r.mix_sin[(r.in_index + 48 + k) % 128];
        b += decimator_tap(k) * r.mix_cos[(r.in_index + 48 + k) % 128];
    }
    r.filt_sin[r.filt_index] = a;
    r.filt_cos[r.filt_index] = b;
    r.filt_index = (r.filt_index + 1) % 64;
    float s = 0, c = 0;
    for (int k = 0; k < 64; ++k) {
        s += channel_tap(k) * r.filt_sin[(r.filt_index + k) % 64];
        c += channel_tap(k) * r.filt_cos[(r.filt_index + k) % 64];
    }
    const float p = s * s + c * c;
    r.strength = p > 0 ? std::clamp(static_cast<int>(10 * std::log10(65536.0 * p)), 0, 40) : 0;
    const int32_t v = static_cast<int32_t>(16777216 * p);
    int32_t log = 0;
    if (v > 0) {
        int q = 31;
        while (!(v >> q)) --q;
        const int64_t rest = v - (int64_t{1} << q);  // the bits below the leading one
        log = (q << 20) + static_cast<int32_t>(q >= 20 ? rest >> (q - 20) : rest << (20 - q));
    }
    r.power_history[r.symbol_clock >> 20] = log;
    int32_t d = 0;
    for (int k = 0; k < 16; ++k) d += k < 8 ? r.power_history[k] : -r.power_history[k];
    r.symbol_clock += -d / 500 + (1 << 20);
    if (static_cast<uint32_t>(r.symbol_clock) < (1u << 24)) return NO_CHAR;
    r.symbol_clock &= 0xFFFFFF;
    return receive_symbol(r, s, c);
}

}  // namespace

TEST_F(ReceiverTest, FrontEndMatchesThePlainModelBitForBit) {
    using namespace psk31_signal;
    signal_options o;
    o.frequency = 1502.3;
    o.qpsk = true;
    o.amplitude = 9000.0;
    const std::string text = qso_text(300);
    auto wave = modulate(concat(concat(idle_bits(64), text_bits(text)), idle_bits(48)), o);
    add_noise(wave, noise_sd_for_snr(mean_power(wave), 3.0), 5);
    const auto pcm = to_pcm(wave);

    auto fast = new_receiver(1500.0, 1);
    auto model = new_receiver(1500.0, 1);
    for (auto* r : {fast.get(), model.get()}) {
        r->afc = 1;
        r->squelch = 15;
    }
    std::string out;
    for (size_t n = 0; n < pcm.size(); ++n) {
        const int expected = model_sample(*model, pcm[n]);
        ASSERT_EQ(receive_sample(*fast, pcm[n]), expected) << "sample " << n;
        if (n % 16 != 0) continue;
        ASSERT_EQ(std::memcmp(fast->filt_sin.data(), model->filt_sin.data(), 256), 0) << n;
        ASSERT_EQ(std::memcmp(fast->filt_cos.data(), model->filt_cos.data(), 256), 0) << n;
        ASSERT_EQ(fast->symbol_clock, model->symbol_clock) << n;
        ASSERT_EQ(fast->strength, model->strength) << n;
        ASSERT_EQ(fast->freq, model->freq) << n;
        if (expected != NO_CHAR) out.push_back(static_cast<char>(expected));
    }
    EXPECT_TRUE(ends_with(out, text)) << "the comparison ran on a decoded signal";
}

TEST(ReceiverFilters, PassTheChannelAndRejectEverythingFrom150Hz) {
    // Both stages as a station at `hz` from the receive frequency meets them: the
    // first at 8000/s, the channel filter at what decimation to 500/s folds it to.
    auto gain = [](double hz, int taps, double rate, float (*tap)(int)) {
        double re = 0, im = 0;
        for (int k = 0; k < taps; ++k) {
            re += tap(k) * std::cos(2 * M_PI * hz * k / rate);
            im += tap(k) * std::sin(2 * M_PI * hz * k / rate);
        }
        return std::hypot(re, im);
    };
    auto total_db = [&](double hz) {
        return 20 * std::log10(gain(hz, 80, 8000, decimator_tap) / 0.5 *
                               gain(std::remainder(hz, 500), 64, 500, channel_tap));
    };
    double sum = 0;
    for (int k = 0; k < 80; ++k) sum += decimator_tap(k);
    EXPECT_NEAR(sum, 0.5, 1e-6);
    for (double hz = 0; hz <= 20; hz += 0.5) {
        EXPECT_GT(20 * std::log10(gain(hz, 80, 8000, decimator_tap) / 0.5), -0.35) << hz;
    }
    EXPECT_NEAR(total_db(16.6), -3.0, 0.5);
    for (double hz = 31.25; hz <= 250; hz += 0.25) EXPECT_LT(total_db(hz), -64.0) << hz;
    double worst = -400;
    for (double hz = 150; hz <= 4000; hz += 0.25) worst = std::max(worst, total_db(hz));
    EXPECT_LT(worst, -90.0);
    // Where the fold lands in the channel, below the noise of 16-bit audio.
    for (int alias = 500; alias <= 4000; alias += 500) {
        for (double hz = alias - 25; hz <= alias + 25; hz += 0.25)
            EXPECT_LT(total_db(hz), -125.0) << hz;
    }
}

TEST_F(ReceiverTest, SpectrumLinkGetsSamplesOrFirstStageOutputs) {
    const std::vector<int16_t> pcm = [] {
        psk31_signal::signal_options o;
        return psk31_signal::make_signal("ab", o, 4, 0);
    }();
    for (int32_t kind : {0, 1}) {
        spectrum_engine engine;
        engine.length = 8192;
        engine.kind = kind;
        engine.ring.assign(8192, 0);
        engine.i_ring.assign(8192, 0.0f);
        engine.q_ring.assign(8192, 0.0f);
        engine.countdown = 1 << 30;
        auto r = new_receiver(1000.0);
        r->spectrum = &engine;
        for (size_t n = 0; n < pcm.size(); ++n) {
            receive_sample(*r, pcm[n]);
            if (kind == 0) {
                ASSERT_EQ(engine.ring[n], pcm[n]);
            } else if (n % 16 == 0) {
                const int newest = (r->filt_index + 63) & 63;
                ASSERT_EQ(engine.i_ring[n / 16], r->filt_sin[newest]);
                ASSERT_EQ(engine.q_ring[n / 16], r->filt_cos[newest]);
            }
        }
        const size_t fed = kind == 0 ? pcm.size() : (pcm.size() + 15) / 16;
        EXPECT_EQ(engine.write_position, static_cast<int32_t>(fed));
    }
}
