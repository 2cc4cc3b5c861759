// The header protocol, once for every header class: a new header's bytes,
// writing in front of data (each write as zrecs sees it) and reading back,
// chains, copies, the format handed on, and every refusal of pasteIn.
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zrofields.hpp"
#include "zroi/zrogmo.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrowih.hpp"
#include "zrotest.hpp"

namespace {

// A record image built field by field; bytes not named stay `fill`.
struct Image {
    std::string bytes;
    explicit Image(unsigned length, char fill = '\0') : bytes(length, fill) {}
    Image& chars(unsigned at, const std::string& text)
    {
        bytes.replace(at, text.size(), text);
        return *this;
    }
    Image& blanks(unsigned at, unsigned count) { return chars(at, std::string(count, ' ')); }
    Image& i32(unsigned at, int32_t value)
    {
        std::memcpy(&bytes[at], &value, 4);
        return *this;
    }
};

struct Facts {
    const char* strucId;
    const char* format;
    std::string name;  // as in its texts
    unsigned length;   // of its record (the fixed part for ZroRfh)
    unsigned function; // of pasteIn's texts and frame
    bool traced;       // pasteIn writes entry and exit records
    std::string fresh; // what a new header writes into a new message
};

template <class H> Facts factsOf();
template <> Facts factsOf<ZroDlh>()
{
    return {"DLH ",
            "ZRDEAD  ",
            "ZroDeadLetterHeader",
            172,
            10,
            true,
            Image(172).chars(0, "DLH ").i32(4, 1).i32(108, 546).blanks(116, 8).bytes};
}
template <> Facts factsOf<ZroRih>()
{
    Image image(84);
    image.chars(0, "RIH ").i32(4, 1).i32(8, 84).i32(12, 546).blanks(20, 8).blanks(32, 32);
    return {"RIH ", "ZRRPX   ", "ZroRPXBridgeHeader", 84, 65, true, image.chars(80, " 0C ").bytes};
}
template <> Facts factsOf<ZroWih>()
{
    Image image(120);
    image.chars(0, "WIH ").i32(4, 1).i32(8, 120).i32(12, 546).blanks(20, 8).blanks(32, 40);
    return {"WIH ", "ZRHWIH  ", "ZroWorkHeader", 120, 77, false, image.bytes};
}
template <> Facts factsOf<ZroKih>()
{
    Image image(180, ' ');
    image.chars(0, "KIH ").i32(4, 2).i32(8, 180).i32(12, 546);
    for (unsigned at = 16; at <= 72; at += 4)
        if (at != 20 && at != 24) image.i32(at, 0);
    image.i32(44, 273).i32(48, -2).i32(52, 1).i32(56, -1).chars(76, std::string(8, '\0'));
    for (unsigned at = 164; at < 180; at += 4) image.i32(at, 0);
    return {"KIH ", "ZRKOTA  ", "ZroKOTABridgeHeader", 180, 60, true, image.bytes};
}
template <> Facts factsOf<ZroRfh>()
{
    Image image(108);
    image.chars(0, "RMH ").i32(4, 1).i32(8, 108).i32(12, 546).blanks(20, 8).i32(28, 1);
    for (unsigned part = 0; part < 4; ++part) image.i32(64 + 8 * part + 4, 108);
    return {"RMH ", "ZRHREF  ", "ZroReferenceHeader", 108, 41, false, image.bytes};
}

// A header with every text field but the structure id and format holding
// its own name, every binary field bytes 1, 2, ... (a reference header has
// a source name as well).
template <class H> H filled()
{
    H header;
    char* record = const_cast<char*>(reinterpret_cast<const char*>(&header.record()));
    for (const zroi::Field& f : zroi::fields<H>()) {
        const std::string name = f.name;
        for (unsigned i = 0; i < f.width; ++i) {
            if (f.kind == zroi::FieldKind::binary) record[f.offset + i] = static_cast<char>(i + 1);
            if (f.kind == zroi::FieldKind::text && name != "strucId" && name != "format")
                record[f.offset + i] = i < name.size() ? name[i] : ' ';
        }
    }
    if constexpr (std::is_same<H, ZroRfh>::value) header.setSourceName("source name");
    return header;
}

// A message as a get leaves it: `prefix` bytes 'x', then `length` bytes, in
// a user buffer of exactly that size (a read past it is caught under
// AddressSanitizer), the data offset behind the prefix, encoding 546.
class Received {
public:
    Received(const void* bytes, unsigned length, const char* format, unsigned prefix = 5)
        : storage_(new char[prefix + length])
    {
        std::memset(storage_.get(), 'x', prefix);
        if (length != 0) std::memcpy(storage_.get() + prefix, bytes, length);
        message.useFullBuffer(storage_.get(), prefix + length);
        message.setDataOffset(prefix);
        message.setFormat(format);
    }

private:
    std::unique_ptr<char[]> storage_; // declared first: it outlives the message

public:
    ZroMsg message;
};

// How a message or header describes the data: format|encoding|character set.
template <class T> std::string described(const T& o)
{
    return std::string(o.format().dataPointer()) + "|" + std::to_string(o.encoding()) + "|" +
           std::to_string(o.characterSet());
}

// A message's description, cursor, length and codes.
std::string state(const ZroMsg& m)
{
    return described(m) + "|" + std::to_string(m.dataOffset()) + "|" +
           std::to_string(m.messageLength()) + "|" + std::to_string(m.completionCode()) + "/" +
           std::to_string(m.reasonCode());
}

std::string dataOf(const ZroMsg& m) { return std::string(m.bufferPointer(), m.messageLength()); }

// The bytes `header` writes into a message described as it is.
std::string written(ZroHdr& header)
{
    ZroMsg message;
    message.setFormat(header.format().dataPointer());
    message.setEncoding(header.encoding());
    message.setCharacterSet(header.characterSet());
    EXPECT_EQ(header.copyOut(message), 1);
    return std::string(message.bufferPointer(), message.messageLength());
}

template <class H> std::string recordBytes(const H& header)
{
    return std::string(reinterpret_cast<const char*>(&header.record()), sizeof header.record());
}

// A header whose record differs from a new one's, to show that a failed
// pasteIn leaves it alone.
template <class H> H target()
{
    H header;
    header.setFormat("BEFORE");
    header.setCharacterSet(4321);
    return header;
}

template <class H> class ZroHeaderTest : public ZroTest {
protected:
    const Facts facts = factsOf<H>();

    // pasteIn fails with 2/`reason` and exactly its texts and frame; the
    // record and the message (but for the cache's own 6114) are unchanged.
    void expectRefused(H& header, ZroMsg& message, int32_t reason)
    {
        const std::string record = recordBytes(header), before = state(message);
        this->clearEvents();
        EXPECT_EQ(header.pasteIn(message), 0);
        this->expectCodes(header, ZRCC_FAILED, reason);
        const std::string failed = facts.name + "::pasteIn (error): wrong ";
        std::vector<std::string> texts = {failed + "message format"};
        std::vector<unsigned> functions = {facts.function};
        if (reason == ZRRC_STRUC_ID_ERROR) {
            texts = {"ZroItem::structureIdIs (information): structure id is not equal",
                     failed + "structure id"};
            functions = {12, facts.function};
        } else if (reason == ZRRC_ENCODING_ERROR) {
            texts = {failed + "message encoding"};
        } else if (reason == ZRRC_INSUFFICIENT_DATA) {
            texts = {"ZroCache::read (error): insufficient data"};
            functions = {4};
        }
        EXPECT_EQ(this->texts(), texts);
        EXPECT_EQ(this->textFunctions(), functions);
        if (facts.traced) this->expectFrame(facts.function, static_cast<unsigned>(reason));
        for (const std::string& r : this->records())
            EXPECT_TRUE(facts.traced || r != "entry " + std::to_string(facts.function)) << r;
        EXPECT_EQ(recordBytes(header), record);
        EXPECT_EQ(state(message), reason != ZRRC_INSUFFICIENT_DATA
                                      ? before
                                      : before.substr(0, before.rfind('|') + 1) + "2/6114");
    }
};

template <class H> class ZroFixedHeaderTest : public ZroHeaderTest<H> {
};
using AllHeaders = ::testing::Types<ZroDlh, ZroKih, ZroRfh, ZroRih, ZroWih>;
using FixedHeaders = ::testing::Types<ZroDlh, ZroRih, ZroWih>;
TYPED_TEST_SUITE(ZroHeaderTest, AllHeaders);
TYPED_TEST_SUITE(ZroFixedHeaderTest, FixedHeaders);

// A header of the application's own that names the data behind it its own way.
template <class H> class Renaming : public H {
public:
    ZroStr format() const override { return ZroStr("APPFMT"); }
};

} // namespace

