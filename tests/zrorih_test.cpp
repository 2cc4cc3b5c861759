// The RPX bridge header: record bytes, fields, copies and the reading rows.
#include <cstring>
#include <string>
#include <vector>

#include "zrohdrtest.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorih.hpp"

using ZroRihTest = ZroHeaderTest;

namespace {

const HeaderFacts kRih{"RIH ", "ZRRPX   ", "ZroRPXBridgeHeader", 84, 65, true};

const unsigned char kInstance[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                     0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

ZroRih filledHeader()
{
    ZroRih header;
    header.setEncoding(273);
    header.setCharacterSet(1208);
    header.setFormat("ZRSTR");
    header.setHeaderFlags(0x0102);
    header.setLogicalTerminalOverride("LTERM");
    header.setMessageFormatServicesMapName("MAP1");
    header.setReplyToFormat("REPLY");
    header.setAuthenticator("PW");
    header.setTransactionInstanceId(kInstance);
    return header;
}

} // namespace

TEST_F(ZroRihTest, NewHeader)
{
    ZroRih header;
    EXPECT_STREQ(header.authenticator().dataPointer(), "        ");
    EXPECT_STREQ(header.replyToFormat().dataPointer(), "        ");
    EXPECT_STREQ(header.format().dataPointer(), "        ");
    EXPECT_STREQ(header.logicalTerminalOverride().dataPointer(), "");
    EXPECT_STREQ(header.messageFormatServicesMapName().dataPointer(), "");
    EXPECT_TRUE(header.transactionInstanceId() == ZroBin(std::string(16, '\0').data(), 16));
    EXPECT_EQ(header.headerFlags(), 0);

    // copyOut of a new object into a message holding 10 bytes.
    ZroMsg message;
    message.write(10, "0123456789");
    message.setFormat("ZRSTR");
    message.setCharacterSet(850);
    clearEvents();
    ASSERT_EQ(message.writeItem(header), 1);
    expectNoText();
    for (const std::string& record : records()) EXPECT_NE(record, "entry 65");
    EXPECT_EQ(message.messageLength(), 94u);
    EXPECT_EQ(message.dataOffset(), 94u);
    EXPECT_EQ(message.formatIs("ZRRPX   "), 1);
    EXPECT_EQ(message.encoding(), 546);
    EXPECT_EQ(message.characterSet(), 0);
    EXPECT_STREQ(header.format().dataPointer(), "ZRSTR   ");
    EXPECT_EQ(header.characterSet(), 850);

    const char* b = message.bufferPointer();
    EXPECT_EQ(charsAt(b, 0, 4), "RIH ");
    EXPECT_EQ(intAt(b, 4), 1);
    EXPECT_EQ(intAt(b, 8), 84);
    EXPECT_EQ(intAt(b, 12), 546);
    EXPECT_EQ(intAt(b, 16), 850);
    EXPECT_EQ(charsAt(b, 20, 8), "ZRSTR   ");
    EXPECT_EQ(intAt(b, 28), 0);
    EXPECT_EQ(charsAt(b, 32, 32), std::string(32, ' ')) << "four character fields";
    EXPECT_EQ(charsAt(b, 64, 16), std::string(16, '\0'));
    EXPECT_EQ(charsAt(b, 80, 4), " 0C ");
    EXPECT_EQ(charsAt(b, 84, 10), "0123456789");
}

TEST_F(ZroRihTest, FieldsAtTheirOffsets)
{
    ZroRih header = filledHeader();
    ZroMsg message;
    message.setEncoding(273);
    message.setCharacterSet(1208);
    message.setFormat("ZRSTR");
    ASSERT_EQ(header.copyOut(message), 1);
    const char* b = message.bufferPointer();
    EXPECT_EQ(intAt(b, 28), 0x0102) << "header flags are part of the record";
    EXPECT_EQ(charsAt(b, 32, 8), std::string("LTERM\0\0\0", 8));
    EXPECT_EQ(charsAt(b, 40, 8), std::string("MAP1\0\0\0\0", 8));
    EXPECT_EQ(charsAt(b, 48, 8), "REPLY   ");
    EXPECT_EQ(charsAt(b, 56, 8), std::string("PW\0\0\0\0\0\0", 8));
    EXPECT_EQ(std::memcmp(b + 64, kInstance, 16), 0);
    EXPECT_EQ(std::memcmp(b, &header.record(), 84), 0);
}

TEST_F(ZroRihTest, PadCharactersAndStripRules)
{
    ZroRih header;
    header.setAuthenticator("abc");
    EXPECT_EQ(charsAt(header.record().authenticator, 0, 8), std::string("abc\0\0\0\0\0", 8));
    EXPECT_STREQ(header.authenticator().dataPointer(), "abc");
    header.setAuthenticator("ab  ");
    EXPECT_STREQ(header.authenticator().dataPointer(), "ab  ") << "trailing blanks kept";

    header.setReplyToFormat("abc");
    EXPECT_EQ(charsAt(header.record().replyToFormat, 0, 8), "abc     ");
    EXPECT_STREQ(header.replyToFormat().dataPointer(), "abc     ");
    header.setReplyToFormat(nullptr);
    EXPECT_EQ(charsAt(header.record().replyToFormat, 0, 8), std::string(8, ' '));

    header.setLogicalTerminalOverride(" LT  ");
    EXPECT_EQ(charsAt(header.record().logicalTerminalOverride, 0, 8),
              std::string(" LT  \0\0\0", 8));
    EXPECT_STREQ(header.logicalTerminalOverride().dataPointer(), " LT");
    header.setMessageFormatServicesMapName(nullptr);
    EXPECT_EQ(charsAt(header.record().messageFormatServicesMapName, 0, 8), std::string(8, '\0'));

    clearEvents();
    header.setMessageFormatServicesMapName("NINECHARS");
    EXPECT_STREQ(header.messageFormatServicesMapName().dataPointer(), "NINECHAR");
    expectOnlyText(43, "static ZroString::copy (warning): string truncated");
    expectCodes(header, 0, 0);

    header.setFormat("F");
    EXPECT_STREQ(header.format().dataPointer(), "F       ");
    header.setFormat(nullptr);
    EXPECT_STREQ(header.format().dataPointer(), "        ");
}

TEST_F(ZroRihTest, TransactionInstanceId)
{
    // The values are made before the events are cleared: a binary's own
    // construction is traced too.
    const ZroBin sixteen(kInstance, 16), eight(kInstance, 8), fifteen(kInstance, 15);
    const ZroBin seventeen(std::string(17, 'x').data(), 17), empty;
    ZroRih header;
    clearEvents();
    EXPECT_EQ(header.setTransactionInstanceId(sixteen), 1);
    expectFrame(66, 0);
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 66", "exit 66 0"}));
    expectNoText();
    EXPECT_EQ(std::memcmp(header.record().transactionInstanceId, kInstance, 16), 0);
    EXPECT_TRUE(header.transactionInstanceId() == sixteen);

    clearEvents();
    EXPECT_EQ(header.setTransactionInstanceId(eight), 0);
    expectCodes(header, 2, 6111);
    expectOnlyText(
        66, "ZroRPXBridgeHeader::setTransactionInstanceId (error): binary data length error");
    expectFrame(66, 6111);
    EXPECT_EQ(std::memcmp(header.record().transactionInstanceId, kInstance, 16), 0) << "kept";
    EXPECT_EQ(header.setTransactionInstanceId(fifteen), 0);
    EXPECT_EQ(header.setTransactionInstanceId(seventeen), 0);
    EXPECT_EQ(std::memcmp(header.record().transactionInstanceId, kInstance, 16), 0) << "kept";

    // An empty value stores zeros and succeeds; the exit carries the old reason.
    clearEvents();
    EXPECT_EQ(header.setTransactionInstanceId(empty), 1);
    expectFrame(66, 6111);
    expectNoText();
    expectCodes(header, 2, 6111);
    EXPECT_EQ(header.transactionInstanceId().isNull(), 1);
    EXPECT_EQ(header.transactionInstanceId().dataLength(), 16u);

    // The pointer form: untraced, a null pointer stores zeros.
    clearEvents();
    header.setTransactionInstanceId(kInstance);
    EXPECT_EQ(std::memcmp(header.record().transactionInstanceId, kInstance, 16), 0);
    header.setTransactionInstanceId(static_cast<const unsigned char*>(nullptr));
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(header.transactionInstanceId().isNull(), 1);

    // Without storage for the copy the getter gives an empty binary.
    failAllocation(1);
    ZroBin none = header.transactionInstanceId();
    EXPECT_EQ(none.dataLength(), 0u);
    expectCodes(none, 2, 2071);
}

TEST_F(ZroRihTest, CarriedFieldsAndStructureLength)
{
    // A record whose structure length says 100 is still read as 84 bytes;
    // version, length and spare characters come in and go out unchanged.
    ZRRIH record = filledHeader().record();
    record.version = 9;
    record.strucLength = 100;
    std::memcpy(record.spareCharacters, "\x01\x02\x03\x04", 4);
    char bytes[84 + 16];
    std::memcpy(bytes, &record, 84);
    std::memset(bytes + 84, 'T', 16);
    Received received(bytes, sizeof bytes, "ZRRPX   ");
    ZroRih header;
    clearEvents();
    ASSERT_EQ(header.pasteIn(received.message), 1);
    expectFrame(65, 0);
    EXPECT_EQ(received.message.dataOffset(), 5u + 84);
    EXPECT_EQ(std::memcmp(&header.record(), &record, 84), 0);
    EXPECT_EQ(received.message.formatIs("ZRSTR   "), 1);
    EXPECT_EQ(received.message.encoding(), 273);
    EXPECT_EQ(received.message.characterSet(), 1208);

    ZroMsg out;
    out.setEncoding(273);
    out.setCharacterSet(1208);
    out.setFormat("ZRSTR");
    ASSERT_EQ(header.copyOut(out), 1);
    EXPECT_EQ(std::memcmp(out.bufferPointer(), &record, 84), 0);
}

TEST_F(ZroRihTest, CopyAndAssignment)
{
    ZroRih source = filledHeader();
    source.setTransactionInstanceId(ZroBin(kInstance, 3)); // leaves 2/6111
    ZroRih copy(source);
    expectCodes(copy, 2, 6111);
    EXPECT_EQ(std::memcmp(&copy.record(), &source.record(), 84), 0);
    EXPECT_EQ(copy.headerFlags(), 0x0102);

    ZroRih assigned;
    assigned = source;
    expectCodes(assigned, 2, 6111);
    EXPECT_EQ(std::memcmp(&assigned.record(), &source.record(), 84), 0);

    ZroRih& same = assigned;
    assigned.setAuthenticator("SELF");
    assigned = same;
    EXPECT_STREQ(assigned.authenticator().dataPointer(), "SELF");
    expectCodes(assigned, 2, 6111);
}

TEST_F(ZroRihTest, ReadingRows)
{
    ZroRih valid = filledHeader();
    // 50 bytes after a valid id, encoding and format: 6114, nothing moves.
    Received fifty(&valid.record(), 50, "ZRRPX   ");
    ZroRih header = target<ZroRih>();
    expectRefused(kRih, header, fifty.message, ZRRC_INSUFFICIENT_DATA);

    // The exit record of a later success carries the reason left behind.
    Received whole(&valid.record(), 84, "ZRRPX   ");
    clearEvents();
    EXPECT_EQ(header.pasteIn(whole.message), 1);
    expectFrame(65, 6114);
}

TEST_F(ZroRihTest, EveryTruncatedLength) { expectEveryTruncatedLength(kRih, filledHeader()); }

TEST_F(ZroRihTest, EachCheckedFieldSpoilt) { expectCheckedFieldsRefused(kRih, filledHeader()); }
