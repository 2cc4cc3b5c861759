// The work information header: record bytes, fields, copies and the reading rows.
#include <cstring>
#include <string>

#include "zrohdrtest.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrowih.hpp"

using ZroWihTest = ZroHeaderTest;

namespace {

const HeaderFacts kWih{"WIH ", "ZRHWIH  ", "ZroWorkHeader", 120, 77, false};

const unsigned char kToken[16] = {0xF0, 0xE1, 0xD2, 0xC3, 0xB4, 0xA5, 0x96, 0x87,
                                  0x78, 0x69, 0x5A, 0x4B, 0x3C, 0x2D, 0x1E, 0x0F};

const char kTokenText[] = "ZroWorkHeader::setMessageToken (error): binary data length error\n";

ZroWih filledHeader()
{
    ZroWih header;
    header.setEncoding(273);
    header.setCharacterSet(1208);
    header.setFormat("ZRSTR");
    header.setHeaderFlags(7);
    header.setServiceName("ORDER.SERVICE");
    header.setServiceStep("STEP2");
    header.setMessageToken(kToken);
    return header;
}

} // namespace

TEST_F(ZroWihTest, NewHeaderWrittenIntoAnEmptyMessage)
{
    ZroWih header;
    EXPECT_STREQ(header.serviceName().dataPointer(), std::string(32, ' ').c_str());
    EXPECT_STREQ(header.serviceStep().dataPointer(), "        ");
    EXPECT_STREQ(header.format().dataPointer(), "        ");
    EXPECT_EQ(header.messageToken().isNull(), 1);
    EXPECT_EQ(header.messageToken().dataLength(), 16u);

    ZroMsg message;
    clearEvents();
    ASSERT_EQ(message.writeItem(header), 1);
    expectNoText();
    EXPECT_EQ(message.messageLength(), 120u);
    EXPECT_EQ(message.dataOffset(), 120u);
    const char* b = message.bufferPointer();
    EXPECT_EQ(charsAt(b, 0, 4), "WIH ");
    EXPECT_EQ(intAt(b, 4), 1);
    EXPECT_EQ(intAt(b, 8), 120);
    EXPECT_EQ(intAt(b, 12), 546);
    EXPECT_EQ(intAt(b, 16), 0);
    EXPECT_EQ(charsAt(b, 20, 8), "        ");
    EXPECT_EQ(intAt(b, 28), 0);
    EXPECT_EQ(charsAt(b, 32, 32), std::string(32, ' '));
    EXPECT_EQ(charsAt(b, 64, 8), std::string(8, ' '));
    EXPECT_EQ(charsAt(b, 72, 16), std::string(16, '\0'));
    EXPECT_EQ(charsAt(b, 88, 32), std::string(32, '\0')) << "spare bytes are zero";
}

TEST_F(ZroWihTest, WrittenInFrontOfFiveBytes)
{
    ZroMsg message;
    message.write(5, "abcde");
    message.setFormat("ZRSTR");
    message.setCharacterSet(850);
    ZroWih header = filledHeader();
    ASSERT_EQ(message.writeItem(header), 1);
    EXPECT_EQ(message.messageLength(), 125u);
    EXPECT_STREQ(header.format().dataPointer(), "ZRSTR   ");
    EXPECT_EQ(header.characterSet(), 850);
    EXPECT_EQ(header.encoding(), 546);
    EXPECT_EQ(message.formatIs("ZRHWIH  "), 1);
    EXPECT_EQ(message.encoding(), 546);
    EXPECT_EQ(message.characterSet(), 0);

    const char* b = message.bufferPointer();
    EXPECT_EQ(intAt(b, 16), 850);
    EXPECT_EQ(charsAt(b, 20, 8), "ZRSTR   ");
    EXPECT_EQ(intAt(b, 28), 7) << "header flags are part of the record";
    EXPECT_EQ(charsAt(b, 32, 32), "ORDER.SERVICE" + std::string(19, ' '));
    EXPECT_EQ(charsAt(b, 64, 8), "STEP2   ");
    EXPECT_EQ(std::memcmp(b + 72, kToken, 16), 0);
    EXPECT_EQ(charsAt(b, 120, 5), "abcde");

    message.setDataOffset(0);
    ZroWih read;
    clearEvents();
    ASSERT_EQ(message.readItem(read), 1);
    expectNoText();
    for (const std::string& record : records()) EXPECT_NE(record, "entry 77") << "not traced";
    EXPECT_EQ(message.dataOffset(), 120u);
    EXPECT_EQ(message.formatIs("ZRSTR   "), 1);
    EXPECT_EQ(message.characterSet(), 850);
    EXPECT_EQ(std::memcmp(&read.record(), &header.record(), 120), 0);
}

