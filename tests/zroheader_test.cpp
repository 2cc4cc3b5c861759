// The header protocol, once for every header class: what a new header
// writes, writing in front of data and reading it back, copies and
// assignment, the description accessors, and the refusals of pasteIn.
#include <cstring>
#include <string>
#include <vector>

#include "zrohdrtest.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zrogmo.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrowih.hpp"

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

// What the tests know of each class: its facts, the bytes a new header
// writes into a new message, and a header with every field set.
template <class H> struct Header;

template <> struct Header<ZroDlh> {
    static HeaderFacts facts()
    {
        return {"DLH ", "ZRDEAD  ", "ZroDeadLetterHeader", 172, 10, true};
    }
    static std::string fresh()
    {
        return Image(172).chars(0, "DLH ").i32(4, 1).i32(108, 546).blanks(116, 8).bytes;
    }
    static ZroDlh filled()
    {
        ZroDlh h;
        h.setDestinationQueueName("DEST.QUEUE");
        h.setDestinationQueueManagerName("DEST.QMGR");
        h.setPutApplicationName("putter");
        h.setPutDate("20240131");
        h.setPutTime("12345678");
        return h;
    }
};

template <> struct Header<ZroRih> {
    static HeaderFacts facts() { return {"RIH ", "ZRRPX   ", "ZroRPXBridgeHeader", 84, 65, true}; }
    static std::string fresh()
    {
        return Image(84)
            .chars(0, "RIH ")
            .i32(4, 1)
            .i32(8, 84)
            .i32(12, 546)
            .blanks(20, 8)
            .blanks(32, 32)
            .chars(80, " 0C ")
            .bytes;
    }
    static ZroRih filled()
    {
        ZroRih h;
        h.setLogicalTerminalOverride("LTERM");
        h.setMessageFormatServicesMapName("MAP1");
        h.setReplyToFormat("REPLY");
        h.setAuthenticator("PW");
        h.setTransactionInstanceId(reinterpret_cast<const unsigned char*>("0123456789abcdef"));
        return h;
    }
};

template <> struct Header<ZroWih> {
    static HeaderFacts facts() { return {"WIH ", "ZRHWIH  ", "ZroWorkHeader", 120, 77, false}; }
    static std::string fresh()
    {
        return Image(120)
            .chars(0, "WIH ")
            .i32(4, 1)
            .i32(8, 120)
            .i32(12, 546)
            .blanks(20, 8)
            .blanks(32, 40)
            .bytes;
    }
    static ZroWih filled()
    {
        ZroWih h;
        h.setServiceName("ORDER.SERVICE");
        h.setServiceStep("STEP2");
        h.setMessageToken(reinterpret_cast<const unsigned char*>("fedcba9876543210"));
        return h;
    }
};

template <> struct Header<ZroKih> {
    static HeaderFacts facts()
    {
        return {"KIH ", "ZRKOTA  ", "ZroKOTABridgeHeader", 180, 60, true};
    }
    static std::string fresh()
    {
        Image image(180, ' ');
        image.chars(0, "KIH ").i32(4, 2).i32(8, 180).i32(12, 546);
        for (unsigned at = 16; at <= 72; at += 4)
            if (at != 20 && at != 24) image.i32(at, 0);
        image.i32(44, 273).i32(48, -2).i32(52, 1).i32(56, -1).chars(76, std::string(8, '\0'));
        for (unsigned at = 164; at < 180; at += 4) image.i32(at, 0);
        return image.bytes;
    }
    static ZroKih filled()
    {
        ZroKih h;
        h.setAuthenticator("AUTH1234");
        h.setTransactionIdentifier("TRN1");
        h.setFacilityToken(reinterpret_cast<const unsigned char*>("\1\2\3\4\5\6\7\x08"));
        h.setFacilityLike("FLIK");
        h.setAttentionIdentifier("ATID");
        h.setBridgeCancelCode("CANC");
        h.setReplyToFormat("REPLYFMT");
        h.setUOWControl(274);
        h.setGetWaitInterval(60000);
        h.setLinkType(2);
        h.setOutputDataLength(4096);
        h.setFacilityKeepTime(30);
        h.setADSDescriptor(1);
        h.setConversationalTask(1);
        h.setCursorPosition(42);
        h.setStartCode("SD");
        return h;
    }
};

