// The header protocol, once for every header class: a new header's bytes,
// writing in front of data (each write as zrecs sees it) and reading back,
// chains, copies, the format handed on, every refusal of pasteIn, and the
// binary fields that take a value of their width only. Then what is a
// class's own: the KOTA header's versions, the reference header's parts.
#include <sys/mman.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zroi.hpp"
#include "zroparts.hpp"
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
    Image& i32(unsigned at, int32_t value)
    {
        std::memcpy(&bytes[at], &value, 4);
        return *this;
    }
};

struct Facts {
    const char* strucId;
    const char* format;
    std::string name;            // as in its texts
    unsigned length, function;   // of its (fixed) record; of pasteIn's texts and frame
    bool traced;                 // pasteIn writes entry and exit records
    std::string fresh;           // what a new header writes into a new message
    std::vector<unsigned> parts; // the lengths of filled<H>()'s writes
};

const std::string b8(8, ' ');
template <class H> Facts factsOf();
template <> Facts factsOf<ZroDlh>()
{
    Image fresh = Image(172).chars(0, "DLH ").i32(4, 1).i32(108, 546).chars(116, b8);
    return {"DLH ", "ZRDEAD  ", "ZroDeadLetterHeader", 172, 10, true, fresh.bytes, {172}};
}
template <> Facts factsOf<ZroRih>()
{
    Image fresh = Image(84).chars(0, "RIH ").i32(4, 1).i32(8, 84).i32(12, 546).chars(20, b8);
    fresh.chars(32, b8 + b8 + b8 + b8).chars(80, " 0C ");
    return {"RIH ", "ZRRPX   ", "ZroRPXBridgeHeader", 84, 65, true, fresh.bytes, {84}};
}
template <> Facts factsOf<ZroWih>()
{
    Image fresh = Image(120).chars(0, "WIH ").i32(4, 1).i32(8, 120).i32(12, 546).chars(20, b8);
    fresh.chars(32, std::string(40, ' '));
    return {"WIH ", "ZRHWIH  ", "ZroWorkHeader", 120, 77, false, fresh.bytes, {120}};
}
template <> Facts factsOf<ZroKih>()
{
    Image fresh = Image(180, ' ').chars(0, "KIH ").i32(4, 2).i32(8, 180).i32(12, 546);
    for (unsigned at = 16; at <= 176; at += at == 72 ? 92 : 4)
        if (at != 20 && at != 24) fresh.i32(at, 0);
    fresh.i32(44, 273).i32(48, -2).i32(52, 1).i32(56, -1).chars(76, std::string(8, '\0'));
    return {"KIH ", "ZRKOTA  ", "ZroKOTABridgeHeader", 180, 60, true, fresh.bytes, {180}};
}
template <> Facts factsOf<ZroRfh>()
{
    Image fresh = Image(108).chars(0, "RMH ").i32(4, 1).i32(8, 108).i32(12, 546).chars(20, b8);
    for (unsigned at = 68; at < 100; at += 8) fresh.i32(at, 108); // the texts' offsets
    fresh.i32(28, 1);
    return {"RMH ", "ZRHREF  ", "ZroReferenceHeader", 108,
            41,     false,      fresh.bytes,          {108, 2, 3, 4, 5}};
}

// A header with every text field but the structure id and format holding
// its own name, every binary field bytes 1, 2, ..., every integer but the
// version and the description its bytes' offsets (a reference header has
// its four texts as well): written and read back, the record comes back.
template <class H> H filled()
{
    H header;
    char* record = const_cast<char*>(reinterpret_cast<const char*>(&header.record()));
    for (const zroi::Field& f : zroi::fields<H>()) {
        const std::string name = f.name;
        for (unsigned i = 0; i < f.width; ++i) {
            if (f.kind == zroi::FieldKind::binary) record[f.offset + i] = static_cast<char>(i + 1);
            if (f.kind == zroi::FieldKind::integer && name != "version" && name != "encoding" &&
                name != "codedCharSetId")
                record[f.offset + i] = static_cast<char>(f.offset + i);
            if (f.kind == zroi::FieldKind::text && name != "strucId" && name != "format")
                record[f.offset + i] = i < name.size() ? name[i] : ' ';
        }
    }
    if constexpr (std::is_same<H, ZroRfh>::value) {
        header.setSourceEnvironment("ab");
        header.setSourceName("cde");
        header.setDestinationEnvironment("fghi");
        header.setDestinationName("jklmn");
    }
    return header;
}

