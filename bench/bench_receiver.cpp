// Cost of receive_sample per input sample, BPSK and QPSK, on a clean signal at the
// receive frequency so that every symbol runs the full symbol path.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "code_table.h"
#include "modem/receiver.h"
#include "modem/psk31_signal.h"

namespace {

constexpr double kSampleRate = 8000.0;

const std::vector<int16_t>& test_signal(bool qpsk) {
    static const auto make = [](bool use_qpsk) {
        psk31_signal::signal_options o;
        o.frequency = 1500.0;
        o.qpsk = use_qpsk;
        return psk31_signal::make_signal(
            "cq cq cq de bench bench pse k\nThe quick brown fox jumps over the lazy dog "
            "0123456789 times, then rests.\n",
            o);
    };
    static const std::vector<int16_t> bpsk_signal = make(false);
    static const std::vector<int16_t> qpsk_signal = make(true);
    return qpsk ? qpsk_signal : bpsk_signal;
}

void run_receiver(benchmark::State& state, bool qpsk) {
    load_bench_code_table();
    const std::vector<int16_t>& pcm = test_signal(qpsk);
    psk31_receiver* receiver = create_receiver();
    set_receiver_frequency(*receiver, 150000);
    set_receiver_mode(*receiver, qpsk ? 1 : 0, 0);
    receiver->afc = 1;
    receiver->squelch = 15;

    for (auto _ : state) {
        int last = 0;
        for (int16_t sample : pcm) last ^= receive_sample(*receiver, sample);
        benchmark::DoNotOptimize(last);
    }
    const double samples = static_cast<double>(state.iterations()) * pcm.size();
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    // Seconds of CPU per sample (shown with an SI prefix, n = nanoseconds), and
    // seconds of audio processed per second: the real-time factor.
    state.counters["time_per_sample"] = benchmark::Counter(
        samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_factor"] =
        benchmark::Counter(samples / kSampleRate, benchmark::Counter::kIsRate);
    destroy_receiver(receiver);
}

void BM_ReceiveSampleBpsk(benchmark::State& state) { run_receiver(state, false); }
void BM_ReceiveSampleQpsk(benchmark::State& state) { run_receiver(state, true); }

}  // namespace

BENCHMARK(BM_ReceiveSampleBpsk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceiveSampleQpsk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