TYPED_TEST(ZroHeaderTest, NewHeaderInANewMessage)
{
    TypeParam header;
    ZroMsg message;
    EXPECT_EQ(described(header), "        |546|0");
    this->clearEvents();
    ASSERT_EQ(message.writeItem(header), 1);
    this->expectNoText();
    for (const std::string& record : this->records())
        EXPECT_NE(record, "entry " + std::to_string(this->facts.function)) << "copyOut is untraced";
    this->expectCodes(header, 0, 0);
    EXPECT_EQ(std::string(message.bufferPointer(), message.messageLength()), this->facts.fresh);
    EXPECT_EQ(state(message), std::string(this->facts.format) + "|546|0|" +
                                  std::to_string(this->facts.length) + "|" +
                                  std::to_string(this->facts.length) + "|0/0");
    // Through ZroHdr: a format is blank padded, cut at 8, blank without a name.
    ZroHdr& h = header;
    h.setHeaderFlags(0x5A5A);
    EXPECT_EQ(h.headerFlags(), 0x5A5A);
    h.setFormat("LONGER THAN 8");
    EXPECT_STREQ(h.format().dataPointer(), "LONGER T");
    h.setFormat(nullptr);
    EXPECT_STREQ(h.format().dataPointer(), "        ");
}

TYPED_TEST(ZroHeaderTest, ChainWrittenInFrontAndReadOutermostFirst)
{
    const Facts& facts = this->facts;
    ZroMsg message;
    ZroStr body("body"), text;
    TypeParam inner = filled<TypeParam>(), outer, first, second;
    ASSERT_EQ(message.writeItem(body), 1);
    message.setEncoding(785);
    message.setCharacterSet(500);
    ASSERT_EQ(message.writeItem(inner), 1);
    ASSERT_EQ(message.writeItem(outer), 1);
    // Each header takes the description of what follows it.
    EXPECT_EQ(described(inner), "ZRSTR   |785|500");
    EXPECT_EQ(described(outer), std::string(facts.format) + "|546|0");
    const std::string innerBytes = written(inner), outerBytes = written(outer);
    const std::string total = std::to_string(outerBytes.size() + innerBytes.size() + 4);
    EXPECT_EQ(dataOf(message), outerBytes + innerBytes + "body");
    EXPECT_EQ(state(message), std::string(facts.format) + "|546|0|" + total + "|" + total + "|0/0");

    // Nothing at the end of the data; the body is not outermost.
    EXPECT_EQ(message.readItem(first), 0);
    this->expectCodes(first, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    message.setDataOffset(0);
    this->clearEvents();
    EXPECT_EQ(message.readItem(text), 0);
    this->expectOnlyText(45, "ZroString::pasteIn (error): wrong message format");
    // A later success keeps the sticky code, and a traced exit record carries it.
    this->clearEvents();
    ASSERT_EQ(message.readItem(first), 1);
    this->expectNoText();
    if (facts.traced) this->expectFrame(facts.function, ZRRC_STRUC_ID_ERROR);
    this->expectCodes(first, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    EXPECT_EQ(state(message), std::string(facts.format) + "|546|0|" +
                                  std::to_string(outerBytes.size()) + "|" + total + "|2/6107");
    this->clearEvents();
    ASSERT_EQ(message.readItem(second), 1);
    if (facts.traced) this->expectFrame(facts.function, 0);
    EXPECT_EQ(state(message),
              "ZRSTR   |785|500|" + std::to_string(std::stoul(total) - 4) + "|" + total + "|0/0");
    EXPECT_EQ(written(second), innerBytes);
    ASSERT_EQ(message.readItem(text), 1);
    EXPECT_STREQ(text.dataPointer(), "body");
}

TYPED_TEST(ZroHeaderTest, CopyAndAssignment)
{
    TypeParam source = filled<TypeParam>();
    source.setHeaderFlags(3);
    Received empty("", 0, this->facts.format);
    EXPECT_EQ(source.pasteIn(empty.message), 0); // leaves 2/6107
    const TypeParam original = source;
    const std::string bytes = written(source);
    TypeParam copy(original), assigned;
    assigned = original;
    TypeParam& same = assigned;
    assigned = same;
    for (TypeParam* h : {&copy, &assigned}) {
        this->expectCodes(*h, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
        EXPECT_EQ(h->headerFlags(), 3);
        EXPECT_EQ(written(*h), bytes);
    }
}

TYPED_TEST(ZroHeaderTest, WritesAreTracedAndARefusedDataPlaceLeavesTheHeaderAlone)
{
    // A fixed record is one traced write, a reference header its fixed part
    // and four texts (empty: no checks); the data, read and written where it
    // lies, comes last.
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "data place refused" : "accepted");
        ZroMsg message, alone;
        ZroStr body("the body");
        message.resizeBuffer(512);
        ASSERT_EQ(message.writeItem(body), 1);
        ASSERT_EQ(alone.writeItem(body), 1);
        TypeParam header, first;
        ASSERT_EQ(first.copyOut(alone), 1);
        const unsigned length = alone.messageLength() - 8;
        const std::string lengthText = std::to_string(length);
        if (refused) this->refuse(message.bufferPointer() + length, 8, 2);
        this->clearEvents();
        EXPECT_EQ(header.copyOut(message), refused ? 0 : 1);

        std::vector<std::string> records;
        for (unsigned i = 0; i < (this->facts.length == 108 ? 5u : 1u); ++i)
            records.insert(records.end(), {"entry 9", "exit 9 0"});
        records.insert(records.end(), {"entry 9", refused ? "exit 9 2004" : "exit 9 0"});
        EXPECT_EQ(this->records(), records);
        std::vector<std::string> checks;
        bool writing = false;
        for (const TraceEvent& e : this->events()) {
            if ((e.kind == ZRECS_ENTRY || e.kind == ZRECS_EXIT) && e.function == 9)
                writing = e.kind == ZRECS_ENTRY;
            if (e.kind != ZRECS_CHECK || !writing) continue;
            const char* at = static_cast<const char*>(e.start);
            const bool inside = at >= message.bufferPointer() && at < message.bufferPointer() + 512;
            checks.push_back(std::to_string(e.value) + "@" +
                             (inside ? std::to_string(at - message.bufferPointer()) : "source") +
                             "+" + std::to_string(e.length));
        }
        EXPECT_EQ(checks,
                  (std::vector<std::string>{"1@source+" + lengthText, "2@0+" + lengthText,
                                            "1@" + lengthText + "+8", "2@" + lengthText + "+8"}));
        EXPECT_STREQ(header.format().dataPointer(), "ZRSTR   ");
        const std::string whole = std::to_string(refused ? length : length + 8);
        EXPECT_EQ(state(message), std::string(this->facts.format) + "|546|0|" + whole + "|" +
                                      whole + (refused ? "|2/2004" : "|0/0"));
        EXPECT_EQ(std::string(message.bufferPointer(), length),
                  std::string(alone.bufferPointer(), length));
        if (!refused) {
            this->expectNoText();
            EXPECT_EQ(std::string(message.bufferPointer() + length, 8), "the body");
            continue;
        }
        this->expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
        this->expectCodes(header, 2, 2004);
    }
}

TYPED_TEST(ZroHeaderTest, UntracedWritesAndReadsGiveWhatTracedOnesGive)
{
    // With nobody listening, headers are written and read inline where the
    // buffer has room: bodies of 0, 1 and 8 bytes, with room and with
    // growth, read back, and reads refused by each check or short data.
    auto run = [] {
        std::vector<std::string> seen;
        for (const std::string body : {"", "b", "the body"}) {
            for (bool room : {true, false}) {
                ZroMsg message;
                if (room) message.resizeBuffer(512);
                message.write(static_cast<unsigned>(body.size()), body.data());
                message.setEncoding(273);
                message.setCharacterSet(850);
                TypeParam header = filled<TypeParam>(), read;
                const int wrote = message.writeItem(header);
                const std::string data = dataOf(message);
                EXPECT_EQ(data.substr(data.size() - body.size()), body);
                message.setDataOffset(0);
                const int got = message.readItem(read);
                seen.push_back(std::to_string(wrote) + std::to_string(got) + "|" + data + "|" +
                               described(header) + "|" + state(message) + "|" + recordBytes(read));
            }
        }
        // A class derived from the library's never takes the inline path.
        Renaming<TypeParam> renamed;
        ZroMsg other;
        other.resizeBuffer(512);
        other.write(4, "data");
        seen.push_back(std::to_string(other.writeItem(renamed)) + "|" + state(other) + "|" +
                       dataOf(other));
        const std::string record = recordBytes(filled<TypeParam>());
        const Facts facts = factsOf<TypeParam>();
        for (const char* change : {"id", "encoding", "format", "short"}) {
            const std::string id = std::string(facts.strucId, 3) +
                                   (change == std::string("id") ? "X" : facts.strucId + 3);
            const std::string data =
                id + record.substr(4, change == std::string("short") ? facts.length - 5
                                                                     : std::string::npos);
            Received received(data.data(), static_cast<unsigned>(data.size()),
                              change == std::string("format") ? "OTHER" : facts.format);
            if (change == std::string("encoding")) received.message.setEncoding(273);
            TypeParam read;
            const int got = received.message.readItem(read);
            seen.push_back(std::to_string(got) + "|" + std::to_string(read.reasonCode()) + "|" +
                           state(received.message) + "|" + recordBytes(read));
        }
        return seen;
    };
    const std::vector<std::string> traced = run();
    ASSERT_EQ(traced.size(), 11u);
    EXPECT_EQ(traced[1].substr(0, 2), "11");
    EXPECT_EQ(traced[7].substr(0, 6), "0|6107");
    EXPECT_EQ(traced[8].substr(0, 6), "0|6106");
    EXPECT_EQ(traced[9].substr(0, 6), "0|6119");
    const bool quietNow = this->unobserved();
    EXPECT_EQ(run(), traced);
    if (!quietNow) GTEST_SKIP() << "a zrecs trace file is active: the untraced path did not run";
}

TYPED_TEST(ZroHeaderTest, TheFormatHandedOnIsTheOneFormatGives)
{
    ZroMsg message;
    ZroStr body("payload");
    TypeParam header;
    ASSERT_EQ(message.writeItem(body), 1);
    ASSERT_EQ(message.writeItem(header), 1);
    // The library's class: the record's field, read without a string.
    message.setDataOffset(0);
    TypeParam plain;
    const unsigned long allocations = zroi_test_allocation_count();
    ASSERT_EQ(message.readItem(plain), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "ZRSTR   ");
    EXPECT_EQ(zroi_test_allocation_count(), allocations);
    // A derived class: whatever its format() says, blank padded.
    message.setDataOffset(0);
    message.setFormat(this->facts.format);
    Renaming<TypeParam> derived;
    ASSERT_EQ(message.readItem(derived), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "APPFMT  ");
    EXPECT_STREQ(derived.TypeParam::format().dataPointer(), "ZRSTR   ");
}

TYPED_TEST(ZroFixedHeaderTest, EveryTruncatedLengthAndEachCheckSpoilt)
{
    const Facts& facts = this->facts;
    const TypeParam valid = filled<TypeParam>();
    const std::string record = recordBytes(valid);
    // Every length from 0 to the record's: 6107 below 4 bytes, the cache's
    // 6114 up to one byte short, success at the full length.
    for (unsigned length = 0; length <= facts.length; ++length) {
        SCOPED_TRACE("data length " + std::to_string(length));
        Received received(record.data(), length, facts.format);
        TypeParam header = target<TypeParam>();
        if (length < facts.length) {
            this->expectRefused(header, received.message,
                                length < 4 ? ZRRC_STRUC_ID_ERROR : ZRRC_INSUFFICIENT_DATA);
            continue;
        }
        this->clearEvents();
        EXPECT_EQ(header.pasteIn(received.message), 1);
        this->expectNoText();
        EXPECT_EQ(received.message.dataOffset(), 5 + facts.length);
        EXPECT_EQ(recordBytes(header), record);
    }
    // Three bytes of data that a fourth byte beyond the message would make
    // the structure id.
    char id[4];
    std::memcpy(id, facts.strucId, 4);
    ZroMsg three;
    three.useFullBuffer(id, 3);
    three.setFormat(facts.format);
    TypeParam header = target<TypeParam>();
    this->expectRefused(header, three, ZRRC_STRUC_ID_ERROR);
    // Each byte of the structure id, each character of the format, encodings
    // near 546; with several wrong, the first in that order decides.
    struct Row {
        std::string bytes;
        std::string format;
        int32_t encoding;
        int32_t reason;
    };
    std::vector<Row> rows;
    for (unsigned i = 0; i < 4; ++i) {
        rows.push_back({record, facts.format, 546, ZRRC_STRUC_ID_ERROR});
        rows.back().bytes[i] = static_cast<char>(record[i] ^ 0x20);
    }
    for (int32_t encoding : {0, 273, 545, 547, -546, 0x22020000})
        rows.push_back({record, facts.format, encoding, ZRRC_ENCODING_ERROR});
    for (unsigned i = 0; i < 8; ++i) {
        rows.push_back({record, facts.format, 546, ZRRC_FORMAT_ERROR});
        char& c = rows.back().format[i];
        c = c == ' ' ? 'X' : static_cast<char>(c ^ 0x20);
    }
    rows.push_back({"NONE", "OTHER", 273, ZRRC_STRUC_ID_ERROR});
    rows.push_back({record, "OTHER", 273, ZRRC_ENCODING_ERROR});
    rows.push_back({record.substr(0, 4), "OTHER", 546, ZRRC_FORMAT_ERROR});
    rows.push_back({record, "", 546, ZRRC_FORMAT_ERROR}); // NULs in place of blanks
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format + " " + std::to_string(row.encoding) + " " +
                     row.bytes.substr(0, 4));
        Received received(row.bytes.data(), static_cast<unsigned>(row.bytes.size()),
                          row.format.c_str());
        received.message.setEncoding(row.encoding);
        if (row.format.empty()) {
            char* field = received.message.descriptor().format;
            std::memcpy(field, facts.format, 8);
            for (unsigned i = 0; i < 8; ++i)
                if (field[i] == ' ') field[i] = '\0';
        }
        TypeParam header = target<TypeParam>();
        this->expectRefused(header, received.message, row.reason);
    }
}

