#include "modem/symbol_decoder.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// Offset subtracted from the previous phase for each quarter-turn count: the
// expected phase moves forward in upper-sideband and back in lower-sideband use.
constexpr std::array<int32_t, 4> kUsbShift = {0, 192, 128, 64};
constexpr std::array<int32_t, 4> kLsbShift = {0, 64, 128, 192};

constexpr int kDecisionDepth = viterbi_delay;
constexpr float kNoMetric = 1000000.0f;

// The phase of (x, y) in 1/256 turn, -128..127. The float rounding of the angle and
// of the scaled value are part of the result: the same steps are used on both sides
// of every comparison against these phases.
int32_t phase_of(double x, double y) {
    const float angle = static_cast<float>(std::atan2(y, x));
    const float scaled = angle * 32767.0f;
    return static_cast<int32_t>(static_cast<double>(scaled) / kPi) >> 8;
}

// cos and sin of phase p (1/256 turn) rounded to float, for every p a trellis step can
// form: the previous phase (-128..127) minus an offset of at most 192.
struct expected_vectors {
    static constexpr int kLowest = -128 - 192;
    static constexpr int kCount = 127 - kLowest + 1;
    std::array<float, kCount> cos_value;
    std::array<float, kCount> sin_value;

    expected_vectors() {
        for (int i = 0; i < kCount; ++i) {
            const double theta = (i + kLowest) * kPi / 128;
            cos_value[i] = static_cast<float>(std::cos(theta));
            sin_value[i] = static_cast<float>(std::sin(theta));
        }
    }
};

const expected_vectors& expected() {
    static const expected_vectors table;
    return table;
}

}  // namespace

void prime_decoder(symbol_decoder& decoder) {
    // Ten pairs of alternating phase: the idle pattern a station starts with.
    for (int k = 0; k < kDecisionDepth; ++k) {
        viterbi_step(decoder, (k & 1) ? -1.0 : 1.0, 0.0);
    }
}

int decode_symbol(symbol_decoder& decoder, int symbol, double x, double y) {
    int bit;
    if (decoder.qpsk == 0) {
        bit = symbol == 0 ? 1 : 0;
    } else {
        bit = viterbi_step(decoder, x, y) == 0 ? 1 : 0;
    }
    return varicode_receive_bit(decoder.framer, bit);
}

int viterbi_step(symbol_decoder& decoder, double x, double y) {
    // Only the direction counts; a vector too short to have one is left as it is, so
    // that it fits every expectation equally badly.
    const float length = static_cast<float>(std::sqrt(x * x + y * y));
    if (length > 0.00001) {
        const float inverse = 1.0f / length;
        x *= inverse;
        y *= inverse;
    }
    const int32_t measured = phase_of(x, y);
    const auto& shift = decoder.lsb != 0 ? kLsbShift : kUsbShift;
    const expected_vectors& table = expected();

    std::array<float, 32> metric;
    std::array<uint64_t, 32> path;
    float best = kNoMetric;
    for (int i = 0; i < 32; ++i) {
        const viterbi_survivor& from = decoder.survivors[i >> 1];
        const int32_t phase = from.phase - shift[qpsk_code_table[i]];
        const int index = phase - expected_vectors::kLowest;
        double dx, dy;
        if (index >= 0 && index < expected_vectors::kCount) {
            dx = table.cos_value[index] - x;
            dy = table.sin_value[index] - y;
        } else {  // only a survivor phase set from outside can get here
            const double theta = phase * kPi / 128;
            dx = static_cast<float>(std::cos(theta)) - x;
            dy = static_cast<float>(std::sin(theta)) - y;
        }
        const float distance = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        metric[i] = static_cast<float>(from.metric + 1.5 * distance);
        path[i] = from.path * 2 + static_cast<uint64_t>(i & 1);
        if (metric[i] < best) best = metric[i];
    }

    int ones = 0;
    float spread = 0.0f;
    for (int j = 0; j < 16; ++j) {
        // Written as "not greater" so that a NaN metric hands the state to j + 16.
        const int winner = !(metric[j + 16] > metric[j]) ? j + 16 : j;
        viterbi_survivor& to = decoder.survivors[j];
        to.metric = metric[winner] - best;
        to.phase = measured;
        to.path = path[winner];
        ones += static_cast<int>((to.path >> kDecisionDepth) & 1);
        spread += to.metric;
    }
    decoder.spread = spread / 16;
    if (ones > 8) return 1;
    if (ones < 8) return 0;
    // An even split carries no information; draw. random() / (2^30 - 1) is 0 or 1,
    // and 2 for the two largest values, which is a reversal like 1.
    return random() / 1073741823 == 0 ? 0 : 1;
}

int symbol_for_bits(int32_t lsb, uint32_t bits, int32_t qpsk) {
    if (qpsk == 0) return (bits & 1) != 0 ? 0 : 2;
    const int count = qpsk_code_table[~bits & 31];
    return lsb != 0 ? count : (4 - count) % 4;
}
