// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A main() for benchmark programs that, after the usual report, prints ratios between benchmarks
// of the same run. Each figure is the CPU time per iteration of the fastest repetition, the one
// least disturbed by other work on the machine (wall time on a busy machine counts the others);
// benchmarks registered with UseRealTime() give their wall time instead. Use:
//   KVVLX_BENCH_MAIN({{"label", "BM_Numerator/arg", "BM_Denominator/arg", 1.3}, ...})
// Names are given without run settings such as repeats: or min_time:.
// where the last value is the goal (0 for none). runWithRatios also takes a function that prints
// further figures from the reporter's timings.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace kvvlx::bench {

struct Ratio
{
    const char *label;
    const char *numerator;
    const char *denominator;
    double goal;
};

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // Colours only on a terminal, so that piped reports and the ratio lines stay plain text.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        std::vector<Run> aggregates;
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate) {
                aggregates.push_back(run);
                continue;
            }
            if (run.error_occurred)
                continue;
            const std::string name = plainName(run.benchmark_name());
            // Benchmarks that ask for wall time (UseRealTime) are waits, not work: their wall time.
            const bool wall = run.benchmark_name().find("/real_time") != std::string::npos;
            const double seconds = (wall ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime()) /
                                   benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto it = fastest.find(name);
            if (it == fastest.end() || seconds < it->second)
                fastest[name] = seconds;
        }
        // With repetitions only the aggregates reach the console; the single runs would drown them.
        if (!aggregates.empty() || runs.empty() || runs.front().repetitions <= 1)
            ConsoleReporter::ReportRuns(aggregates.empty() ? runs : aggregates);
    }

    // Seconds per iteration of the fastest repetition, or a negative value if it did not run. The
    // name may carry run settings or not.
    double seconds(const std::string &name) const
    {
        const auto it = fastest.find(plainName(name));
        return it == fastest.end() ? -1.0 : it->second;
    }

    // The name without the run settings: "BM_X/7168/min_time:0.100/repeats:5" is "BM_X/7168".
    static std::string plainName(const std::string &full)
    {
        std::string name;
        size_t begin = 0;
        while (begin <= full.size()) {
            size_t end = full.find('/', begin);
            if (end == std::string::npos)
                end = full.size();
            const std::string part = full.substr(begin, end - begin);
            const bool setting = part.rfind("min_time:", 0) == 0 ||
                                 part.rfind("repeats:", 0) == 0 ||
                                 part.rfind("iterations:", 0) == 0 || part == "real_time";
            if (!setting)
                name += (name.empty() ? "" : "/") + part;
            begin = end + 1;
        }
        return name;
    }

private:
    std::map<std::string, double> fastest;
};

inline int runWithRatios(int argc, char **argv, const std::vector<Ratio> &ratios,
                         const std::function<void(const RatioReporter &)> &more = {})
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::fflush(stdout);
    for (const Ratio &r : ratios) {
        const double a = reporter.seconds(r.numerator), b = reporter.seconds(r.denominator);
        if (a < 0 || b <= 0)
            continue;
        if (r.goal > 0)
            std::printf("%s: %.2fx (goal <= %.1fx)\n", r.label, a / b, r.goal);
        else
            std::printf("%s: %.2fx\n", r.label, a / b);
    }
    if (more)
        more(reporter);
    return 0;
}

} // namespace kvvlx::bench

#define KVVLX_BENCH_MAIN(...)                                                                      \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        return kvvlx::bench::runWithRatios(argc, argv,                                             \
                                           std::vector<kvvlx::bench::Ratio> __VA_ARGS__);          \
    }
