#pragma once

// What the benchmarks share: their default flags and a console report that ends with a verdict
// on each measured benchmark against its baseline from the same run, and an exit status that
// says whether any of them passed its bound by more than the margin.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

namespace vanto::bench {

/// How far past its bound a ratio may go before the program fails, unless the ratio says
/// otherwise: wide enough that a loaded two-core machine does not trip it, narrow enough that a
/// part twice as slow as it should be does.
inline constexpr double kMargin = 1.5;

/// One comparison from a run: `measured` against `baseline`, both benchmark names as the report
/// prints them without their aggregate ("BM_Prune/everything:0", "BM_Post/threads:8"). The ratio
/// is of the times per iteration, or with `perItem` of the times per item (the inverse of the
/// throughputs, for benchmarks that run on several threads and count items). A `baseline` that
/// starts with "target:" names a fixed time instead ("target:20ms", "target:0.2s").
struct Ratio {
    std::string measured;
    std::string baseline;
    /// The ratio the program is held to; 0 when the ratio is only reported.
    double bound = 0;
    /// The ratio above which the program exits non-zero; 0 for bound × kMargin.
    double failAbove = 0;
    bool perItem = false;
    /// The repetitions' aggregate compared: "median", or "min" (with the aggregate registered by
    /// the benchmark, see minimum()) where the time is mostly waiting that a loaded machine
    /// stretches unevenly, since load only ever adds to a time.
    std::string statistic = "median";

    double limit() const { return failAbove > 0 ? failAbove : bound * kMargin; }
};

/// The repetitions' minimum, an aggregate for ratios compared by it:
/// `BENCHMARK(X)->ComputeStatistics("min", vanto::bench::minimum)`.
inline double minimum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

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

/// The console report, followed by one line for each ratio, from the medians or minimums (or from
/// the single runs when there are no repetitions):
///
///     ratio <measured> / <baseline> = <r> bound <b> fail <f> verdict <v>
///
/// where the verdict is "within" (at or below the bound), "over" (above the bound, within the
/// margin: noted, not failed), "FAIL" (above the margin), "info" (no bound) or "not-run" (one of
/// the two was filtered out or stopped; "-" stands for the missing figures); then, for each
/// benchmark that counts items, "throughput <name> = <n> per second"; then, when `peakMemory` is
/// set, the process's peak resident memory.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter(bool peakMemory, std::vector<Ratio> ratios)
        : ConsoleReporter(inColour() ? OO_ColorTabular : OO_Tabular),
          ratios_(std::move(ratios)),
          peakMemory_(peakMemory) {}

    /// Whether a benchmark stopped with an error (SkipWithError): its figures mean nothing.
    bool failed() const { return failed_; }

    /// Whether a ratio passed its bound by more than the margin.
    bool overLimit() const { return overLimit_; }

