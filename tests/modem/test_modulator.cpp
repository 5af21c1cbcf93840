// The modulator: waveform against a straightforward double-precision model, envelope
// shapes, echo timing and the hand-over of the end of a transmission.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "modem/transmitter.h"
#include "modem/varicode.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kSymbol = 256;

// A sink that can be told to fail on chosen calls.
struct TestSink {
    std::set<int> failing_calls;
    int calls = 0;
    static int write(void* context, const void*, size_t bytes, int* error) {
        auto* self = static_cast<TestSink*>(context);
        const bool fail = self->failing_calls.count(self->calls++) != 0 || bytes != 512;
        *error = fail ? 7 : 0;
        return fail ? -1 : 0;
    }
    static const char* error_text(int error) { return error == 7 ? "Broken pipe" : "?"; }
    void attach(psk31_transmitter& tx) {
        tx.sink = {&TestSink::write, &TestSink::error_text, this};
    }
};

// Runs the processor; collects the left channel (checking the right one equals it) and
// the results, until TX_END or `max_blocks`.
struct Output {
    std::vector<int16_t> samples;
    std::vector<int32_t> results;
};

Output run_blocks(psk31_transmitter& tx, int max_blocks, bool stop_at_end = true) {
    Output run;
    for (int b = 0; b < max_blocks; ++b) {
        const int32_t result = tx.processor();
        run.results.push_back(result);
        for (int f = 0; f < psk31_transmitter::kBlockFrames; ++f) {
            EXPECT_EQ(tx.block[2 * f], tx.block[2 * f + 1]);
            run.samples.push_back(tx.block[2 * f]);
        }
        if (stop_at_end && result == static_cast<int32_t>(TX_END)) break;
    }
    return run;
}

void send_text(psk31_transmitter& tx, const std::string& text) {
    for (unsigned char c : text) tx.put_command(c);
}

// Bits sent by a pattern word: below its highest set bit, or one bit for 0 and 1.
std::vector<int> pattern_bits(int32_t word) {
    const int field = word & 0xFFFF;
    if (field <= 1) return {field};
    std::vector<int> bits;
    for (int j = 0; (field >> (j + 1)) != 0; ++j) bits.push_back((field >> j) & 1);
    return bits;
}

struct Symbol {
    int bit;
    int qpsk;
    int carrier;
    int lsb;       // sideband in force while the phase change is formed
    int32_t step;  // phase step from the symbol's first sample on
};

// The symbols a fresh transmitter will send, from the pattern words a copy of it hands
// out. The modulator starts on an empty pattern: one 0 bit without carrier.
std::vector<Symbol> expected_symbols(psk31_transmitter source) {
    std::vector<Symbol> symbols;
    int32_t word = 0;
    std::vector<int> bits = pattern_bits(word);
    size_t next = 0;
    bool ended = false;
    while (!ended) {
        Symbol s{bits[next], (word >> 16) & 1, (word >> 17) & 1, source.lsb, 0};
        if (++next == bits.size()) {
            word = source.next_pattern();
            if (source.echo_pending == static_cast<int32_t>(TX_END)) {
                source.state = 0;
                ended = true;
            }
            bits = pattern_bits(word);
            next = 0;
        }
        s.step = source.phase_step;
        symbols.push_back(s);
    }
    return symbols;
}

int parity(int v) {
    return __builtin_popcount(static_cast<unsigned>(v)) & 1;
}

// The waveform computed directly in double precision: carrier amplitude A as a complex
// number (1 is phase 0), crossfaded with cos^2 across each symbol, sample Im(A e^(i theta)).
std::vector<double> reference_waveform(const std::vector<Symbol>& symbols) {
    using cd = std::complex<double>;
    std::vector<double> out;
    cd previous = 0.0;  // the begin word starts from silence
    cd current = 0.0;
    unsigned reg = 0;  // bits sent, newest lowest
    uint32_t phase = 0;
    for (const Symbol& s : symbols) {
        int quarter_turns_forward;
        if (!s.qpsk) {
            quarter_turns_forward = (reg & 1) ? 0 : 2;
        } else {
            const int w = static_cast<int>(~reg & 31);
            const int v = parity(w & 0x17) + 2 * parity(w & 0x19);
            quarter_turns_forward = s.lsb ? (4 - v) % 4 : v;
        }
        previous = current;
        if (s.carrier) {
            if (current == 0.0) current = 1.0;
            current *= std::polar(1.0, quarter_turns_forward * kPi / 2);
            current = {std::round(current.real()), std::round(current.imag())};
        } else {
            current = 0.0;
        }
        reg = (reg << 1) | static_cast<unsigned>(s.bit);
        for (int j = 0; j < kSymbol; ++j) {
            phase = (phase + static_cast<uint32_t>(s.step)) % 65536;
            const double theta = 2 * kPi * phase / 65536;
            const double g = std::pow(std::cos(j * kPi / 512), 2);
            const cd a = previous * g + current * (1 - g);
            out.push_back(16000 * (a * std::polar(1.0, theta)).imag());
        }
    }
    return out;
}

