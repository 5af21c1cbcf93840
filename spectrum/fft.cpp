#include "spectrum/fft.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrtHalf = 0.7071067811865476;  // cos and sin of an eighth turn

// Smallest m >= 1 with 2^m >= n (at most 31 for any int32).
int32_t ceil_log2(int32_t n) {
    int32_t m = 1;
    while ((int64_t{1} << m) < n) ++m;
    return m;
}

// Split-radix group pattern for blocks of `span` values: starts at 0, 2*span, 4*span, ...,
// then at 3*span, 11*span, ..., and so on, each starting index below n.
template <class Body>
inline void for_each_group(int32_t n, int32_t span, Body body) {
    int64_t start = 0;
    int64_t step = 2 * int64_t{span};
    do {
        for (int64_t i = start; i < n; i += step) body(static_cast<int32_t>(i));
        start = 2 * step - span;
        step *= 4;
    } while (start < n);
}

// Swaps every pair of bit-reversed indices once. The table reverses ceil(m/2) bits, so an
// index is split into its low floor(m/2) bits and the rest, and each half is looked up.
void bit_reverse_permute(double* x, int32_t m, const int32_t* table) {
    const int32_t s = m / 2;
    const int32_t n = int32_t{1} << s;
    for (int32_t i = 1; i < n; ++i) {
        const int32_t ri = table[i];
        const int32_t base = ri << s;
        for (int32_t j = 0; j < ri; ++j) std::swap(x[i + j * n], x[base + table[j]]);
    }
}

// L-shaped butterfly on z0..z3 at p, p+q, p+2q, p+3q: z0 += z2, z1 += z3,
// z2 = ((z0 - z2) - i(z1 - z3)) e^(-ia), z3 = ((z0 - z2) + i(z1 - z3)) e^(-3ia).
inline void l_butterfly(double* re, double* im, int32_t p, int32_t q, double c1, double s1,
                        double c3, double s3) {
    double* r = re + p;
    double* i = im + p;
    const double r1 = r[0] - r[2 * q];
    const double i1 = i[0] - i[2 * q];
    const double r2 = r[q] - r[3 * q];
    const double i2 = i[q] - i[3 * q];
    r[0] += r[2 * q];
    i[0] += i[2 * q];
    r[q] += r[3 * q];
    i[q] += i[3 * q];
    const double a = r1 + i2;
    const double b = i1 - r2;
    const double a3 = r1 - i2;
    const double b3 = i1 + r2;
    r[2 * q] = a * c1 + b * s1;
    i[2 * q] = b * c1 - a * s1;
    r[3 * q] = a3 * c3 + b3 * s3;
    i[3 * q] = b3 * c3 - a3 * s3;
}

// The same butterfly where both twiddles are 1.
inline void l_butterfly_zero(double* re, double* im, int32_t p, int32_t q) {
    double* r = re + p;
    double* i = im + p;
    const double r1 = r[0] - r[2 * q];
    const double i1 = i[0] - i[2 * q];
    const double r2 = r[q] - r[3 * q];
    const double i2 = i[q] - i[3 * q];
    r[0] += r[2 * q];
    i[0] += i[2 * q];
    r[q] += r[3 * q];
    i[q] += i[3 * q];
    r[2 * q] = r1 + i2;
    i[2 * q] = i1 - r2;
    r[3 * q] = r1 - i2;
    i[3 * q] = i1 + r2;
}

