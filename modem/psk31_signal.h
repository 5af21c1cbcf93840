// A small PSK31 signal generator independent of the modem's own tables and transmitter,
// for the tests, the benchmarks and the measurement tools: its own copy of the standard
// Varicode alphabet, its own convolutional encoder, raised-cosine shaped symbols, 8000
// samples per second; and the noise and error counts those measure with.
//
// Typical use:
//     psk31_signal::signal_options o;
//     o.frequency = 1500.0;
//     o.qpsk = true;
//     std::vector<int16_t> pcm = psk31_signal::make_signal("cq cq de test", o);
//
// Bits: 1 and 0 are Varicode bits; a 0 is sent as a phase reversal (BPSK) and every
// character is its code followed by two 0 bits. Idle is a run of 0 bits.
// Phases: symbol k ends at the carrier vector v_k = v_(k-1) * exp(i * change_k * pi/2);
// during the symbol the vector moves from v_(k-1) to v_k with raised-cosine weights, so
// the envelope passes through zero mid-symbol on a reversal and stays flat otherwise.
// Upper sideband advances the phase by the code's quarter turns, lower sideband turns
// it back by the same amount.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace psk31_signal {

constexpr int kSampleRate = 8000;
constexpr int kSamplesPerSymbol = 256;  // 31.25 baud

// The standard Varicode code of a character, first bit first; throws for characters
// outside newline and printable ASCII.
inline std::string_view varicode_of(char ch) {
    static const std::pair<char, const char*> alphabet[] = {
        {'\n', "11101"},      {' ', "1"},           {'!', "111111111"},  {'"', "101011111"},
        {'#', "111110101"},   {'$', "111011011"},   {'%', "1011010101"}, {'&', "1010111011"},
        {'\'', "101111111"},  {'(', "11111011"},    {')', "11110111"},   {'*', "101101111"},
        {'+', "111011111"},   {',', "1110101"},     {'-', "110101"},     {'.', "1010111"},
        {'/', "110101111"},   {'0', "10110111"},    {'1', "10111101"},   {'2', "11101101"},
        {'3', "11111111"},    {'4', "101110111"},   {'5', "101011011"},  {'6', "101101011"},
        {'7', "110101101"},   {'8', "110101011"},   {'9', "110110111"},  {':', "11110101"},
        {';', "110111101"},   {'<', "111101101"},   {'=', "1010101"},    {'>', "111010111"},
        {'?', "1010101111"},  {'@', "1010111101"},  {'A', "1111101"},    {'B', "11101011"},
        {'C', "10101101"},    {'D', "10110101"},    {'E', "1110111"},    {'F', "11011011"},
        {'G', "11111101"},    {'H', "101010101"},   {'I', "1111111"},    {'J', "111111101"},
        {'K', "101111101"},   {'L', "11010111"},    {'M', "10111011"},   {'N', "11011101"},
        {'O', "10101011"},    {'P', "11010101"},    {'Q', "111011101"},  {'R', "10101111"},
        {'S', "1101111"},     {'T', "1101101"},     {'U', "101010111"},  {'V', "110110101"},
        {'W', "101011101"},   {'X', "101110101"},   {'Y', "101111011"},  {'Z', "1010101101"},
        {'[', "111110111"},   {'\\', "111101111"},  {']', "111111011"},  {'^', "1010111111"},
        {'_', "101101101"},   {'`', "1011011111"},  {'a', "1011"},       {'b', "1011111"},
        {'c', "101111"},      {'d', "101101"},      {'e', "11"},         {'f', "111101"},
        {'g', "1011011"},     {'h', "101011"},      {'i', "1101"},       {'j', "111101011"},
        {'k', "10111111"},    {'l', "11011"},       {'m', "111011"},     {'n', "1111"},
        {'o', "111"},         {'p', "111111"},      {'q', "110111111"},  {'r', "10101"},
        {'s', "10111"},       {'t', "101"},         {'u', "110111"},     {'v', "1111011"},
        {'w', "1101011"},     {'x', "11011111"},    {'y', "1011101"},    {'z', "111010101"},
        {'{', "1010110111"},  {'|', "110111011"},   {'}', "1010110101"}, {'~', "1011010111"},
    };
    for (const auto& [c, code] : alphabet) {
        if (c == ch) return code;
    }
    throw std::invalid_argument(std::string("psk31_signal: no Varicode for character ") +
                                std::to_string(static_cast<unsigned char>(ch)));
}

