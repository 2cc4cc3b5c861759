// The dead-letter header: record bytes, fields, copies and the reading rows.
#include <cstring>
#include <string>

#include "zrohdrtest.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zromsg.hpp"

using ZroDlhTest = ZroHeaderTest;

namespace {

const HeaderFacts kDlh{"DLH ", "ZRDEAD  ", "ZroDeadLetterHeader", 172, 10, true};

// A header with every field set, as a sender would write it.
ZroDlh filledHeader()
{
    ZroDlh header;
    header.setDestinationQueueName("DEST.QUEUE");
    header.setDestinationQueueManagerName("DEST.QMGR");
    header.setEncoding(273);
    header.setCharacterSet(1208);
    header.setFormat("ZRSTR");
    header.setPutApplicationName("putter");
    header.setPutDate("20240131");
    header.setPutTime("12345678");
    return header;
}

} // namespace

TEST_F(ZroDlhTest, NewHeaderWrittenIntoAnEmptyMessage)
{
    ZroDlh header;
    EXPECT_STREQ(header.format().dataPointer(), "        ");
    EXPECT_EQ(header.encoding(), 546);
    EXPECT_EQ(header.characterSet(), 0);
    EXPECT_EQ(header.headerFlags(), 0);
    EXPECT_STREQ(header.destinationQueueName().dataPointer(), "");
    EXPECT_STREQ(header.putTime().dataPointer(), "");

    ZroMsg message;
    message.setFormat("ZRSTR");
    message.setCharacterSet(850);
    clearEvents();
    ASSERT_EQ(message.writeItem(header), 1);
    expectNoText();
    for (const std::string& record : records())
        EXPECT_NE(record, "entry 10") << "copyOut is untraced";
    expectCodes(header, 0, 0);

    EXPECT_EQ(message.messageLength(), 172u);
    EXPECT_EQ(message.dataOffset(), 172u);
    EXPECT_EQ(message.formatIs("ZRDEAD  "), 1);
    EXPECT_EQ(message.encoding(), 546);
    EXPECT_EQ(message.characterSet(), 0);
    EXPECT_STREQ(header.format().dataPointer(), "ZRSTR   ");
    EXPECT_EQ(header.characterSet(), 850);

    const char* b = message.bufferPointer();
    EXPECT_EQ(charsAt(b, 0, 4), "DLH ");
    EXPECT_EQ(intAt(b, 4), 1) << "structure version";
    EXPECT_EQ(intAt(b, 8), 0) << "spare integer 1";
    EXPECT_EQ(charsAt(b, 12, 48), std::string(48, '\0'));
    EXPECT_EQ(charsAt(b, 60, 48), std::string(48, '\0'));
    EXPECT_EQ(intAt(b, 108), 546);
    EXPECT_EQ(intAt(b, 112), 850);
    EXPECT_EQ(charsAt(b, 116, 8), "ZRSTR   ");
    EXPECT_EQ(intAt(b, 124), 0) << "spare integer 2";
    EXPECT_EQ(charsAt(b, 128, 44), std::string(44, '\0')) << "application, date, time";
}

TEST_F(ZroDlhTest, FieldsAtTheirOffsets)
{
    ZroDlh header = filledHeader();
    ZroMsg message;
    message.setEncoding(273);
    message.setCharacterSet(1208);
    message.setFormat("ZRSTR");
    ASSERT_EQ(header.copyOut(message), 1);
    const char* b = message.bufferPointer();
    EXPECT_EQ(charsAt(b, 12, 48), "DEST.QUEUE" + std::string(38, '\0'));
    EXPECT_EQ(charsAt(b, 60, 48), "DEST.QMGR" + std::string(39, '\0'));
    EXPECT_EQ(intAt(b, 108), 273);
    EXPECT_EQ(intAt(b, 112), 1208);
    EXPECT_EQ(charsAt(b, 116, 8), "ZRSTR   ");
    EXPECT_EQ(charsAt(b, 128, 28), "putter" + std::string(22, '\0'));
    EXPECT_EQ(charsAt(b, 156, 8), "20240131") << "8 digits fill the field, no NUL";
    EXPECT_EQ(charsAt(b, 164, 8), "12345678");
    EXPECT_EQ(std::memcmp(b, &header.record(), 172), 0);
}

