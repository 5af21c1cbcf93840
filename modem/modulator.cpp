// The modulator: pattern bits to raised-cosine shaped PSK31 audio, one block at a time.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

#include "modem/oscillator.h"
#include "modem/symbol_decoder.h"
#include "modem/transmitter.h"

namespace {

constexpr int kSamplesPerSymbol = 256;
constexpr float kAmplitude = 16000.0f;  // about half of full scale: the shaped sum never clips

}  // namespace

void psk31_transmitter::next_symbol() {
    // The phase change sent now belongs to the bit taken in the symbol before; the
    // carrier flag to the word whose bit is taken now.
    const int turns = symbol_for_bits(lsb, shift_register, pattern_qpsk);
    const int32_t carrier = pattern_carrier;

    shift_register = static_cast<uint8_t>((shift_register << 1) + (pattern_bits & 1));
    if (pattern_bits <= 3) {
        const int32_t p = next_pattern();
        pattern_bits = static_cast<uint16_t>(p & 0xFFFF);
        pattern_qpsk = (p >> 16) & 1;
        pattern_carrier = (p >> 17) & 1;
    } else {
        pattern_bits = static_cast<uint16_t>(pattern_bits >> 1);
    }

    previous_vector = current_vector;
    if (!carrier) {
        current_vector = {0.0f, 0.0f};
        return;
    }
    auto& [i, q] = current_vector;
    if (i == 0.0f && q == 0.0f) i = 1.0f;  // fading in from silence
    const float old_i = i;
    const float old_q = q;
    switch (turns & 3) {  // turn back by `turns` quarter turns
        case 1:
            i = old_q;
            q = -old_i;
            break;
        case 2:
            i = -old_i;
            q = -old_q;
            break;
        case 3:
            i = -old_q;
            q = old_i;
            break;
        default:
            break;
    }
}

int32_t psk31_transmitter::processor() {
    constexpr double kPi = std::numbers::pi;
    echo_pending = 0;
    for (int frame = 0; frame < kBlockFrames; ++frame) {
        sample_counter = (sample_counter + 1) % kSamplesPerSymbol;
        if (sample_counter == 0) next_symbol();
        phase = static_cast<uint16_t>(advance_phase(phase, phase_step));

        const float theta = phase_angle(phase);
        const float sin_theta = std::sin(theta);  // float overloads: single precision
        const float cos_theta = std::cos(theta);
        // Raised-cosine crossfade from the previous vector to the current one.
        float g = static_cast<float>(std::cos(sample_counter * kPi / 512.0));
        g = g * g;
        const float w = 1.0f - g;
        const float i = previous_vector[0] * g + current_vector[0] * w;
        const float q = previous_vector[1] * g + current_vector[1] * w;
        const auto sample = static_cast<int16_t>(
            static_cast<int32_t>((i * sin_theta + q * cos_theta) * kAmplitude));
        block[2 * frame] = sample;
        block[2 * frame + 1] = sample;

        if (echo_pending != 0) {
            if (echo_pending == static_cast<int32_t>(TX_END)) state = 0;
            echo_ring[echo_write] = {echo_pending, 0};
            echo_write = (echo_write + 1) % kEchoSize;
            if (echo_write == echo_read) {
                std::fputs("Warning: ECHO char buffer overflow!\n", stderr);
            }
            echo_pending = 0;
        }
    }

    if (sink.write != nullptr) {
        int error = 0;
        if (sink.write(sink.context, block.data(), sizeof block, &error) != 0) {
            const char* text = sink.error_text != nullptr ? sink.error_text(error) : "?";
            std::printf("psk31_transmitter processor - simple write rtn = %s\n", text);
            return TX_ERROR;
        }
    }

    if (echo_read == echo_write) return TX_BLOCK_WRITTEN;
    const int32_t word = echo_ring[echo_read][0];
    echo_read = (echo_read + 1) % kEchoSize;
    if (word != static_cast<int32_t>(TX_END)) return word;
    if (state == 0) return static_cast<int32_t>(TX_END);
    std::fprintf(stderr, "WARNING: psk31-transmitter: ignoring TX_END in tx state %d\n", state);
    return TX_BLOCK_WRITTEN;
}
