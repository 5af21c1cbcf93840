#include "modem/receiver.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>
#include <numbers>

#include "modem/oscillator.h"
#include "spectrum/spectrum_engine.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kRingMask = 63;  // the first-stage output rings hold 64 entries
constexpr int kMixMask = 127;  // the mixer rings 128
constexpr int kDecimatorTaps = 2 * static_cast<int>(decimator_half_taps.size());
constexpr int kDecimation = 16;           // 8000 -> 500 samples per second
constexpr int32_t kSymbolPeriod = 1 << 24;
constexpr int32_t kSymbolSixteenth = 1 << 20;
constexpr int32_t kClockPull = 500;       // divisor of the early/late power difference
// Two slots of log power (2^20 per factor of two) about 20 dB, i.e. 6.6 doublings, each.
constexpr int64_t kTransitionMargin = int64_t{2 * 66} * kSymbolSixteenth / 10;
constexpr double kAfcGain = 0.0005;       // Hz per 1/256 turn of drift per symbol
// Channel power of the rounding noise of 16-bit samples (uniform, 1/12 of a step
// squared): 118 dB below the 0.0625 of a full-scale tone at the receive frequency.
constexpr float kChannelFloor = 0.0625f * 1.5e-12f;
// A tone at the receive frequency puts 0.125 of the input's power into the channel;
// in white noise the channel holds 0.0012 of it. Symbols 60 dB below a tone's share
// are taken as silence: 40 dB below what noise alone would give.
constexpr float kDynamicRange = 0.125f * 1e-6f;
constexpr uint32_t kPullInMask = 0x3F;    // a symbol and five before it
constexpr float kInputSmoothing = 0.02f;  // per decimated step: about 0.1 s

// Filter taps and the oscillator's sine and cosine for each of its 65536 phases. The
// table holds exactly what sinf/cosf give for the angle of each phase, so a lookup
// costs one cache line instead of two function calls and changes no bit.
struct receiver_tables {
    std::array<float, kDecimatorTaps> decimator;
    std::array<float, 64> channel;
    std::array<std::array<float, 2>, 65536> oscillator;  // {sin, cos}

    receiver_tables() {
        for (int k = 0; k < kDecimatorTaps; ++k) {
            decimator[k] = decimator_half_taps[k < kDecimatorTaps / 2 ? k : kDecimatorTaps - 1 - k];
        }
        for (int k = 0; k < 64; ++k) channel[k] = channel_half_taps[k < 32 ? k : 63 - k];
        for (int32_t p = 0; p < 65536; ++p) {
            const float theta = phase_angle(p);
            oscillator[p] = {std::sin(theta), std::cos(theta)};
        }
    }
};

const receiver_tables& tables() {
    static const receiver_tables table;
    return table;
}

// Phase of (s, c) in 1/256 turn, -128..127, with the roundings the decoder uses too.
int32_t absolute_phase(float s, float c) {
    const float angle = static_cast<float>(std::atan2(static_cast<double>(c), s));
    const float scaled = angle * 32767.0f;
    return static_cast<int32_t>(static_cast<double>(scaled) / kPi) >> 8;
}

// Base-2 logarithm of v in units of 2^-20, linear between powers of two: the exponent
// above the 20 bits of v just below its leading one.
int32_t log2_fixed(uint32_t v) {
    if (v == 0) return 0;
    const int q = std::bit_width(v) - 1;
    const uint32_t below = v & ~(1u << q);
    const uint32_t fraction = q >= 20 ? below >> (q - 20) : below << (20 - q);
    return static_cast<int32_t>((static_cast<uint32_t>(q) << 20) + fraction);
}

// True when the envelope around the decision lies far below the envelope half a
// symbol away: the clock sits on the transitions, not between them. On a clean
// signal early and late can balance exactly there, and only noise would move the
// clock off. The margin (20 dB a slot on average) is far beyond what noise makes of
// a locked signal's envelope.
bool on_transition(const std::array<int32_t, 16>& history) {
    const int64_t edge = int64_t{history[15]} + history[0];
    const int64_t middle = int64_t{history[7]} + history[8];
    return middle - edge > kTransitionMargin;
}

int hard_decision(int32_t change, int32_t qpsk, int32_t lsb) {
    int d = qpsk != 0 ? ((change + 32) >> 6) & 3 : ((change + 64) >> 6) & 2;
    if (lsb != 0) d = (4 - d) & 3;
    return d;
}