// The same butterfly at an eighth turn: e^(-ia) = (1 - i)/sqrt2, e^(-3ia) = -(1 + i)/sqrt2.
inline void l_butterfly_eighth(double* re, double* im, int32_t p, int32_t q) {
    double* r = re + p;
    double* i = im + p;
    const double r1 = r[0] - r[2 * q];
    const double i1 = i[0] - i[2 * q];
    const double r2 = r[q] - r[3 * q];
    const double i2 = i[q] - i[3 * q];
    r[0] += r[2 * q];
    i[0] += i[2 * q];
    r[q] += r[3 * q];
    i[q] += i[3 * q];
    const double a = r1 + i2;
    const double b = i1 - r2;
    const double a3 = r1 - i2;
    const double b3 = i1 + r2;
    r[2 * q] = (a + b) * kSqrtHalf;
    i[2 * q] = (b - a) * kSqrtHalf;
    r[3 * q] = (b3 - a3) * kSqrtHalf;
    i[3 * q] = -(a3 + b3) * kSqrtHalf;
}

}  // namespace

int split_radix_fft::setup(int32_t new_length, int32_t new_mode) {
    const int32_t m = ceil_log2(new_length);
    if (new_mode != 0 || int64_t{new_length} != (int64_t{1} << m)) {
        std::fprintf(stderr, "mode %d with len %d is not supported\n", new_mode, new_length);
        return -1;
    }
    const int32_t n = new_length;
    length = n;
    log_length = m;
    mode = 0;
    work_re.assign(n, 0.0);
    work_im.assign(n, 0.0);

    const int32_t entries = n >= 16 ? n / 8 - 1 : 0;
    cos1.resize(entries);
    cos3.resize(entries);
    sin1.resize(entries);
    sin3.resize(entries);
    for (int32_t i = 1; i <= entries; ++i) {
        const double a = kTwoPi * i / n;
        cos1[i - 1] = std::cos(a);
        cos3[i - 1] = std::cos(3 * a);
        sin1[i - 1] = std::sin(a);
        sin3[i - 1] = std::sin(3 * a);
    }

    // Grown from {0, 1}: each round doubles the entries and appends the odd successors.
    const int32_t k = (m + 1) / 2;
    bit_reverse.assign({0, 1});
    for (int32_t round = 1; round < k; ++round) {
        const size_t c = bit_reverse.size();
        bit_reverse.resize(2 * c);
        for (size_t e = 0; e < c; ++e) {
            bit_reverse[e] *= 2;
            bit_reverse[c + e] = bit_reverse[e] + 1;
        }
    }
    return 0;
}

void split_radix_fft::destroy() { *this = split_radix_fft{}; }

std::unique_ptr<double[]> split_radix_fft::forward_complex(const double* input) {
    if (!usable()) return nullptr;
    const int32_t n = length;
    double* re = work_re.data();
    double* im = work_im.data();
    for (int32_t i = 0; i < n; ++i) {
        re[i] = input[2 * i];
        im[i] = input[2 * i + 1];
    }

    for (int32_t t = 0; t < log_length - 1; ++t) {
        const int32_t span = n >> t;
        const int32_t q = span / 4;
        const int32_t stride = int32_t{1} << t;
        for_each_group(n, span, [&](int32_t i0) { l_butterfly_zero(re, im, i0, q); });
        if (q >= 2) {
            for_each_group(n, span, [&](int32_t i0) { l_butterfly_eighth(re, im, i0 + q / 2, q); });
        }
        if (q >= 4) {
            const double* c1 = cos1.data();
            const double* s1 = sin1.data();
            const double* c3 = cos3.data();
            const double* s3 = sin3.data();
            for_each_group(n, span, [&](int32_t i0) {
                for (int32_t j = 1, w = stride - 1; j < q / 2; ++j, w += stride) {
                    l_butterfly(re, im, i0 + j, q, c1[w], s1[w], c3[w], s3[w]);
                    // At q - j the angle is a quarter turn minus a: cos and sin trade
                    // places, and for 3a they also change sign.
                    l_butterfly(re, im, i0 + q - j, q, s1[w], c1[w], -s3[w], -c3[w]);
                }
            });
        }
    }

    for_each_group(n, 2, [&](int32_t p) {
        const double r = re[p];
        const double i = im[p];
        re[p] = r + re[p + 1];
        re[p + 1] = r - re[p + 1];
        im[p] = i + im[p + 1];
        im[p + 1] = i - im[p + 1];
    });

    bit_reverse_permute(re, log_length, bit_reverse.data());
    bit_reverse_permute(im, log_length, bit_reverse.data());

    std::unique_ptr<double[]> out(new double[2 * static_cast<size_t>(n)]);
    for (int32_t i = 0; i < n; ++i) {
        out[2 * i] = re[i];
        out[2 * i + 1] = im[i];
    }
    return out;
}

