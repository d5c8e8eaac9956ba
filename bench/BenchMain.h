#pragma once

// A main() for benchmark programs that, after the usual report, prints ratios between benchmarks
// of the same run. Each figure is the CPU time per iteration of the fastest repetition, the one
// least disturbed by other work on the machine (wall time on a busy machine counts the others). Use:
//   KVVLX_BENCH_MAIN({{"label", "BM_Numerator/arg", "BM_Denominator/arg", 1.3}, ...})
// where the last value is the goal (0 for none). runWithRatios also takes a function that prints
// further figures from the reporter's timings.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
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
            std::string name = run.benchmark_name();
            const auto cut = name.find("/repeats:");
            if (cut != std::string::npos)
                name.erase(cut);
            const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto it = fastest.find(name);
            if (it == fastest.end() || seconds < it->second)
                fastest[name] = seconds;
        }
        // With repetitions only the aggregates reach the console; the single runs would drown them.
        if (!aggregates.empty() || runs.empty() || runs.front().repetitions <= 1)
            ConsoleReporter::ReportRuns(aggregates.empty() ? runs : aggregates);
    }

    // CPU seconds per iteration of the fastest repetition, or a negative value if it did not run.
    double seconds(const std::string &name) const
    {
        const auto it = fastest.find(name);
        return it == fastest.end() ? -1.0 : it->second;
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
        return kvvlx::bench::runWithRatios(argc, argv, std::vector<kvvlx::bench::Ratio> __VA_ARGS__); \
    }