// QPSK carrier detect reads how far the Viterbi decoder's wrong paths trail its best
// one, smoothed: about kNoiseSpread in noise, where every path fits as badly, about
// 5.9 on a clean signal, and in between the better the code fits. Quadrupling the
// phase change (as BPSK doubles it) multiplies the phase noise by four, and carrier
// detect then dropped signals the decoder still read without error. The spread is
// mapped onto the squelch's scale so that from 4 to 16 dB above the noise in a
// 31 Hz band a threshold means what it means in BPSK: a -12 dB signal (in 2500 Hz)
// reads about 35 in both modes, noise about 0 here and 2.5 there.
constexpr double kNoiseSpread = 2.3;
constexpr double kSpreadRange = 2.97;

double spread_level(float spread) {
    const double above = (spread - kNoiseSpread) / kSpreadRange;
    return above > 0 ? 100.0 * above * above : 0.0;
}

// Riding through fades. Once a clean signal has been seen, carrier detect stays on
// for up to kHoldSymbols (3 s) below its threshold, so that the text decoded in a
// fade's trough is not cut. A transmission that ends drops its power within a few
// symbols, where fading takes seconds; such a drop cancels the hold until the power
// comes back, so that the noise after the end closes carrier detect as quickly as
// without the hold.
constexpr int32_t kHoldSymbols = 96;
// Only a clean signal earns the hold: |dcd_vector|^2 above 0.85 in BPSK or 0.7 with
// the quadrupled phase noise of QPSK (about 14 dB above the noise in the channel),
// and a steady power, since the vector is reset to full length at a start. Its end
// is then never missed; a weaker signal closes as it always did.
constexpr double kHoldEarnedBpsk = 85.0;
constexpr double kHoldEarnedQpsk = 70.0;
constexpr float kSteadyToHold = 1.2f;
// Near the noise the power wavers as much as an ending drops it, and a fade's descent
// would end the hold at random. So only a power that stood steady above the noise at
// most kEndSymbols ago can end (the channel filter spreads an ending over about four
// symbols). A constant envelope S in noise N has a mean square power of about
// (S + N)^2 + 2SN, noise alone 2N^2: below 1.35 times the squared mean, S is at
// least about 4N.
constexpr float kSteady = 1.35f;
constexpr int32_t kEndSymbols = 12;
constexpr float kEndDrop = 0.25f;    // the fast power against the last steady one
constexpr float kPowerBack = 0.7f;   // of the power before a drop: the signal is back

// Follows the symbol-instant power; true when it has just dropped as at an ending.
bool power_dropped(psk31_receiver& r, float power) {
    const float slow = r.dcd_power_slow;
    if (r.dcd_power_square < kSteady * slow * slow) {
        r.dcd_steady_power = slow;
        r.dcd_steady_age = 0;
    } else if (r.dcd_steady_age <= kEndSymbols) {
        ++r.dcd_steady_age;
    }
    r.dcd_power_fast = 0.25f * power + 0.75f * r.dcd_power_fast;
    r.dcd_power_slow = 0.0625f * power + 0.9375f * r.dcd_power_slow;
    r.dcd_power_square = 0.0625f * power * power + 0.9375f * r.dcd_power_square;
    if (r.dcd_power_fast > kPowerBack * r.dcd_end_power) r.dcd_end_power = 0.0f;
    return r.dcd_steady_age <= kEndSymbols &&
           r.dcd_power_fast < kEndDrop * r.dcd_steady_power;
}

