#include "spectrum/fft.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>
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

// The part every L-shaped butterfly shares: z0 += z2 and z1 += z3 in place, and the
// two differences turned by -i and +i, before any twiddle.
struct l_terms {
    double a, b;    // (z0 - z2) - i(z1 - z3)
    double a3, b3;  // (z0 - z2) + i(z1 - z3)
};

inline l_terms l_sums(double* r, double* i, int32_t q) {
    const double r1 = r[0] - r[2 * q];
    const double i1 = i[0] - i[2 * q];
    const double r2 = r[q] - r[3 * q];
    const double i2 = i[q] - i[3 * q];
    r[0] += r[2 * q];
    i[0] += i[2 * q];
    r[q] += r[3 * q];
    i[q] += i[3 * q];
    return {r1 + i2, i1 - r2, r1 - i2, i1 + r2};
}

// L-shaped butterfly on z0..z3 at p, p+q, p+2q, p+3q: z0 += z2, z1 += z3,
// z2 = ((z0 - z2) - i(z1 - z3)) e^(-ia), z3 = ((z0 - z2) + i(z1 - z3)) e^(-3ia).
inline void l_butterfly(double* re, double* im, int32_t p, int32_t q, double c1, double s1,
                        double c3, double s3) {
    double* r = re + p;
    double* i = im + p;
    const auto [a, b, a3, b3] = l_sums(r, i, q);
    r[2 * q] = a * c1 + b * s1;
    i[2 * q] = b * c1 - a * s1;
    r[3 * q] = a3 * c3 + b3 * s3;
    i[3 * q] = b3 * c3 - a3 * s3;
}

// The same butterfly where both twiddles are 1.
inline void l_butterfly_zero(double* re, double* im, int32_t p, int32_t q) {
    double* r = re + p;
    double* i = im + p;
    const auto [a, b, a3, b3] = l_sums(r, i, q);
    r[2 * q] = a;
    i[2 * q] = b;
    r[3 * q] = a3;
    i[3 * q] = b3;
}

// The same butterfly at an eighth turn: e^(-ia) = (1 - i)/sqrt2, e^(-3ia) = -(1 + i)/sqrt2.
inline void l_butterfly_eighth(double* re, double* im, int32_t p, int32_t q) {
    double* r = re + p;
    double* i = im + p;
    const auto [a, b, a3, b3] = l_sums(r, i, q);
    r[2 * q] = (a + b) * kSqrtHalf;
    i[2 * q] = (b - a) * kSqrtHalf;
    r[3 * q] = (b3 - a3) * kSqrtHalf;
    i[3 * q] = -(a3 + b3) * kSqrtHalf;
}

// General butterfly of the real transform on the values at a[j + k*q] (i1..i4) and
// b[k*q - j] (i5..i8), k = 0..3, for one j or, with T a vector, for consecutive j.
template <class T>
[[gnu::always_inline]] inline void real_butterfly(T& x1, T& x2, T& x3, T& x4, T& x5, T& x6, T& x7,
                                                  T& x8, const T& cc1, const T& ss1, const T& cc3,
                                                  const T& ss3) {
    const T t1 = x3 * cc1 + x7 * ss1;
    const T t2 = x7 * cc1 - x3 * ss1;
    const T u3 = x4 * cc3 + x8 * ss3;
    const T u4 = x8 * cc3 - x4 * ss3;
    const T t5 = t1 + u3;
    const T t6 = t2 + u4;
    const T t3 = t1 - u3;
    const T t4 = t2 - u4;
    const T n1 = x1 + t5, n2 = x5 + t4, n3 = t6 - x6, n4 = x2 - t3;
    const T n5 = x5 - t4, n6 = x1 - t5, n7 = -x2 - t3, n8 = x6 + t6;
    x1 = n1, x2 = n2, x3 = n3, x4 = n4, x5 = n5, x6 = n6, x7 = n7, x8 = n8;
}

// Two doubles per vector (SSE2, NEON). Each lane does what the scalar code does, in the
// same order, so results are those of the scalar code.
typedef double v2d __attribute__((vector_size(16)));

template <class V>
[[gnu::always_inline]] inline V load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
[[gnu::always_inline]] inline void store(double* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}
[[gnu::always_inline]] inline v2d reversed(const v2d& v) {
    return __builtin_shufflevector(v, v, 1, 0);
}

