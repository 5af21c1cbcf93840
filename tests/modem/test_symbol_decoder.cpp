// Symbol decoding: BPSK bits from hard decisions, the QPSK Viterbi decoder against an
// independent encoder, and the sending direction.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "modem/psk31_signal.h"
#include "modem/symbol_decoder.h"

namespace {

class SymbolDecoding : public ::testing::Test {
protected:
    static void SetUpTestSuite() { load_code_table(VORDA_SOURCE_DATA_DIR); }

    static symbol_decoder primed(int32_t qpsk, int32_t lsb) {
        symbol_decoder d{};
        prime_decoder(d);
        d.qpsk = qpsk;
        d.lsb = lsb;
        return d;
    }
};

// Ideal symbol vectors of a phase-change sequence (quarter turns), with an arbitrary
// starting phase and scale, optionally with Gaussian noise on each component.
struct vector_channel {
    double phase = 0.4;
    double scale = 0.2;
    double noise = 0.0;
    std::mt19937 engine{1};

    std::string decode(symbol_decoder& d, const std::vector<int>& changes, int* hard_errors) {
        std::normal_distribution<double> gauss(0.0, noise * scale);
        std::string out;
        double previous_angle = phase;
        for (int quarters : changes) {
            phase += quarters * M_PI / 2;
            const double x = scale * std::cos(phase) + gauss(engine);
            const double y = scale * std::sin(phase) + gauss(engine);
            // What a plain hard decision on the phase change would have made of it.
            const double angle = std::atan2(y, x);
            const long q = std::lround(std::remainder(angle - previous_angle, 2 * M_PI) / (M_PI / 2));
            previous_angle = angle;
            if (((q % 4) + 4) % 4 != quarters % 4) ++*hard_errors;
            const int c = decode_symbol(d, 0, x, y);
            if (c != NO_CHAR) out.push_back(static_cast<char>(c));
        }
        return out;
    }
};

std::vector<int> transmission(const std::string& text) {
    using namespace psk31_signal;
    return concat(concat(idle_bits(32), text_bits(text)), idle_bits(32));
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST_F(SymbolDecoding, BpskBitsFollowTheHardDecision) {
    for (int32_t lsb : {0, 1}) {
        symbol_decoder d = primed(0, lsb);
        const symbol_decoder before = d;
        // Reversal, reversal, steady, steady, reversal, reversal: bits 0 0 1 1 0 0, the
        // two-bit code "11", completed by the second gap bit.
        const int decisions[] = {2, 2, 0, 0, 2, 2};
        std::vector<int> out;
        for (int s : decisions) out.push_back(decode_symbol(d, s, 0.0, 0.0));
        EXPECT_EQ(out, (std::vector<int>{NO_CHAR, NO_CHAR, NO_CHAR, NO_CHAR, NO_CHAR, 'e'}))
            << "lsb " << lsb;
        // Any change counts as a reversal; the trellis is left alone in BPSK.
        for (int s : {1, 1, 0, 3}) EXPECT_EQ(decode_symbol(d, s, 1.0, 1.0), NO_CHAR);
        EXPECT_EQ(decode_symbol(d, 3, 0.0, 0.0), ' ') << "code \"1\" then 0 0 gives a space";
        for (int k = 0; k < 16; ++k) {
            EXPECT_EQ(d.survivors[k].path, before.survivors[k].path);
            EXPECT_EQ(d.survivors[k].metric, before.survivors[k].metric);
        }
    }
}

TEST_F(SymbolDecoding, QpskIdleStaysSilent) {
    for (int32_t lsb : {0, 1}) {
        // Priming ended on (-1, 0); idle goes on with half a turn per symbol, and the
        // decisions are reversals from the first step on because priming filled the
        // paths with them.
        symbol_decoder trellis = primed(1, lsb);
        symbol_decoder framer = primed(1, lsb);
        for (int k = 0; k < 200; ++k) {
            const double x = (k & 1) ? -1.0 : 1.0;
            EXPECT_EQ(viterbi_step(trellis, x, 0.0), 1) << "symbol " << k;
            EXPECT_EQ(decode_symbol(framer, 0, x, 0.0), NO_CHAR) << "symbol " << k;
        }
    }
}

TEST_F(SymbolDecoding, QpskDecodesTheIndependentEncoder) {
    const std::string text = "CQ CQ de v0rda/p: The quick brown fox, 0123456789 times? 73\n";
    for (int32_t lsb : {0, 1}) {
        SCOPED_TRACE(lsb ? "lower sideband" : "upper sideband");
        const auto changes = psk31_signal::phase_changes(transmission(text), true, lsb != 0);

        symbol_decoder d = primed(1, lsb);
        vector_channel clean;
        int errors = 0;
        const std::string out = clean.decode(d, changes, &errors);
        EXPECT_TRUE(ends_with(out, text)) << out;
        EXPECT_LE(out.size(), text.size() + 1) << out;

        // Noise that makes a hard decision wrong every 30 symbols or so: the code
        // corrects it.
        for (unsigned seed : {1u, 2u, 3u}) {
            symbol_decoder noisy = primed(1, lsb);
            vector_channel channel;
            channel.noise = 0.25;
            channel.engine.seed(seed);
            errors = 0;
            const std::string noisy_out = channel.decode(noisy, changes, &errors);
            EXPECT_GE(errors, 8) << "seed " << seed;
            EXPECT_NE(noisy_out.find(text), std::string::npos) << noisy_out;
        }

        // The wrong sideband turns the code's phase changes the other way.
        symbol_decoder wrong = primed(1, 1 - lsb);
        vector_channel mirrored;
        const std::string garbled = mirrored.decode(wrong, changes, &errors);
        EXPECT_EQ(garbled.find("quick brown"), std::string::npos) << garbled;
    }
}

TEST_F(SymbolDecoding, ShortVectorIsNotNormalised) {
    // Every survivor starts level at phase 0, so only this step's distances count.
    auto level = [] {
        symbol_decoder d = primed(1, 0);
        for (auto& s : d.survivors) s = {0.0f, 0, 0};
        return d;
    };
    auto spread = [](const symbol_decoder& d) {
        float lo = d.survivors[0].metric, hi = lo;
        for (const auto& s : d.survivors) {
            lo = std::min(lo, s.metric);
            hi = std::max(hi, s.metric);
        }
        return hi - lo;
    };
    // Length 0.000009: about 1 from every unit vector, all candidates alike.
    symbol_decoder tiny = level();
    viterbi_step(tiny, 0.000009, 0.0);
    EXPECT_LT(spread(tiny), 1e-4f);
    // Length 0.000011: made a unit vector, so the expectations differ by up to 3.
    symbol_decoder small = level();
    viterbi_step(small, 0.000011, 0.0);
    EXPECT_GT(spread(small), 2.0f);
}

TEST_F(SymbolDecoding, EvenVoteIsDrawn) {
    // Survivors s and s + 8 agree on the bit that reaches the decision depth next, so
    // whichever candidate wins, eight new states hold a 1 there and eight a 0.
    symbol_decoder split{};
    split.qpsk = 1;
    for (int s = 0; s < 16; ++s) {
        split.survivors[s] = {0.0f, 0, (s & 7) < 4 ? (uint64_t{1} << 19) : 0};
    }
    srandom(20240601);
    std::set<int> outcomes;
    for (int run = 0; run < 64; ++run) {
        symbol_decoder d = split;
        const int bit = viterbi_step(d, 1.0, 0.0);
        int ones = 0;
        for (const auto& s : d.survivors) ones += static_cast<int>((s.path >> 20) & 1);
        ASSERT_EQ(ones, 8);
        outcomes.insert(bit);
    }
    EXPECT_EQ(outcomes, (std::set<int>{0, 1}));
}

TEST(SymbolForBits, BpskSendsAReversalForAZeroBit) {
    for (int32_t lsb : {0, 1}) {
        EXPECT_EQ(symbol_for_bits(lsb, 0b1, 0), 0);
        EXPECT_EQ(symbol_for_bits(lsb, 0b10, 0), 2);
        EXPECT_EQ(symbol_for_bits(lsb, 0xFFFFFFFEu, 0), 2);
    }
}

TEST(SymbolForBits, QpskFollowsTheConvolutionalCode) {
    EXPECT_EQ(symbol_for_bits(0, 0b1100000, 1), 2) << "idle: five 0 bits, half a turn";
    EXPECT_EQ(symbol_for_bits(0, 0b0011111, 1), 0) << "five 1 bits: no change";
    for (uint32_t bits = 0; bits < 256; ++bits) {
        const int expected = psk31_signal::phase_changes(
            {static_cast<int>((bits >> 4) & 1), static_cast<int>((bits >> 3) & 1),
             static_cast<int>((bits >> 2) & 1), static_cast<int>((bits >> 1) & 1),
             static_cast<int>(bits & 1)},
            true, false).back();
        // The transmitter turns back by the result: upper sideband advances by the code.
        EXPECT_EQ(symbol_for_bits(1, bits, 1), expected) << bits;
        EXPECT_EQ(symbol_for_bits(0, bits, 1), (4 - expected) % 4) << bits;
    }
}
