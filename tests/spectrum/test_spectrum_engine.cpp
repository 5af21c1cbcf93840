// The spectrum engine: ready cycle, configuration, argument checks and magnitudes.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "spectrum/spectrum_engine.h"

namespace {

void feed(spectrum_engine& e, int32_t count, int32_t value = 0) {
    for (int32_t i = 0; i < count; ++i) e.put_sample(value);
}

std::vector<float> spectrum_of(spectrum_engine& e, int32_t first, int32_t count, int32_t step) {
    std::vector<float> v(count, -1.0f);
    EXPECT_EQ(e.compute(v.data(), first, count, step), 0);
    return v;
}

// An engine in the state the server leaves it in, then configured as asked.
spectrum_engine make_engine(int32_t length, int32_t interval) {
    spectrum_engine e;
    EXPECT_EQ(e.configure(1024, 1024, 0), 0);
    EXPECT_EQ(e.configure(length, interval, 0), 0);
    return e;
}

TEST(SpectrumEngine, ReadyAfterOneFullRingThenAfterEachInterval) {
    spectrum_engine e = make_engine(1024, 256);
    for (int32_t i = 0; i < 1023; ++i) {
        e.put_sample(100);
        ASSERT_EQ(e.ready(), 0) << i;
    }
    e.put_sample(100);
    EXPECT_EQ(e.ready(), 1);

    spectrum_of(e, 0, 1024, 1);
    EXPECT_EQ(e.ready(), 0);
    feed(e, 255);
    EXPECT_EQ(e.ready(), 0);
    feed(e, 1);
    EXPECT_EQ(e.ready(), 1);
}

TEST(SpectrumEngine, ReadySpectrumStaysReadyAndUsesNewestSamples) {
    const int32_t n = 256;
    spectrum_engine e = make_engine(n, n);
    std::mt19937 gen(7);
    std::uniform_int_distribution<int32_t> sample(-32768, 32767);
    std::vector<int32_t> history;
    for (int32_t i = 0; i < 5 * n + 77; ++i) {  // leaves the write position inside the ring
        history.push_back(sample(gen));
        e.put_sample(history.back());
    }
    EXPECT_EQ(e.ready(), 1);
    EXPECT_EQ(e.countdown, 0);

    // Direct DFT of the newest n samples, oldest first, under the triangular window.
    const std::vector<float> got = spectrum_of(e, 0, n, 1);
    const int32_t start = static_cast<int32_t>(history.size()) - n;
    for (int32_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (int32_t j = 0; j < n; ++j) {
            const double w = j < n / 2 ? 2.0 * j / n : 2.0 * (n - j) / n;
            sum += w * history[start + j] / 32767.0 * std::polar(1.0, -2 * M_PI * j * k / n);
        }
        EXPECT_NEAR(got[k], std::abs(sum), 1e-5 * n) << k;
    }
}

TEST(SpectrumEngine, SameLengthNewIntervalKeepsRingAndWaitsForFullRing) {
    spectrum_engine e = make_engine(1024, 1024);
    for (int32_t i = 0; i < 1300; ++i) e.put_sample(i);
    const std::vector<int32_t> ring = e.ring;
    const int32_t position = e.write_position;
    ASSERT_EQ(position, 276);

    EXPECT_EQ(e.configure(1024, 512, 0), 0);
    EXPECT_EQ(e.ring, ring);
    EXPECT_EQ(e.write_position, position);
    int32_t length = 0, interval = 0, kind = -1;
    e.get_config(&length, &interval, &kind);
    EXPECT_EQ(length, 1024);
    EXPECT_EQ(interval, 512);
    EXPECT_EQ(kind, 0);
    e.get_config(nullptr, nullptr, nullptr);  // every out-parameter is optional

    feed(e, 1023);
    EXPECT_EQ(e.ready(), 0);
    feed(e, 1);
    EXPECT_EQ(e.ready(), 1);
}

TEST(SpectrumEngine, NewLengthStartsAFreshRingAndWindow) {
    spectrum_engine e = make_engine(1024, 1024);
    feed(e, 1500, 5);
    EXPECT_EQ(e.configure(2048, 1024, 0), 0);
    EXPECT_EQ(e.write_position, 0);
    EXPECT_EQ(e.ring.size(), 2048u);
    EXPECT_EQ(e.fft.length, 2048);
    EXPECT_EQ(e.window[0], 0.0f);
    EXPECT_EQ(e.window[1024], 1.0f);
    EXPECT_EQ(e.window[2047], 2.0f / 2048);
    feed(e, 2047);
    EXPECT_EQ(e.ready(), 0);
    feed(e, 1);
    EXPECT_EQ(e.ready(), 1);
}

TEST(SpectrumEngine, BadComputeArgumentsWriteNothing) {
    spectrum_engine e = make_engine(1024, 256);
    feed(e, 1024, 1000);
    struct Args {
        int32_t first, count, step;
    };
    for (const Args& a : {Args{-1, 4, 1}, Args{0, -1, 1}, Args{0, 4, -1}, Args{1, 1024, 1},
                          Args{0, 513, 2}, Args{0, 1 << 30, 8}, Args{1025, 0, 1}}) {
        std::vector<float> values(4, -7.0f);
        EXPECT_EQ(e.compute(values.data(), a.first, a.count, a.step), -1)
            << a.first << " " << a.count << " " << a.step;
        EXPECT_EQ(values, std::vector<float>(4, -7.0f));
        EXPECT_EQ(e.ready(), 1) << "countdown must stay";
    }
    // The boundary itself is allowed.
    EXPECT_EQ(spectrum_of(e, 0, 512, 2).size(), 512u);
    EXPECT_EQ(spectrum_of(e, 1023, 1, 1).size(), 1u);
}

TEST(SpectrumEngine, StepAddsPowersOfNeighbouringBins) {
    spectrum_engine e = make_engine(1024, 1024);
    std::mt19937 gen(3);
    std::uniform_int_distribution<int32_t> sample(-20000, 20000);
    for (int32_t i = 0; i < 1024; ++i) e.put_sample(sample(gen));

    const std::vector<float> single = spectrum_of(e, 0, 1024, 1);
    const std::vector<float> paired = spectrum_of(e, 0, 512, 2);
    for (int32_t i = 0; i < 512; ++i) {
        const float want = std::hypot(single[2 * i], single[2 * i + 1]);
        EXPECT_NEAR(paired[i], want, 1e-5f * want + 1e-6f) << i;
    }
    const std::vector<float> offset = spectrum_of(e, 10, 3, 4);  // bins 10-13, 14-17, 18-21
    for (int32_t i = 0; i < 3; ++i) {
        float s = 0;
        for (int32_t k = 10 + 4 * i; k < 14 + 4 * i; ++k) s += single[k] * single[k];
        EXPECT_NEAR(offset[i], std::sqrt(s), 1e-5f * std::sqrt(s)) << i;
    }
}

TEST(SpectrumEngine, ConstantZeroAndSineInputsGiveKnownMagnitudes) {
    spectrum_engine e = make_engine(1024, 1024);
    feed(e, 1024, 32767);
    std::vector<float> v = spectrum_of(e, 0, 1024, 1);
    EXPECT_EQ(v[0], 512.0f);  // the window's sum
    EXPECT_NEAR(v[1], 207.5f, 0.1f);
    EXPECT_EQ(v[1023], v[1]);
    EXPECT_NEAR(v[2], 0.0f, 1e-9f);
    EXPECT_NEAR(v[100], 0.0f, 1e-9f);
    EXPECT_NEAR(v[512], 0.0f, 1e-9f);

    feed(e, 1024, 0);
    v = spectrum_of(e, 0, 1024, 1);
    EXPECT_EQ(v, std::vector<float>(1024, 0.0f));

    // Full scale at the centre of bin 64 (500 Hz): about N/4.
    for (int32_t i = 0; i < 1024; ++i) {
        e.put_sample(static_cast<int32_t>(std::lround(32767 * std::sin(2 * M_PI * 64 * i / 1024))));
    }
    v = spectrum_of(e, 0, 1024, 1);
    EXPECT_NEAR(v[64], 256.0f, 0.5f);
    EXPECT_NEAR(v[960], 256.0f, 0.5f);
    EXPECT_LT(v[80], 0.01f);
}

TEST(SpectrumEngine, KindSelectsRealOrComplexSamples) {
    spectrum_engine e = make_engine(1024, 1024);
    feed(e, 100, 9);
    const std::vector<int32_t> ring = e.ring;
    for (int32_t i = 0; i < 2000; ++i) e.put_iq(1.0f, -1.0f);
    EXPECT_EQ(e.countdown, 924);
    EXPECT_EQ(e.write_position, 100);
    EXPECT_EQ(e.ring, ring);

    // Complex input: a unit phasor at bin 10 shows only there, with the window's sum.
    ASSERT_EQ(e.configure(1024, 1024, 1), 0);
    feed(e, 2000, 32767);
    EXPECT_EQ(e.countdown, 1024);
    for (int32_t j = 0; j < 1024; ++j) {
        const double a = 2 * M_PI * 10 * j / 1024;
        e.put_iq(static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)));
    }
    ASSERT_EQ(e.ready(), 1);
    const std::vector<float> v = spectrum_of(e, 0, 1024, 1);
    EXPECT_NEAR(v[10], 512.0f, 1e-3f);
    EXPECT_LT(v[1014], 1e-3f);
    EXPECT_LT(v[12], 1e-3f);
}