// A message as a get leaves it: `prefix` bytes 'x', then `length` bytes, in
// a user buffer of exactly that size (a read past it is caught under
// AddressSanitizer), the data offset behind the prefix, encoding 546.
class Received {
    std::unique_ptr<char[]> storage_; // declared first: it outlives the message

public:
    ZroMsg message;
    Received(const void* bytes, unsigned length, const char* format, unsigned prefix = 5)
        : storage_(new char[prefix + length])
    {
        std::memset(storage_.get(), 'x', prefix);
        if (length != 0) std::memcpy(storage_.get() + prefix, bytes, length);
        message.useFullBuffer(storage_.get(), prefix + length);
        message.setDataOffset(prefix);
        message.setFormat(format);
    }
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
           std::to_string(m.messageLength()) + "|" + codesText(m);
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
    return dataOf(message);
}

template <class H> std::string recordBytes(const H& header)
{
    return std::string(reinterpret_cast<const char*>(&header.record()), sizeof header.record());
}

template <class H> class ZroHeaderProtocolTest : public ZroTest {
protected:
    const Facts facts = factsOf<H>();

    // pasteIn into a header whose record differs from a new one's fails
    // with 2/`reason` and exactly its texts and frame; the record and the
    // message (but for the cache's own 6114, and the structure id a KOTA
    // header reads before it) are unchanged.
    void expectRefused(ZroMsg& message, int32_t reason)
    {
        H header;
        header.setFormat("BEFORE");
        header.setCharacterSet(4321);
        const std::string record = recordBytes(header), before = state(message);
        const unsigned offset = message.dataOffset();
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
        if (std::is_same<H, ZroKih>::value && reason == ZRRC_INSUFFICIENT_DATA) {
            EXPECT_EQ(message.dataOffset(), offset + 4); // it has read the structure id
            message.setDataOffset(offset);
        }
        EXPECT_EQ(state(message), reason != ZRRC_INSUFFICIENT_DATA
                                      ? before
                                      : before.substr(0, before.rfind('|') + 1) + "2/6114");
    }
};

template <class H> class ZroFixedRecordTest : public ZroHeaderProtocolTest<H> {
};
using AllHeaders = ::testing::Types<ZroDlh, ZroKih, ZroRfh, ZroRih, ZroWih>;
using FixedHeaders = ::testing::Types<ZroDlh, ZroKih, ZroRih, ZroWih>;
TYPED_TEST_SUITE(ZroHeaderProtocolTest, AllHeaders);
TYPED_TEST_SUITE(ZroFixedRecordTest, FixedHeaders);

// Reports its flags doubled: copies take the flags through the virtual getter.
class DoublingDlh : public ZroDlh {
public:
    int32_t headerFlags() const override { return 2 * ZroDlh::headerFlags(); }
};

} // namespace

TYPED_TEST(ZroHeaderProtocolTest, NewHeaderAndTheFormatHandedOn)
{
    TypeParam header, plain;
    ZroMsg message;
    ZroStr body("payload");
    EXPECT_EQ(described(header), "        |546|0");
    this->clearEvents();
    ASSERT_EQ(message.writeItem(header), 1);
    this->expectNoText();
    for (const std::string& record : this->records())
        EXPECT_NE(record, "entry " + std::to_string(this->facts.function)) << "copyOut is untraced";
    this->expectCodes(header, 0, 0);
    EXPECT_EQ(dataOf(message), this->facts.fresh);
    const std::string length = std::to_string(this->facts.length);
    EXPECT_EQ(state(message),
              std::string(this->facts.format) + "|546|0|" + length + "|" + length + "|0/0");
    // Read by the library's class: the record's field, without a string.
    ASSERT_EQ(message.writeItem(body) + message.writeItem(header), 2);
    message.setDataOffset(0);
    const unsigned long allocations = zroi_test_allocation_count();
    ASSERT_EQ(message.readItem(plain), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "ZRSTR   ");
    EXPECT_EQ(zroi_test_allocation_count(), allocations);
    // By a derived class: whatever its format() says, blank padded.
    message.setDataOffset(0);
    message.setFormat(this->facts.format);
    Renaming<TypeParam> derived;
    ASSERT_EQ(message.readItem(derived), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "APPFMT  ");
    EXPECT_STREQ(derived.TypeParam::format().dataPointer(), "ZRSTR   ");
    // One that names no format leaves the data's format blank.
    message.setDataOffset(0);
    message.setFormat(this->facts.format);
    Renaming<TypeParam, false> unnamed;
    ASSERT_EQ(message.readItem(unnamed), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "        ");
    // A full user buffer has no room in front: refused, the data as it was.
    char user[] = "data";
    ZroMsg full;
    full.useFullBuffer(user, 4);
    EXPECT_EQ(plain.copyOut(full), 0);
    this->expectCodes(plain, ZRCC_FAILED, ZRRC_INSUFFICIENT_BUFFER);
    EXPECT_EQ(state(full) + dataOf(full), "        |546|0|0|4|2/6113data");
}