class Modulator : public testing::Test {
  protected:
    void SetUp() override { load_code_table(VORDA_SOURCE_DATA_DIR); }
    psk31_transmitter tx;
};

struct Setting {
    int qpsk;
    int lsb;
    int hundredths;
};

class ModulatorWaveform : public Modulator, public testing::WithParamInterface<Setting> {};

}  // namespace

// A whole transmission, frequency change and Morse identification included, agrees
// sample by sample with the double-precision model within single-precision rounding
// and the truncation toward zero.
TEST_P(ModulatorWaveform, MatchesStraightforwardComputation) {
    const Setting p = GetParam();
    tx.put_command(TX_MODE_PSK + 2 * p.qpsk + p.lsb);
    tx.put_command(TX_FREQUENCY + p.hundredths);
    tx.put_command(TX_BEGIN);
    send_text(tx, "Vorda 73\n");
    tx.put_command(TX_FREQUENCY + p.hundredths + 4321);
    send_text(tx, "~{}");
    tx.put_command(TX_MODE_MORSE);
    send_text(tx, " de k");
    tx.put_command(TX_END);

    const std::vector<Symbol> symbols = expected_symbols(tx);
    const std::vector<double> expected = reference_waveform(symbols);
    const Output run = run_blocks(tx, 10000);
    ASSERT_EQ(run.results.back(), static_cast<int32_t>(TX_END));
    // The processor stops half-way through the fade-out symbol.
    ASSERT_EQ(run.samples.size() + kSymbol / 2, expected.size());
    int worst = 0;
    double worst_error = 0;
    for (size_t n = 0; n < run.samples.size(); ++n) {
        const double error = std::abs(run.samples[n] - expected[n]);
        if (error > worst_error) {
            worst_error = error;
            worst = static_cast<int>(n);
        }
    }
    EXPECT_LT(worst_error, 1.01) << "at sample " << worst;
}

INSTANTIATE_TEST_SUITE_P(ModesSidebandsFrequencies, ModulatorWaveform,
                         testing::Values(Setting{0, 0, 100000}, Setting{0, 1, 123456},
                                         Setting{1, 0, 100000}, Setting{1, 1, 100000},
                                         Setting{1, 0, 250000}, Setting{1, 1, 38765}),
                         [](const testing::TestParamInfo<Setting>& info) {
                             const Setting& p = info.param;
                             return std::string(p.qpsk ? "QPSK" : "BPSK") +
                                    (p.lsb ? "_LSB_" : "_USB_") + std::to_string(p.hundredths);
                         });

TEST_F(Modulator, FadeInThenIdleReversalEnvelope) {
    tx.put_command(TX_FREQUENCY + 100000);
    tx.put_command(TX_BEGIN);
    const Output run = run_blocks(tx, 2 * 31);
    const auto& s = run.samples;
    auto g_at = [](int j) {
        const float c = static_cast<float>(std::cos(j * kPi / 512));
        return static_cast<double>(c * c);
    };
    auto sin_at = [&](int n) { return std::sin(2 * kPi * ((n + 1) % 8) / 8); };  // 1000 Hz

    // The symbol before the preamble is silent; the first preamble symbol rises from 0.
    for (int j = 0; j < kSymbol; ++j) ASSERT_EQ(s[j], 0) << j;
    EXPECT_EQ(s[kSymbol], 0);
    for (int j = 0; j < kSymbol; ++j) {
        const int n = kSymbol + j;
        EXPECT_NEAR(std::abs(s[n]), 16000 * (1 - g_at(j)) * std::abs(sin_at(n)), 1.01) << j;
    }
    // Reversals: |2g - 1|, zero in the middle of every symbol and full at its edges.
    for (int k = 2; k < 30; ++k) {
        int peak_edge = 0;
        for (int j = 0; j < kSymbol; ++j) {
            const int n = k * kSymbol + j;
            EXPECT_NEAR(std::abs(s[n]), 16000 * std::abs(2 * g_at(j) - 1) * std::abs(sin_at(n)),
                        1.01);
            if (j < 8) peak_edge = std::max(peak_edge, std::abs(static_cast<int>(s[n])));
        }
        EXPECT_EQ(s[k * kSymbol + 128], 0);
        EXPECT_GE(peak_edge, 15990);
        // The sign flips from one symbol to the next: a phase reversal.
        const int n = k * kSymbol + 1;  // phase a quarter turn: sin 1
        EXPECT_EQ(s[n] > 0, s[n + kSymbol] < 0) << k;
    }
}

