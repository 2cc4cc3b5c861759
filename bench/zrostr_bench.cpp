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
//              (std::string: memcpy and memset); from one thread, and from
//              two at once, each with its own string and field (the
//              ZroStr copy takes the shared string lock).
// Sizes: 16, 64, 256 and 4096 bytes of text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "zrobench.hpp"
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
// Two threads, each copying its own string into its own field: every
// copyOut takes the one shared string lock, so they queue for it.
BENCHMARK(ZroCopyOut)->SIZES->Threads(2);
BENCHMARK(StdCopyOut)->SIZES->Threads(2);

// The rows of the ratio table: each pair at every size, the target from 256
// bytes on.
std::vector<RatioRow> ratioRows()
{
    struct Pair {
        const char* kase;
        const char* baseline;
        double target;
    };
    const Pair pairs[] = {
        {"ZroPlus", "StdPlus", 2.0},     {"ZroAppend", "StdAppend", 2.0},
        {"ZroGrow", "StdGrow", 0},       {"ZroFind", "StdFind", 0},
        {"ZroCutOut", "StdCutOut", 2.0}, {"ZroCutOut", "StdSplit", 0},
        {"ZroCopyOut", "StdCopyOut", 0},
    };
    std::vector<RatioRow> rows;
    for (const Pair& pair : pairs)
        for (int n : {16, 64, 256, 4096}) {
            const std::string size = "/" + std::to_string(n);
            rows.push_back({pair.kase + size, pair.baseline + size, n >= 256 ? pair.target : 0});
        }
    for (int n : {16, 64, 256, 4096}) {
        const std::string size = "/" + std::to_string(n) + "/threads:2";
        rows.push_back({"ZroCopyOut" + size, "StdCopyOut" + size, 0});
    }
    return rows;
}

} // namespace

int main(int argc, char** argv) { return runWithRatios(argc, argv, ratioRows()); }