TYPED_TEST(ZroHeaderProtocolTest, ChainWrittenInFrontAndReadOutermostFirst)
{
    const std::string format = this->facts.format;
    ZroMsg message;
    ZroStr body("body"), text;
    TypeParam inner = filled<TypeParam>(), outer, first, second;
    ASSERT_EQ(message.writeItem(body), 1);
    message.setEncoding(785);
    message.setCharacterSet(500);
    ASSERT_EQ(message.writeItem(inner) + message.writeItem(outer), 2);
    // Each header takes the description of what follows it.
    EXPECT_EQ(described(inner) + described(outer), "ZRSTR   |785|500" + format + "|546|0");
    const std::string innerBytes = written(inner), outerBytes = written(outer);
    const std::string total = std::to_string(outerBytes.size() + innerBytes.size() + 4);
    EXPECT_EQ(dataOf(message), outerBytes + innerBytes + "body");
    EXPECT_EQ(state(message), format + "|546|0|" + total + "|" + total + "|0/0");
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
    if (this->facts.traced) this->expectFrame(this->facts.function, ZRRC_STRUC_ID_ERROR);
    this->expectCodes(first, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    EXPECT_EQ(state(message),
              format + "|546|0|" + std::to_string(outerBytes.size()) + "|" + total + "|2/6107");
    this->clearEvents();
    ASSERT_EQ(message.readItem(second), 1);
    if (this->facts.traced) this->expectFrame(this->facts.function, 0);
    EXPECT_EQ(state(message),
              "ZRSTR   |785|500|" + std::to_string(std::stoul(total) - 4) + "|" + total + "|0/0");
    EXPECT_EQ(written(second), innerBytes);
    ASSERT_EQ(message.readItem(text), 1);
    EXPECT_STREQ(text.dataPointer(), "body");
}

TYPED_TEST(ZroHeaderProtocolTest, CopyAndAssignment)
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
        EXPECT_EQ(written(*h), bytes);
        EXPECT_EQ(h->headerFlags(), 3);
    }
    if constexpr (std::is_same<TypeParam, ZroDlh>::value) {
        // The flags belong to the object: copies take them through the
        // virtual getter; the message never holds them and a read keeps them.
        DoublingDlh doubling;
        doubling.setHeaderFlags(5);
        ZroDlh fromDoubling(doubling);
        assigned = doubling;
        EXPECT_EQ(fromDoubling.headerFlags() + assigned.headerFlags(), 20);
        ZroMsg message;
        ASSERT_EQ(message.writeItem(source), 1);
        ZroDlh plain = filled<ZroDlh>();
        EXPECT_EQ(dataOf(message), written(plain));
        ASSERT_EQ(message.setDataOffset(0) + message.readItem(assigned), 2);
        EXPECT_EQ(assigned.headerFlags(), 10);
    }
}