template <> struct Header<ZroRfh> {
    static HeaderFacts facts()
    {
        return {"RMH ", "ZRHREF  ", "ZroReferenceHeader", 108, 41, false};
    }
    static std::string fresh()
    {
        Image image(108);
        image.chars(0, "RMH ").i32(4, 1).i32(8, 108).i32(12, 546).blanks(20, 8).i32(28, 1);
        for (unsigned part = 0; part < 4; ++part) image.i32(64 + 8 * part + 4, 108);
        return image.bytes;
    }
    static ZroRfh filled()
    {
        ZroRfh h;
        h.setReferenceType("REF");
        h.setSourceEnvironment("source env");
        h.setSourceName("source");
        h.setDestinationEnvironment("dest env");
        h.setDestinationName("destination");
        return h;
    }
};

// The bytes `header` writes into a message described as it is.
template <class H> std::string written(H& header)
{
    ZroMsg message;
    message.setFormat(header.format().dataPointer());
    message.setEncoding(header.encoding());
    message.setCharacterSet(header.characterSet());
    EXPECT_EQ(header.copyOut(message), 1);
    return std::string(message.bufferPointer(), message.messageLength());
}

template <class H> class ZroHeaderProtocolTest : public ZroHeaderTest {
};
using AllHeaders = ::testing::Types<ZroDlh, ZroKih, ZroRfh, ZroRih, ZroWih>;
TYPED_TEST_SUITE(ZroHeaderProtocolTest, AllHeaders);

template <class H> class ZroFixedHeaderTest : public ZroHeaderTest {
};
using FixedHeaders = ::testing::Types<ZroDlh, ZroRih, ZroWih>;
TYPED_TEST_SUITE(ZroFixedHeaderTest, FixedHeaders);

} // namespace

TYPED_TEST(ZroHeaderProtocolTest, NewHeaderInANewMessage)
{
    const HeaderFacts facts = Header<TypeParam>::facts();
    TypeParam header;
    ZroMsg message;
    this->clearEvents();
    ASSERT_EQ(message.writeItem(header), 1);
    this->expectNoText();
    for (const std::string& record : this->records())
        EXPECT_NE(record, "entry " + std::to_string(facts.function)) << "copyOut is untraced";
    ZroTest::expectCodes(header, 0, 0);
    EXPECT_EQ(std::string(message.bufferPointer(), message.messageLength()),
              Header<TypeParam>::fresh());
    EXPECT_EQ(message.dataOffset(), facts.length);
    EXPECT_EQ(message.formatIs(facts.formatName), 1);
    EXPECT_EQ(message.encoding(), ZRENC_NATIVE);
    EXPECT_EQ(message.characterSet(), 0);
}

TYPED_TEST(ZroHeaderProtocolTest, DescriptionAccessors)
{
    TypeParam header;
    ZroHdr& h = header;
    EXPECT_EQ(h.encoding(), ZRENC_NATIVE);
    EXPECT_EQ(h.characterSet(), 0);
    EXPECT_STREQ(h.format().dataPointer(), "        ");
    h.setEncoding(273);
    h.setCharacterSet(1208);
    h.setHeaderFlags(0x5A5A);
    EXPECT_EQ(h.encoding(), 273);
    EXPECT_EQ(h.characterSet(), 1208);
    EXPECT_EQ(h.headerFlags(), 0x5A5A);
    // The format is blank padded, cut at 8, and blank without a name.
    h.setFormat("AB");
    EXPECT_STREQ(h.format().dataPointer(), "AB      ");
    h.setFormat("LONGER THAN 8");
    EXPECT_STREQ(h.format().dataPointer(), "LONGER T");
    h.setFormat(nullptr);
    EXPECT_STREQ(h.format().dataPointer(), "        ");
}