// Varicode bits of a text: every character's code followed by the two-bit gap.
inline std::vector<int> text_bits(std::string_view text) {
    std::vector<int> bits;
    for (char ch : text) {
        for (char b : varicode_of(ch)) bits.push_back(b == '1' ? 1 : 0);
        bits.push_back(0);
        bits.push_back(0);
    }
    return bits;
}

// n idle bits (phase reversals in BPSK).
inline std::vector<int> idle_bits(int n) { return std::vector<int>(static_cast<size_t>(n), 0); }

inline std::vector<int> concat(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline int parity(unsigned v) {
    int p = 0;
    for (; v != 0; v >>= 1) p ^= static_cast<int>(v & 1);
    return p;
}

// Phase change of every symbol in quarter turns, positive = forward. BPSK: 2 for a 0
// bit, 0 for a 1 bit. QPSK: the reversal bits r = 1 - bit pass a rate-1/2 encoder of
// constraint length 5 (generators 0x17 and 0x19, newest bit at bit 0) whose two
// outputs p1 + 2 * p2 give the quarter turns. Lower sideband negates every change.
inline std::vector<int> phase_changes(const std::vector<int>& bits, bool qpsk, bool lsb) {
    std::vector<int> changes;
    changes.reserve(bits.size());
    unsigned window = 0;
    for (int bit : bits) {
        const unsigned reversal = bit != 0 ? 0u : 1u;
        window = ((window << 1) | reversal) & 31u;
        int quarters = 2 * static_cast<int>(reversal);
        if (qpsk) quarters = parity(window & 0x17u) + 2 * parity(window & 0x19u);
        changes.push_back(lsb ? (4 - quarters) % 4 : quarters);
    }
    return changes;
}

struct signal_options {
    double frequency = 1000.0;  // carrier, Hz
    double amplitude = 8000.0;  // carrier peak, in 16-bit sample units
    bool qpsk = false;
    bool lsb = false;
    double start_phase = 0.0;   // carrier phase at sample 0, radians
    double drift = 0.0;         // the carrier moves this many Hz per second
    int lead_in = 0;            // samples of silence before the first symbol
    int lead_out = 0;           // samples of silence after the last symbol
};

// The clean waveform of a bit sequence, one double per sample, 256 samples per bit,
// after options.lead_in samples of silence. The carrier starts at vector (1, 0).
inline std::vector<double> modulate(const std::vector<int>& bits, const signal_options& o) {
    const std::vector<int> changes = phase_changes(bits, o.qpsk, o.lsb);
    std::vector<double> out(static_cast<size_t>(o.lead_in), 0.0);
    out.reserve(out.size() + changes.size() * kSamplesPerSymbol + o.lead_out);
    const double pi = std::acos(-1.0);
    const double omega = 2.0 * pi * o.frequency / kSampleRate;
    double phase = 0.0;  // baseband phase at the end of the previous symbol, radians
    size_t n = out.size();
    for (int quarters : changes) {
        const double next = phase + quarters * pi / 2;
        for (int k = 0; k < kSamplesPerSymbol; ++k, ++n) {
            const double w = 0.5 * (1.0 - std::cos(pi * k / kSamplesPerSymbol));
            const double i = (1.0 - w) * std::cos(phase) + w * std::cos(next);
            const double q = (1.0 - w) * std::sin(phase) + w * std::sin(next);
            const double t = static_cast<double>(n) / kSampleRate;
            const double carrier =
                omega * static_cast<double>(n) + pi * o.drift * t * t + o.start_phase;
            out.push_back(o.amplitude * (i * std::cos(carrier) - q * std::sin(carrier)));
        }
        phase = std::remainder(next, 2.0 * pi);
    }
    out.insert(out.end(), static_cast<size_t>(o.lead_out), 0.0);
    return out;
}

// Mean square of samples [first, first + count).
inline double mean_power(const std::vector<double>& x, size_t first = 0,
                         size_t count = SIZE_MAX) {
    const size_t end = count > x.size() - first ? x.size() : first + count;
    double sum = 0.0;
    for (size_t k = first; k < end; ++k) sum += x[k] * x[k];
    return end > first ? sum / static_cast<double>(end - first) : 0.0;
}

// Standard deviation of white Gaussian noise for a signal-to-noise ratio in dB, where
// the noise power is counted in a 2500 Hz bandwidth: white noise of variance sd^2
// spreads over 0..4000 Hz, so 2500 Hz of it holds sd^2 * 2500 / 4000.
inline double noise_sd_for_snr(double signal_power, double snr_db) {
    const double noise_in_band = signal_power / std::pow(10.0, snr_db / 10.0);
    return std::sqrt(noise_in_band * kSampleRate / 2.0 / 2500.0);
}

// Adds white Gaussian noise of standard deviation sd to [first, first + count).
inline void add_noise(std::vector<double>& x, double sd, uint32_t seed, size_t first = 0,
                      size_t count = SIZE_MAX) {
    std::mt19937 engine(seed);
    std::normal_distribution<double> gauss(0.0, sd);
    const size_t end = count > x.size() - first ? x.size() : first + count;
    for (size_t k = first; k < end; ++k) x[k] += gauss(engine);
}

// Slow sinusoidal fading from sample `first` on: the gain starts at its peak (0 dB) and
// falls to -depth_db half a period later, following (1 - cos) in decibels.
inline void apply_sine_fade(std::vector<double>& x, double depth_db, double period_s,
                            size_t first = 0) {
    const double pi = std::acos(-1.0);
    for (size_t k = first; k < x.size(); ++k) {
        const double t = static_cast<double>(k - first) / kSampleRate;
        const double db = -0.5 * depth_db * (1.0 - std::cos(2.0 * pi * t / period_s));
        x[k] *= std::pow(10.0, db / 20.0);
    }
}

// Random slow (Rayleigh) fading: the gain is the magnitude of a sum of 16 unit phasors
// with random phases, each turning at doppler_hz times the cosine of a random angle
// (the classic model of many paths from all directions), scaled to a mean power gain
// of one. With doppler_hz 0.1 the fades last seconds and the deepest go below -20 dB.
inline void apply_random_fade(std::vector<double>& x, double doppler_hz, uint32_t seed) {
    const double pi = std::acos(-1.0);
    constexpr int kPaths = 16;
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> turn(0.0, 2.0 * pi);
    double rate[kPaths], start[kPaths];
    for (int p = 0; p < kPaths; ++p) {
        rate[p] = 2.0 * pi * doppler_hz * std::cos(turn(engine)) / kSampleRate;
        start[p] = turn(engine);
    }
    for (size_t k = 0; k < x.size(); ++k) {
        double re = 0.0, im = 0.0;
        for (int p = 0; p < kPaths; ++p) {
            re += std::cos(start[p] + rate[p] * static_cast<double>(k));
            im += std::sin(start[p] + rate[p] * static_cast<double>(k));
        }
        x[k] *= std::sqrt((re * re + im * im) / kPaths);
    }
}

// A receiver's audio filter: 8-pole Butterworth high-pass at low_hz and low-pass at
// high_hz, each as four biquad sections, in place.
inline void band_pass(std::vector<double>& x, double low_hz, double high_hz) {
    const double pi = std::acos(-1.0);
    const double q[] = {0.5098, 0.6013, 0.9000, 2.5629};  // the 8-pole sections
    for (double section_q : q) {
        for (bool high_pass : {true, false}) {
            const double w = 2 * pi * (high_pass ? low_hz : high_hz) / kSampleRate;
            const double alpha = std::sin(w) / (2 * section_q), c = std::cos(w), a0 = 1 + alpha;
            const double b1 = (high_pass ? -(1 + c) : 1 - c) / a0, b0 = std::fabs(b1) / 2;
            const double a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
            double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
            for (double& v : x) {
                const double y = b0 * v + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
                x2 = x1, x1 = v, y2 = y1, y1 = y, v = y;
            }
        }
    }
}

// Characters to insert, delete or change to turn `sent` into `got` (for error rates).
inline size_t edit_distance(std::string_view sent, std::string_view got) {
    std::vector<size_t> row(got.size() + 1);
    for (size_t j = 0; j <= got.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= sent.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= got.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (sent[i - 1] != got[j - 1] ? 1 : 0)});
            diagonal = up;
        }
    }
    return row[got.size()];
}

// Rounds to 16-bit samples, clipping at full scale.
inline std::vector<int16_t> to_pcm(const std::vector<double>& x) {
    std::vector<int16_t> pcm;
    pcm.reserve(x.size());
    for (double v : x) {
        const double r = std::nearbyint(v);
        pcm.push_back(static_cast<int16_t>(r > 32767.0 ? 32767.0 : (r < -32768.0 ? -32768.0 : r)));
    }
    return pcm;
}

// A transmission as a station sends it: `preamble` idle symbols, the text, then
// `postamble` idle symbols, without noise.
inline std::vector<int16_t> make_signal(std::string_view text, const signal_options& o,
                                        int preamble = 64, int postamble = 48) {
    const auto bits = concat(concat(idle_bits(preamble), text_bits(text)), idle_bits(postamble));
    return to_pcm(modulate(bits, o));
}

}  // namespace psk31_signal
