// The oscillator arithmetic the receiver and the transmitter share: a phase in
// 1/65536 turn advanced by a step per sample at 8000 samples per second. Both ends
// must compute it identically, roundings included, or a loopback drifts apart.
#pragma once

#include <cstdint>
#include <numbers>

constexpr double kOscillatorStepsPerHertz = 8.192;  // 65536 / 8000

// Hundredths of a hertz as the frequency both keep: computed in double, stored as float.
inline float frequency_of_hundredths(int32_t hundredths) {
    return static_cast<float>(hundredths * 0.01);
}

// Phase step per sample for a frequency, truncated.
inline int32_t oscillator_step(float hertz) {
    return static_cast<int32_t>(hertz * kOscillatorStepsPerHertz);
}

// The phase one step on, wrapped to 0..65535.
inline int32_t advance_phase(int32_t phase, int32_t step) { return (phase + step) & 0xFFFF; }

// The angle of a phase in radians, rounded to float; sinf and cosf of it are the
// oscillator's outputs.
inline float phase_angle(int32_t phase) {
    return static_cast<float>(phase * 2.0 * std::numbers::pi / 65536.0);
}
