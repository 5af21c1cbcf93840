// PSK31 receive demodulator: one signal at one audio frequency, 8000 samples/s in.
#pragma once

#include <array>
#include <cstdint>

#include "modem/symbol_decoder.h"

struct spectrum_engine;

// First filter stage, 8000 to 500 samples per second: 80 symmetric taps summing to
// 0.5, first half (the second mirrors it). Designed by reweighted least squares
// against the channel filter below: flat within 0.3 dB to 20 Hz, and with the
// channel filter at least 90 dB down from 150 Hz on, including what decimation
// folds onto the channel (at least 125 dB there, below the noise of 16-bit audio).
inline constexpr std::array<float, 40> decimator_half_taps = {
    0.000971783899f, 0.000688736855f, 0.000936795603f, 0.00102628485f, 0.00129301188f,
    0.00151861689f,  0.00184494601f,  0.00217991631f,  0.00257413435f, 0.00302109212f,
    0.00349826063f,  0.00408407248f,  0.00466581065f,  0.00544584623f, 0.0061215318f,
    0.00735522029f,  0.00362402266f,  0.00581002389f,  0.00599487751f, 0.00687008793f,
    0.00714475481f,  0.00766384124f,  0.00789693737f,  0.00819351196f, 0.00838168995f,
    0.00847418651f,  0.00858732551f,  0.00839831393f,  0.0083799422f,  0.00771851802f,
    0.00763940223f,  0.00550464204f,  0.0137943905f,   0.0109902314f,  0.0111539536f,
    0.0103078473f,   0.0103298526f,   0.00998195941f,  0.0100128582f,  0.00992076827f};

// Channel filter at 500 samples per second: 64 symmetric taps summing to 1, first half.
inline constexpr std::array<float, 32> channel_half_taps = {
    -0.00044789f, -0.00063167f, -0.00100256f, -0.00156531f, -0.00232266f, -0.00327063f,
    -0.00439342f, -0.00565850f, -0.00701253f, -0.00837907f, -0.00965823f, -0.01072878f,
    -0.01145278f, -0.01168246f, -0.01126911f, -0.01007335f, -0.00797606f, -0.00488924f,
    -0.00076591f, 0.00439171f,  0.01052660f,  0.01752432f,  0.02521404f,  0.03337329f,
    0.04173643f,  0.05000649f,  0.05786981f,  0.06501264f,  0.07113857f,  0.07598566f,
    0.07934199f,  0.08105860f};

struct psk31_receiver {
    int32_t qpsk = 0;             // non-zero: QPSK
    int32_t lsb = 0;              // non-zero: lower sideband
    float freq = 1000.0f;         // receive frequency, Hz
    int32_t step = 8192;          // oscillator increment, 1/65536 turn per sample
    int32_t nco_phase = 0;        // oscillator phase, 1/65536 turn
    int32_t strength = 0;         // 0 to 40
    int32_t dcd = 0;              // carrier detect
    int32_t squelch = 0;          // carrier-detect threshold
    int32_t afc = 0;              // non-zero: AFC on
    int32_t phase = 0;            // phase change of the last symbol, 1/256 turn
    symbol_decoder decoder{};
    uint64_t dcd_register = 0;    // last 32 hard decisions, two bits each, newest lowest
    std::array<float, 2> dcd_vector{};  // smoothed unit vector of the multiplied change
    float dcd_spread = 0.0f;      // smoothed Viterbi metric spread (QPSK carrier detect)
    float dcd_power_fast = 0.0f;  // symbol-instant power, smoothed over about 2 symbols
    float dcd_power_slow = 0.0f;  // the same over about 16 symbols
    float dcd_power_square = 0.0f;  // its square over about 16 symbols (its steadiness)
    float dcd_steady_power = 0.0f;  // slow power when it last stood steady above the noise
    int32_t dcd_steady_age = 0;   // symbols since then
    float dcd_end_power = 0.0f;   // slow power before a sudden drop; 0: none pending
    int32_t dcd_hold = 0;         // symbols carrier detect may still ride through a fade
    int32_t dcd_riding = 0;       // non-zero: carrier detect is on by the hold alone
    uint32_t silent_history = ~0u;      // which of the last 32 symbols were silence (before
                                        // the first: all), newest lowest
    std::array<float, 128> mix_sin{};   // input x sine, 8000/s
    std::array<float, 128> mix_cos{};   // input x cosine, 8000/s
    std::array<float, 64> filt_sin{};   // first-stage output, 500/s
    std::array<float, 64> filt_cos{};
    std::array<int32_t, 16> power_history{};  // log power per sixteenth of a symbol
    float input_energy = 0.0f;                // sum of x^2 since the last decimated step
    float input_power = 0.0f;                 // smoothed mean x^2 of the whole input band
    int32_t in_index = 0;         // next slot of the mix rings
    int32_t filt_index = 0;       // next slot of the filt rings
    int32_t last_phase = 0;       // absolute phase of the previous symbol, -128..127
    int32_t symbol_clock = 0;     // 2^24 is one symbol period
    int32_t sample_count = 0;     // input samples modulo 256
    spectrum_engine* spectrum = nullptr;  // fed with every input sample when set; not owned
};

// Puts a receiver into its initial state (1000 Hz, BPSK, USB, AFC off) and primes
// its decoder. The spectrum link is left to the caller.
void init_receiver(psk31_receiver& receiver);

// Heap-allocated receiver in its initial state; destroy_receiver releases it.
psk31_receiver* create_receiver();
void destroy_receiver(psk31_receiver* receiver);

// Sets freq to hundredths * 0.01 Hz and the oscillator step with it.
void set_receiver_frequency(psk31_receiver& receiver, int32_t hundredths);

// Sets the QPSK and LSB flags together with the decoder's copies of them.
void set_receiver_mode(psk31_receiver& receiver, int32_t qpsk, int32_t lsb);

// The receivers' input sample from a stereo frame: left plus right, held to the 16-bit
// range (a wrapped sum would turn a strong signal on both channels into noise).
inline int16_t saturating_sum(int16_t left, int16_t right) {
    const int32_t sum = int32_t{left} + int32_t{right};
    return static_cast<int16_t>(sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum);
}

// One input sample; returns a completed character 0..255 or NO_CHAR.
int receive_sample(psk31_receiver& receiver, int16_t sample);

// The once-per-symbol part of receive_sample, given the channel filter's output (s, c)
// at the symbol instant: phase change, AFC, hard decision, carrier detect, decoding.
// Returns a completed character 0..255 or NO_CHAR.
int receive_symbol(psk31_receiver& receiver, float s, float c);
