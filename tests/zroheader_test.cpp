// The header protocol, once for every header class: what a new header
// writes, writing in front of data and reading it back, copies and
// assignment, the description accessors, and the refusals of pasteIn.
#include <cstring>
#include <string>

#include "zrohdrtest.hpp"
#include "zroi/zrodlh.hpp"
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
    static HeaderFacts facts() { return {"DLH ", "ZRDEAD  ", "ZroDeadLetterHeader", 172, 10, true}; }
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

template <class H> class ZroHeaderProtocolTest : public ZroHeaderTest {};
using AllHeaders = ::testing::Types<ZroDlh, ZroKih, ZroRfh, ZroRih, ZroWih>;
TYPED_TEST_SUITE(ZroHeaderProtocolTest, AllHeaders);

template <class H> class ZroFixedHeaderTest : public ZroHeaderTest {};
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