TEST_F(ZroDlhTest, TextFieldsCutPadAndStrip)
{
    ZroDlh header;
    const std::string sixty(60, 'q');
    clearEvents();
    header.setDestinationQueueName(sixty.c_str());
    EXPECT_EQ(header.destinationQueueName().length(), 48u);
    EXPECT_EQ(std::string(header.destinationQueueName().dataPointer()), std::string(48, 'q'));
    // The cut is the static copy's warning, never the header's.
    expectOnlyText(43, "static ZroString::copy (warning): string truncated");
    expectCodes(header, 0, 0);

    header.setDestinationQueueManagerName("  QM  ");
    EXPECT_STREQ(header.destinationQueueManagerName().dataPointer(), "  QM");
    EXPECT_EQ(charsAt(header.record().destinationQueueManagerName, 0, 8),
              std::string("  QM  \0\0", 8));

    header.setPutApplicationName(std::string(30, 'a').c_str());
    EXPECT_EQ(header.putApplicationName().length(), 28u);
    header.setPutApplicationName(nullptr);
    EXPECT_EQ(charsAt(header.record().putApplName, 0, 28), std::string(28, '\0'));
    EXPECT_STREQ(header.putApplicationName().dataPointer(), "");

    header.setPutDate("2024");
    EXPECT_EQ(charsAt(header.record().putDate, 0, 8), std::string("2024\0\0\0\0", 8));
    header.setPutTime("123456789");
    EXPECT_STREQ(header.putTime().dataPointer(), "12345678");

    // The format is blank padded and keeps its trailing blanks.
    header.setFormat("AB");
    EXPECT_EQ(charsAt(header.record().format, 0, 8), "AB      ");
    EXPECT_STREQ(header.format().dataPointer(), "AB      ");
    header.setFormat("LONGER THAN 8");
    EXPECT_STREQ(header.format().dataPointer(), "LONGER T");
    header.setFormat(nullptr);
    EXPECT_STREQ(header.format().dataPointer(), "        ");
}

TEST_F(ZroDlhTest, ReceivedRecordsAsPeersSendThem)
{
    ZroDlh sent;
    ZRDLH record = sent.record();
    std::memcpy(record.destinationQueueName, "  NAME  ", 8);
    std::memset(record.destinationQueueName + 8, ' ', 40);    // blank padded by the peer
    std::memset(record.destinationQueueManagerName, 'M', 48); // no NUL at all
    std::memset(record.putApplName, ' ', 28);
    std::memcpy(record.putDate, "2024\0XYZ", 8); // bytes after the NUL are not text
    std::memset(record.putTime, 0xFF, 8);
    record.version = 7;
    record.spareInteger1 = 0x11223344;
    record.spareInteger2 = -5;
    std::memcpy(record.format, "ZRSTR   ", 8);

    Received received(&record, sizeof record, "ZRDEAD  ");
    ZroDlh header;
    ASSERT_EQ(header.pasteIn(received.message), 1);
    EXPECT_STREQ(header.destinationQueueName().dataPointer(), "  NAME");
    EXPECT_EQ(std::string(header.destinationQueueManagerName().dataPointer()),
              std::string(48, 'M'));
    EXPECT_STREQ(header.putApplicationName().dataPointer(), "");
    EXPECT_STREQ(header.putDate().dataPointer(), "2024");
    EXPECT_EQ(std::string(header.putTime().dataPointer()), std::string(8, '\xFF'));

    // Version and spare integers are carried: read in, written out unchanged.
    EXPECT_EQ(header.record().version, 7);
    EXPECT_EQ(header.record().spareInteger1, 0x11223344);
    EXPECT_EQ(header.record().spareInteger2, -5);
    ZroMsg message;
    message.setFormat("ZRSTR");
    ASSERT_EQ(header.copyOut(message), 1);
    EXPECT_EQ(std::memcmp(message.bufferPointer(), &record, sizeof record), 0);
}

TEST_F(ZroDlhTest, HeaderFlagsStayWithTheObject)
{
    ZroDlh header = filledHeader();
    header.setHeaderFlags(0x5A5A);
    ZroDlh copy(header);
    EXPECT_EQ(copy.headerFlags(), 0x5A5A);
    ZroDlh assigned;
    assigned = header;
    EXPECT_EQ(assigned.headerFlags(), 0x5A5A);

    // The flags never reach the message: the bytes equal those of a header
    // without flags.
    ZroDlh plain = filledHeader();
    ZroMsg withFlags, withoutFlags;
    ASSERT_EQ(withFlags.writeItem(header), 1);
    ASSERT_EQ(withoutFlags.writeItem(plain), 1);
    EXPECT_EQ(messageBytes(withFlags), messageBytes(withoutFlags));

    // Nor does pasteIn touch them.
    withFlags.setDataOffset(0);
    ASSERT_EQ(withFlags.readItem(assigned), 1);
    EXPECT_EQ(assigned.headerFlags(), 0x5A5A);
}

namespace {
// Reports its flags doubled: copies take the flags through the virtual getter.
class DoublingDlh : public ZroDlh {
public:
    int32_t headerFlags() const override { return 2 * ZroDlh::headerFlags(); }
};
} // namespace

TEST_F(ZroDlhTest, CopyAndAssignment)
{
    ZroDlh source = filledHeader();
    Received empty("", 0, "ZRDEAD  ");
    EXPECT_EQ(source.pasteIn(empty.message), 0); // leaves 2/6107
    ZroDlh copy(source);
    expectCodes(copy, 2, 6107);
    EXPECT_EQ(std::memcmp(&copy.record(), &source.record(), 172), 0);

    ZroDlh assigned;
    assigned = source;
    expectCodes(assigned, 2, 6107);
    EXPECT_EQ(std::memcmp(&assigned.record(), &source.record(), 172), 0);

    ZroDlh& same = assigned;
    assigned.setHeaderFlags(3);
    assigned = same;
    expectCodes(assigned, 2, 6107);
    EXPECT_EQ(assigned.headerFlags(), 3);
    EXPECT_STREQ(assigned.destinationQueueName().dataPointer(), "DEST.QUEUE");

    DoublingDlh doubling;
    doubling.setHeaderFlags(5);
    ZroDlh fromDoubling(doubling);
    EXPECT_EQ(fromDoubling.headerFlags(), 10);
    ZroDlh assignedFromDoubling;
    assignedFromDoubling = doubling;
    EXPECT_EQ(assignedFromDoubling.headerFlags(), 10);
}

