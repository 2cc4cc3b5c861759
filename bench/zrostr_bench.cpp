// ZroStr against std::string doing the same work, measured in the same run;
// the program ends with a table of ratios (ZroStr case / std::string case).
//
//   Plus:      a + b, each operand half the size.
//   Append:    a copy of a, then += b (std::string: copy, then append).
//   Grow:      16-byte pieces appended one by one up to the size. ZroStr sizes
//              its storage exactly at every append, std::string grows
//              geometrically: this shows what exact sizing costs.
//   Find:      an 8-character pattern that occurs only at the end of the text.
//   CutOut:    tokens of 3 to 9 characters split on ',' with cutOut until
//              none is left; the string holds the rest after every token.
//              std::string: the same with find/substr, the rest re-assigned
//              from substr after every token (the same exactly sized rest).
//   Split:     std::string only, another baseline for CutOut: find/substr
//              over a text that is left as it is (no rest is kept).
//   CopyOut:   the text into a field 8 bytes longer, blank padded
//              (std::string: memcpy and memset).
// Sizes: 16, 64, 256 and 4096 bytes of text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "zroi/zrostr.hpp"

namespace {

// A text of n letters; the last 8 are the pattern that Find looks for.
std::string letters(std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += static_cast<char>('a' + (i * 7 + i / 26) % 26);
    if (n >= 8) text.replace(n - 8, 8, "PATTERN!");
    return text;
}

const std::string PATTERN = "PATTERN!";

// A text of about n characters: tokens of 3 to 9 letters, separated by ','
// (now and then two).
std::string tokens(std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; text.size() < n; ++i) {
        if (!text.empty()) text += (i % 5 == 0) ? ",," : ",";
        text.append(3 + (i * 5) % 7, static_cast<char>('a' + i % 26));
    }
    text.resize(n);
    if (text.back() == ',') text.back() = 'z';
    return text;
}

