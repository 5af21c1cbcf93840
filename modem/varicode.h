// Varicode: the code table file, the send and receive tables, and the bit framer.
#pragma once

#include <cstdint>

// The receive side's "no character" value, above every byte value.
constexpr int32_t NO_CHAR = 0x800000;

// Per-receiver framer state: assembles received Varicode bits into characters.
struct varicode_framer {
    int32_t shift_register = 0;  // newest bit at bit 15, older bits below
    int32_t overflow = 0;        // set when a character runs to 15 bits or more
};

// Finds and reads "psk31.cod" (data_dir, then the home directory, then the current directory)
// into the process-wide tables. Returns 0. A missing or malformed table ends the
// process with status 1 after a message on standard error.
int load_code_table(const char* data_dir);

// The send table's code word for a byte value 0 to 255: the code's bits from bit 0
// (first sent), two 0 bits of character gap, then a single 1 bit as end marker.
int32_t varicode_code(int byte);

// Takes one received Varicode bit (1 or 0); returns a completed character 0 to 255
// or NO_CHAR.
int varicode_receive_bit(varicode_framer& framer, int bit);
