// The ratio table that every benchmark program of zroi ends with.
//
// RatioReporter prints Google Benchmark's usual console output and keeps the
// CPU time per iteration of every run; printRatios then gives, for each row,
// the median of the case over the median of its baseline (medians over
// repetitions when --benchmark_repetitions is given) and whether a target
// holds. Rows whose case or baseline did not run are left out.
#ifndef ZROI_BENCH_ZRORATIO_HPP
#define ZROI_BENCH_ZRORATIO_HPP

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

struct RatioRow {
    const char* kase;
    const char* baseline;
    double target; ///< the ratio not to exceed; 0 for none
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that the output can be piped into files.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times_[run.run_name.str()].push_back(run.GetAdjustedCPUTime());
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios(const std::vector<RatioRow>& rows) const
    {
        std::size_t caseWidth = 4, baselineWidth = 8;
        for (const RatioRow& row : rows) {
            caseWidth = std::max(caseWidth, std::string(row.kase).size());
            baselineWidth = std::max(baselineWidth, std::string(row.baseline).size());
        }
        const int cw = static_cast<int>(caseWidth), bw = static_cast<int>(baselineWidth);
        std::printf("\nRatios (CPU time per iteration, case / baseline):\n");
        std::printf("%-*s %-*s %8s  %s\n", cw, "case", bw, "baseline", "ratio", "target");
        for (const RatioRow& row : rows) {
            double kase = median(row.kase), baseline = median(row.baseline);
            if (kase <= 0 || baseline <= 0) continue; // filtered out or failed
            double ratio = kase / baseline;
            std::string target = "-";
            if (row.target > 0) {
                char text[48];
                std::snprintf(text, sizeof text, "<= %.1f %s", row.target,
                              ratio <= row.target ? "holds" : "MISSED");
                target = text;
            }
            std::printf("%-*s %-*s %8.2f  %s\n", cw, row.kase, bw, row.baseline, ratio,
                        target.c_str());
        }
    }

private:
    double median(const std::string& name) const
    {
        auto found = times_.find(name);
        if (found == times_.end() || found->second.empty()) return 0;
        std::vector<double> v = found->second;
        std::sort(v.begin(), v.end());
        std::size_t mid = v.size() / 2;
        return v.size() % 2 != 0 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
    }

    std::map<std::string, std::vector<double>> times_;
};

/// Runs the benchmarks selected on the command line and ends with the ratios.
inline int runWithRatios(int argc, char** argv, const std::vector<RatioRow>& rows)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(rows);
    benchmark::Shutdown();
    return 0;
}

#endif // ZROI_BENCH_ZRORATIO_HPP
