// A message's string body and the accessors of the headers, against memcpy,
// std::string and plain struct copies of the same bytes, measured in the same
// run; the program ends with a table of ratios (case / baseline). No zrecs
// listener is installed.
//
//   StringBody/reused/N: writeItem of a string of N characters into a reused
//                     message, rewind, readItem into a reused string; the
//                     message's buffer and the string's storage are kept, so
//                     after the first iteration nothing is allocated.
//   StringBody/fresh/N: the same with a new message and a new string each
//                     time (the message's buffer and the string's storage
//                     are allocated every iteration).
//   TwoMemcpy/N:      memcpy of N bytes into a reused buffer and out to another.
//   StdStringTwice/N: a std::string copied from another and copied again
//                     (two allocations, two copies).
//   Format/<header>:  setFormat("ZRSTR") then format() (a string of the 8
//                     characters).
//   PlainFormat:      the same on a plain struct: the name copied into an
//                     8-character field and blank padded, the field copied
//                     out into a struct of 9 characters.
//   TextGetters/<class>: every getter of the class that removes trailing
//                     blanks, on fields holding short names followed by blanks
//                     (the KOTA bridge and work information headers have none:
//                     their character getters keep the blanks).
//   PlainFields/<class>: struct copies of the same fields.
//   FieldText/Dlh:    zroi::fieldText of every text field of a dead-letter
//                     header's record (picked from its field table before the
//                     loop): a view of each field in place, trailing blanks
//                     left out where the field's getter removes them; nothing
//                     allocated.
//   PlainFields/DlhTexts: struct copies of the same fields (every text field
//                     of the table, the structure id and format included).
//
// Each message case sets the counter "allocations": zroi's allocations per
// iteration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zrobench.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zrofields.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrostr.hpp"
#include "zroi/zrowih.hpp"

