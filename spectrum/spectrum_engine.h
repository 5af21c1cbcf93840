// Magnitude spectra of the input audio for the tuning display.
#pragma once

#include <cstdint>
#include <vector>

#include "spectrum/fft.h"

struct spectrum_engine {
    int32_t length = -1;          // N, FFT length and ring size; -1 before the first configure
    int32_t interval = 1024;      // input samples between two spectra
    int32_t kind = 0;             // 0 real samples, 1 complex samples
    std::vector<int32_t> ring;    // real input samples
    std::vector<float> i_ring;    // complex input samples, in-phase
    std::vector<float> q_ring;    // complex input samples, quadrature
    int32_t write_position = 0;   // next slot to write, also the oldest sample
    int32_t countdown = -1;       // samples still to come before a spectrum is ready
    split_radix_fft fft;          // set up for the current length
    std::vector<float> window;    // triangular window

    // Sets all three parameters. A length the FFT cannot take is refused with the
    // FFT's message and changes nothing (length, FFT, rings, interval, kind and countdown
    // stay); returns 0 or -1.
    int configure(int32_t new_length, int32_t new_interval, int32_t new_kind);
    void get_config(int32_t* out_length, int32_t* out_interval, int32_t* out_kind) const;

    // Per-sample feeding; each is ignored unless the engine takes that kind of input.
    void put_sample(int32_t sample) {
        if (kind != 0 || length <= 0) return;
        ring[write_position] = sample;
        advance();
    }
    void put_iq(float i, float q) {
        if (kind != 1 || length <= 0) return;
        i_ring[write_position] = i;
        q_ring[write_position] = q;
        advance();
    }

    int ready() const { return countdown == 0 ? 1 : 0; }

    // Writes `count` magnitudes into values; 0, or -1 for bad arguments.
    int32_t compute(float* values, int32_t first, int32_t count, int32_t step);

private:
    void advance() {
        if (++write_position == length) write_position = 0;
        if (countdown > 0) --countdown;
    }
};