std::unique_ptr<double[]> split_radix_fft::forward_real(double* x) {
    if (!usable()) return nullptr;
    const int32_t n = length;
    bit_reverse_permute(x, log_length, bit_reverse.data());

    for_each_group(n, 2, [&](int32_t p) {
        const double a = x[p];
        x[p] = a + x[p + 1];
        x[p + 1] = a - x[p + 1];
    });

    for (int32_t span = 4; span <= n; span *= 2) {
        const int32_t q = span / 4;
        const int32_t r = span / 8;

        for_each_group(n, span, [&](int32_t i) {
            double* y = x + i;
            const double t1 = y[3 * q] + y[2 * q];
            y[3 * q] = y[3 * q] - y[2 * q];
            y[2 * q] = y[0] - t1;
            y[0] = y[0] + t1;
        });
        if (q >= 2) {
            for_each_group(n, span, [&](int32_t i) {
                double* y = x + i + r;
                const double t1 = (y[2 * q] + y[3 * q]) * kSqrtHalf;
                const double t2 = (y[2 * q] - y[3 * q]) * kSqrtHalf;
                y[3 * q] = y[q] - t1;
                y[2 * q] = -y[q] - t1;
                y[q] = y[0] - t2;
                y[0] = y[0] + t2;
            });
        }
        if (r >= 2) {
            // Twiddles by recurrence: one rotation by the stage's base angle per step of j.
            const double e = kTwoPi / span;
            const double cd1 = std::cos(e);
            const double sd1 = std::sin(e);
            const double cd3 = 4 * cd1 * cd1 * cd1 - 3 * cd1;
            const double sd3 = 3 * sd1 - 4 * sd1 * sd1 * sd1;
            double cc1 = cd1;
            double ss1 = sd1;
            double cc3 = cd3;
            double ss3 = sd3;
            for (int32_t j = 1; j < r; ++j) {
                for_each_group(n, span, [&](int32_t i) {
                    double* a = x + i + j;      // i1, i2, i3, i4 at a[0], a[q], a[2q], a[3q]
                    double* b = x + i + q - j;  // i5, i6, i7, i8 likewise
                    const double x1 = a[0], x2 = a[q], x3 = a[2 * q], x4 = a[3 * q];
                    const double x5 = b[0], x6 = b[q], x7 = b[2 * q], x8 = b[3 * q];
                    const double t1 = x3 * cc1 + x7 * ss1;
                    const double t2 = x7 * cc1 - x3 * ss1;
                    const double u3 = x4 * cc3 + x8 * ss3;
                    const double u4 = x8 * cc3 - x4 * ss3;
                    const double t5 = t1 + u3;
                    const double t6 = t2 + u4;
                    const double t3 = t1 - u3;
                    const double t4 = t2 - u4;
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
        if (span == n) break;  // doubling past 2^30 would overflow
    }

    // x holds Re X[0..N/2] followed by Im X[N/2-1] down to Im X[1].
    std::unique_ptr<double[]> out(new double[2 * static_cast<size_t>(n)]);
    const int32_t half = n / 2;
    out[0] = x[0];
    out[1] = 0.0;
    out[2 * half] = x[half];
    out[2 * half + 1] = 0.0;
    for (int32_t k = 1; k < half; ++k) {
        out[2 * k] = x[k];
        out[2 * k + 1] = x[n - k];
        out[2 * (n - k)] = x[k];
        out[2 * (n - k) + 1] = -x[n - k];
    }
    return out;
}
