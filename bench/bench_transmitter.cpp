// Transmitter: one processor block (128 frames, 16 ms of audio) at a time.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "code_table.h"
#include "modem/transmitter.h"
#include "modem/varicode.h"

namespace {

constexpr double kSampleRate = 8000.0;

int discard(void*, const void* data, size_t, int*) {
    benchmark::DoNotOptimize(data);
    return 0;
}

// Text mode with the queue kept topped up, so every block shapes real symbols and
// loads character patterns now and then; state.range(0) selects QPSK.
void BM_ProcessorBlock(benchmark::State& state) {
    load_bench_code_table();
    psk31_transmitter tx;
    tx.sink.write = &discard;
    tx.put_command(TX_MODE_PSK + 2 * static_cast<uint32_t>(state.range(0)));
    tx.put_command(TX_FREQUENCY + 123456);
    tx.put_command(TX_BEGIN);
    const char* text = "cq cq de vorda vorda pse k\n";
    const char* next = text;
    for (auto _ : state) {
        if (tx.queued() < 8) {
            tx.put_command(static_cast<unsigned char>(*next));
            if (*++next == '\0') next = text;
        }
        benchmark::DoNotOptimize(tx.processor());
    }
    const double frames = static_cast<double>(state.iterations()) * psk31_transmitter::kBlockFrames;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    // Seconds of audio made per second of work.
    state.counters["realtime_factor"] =
        benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessorBlock)->Arg(0)->Arg(1)->ArgName("qpsk");

}  // namespace

BENCHMARK_MAIN();
