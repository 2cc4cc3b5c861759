// Conversion of a message from another platform into native form, against
// memcpy of the same bytes, measured in the same run; the program ends with
// a table of ratios (case / baseline). No zrecs listener is installed.
// Targets and why: bench/README.md.
//
//   ToNative/<set>/N: a reused message gets the foreign bytes back (one
//                  memcpy into its buffer, the descriptor's encoding and
//                  character set set again), then ZroCnv::convert turns them
//                  into encoding 546, character set 0. The data is a
//                  dead-letter header (172 bytes), a reference header with
//                  four 16-character texts (172) and a work information
//                  header (120) in front of a string body of N characters,
//                  in normal byte order and EBCDIC: character set 273 or 500.
//                  The converter is reused, so after the first iteration
//                  nothing is allocated.
//   TwoMemcpy/N:   two memcpy of the same number of bytes (the chain's 464
//                  header bytes and the body) into reused buffers: the
//                  restoring copy of the case and one more.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zrobench.hpp"
#include "zroi/zroi.hpp"

namespace {

constexpr std::size_t kHeaderBytes = 172 + 172 + 120;

std::size_t size(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

/// The chain in the given form: its bytes.
std::vector<char> foreignChain(std::size_t body, int32_t ccsid)
{
    std::string text;
    while (text.size() < body) text += "Order 4711 shipped to Hamburg; invoice follows. ";
    text.resize(body);
    ZroMsg message;
    ZroStr item(text.c_str());
    ZroWih work;
    work.setServiceName("billing");
    ZroRfh reference;
    reference.setSourceEnvironment("SOURCE.ENV.0001");
    reference.setSourceName("SOURCE.NAME.0001");
    reference.setDestinationEnvironment("DEST.ENV.000001");
    reference.setDestinationName("DEST.NAME.000001");
    ZroDlh dead;
    dead.setDestinationQueueName("BILLING.IN");
    message.writeItem(item);
    message.writeItem(work);
    message.writeItem(reference);
    message.writeItem(dead);
    message.setDataOffset(0);
    ZroCnv converter;
    if (!converter.convert(message, 273, ccsid)) return {};
    return std::vector<char>(message.bufferPointer(),
                             message.bufferPointer() + message.messageLength());
}

void ToNative(benchmark::State& state, int32_t ccsid)
{
    const std::vector<char> foreign = foreignChain(size(state), ccsid);
    ZroMsg message;
    message.write(static_cast<unsigned>(foreign.size()), foreign.data());
    message.setDataOffset(0);
    message.setFormat(ZRFMT_DEAD_LETTER_HEADER);
    ZroCnv converter;
    unsigned char ok = foreign.empty() ? 0 : 1;
    const unsigned long before = zroi_test_allocation_count();
    for (auto _ : state) {
        std::memcpy(message.bufferPointer(), foreign.data(), foreign.size());
        message.setEncoding(273);
        message.setCharacterSet(ccsid);
        benchmark::ClobberMemory();
        ok &= converter.convert(message, ZRENC_NATIVE, 0);
        benchmark::ClobberMemory();
    }
    countAllocations(state, before, zroi_test_allocation_count());
    ZroDlh dead;
    if (!ok || !message.readItem(dead) || converter.completionCode() != 0)
        state.SkipWithError("conversion failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(foreign.size()));
}

void TwoMemcpy(benchmark::State& state)
{
    const std::size_t n = size(state) + kHeaderBytes;
    std::vector<char> in(n, 'b'), mid(n), out(n);
    for (auto _ : state) {
        std::memcpy(mid.data(), in.data(), n);
        benchmark::ClobberMemory();
        std::memcpy(out.data(), mid.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

} // namespace

BENCHMARK_CAPTURE(ToNative, 273, 273)->Name("ToNative/273")->Arg(1024)->Arg(1 << 20);
BENCHMARK_CAPTURE(ToNative, 500, 500)->Name("ToNative/500")->Arg(1024)->Arg(1 << 20);
BENCHMARK(TwoMemcpy)->Arg(1024)->Arg(1 << 20);

int main(int argc, char** argv)
{
    return runWithRatios(argc, argv,
                         {
                             {"ToNative/273/1024", "TwoMemcpy/1024", 40.0},
                             {"ToNative/500/1024", "TwoMemcpy/1024", 40.0},
                             {"ToNative/273/1048576", "TwoMemcpy/1048576", 10.0},
                             {"ToNative/500/1048576", "TwoMemcpy/1048576", 10.0},
                         });
}
