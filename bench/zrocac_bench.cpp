// ZroCac write and read against plain memcpy of the same bytes, measured in
// the same run; the program ends with a table of ratios (case / baseline).
//
//   WriteRead: write n bytes into a reused cache, rewind, read them out again;
//              baseline TwoMemcpy copies them into a reused buffer and out.
//   Write:     write n bytes into a reused (emptied) cache; baseline OneMemcpy.
// Each cache case runs quiet (no zrecs listener) and with a listener that
// does nothing, which sends every operation down its traced path.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "zrecs/zrecs.h"
#include "zroi/zrocac.hpp"

namespace {

void ignoreEvent(const zrecs_event*, void*) {}

// Installs the do-nothing listener for the life of a benchmark run.
class Listening {
public:
    explicit Listening(bool on) : on_(on)
    {
        if (on_) zrecs_set_listener(ignoreEvent, nullptr);
    }
    ~Listening()
    {
        if (on_) zrecs_set_listener(nullptr, nullptr);
    }
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;

private:
    bool on_;
};

void OneMemcpy(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<char> in(n, 'i'), mid(n);
    for (auto _ : state) {
        std::memcpy(mid.data(), in.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void TwoMemcpy(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<char> in(n, 'i'), mid(n), out(n);
    for (auto _ : state) {
        std::memcpy(mid.data(), in.data(), n);
        benchmark::ClobberMemory();
        std::memcpy(out.data(), mid.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void Write(benchmark::State& state, bool listener)
{
    const auto n = static_cast<unsigned>(state.range(0));
    std::vector<char> in(n, 'i');
    ZroCac cache;
    cache.resizeBuffer(n);
    Listening listening(listener);
    unsigned char ok = 1;
    for (auto _ : state) {
        cache.clearMessage();
        ok &= cache.write(n, in.data());
        benchmark::ClobberMemory();
    }
    if (!ok) state.SkipWithError("write failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void WriteRead(benchmark::State& state, bool listener)
{
    const auto n = static_cast<unsigned>(state.range(0));
    std::vector<char> in(n, 'i'), out(n);
    ZroCac cache;
    cache.resizeBuffer(n);
    Listening listening(listener);
    unsigned char ok = 1;
    for (auto _ : state) {
        cache.clearMessage();
        ok &= cache.write(n, in.data());
        benchmark::ClobberMemory();
        ok &= cache.setDataOffset(0);
        char* to = out.data();
        ok &= cache.read(n, to);
        benchmark::ClobberMemory();
    }
    if (!ok) state.SkipWithError("write or read failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(OneMemcpy)->Arg(64);
BENCHMARK_CAPTURE(Write, quiet, false)->Arg(64);
BENCHMARK_CAPTURE(Write, listener, true)->Arg(64);
BENCHMARK(TwoMemcpy)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK_CAPTURE(WriteRead, quiet, false)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK_CAPTURE(WriteRead, listener, true)->Arg(64)->Arg(4096)->Arg(1 << 20);

// Prints the usual console output and keeps the CPU time per iteration of
// every run, so that ratios can be printed at the end (median over
// repetitions when --benchmark_repetitions is given).
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

    void printRatios() const
    {
        struct Row {
            const char* kase;
            const char* baseline;
            double target; // 0: none
        };
        const Row rows[] = {
            {"Write/quiet/64", "OneMemcpy/64", 4.0},
            {"Write/listener/64", "OneMemcpy/64", 0},
            {"WriteRead/quiet/64", "TwoMemcpy/64", 0},
            {"WriteRead/quiet/4096", "TwoMemcpy/4096", 0},
            {"WriteRead/quiet/1048576", "TwoMemcpy/1048576", 1.2},
            {"WriteRead/listener/64", "TwoMemcpy/64", 0},
            {"WriteRead/listener/4096", "TwoMemcpy/4096", 0},
            {"WriteRead/listener/1048576", "TwoMemcpy/1048576", 0},
        };
        std::printf("\nRatios (CPU time per iteration, case / baseline):\n");
        std::printf("%-28s %-20s %8s  %s\n", "case", "baseline", "ratio", "target");
        for (const Row& row : rows) {
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
            std::printf("%-28s %-20s %8.2f  %s\n", row.kase, row.baseline, ratio, target.c_str());
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

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