// The general butterflies at j (V double) or at j and j+1 (V v2d) of one group: a[j + k*q]
// are i1..i4 and b[k*q - j] are i5..i8, so the mirror side runs backwards through memory.
template <class V>
[[gnu::always_inline]] inline void real_butterflies(double* a, double* b, int32_t q, int32_t j,
                                                    const double* cc1, const double* ss1,
                                                    const double* cc3, const double* ss3) {
    if constexpr (std::is_same_v<V, double>) {
        real_butterfly(a[j], a[j + q], a[j + 2 * q], a[j + 3 * q], b[-j], b[q - j], b[2 * q - j],
                       b[3 * q - j], cc1[j], ss1[j], cc3[j], ss3[j]);
    } else {
        constexpr int32_t w = sizeof(V) / sizeof(double);
        double* m = b - j - (w - 1);
        V x1 = load<V>(a + j), x2 = load<V>(a + j + q);
        V x3 = load<V>(a + j + 2 * q), x4 = load<V>(a + j + 3 * q);
        V x5 = reversed(load<V>(m)), x6 = reversed(load<V>(m + q));
        V x7 = reversed(load<V>(m + 2 * q)), x8 = reversed(load<V>(m + 3 * q));
        real_butterfly(x1, x2, x3, x4, x5, x6, x7, x8, load<V>(cc1 + j), load<V>(ss1 + j),
                       load<V>(cc3 + j), load<V>(ss3 + j));
        store(a + j, x1), store(a + j + q, x2), store(a + j + 2 * q, x3);
        store(a + j + 3 * q, x4), store(m, reversed(x5)), store(m + q, reversed(x6));
        store(m + 2 * q, reversed(x7)), store(m + 3 * q, reversed(x8));
    }
}

// One stage's twiddle recurrence: from cos and sin of a = 2*pi/L (cos 3a and sin 3a from
// them), each next j by one rotation through a, and through 3a for the triple angle.
struct rotation_chain {
    double cd1, sd1, cd3, sd3;  // rotation by the base angle and by three times it
    double c1, s1, c3, s3;      // twiddles at the current j

    explicit rotation_chain(int32_t span) {
        const double e = kTwoPi / span;
        cd1 = std::cos(e);
        sd1 = std::sin(e);
        cd3 = 4 * cd1 * cd1 * cd1 - 3 * cd1;
        sd3 = 3 * sd1 - 4 * sd1 * sd1 * sd1;
        c1 = cd1, s1 = sd1, c3 = cd3, s3 = sd3;
    }
    void put(double* cc1, double* ss1, double* cc3, double* ss3, int32_t k) const {
        cc1[k] = c1, ss1[k] = s1, cc3[k] = c3, ss3[k] = s3;
    }
    void step() {
        const double next_c1 = c1 * cd1 - s1 * sd1;
        s1 = c1 * sd1 + s1 * cd1;
        c1 = next_c1;
        const double next_c3 = c3 * cd3 - s3 * sd3;
        s3 = c3 * sd3 + s3 * cd3;
        c3 = next_c3;
    }
};

// The real transform's twiddles for every stage with general butterflies (L = 16 .. N,
// R = L/8): entry R + j of each array holds stage L's value at j = 1 .. R-1.
void real_twiddles(int32_t n, double* cc1, double* ss1, double* cc3, double* ss3) {
    for (int32_t r = 2; r <= n / 8; r *= 2) {
        rotation_chain chain(8 * r);
        for (int32_t j = 1; j < r; ++j) {
            chain.put(cc1, ss1, cc3, ss3, r + j);
            chain.step();
        }
    }
}

// Where the real transform finds its twiddles: the stage with R = L/8 keeps its value at j
// in cc1[R + j] and so on (filled by real_twiddles).
struct real_twiddle_tables {
    const double* cc1;
    const double* ss1;
    const double* cc3;
    const double* ss3;
};

// The butterflies of one group of span L = 4q at x, once its half and its two quarters are
// transformed. The three kinds touch disjoint places, so one visit does all of them.
[[gnu::always_inline]] inline void real_group(double* x, int32_t q, const real_twiddle_tables& tw) {
    const int32_t r = q / 2;
    const double t1 = x[3 * q] + x[2 * q];
    x[3 * q] = x[3 * q] - x[2 * q];
    x[2 * q] = x[0] - t1;
    x[0] = x[0] + t1;
    if (q < 2) return;

    double* y = x + r;
    const double u1 = (y[2 * q] + y[3 * q]) * kSqrtHalf;
    const double u2 = (y[2 * q] - y[3 * q]) * kSqrtHalf;
    y[3 * q] = y[q] - u1;
    y[2 * q] = -y[q] - u1;
    y[q] = y[0] - u2;
    y[0] = y[0] + u2;
    if (r < 2) return;

    // j = 1 alone, then two at a time (R is a power of two).
    const double* cc1 = tw.cc1 + r;
    const double* ss1 = tw.ss1 + r;
    const double* cc3 = tw.cc3 + r;
    const double* ss3 = tw.ss3 + r;
    double* b = x + q;
    real_butterflies<double>(x, b, q, 1, cc1, ss1, cc3, ss3);
    for (int32_t j = 2; j < r; j += 2) real_butterflies<v2d>(x, b, q, j, cc1, ss1, cc3, ss3);
}