TYPED_TEST(ZroHeaderProtocolTest, EachWriteTracedAndARefusedOneKeepsWhatCameBefore)
{
    // A fixed record is one traced write, a reference header its fixed part
    // and then its four texts; the data, read and written where it lies,
    // comes last. Each write refused in turn, then none.
    const TypeParam header = filled<TypeParam>();
    std::vector<unsigned> starts{0};
    for (unsigned n : this->facts.parts) starts.push_back(starts.back() + n);
    starts.push_back(starts.back() + 8);
    ZroMsg alone;
    ZroStr body("the body");
    ASSERT_EQ(alone.writeItem(body), 1);
    ASSERT_EQ(TypeParam(header).copyOut(alone), 1);
    for (unsigned k = 0; k < starts.size(); ++k) {
        const bool refused = k + 1 < starts.size();
        SCOPED_TRACE("write " + std::to_string(k) + (refused ? " refused" : ": none refused"));
        ZroMsg message;
        message.resizeBuffer(512);
        ASSERT_EQ(message.writeItem(body), 1);
        TypeParam copy(header);
        if (refused)
            this->refuse(message.bufferPointer() + starts[k], starts[k + 1] - starts[k], 2);
        this->clearEvents();
        EXPECT_EQ(copy.copyOut(message), refused ? 0 : 1);
        std::vector<std::string> records, checks, expected;
        for (unsigned i = 0; i + 1 < starts.size() && i <= k; ++i) {
            records.insert(records.end(), {"entry 9", i == k ? "exit 9 2004" : "exit 9 0"});
            const std::string at = std::to_string(starts[i]);
            const std::string n = "+" + std::to_string(starts[i + 1] - starts[i]);
            expected.insert(expected.end(),
                            {"1@" + (i + 2 < starts.size() ? "source" : at) + n, "2@" + at + n});
        }
        EXPECT_EQ(this->records(), records);
        bool writing = false;
        for (const TraceEvent& e : this->events()) {
            if ((e.kind == ZRECS_ENTRY || e.kind == ZRECS_EXIT) && e.function == 9)
                writing = e.kind == ZRECS_ENTRY;
            const long at = static_cast<const char*>(e.start) - message.bufferPointer();
            if (e.kind == ZRECS_CHECK && writing)
                checks.push_back(std::to_string(e.value) + "@" +
                                 (at >= 0 && at < 512 ? std::to_string(at) : "source") + "+" +
                                 std::to_string(e.length));
        }
        EXPECT_EQ(checks, expected);
        EXPECT_STREQ(copy.format().dataPointer(), "ZRSTR   ");
        const std::string kept = std::to_string(refused ? starts[k] : starts.back());
        EXPECT_EQ(dataOf(message), dataOf(alone).substr(0, std::stoul(kept)));
        EXPECT_EQ(state(message), std::string(this->facts.format) + "|546|0|" + kept + "|" + kept +
                                      (refused ? "|2/2004" : "|0/0"));
        if (refused) this->expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
        if (!refused) this->expectNoText();
        this->expectCodes(copy, refused ? 2 : 0, refused ? 2004 : 0);
        this->allowAll();
    }
}

TYPED_TEST(ZroFixedRecordTest, EveryTruncatedLengthAndEachCheckSpoilt)
{
    const Facts& facts = this->facts;
    // The integers at 4 and 8 (version, and length or a spare) are never
    // checked: a record that says 9 and 300 is read as it came.
    Image image(0);
    image.bytes = recordBytes(filled<TypeParam>());
    const std::string record = image.i32(4, 9).i32(8, 300).bytes;
    // Every length from 0 to the record's: 6107 below 4 bytes, the cache's
    // 6114 up to one byte short, success at the full length.
    for (unsigned length = 0; length <= facts.length; ++length) {
        SCOPED_TRACE("data length " + std::to_string(length));
        Received received(record.data(), length, facts.format);
        if (length < facts.length) {
            this->expectRefused(received.message,
                                length < 4 ? ZRRC_STRUC_ID_ERROR : ZRRC_INSUFFICIENT_DATA);
            continue;
        }
        TypeParam header;
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
    this->expectRefused(three, ZRRC_STRUC_ID_ERROR);
    ZroMsg four; // and exactly the structure id
    four.useFullBuffer(id, 4);
    EXPECT_EQ(ZroItm::structureIdIs(facts.strucId, four), 1);
    // Each byte of the structure id, each character of the format, encodings
    // near 546; with several wrong, the first in that order decides; a
    // format whose blanks are NULs.
    struct Row {
        std::string bytes, format;
        int32_t encoding, reason;
    };
    std::vector<Row> rows = {{"NONE", "OTHER", 273, ZRRC_STRUC_ID_ERROR},
                             {record, "OTHER", 273, ZRRC_ENCODING_ERROR},
                             {record.substr(0, 4), "OTHER", 546, ZRRC_FORMAT_ERROR},
                             {record, "", 546, ZRRC_FORMAT_ERROR}};
    for (int32_t encoding : {0, 273, 545, 547, -546, 0x22020000})
        rows.push_back({record, facts.format, encoding, ZRRC_ENCODING_ERROR});
    for (unsigned i = 0; i < 8; ++i) {
        rows.push_back({record, facts.format, 546, ZRRC_FORMAT_ERROR});
        char& c = rows.back().format[i];
        c = c == ' ' ? 'X' : static_cast<char>(c ^ 0x20);
        if (i >= 4) continue;
        rows.push_back({record, facts.format, 546, ZRRC_STRUC_ID_ERROR});
        rows.back().bytes[i] = static_cast<char>(record[i] ^ 0x20);
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format + " " + std::to_string(row.encoding) + " " +
                     row.bytes.substr(0, 4));
        Received received(row.bytes.data(), static_cast<unsigned>(row.bytes.size()),
                          row.format.c_str());
        received.message.setEncoding(row.encoding);
        char* field = received.message.descriptor().format;
        for (unsigned i = 0; i < 8 && row.format.empty(); ++i)
            field[i] = facts.format[i] == ' ' ? '\0' : facts.format[i];
        this->expectRefused(received.message, row.reason);
    }
    // The record as the read's destination refused: 2004, nothing moved.
    Received received(record.data(), facts.length, facts.format);
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
}

