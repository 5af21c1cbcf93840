// PSK31 receive demodulator: one signal at one audio frequency, 8000 samples/s in.
#pragma once

#include <array>
#include <cstdint>

#include "modem/symbol_decoder.h"

struct spectrum_engine;

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
    uint32_t carrier_history = 0; // carrier detect after each of the last 32 symbols, newest lowest
    std::array<float, 64> mix_sin{};    // input x sine, 8000/s
    std::array<float, 64> mix_cos{};    // input x cosine, 8000/s
    std::array<float, 64> filt_sin{};   // first-stage output, 500/s
    std::array<float, 64> filt_cos{};
    std::array<int32_t, 16> power_history{};  // log power per sixteenth of a symbol
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
