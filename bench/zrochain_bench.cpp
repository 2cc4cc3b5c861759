// Headers written in front of a message's data and read back, against
// memcpy/memmove of the same bytes, measured in the same run; the program
// ends with a table of ratios (case / baseline). No zrecs listener is
// installed.
//
//   Chain/reused/N: a string body of N bytes, then a work information header
//                   (120 bytes), a reference header with four 16-byte texts
//                   (172) and a dead-letter header (172) written innermost
//                   first into a reused message; rewound; the three headers
//                   read outermost first and the body read last, into items
//                   that are reused too.
//   Chain/fresh/N:  the same into a new message, read into new items.
//   MemmoveOnce/rfh/N: the same finished message (464 header bytes and the
//                   body) laid out by hand with one memmove per piece and
//                   taken apart again: each byte written once and read once.
//   MemmoveInFront/rfh/N: the moves the header protocol makes, by hand: the
//                   body written, and for each header all data moved up and
//                   the record put in front; then read as above.
//   Chain/rih/N:    the chain of the earlier header benchmark, an RPX bridge
//                   header (84 bytes) in the place of the reference header,
//                   reused message and items; baselines .../rih/N.
//   OneHeaderInFront/room/N: one dead-letter header put in front of N bytes
//                   held by a reused message with room for both (data offset
//                   at the end, as after writing the data).
//   OneMemmove/N:   one memmove of N bytes up by 172 within one buffer.
//   OneHeaderInFront/growth/N: the same into a message whose buffer holds
//                   exactly the N bytes, so that it must grow (setting the
//                   message up again is not timed).
//   GrowInPlace/N:  what that takes by hand: a buffer of 2N allocated, the N
//                   bytes copied behind the header's place, the header
//                   copied in front, the old buffer released.
//
// Each case of the library sets the counter "allocations": zroi's
// allocations per iteration.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zrobench.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrostr.hpp"
#include "zroi/zrowih.hpp"

namespace {

// The reference header as the chain writes it: the fixed part and four texts.
constexpr unsigned kText = 16;
constexpr unsigned kRfhLength = ZRRMH_FIXED_LENGTH + 4 * kText;
constexpr unsigned kHeaders = ZRWIH_LENGTH + kRfhLength + ZRDLH_LENGTH;
constexpr unsigned kSizes[] = {64, 4096, 1 << 20};

void setBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The items an application writes, set up once.
struct Writers {
    explicit Writers(unsigned n) : text(n, 'b'), body(text.c_str())
    {
        wih.setServiceName("BENCH.SERVICE");
        rfh.setReferenceType("FILE");
        rfh.setSourceEnvironment("source.env.16.by");
        rfh.setSourceName("source.name.16.b");
        rfh.setDestinationEnvironment("dest.env.16.byte");
        rfh.setDestinationName("dest.name.16.byt");
        dlh.setDestinationQueueName("BENCH.QUEUE");
    }

    unsigned char write(ZroMsg& message)
    {
        unsigned char ok = message.writeItem(body);
        ok &= message.writeItem(wih);
        ok &= message.writeItem(rfh);
        ok &= message.writeItem(dlh);
        return ok;
    }

    std::string text;
    ZroStr body;
    ZroWih wih;
    ZroRfh rfh;
    ZroDlh dlh;
};

// The items the message is read back into.
struct Readers {
    unsigned char read(ZroMsg& message)
    {
        unsigned char ok = message.setDataOffset(0);
        ok &= message.readItem(dlh);
        ok &= message.readItem(rfh);
        ok &= message.readItem(wih);
        ok &= message.readItem(body);
        return ok;
    }

