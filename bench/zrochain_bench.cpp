// Headers written in front of a message's data and read back, against
// memmove of the same bytes, measured in the same run; the program ends with
// a table of ratios (case / baseline). No zrecs listener is installed.
//
//   Chain/N:        a string body of N bytes, then a work information, an RPX
//                   bridge and a dead-letter header written innermost first
//                   into a reused message; rewound; the three headers read
//                   outermost first and the body read last.
//   MemmoveOnce/N:  the same finished message (376 header bytes and the body)
//                   built with one memmove per piece and taken apart again:
//                   each byte written once and read once.
//   MemmoveInFront/N: the same moves the header protocol makes by hand: the
//                   body written, and for each header all data moved up and
//                   the record put in front; then read as above.
//   OneHeaderInFront/N: one dead-letter header put in front of N bytes held
//                   by a reused message with room for both (data offset at
//                   the end, as after writing the data).
//   OneMemmove/N:   one memmove of N bytes up by 172 within one buffer.
//
// The chain holds the three fixed-length headers only; the reference header,
// which puts its variable-length record together in storage of its own
// before it goes in front, is not measured here.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "zrobench.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrostr.hpp"
#include "zroi/zrowih.hpp"

namespace {

constexpr unsigned kHeaders = ZRWIH_LENGTH + ZRRIH_LENGTH + ZRDLH_LENGTH;

void Chain(benchmark::State& state)
{
    const auto n = static_cast<unsigned>(state.range(0));
    const std::string text(n, 'b');
    ZroStr body(text.c_str());
    ZroWih wih;
    ZroRih rih;
    ZroDlh dlh;
    wih.setServiceName("BENCH.SERVICE");
    dlh.setDestinationQueueName("BENCH.QUEUE");
    ZroWih wihIn;
    ZroRih rihIn;
    ZroDlh dlhIn;
    ZroStr bodyIn;
    ZroMsg message;
    message.resizeBuffer(n + kHeaders);
    unsigned char ok = 1;
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
    if (!ok || bodyIn.length() != n) state.SkipWithError("writing or reading the chain failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The pieces of the chain as plain bytes, and where they are read to.
struct Pieces {
    explicit Pieces(std::size_t n)
        : body(n, 'b'), message(n + kHeaders), bodyOut(n), wih(ZRWIH_LENGTH, 'w'),
          rih(ZRRIH_LENGTH, 'r'), dlh(ZRDLH_LENGTH, 'd'), wihOut(ZRWIH_LENGTH),
          rihOut(ZRRIH_LENGTH), dlhOut(ZRDLH_LENGTH)
    {
    }

    // Outermost first, as a reader takes them.
    void readBack()
    {
        const char* at = message.data();
        std::memmove(dlhOut.data(), at, ZRDLH_LENGTH);
        std::memmove(rihOut.data(), at + ZRDLH_LENGTH, ZRRIH_LENGTH);
        std::memmove(wihOut.data(), at + ZRDLH_LENGTH + ZRRIH_LENGTH, ZRWIH_LENGTH);
        std::memmove(bodyOut.data(), at + kHeaders, body.size());
    }

    std::vector<char> body, message, bodyOut;
    std::vector<char> wih, rih, dlh, wihOut, rihOut, dlhOut;
};

void MemmoveOnce(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    Pieces p(n);
    for (auto _ : state) {
        char* at = p.message.data();
        std::memmove(at + kHeaders, p.body.data(), n);
        std::memmove(at + ZRDLH_LENGTH + ZRRIH_LENGTH, p.wih.data(), ZRWIH_LENGTH);
        std::memmove(at + ZRDLH_LENGTH, p.rih.data(), ZRRIH_LENGTH);
        std::memmove(at, p.dlh.data(), ZRDLH_LENGTH);
        benchmark::ClobberMemory();
        p.readBack();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void MemmoveInFront(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    Pieces p(n);
    for (auto _ : state) {
        char* at = p.message.data();
        std::size_t held = n;
        std::memmove(at, p.body.data(), n);
        for (const std::vector<char>* header : {&p.wih, &p.rih, &p.dlh}) {
            std::memmove(at + header->size(), at, held);
            std::memmove(at, header->data(), header->size());
            held += header->size();
        }
        benchmark::ClobberMemory();
        p.readBack();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OneHeaderInFront(benchmark::State& state)
{
    const auto n = static_cast<unsigned>(state.range(0));
    const std::string data(n, 'd');
    ZroMsg message;
    message.resizeBuffer(n + ZRDLH_LENGTH);
    message.write(n, data.data());
    ZroDlh dlh;
    unsigned char ok = 1;
    for (auto _ : state) {
        // Back to N bytes of data with the offset at their end; the buffer
        // stays, so nothing is allocated or copied here.
        ok &= message.setMessageLength(n);
        ok &= message.setDataOffset(n);
        ok &= dlh.copyOut(message);
        benchmark::ClobberMemory();
    }
    if (!ok || message.messageLength() != n + ZRDLH_LENGTH) state.SkipWithError("copyOut failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OneMemmove(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<char> buffer(n + ZRDLH_LENGTH, 'd');
    for (auto _ : state) {
        std::memmove(buffer.data() + ZRDLH_LENGTH, buffer.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(MemmoveOnce)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(MemmoveInFront)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(Chain)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(OneMemmove)->Arg(1 << 20);
BENCHMARK(OneHeaderInFront)->Arg(1 << 20);

} // namespace

int main(int argc, char** argv)
{
    return runWithRatios(argc, argv,
                         {
                             {"Chain/64", "MemmoveOnce/64", 0},
                             {"Chain/4096", "MemmoveOnce/4096", 0},
                             {"Chain/1048576", "MemmoveOnce/1048576", 0},
                             {"Chain/64", "MemmoveInFront/64", 0},
                             {"Chain/4096", "MemmoveInFront/4096", 0},
                             {"Chain/1048576", "MemmoveInFront/1048576", 0},
                             {"OneHeaderInFront/1048576", "OneMemmove/1048576", 1.5},
                         });
}