void carrier_detect(psk31_receiver& r, int32_t change_byte, int decision, float power) {
    const bool dropped = power_dropped(r, power);
    r.dcd_riding = 0;

    // Doubling (BPSK) or quadrupling (QPSK) the phase change removes the modulation;
    // what stays steady is a carrier, what wanders is noise.
    const double angle = change_byte * 2.0 * kPi / 256 * (r.qpsk != 0 ? 4 : 2);
    r.dcd_vector[0] = static_cast<float>(0.05 * std::cos(angle) + 0.95 * r.dcd_vector[0]);
    r.dcd_vector[1] = static_cast<float>(0.05 * std::sin(angle) + 0.95 * r.dcd_vector[1]);
    r.dcd_spread = static_cast<float>(0.05 * r.decoder.spread + 0.95 * r.dcd_spread);
    r.dcd_register = r.dcd_register * 4 + static_cast<uint64_t>(decision);

    if (r.dcd_register == 0) {  // 32 symbols without a phase change
        r.dcd = 0;
        r.dcd_hold = 0;
        r.dcd_end_power = 0.0f;
        r.dcd_vector = {0.0f, 0.0f};
        r.dcd_spread = static_cast<float>(kNoiseSpread);
    } else if (r.dcd_register == 0xAAAAAAAAu) {  // steady carrier, then idle reversals
        r.dcd = 1;
        r.dcd_vector = {1.0f, 0.0f};
        r.dcd_spread = static_cast<float>(kNoiseSpread + kSpreadRange);
    } else if (r.squelch > 0) {
        const double vector_level = 100.0 * (r.dcd_vector[0] * r.dcd_vector[0] +
                                             r.dcd_vector[1] * r.dcd_vector[1]);
        // The spread falls when the signal is a few hertz off, where the quadrupled
        // change still stands steady: at three-quarter weight it lets a signal come on
        // so that AFC can pull it in, and still almost never noise.
        const double level =
            r.qpsk != 0 ? std::max(spread_level(r.dcd_spread), 0.75 * vector_level) : vector_level;
        // Hysteresis: half the threshold keeps a detected carrier.
        const double threshold = r.squelch * (r.dcd != 0 ? 0.5 : 1.0);
        const double clean = r.qpsk != 0 ? kHoldEarnedQpsk : kHoldEarnedBpsk;
        if (dropped) {
            r.dcd_end_power = std::max(r.dcd_end_power, r.dcd_steady_power);
            r.dcd_hold = 0;
        } else if (vector_level > clean && r.dcd != 0 && r.dcd_end_power == 0.0f &&
                   r.dcd_power_square < kSteadyToHold * r.dcd_power_slow * r.dcd_power_slow) {
            r.dcd_hold = kHoldSymbols;
        }
        if (level > threshold) {
            r.dcd = 1;
        } else if (r.dcd != 0 && r.dcd_hold > 0) {
            --r.dcd_hold;
            r.dcd_riding = 1;
        } else {
            r.dcd = 0;
            r.dcd_hold = 0;
            r.dcd_end_power = 0.0f;
        }
    }
}

// 500 times a second: both filter stages, strength and the symbol clock.
int decimated_step(psk31_receiver& r, const receiver_tables& t) {
    // The first stage over the newest kDecimatorTaps mixer outputs, oldest first. The
    // newest first-stage output meets the last channel tap, so the other 63 channel
    // terms are summed alongside, in the same order.
    static_assert(kDecimatorTaps >= 63);
    float a = 0.0f, b = 0.0f, s = 0.0f, c = 0.0f;
    const int oldest_mix = r.in_index - kDecimatorTaps;
    const int oldest_filt = (r.filt_index + 1) & kRingMask;
    for (int k = 0; k < 63; ++k) {
        const int i = (oldest_mix + k) & kMixMask;
        const int f = (oldest_filt + k) & kRingMask;
        a += t.decimator[k] * r.mix_sin[i];
        b += t.decimator[k] * r.mix_cos[i];
        s += t.channel[k] * r.filt_sin[f];
        c += t.channel[k] * r.filt_cos[f];
    }
    for (int k = 63; k < kDecimatorTaps; ++k) {
        const int i = (oldest_mix + k) & kMixMask;
        a += t.decimator[k] * r.mix_sin[i];
        b += t.decimator[k] * r.mix_cos[i];
    }
    r.filt_sin[r.filt_index] = a;
    r.filt_cos[r.filt_index] = b;
    r.filt_index = oldest_filt;
    if (r.spectrum != nullptr) r.spectrum->put_iq(a, b);
    s += t.channel[63] * a;
    c += t.channel[63] * b;

    const float p = s * s + c * c;
    r.input_power += kInputSmoothing * (r.input_energy / kDecimation - r.input_power);
    r.input_energy = 0.0f;
    int32_t strength = 0;
    if (p > 0) {
        strength = static_cast<int32_t>(10.0 * std::log10(65536.0 * p));
        strength = strength < 0 ? 0 : (strength > 40 ? 40 : strength);
    }
    r.strength = strength;

    // Symbol timing: the logarithmic envelope of the first half of the symbol period
    // against the second half pulls the clock toward the envelope's peak.
    // The envelope is taken 2^24 times the power, not 2^16 times: at 2^16 a signal
    // filtered below about -45 dBFS truncates to 0 or 1, whose logarithms are both 0,
    // and the clock stays wherever it was. Only the difference of two equal-sized sums
    // of logarithms counts, so the scale itself changes nothing for louder signals.
    const int32_t v = static_cast<int32_t>(16777216.0f * p);
    r.power_history[(r.symbol_clock >> 20) & 15] = log2_fixed(static_cast<uint32_t>(v));
    int32_t early = 0, late = 0;
    for (int k = 0; k < 8; ++k) {
        early += r.power_history[k];
        late += r.power_history[k + 8];
    }
    const int32_t difference = early - late;
    r.symbol_clock += -difference / kClockPull + kSymbolSixteenth;
    if (static_cast<uint32_t>(r.symbol_clock) < static_cast<uint32_t>(kSymbolPeriod)) {
        return NO_CHAR;
    }
    r.symbol_clock &= kSymbolPeriod - 1;
    if (p < kChannelFloor || p < kDynamicRange * r.input_power) {
        // Far below the rest of the band, or below the rounding noise of 16-bit audio,
        // nothing is a signal of its own: noise-free audio (a software recording, a
        // sound-server loopback) lets the faint splatter and filter leak of a strong
        // station elsewhere decode. Any real recording has noise above this.
        s = c = 0.0f;
    }
    if (on_transition(r.power_history)) {
        // The decision would fall on a phase transition, where the phase means
        // nothing: skip it and decide half a symbol later, on the peak. The history
        // turns with the clock so that each slot keeps its place in the symbol.
        std::rotate(r.power_history.begin(), r.power_history.begin() + 8, r.power_history.end());
        r.symbol_clock += kSymbolPeriod / 2;
        return NO_CHAR;
    }
    return receive_symbol(r, s, c);
}

}  // namespace