TEST_F(ZroWihTest, ServiceNameAndStep)
{
    ZroWih header;
    clearEvents();
    header.setServiceName(std::string(40, 's').c_str());
    EXPECT_STREQ(header.serviceName().dataPointer(), std::string(32, 's').c_str());
    expectOnlyText(43, "static ZroString::copy (warning): string truncated");
    expectCodes(header, 0, 0);

    header.setServiceStep("x");
    EXPECT_EQ(charsAt(header.record().serviceStep, 0, 8), "x       ");
    EXPECT_STREQ(header.serviceStep().dataPointer(), "x       ") << "blanks kept";
    header.setServiceStep(nullptr);
    EXPECT_STREQ(header.serviceStep().dataPointer(), "        ");
    header.setServiceName(nullptr);
    EXPECT_EQ(charsAt(header.record().serviceName, 0, 32), std::string(32, ' '));

    header.setFormat("TOOLONGNAME");
    EXPECT_STREQ(header.format().dataPointer(), "TOOLONGN");
    header.setFormat(nullptr);
    EXPECT_STREQ(header.format().dataPointer(), "        ");

    // A received name with a NUL in it ends there.
    ZRWIH record = header.record();
    std::memcpy(record.serviceName, "AB\0CD", 5);
    Received received(&record, sizeof record, "ZRHWIH  ");
    ASSERT_EQ(header.pasteIn(received.message), 1);
    EXPECT_STREQ(header.serviceName().dataPointer(), "AB");
}

TEST_F(ZroWihTest, MessageToken)
{
    // The values are made before the events are cleared: a binary's own
    // construction is traced.
    const ZroBin sixteen(kToken, 16), one(kToken, 1), empty;
    const ZroBin twentyFour(std::string(24, 't').data(), 24);
    ZroWih header;
    clearEvents();
    EXPECT_EQ(header.setMessageToken(sixteen), 1);
    EXPECT_TRUE(events().empty()) << "untraced, no text";
    EXPECT_TRUE(header.messageToken() == sixteen);

    clearEvents();
    EXPECT_EQ(header.setMessageToken(twentyFour), 0);
    expectCodes(header, 2, 6111);
    expectOnlyText(78, kTokenText);
    EXPECT_TRUE(records().empty()) << "untraced";
    EXPECT_EQ(std::memcmp(header.record().messageToken, kToken, 16), 0) << "kept";
    EXPECT_EQ(header.setMessageToken(one), 0);
    EXPECT_EQ(std::memcmp(header.record().messageToken, kToken, 16), 0) << "kept";

    clearEvents();
    EXPECT_EQ(header.setMessageToken(empty), 1);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(header.messageToken().isNull(), 1);
    expectCodes(header, 2, 6111); // success leaves the old codes

    header.setMessageToken(kToken);
    EXPECT_EQ(std::memcmp(header.record().messageToken, kToken, 16), 0);
    header.setMessageToken(static_cast<const unsigned char*>(nullptr));
    EXPECT_EQ(header.messageToken().isNull(), 1);
}

TEST_F(ZroWihTest, StructureLengthIsCarriedNotChecked)
{
    ZRWIH record = filledHeader().record();
    record.strucLength = 200;
    record.version = 3;
    std::memset(record.spareBytes, 0xA5, sizeof record.spareBytes);
    char bytes[120 + 80];
    std::memcpy(bytes, &record, 120);
    std::memset(bytes + 120, 'd', 80);
    Received received(bytes, sizeof bytes, "ZRHWIH  ");
    ZroWih header;
    clearEvents();
    ASSERT_EQ(header.pasteIn(received.message), 1);
    expectNoText();
    EXPECT_EQ(received.message.dataOffset(), 5u + 120) << "moved by 120, not 200";
    EXPECT_EQ(header.record().strucLength, 200);
    EXPECT_EQ(std::memcmp(&header.record(), &record, 120), 0);

    ZroMsg out;
    out.setEncoding(273);
    out.setCharacterSet(1208);
    out.setFormat("ZRSTR");
    ASSERT_EQ(header.copyOut(out), 1);
    EXPECT_EQ(intAt(out.bufferPointer(), 8), 200) << "written as it stands";
    EXPECT_EQ(std::memcmp(out.bufferPointer(), &record, 120), 0);
}

TEST_F(ZroWihTest, CopyAndAssignment)
{
    ZroWih source = filledHeader();
    source.setMessageToken(ZroBin(kToken, 2)); // leaves 2/6111
    ZroWih copy(source);
    expectCodes(copy, 2, 6111);
    EXPECT_EQ(std::memcmp(&copy.record(), &source.record(), 120), 0);

    ZroWih assigned;
    assigned = source;
    expectCodes(assigned, 2, 6111);
    EXPECT_EQ(std::memcmp(&assigned.record(), &source.record(), 120), 0);

    ZroWih& same = assigned;
    assigned.setServiceStep("SELF");
    assigned = same;
    EXPECT_STREQ(assigned.serviceStep().dataPointer(), "SELF    ");
}

TEST_F(ZroWihTest, ReadingRows)
{
    // 119 bytes after the data offset with a valid id, encoding and format.
    ZroWih valid = filledHeader();
    Received short119(&valid.record(), 119, "ZRHWIH  ");
    ZroWih header = target<ZroWih>();
    expectRefused(kWih, header, short119.message, ZRRC_INSUFFICIENT_DATA);
}

TEST_F(ZroWihTest, EveryTruncatedLength) { expectEveryTruncatedLength(kWih, filledHeader()); }

TEST_F(ZroWihTest, EachCheckedFieldSpoilt) { expectCheckedFieldsRefused(kWih, filledHeader()); }
