// ZroCac write and read against plain memcpy of the same bytes, measured in
// the same run; the program ends with a table of ratios (case / baseline).
//
//   WriteRead: write n bytes into a reused cache, rewind, read them out again;
//              baseline TwoMemcpy copies them into a reused buffer and out.
//   Write:     write n bytes into a reused (emptied) cache; baseline OneMemcpy.
// Each cache case runs quiet (no zrecs listener) and with a listener that
// does nothing, which sends every operation down its traced path.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "zrecs/zrecs.h"
#include "zrobench.hpp"
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

} // namespace

int main(int argc, char** argv)
{
    return runWithRatios(argc, argv,
                         {
                             {"Write/quiet/64", "OneMemcpy/64", 4.0},
                             {"Write/listener/64", "OneMemcpy/64", 0},
                             {"WriteRead/quiet/64", "TwoMemcpy/64", 0},
                             {"WriteRead/quiet/4096", "TwoMemcpy/4096", 0},
                             {"WriteRead/quiet/1048576", "TwoMemcpy/1048576", 1.2},
                             {"WriteRead/listener/64", "TwoMemcpy/64", 0},
                             {"WriteRead/listener/4096", "TwoMemcpy/4096", 0},
                             {"WriteRead/listener/1048576", "TwoMemcpy/1048576", 0},
                         });
}
