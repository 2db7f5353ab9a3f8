#pragma once

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

/**
 * Shows the usual table and keeps each benchmark's best time per iteration, so that a program can print how
 * its own code compares with a baseline measured in the same run.
 */
class FRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        for (const Run& Each : Runs)
        {
            if (Each.run_type != Run::RT_Iteration || Each.error_occurred)
            {
                continue;
            }
            const std::string Name = Each.benchmark_name();
            const double Time = Each.GetAdjustedRealTime();
            auto Found = BestTimes.find(Name);
            if (Found == BestTimes.end() || Time < Found->second)
            {
                BestTimes[Name] = Time;
            }
        }
        ConsoleReporter::ReportRuns(Runs);
    }

    /** The best time of Ours over the best time of Baseline; 0 when either did not run. */
    double Ratio(const std::string& Ours, const std::string& Baseline) const
    {
        const auto OursTime = BestTimes.find(Ours);
        const auto BaselineTime = BestTimes.find(Baseline);
        if (OursTime == BestTimes.end() || BaselineTime == BestTimes.end() || BaselineTime->second <= 0.0)
        {
            return 0.0;
        }
        return OursTime->second / BaselineTime->second;
    }

    void PrintRatio(const char* Label, const std::string& Ours, const std::string& Baseline) const
    {
        const double Value = Ratio(Ours, Baseline);
        if (Value > 0.0)
        {
            std::printf("ratio %s (%s / %s): %.2f\n", Label, Ours.c_str(), Baseline.c_str(), Value);
        }
    }

private:
    std::map<std::string, double> BestTimes;
};

/** Runs the registered benchmarks with a ratio reporter, then hands it to Report for the closing lines. */
template <typename ReportFunction> int RunBenchmarksWithRatios(int argc, char** argv, ReportFunction Report)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
    {
        return 1;
    }
    FRatioReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    Report(Reporter);
    benchmark::Shutdown();
    return 0;
}