// A whole block of span L at x, from bit-reversed input: its half, its two quarters, then
// its own group.
template <int32_t L>
[[gnu::always_inline]] inline void real_block(double* x, const real_twiddle_tables& tw) {
    if constexpr (L == 2) {
        const double a = x[0];
        x[0] = a + x[1];
        x[1] = a - x[1];
    } else if constexpr (L >= 4) {
        real_block<L / 2>(x, tw);
        real_block<L / 4>(x + L / 2, tw);
        real_block<L / 4>(x + 3 * L / 4, tw);
        real_group(x, L / 4, tw);
    }
}

// Sorensen's real-valued split-radix FFT in place on x, unpacked into out (2N doubles).
// Blocks of span 32 are transformed whole, straight-line code instead of many short loops;
// above that the stages go one by one. In this order every butterfly still sees the values
// it would see stage by stage, so the results are the same to the bit.
void real_transform(double* x, double* out, int32_t n, int32_t m, const int32_t* table,
                    const real_twiddle_tables& tw) {
    bit_reverse_permute(x, m, table);

    constexpr int32_t kBlock = 32;
    if (n < kBlock) {
        if (n == 2) real_block<2>(x, tw);
        if (n == 4) real_block<4>(x, tw);
        if (n == 8) real_block<8>(x, tw);
        if (n == 16) real_block<16>(x, tw);
    } else {
        for_each_group(n, kBlock, [&](int32_t i) { real_block<kBlock>(x + i, tw); });
        for (int32_t span = 2 * kBlock; span <= n; span *= 2) {
            for_each_group(n, span, [&](int32_t i) {
                if (span == 2 * kBlock) {  // its quarters are not blocks of span 32
                    real_block<kBlock / 2>(x + i + kBlock, tw);
                    real_block<kBlock / 2>(x + i + 3 * kBlock / 2, tw);
                }
                real_group(x + i, span / 4, tw);
            });
            if (span == n) break;  // doubling past 2^30 would overflow
        }
    }

    // x holds Re X[0..N/2] followed by Im X[N/2-1] down to Im X[1]. X[k] goes to out[2k],
    // its conjugate X[N-k] to out[2(N-k)]; k = 1 alone, then k and k+1 together.
    const int32_t half = n / 2;
    out[0] = x[0];
    out[1] = 0.0;
    out[2 * half] = x[half];
    out[2 * half + 1] = 0.0;
    if (half < 2) return;
    out[2] = x[1];
    out[3] = x[n - 1];
    out[2 * n - 2] = x[1];
    out[2 * n - 1] = -x[n - 1];
    for (int32_t k = 2; k < half; k += 2) {
        const v2d re = load<v2d>(x + k);                    // Re X[k], Re X[k+1]
        const v2d im = reversed(load<v2d>(x + n - k - 1));  // Im X[k], Im X[k+1]
        const v2d neg = -im;
        store(out + 2 * k, __builtin_shufflevector(re, im, 0, 2));
        store(out + 2 * k + 2, __builtin_shufflevector(re, im, 1, 3));
        store(out + 2 * (n - k - 1), __builtin_shufflevector(re, neg, 1, 3));
        store(out + 2 * (n - k - 1) + 2, __builtin_shufflevector(re, neg, 0, 2));
    }
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

    // The real transform's recurrence twiddles depend only on the length, so its chains
    // run here once rather than in every transform, to the same values.
    const size_t quarter = n >= 16 ? n / 4 : 1;
    rotation.assign(4 * quarter, 0.0);
    double* r = rotation.data();
    real_twiddles(n, r, r + quarter, r + 2 * quarter, r + 3 * quarter);

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

void split_radix_fft::destroy() {
    *this = split_radix_fft{};
}

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
    std::unique_ptr<double[]> out(new double[2 * static_cast<size_t>(length)]);
    const size_t quarter = rotation.size() / 4;
    const double* r = rotation.data();
    real_transform(x, out.get(), length, log_length, bit_reverse.data(),
                   {r, r + quarter, r + 2 * quarter, r + 3 * quarter});
    return out;
}
