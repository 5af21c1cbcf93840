#include "spectrum/spectrum_engine.h"

#include <cmath>
#include <memory>
#include <utility>

int spectrum_engine::configure(int32_t new_length, int32_t new_interval, int32_t new_kind) {
    if (new_length != length) {
        // Set up the new FFT before letting go of the old one, so that a length the FFT
        // refuses leaves the engine exactly as it was, still producing spectra.
        split_radix_fft replacement;
        if (replacement.setup(new_length, 0) != 0) return -1;
        fft.destroy();
        fft = std::move(replacement);

        const int32_t n = new_length;
        length = n;
        ring = std::vector<int32_t>(n);
        i_ring = std::vector<float>(n);
        q_ring = std::vector<float>(n);
        window = std::vector<float>(n);
        for (int32_t i = 0; i < n; ++i) {
            const double w = i < n / 2 ? 2.0 * i / n : 2.0 * (n - i) / n;
            window[i] = static_cast<float>(w);
        }
        write_position = 0;
    }
    interval = new_interval;
    kind = new_kind;
    // Even an unchanged length waits for a ring of fresh samples.
    countdown = length;
    return 0;
}

void spectrum_engine::get_config(int32_t* out_length, int32_t* out_interval,
                                 int32_t* out_kind) const {
    if (out_length != nullptr) *out_length = length;
    if (out_interval != nullptr) *out_interval = interval;
    if (out_kind != nullptr) *out_kind = kind;
}

int32_t spectrum_engine::compute(float* values, int32_t first, int32_t count, int32_t step) {
    if (first < 0 || count < 0 || step < 0) return -1;
    if (int64_t{first} + int64_t{count} * step > length) return -1;
    if (!fft.usable() || fft.length != length) return -1;  // never configured successfully

    const int32_t n = length;
    std::unique_ptr<double[]> spectrum;
    if (kind == 0) {
        std::unique_ptr<double[]> x(new double[n]);
        for (int32_t j = 0, p = write_position; j < n; ++j) {
            x[j] = static_cast<double>(window[j]) * (ring[p] / 32767.0);
            if (++p == n) p = 0;
        }
        spectrum = fft.forward_real(x.get());
    } else {
        std::unique_ptr<double[]> z(new double[2 * static_cast<size_t>(n)]);
        for (int32_t j = 0, p = write_position; j < n; ++j) {
            z[2 * j] = i_ring[p] * window[j];
            z[2 * j + 1] = window[j] * q_ring[p];
            if (++p == n) p = 0;
        }
        spectrum = fft.forward_complex(z.get());
    }

    for (int32_t i = 0; i < count; ++i) {
        // Single precision from here on: the display needs no more.
        float sum = 0.0f;
        const int32_t begin = first + i * step;
        for (int32_t k = begin; k < begin + step; ++k) {
            const float re = static_cast<float>(spectrum[2 * k]);
            const float im = static_cast<float>(spectrum[2 * k + 1]);
            sum += re * re + im * im;
        }
        values[i] = std::sqrt(sum);
    }
    countdown = interval;
    return 0;
}
