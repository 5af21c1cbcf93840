// Clicks on a PSK31 text signal in the tuning display, block by block: the modem's
// transmitter makes the signal, the spectrum engine and the display's columns see it
// as the running program does, and click_frequency says where each click would tune.
// Shared by the display tests and the measurement program display/measure/snap_offsets.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "gui/display_model.h"
#include "modem/receiver.h"
#include "modem/transmitter.h"
#include "spectrum/spectrum_engine.h"

namespace click_sweep {

struct signal_case {
    int fft_length = 1024;      // 1024 broad, 2048 medium, 4096 narrow
    double frequency = 1250.0;  // asked of the transmitter, Hz
    double level = 1.0;         // gain on the transmitter's output
    double snr_db = INFINITY;   // in 2500 Hz; infinite: no noise
    float centre = 1000.0f;     // receive frequency in the display's centre column
    uint32_t seed = 1;          // noise
    std::string text = "cq cq de test the quick brown fox jumps over the lazy dog 73";
};

struct click {
    int block;      // spectrum block number, from 0
    int offset;     // clicked column minus the column nearest the signal
    bool snapped;   // find_signal found a signal near the click
    double error;   // tuned frequency minus the carrier's true frequency, Hz
    size_t sample;  // audio samples seen when the block was taken
};

// The carrier the transmitter really sends: its oscillator step is truncated to
// 1/65536 turn per sample.
inline double true_frequency(double asked) {
    const auto step = static_cast<int32_t>(static_cast<float>(asked) * 8.192);
    return step * 8000.0 / 65536.0;
}

// One transmission of the text, as the receivers hear it: both channels summed.
inline std::vector<double> transmission(const signal_case& c) {
    psk31_transmitter tx;
    tx.put_command(TX_MODE_PSK);
    tx.put_command(TX_FREQUENCY + static_cast<uint32_t>(std::lround(c.frequency * 100)));
    tx.put_command(TX_BEGIN);
    for (unsigned char ch : c.text) tx.put_command(ch);
    tx.put_command(TX_END);
    std::vector<double> audio;
    for (int block = 0; block < 100000; ++block) {
        const int32_t result = tx.processor();
        for (int f = 0; f < psk31_transmitter::kBlockFrames; ++f) {
            audio.push_back(c.level * (tx.block[2 * f] + tx.block[2 * f + 1]));
        }
        if (result == static_cast<int32_t>(TX_END)) break;
    }
    return audio;
}

inline int16_t to_sample(double v) {
    const double r = std::nearbyint(v);
    return static_cast<int16_t>(r > 32767.0 ? 32767.0 : (r < -32768.0 ? -32768.0 : r));
}

// The display column nearest the signal's carrier.
inline int nearest_column(const signal_case& c) {
    display_geometry g;
    g.centre = c.centre;
    set_fft_length(g, c.fft_length);
    const double offset = (true_frequency(c.frequency) - c.centre) / g.bin_width;
    return kCentreColumn + static_cast<int>(std::lround(offset));
}

// Columns a PSK31 signal (31.25 Hz) spans at an FFT length; clicks up to 1.5 times
// this far from the signal are measured.
inline int signal_columns(int fft_length) {
    return static_cast<int>(31.25f / (8000.0f / static_cast<float>(fft_length)));
}

// Whether the whole signal, a signal width either side of its carrier, is on the
// display; one cut by the display's edge has no centre to find.
inline bool wholly_shown(const signal_case& c) {
    const int nearest = nearest_column(c);
    const int w = signal_columns(c.fft_length);
    return nearest - w >= 1 && nearest + w < kDisplayColumns;
}

// The transmission with the case's noise added.
inline std::vector<double> received_audio(const signal_case& c) {
    std::vector<double> audio = transmission(c);
    if (std::isfinite(c.snr_db)) {
        double power = 0.0;
        for (double v : audio) power += v * v;
        power /= static_cast<double>(audio.size());
        // White noise of variance sd^2 spreads over 0..4000 Hz; 2500 Hz of it counts.
        const double sd = std::sqrt(power / std::pow(10.0, c.snr_db / 10.0) * 4000.0 / 2500.0);
        std::mt19937 engine(c.seed);
        std::normal_distribution<double> gauss(0.0, sd);
        for (double& v : audio) v += gauss(engine);
    }
    return audio;
}

// Every spectrum block of the audio, with clicks at each column from `max_offset`
// left of the signal's nearest column to `max_offset` right of it. `interval` is the
// number of samples between blocks.
inline std::vector<click> sweep(const signal_case& c, const std::vector<double>& audio,
                                int max_offset, int interval = 256) {
    spectrum_engine engine;
    engine.configure(c.fft_length, interval, 0);
    display_geometry g;
    g.centre = c.centre;
    set_fft_length(g, c.fft_length);
    std::array<float, kDisplayColumns> columns{};
    std::vector<float> values(static_cast<size_t>(c.fft_length));

    const double f = true_frequency(c.frequency);
    const int nearest = nearest_column(c);
    std::vector<click> clicks;
    int block = 0;
    for (size_t i = 0; i < audio.size(); ++i) {
        engine.put_sample(to_sample(audio[i]));
        if (!engine.ready()) continue;
        engine.compute(values.data(), 0, c.fft_length, 1);
        fill_columns(g, values.data(), columns);
        for (int d = -max_offset; d <= max_offset; ++d) {
            const int x = nearest + d;
            if (x < 0 || x >= kDisplayColumns) continue;
            const double tuned = click_frequency(g, columns, x);
            clicks.push_back({block, d, find_signal(g, columns, x) != -1, tuned - f, i + 1});
        }
        ++block;
    }
    return clicks;
}

inline std::vector<click> sweep(const signal_case& c, int max_offset, int interval = 256) {
    return sweep(c, received_audio(c), max_offset, interval);
}

}  // namespace click_sweep