TYPED_TEST(ZroFixedHeaderTest, RefusedRecordAndUncheckedFields)
{
    // The record as the read's destination refused: 2004, nothing moved.
    const Facts& facts = this->facts;
    const TypeParam valid = filled<TypeParam>();
    Image image(facts.length);
    image.bytes = recordBytes(valid);
    {
        Received received(image.bytes.data(), facts.length, facts.format);
        TypeParam header;
        this->refuse(&header.record(), facts.length, 2);
        this->clearEvents();
        EXPECT_EQ(header.pasteIn(received.message), 0);
        this->expectCodes(header, ZRCC_FAILED, ZRRC_BUFFER_ERROR);
        this->expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
        if (facts.traced) this->expectFrame(facts.function, ZRRC_BUFFER_ERROR);
        EXPECT_EQ(state(received.message), std::string(facts.format) + "|546|0|5|" +
                                               std::to_string(5 + facts.length) + "|2/2004");
        EXPECT_STREQ(header.format().dataPointer(), "        ");
        this->allowAll();
    }
    // The integers at 4 and 8 (version, and length or a spare) are never
    // checked: a record that says 9 and 300 is read and written as it came.
    image.i32(4, 9).i32(8, 300);
    const std::string data = image.bytes + "trailing data";
    Received received(data.data(), facts.length + 13, facts.format);
    TypeParam header;
    ASSERT_EQ(header.pasteIn(received.message), 1);
    EXPECT_EQ(received.message.dataOffset(), 5 + facts.length);
    EXPECT_EQ(written(header), image.bytes);
}