namespace {

// The object's record, the field at `offset` blanked out when `width` is not 0.
std::string around(ZroHdr& header, unsigned offset, unsigned width)
{
    return written(header).replace(offset, width, width, '-');
}
std::string around(ZroGmo3& options, unsigned offset, unsigned width)
{
    return recordBytes(options).replace(offset, width, width, '-');
}

class ZroBinaryFieldsTest : public ZroTest {
protected:
    // The field of `getter` (in the class's table), whose setter's failure
    // text `text` is written under `function`, which is traced or not.
    template <class H, class Set, class SetBytes, class Get>
    void check(const char* getter, unsigned function, bool traced, const std::string& text, Set set,
               SetBytes setBytes, Get get)
    {
        SCOPED_TRACE(text);
        H object;
        const zroi::Field* field = nullptr;
        for (const zroi::Field& f : zroi::fields<H>())
            if (f.accessor != nullptr && std::string(f.accessor) == getter) field = &f;
        ASSERT_TRUE(field != nullptr && field->kind == zroi::FieldKind::binary);
        const unsigned offset = field->offset, width = field->width;
        // Values are made before the events are cleared: a binary is traced too.
        const std::string bytes(width + 8, 'b'), zeros(width, '\0');
        const ZroBin value(bytes.data(), width), empty, none(zeros.data(), width);
        const std::string rest = around(object, offset, width);
        const auto expectRecord = [&](const std::string& inField, unsigned reason) {
            if (traced) expectFrame(function, reason);
            EXPECT_TRUE(traced || records().empty());
            EXPECT_EQ(around(object, 0, 0), std::string(rest).replace(offset, width, inField));
        };
        clearEvents();
        EXPECT_EQ(set(object, value), 1);
        expectNoText();
        expectRecord(bytes.substr(0, width), 0);
        // Any other length: refused with 2/6111, the value kept.
        for (unsigned length : {1u, width - 1, width + 1, width + 8}) {
            const ZroBin other(bytes.data(), length);
            clearEvents();
            EXPECT_EQ(set(object, other), 0) << length;
            expectCodes(object, ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
            expectOnlyText(function, text);
            expectRecord(bytes.substr(0, width), ZRRC_BINARY_DATA_LENGTH_ERROR);
            EXPECT_TRUE(get(object) == value);
        }
        // Empty: zeros, a success that keeps the codes.
        clearEvents();
        EXPECT_EQ(set(object, empty), 1);
        expectCodes(object, ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
        expectRecord(zeros, ZRRC_BINARY_DATA_LENGTH_ERROR);
        EXPECT_TRUE(get(object) == none);
        // The pointer form: untraced, silent, the width only; no pointer, zeros.
        object.clearErrorCodes();
        clearEvents();
        setBytes(object, reinterpret_cast<const unsigned char*>(bytes.data()));
        EXPECT_TRUE(events().empty());
        EXPECT_TRUE(get(object) == value);
        clearEvents();
        setBytes(object, nullptr);
        EXPECT_TRUE(events().empty());
        EXPECT_TRUE(get(object) == none);
        expectCodes(object, 0, 0);
        // Without storage the getter gives an empty value and 2/2071.
        failAllocation(1);
        const ZroBin lost = get(object);
        EXPECT_EQ(lost.dataLength(), 0u);
        expectCodes(lost, ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        expectCodes(object, 0, 0);
    }
};

} // namespace

TEST_F(ZroBinaryFieldsTest, BinaryFieldsTakeTheirWidthOnly)
{
    // The KOTA and work headers' texts end in a line feed.
#define ZRO_BINARY(C, longName, get, set, function, traced, end)                             \
    check<C>(                                                                                \
        #get, function, traced, longName "::" #set " (error): binary data length error" end, \
        [](C& h, const ZroBin& v) { return h.set(v); },                                      \
        [](C& h, const unsigned char* b) { h.set(b); }, [](const C& h) { return h.get(); })
    ZRO_BINARY(ZroKih, "ZroKOTABridgeHeader", facilityToken, setFacilityToken, 61, true, "\n");
    ZRO_BINARY(ZroRih, "ZroRPXBridgeHeader", transactionInstanceId, setTransactionInstanceId, 66,
               true, "");
    ZRO_BINARY(ZroWih, "ZroWorkHeader", messageToken, setMessageToken, 78, false, "\n");
    ZRO_BINARY(ZroRfh, "ZroReferenceHeader", instanceId, setInstanceId, 42, false, "");
    ZRO_BINARY(ZroGmo3, "ZroGetMessageOptions", messageToken, setMessageToken, 64, true, "");
#undef ZRO_BINARY
}

// ---- ZroKih: versions 1 and 2 ----------------------------------------------

namespace {

// A record's bytes with its version field set to `version`.
std::string withVersion(std::string bytes, char version)
{
    return bytes.replace(4, 4, std::string{version, '\0', '\0', '\0'});
}

} // namespace

using ZroKihTest = ZroTest;

// Version 1 is the first 164 bytes of version 2's 180; a version-1 object
// writes and reads 164.
TEST_F(ZroKihTest, VersionsOneAndTwo)
{
    ZroKih header, first;
    header.setCursorPosition(42);
    for (int32_t version : {0, 3, -1}) {
        header.clearErrorCodes();
        EXPECT_EQ(header.setVersion(version), 0) << version;
        expectCodes(header, 2, 6128);
    }
    ASSERT_EQ(header.setVersion(1), 1);
    header.clearErrorCodes();
    ZroMsg one, two;
    ASSERT_EQ(header.copyOut(one), 1);
    ASSERT_EQ(header.setVersion(2), 1);
    ASSERT_EQ(header.copyOut(two), 1);
    // Version 2 adds the cursor position (42) and three integers of 0.
    EXPECT_EQ(dataOf(two), withVersion(dataOf(one), 2) + "*" + std::string(15, '\0'));
    first.setVersion(1);
    one.setDataOffset(0);
    ASSERT_EQ(one.readItem(first), 1);
    EXPECT_EQ(one.dataOffset(), 164u);
    EXPECT_EQ(recordBytes(first).substr(0, 164), dataOf(one));
}

// How much pasteIn reads is decided by the version the object held before
// the call; one without a layout fails with 2/6128 and gives the structure
// id back. The message takes the header's codes, whether it was touched or
// not.
TEST_F(ZroKihTest, AVersionWithoutLayout)
{
    ZroKih header;
    ZroMsg out;
    const std::string good = factsOf<ZroKih>().fresh, odd = withVersion(good, 9);
    Received oddOne(odd.data(), 180, "ZRKOTA  ", 0), received(good.data(), 180, "ZRKOTA  ", 4);
    ASSERT_EQ(header.pasteIn(oddOne.message), 1);
    ASSERT_EQ(header.version(), 9);
    const std::string held = recordBytes(header);
    clearEvents();
    EXPECT_EQ(out.writeItem(header), 0);
    expectCodes(header, 2, 6128);
    expectNoText();
    EXPECT_EQ(state(out), "        |546|0|0|0|2/6128");
    header.clearErrorCodes();
    clearEvents();
    EXPECT_EQ(received.message.readItem(header), 0);
    expectCodes(header, 2, 6128);
    expectFrame(60, 6128);
    expectNoText();
    EXPECT_EQ(state(received.message), "ZRKOTA  |546|0|4|184|2/6128");
    EXPECT_EQ(recordBytes(header), held);
    // For a version the object may hold: success, and the exit record still
    // carries the reason of the failure before.
    ASSERT_EQ(header.setVersion(2), 1);
    received.message.setCharacterSet(37);
    clearEvents();
    EXPECT_EQ(header.pasteIn(received.message), 1);
    expectCodes(header, 2, 6128);
    expectFrame(60, 6128);
    expectNoText();
    EXPECT_EQ(state(received.message), "        |546|0|184|184|2/6128");
    EXPECT_EQ(recordBytes(header), good);
}

// ---- ZroRfh: received records with hostile lengths and offsets for each part,
// offsets past 4 GiB, and the layout of the parts at the limits of 32 bits.

namespace {

// A received fixed part written by hand: version 1, the given structure
// length, encoding 546, character set 850, format "ZRSTR   ", flags 1,
// reference type "REF", instance id bytes 1..24, every part empty at 108.
Image fixedPart(int32_t strucLength)
{
    Image b = Image(108).chars(0, "RMH ").i32(4, 1).i32(8, strucLength).i32(12, 546).i32(16, 850);
    b.chars(20, "ZRSTR   ").i32(28, 1).chars(32, "REF");
    for (unsigned i = 0; i < 24; ++i) b.bytes[40 + i] = static_cast<char>(i + 1);
    for (unsigned part = 0; part < 4; ++part) b.i32(64 + 8 * part, 0).i32(68 + 8 * part, 108);
    return b;
}

// The variable parts: 0 source environment, 1 source name, 2 destination
// environment, 3 destination name; each has a length field, then an offset field.
Image& setPart(Image& image, unsigned part, int32_t offset, int32_t length)
{
    return image.i32(64 + 8 * part, length).i32(68 + 8 * part, offset);
}

// The four texts, "|" between them.
std::string partsOf(const ZroRfh& h)
{
    return textOf(h.sourceEnvironment()) + "|" + textOf(h.sourceName()) + "|" +
           textOf(h.destinationEnvironment()) + "|" + textOf(h.destinationName());
}

} // namespace

using ZroRfhTest = ZroTest;

TEST_F(ZroRfhTest, HostileLengthsAndOffsetsOfEachPart)
{
    struct Case {
        const char* what;
        int32_t offset, length, reason; // reason 0: success
        const char* result;             // the part's text afterwards ("old" kept)
    };
    // 124 bytes of data: the fixed part (spare integer 3 "AAAA") and "0123456789ABCDEF".
    const Case cases[] = {
        {"negative offset", -1, 4, 6114, "old"},
        {"most negative offset", INT32_MIN, 4, 6114, "old"},
        {"end just past 2^31", INT32_MAX, 1, 6114, "old"},
        {"end near 2^32", INT32_MAX, INT32_MAX, 6114, "old"},
        {"end past 2^31 from a small offset", 108, INT32_MAX, 6114, "old"},
        {"end a little past 2^31", 0x7FFFFFF0, 0x20, 6114, "old"},
        {"negative offset, end inside in 32 bits", -16, 20, 6114, "old"},
        {"one byte past the data", 121, 4, 6114, "old"},
        {"offset at the end of the data", 124, 1, 6114, "old"},
        {"ends at the end of the data", 120, 4, 0, "CDEF"},
        {"negative length", 108, -1, 0, "old"},
        {"most negative length", INT32_MAX, INT32_MIN, 0, "old"},
        {"length 0, negative offset", -5, 0, 0, "old"},
        {"over the structure id", 0, 4, 0, "RMH "},
        {"across the end of the fixed part", 104, 8, 0, "AAAA0123"},
    };
    for (unsigned part = 0; part < 4; ++part)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", part " + std::to_string(part));
            Image image = fixedPart(124).chars(104, "AAAA"); // spare integer 3
            const std::string bytes =
                setPart(image, part, c.offset, c.length).bytes + "0123456789ABCDEF";
            ZroMsg message;
            message.write(static_cast<unsigned>(bytes.size()), bytes.data());
            message.setDataOffset(0);
            message.setFormat("ZRHREF  ");
            ZroRfh h;
            h.setSourceEnvironment("old0");
            h.setSourceName("old1");
            h.setDestinationEnvironment("old2");
            h.setDestinationName("old3");
            clearEvents();
            EXPECT_EQ(h.pasteIn(message), c.reason == 0 ? 1 : 0);
            expectCodes(h, c.reason == 0 ? 0 : 2, c.reason);
            c.reason != 0
                ? expectOnlyText(41, "ZroReferenceHeader::pasteIn (error): insufficient data")
                : expectNoText();
            EXPECT_EQ(message.dataOffset(), c.reason == 0 ? 124u : 0u);
            std::string want = "old0|old1|old2|old3";
            if (std::string(c.result) != "old") want.replace(5 * part, 4, c.result);
            EXPECT_EQ(partsOf(h), want);
        }
}

// A text without storage for it: the read fails with the string's codes and
// the header keeps its texts and their codes.
TEST_F(ZroRfhTest, ATextWithoutStorage)
{
    Image image = fixedPart(124);
    const std::string bytes = setPart(image, 1, 108, 16).bytes + "0123456789ABCDEF";
    Received received(bytes.data(), 124, "ZRHREF  ");
    ZroRfh h;
    h.setSourceName("old");
    failAllocation(1);
    h.setSourceName("a longer name"); // without storage: emptied, with 1/2071
    failAllocation(1);
    clearEvents();
    EXPECT_EQ(h.pasteIn(received.message), 0);
    failAllocation(0);
    expectCodes(h, ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
    expectOnlyText(47, "ZroString::setStorage (error): storage not available");
    EXPECT_EQ(partsOf(h) + "|" + codesText(h.sourceName()) + "|" + state(received.message),
              "||||1/2071|ZRHREF  |546|0|5|129|0/0");
    // With storage the same read takes the text, which leaves its codes behind.
    EXPECT_EQ(h.pasteIn(received.message), 1);
    EXPECT_EQ(partsOf(h) + "|" + codesText(h.sourceName()), "|0123456789ABCDEF|||0/0");
}

TEST_F(ZroRfhTest, OffsetsPastFourGiB)
{
    // A user buffer of 2^32 - 1 bytes, of which only the pages used are ever
    // touched, to reach data offsets where 32-bit sums wrap.
    const auto buffer = mapAnonymous(UINT32_MAX, PROT_READ | PROT_WRITE, MAP_NORESERVE);
    char* base = buffer.get();
    if (base == nullptr) GTEST_SKIP() << "no 4 GiB of address space";
    ZroMsg message;
    ASSERT_EQ(message.useFullBuffer(base, UINT32_MAX), 1);
    const unsigned at = UINT32_MAX - 200; // 200 bytes of data from here
    auto place = [&](int32_t strucLength, int32_t partOffset, int32_t partLength) {
        Image image = fixedPart(strucLength);
        std::memcpy(base + at, setPart(image, 2, partOffset, partLength).bytes.data(), 108);
        std::memcpy(base + at + 190, "tenletters", 10);
        message.setDataOffset(at);
        message.setFormat("ZRHREF  ");
    };

    ZroRfh h;
    place(300, 108, 0); // the data offset would end at 2^32 + 99
    clearEvents();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 2071);
    expectOnlyText(3, "ZroCache::moreBytes (error): storage not available");
    EXPECT_EQ(state(message), "ZRHREF  |546|0|" + std::to_string(at) + "|4294967295|2/2071");

    place(200, 190, 11); // the part ends one byte past the message
    h.clearErrorCodes();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 6114);

