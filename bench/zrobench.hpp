// The ratio table that every benchmark program of zroi ends with.
//
// A program lists its rows {case, baseline, target} and hands them to
// runWithRatios in place of Google Benchmark's usual main. The reporter
// prints the usual console output and keeps the CPU time per iteration of
// every run; at the end it prints, for each row, the median of the case over
// the median of its baseline (medians over repetitions when
// --benchmark_repetitions is given) and whether the target holds. Both are
// measured in the same run, so the ratio does not depend on how fast the
// machine is, only on how the two compare.
//
//     int main(int argc, char** argv)
//     {
//         return runWithRatios(argc, argv, {{"Write/64", "OneMemcpy/64", 4.0}});
//     }
//
// --zro_ratios=FILE also writes the rows to FILE, one line each, fields
// separated by tabs: case, baseline, ratio, target, holds, the two medians in
// nanoseconds and the case's zroi allocations per iteration (the counter
// "allocations", when the case sets it). bench/run collects these files into
// bench/RESULTS.md.
#ifndef ZROI_BENCH_ZROBENCH_HPP
#define ZROI_BENCH_ZROBENCH_HPP

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

/// One line of the ratio table: the case's time over the baseline's.
struct RatioRow {
    std::string kase;
    std::string baseline;
    double target; ///< the ratio not to exceed; 0 for none
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that the output can be piped into files.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.run_name.str();
            if (run.error_occurred || run.iterations == 0) {
                failed_.insert(name);
                continue;
            }
            // Seconds per iteration, whatever time unit the case displays in.
            // A run with threads counts the iterations and CPU time of all.
            times_[name].push_back(run.cpu_accumulated_time / static_cast<double>(run.iterations) *
                                   1e9);
            auto counter = run.counters.find("allocations");
            if (counter != run.counters.end()) allocations_[name].push_back(counter->second.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    /// Prints the table; writes it to `file` too unless that is empty.
    /// False when the file cannot be written.
    bool reportRatios(const std::vector<RatioRow>& rows, const std::string& file) const
    {
        std::FILE* out = nullptr;
        if (!file.empty()) {
            out = std::fopen(file.c_str(), "w");
            if (out == nullptr) {
                std::perror(file.c_str());
                return false;
            }
        }
        std::size_t cw = 4, bw = 8;
        for (const RatioRow& row : rows) {
            cw = std::max(cw, row.kase.size());
            bw = std::max(bw, row.baseline.size());
        }
        const int caseWidth = static_cast<int>(cw), baselineWidth = static_cast<int>(bw);
        std::printf("\nRatios (CPU time per iteration, case / baseline, medians):\n");
        std::printf("%-*s %-*s %8s  %s\n", caseWidth, "case", baselineWidth, "baseline", "ratio",
                    "target");
        for (const RatioRow& row : rows) {
            const Line line = measure(row);
            if (!line.ran) continue; // filtered out
            std::printf("%-*s %-*s %8s  %s\n", caseWidth, row.kase.c_str(), baselineWidth,
                        row.baseline.c_str(), line.ratio.c_str(), line.verdict.c_str());
            if (out != nullptr)
                std::fprintf(out, "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", row.kase.c_str(),
                             row.baseline.c_str(), line.ratio.c_str(), line.target.c_str(),
                             line.holds.c_str(), line.caseNs.c_str(), line.baselineNs.c_str(),
                             line.allocations.c_str());
        }
        return out == nullptr || std::fclose(out) == 0;
    }

private:
    // One row as text; "-" where there is nothing to say.
    struct Line {
        bool ran = false;
        std::string ratio = "-", target = "-", holds = "-", verdict = "-";
        std::string caseNs = "-", baselineNs = "-", allocations = "-";
    };

    static std::string number(const char* format, double value)
    {
        char text[48];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }

    Line measure(const RatioRow& row) const
    {
        Line line;
        const double kase = median(times_, row.kase), baseline = median(times_, row.baseline);
        const bool kaseFailed = failed_.count(row.kase) != 0;
        const bool baselineFailed = failed_.count(row.baseline) != 0;
        if (row.target > 0) line.target = number("%.2g", row.target);
        if (kaseFailed || baselineFailed) {
            // A run that stopped with an error has no time: say so rather
            // than leave the row out.
            line.ran = true;
            line.ratio = "error";
            line.holds = line.verdict = row.target > 0 ? "no" : "-";
            return line;
        }
        if (kase <= 0 || baseline <= 0) return line;
        line.ran = true;
        const double ratio = kase / baseline;
        line.ratio = number("%.2f", ratio);
        line.caseNs = number("%.1f", kase);
        line.baselineNs = number("%.1f", baseline);
        const double allocations = median(allocations_, row.kase);
        if (allocations >= 0) line.allocations = number("%.2f", allocations);
        if (row.target > 0) {
            line.holds = ratio <= row.target ? "yes" : "no";
            line.verdict = "<= " + line.target + (ratio <= row.target ? " holds" : " MISSED");
        }
        return line;
    }

    // The median of the values kept under `name`; -1 when there are none.
    static double median(const std::map<std::string, std::vector<double>>& values,
                         const std::string& name)
    {
        auto found = values.find(name);
        if (found == values.end() || found->second.empty()) return -1;
        std::vector<double> v = found->second;
        std::sort(v.begin(), v.end());
        std::size_t mid = v.size() / 2;
        return v.size() % 2 != 0 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
    }

    std::map<std::string, std::vector<double>> times_;       // ns per iteration
    std::map<std::string, std::vector<double>> allocations_; // per iteration
    std::set<std::string> failed_;
};

/// Runs the benchmarks selected on the command line and ends with the ratio
/// table of `rows`. Takes --zro_ratios=FILE (see above) besides Google
/// Benchmark's own flags. 0, or 1 for a bad flag or an unwritable file.
inline int runWithRatios(int argc, char** argv, const std::vector<RatioRow>& rows)
{
    // Take our flag out before Google Benchmark sees the arguments.
    static const char flag[] = "--zro_ratios=";
    std::string file;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strncmp(argv[i], flag, sizeof flag - 1) == 0)
            file = argv[i] + sizeof flag - 1;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool written = reporter.reportRatios(rows, file);
    benchmark::Shutdown();
    return written ? 0 : 1;
}

/// Sets the counter "allocations": zroi's allocations per iteration since
/// `before` (zroi_test_allocation_count() taken before the loop).
inline void countAllocations(benchmark::State& state, unsigned long before, unsigned long after)
{
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(after - before), benchmark::Counter::kAvgIterations);
}

#endif // ZROI_BENCH_ZROBENCH_HPP
