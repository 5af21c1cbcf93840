// The split-radix FFT object against FFTW, double precision, at the display's lengths.
// Ends with a table of our time per transform, FFTW's and the ratio.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "spectrum/fft.h"
#include "summary_reporter.h"

namespace {

std::vector<double> random_input(int64_t count) {
    std::mt19937_64 gen(42);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> x(count);
    for (auto& v : x) v = u(gen);
    return x;
}

// The real transform destroys its input, so every call gets a fresh copy; the copy is
// timed too, since any caller who keeps its data pays it (BM_CopyInput shows its share).
void BM_VordaReal(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    split_radix_fft fft;
    fft.setup(n, 0);
    const std::vector<double> input = random_input(n);
    std::vector<double> work(n);
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin());
        auto out = fft.forward_real(work.data());
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * n);
    fft.destroy();
}

void BM_CopyInput(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    const std::vector<double> input = random_input(n);
    std::vector<double> work(n);
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
}

void BM_VordaComplex(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    split_radix_fft fft;
    fft.setup(n, 0);
    const std::vector<double> input = random_input(2 * int64_t{n});
    for (auto _ : state) {
        auto out = fft.forward_complex(input.data());
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * n);
    fft.destroy();
}

// r2c preserves its input, so FFTW runs on the same data every time.
void fftw_real(benchmark::State& state, unsigned flags) {
    const int n = static_cast<int>(state.range(0));
    double* in = fftw_alloc_real(n);
    fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, flags);
    const std::vector<double> input = random_input(n);  // planning may scribble on `in`
    std::copy(input.begin(), input.end(), in);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

void fftw_complex_forward(benchmark::State& state, unsigned flags) {
    const int n = static_cast<int>(state.range(0));
    fftw_complex* in = fftw_alloc_complex(n);
    fftw_complex* out = fftw_alloc_complex(n);
    fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, flags);
    const std::vector<double> input = random_input(2 * int64_t{n});
    std::copy(input.begin(), input.end(), &in[0][0]);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

void BM_FftwMeasureReal(benchmark::State& state) {
    fftw_real(state, FFTW_MEASURE);
}
void BM_FftwEstimateReal(benchmark::State& state) {
    fftw_real(state, FFTW_ESTIMATE);
}
void BM_FftwMeasureComplex(benchmark::State& state) {
    fftw_complex_forward(state, FFTW_MEASURE);
}

BENCHMARK(BM_VordaReal)->RangeMultiplier(2)->Range(1024, 4096);
BENCHMARK(BM_FftwMeasureReal)->RangeMultiplier(2)->Range(1024, 4096);
BENCHMARK(BM_FftwEstimateReal)->RangeMultiplier(2)->Range(1024, 4096);
BENCHMARK(BM_CopyInput)->RangeMultiplier(2)->Range(1024, 4096);
BENCHMARK(BM_VordaComplex)->RangeMultiplier(2)->Range(1024, 4096);
BENCHMARK(BM_FftwMeasureComplex)->RangeMultiplier(2)->Range(1024, 4096);

// Output as the flags ask, and the CPU time per call of every benchmark kept for the
// summary (the median when repetitions are asked for).

void print_summary(const SummaryReporter& r, std::FILE* out) {
    auto at = [&](const char* name, int64_t n) { return r.at(name, n); };
    std::fprintf(out, "\nreal forward transform, ns per call (ours includes copying the input)\n");
    std::fprintf(out, "%6s %10s %10s %7s %10s %7s %10s\n", "N", "ours", "MEASURE", "ratio", "ESTIMATE",
                "ratio", "copy");
    for (int64_t n : {1024, 2048, 4096}) {
        const double ours = at("BM_VordaReal", n);
        const double measure = at("BM_FftwMeasureReal", n);
        const double estimate = at("BM_FftwEstimateReal", n);
        if (ours < 0 || measure < 0 || estimate < 0) continue;
        std::fprintf(out, "%6lld %10.0f %10.0f %7.2f %10.0f %7.2f %10.0f\n", static_cast<long long>(n),
                    ours, measure, ours / measure, estimate, ours / estimate,
                    at("BM_CopyInput", n));
    }
    std::fprintf(out, "complex forward transform, ns per call\n");
    std::fprintf(out, "%6s %10s %10s %7s\n", "N", "ours", "MEASURE", "ratio");
    for (int64_t n : {1024, 2048, 4096}) {
        const double ours = at("BM_VordaComplex", n);
        const double measure = at("BM_FftwMeasureComplex", n);
        if (ours < 0 || measure < 0) continue;
        std::fprintf(out, "%6lld %10.0f %10.0f %7.2f\n", static_cast<long long>(n), ours, measure,
                    ours / measure);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int status = run_with_summary(argc, argv, print_summary);
    fftw_cleanup();
    return status;
}
