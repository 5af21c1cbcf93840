// Split-radix FFTs in double precision: complex decimation in frequency with
// L-shaped butterflies, and real-valued decimation in time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct split_radix_fft {
    int32_t length = 0;       // N
    int32_t log_length = 0;   // m = log2 N
    int32_t mode = -1;        // 0 once set up; anything else: unusable
    std::vector<double> work_re, work_im;         // complex transform's data
    std::vector<double> cos1, cos3, sin1, sin3;   // a = 2*pi*i/N, i = 1 .. N/8 - 1
    std::vector<int32_t> bit_reverse;             // 2^ceil(m/2) entries
    std::vector<double> rotation;  // real transform's recurrence twiddles, all stages, 4 x N/4

    // Sets up for a length and mode. A length that is not a power of two of at least
    // 2, or a mode other than 0, prints "mode %d with len %d is not supported" and
    // leaves the object as it was; returns 0 on success, -1 when refused.
    int setup(int32_t new_length, int32_t new_mode);
    bool usable() const { return mode == 0 && length >= 2; }
    void destroy();

    // X[k] = sum x[n] e^(-2 pi i nk/N), interleaved re/im, 2N doubles, natural order.
    // The input of forward_real is used as work area and destroyed. Both return nullptr
    // when the object is not set up.
    std::unique_ptr<double[]> forward_complex(const double* input);
    std::unique_ptr<double[]> forward_real(double* input);
};
