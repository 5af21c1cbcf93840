// The split-radix FFT object against a direct DFT and closed forms.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "spectrum/fft.h"

namespace {

using cld = std::complex<long double>;

// Direct DFT in long double, angles reduced modulo N before the table lookup.
std::vector<cld> direct_dft(const std::vector<cld>& x) {
    const size_t n = x.size();
    const long double two_pi = 6.283185307179586476925286766559L;
    std::vector<cld> root(n);
    for (size_t k = 0; k < n; ++k) {
        const long double a = two_pi * static_cast<long double>(k) / static_cast<long double>(n);
        root[k] = cld(std::cos(a), -std::sin(a));
    }
    std::vector<cld> out(n);
    for (size_t k = 0; k < n; ++k) {
        cld sum = 0;
        for (size_t j = 0; j < n; ++j) sum += x[j] * root[(j * k) % n];
        out[k] = sum;
    }
    return out;
}

std::vector<double> interleave(const std::vector<cld>& z) {
    std::vector<double> out;
    for (const auto& v : z) {
        out.push_back(static_cast<double>(v.real()));
        out.push_back(static_cast<double>(v.imag()));
    }
    return out;
}

long double norm2(const std::vector<cld>& x) {
    long double s = 0;
    for (const auto& v : x) s += std::norm(v);
    return std::sqrt(s);
}

// Largest distance between a transform result (2N interleaved doubles) and the reference.
long double max_error(const double* got, const std::vector<cld>& want) {
    long double worst = 0;
    for (size_t k = 0; k < want.size(); ++k) {
        const cld g(got[2 * k], got[2 * k + 1]);
        worst = std::max(worst, std::abs(g - want[k]));
    }
    return worst;
}

// Rounding bound with table twiddles: a few ulps per stage, scaled by the input norm.
double tolerance(int32_t n, long double input_norm) {
    const int m = static_cast<int>(std::log2(n));
    return 4.0 * 2.2e-16 * (m + 1) * static_cast<double>(input_norm);
}

// The real transform's twiddles come from a rotation recurrence whose rounding drifts by
// up to a few ulps per step, over as many as N/8 steps.
double recurrence_tolerance(int32_t n, long double input_norm) {
    return tolerance(n, input_norm) + 2 * n * 2.2e-16 * static_cast<double>(input_norm);
}

std::vector<cld> random_signal(int32_t n, bool real, uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<cld> x(n);
    for (auto& v : x) {
        const double re = u(gen);
        v = cld(re, real ? 0.0 : u(gen));
    }
    return x;
}

std::unique_ptr<double[]> real_transform(split_radix_fft& fft, const std::vector<cld>& x) {
    std::vector<double> work;
    for (const auto& v : x) work.push_back(static_cast<double>(v.real()));
    return fft.forward_real(work.data());
}

// The real transform written plainly, stage after stage, with its twiddle recurrence run
// inside the stage. The object's version reorders loops and keeps the recurrence per
// length; it must not change a single rounding.
std::vector<double> plain_real_transform(std::vector<double> x) {
    const int n = static_cast<int>(x.size());
    int m = 0;
    while ((1 << m) < n) ++m;
    for (int i = 0; i < n; ++i) {
        int r = 0;
        for (int b = 0; b < m; ++b) r |= ((i >> b) & 1) << (m - 1 - b);
        if (i < r) std::swap(x[i], x[r]);
    }
    auto groups = [n](int span, auto body) {
        for (long start = 0, step = 2L * span; start < n; start = 2 * step - span, step *= 4) {
            for (long i = start; i < n; i += step) body(static_cast<int>(i));
        }
    };
    groups(2, [&](int i) {
        const double a = x[i];
        x[i] = a + x[i + 1];
        x[i + 1] = a - x[i + 1];
    });
    const double h = 0.7071067811865476;
    for (int span = 4; span <= n; span *= 2) {
        const int q = span / 4, r = span / 8;
        groups(span, [&](int i) {
            const double t1 = x[i + 3 * q] + x[i + 2 * q];
            x[i + 3 * q] -= x[i + 2 * q];
            x[i + 2 * q] = x[i] - t1;
            x[i] += t1;
        });
        if (q >= 2) {
            groups(span, [&](int g) {
                const int i = g + r;
                const double t1 = (x[i + 2 * q] + x[i + 3 * q]) * h;
                const double t2 = (x[i + 2 * q] - x[i + 3 * q]) * h;
                x[i + 3 * q] = x[i + q] - t1;
                x[i + 2 * q] = -x[i + q] - t1;
                x[i + q] = x[i] - t2;
                x[i] += t2;
            });
        }
        const double e = 6.283185307179586 / span;
        const double cd1 = std::cos(e), sd1 = std::sin(e);
        const double cd3 = 4 * cd1 * cd1 * cd1 - 3 * cd1, sd3 = 3 * sd1 - 4 * sd1 * sd1 * sd1;
        double cc1 = cd1, ss1 = sd1, cc3 = cd3, ss3 = sd3;
        for (int j = 1; j < r; ++j) {
            groups(span, [&](int i) {
                double* a = &x[i + j];
                double* b = &x[i + q - j];
                const double t1 = a[2 * q] * cc1 + b[2 * q] * ss1;
                const double t2 = b[2 * q] * cc1 - a[2 * q] * ss1;
                double t3 = a[3 * q] * cc3 + b[3 * q] * ss3;
                double t4 = b[3 * q] * cc3 - a[3 * q] * ss3;
                const double t5 = t1 + t3, t6 = t2 + t4;
                t3 = t1 - t3;
                t4 = t2 - t4;
                const double x1 = a[0], x2 = a[q], x5 = b[0], x6 = b[q];
                b[3 * q] = x6 + t6;
                a[2 * q] = t6 - x6;
                a[3 * q] = x2 - t3;
                b[2 * q] = -x2 - t3;
                b[q] = x1 - t5;
                a[0] = x1 + t5;
                a[q] = x5 + t4;
                b[0] = x5 - t4;
            });
            const double c1 = cc1 * cd1 - ss1 * sd1;
            ss1 = cc1 * sd1 + ss1 * cd1;
            cc1 = c1;
            const double c3 = cc3 * cd3 - ss3 * sd3;
            ss3 = cc3 * sd3 + ss3 * cd3;
            cc3 = c3;
        }
    }
    std::vector<double> out(2 * n);
    out[0] = x[0];
    out[n] = x[n / 2];
    for (int k = 1; k < n / 2; ++k) {
        out[2 * k] = out[2 * (n - k)] = x[k];
        out[2 * k + 1] = x[n - k];
        out[2 * (n - k) + 1] = -x[n - k];
    }
    return out;
}

class FftLength : public ::testing::TestWithParam<int32_t> {};

TEST_P(FftLength, ComplexTransformMatchesDirectDft) {
    const int32_t n = int32_t{1} << GetParam();
    split_radix_fft fft;
    ASSERT_EQ(fft.setup(n, 0), 0);
    const auto x = random_signal(n, false, 1000 + n);
    const auto input = interleave(x);
    const auto got = fft.forward_complex(input.data());
    ASSERT_NE(got, nullptr);
    EXPECT_LE(max_error(got.get(), direct_dft(x)), tolerance(n, norm2(x)));
    EXPECT_EQ(input, interleave(x)) << "input changed";
    fft.destroy();
}

TEST_P(FftLength, RealTransformMatchesDirectDftAndComplexTransform) {
    const int32_t n = int32_t{1} << GetParam();
    split_radix_fft fft;
    ASSERT_EQ(fft.setup(n, 0), 0);
    const auto x = random_signal(n, true, 2000 + n);
    const auto got = real_transform(fft, x);
    ASSERT_NE(got, nullptr);
    EXPECT_LE(max_error(got.get(), direct_dft(x)), recurrence_tolerance(n, norm2(x)));

    // The full spectrum: real DC and Nyquist bins, mirrored halves conjugate.
    EXPECT_EQ(got[1], 0.0);
    EXPECT_EQ(got[n + 1], 0.0);
    for (int32_t k = 1; k < n / 2; ++k) {
        EXPECT_EQ(got[2 * (n - k)], got[2 * k]) << k;
        EXPECT_EQ(got[2 * (n - k) + 1], -got[2 * k + 1]) << k;
    }

    const auto input = interleave(x);
    const auto as_complex = fft.forward_complex(input.data());
    std::vector<cld> complex_result(n);
    for (int32_t k = 0; k < n; ++k)
        complex_result[k] = cld(as_complex[2 * k], as_complex[2 * k + 1]);
    EXPECT_LE(max_error(got.get(), complex_result), recurrence_tolerance(n, norm2(x)));
    fft.destroy();
}

TEST_P(FftLength, RealTransformRoundsExactlyAsThePlainAlgorithm) {
    const int32_t n = int32_t{1} << GetParam();
    split_radix_fft fft;
    ASSERT_EQ(fft.setup(n, 0), 0);
    const auto x = random_signal(n, true, 3000 + n);
    std::vector<double> input;
    for (const auto& v : x) input.push_back(static_cast<double>(v.real()));
    const std::vector<double> want = plain_real_transform(input);
    const auto got = fft.forward_real(input.data());
    for (int32_t k = 0; k < 2 * n; ++k) ASSERT_EQ(got[k], want[k]) << "index " << k;
    fft.destroy();
}

// Every power of two from 2 to 4096, odd and even log length alike.
INSTANTIATE_TEST_SUITE_P(PowersOfTwo, FftLength, ::testing::Range(1, 13),
                         [](const auto& info) {
                             // Appended, not "N" + ...: g++ 12 at -O3 warns falsely
                             // (-Wrestrict) about the operator+ form.
                             std::string name = "N";
                             name += std::to_string(1 << info.param);
                             return name;
                         });

TEST(Fft, TwoPointsIsOneButterfly) {
    split_radix_fft fft;
    ASSERT_EQ(fft.setup(2, 0), 0);
    EXPECT_EQ(fft.log_length, 1);
    EXPECT_TRUE(fft.cos1.empty());

    double real_in[2] = {3.0, -5.0};
    const auto r = fft.forward_real(real_in);
    EXPECT_EQ(r[0], -2.0);
    EXPECT_EQ(r[1], 0.0);
    EXPECT_EQ(r[2], 8.0);
    EXPECT_EQ(r[3], 0.0);

    const double complex_in[4] = {3.0, 1.0, -5.0, 2.0};
    const auto c = fft.forward_complex(complex_in);
    EXPECT_EQ(c[0], -2.0);
    EXPECT_EQ(c[1], 3.0);
    EXPECT_EQ(c[2], 8.0);
    EXPECT_EQ(c[3], -1.0);
    fft.destroy();
}

TEST(Fft, TablesForEightAndSixteenPointsAndBitReversal) {
    split_radix_fft fft;
    ASSERT_EQ(fft.setup(8, 0), 0);
    EXPECT_TRUE(fft.cos1.empty() && fft.sin1.empty() && fft.cos3.empty() && fft.sin3.empty());

    ASSERT_EQ(fft.setup(16, 0), 0);
    ASSERT_EQ(fft.cos1.size(), 1u);
    EXPECT_DOUBLE_EQ(fft.cos1[0], std::cos(M_PI / 8));
    EXPECT_DOUBLE_EQ(fft.sin3[0], std::sin(3 * M_PI / 8));

    // m = 5 needs 3-bit reversal: 0, 4, 2, 6, 1, 5, 3, 7.
    ASSERT_EQ(fft.setup(32, 0), 0);
    EXPECT_EQ(fft.bit_reverse, (std::vector<int32_t>{0, 4, 2, 6, 1, 5, 3, 7}));
    ASSERT_EQ(fft.setup(4096, 0), 0);
    ASSERT_EQ(fft.bit_reverse.size(), 64u);
    for (int32_t i = 0; i < 64; ++i) {
        int32_t reversed = 0;
        for (int b = 0; b < 6; ++b) reversed |= ((i >> b) & 1) << (5 - b);
        EXPECT_EQ(fft.bit_reverse[i], reversed) << i;
    }
    fft.destroy();
}

TEST(Fft, OnesAndCosineHaveClosedForms) {
    for (int32_t n : {8, 64, 1024, 2048}) {
        split_radix_fft fft;
        ASSERT_EQ(fft.setup(n, 0), 0);
        const double tol = 1e-12 * n;

        std::vector<double> ones(n, 1.0);
        const auto o = fft.forward_real(ones.data());
        EXPECT_NEAR(o[0], n, tol);
        for (int32_t k = 1; k < 2 * n; ++k) EXPECT_NEAR(o[k], 0.0, tol) << "N=" << n << " " << k;

        std::vector<double> cosine(n);
        std::vector<double> cosine_complex(2 * n, 0.0);
        for (int32_t j = 0; j < n; ++j) {
            cosine[j] = std::cos(2 * M_PI * j * 3 / n);
            cosine_complex[2 * j] = cosine[j];
        }
        const auto r = fft.forward_real(cosine.data());
        const auto c = fft.forward_complex(cosine_complex.data());
        for (int32_t k = 0; k < n; ++k) {
            const double want = (k == 3 || k == n - 3) ? n / 2.0 : 0.0;
            EXPECT_NEAR(r[2 * k], want, tol) << "N=" << n << " k=" << k;
            EXPECT_NEAR(r[2 * k + 1], 0.0, tol) << "N=" << n << " k=" << k;
            EXPECT_NEAR(c[2 * k], want, tol) << "N=" << n << " k=" << k;
            EXPECT_NEAR(c[2 * k + 1], 0.0, tol) << "N=" << n << " k=" << k;
        }
        fft.destroy();
    }
}

TEST(Fft, UnsupportedLengthOrModeIsRefusedAndChangesNothing) {
    split_radix_fft fft;
    ASSERT_EQ(fft.setup(16, 0), 0);

    struct Case {
        int32_t length, mode;
        const char* message;
    };
    for (const Case& c : {Case{1000, 0, "mode 0 with len 1000 is not supported\n"},
                          Case{0, 0, "mode 0 with len 0 is not supported\n"},
                          Case{-8, 0, "mode 0 with len -8 is not supported\n"},
                          Case{1, 0, "mode 0 with len 1 is not supported\n"},
                          Case{INT32_MAX, 0, "mode 0 with len 2147483647 is not supported\n"},
                          Case{1024, 1, "mode 1 with len 1024 is not supported\n"}}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(fft.setup(c.length, c.mode), -1);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    }

    // Still the 16-point object, still correct.
    EXPECT_EQ(fft.length, 16);
    EXPECT_EQ(fft.mode, 0);
    std::vector<double> ones(16, 1.0);
    EXPECT_EQ(fft.forward_real(ones.data())[0], 16.0);
    fft.destroy();
}

TEST(Fft, ObjectNeverSetUpOrDestroyedRefusesToTransform) {
    split_radix_fft never;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(never.setup(1000, 0), -1);
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(never.usable());
    double x[2] = {1.0, 2.0};
    EXPECT_EQ(never.forward_real(x), nullptr);
    EXPECT_EQ(never.forward_complex(x), nullptr);
    EXPECT_EQ(x[0], 1.0);
    never.destroy();  // harmless on an object without tables

    split_radix_fft gone;
    ASSERT_EQ(gone.setup(1024, 0), 0);
    gone.destroy();
    EXPECT_FALSE(gone.usable());
    EXPECT_EQ(gone.forward_real(x), nullptr);
    EXPECT_TRUE(gone.work_re.empty() && gone.cos1.empty() && gone.bit_reverse.empty());
}

}  // namespace
