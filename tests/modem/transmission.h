// One whole transmission as the server runs it, for the modem tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem/transmitter.h"

// One whole transmission as the server runs it (settings while idle, begin, text, end),
// the left channel of every block until the processor reports the end.
inline std::vector<int16_t> transmit(const std::string& text, int qpsk, int lsb, int hundredths) {
    psk31_transmitter tx;
    tx.put_command(TX_MODE_PSK + 2 * qpsk + lsb);
    tx.put_command(TX_FREQUENCY + hundredths);
    tx.put_command(TX_BEGIN);
    for (unsigned char c : text) EXPECT_EQ(tx.put_command(c), 0);
    tx.put_command(TX_END);
    std::vector<int16_t> audio;
    for (int block = 0; block < 100000; ++block) {
        const int32_t result = tx.processor();
        for (int f = 0; f < psk31_transmitter::kBlockFrames; ++f) audio.push_back(tx.block[2 * f]);
        if (result == static_cast<int32_t>(TX_END)) break;
    }
    return audio;
}
