// Whole-passband decoding (vorda-modem decode --all): ten minutes of a band with 20
// BPSK31 stations sending at once, 60 to 300 Hz apart, levels over 20 dB, starting
// within 8 s of each other, in noise.
// One iteration surveys the whole recording; the real-time factor is minutes of audio
// per minute of CPU (the target is 200: ten minutes in under three seconds). The
// survey tells the modes itself, as decode --all does by default.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "code_table.h"
#include "modem/band_survey.h"
#include "modem/psk31_signal.h"
#include "modem/varicode.h"

namespace {

constexpr double kSampleRate = 8000.0;
constexpr int kStations = 20;
constexpr int kSeconds = 600;

const std::vector<int16_t>& band() {
    static const std::vector<int16_t> pcm = [] {
        using namespace psk31_signal;
        std::vector<double> sum(static_cast<size_t>(kSeconds * kSampleRate), 0.0);
        double hz = 300.0;
        for (int i = 0; i < kStations; ++i) {
            signal_options o;
            o.frequency = hz;
            o.amplitude = 6000.0 * std::pow(10.0, -(i % 5) * 5.0 / 20);
            o.start_phase = i;
            o.lead_in = i * 3001;  // stations do not start on the same sample
            std::string text;
            while (text.size() < 4000) {
                text += "cq cq de station " + std::to_string(i) + " pse k\nur rst 599, tnx fer call\n";
            }
            std::vector<double> wave = modulate(text_bits(text), o);
            wave.resize(sum.size());
            for (size_t k = 0; k < sum.size(); ++k) sum[k] += wave[k];
            hz += i % 3 == 0 ? 60.0 : (i % 3 == 1 ? 150.0 : 300.0);
        }
        add_noise(sum, 800.0, 1);
        return to_pcm(sum);
    }();
    return pcm;
}

void BM_SurveyTenMinutesTwentyStations(benchmark::State& state) {
    load_bench_code_table();
    const std::vector<int16_t>& pcm = band();
    size_t lines = 0, receivers = 0;
    for (auto _ : state) {
        band_survey survey;
        survey_init(survey, -1, 0, 15, 1);  // each station's mode told by itself
        for (size_t at = 0; at < pcm.size(); at += 4096) {
            survey_feed(survey, pcm.data() + at, std::min<size_t>(4096, pcm.size() - at));
            lines += survey.lines.size();
            survey.lines.clear();
        }
        survey_finish(survey);
        lines += survey.lines.size();
        receivers = survey.channels.size();
    }
    const double samples = static_cast<double>(state.iterations()) * pcm.size();
    state.counters["realtime_factor"] =
        benchmark::Counter(samples / kSampleRate, benchmark::Counter::kIsRate);
    state.counters["receivers"] = static_cast<double>(receivers);
    state.counters["lines"] = static_cast<double>(lines) / state.iterations();
}

}  // namespace

BENCHMARK(BM_SurveyTenMinutesTwentyStations)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