    /// The program's exit status: non-zero when a benchmark failed or a ratio passed its limit.
    /// With VANTO_BENCH_BOUNDS=off (the test command's "the benchmark runs" checks, whose runs
    /// are far too short for their figures to mean anything) the verdicts are printed and only
    /// a benchmark's error counts.
    int status() const {
        const char* bounds = std::getenv("VANTO_BENCH_BOUNDS");
        const bool held = bounds == nullptr || std::string_view(bounds) != "off";
        return failed_ || (held && overLimit_) ? 1 : 0;
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            failed_ = failed_ || run.error_occurred;
            const std::string name = keyOf(run);
            if (run.error_occurred) {
                stopped_.insert(name);
            }
            // An aggregate's figures under its name ("median", "min"), a single run's under "".
            std::string statistic;
            if (run.run_type == Run::RT_Aggregate) {
                statistic = run.aggregate_name;
            } else if (run.run_type != Run::RT_Iteration) {
                continue;
            }
            nanoseconds_[statistic][name] =
                run.GetAdjustedRealTime() * nanosecondsPer(run.time_unit);
            const auto items = run.counters.find("items_per_second");
            if (items != run.counters.end() && items->second.value > 0) {
                nanosecondsPerItem_[statistic][name] = 1e9 / items->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& ratio : ratios_) {
            GetOutputStream() << verdictLine(ratio);
        }
        char line[256];
        std::set<std::string> counted;
        for (const auto& [statistic, figures] : nanosecondsPerItem_) {
            for (const auto& [name, nanoseconds] : figures) {
                counted.insert(name);
            }
        }
        for (const auto& name : counted) {
            if (const double nanoseconds = figureOf(name, true, "median"); nanoseconds > 0) {
                std::snprintf(line, sizeof line, "throughput %s = %.1f per second\n", name.c_str(),
                              1e9 / nanoseconds);
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
    // Colours only for a terminal: a report kept in a file is read by scripts.
    static bool inColour() { return ::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1; }

    static std::string keyOf(const Run& run) {
        std::string key = run.run_name.function_name;
        for (const std::string* part : {&run.run_name.args, &run.run_name.threads}) {
            if (!part->empty()) {
                key += "/" + *part;
            }
        }
        return key;
    }

    static double nanosecondsPer(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1;
            case benchmark::kMicrosecond:
                return 1e3;
            case benchmark::kMillisecond:
                return 1e6;
            case benchmark::kSecond:
                return 1e9;
        }
        return 1;
    }

    // A fixed time, "target:20ms" or "target:0.2s", in nanoseconds; 0 if it is not one.
    static double targetNanoseconds(const std::string& baseline) {
        constexpr std::string_view kPrefix = "target:";
        if (baseline.rfind(kPrefix, 0) != 0) {
            return 0;
        }
        const std::string figure = baseline.substr(kPrefix.size());
        char* end = nullptr;
        const double value = std::strtod(figure.c_str(), &end);
        const std::string unit = end != nullptr ? end : "";
        const double scale = unit == "s" ? 1e9 : unit == "ms" ? 1e6 : unit == "us" ? 1e3 : 0;
        return value > 0 ? value * scale : 0;
    }

    // The figure of `name` for `statistic`; a single run's when there were no repetitions.
    double figureOf(const std::string& name, bool perItem, const std::string& statistic) const {
        if (stopped_.contains(name)) {
            return 0;
        }
        const auto& figures = perItem ? nanosecondsPerItem_ : nanoseconds_;
        for (const std::string& kind : {statistic, std::string()}) {
            const auto set = figures.find(kind);
            if (set != figures.end()) {
                if (const auto found = set->second.find(name); found != set->second.end()) {
                    return found->second;
                }
            }
        }
        return 0;
    }

    std::string verdictLine(const Ratio& ratio) {
        const double a = figureOf(ratio.measured, ratio.perItem, ratio.statistic);
        const double target = targetNanoseconds(ratio.baseline);
        const double b =
            target > 0 ? target : figureOf(ratio.baseline, ratio.perItem, ratio.statistic);
        char bound[32] = "-";
        char limit[32] = "-";
        if (ratio.bound > 0) {
            std::snprintf(bound, sizeof bound, "%.3g", ratio.bound);
            std::snprintf(limit, sizeof limit, "%.3g", ratio.limit());
        }
        char figure[32] = "-";
        std::string verdict = "not-run";
        if (a > 0 && b > 0 && std::isfinite(a / b)) {
            const double r = a / b;
            std::snprintf(figure, sizeof figure, "%.3f", r);
            if (ratio.bound <= 0) {
                verdict = "info";
            } else if (r <= ratio.bound) {
                verdict = "within";
            } else if (r <= ratio.limit()) {
                verdict = "over";
            } else {
                verdict = "FAIL";
                overLimit_ = true;
            }
        }
        return "ratio " + ratio.measured + " / " + ratio.baseline + " = " + figure + " bound " +
               bound + " fail " + limit + " verdict " + verdict + "\n";
    }

    std::vector<Ratio> ratios_;
    bool peakMemory_;
    bool failed_ = false;
    bool overLimit_ = false;
    std::map<std::string, std::map<std::string, double>> nanoseconds_;
    std::map<std::string, std::map<std::string, double>> nanosecondsPerItem_;
    std::set<std::string> stopped_;
};

}  // namespace vanto::bench