std::size_t size(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

void ZroPlus(benchmark::State& state)
{
    std::string text = letters(size(state));
    ZroStr a(text.substr(0, text.size() / 2).c_str()), b(text.substr(text.size() / 2).c_str());
    for (auto _ : state) {
        ZroStr joined = a + b;
        benchmark::DoNotOptimize(joined.dataPointer());
    }
}

void StdPlus(benchmark::State& state)
{
    std::string text = letters(size(state));
    std::string a = text.substr(0, text.size() / 2), b = text.substr(text.size() / 2);
    for (auto _ : state) {
        std::string joined = a + b;
        benchmark::DoNotOptimize(joined.data());
    }
}

void ZroAppend(benchmark::State& state)
{
    std::string text = letters(size(state));
    ZroStr a(text.substr(0, text.size() / 2).c_str()), b(text.substr(text.size() / 2).c_str());
    for (auto _ : state) {
        ZroStr joined(a);
        joined += b;
        benchmark::DoNotOptimize(joined.dataPointer());
    }
}

void StdAppend(benchmark::State& state)
{
    std::string text = letters(size(state));
    std::string a = text.substr(0, text.size() / 2), b = text.substr(text.size() / 2);
    for (auto _ : state) {
        std::string joined(a);
        joined.append(b);
        benchmark::DoNotOptimize(joined.data());
    }
}

void ZroGrow(benchmark::State& state)
{
    const std::size_t pieces = size(state) / 16;
    ZroStr piece("0123456789abcdef");
    for (auto _ : state) {
        ZroStr text;
        for (std::size_t i = 0; i < pieces; ++i) text += piece;
        benchmark::DoNotOptimize(text.dataPointer());
    }
}

void StdGrow(benchmark::State& state)
{
    const std::size_t pieces = size(state) / 16;
    std::string piece("0123456789abcdef");
    for (auto _ : state) {
        std::string text;
        for (std::size_t i = 0; i < pieces; ++i) text.append(piece);
        benchmark::DoNotOptimize(text.data());
    }
}

void ZroFind(benchmark::State& state)
{
    ZroStr text(letters(size(state)).c_str()), pattern(PATTERN.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(text.find(pattern));
}

void StdFind(benchmark::State& state)
{
    std::string text = letters(size(state));
    for (auto _ : state) benchmark::DoNotOptimize(text.find(PATTERN));
}

void ZroCutOut(benchmark::State& state)
{
    const ZroStr source(tokens(size(state)).c_str());
    std::size_t count = 0;
    for (auto _ : state) {
        ZroStr text(source), token;
        while (text.cutOut(token, ',') != 0) ++count;
        benchmark::DoNotOptimize(token.dataPointer());
    }
    state.counters["tokens"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
}

void StdCutOut(benchmark::State& state)
{
    const std::string source = tokens(size(state));
    std::size_t count = 0;
    for (auto _ : state) {
        std::string text(source), token;
        for (;;) {
            std::size_t start = text.find_first_not_of(',');
            if (start == std::string::npos) break;
            std::size_t end = text.find(',', start);
            token = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            std::size_t rest =
                end == std::string::npos ? text.size() : text.find_first_not_of(',', end);
            text = text.substr(rest == std::string::npos ? text.size() : rest);
            ++count;
        }
        benchmark::DoNotOptimize(token.data());
    }
    state.counters["tokens"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
}

void StdSplit(benchmark::State& state)
{
    const std::string text = tokens(size(state));
    std::size_t count = 0;
    for (auto _ : state) {
        std::string token;
        std::size_t start = text.find_first_not_of(',');
        while (start != std::string::npos) {
            std::size_t end = text.find(',', start);
            token = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            ++count;
            start = end == std::string::npos ? end : text.find_first_not_of(',', end);
        }
        benchmark::DoNotOptimize(token.data());
    }
    state.counters["tokens"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
}

void ZroCopyOut(benchmark::State& state)
{
    ZroStr text(letters(size(state)).c_str());
    std::vector<char> field(size(state) + 8);
    const auto length = static_cast<unsigned>(field.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.copyOut(field.data(), length, ' '));
        benchmark::ClobberMemory();
    }
}

void StdCopyOut(benchmark::State& state)
{
    std::string text = letters(size(state));
    std::vector<char> field(size(state) + 8);
    for (auto _ : state) {
        std::size_t n = std::min(text.size(), field.size());
        std::memcpy(field.data(), text.data(), n);
        std::memset(field.data() + n, ' ', field.size() - n);
        benchmark::ClobberMemory();
    }
}

#define SIZES Arg(16)->Arg(64)->Arg(256)->Arg(4096)
BENCHMARK(ZroPlus)->SIZES;
BENCHMARK(StdPlus)->SIZES;
BENCHMARK(ZroAppend)->SIZES;
BENCHMARK(StdAppend)->SIZES;
BENCHMARK(ZroGrow)->SIZES;
BENCHMARK(StdGrow)->SIZES;
BENCHMARK(ZroFind)->SIZES;
BENCHMARK(StdFind)->SIZES;
BENCHMARK(ZroCutOut)->SIZES;
BENCHMARK(StdCutOut)->SIZES;
BENCHMARK(StdSplit)->SIZES;
BENCHMARK(ZroCopyOut)->SIZES;
BENCHMARK(StdCopyOut)->SIZES;

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
            double target; // applies from 256 bytes on; 0: none
        };
        const Row rows[] = {
            {"ZroPlus", "StdPlus", 2.0},     {"ZroAppend", "StdAppend", 2.0},
            {"ZroGrow", "StdGrow", 0},       {"ZroFind", "StdFind", 0},
            {"ZroCutOut", "StdCutOut", 2.0}, {"ZroCutOut", "StdSplit", 0},
            {"ZroCopyOut", "StdCopyOut", 0},
        };
        const int sizes[] = {16, 64, 256, 4096};
        std::printf("\nRatios (CPU time per iteration, ZroStr case / std::string case):\n");
        std::printf("%-16s %-16s %6s %8s  %s\n", "case", "baseline", "size", "ratio", "target");
        for (const Row& row : rows) {
            for (int n : sizes) {
                std::string kase = std::string(row.kase) + "/" + std::to_string(n);
                std::string baseline = std::string(row.baseline) + "/" + std::to_string(n);
                double k = median(kase), b = median(baseline);
                if (k <= 0 || b <= 0) continue; // filtered out or failed
                double ratio = k / b;
                std::string target = "-";
                if (row.target > 0 && n >= 256) {
                    char text[48];
                    std::snprintf(text, sizeof text, "<= %.1f %s", row.target,
                                  ratio <= row.target ? "holds" : "MISSED");
                    target = text;
                }
                std::printf("%-16s %-16s %6d %8.2f  %s\n", row.kase, row.baseline, n, ratio,
                            target.c_str());
            }
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