TEST(SpectrumEngine, UnsupportedLengthIsRefusedAndChangesNothing) {
    spectrum_engine e = make_engine(1024, 256);
    feed(e, 1030, 32767);
    for (int32_t bad : {0, -1, 1, 1000}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(e.configure(bad, 512, 1), -1);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "mode 0 with len " + std::to_string(bad) + " is not supported\n");
    }
    int32_t length = 0, interval = 0, kind = -1;
    e.get_config(&length, &interval, &kind);
    EXPECT_EQ(length, 1024);
    EXPECT_EQ(interval, 256);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(e.write_position, 6);
    EXPECT_EQ(e.ready(), 1);
    EXPECT_EQ(spectrum_of(e, 0, 1024, 1)[0], 512.0f);
}

TEST(SpectrumEngine, NeverConfiguredEngineTakesNoSamplesAndComputesNothing) {
    spectrum_engine e;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(e.configure(0, 1024, 0), -1);
    ::testing::internal::GetCapturedStderr();
    int32_t length = 0;
    e.get_config(&length, nullptr, nullptr);
    EXPECT_EQ(length, -1);
    feed(e, 10, 1);
    e.put_iq(1.0f, 1.0f);
    EXPECT_EQ(e.ready(), 0);
    float value = -3.0f;
    EXPECT_EQ(e.compute(&value, 0, 0, 1), -1);
    EXPECT_EQ(value, -3.0f);

    EXPECT_EQ(e.configure(64, 64, 0), 0);  // a valid length afterwards works
    feed(e, 64, 32767);
    EXPECT_EQ(spectrum_of(e, 0, 64, 1)[0], 32.0f);
}

}  // namespace