TYPED_TEST(ZroHeaderProtocolTest, WrittenInFrontAndReadBack)
{
    const HeaderFacts facts = Header<TypeParam>::facts();
    TypeParam header = Header<TypeParam>::filled();
    ZroMsg message;
    message.write(10, "0123456789");
    message.setFormat("ZRSTR");
    message.setEncoding(785);
    message.setCharacterSet(500);
    ASSERT_EQ(message.writeItem(header), 1);
    const unsigned length = message.messageLength() - 10;
    EXPECT_GE(length, facts.length);
    EXPECT_EQ(message.dataOffset(), length + 10);
    EXPECT_EQ(std::string(message.bufferPointer() + length, 10), "0123456789");
    EXPECT_EQ(message.formatIs(facts.formatName), 1);
    EXPECT_EQ(message.encoding(), ZRENC_NATIVE);
    EXPECT_STREQ(header.format().dataPointer(), "ZRSTR   ");
    EXPECT_EQ(header.encoding(), 785);
    EXPECT_EQ(header.characterSet(), 500);
    const std::string bytes(message.bufferPointer(), message.messageLength());

    message.setDataOffset(0);
    TypeParam read;
    this->clearEvents();
    ASSERT_EQ(message.readItem(read), 1);
    if (facts.traced) this->expectFrame(facts.function, 0);
    this->expectNoText();
    EXPECT_EQ(message.dataOffset(), length);
    EXPECT_EQ(message.formatIs("ZRSTR   "), 1);
    EXPECT_EQ(message.encoding(), 785);
    EXPECT_EQ(message.characterSet(), 500);
    EXPECT_EQ(written(read) + "0123456789", bytes);
    EXPECT_EQ(read.headerFlags(), header.headerFlags());

    // No header lies at the data offset now: 6107. A later success keeps
    // the sticky code, and a traced exit record carries it.
    this->clearEvents();
    EXPECT_EQ(read.pasteIn(message), 0);
    ZroTest::expectCodes(read, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    message.setDataOffset(0);
    message.setFormat(facts.formatName);
    message.setEncoding(ZRENC_NATIVE);
    this->clearEvents();
    EXPECT_EQ(read.pasteIn(message), 1);
    ZroTest::expectCodes(read, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    if (facts.traced) this->expectFrame(facts.function, ZRRC_STRUC_ID_ERROR);
}

TYPED_TEST(ZroHeaderProtocolTest, TwoHeadersStandInReverseOrder)
{
    const HeaderFacts facts = Header<TypeParam>::facts();
    ZroMsg message;
    ZroStr body("body");
    ASSERT_EQ(message.writeItem(body), 1);
    TypeParam inner = Header<TypeParam>::filled();
    TypeParam outer;
    ASSERT_EQ(message.writeItem(inner), 1);
    ASSERT_EQ(message.writeItem(outer), 1);
    // The outer header names the inner one, the inner one the body.
    EXPECT_STREQ(outer.format().dataPointer(), facts.formatName);
    EXPECT_STREQ(inner.format().dataPointer(), "ZRSTR   ");
    const std::string bytes(message.bufferPointer(), message.messageLength());
    const std::string outerBytes = written(outer);
    EXPECT_EQ(bytes, outerBytes + written(inner) + "body");
}

TYPED_TEST(ZroHeaderProtocolTest, CopyAndAssignment)
{
    TypeParam source = Header<TypeParam>::filled();
    source.setHeaderFlags(3);
    Received empty("", 0, Header<TypeParam>::facts().formatName);
    EXPECT_EQ(source.pasteIn(empty.message), 0); // leaves 2/6107
    TypeParam original = source;
    const std::string bytes = written(source);

    TypeParam copy(original);
    ZroTest::expectCodes(copy, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    EXPECT_EQ(copy.headerFlags(), 3);
    EXPECT_EQ(written(copy), bytes);

    TypeParam assigned;
    assigned = original;
    ZroTest::expectCodes(assigned, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    EXPECT_EQ(assigned.headerFlags(), 3);
    EXPECT_EQ(written(assigned), bytes);

    TypeParam& same = assigned;
    assigned = same;
    ZroTest::expectCodes(assigned, ZRCC_FAILED, ZRRC_STRUC_ID_ERROR);
    EXPECT_EQ(written(assigned), bytes);
}

TYPED_TEST(ZroFixedHeaderTest, EveryTruncatedLength)
{
    this->expectEveryTruncatedLength(Header<TypeParam>::facts(), Header<TypeParam>::filled());
}

TYPED_TEST(ZroFixedHeaderTest, EachCheckedFieldSpoilt)
{
    this->expectCheckedFieldsRefused(Header<TypeParam>::facts(), Header<TypeParam>::filled());
}

TYPED_TEST(ZroFixedHeaderTest, RecordCannotBeWritten)
{
    // The record is the destination of the read: refused, the read fails
    // with the cache's 2004 and moves nothing.
    const HeaderFacts facts = Header<TypeParam>::facts();
    TypeParam valid = Header<TypeParam>::filled();
    Received received(&valid.record(), facts.length, facts.formatName);
    TypeParam header;
    this->refuse(&header.record(), facts.length, 2);
    this->clearEvents();
    EXPECT_EQ(header.pasteIn(received.message), 0);
    ZroTest::expectCodes(header, ZRCC_FAILED, ZRRC_BUFFER_ERROR);
    this->expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
    if (facts.traced) this->expectFrame(facts.function, ZRRC_BUFFER_ERROR);
    EXPECT_EQ(received.message.dataOffset(), 5u);
    EXPECT_EQ(received.message.formatIs(facts.formatName), 1);
    EXPECT_STREQ(header.format().dataPointer(), "        ");
}

namespace {

// A binary field that takes a value of exactly its width.
template <class H> struct BinaryField {
    unsigned offset;
    unsigned width;
    unsigned function; // of its failure text, and of its frame when traced
    bool traced;
    const char* text;
    unsigned char (*set)(H&, const ZroBin&);
    void (*setBytes)(H&, const unsigned char*);
    ZroBin (*get)(const H&);
};

// The bytes of the record (a header's as it writes them), the field at
// `offset` blanked out when `width` is not 0.
std::string around(ZroHdr& header, unsigned offset, unsigned width)
{
    ZroMsg message;
    message.setFormat(header.format().dataPointer());
    message.setEncoding(header.encoding());
    message.setCharacterSet(header.characterSet());
    EXPECT_EQ(header.copyOut(message), 1);
    std::string bytes(message.bufferPointer(), message.messageLength());
    return bytes.replace(offset, width, width, '-');
}
std::string around(ZroGmo3& options, unsigned offset, unsigned width)
{
    std::string bytes(reinterpret_cast<const char*>(&options.record()), sizeof(ZRGMO));
    return bytes.replace(offset, width, width, '-');
}

} // namespace

TEST_F(ZroHeaderTest, BinaryFieldsTakeTheirWidthOnly)
{
    auto check = [this](auto object, const auto& field) {
        SCOPED_TRACE(field.text);
        // The values are made before the events are cleared: building a
        // binary is traced too.
        const std::string bytes(field.width + 8, 'b');
        const ZroBin value(bytes.data(), field.width), empty;
        std::vector<ZroBin> wrong;
        for (unsigned length : {1u, field.width - 1, field.width + 1, field.width + 8})
            wrong.emplace_back(bytes.data(), length);
        const std::string rest = around(object, field.offset, field.width);
        clearEvents();
        EXPECT_EQ(field.set(object, value), 1);
        expectNoText();
        if (field.traced)
            expectFrame(field.function, 0);
        else
            EXPECT_TRUE(records().empty());
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
        // The pointer form: untraced, silent, no more than the width; no
        // pointer gives zeros.
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
    };
    check(ZroKih(), BinaryField<ZroKih>{
                        76, 8, 61, true,
                        "ZroKOTABridgeHeader::setFacilityToken (error): binary data length error\n",
                        [](ZroKih& h, const ZroBin& v) { return h.setFacilityToken(v); },
                        [](ZroKih& h, const unsigned char* b) { h.setFacilityToken(b); },
                        [](const ZroKih& h) { return h.facilityToken(); }});
    check(ZroRih(),
          BinaryField<ZroRih>{
              64, 16, 66, true,
              "ZroRPXBridgeHeader::setTransactionInstanceId (error): binary data length error",
              [](ZroRih& h, const ZroBin& v) { return h.setTransactionInstanceId(v); },
              [](ZroRih& h, const unsigned char* b) { h.setTransactionInstanceId(b); },
              [](const ZroRih& h) { return h.transactionInstanceId(); }});
    check(ZroWih(),
          BinaryField<ZroWih>{72, 16, 78, false,
                              "ZroWorkHeader::setMessageToken (error): binary data length error\n",
                              [](ZroWih& h, const ZroBin& v) { return h.setMessageToken(v); },
                              [](ZroWih& h, const unsigned char* b) { h.setMessageToken(b); },
                              [](const ZroWih& h) { return h.messageToken(); }});
    check(ZroRfh(),
          BinaryField<ZroRfh>{40, 24, 42, false,
                              "ZroReferenceHeader::setInstanceId (error): binary data length error",
                              [](ZroRfh& h, const ZroBin& v) { return h.setInstanceId(v); },
                              [](ZroRfh& h, const unsigned char* b) { h.setInstanceId(b); },
                              [](const ZroRfh& h) { return h.instanceId(); }});
    check(ZroGmo3(), BinaryField<ZroGmo3>{
                         80, 16, 64, true,
                         "ZroGetMessageOptions::setMessageToken (error): binary data length error",
                         [](ZroGmo3& g, const ZroBin& v) { return g.setMessageToken(v); },
                         [](ZroGmo3& g, const unsigned char* b) { g.setMessageToken(b); },
                         [](const ZroGmo3& g) { return g.messageToken(); }});
}

TYPED_TEST(ZroFixedHeaderTest, UncheckedFieldsAreCarried)
{
    // The integers at 4 and 8 (version, and structure length or a spare)
    // are never checked: a record that says 9 and 300 is read as the
    // class's length and written back as it came.
    const HeaderFacts facts = Header<TypeParam>::facts();
    TypeParam valid = Header<TypeParam>::filled();
    Image image(facts.length);
    std::memcpy(&image.bytes[0], &valid.record(), facts.length);
    image.i32(4, 9).i32(8, 300);
    const std::string data = image.bytes + "trailing data";
    Received received(data.data(), facts.length + 13, facts.formatName);
    TypeParam header;
    ASSERT_EQ(header.pasteIn(received.message), 1);
    EXPECT_EQ(received.message.dataOffset(), 5 + facts.length);
    EXPECT_EQ(written(header), image.bytes);
}

namespace {
// Reports its flags doubled: copies take the flags through the virtual getter.
class DoublingDlh : public ZroDlh {
public:
    int32_t headerFlags() const override { return 2 * ZroDlh::headerFlags(); }
};
} // namespace

TEST_F(ZroHeaderTest, DeadLetterFlagsStayWithTheObject)
{
    // Copies take them (through the virtual getter); the message never
    // holds them, and a read leaves them alone.
    ZroDlh header = Header<ZroDlh>::filled();
    header.setHeaderFlags(0x5A5A);
    ZroDlh copy(header), assigned;
    assigned = header;
    EXPECT_EQ(copy.headerFlags(), 0x5A5A);
    EXPECT_EQ(assigned.headerFlags(), 0x5A5A);
    DoublingDlh doubling;
    doubling.setHeaderFlags(5);
    ZroDlh fromDoubling(doubling), assignedFromDoubling;
    assignedFromDoubling = doubling;
    EXPECT_EQ(fromDoubling.headerFlags(), 10);
    EXPECT_EQ(assignedFromDoubling.headerFlags(), 10);

    ZroDlh plain = Header<ZroDlh>::filled();
    ZroMsg withFlags, withoutFlags;
    ASSERT_EQ(withFlags.writeItem(header), 1);
    ASSERT_EQ(withoutFlags.writeItem(plain), 1);
    EXPECT_EQ(messageBytes(withFlags), messageBytes(withoutFlags));
    withFlags.setDataOffset(0);
    ASSERT_EQ(withFlags.readItem(assigned), 1);
    EXPECT_EQ(assigned.headerFlags(), 0x5A5A);
}
