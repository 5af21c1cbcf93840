// Symbol decoding: BPSK bits straight from the hard decision, QPSK through a
// 16-state Viterbi decoder of the rate-1/2, constraint-length-5 code.
#pragma once

#include <array>
#include <cstdint>

#include "modem/varicode.h"

// Phase change in quarter turns (upper sideband) produced by the window of the five
// newest reversal bits (newest at bit 0): parity(w & 0x17) + 2 * parity(w & 0x19).
inline constexpr std::array<int, 32> qpsk_code_table = {
    0, 3, 1, 2, 1, 2, 0, 3, 2, 1, 3, 0, 3, 0, 2, 1,
    3, 0, 2, 1, 2, 1, 3, 0, 1, 2, 0, 3, 0, 3, 1, 2};

// Symbols between a trellis step and the decision it returns.
inline constexpr int viterbi_delay = 20;

struct viterbi_survivor {
    float metric;    // accumulated distance, best candidate of the last step at 0
    int32_t phase;   // measured phase of the last symbol, 1/256 turn
    uint64_t path;   // decided reversal bits, newest at bit 0
};

struct symbol_decoder {
    int32_t qpsk;  // copy of the receiver's QPSK flag
    int32_t lsb;   // copy of the receiver's LSB flag
    std::array<viterbi_survivor, 16> survivors;  // index = four newest reversal bits
    varicode_framer framer;
    // Mean of the survivors' metrics after the last step, the best being 0: on a
    // signal the code fits, the wrong paths fall far behind; in noise all fit as badly.
    float spread;
};

// Settles a zeroed decoder on the idle pattern of alternating phase.
void prime_decoder(symbol_decoder& decoder);

// One received symbol: hard decision 0..3 and the filtered symbol sample (x, y).
// Returns a character 0..255 or NO_CHAR.
int decode_symbol(symbol_decoder& decoder, int symbol, double x, double y);

// One trellis step; returns the reversal bit decided 20 symbols ago (0 or 1).
int viterbi_step(symbol_decoder& decoder, double x, double y);

// Sending direction: the quarter turns by which the transmitter turns its carrier
// vector back for the bit register `bits` (newest bit at bit 0).
int symbol_for_bits(int32_t lsb, uint32_t bits, int32_t qpsk);
