// The spectrum engine: the per-sample feed, and a whole spectrum (window, real FFT,
// magnitudes) at the display's lengths, beside the same work done with FFTW.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "spectrum/spectrum_engine.h"
#include "summary_reporter.h"

namespace {

constexpr double kSampleRate = 8000.0;

std::vector<int32_t> random_samples(int32_t count) {
    std::mt19937 gen(5);
    std::uniform_int_distribution<int32_t> sample(-32768, 32767);
    std::vector<int32_t> v(count);
    for (auto& s : v) s = sample(gen);
    return v;
}

// One sample in, as the receiver does 8000 times a second; x_realtime: how many times
// faster than the samples arrive.
void BM_PutSample(benchmark::State& state) {
    spectrum_engine engine;
    engine.configure(1024, 1024, 0);
    const std::vector<int32_t> samples = random_samples(4096);
    size_t k = 0;
    for (auto _ : state) {
        engine.put_sample(samples[k]);
        k = (k + 1) & 4095;
    }
    benchmark::DoNotOptimize(engine.ring.data());
    state.SetItemsProcessed(state.iterations());
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / kSampleRate, benchmark::Counter::kIsRate);
}

// A whole spectrum of N magnitudes. x_realtime: seconds of input covered per second of
// work, with one spectrum per N samples (the default interval).
void BM_Compute(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    spectrum_engine engine;
    engine.configure(n, n, 0);
    for (int32_t s : random_samples(n)) engine.put_sample(s);
    std::vector<float> values(n);
    for (auto _ : state) {
        engine.compute(values.data(), 0, n, 1);
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * n / kSampleRate, benchmark::Counter::kIsRate);
}

// The same spectrum with FFTW (r2c, FFTW_MEASURE): window, transform, single-precision
// magnitudes of all N bins.
void BM_ComputeFftw(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    double* in = fftw_alloc_real(n);
    fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const std::vector<int32_t> ring = random_samples(n);
    std::vector<float> window(n);
    for (int i = 0; i < n; ++i) {
        window[i] = static_cast<float>(i < n / 2 ? 2.0 * i / n : 2.0 * (n - i) / n);
    }
    std::vector<float> values(n);
    for (auto _ : state) {
        for (int j = 0; j < n; ++j) in[j] = static_cast<double>(window[j]) * (ring[j] / 32767.0);
        fftw_execute(plan);
        for (int k = 0; k <= n / 2; ++k) {
            const float re = static_cast<float>(out[k][0]);
            const float im = static_cast<float>(out[k][1]);
            values[k] = std::sqrt(re * re + im * im);
            if (k > 0 && k < n / 2) values[n - k] = values[k];
        }
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

BENCHMARK(BM_PutSample);
BENCHMARK(BM_Compute)->RangeMultiplier(2)->Range(1024, 4096);
BENCHMARK(BM_ComputeFftw)->RangeMultiplier(2)->Range(1024, 4096);

// Output as the flags ask; the CPU time per call kept for the closing table (the median
// when repetitions are asked for).

void print_summary(const SummaryReporter& r, std::FILE* out) {
    auto at = [&](const char* name, int64_t n) { return r.at(name, n); };
    std::fprintf(out, "\nwhole spectrum, ns per call\n%6s %10s %10s %7s\n", "N", "compute", "FFTW",
                "ratio");
    for (int64_t n : {1024, 2048, 4096}) {
        const double ours = at("BM_Compute", n);
        const double fftw = at("BM_ComputeFftw", n);
        if (ours < 0 || fftw < 0) continue;
        std::fprintf(out, "%6lld %10.0f %10.0f %7.2f\n", static_cast<long long>(n), ours, fftw,
                    ours / fftw);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int status = run_with_summary(argc, argv, print_summary);
    fftw_cleanup();
    return status;
}
