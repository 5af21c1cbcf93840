// Reporter that passes everything to the library's own display reporter (so
// --benchmark_format and the other flags work as usual) and also keeps each
// benchmark's CPU time per call by length, so a program can print ours beside
// FFTW's as a ratio after the run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class SummaryReporter : public benchmark::BenchmarkReporter {
  public:
    std::map<std::string, std::map<int64_t, double>> ns;  // name -> length -> ns per call
    // Owned by the library: console, JSON or CSV as the flags ask.
    BenchmarkReporter* display = benchmark::CreateDefaultDisplayReporter();

    bool ReportContext(const Context& context) override { return display->ReportContext(context); }
    void Finalize() override { display->Finalize(); }
    // Only the console gets the table on standard output; beside JSON or CSV it
    // would spoil what a program reads there.
    bool console() const { return dynamic_cast<benchmark::ConsoleReporter*>(display) != nullptr; }

    void ReportRuns(const std::vector<Run>& runs) override {
        display->ReportRuns(runs);
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
    std::FILE* out = reporter.console() ? stdout : stderr;
    std::fflush(stdout);
    print_summary(reporter, out);
    benchmark::Shutdown();
    return 0;
}