TEST_F(ZroDlhTest, WrittenInFrontAndReadBack)
{
    ZroMsg message;
    message.write(10, "0123456789");
    message.setFormat("ZRSTR");
    message.setEncoding(785);
    message.setCharacterSet(500);
    ZroDlh header;
    ASSERT_EQ(message.writeItem(header), 1);
    EXPECT_EQ(message.messageLength(), 182u);
    EXPECT_EQ(message.dataOffset(), 182u);
    EXPECT_EQ(charsAt(message.bufferPointer(), 172, 10), "0123456789");

    message.setDataOffset(0);
    ZroDlh read;
    clearEvents();
    ASSERT_EQ(message.readItem(read), 1);
    expectFrame(10, 0);
    expectNoText();
    EXPECT_EQ(message.dataOffset(), 172u) << "on the first of the 10 bytes";
    EXPECT_EQ(message.formatIs("ZRSTR   "), 1);
    EXPECT_EQ(message.encoding(), 785);
    EXPECT_EQ(message.characterSet(), 500);
    EXPECT_EQ(std::memcmp(&read.record(), &header.record(), 172), 0);

    // Without moving the cursor back no header lies at the data offset.
    clearEvents();
    EXPECT_EQ(read.pasteIn(message), 0);
    expectCodes(read, 2, 6107);
    expectFrame(10, 6107);

    // A later success keeps the sticky code, and its exit record carries it.
    message.setDataOffset(0);
    message.setFormat("ZRDEAD");
    message.setEncoding(546);
    clearEvents();
    EXPECT_EQ(read.pasteIn(message), 1);
    expectCodes(read, 2, 6107);
    expectFrame(10, 6107);
}

TEST_F(ZroDlhTest, TwoHeadersStandInReverseOrder)
{
    ZroMsg message;
    ZroStr body("body");
    message.writeItem(body);
    ZroDlh first, second;
    first.setPutApplicationName("first");
    second.setPutApplicationName("second");
    ASSERT_EQ(message.writeItem(first), 1);
    ASSERT_EQ(message.writeItem(second), 1);
    EXPECT_EQ(message.messageLength(), 2 * 172u + 4);
    const char* b = message.bufferPointer();
    EXPECT_EQ(charsAt(b, 128, 6), "second");
    EXPECT_EQ(charsAt(b, 116, 8), "ZRDEAD  ") << "the outer header names the inner one";
    EXPECT_EQ(charsAt(b, 172 + 128, 5), "first");
    EXPECT_EQ(charsAt(b, 172 + 116, 8), "ZRSTR   ");
    EXPECT_EQ(charsAt(b, 344, 4), "body");
}

TEST_F(ZroDlhTest, ShortDataAndWrongEncoding)
{
    // The right id, encoding and format but only 100 bytes: the cache's 6114.
    ZroDlh valid = filledHeader();
    Received shortData(&valid.record(), 100, "ZRDEAD  ");
    ZroDlh header = target<ZroDlh>();
    expectRefused(kDlh, header, shortData.message, ZRRC_INSUFFICIENT_DATA);

    // A well-formed record with encoding 273: 6106 before anything is read.
    Received other(&valid.record(), 172, "ZRDEAD  ");
    other.message.setEncoding(273);
    expectRefused(kDlh, header, other.message, ZRRC_ENCODING_ERROR);

    // Fewer than 4 bytes: 6107, not 6114.
    Received three(&valid.record(), 3, "ZRDEAD  ");
    expectRefused(kDlh, header, three.message, ZRRC_STRUC_ID_ERROR);
}

TEST_F(ZroDlhTest, EachCheckedFieldSpoilt) { expectCheckedFieldsRefused(kDlh, filledHeader()); }

TEST_F(ZroDlhTest, RecordCannotBeWritten)
{
    // The record is the destination of the read: a refused record fails with
    // the cache's 2004 and moves nothing.
    ZroDlh valid = filledHeader();
    Received received(&valid.record(), 172, "ZRDEAD  ");
    ZroDlh header;
    refuse(&header.record(), 172, 2);
    clearEvents();
    EXPECT_EQ(header.pasteIn(received.message), 0);
    expectCodes(header, 2, 2004);
    expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
    expectFrame(10, 2004);
    EXPECT_EQ(received.message.dataOffset(), 5u);
    EXPECT_EQ(received.message.formatIs("ZRDEAD  "), 1);
    EXPECT_STREQ(header.format().dataPointer(), "        ");
}
