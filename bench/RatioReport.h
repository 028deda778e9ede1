#pragma once

// What the benchmarks share: their default flags and a console report that ends with the ratio
// of each measured benchmark to its baseline from the same run.

#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

namespace vanto::bench {

/// Initializes Google Benchmark with repeated, interleaved runs compared by their medians (timings
/// on a shared machine drift; medians of interleaved runs keep the ratios steady), then `extra`
/// flags, then the command line's, which come last and take precedence. False on a flag that
/// Google Benchmark does not know.
inline bool initialize(int argc, char** argv, std::vector<std::string> extra, int repetitions = 5) {
    std::vector<std::string> flags = {"--benchmark_repetitions=" + std::to_string(repetitions),
                                      "--benchmark_enable_random_interleaving=true",
                                      "--benchmark_report_aggregates_only=true"};
    flags.insert(flags.end(), extra.begin(), extra.end());
    static std::vector<std::string> kept;
    kept = std::move(flags);
    std::vector<char*> arguments = {argv[0]};
    for (auto& flag : kept) {
        arguments.push_back(flag.data());
    }
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    return !benchmark::ReportUnrecognizedArguments(count, arguments.data());
}

/// The console report, followed by "ratio <measured> / <baseline> = <r>" for each pair, from the
/// medians (or from the single runs when there are no repetitions), then, when `peakMemory` is
/// set, the process's peak resident memory.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    /// Whether a benchmark stopped with an error (SkipWithError): its figures mean nothing, and
    /// the program says so in its exit status.
    bool failed() const { return failed_; }

    RatioReporter(bool peakMemory,
                  std::vector<std::pair<std::string, std::string>> measuredAndBaseline)
        : pairs_(std::move(measuredAndBaseline)), peakMemory_(peakMemory) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            failed_ = failed_ || run.error_occurred;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string name = run.run_name.function_name;
            if (median || (run.run_type == Run::RT_Iteration && !medians_.contains(name))) {
                nanoseconds_[name] = run.GetAdjustedRealTime();
                if (median) {
                    medians_.insert(name);
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        char line[256];
        for (const auto& [measured, baseline] : pairs_) {
            const double a = nanoseconds_[measured];
            const double b = nanoseconds_[baseline];
            if (a > 0 && b > 0) {
                std::snprintf(line, sizeof line, "ratio %s / %s = %.3f\n", measured.c_str(),
                              baseline.c_str(), a / b);
                GetOutputStream() << line;
            }
        }
        if (peakMemory_) {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            GetOutputStream() << "peak resident memory: " << usage.ru_maxrss << " KiB\n";
        }
    }

  private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    bool peakMemory_;
    bool failed_ = false;
    std::map<std::string, double> nanoseconds_;
    std::set<std::string> medians_;
};

}  // namespace vanto::bench