TEST_F(Modulator, TuneIsSteadyToneOfAmplitude16000) {
    tx.put_command(TX_MODE_TUNE);
    tx.put_command(TX_FREQUENCY + 100000);
    tx.put_command(TX_BEGIN);
    EXPECT_EQ(tx.phase_step, 8192);
    const Output run = run_blocks(tx, 2 * 40);
    const auto& s = run.samples;
    // After the fade-in the carrier repeats every 8 samples (1000 Hz) at full amplitude.
    int peak = 0;
    for (size_t n = 2 * kSymbol; n + 8 < s.size(); ++n) {
        ASSERT_EQ(s[n], s[n + 8]) << n;
        peak = std::max(peak, std::abs(static_cast<int>(s[n])));
    }
    EXPECT_EQ(peak, 16000);
    for (int32_t r : run.results) EXPECT_EQ(r, TX_BLOCK_WRITTEN);
}

TEST_F(Modulator, FrequencyChangeIsPhaseContinuous) {
    tx.put_command(TX_MODE_TUNE);
    tx.put_command(TX_FREQUENCY + 100000);
    tx.put_command(TX_BEGIN);
    Output run = run_blocks(tx, 8);
    // Taken with the next tune word, whose first bit starts symbol 15.
    tx.put_command(TX_FREQUENCY + 175000);
    const Output rest = run_blocks(tx, 2 * 30);
    run.samples.insert(run.samples.end(), rest.samples.begin(), rest.samples.end());
    EXPECT_EQ(tx.phase_step, 14336);

    // A steady carrier after the fade-in: every sample is +-16000 sin(theta), with theta
    // accumulated sample by sample across the change.
    const int change = 15 * kSymbol;
    const int sign = run.samples[2 * kSymbol + 1] > 0 ? 1 : -1;  // theta a quarter turn there
    EXPECT_EQ(std::abs(run.samples[2 * kSymbol + 1]), 16000);
    uint32_t phase = 0;
    for (size_t n = 0; n < run.samples.size(); ++n) {
        phase += static_cast<int>(n) < change ? 8192 : 14336;
        if (n < 2 * kSymbol) continue;
        const double expected = sign * 16000 * std::sin(2 * kPi * (phase % 65536) / 65536);
        ASSERT_NEAR(run.samples[n], expected, 1.01) << n;
    }
}

namespace {

int bit_count(int32_t word) {
    return static_cast<int>(pattern_bits(word).size());
}

// Block in which word m of a transmission is loaded: its first symbol is one after the
// last symbol of the words before it, the empty starting pattern counted as one symbol,
// and every symbol spans two blocks.
std::vector<int> load_blocks(const std::vector<int32_t>& words) {
    std::vector<int> blocks;
    int symbols = 1;
    for (int32_t w : words) {
        blocks.push_back(2 * (symbols - 1));
        symbols += bit_count(w);
    }
    return blocks;
}

int32_t char_pattern(char c) {
    return varicode_code(c) + 0x20000;
}

}  // namespace

TEST_F(Modulator, EchoesArriveWhenTheirPatternIsLoadedThenTheEnd) {
    tx.put_command(TX_BEGIN);
    send_text(tx, "ab");
    tx.put_command(TX_END);
    const std::vector<int32_t> words = {0x22000,           0x22000, 0x20040, char_pattern('a'),
                                        char_pattern('b'), 0x20004, 0x23FFF, 0x23FFF,
                                        0x2007F,           0x00001, 0x00000};
    const std::vector<int> at = load_blocks(words);
    const Output run = run_blocks(tx, 1000);
    ASSERT_EQ(static_cast<int>(run.results.size()), at.back() + 1);
    for (int b = 0; b < static_cast<int>(run.results.size()); ++b) {
        int32_t expected = TX_BLOCK_WRITTEN;
        if (b == at[3]) expected = 0x80061;
        if (b == at[4]) expected = 0x80062;
        if (b == at.back()) expected = static_cast<int32_t>(TX_END);
        EXPECT_EQ(run.results[b], expected) << "block " << b;
    }
    EXPECT_EQ(tx.state, 0);

    // Afterwards the fade-out finishes and silence follows.
    const Output after = run_blocks(tx, 4);
    for (int32_t r : after.results) EXPECT_EQ(r, TX_BLOCK_WRITTEN);
    EXPECT_NE(after.samples[0], 0);
    for (size_t n = kSymbol / 2; n < after.samples.size(); ++n) EXPECT_EQ(after.samples[n], 0);
}