    place(200, 190, 10);
    EXPECT_EQ(h.pasteIn(message), 1);
    EXPECT_EQ(message.dataOffset(), UINT32_MAX);
    EXPECT_EQ(textOf(h.destinationEnvironment()), "tenletters");

    // A header cannot go in front of 2^32 - 1 bytes.
    message.setDataOffset(0);
    message.clearErrorCodes();
    ZroRfh w;
    clearEvents();
    EXPECT_EQ(w.copyOut(message), 0);
    expectCodes(w, 2, 2071);
    expectOnlyText(3, "ZroCache::moreBytes (error): storage not available");
    EXPECT_EQ(state(message), "ZRSTR   |546|850|0|4294967295|2/2071"); // as the header left it
    // 108 bytes fewer: header and data would end at 2^32 - 1, which can be
    // addressed; this buffer, full, has no room in front.
    ZroMsg fewer;
    ASSERT_EQ(fewer.useFullBuffer(base, UINT32_MAX - 108), 1);
    w.clearErrorCodes();
    EXPECT_EQ(w.copyOut(fewer), 0);
    expectCodes(w, 2, 6113);
}

TEST(ZroParts, LayOutUpToInt32Max)
{
    // Parts that end exactly at INT32_MAX are laid out; one byte more, or
    // lengths whose sum wraps in 32 bits, are refused and nothing is written.
    const unsigned lengths[] = {3, INT32_MAX - 108 - 3 - 5, 5, 0}, huge[] = {UINT_MAX, 1, 1, 1};
    std::vector<int32_t> offsets(5, -1); // the last: where they end
    ASSERT_TRUE(zroparts::layOut(lengths, 4, 108, offsets.data(), offsets[4]));
    EXPECT_EQ(offsets, std::vector<int32_t>({108, 111, INT32_MAX - 5, INT32_MAX, INT32_MAX}));
    const unsigned longer[] = {3, INT32_MAX - 108 - 3 - 5, 6, 0};
    std::vector<int32_t> untouched(5, -1);
    EXPECT_FALSE(zroparts::layOut(longer, 4, 108, untouched.data(), untouched[4]));
    EXPECT_FALSE(zroparts::layOut(huge, 4, 108, untouched.data(), untouched[4]));
    EXPECT_EQ(untouched, std::vector<int32_t>(5, -1));
}