void init_receiver(psk31_receiver& receiver) {
    spectrum_engine* const link = receiver.spectrum;
    receiver = psk31_receiver{};
    receiver.spectrum = link;
    prime_decoder(receiver.decoder);
    tables();  // build the tables here rather than inside the first sample
}

psk31_receiver* create_receiver() {
    auto* receiver = new (std::nothrow) psk31_receiver{};
    if (receiver != nullptr) init_receiver(*receiver);
    return receiver;
}

void destroy_receiver(psk31_receiver* receiver) { delete receiver; }

void set_receiver_frequency(psk31_receiver& receiver, int32_t hundredths) {
    receiver.freq = frequency_of_hundredths(hundredths);
    receiver.step = oscillator_step(receiver.freq);
}

void set_receiver_mode(psk31_receiver& receiver, int32_t qpsk, int32_t lsb) {
    receiver.qpsk = receiver.decoder.qpsk = qpsk;
    receiver.lsb = receiver.decoder.lsb = lsb;
}

int receive_sample(psk31_receiver& receiver, int16_t sample) {
    const receiver_tables& t = tables();
    psk31_receiver& r = receiver;
    if (r.spectrum != nullptr) r.spectrum->put_sample(sample);

    const float x = static_cast<float>(sample * (1.0 / 32767));
    r.input_energy += x * x;
    r.nco_phase = advance_phase(r.nco_phase, r.step);
    const std::array<float, 2>& oscillator = t.oscillator[r.nco_phase];
    r.mix_sin[r.in_index] = oscillator[0] * x;
    r.mix_cos[r.in_index] = oscillator[1] * x;
    r.in_index = (r.in_index + 1) & kMixMask;

    const bool decimate = (r.sample_count & (kDecimation - 1)) == 0;
    r.sample_count = (r.sample_count + 1) & 255;
    return decimate ? decimated_step(r, t) : NO_CHAR;
}

int receive_symbol(psk31_receiver& receiver, float s, float c) {
    psk31_receiver& r = receiver;
    const int32_t phase = absolute_phase(s, c);
    const int32_t change = phase - r.last_phase;
    r.last_phase = phase;

    // Not while riding a fade: the phase changes in a trough are mostly noise.
    if (r.dcd != 0 && r.afc != 0 && r.dcd_riding == 0) {
        // The multiplied change is the drift per symbol; a change of exactly a quarter
        // (BPSK) or an eighth (QPSK) turn gives -128, which points nowhere.
        int32_t e = static_cast<int8_t>(static_cast<uint8_t>(change * (r.qpsk != 0 ? 4 : 2)));
        if (e == -128) e = 0;
        r.freq = static_cast<float>(r.freq + e * kAfcGain);
        r.step = oscillator_step(r.freq);
    }
    r.phase = change & 0xFF;

    const int decision = hard_decision(change, r.qpsk, r.lsb);
    // Decoding first: QPSK carrier detect reads the decoder's newest step.
    int character;
    if (r.qpsk != 0) {
        // The trellis hands out the bit of a symbol viterbi_delay back. Silence and
        // the first symbols after it, while the clock pulls in, hold no bit but the
        // jump into the signal, which reached the screen as a stray first character
        // once carrier detect had come on: such bits go to the framer as idle (every
        // transmission starts with idle anyway).
        const int reversal = viterbi_step(r.decoder, s, c);
        const bool heard = ((r.silent_history >> (viterbi_delay - 1)) & kPullInMask) == 0;
        character = varicode_receive_bit(r.decoder.framer, heard && reversal == 0 ? 1 : 0);
    } else {
        character = decode_symbol(r.decoder, decision, s, c);
    }
    carrier_detect(r, change & 0xFF, decision, s * s + c * c);
    r.silent_history = (r.silent_history << 1) | (s == 0.0f && c == 0.0f ? 1u : 0u);
    return character;
}