    ZroDlh dlh;
    ZroRfh rfh;
    ZroWih wih;
    ZroStr body;
};

void ChainReused(benchmark::State& state)
{
    const auto n = static_cast<unsigned>(state.range(0));
    Writers writers(n);
    Readers readers;
    ZroMsg message;
    unsigned char ok = 1;
    // The first iteration sizes the buffer and the storage; the count starts
    // with it, so a reused message shows (almost) nothing but what every
    // iteration needs.
    const unsigned long before = zroi_test_allocation_count();
    for (auto _ : state) {
        message.clearMessage();
        ok &= writers.write(message);
        benchmark::ClobberMemory();
        ok &= readers.read(message);
        benchmark::ClobberMemory();
    }
    countAllocations(state, before, zroi_test_allocation_count());
    if (!ok || message.messageLength() != n + kHeaders || readers.body.length() != n)
        state.SkipWithError("writing or reading the chain failed");
    setBytes(state);
}

void ChainFresh(benchmark::State& state)
{
    const auto n = static_cast<unsigned>(state.range(0));
    Writers writers(n);
    unsigned char ok = 1;
    const unsigned long before = zroi_test_allocation_count();
    for (auto _ : state) {
        ZroMsg message;
        ok &= writers.write(message);
        benchmark::ClobberMemory();
        Readers readers;
        ok &= readers.read(message);
        benchmark::DoNotOptimize(readers.body.dataPointer());
        benchmark::ClobberMemory();
    }
    countAllocations(state, before, zroi_test_allocation_count());
    if (!ok) state.SkipWithError("writing or reading the chain failed");
    setBytes(state);
}

// The pieces of a chain of three headers as plain bytes, and where they are
// read to; the lengths are those of the headers, innermost first, known at
// compile time as a record's size is.
template <unsigned L0, unsigned L1, unsigned L2> struct Pieces {
    static constexpr unsigned kAll = L0 + L1 + L2;

    explicit Pieces(std::size_t n)
        : body(n, 'b'), message(n + kAll), bodyOut(n), r0(L0, '0'), r1(L1, '1'), r2(L2, '2'),
          o0(L0), o1(L1), o2(L2)
    {
    }

    // Innermost last, each piece where it belongs: every byte written once.
    void layOut()
    {
        char* at = message.data();
        std::memmove(at + kAll, body.data(), body.size());
        std::memmove(at + L2 + L1, r0.data(), L0);
        std::memmove(at + L2, r1.data(), L1);
        std::memmove(at, r2.data(), L2);
    }

    // The moves the header protocol makes: the body first, then each header
    // in front of everything held.
    void inFront()
    {
        char* at = message.data();
        std::size_t held = body.size();
        std::memmove(at, body.data(), held);
        std::memmove(at + L0, at, held);
        std::memmove(at, r0.data(), L0);
        held += L0;
        std::memmove(at + L1, at, held);
        std::memmove(at, r1.data(), L1);
        held += L1;
        std::memmove(at + L2, at, held);
        std::memmove(at, r2.data(), L2);
    }

    // Outermost first, as a reader takes them.
    void readBack()
    {
        const char* at = message.data();
        std::memmove(o2.data(), at, L2);
        std::memmove(o1.data(), at + L2, L1);
        std::memmove(o0.data(), at + L2 + L1, L0);
        std::memmove(bodyOut.data(), at + kAll, body.size());
    }

    std::vector<char> body, message, bodyOut, r0, r1, r2, o0, o1, o2;
};

using RfhPieces = Pieces<ZRWIH_LENGTH, kRfhLength, ZRDLH_LENGTH>;
using RihPieces = Pieces<ZRWIH_LENGTH, ZRRIH_LENGTH, ZRDLH_LENGTH>;

template <class P> void MemmoveOnce(benchmark::State& state)
{
    P p(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        p.layOut();
        benchmark::ClobberMemory();
        p.readBack();
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

template <class P> void MemmoveInFront(benchmark::State& state)
{
    P p(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        p.inFront();
        benchmark::ClobberMemory();
        p.readBack();
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// The chain of the earlier header benchmark: an RPX bridge header (84 bytes)
// in the place of the reference header, written into a reused message and
// read back into reused items.
void ChainRih(benchmark::State& state)
{
    const auto n = static_cast<unsigned>(state.range(0));
    const std::string text(n, 'b');
    ZroStr body(text.c_str()), bodyIn;
    ZroWih wih, wihIn;
    ZroRih rih, rihIn;
    ZroDlh dlh, dlhIn;
    wih.setServiceName("BENCH.SERVICE");
    dlh.setDestinationQueueName("BENCH.QUEUE");
    ZroMsg message;
    unsigned char ok = 1;
    const unsigned long before = zroi_test_allocation_count();
    for (auto _ : state) {
        ok &= message.writeItem(body);
        ok &= message.writeItem(wih);
        ok &= message.writeItem(rih);
        ok &= message.writeItem(dlh);
        benchmark::ClobberMemory();
        ok &= message.setDataOffset(0);
        ok &= message.readItem(dlhIn);
        ok &= message.readItem(rihIn);
        ok &= message.readItem(wihIn);
        ok &= message.readItem(bodyIn);
        benchmark::ClobberMemory();
    }
    countAllocations(state, before, zroi_test_allocation_count());
    if (!ok || bodyIn.length() != n) state.SkipWithError("writing or reading the chain failed");
    setBytes(state);
}

void OneHeaderInFrontRoom(benchmark::State& state)
{
    const auto n = static_cast<unsigned>(state.range(0));
    const std::string data(n, 'd');
    ZroMsg message;
    message.resizeBuffer(n + ZRDLH_LENGTH);
    message.write(n, data.data());
    ZroDlh dlh;
    unsigned char ok = 1;
    const unsigned long before = zroi_test_allocation_count();
    for (auto _ : state) {
        // Back to N bytes of data with the offset at their end; the buffer
        // stays, so nothing is allocated or copied here.
        ok &= message.setMessageLength(n);
        ok &= message.setDataOffset(n);
        ok &= dlh.copyOut(message);
        benchmark::ClobberMemory();
    }
    countAllocations(state, before, zroi_test_allocation_count());
    if (!ok || message.messageLength() != n + ZRDLH_LENGTH) state.SkipWithError("copyOut failed");
    setBytes(state);
}

void OneMemmove(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<char> buffer(n + ZRDLH_LENGTH, 'd');
    for (auto _ : state) {
        std::memmove(buffer.data() + ZRDLH_LENGTH, buffer.data(), n);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void OneHeaderInFrontGrowth(benchmark::State& state)
{
    const auto n = static_cast<unsigned>(state.range(0));
    const std::string data(n, 'd');
    ZroMsg message;
    ZroDlh dlh;
    unsigned char ok = 1;
    unsigned long allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        message.resizeBuffer(0);
        ok &= message.write(n, data.data()); // a buffer of exactly n bytes
        const unsigned long before = zroi_test_allocation_count();
        state.ResumeTiming();
        ok &= dlh.copyOut(message);
        benchmark::ClobberMemory();
        allocations += zroi_test_allocation_count() - before;
    }
    countAllocations(state, 0, allocations);
    if (!ok || message.messageLength() != n + ZRDLH_LENGTH) state.SkipWithError("copyOut failed");
    setBytes(state);
}

void GrowInPlace(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<char> data(n, 'd'), header(ZRDLH_LENGTH, 'h');
    for (auto _ : state) {
        state.PauseTiming();
        char* old = static_cast<char*>(std::malloc(n));
        if (old == nullptr) break;
        std::memcpy(old, data.data(), n);
        state.ResumeTiming();
        char* fresh = static_cast<char*>(std::malloc(2 * n));
        if (fresh == nullptr) break;
        std::memcpy(fresh + ZRDLH_LENGTH, old, n);
        std::memcpy(fresh, header.data(), ZRDLH_LENGTH);
        std::free(old);
        benchmark::DoNotOptimize(fresh);
        benchmark::ClobberMemory();
        state.PauseTiming();
        std::free(fresh);
        state.ResumeTiming();
    }
    setBytes(state);
}

#define CHAIN_SIZES Arg(64)->Arg(4096)->Arg(1 << 20)
BENCHMARK(MemmoveOnce<RfhPieces>)->Name("MemmoveOnce/rfh")->CHAIN_SIZES;
BENCHMARK(MemmoveInFront<RfhPieces>)->Name("MemmoveInFront/rfh")->CHAIN_SIZES;
BENCHMARK(ChainReused)->Name("Chain/reused")->CHAIN_SIZES;
BENCHMARK(ChainFresh)->Name("Chain/fresh")->CHAIN_SIZES;
BENCHMARK(MemmoveOnce<RihPieces>)->Name("MemmoveOnce/rih")->CHAIN_SIZES;
BENCHMARK(MemmoveInFront<RihPieces>)->Name("MemmoveInFront/rih")->CHAIN_SIZES;
BENCHMARK(ChainRih)->Name("Chain/rih")->CHAIN_SIZES;
BENCHMARK(OneMemmove)->Arg(1 << 20);
BENCHMARK(OneHeaderInFrontRoom)->Name("OneHeaderInFront/room")->Arg(1 << 20);
BENCHMARK(GrowInPlace)->Arg(1 << 20);
BENCHMARK(OneHeaderInFrontGrowth)->Name("OneHeaderInFront/growth")->Arg(1 << 20);

std::vector<RatioRow> ratioRows()
{
    std::vector<RatioRow> rows;
    struct Pair {
        const char* chain;
        const char* layout;
    };
    for (Pair pair :
         {Pair{"Chain/reused/", "rfh/"}, Pair{"Chain/fresh/", "rfh/"}, Pair{"Chain/rih/", "rih/"}})
        for (const char* baseline : {"MemmoveOnce/", "MemmoveInFront/"})
            for (unsigned n : kSizes) {
                const std::string size = std::to_string(n);
                // The target: the reused chain on 64 bytes against the bytes
                // laid out by hand.
                const bool target = std::strcmp(pair.chain, "Chain/reused/") == 0 &&
                                    std::strcmp(baseline, "MemmoveOnce/") == 0 && n == 64;
                rows.push_back({pair.chain + size, std::string(baseline) + pair.layout + size,
                                target ? 15.0 : 0});
            }
    rows.push_back({"OneHeaderInFront/room/1048576", "OneMemmove/1048576", 1.5});
    rows.push_back({"OneHeaderInFront/growth/1048576", "GrowInPlace/1048576", 0});
    rows.push_back({"OneHeaderInFront/growth/1048576", "OneMemmove/1048576", 0});
    return rows;
}

} // namespace

int main(int argc, char** argv) { return runWithRatios(argc, argv, ratioRows()); }