namespace {

// A binary field that takes a value of exactly its width.
template <class H> struct BinaryField {
    unsigned offset, width, function; // of its failure text, and of its frame when traced
    bool traced;
    const char* text;
    unsigned char (*set)(H&, const ZroBin&);
    void (*setBytes)(H&, const unsigned char*);
    ZroBin (*get)(const H&);
};

// The object's record, the field at `offset` blanked out when `width` is not 0.
std::string around(ZroHdr& header, unsigned offset, unsigned width)
{
    return written(header).replace(offset, width, width, '-');
}
std::string around(ZroGmo3& options, unsigned offset, unsigned width)
{
    std::string bytes(reinterpret_cast<const char*>(&options.record()), sizeof(ZRGMO));
    return bytes.replace(offset, width, width, '-');
}

class ZroBinaryFieldTest : public ZroTest {
protected:
    template <class H> void check(H object, const BinaryField<H>& field)
    {
        SCOPED_TRACE(field.text);
        // Values are made before the events are cleared: a binary is traced too.
        const std::string bytes(field.width + 8, 'b');
        const ZroBin value(bytes.data(), field.width), empty;
        std::vector<ZroBin> wrong;
        for (unsigned length : {1u, field.width - 1, field.width + 1, field.width + 8})
            wrong.emplace_back(bytes.data(), length);
        const std::string rest = around(object, field.offset, field.width);
        clearEvents();
        EXPECT_EQ(field.set(object, value), 1);
        expectNoText();
        if (field.traced) expectFrame(field.function, 0);
        EXPECT_TRUE(field.traced || records().empty());
        EXPECT_TRUE(field.get(object) == value);
        EXPECT_EQ(around(object, field.offset, field.width), rest);
        EXPECT_EQ(around(object, 0, 0).substr(field.offset, field.width),
                  bytes.substr(0, field.width));
        // Any other length: refused with 2/6111, the value kept.
        for (const ZroBin& other : wrong) {
            clearEvents();
            EXPECT_EQ(field.set(object, other), 0) << other.dataLength();
            expectCodes(object, ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
            expectOnlyText(field.function, field.text);
            if (field.traced) expectFrame(field.function, ZRRC_BINARY_DATA_LENGTH_ERROR);
            EXPECT_TRUE(field.get(object) == value);
        }
        // Empty: zeros, a success that keeps the codes.
        clearEvents();
        EXPECT_EQ(field.set(object, empty), 1);
        expectCodes(object, ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
        if (field.traced) expectFrame(field.function, ZRRC_BINARY_DATA_LENGTH_ERROR);
        EXPECT_EQ(field.get(object).isNull(), 1);
        EXPECT_EQ(field.get(object).dataLength(), field.width);
        // The pointer form: untraced, silent, the width only; no pointer, zeros.
        object.clearErrorCodes();
        clearEvents();
        field.setBytes(object, reinterpret_cast<const unsigned char*>(bytes.data()));
        EXPECT_TRUE(events().empty());
        EXPECT_TRUE(field.get(object) == value);
        EXPECT_EQ(around(object, field.offset, field.width), rest);
        clearEvents();
        field.setBytes(object, nullptr);
        EXPECT_TRUE(events().empty());
        EXPECT_EQ(field.get(object).isNull(), 1);
        expectCodes(object, 0, 0);
        // Without storage the getter gives an empty value and 2/2071.
        failAllocation(1);
        const ZroBin none = field.get(object);
        EXPECT_EQ(none.dataLength(), 0u);
        expectCodes(none, ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        expectCodes(object, 0, 0);
    }
};

// Reports its flags doubled: copies take the flags through the virtual getter.
class DoublingDlh : public ZroDlh {
public:
    int32_t headerFlags() const override { return 2 * ZroDlh::headerFlags(); }
};

} // namespace

TEST_F(ZroBinaryFieldTest, BinaryFieldsTakeTheirWidthOnly)
{
#define ZRO_BINARY(C, get, set)                     \
    [](C& h, const ZroBin& v) { return h.set(v); }, \
        [](C& h, const unsigned char* b) { h.set(b); }, [](const C& h) { return h.get(); }
    check(ZroKih(), BinaryField<ZroKih>{76, 8, 61, true,
                                        "ZroKOTABridgeHeader::setFacilityToken (error): binary "
                                        "data length error\n",
                                        ZRO_BINARY(ZroKih, facilityToken, setFacilityToken)});
    check(ZroRih(),
          BinaryField<ZroRih>{64, 16, 66, true,
                              "ZroRPXBridgeHeader::setTransactionInstanceId (error): "
                              "binary data length error",
                              ZRO_BINARY(ZroRih, transactionInstanceId, setTransactionInstanceId)});
    check(ZroWih(), BinaryField<ZroWih>{72, 16, 78, false,
                                        "ZroWorkHeader::setMessageToken (error): binary data "
                                        "length error\n",
                                        ZRO_BINARY(ZroWih, messageToken, setMessageToken)});
    check(ZroRfh(), BinaryField<ZroRfh>{40, 24, 42, false,
                                        "ZroReferenceHeader::setInstanceId (error): binary data "
                                        "length error",
                                        ZRO_BINARY(ZroRfh, instanceId, setInstanceId)});
    check(ZroGmo3(), BinaryField<ZroGmo3>{80, 16, 64, true,
                                          "ZroGetMessageOptions::setMessageToken (error): binary "
                                          "data length error",
                                          ZRO_BINARY(ZroGmo3, messageToken, setMessageToken)});
#undef ZRO_BINARY
}

TEST_F(ZroBinaryFieldTest, DeadLetterFlagsStayWithTheObject)
{
    // Copies take them (through the virtual getter); the message never
    // holds them, and a read leaves them alone.
    ZroDlh header = filled<ZroDlh>(), assigned, fromDoublingAssigned;
    header.setHeaderFlags(0x5A5A);
    DoublingDlh doubling;
    doubling.setHeaderFlags(5);
    ZroDlh copy(header), fromDoubling(doubling);
    assigned = header;
    fromDoublingAssigned = doubling;
    EXPECT_EQ(copy.headerFlags(), 0x5A5A);
    EXPECT_EQ(assigned.headerFlags(), 0x5A5A);
    EXPECT_EQ(fromDoubling.headerFlags(), 10);
    EXPECT_EQ(fromDoublingAssigned.headerFlags(), 10);

    ZroDlh plain = filled<ZroDlh>();
    ZroMsg message;
    ASSERT_EQ(message.writeItem(header), 1);
    EXPECT_EQ(std::string(message.bufferPointer(), message.messageLength()), written(plain));
    message.setDataOffset(0);
    ASSERT_EQ(message.readItem(assigned), 1);
    EXPECT_EQ(assigned.headerFlags(), 0x5A5A);
}

TEST_F(ZroBinaryFieldTest, ReferenceWriteRefusedAtEachPartLeavesWhatWasWrittenBefore)
{
    ZroRfh header;
    header.setSourceEnvironment("ab");
    header.setSourceName("cde");
    header.setDestinationEnvironment("fghi");
    header.setDestinationName("jklmn");
    ZroMsg whole;
    whole.write(4, "DATA");
    ASSERT_EQ(ZroRfh(header).copyOut(whole), 1);
    const std::string full(whole.bufferPointer(), whole.messageLength());
    ASSERT_EQ(full.size(), 126u);
    // The fixed part, the four texts, the data: where each is written.
    const unsigned starts[] = {0, 108, 110, 113, 117, 122, 126};
    for (unsigned k = 0; k < 6; ++k) {
        SCOPED_TRACE("write " + std::to_string(k) + " refused");
        ZroMsg message;
        message.resizeBuffer(512);
        message.write(4, "DATA");
        ZroRfh copy(header);
        refuse(message.bufferPointer() + starts[k], starts[k + 1] - starts[k], 2);
        clearEvents();
        EXPECT_EQ(copy.copyOut(message), 0);
        expectCodes(copy, 2, 2004);
        expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
        std::vector<std::string> records;
        for (unsigned i = 0; i < k; ++i) records.insert(records.end(), {"entry 9", "exit 9 0"});
        records.insert(records.end(), {"entry 9", "exit 9 2004"});
        EXPECT_EQ(this->records(), records);
        EXPECT_EQ(std::string(message.bufferPointer(), message.messageLength()),
                  full.substr(0, starts[k]));
        EXPECT_EQ(state(message), "ZRHREF  |546|0|" + std::to_string(starts[k]) + "|" +
                                      std::to_string(starts[k]) + "|2/2004");
        allowAll();
    }
}
