// Console reporter that also keeps each benchmark's CPU time per call by length, so a
// program can print ours beside FFTW's as a ratio after the run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, std::map<int64_t, double>> ns;  // name -> length -> ns per call

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string& args = run.run_name.args;
            if (run.error_occurred || !(single || median) || args.empty()) continue;
            const int64_t n = std::stoll(args.substr(args.find_last_of('/') + 1));
            ns[run.run_name.function_name][n] =
                run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    // ns per call of a benchmark at a length, or -1 when it did not run.
    double at(const char* name, int64_t n) const {
        const auto f = ns.find(name);
        if (f == ns.end()) return -1.0;
        const auto g = f->second.find(n);
        return g == f->second.end() ? -1.0 : g->second;
    }
};

// Runs the benchmarks with the reporter, then the program's summary.
template <typename Summary>
int run_with_summary(int argc, char** argv, Summary print_summary) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_summary(reporter);
    benchmark::Shutdown();
    return 0;
}