namespace {

std::size_t size(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

void setBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// ---- String body -------------------------------------------------------------

void StringBodyReused(benchmark::State& state)
{
    const std::string text(size(state), 'b');
    ZroStr body(text.c_str()), bodyIn;
    ZroMsg message;
    unsigned char ok = 1;
    const unsigned long before = zroi_test_allocation_count();
    for (auto _ : state) {
        ok &= message.writeItem(body);
        benchmark::ClobberMemory();
        ok &= message.setDataOffset(0);
        ok &= message.readItem(bodyIn);
        benchmark::ClobberMemory();
    }
    countAllocations(state, before, zroi_test_allocation_count());
    if (!ok || bodyIn.length() != text.size()) state.SkipWithError("body write or read failed");
    setBytes(state);
}

void StringBodyFresh(benchmark::State& state)
{
    const std::string text(size(state), 'b');
    ZroStr body(text.c_str());
    unsigned char ok = 1;
    const unsigned long before = zroi_test_allocation_count();
    for (auto _ : state) {
        ZroMsg message;
        ZroStr bodyIn;
        ok &= message.writeItem(body);
        benchmark::ClobberMemory();
        ok &= message.setDataOffset(0);
        ok &= message.readItem(bodyIn);
        benchmark::DoNotOptimize(bodyIn.dataPointer());
        benchmark::ClobberMemory();
    }
    countAllocations(state, before, zroi_test_allocation_count());
    if (!ok) state.SkipWithError("body write or read failed");
    setBytes(state);
}

void TwoMemcpy(benchmark::State& state)
{
    const std::size_t n = size(state);
    std::vector<char> in(n, 'b'), mid(n), out(n);
    for (auto _ : state) {
        std::memcpy(mid.data(), in.data(), n);
        benchmark::ClobberMemory();
        std::memcpy(out.data(), mid.data(), n);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void StdStringTwice(benchmark::State& state)
{
    const std::string in(size(state), 'b');
    for (auto _ : state) {
        std::string mid(in);
        benchmark::ClobberMemory();
        std::string out(mid);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// ---- Accessors ---------------------------------------------------------------

template <class Header> void Format(benchmark::State& state)
{
    Header header;
    for (auto _ : state) {
        header.setFormat("ZRSTR");
        ZroStr format = header.format();
        benchmark::DoNotOptimize(format.dataPointer());
    }
}

// What a plain record would do: the name into the field, blank padded, and
// the field out into a terminated copy.
void PlainFormat(benchmark::State& state)
{
    struct Record {
        char format[8];
    } record;
    struct Text {
        char text[9];
    };
    const char* name = "ZRSTR";
    benchmark::DoNotOptimize(name);
    for (auto _ : state) {
        const std::size_t n = strnlen(name, sizeof record.format);
        std::memcpy(record.format, name, n);
        std::memset(record.format + n, ' ', sizeof record.format - n);
        benchmark::ClobberMemory();
        Text out;
        std::memcpy(out.text, record.format, sizeof record.format);
        out.text[8] = '\0';
        benchmark::DoNotOptimize(out);
    }
}

// Fills a text field with a short name followed by blanks.
void paddedName(char* field, std::size_t width, const char* name)
{
    std::memset(field, ' ', width);
    std::memcpy(field, name, std::min(width, std::strlen(name)));
}

void TextGettersMsg(benchmark::State& state)
{
    ZroMsg message;
    ZRMD& md = message.descriptor();
    paddedName(md.applIdData, sizeof md.applIdData, "APPL.ID");
    paddedName(md.applOriginData, sizeof md.applOriginData, "ORIG");
    paddedName(md.putApplName, sizeof md.putApplName, "bench");
    paddedName(md.putDate, sizeof md.putDate, "20260101");
    paddedName(md.putTime, sizeof md.putTime, "12000000");
    paddedName(md.replyToQueueManagerName, sizeof md.replyToQueueManagerName, "QM1");
    paddedName(md.replyToQueueName, sizeof md.replyToQueueName, "REPLY.QUEUE");
    paddedName(md.userId, sizeof md.userId, "user");
    for (auto _ : state) {
        benchmark::DoNotOptimize(message.applicationIdData().dataPointer());
        benchmark::DoNotOptimize(message.applicationOriginData().dataPointer());
        benchmark::DoNotOptimize(message.putApplicationName().dataPointer());
        benchmark::DoNotOptimize(message.putDate().dataPointer());
        benchmark::DoNotOptimize(message.putTime().dataPointer());
        benchmark::DoNotOptimize(message.replyToQueueManagerName().dataPointer());
        benchmark::DoNotOptimize(message.replyToQueueName().dataPointer());
        benchmark::DoNotOptimize(message.userId().dataPointer());
    }
}

void TextGettersDlh(benchmark::State& state)
{
    ZroDlh header;
    header.setDestinationQueueName("DEAD.QUEUE      ");
    header.setDestinationQueueManagerName("QM1   ");
    header.setPutApplicationName("bench   ");
    header.setPutDate("20260101");
    header.setPutTime("1200    ");
    for (auto _ : state) {
        benchmark::DoNotOptimize(header.destinationQueueName().dataPointer());
        benchmark::DoNotOptimize(header.destinationQueueManagerName().dataPointer());
        benchmark::DoNotOptimize(header.putApplicationName().dataPointer());
        benchmark::DoNotOptimize(header.putDate().dataPointer());
        benchmark::DoNotOptimize(header.putTime().dataPointer());
    }
}

void TextGettersRih(benchmark::State& state)
{
    ZroRih header;
    header.setLogicalTerminalOverride("LT01    ");
    header.setMessageFormatServicesMapName("MAP1    ");
    for (auto _ : state) {
        benchmark::DoNotOptimize(header.logicalTerminalOverride().dataPointer());
        benchmark::DoNotOptimize(header.messageFormatServicesMapName().dataPointer());
    }
}

void TextGettersRfh(benchmark::State& state)
{
    ZroRfh header;
    header.setReferenceType("FILE    ");
    for (auto _ : state) benchmark::DoNotOptimize(header.referenceType().dataPointer());
}

// Struct copies of fields of the given widths: each field copied whole into
// a terminated struct of its own, as a plain record's getter would return it.
void PlainFields(benchmark::State& state, std::vector<unsigned> widths)
{
    struct Text {
        char text[49];
    };
    std::vector<char> record(std::accumulate(widths.begin(), widths.end(), 0u), 'x');
    for (auto _ : state) {
        const char* field = record.data();
        for (unsigned width : widths) {
            Text out;
            std::memcpy(out.text, field, width);
            out.text[width] = '\0';
            benchmark::DoNotOptimize(out);
            field += width;
        }
    }
}

void FieldTextDlh(benchmark::State& state)
{
    ZroDlh header;
    header.setDestinationQueueName("DEAD.QUEUE      ");
    header.setDestinationQueueManagerName("QM1   ");
    header.setPutApplicationName("bench   ");
    header.setPutDate("20260101");
    header.setPutTime("1200    ");
    const ZRDLH& record = header.record();
    // The text fields picked from the table once, as the baseline's widths are.
    std::vector<const zroi::Field*> texts;
    for (const zroi::Field& field : zroi::fields<ZRDLH>())
        if (field.kind == zroi::FieldKind::text) texts.push_back(&field);
    const unsigned long before = zroi_test_allocation_count();
    std::size_t characters = 0;
    for (auto _ : state) {
        for (const zroi::Field* field : texts) {
            const std::string_view text = zroi::fieldText(*field, &record);
            benchmark::DoNotOptimize(text.data());
            characters += text.size();
        }
    }
    benchmark::DoNotOptimize(characters);
    countAllocations(state, before, zroi_test_allocation_count());
}

// The widths of the text fields of R's table, in its order.
template <class R> std::vector<unsigned> textWidths()
{
    std::vector<unsigned> widths;
    for (const zroi::Field& field : zroi::fields<R>())
        if (field.kind == zroi::FieldKind::text) widths.push_back(field.width);
    return widths;
}

constexpr int kSizes[] = {64, 4096, 1 << 20};

BENCHMARK(StringBodyReused)->Name("StringBody/reused")->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(StringBodyFresh)->Name("StringBody/fresh")->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(TwoMemcpy)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(StdStringTwice)->Arg(64)->Arg(4096)->Arg(1 << 20);

BENCHMARK(PlainFormat);
BENCHMARK(Format<ZroDlh>)->Name("Format/Dlh");
BENCHMARK(Format<ZroKih>)->Name("Format/Kih");
BENCHMARK(Format<ZroRfh>)->Name("Format/Rfh");
BENCHMARK(Format<ZroRih>)->Name("Format/Rih");
BENCHMARK(Format<ZroWih>)->Name("Format/Wih");
BENCHMARK(TextGettersMsg)->Name("TextGetters/Msg");
BENCHMARK_CAPTURE(PlainFields, Msg, {32, 4, 28, 8, 8, 48, 48, 12});
BENCHMARK(TextGettersDlh)->Name("TextGetters/Dlh");
BENCHMARK_CAPTURE(PlainFields, Dlh, {48, 48, 28, 8, 8});
BENCHMARK(TextGettersRfh)->Name("TextGetters/Rfh");
BENCHMARK_CAPTURE(PlainFields, Rfh, {8});
BENCHMARK(TextGettersRih)->Name("TextGetters/Rih");
BENCHMARK_CAPTURE(PlainFields, Rih, {8, 8});
BENCHMARK(FieldTextDlh)->Name("FieldText/Dlh");
BENCHMARK_CAPTURE(PlainFields, DlhTexts, textWidths<ZRDLH>());

std::vector<RatioRow> ratioRows()
{
    std::vector<RatioRow> rows;
    for (int n : kSizes) {
        const std::string size = "/" + std::to_string(n);
        rows.push_back({"StringBody/reused" + size, "TwoMemcpy" + size, n == 1 << 20 ? 1.3 : 0});
    }
    for (int n : kSizes) {
        const std::string size = "/" + std::to_string(n);
        rows.push_back({"StringBody/fresh" + size, "TwoMemcpy" + size, 0});
        rows.push_back({"StringBody/fresh" + size, "StdStringTwice" + size, 0});
    }
    for (const char* header : {"Dlh", "Kih", "Rfh", "Rih", "Wih"})
        rows.push_back({std::string("Format/") + header, "PlainFormat", 0});
    for (const char* owner : {"Msg", "Dlh", "Rfh", "Rih"})
        rows.push_back(
            {std::string("TextGetters/") + owner, std::string("PlainFields/") + owner, 0});
    rows.push_back({"FieldText/Dlh", "PlainFields/DlhTexts", 1.5});
    return rows;
}

} // namespace

int main(int argc, char** argv) { return runWithRatios(argc, argv, ratioRows()); }