TEST_F(Modulator, FailedWritesKeepEchoesWaitingInOrder) {
    tx.put_command(TX_BEGIN);
    send_text(tx, "e");
    tx.put_command(TX_END);
    const std::vector<int> at = load_blocks({0x22000, 0x22000, 0x20040, char_pattern('e'), 0x20004,
                                             0x23FFF, 0x23FFF, 0x2007F, 0x00001, 0x00000});
    TestSink sink;
    for (int b = at[3]; b <= at.back(); ++b) sink.failing_calls.insert(b);
    sink.attach(tx);

    testing::internal::CaptureStdout();
    const Output run = run_blocks(tx, at.back() + 3, false);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("psk31_transmitter processor - simple write rtn = Broken pipe\n"),
              std::string::npos);
    for (int b = at[3]; b <= at.back(); ++b) EXPECT_EQ(run.results[b], TX_ERROR);
    // The echo that waited comes first, then the end.
    EXPECT_EQ(run.results[at.back() + 1], 0x80065);
    EXPECT_EQ(run.results[at.back() + 2], static_cast<int32_t>(TX_END));
}

TEST_F(Modulator, EndIgnoredWhenANewTransmissionHasBegun) {
    tx.put_command(TX_MODE_TUNE);
    tx.put_command(TX_BEGIN);
    tx.put_command(TX_END);
    TestSink sink;
    sink.failing_calls = {0, 1};
    sink.attach(tx);
    testing::internal::CaptureStdout();
    run_blocks(tx, 2, false);
    testing::internal::GetCapturedStdout();  // the end is loaded in the first block; its echo waits
    EXPECT_EQ(tx.state, 0);
    tx.put_command(TX_BEGIN);
    testing::internal::CaptureStderr();
    EXPECT_EQ(tx.processor(), TX_BLOCK_WRITTEN);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: psk31-transmitter: ignoring TX_END in tx state 1\n");
    // The new transmission goes on: a steady carrier.
    const Output run = run_blocks(tx, 8);
    for (int32_t r : run.results) EXPECT_EQ(r, TX_BLOCK_WRITTEN);
    EXPECT_GT(*std::max_element(run.samples.begin(), run.samples.end()), 15000);
}

TEST_F(Modulator, EchoRingOverflowLosesWaitingEchoes) {
    tx.put_command(TX_BEGIN);
    send_text(tx, std::string(70, 'e'));
    const std::vector<int> at = load_blocks({0x22000, 0x22000, 0x20040, char_pattern('e')});
    const int e_blocks = 2 * bit_count(char_pattern('e'));
    const int last_failing = at[3] + 63 * e_blocks;  // the 64th echo fills the ring
    TestSink sink;
    for (int b = 0; b <= last_failing; ++b) sink.failing_calls.insert(b);
    sink.attach(tx);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    run_blocks(tx, last_failing + 1, false);
    const std::string errors = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(errors, "Warning: ECHO char buffer overflow!\n");
    EXPECT_EQ(tx.processor(), TX_BLOCK_WRITTEN);
}

// Morse identification: dots of one symbol, dashes of three, two symbols between
// elements, seven between letters and thirteen for a space, measured on the audio.
TEST_F(Modulator, MorseKeyingTimes) {
    tx.put_command(TX_FREQUENCY + 100000);
    tx.put_command(TX_BEGIN);
    tx.put_command(TX_MODE_MORSE);
    send_text(tx, " de k");
    tx.put_command(TX_END);
    const Output run = run_blocks(tx, 2000);
    ASSERT_EQ(run.results.back(), static_cast<int32_t>(TX_END));

    // Envelope: peak over one carrier period (8 samples at 1000 Hz); keyed above half.
    // The reversals of the preamble, and of the two zero bits that close the PSK text,
    // dip in every symbol; start at the last symbol boundary of those.
    std::vector<int> runs;  // alternating on/off lengths in samples, starting with on
    bool on = true;
    int length = 0;
    for (size_t n = 35 * kSymbol; n + 8 <= run.samples.size(); ++n) {
        int peak = 0;
        for (size_t m = n; m < n + 8; ++m) peak = std::max(peak, std::abs(int{run.samples[m]}));
        const bool now_on = peak > 8000;
        if (now_on != on) {
            runs.push_back(length);
            length = 0;
            on = now_on;
        }
        ++length;
    }
    // The end of the preamble, then the identification; silence to the end.
    ASSERT_GE(runs.size(), 2u);
    std::vector<double> symbols;
    for (size_t i = 1; i < runs.size(); ++i) symbols.push_back(runs[i] / double{kSymbol});
    const std::vector<double> expected = {9, 3, 2, 1, 2, 1, 7, 1, 13, 3, 2, 1, 2, 3};
    ASSERT_EQ(symbols.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(symbols[i], expected[i], 0.05) << i;

    // Echoes: ' ', 'd', 'e', ' ', 'k', then the end.
    std::string echoed;
    for (int32_t r : run.results) {
        if ((r & 0x40000) && r != TX_BLOCK_WRITTEN) echoed += static_cast<char>(r & 0xFF);
    }
    EXPECT_EQ(echoed, " de k");
}
