// Headers chained in front of a body, and the rows of the header protocol
// that every header shares: room, growth, refused writes, check order.
#include <cstring>
#include <string>
#include <vector>

#include "zrohdrtest.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrowih.hpp"

using ZroChainTest = ZroHeaderTest;

namespace {

const HeaderFacts kDlh{"DLH ", "ZRDEAD  ", "ZroDeadLetterHeader", 172, 10, true};

const char kBody[] = "the body at the end of the chain";
constexpr unsigned kBodyLength = sizeof kBody - 1;

// The reference header's four texts, laid out back to back behind its
// 108-byte fixed part.
const char kSourceEnvironment[] = "SRC.ENV";
const char kSourceName[] = "/in/file.dat";
const char kDestinationEnvironment[] = "DST";
const char kDestinationName[] = "/out/file.dat";
constexpr unsigned kRfhLength = 108 + 7 + 12 + 3 + 13;

// Offsets of the chain: dead-letter header, reference header, work header, body.
constexpr unsigned kDlhAt = 0;
constexpr unsigned kRfhAt = kDlhAt + 172;
constexpr unsigned kWihAt = kRfhAt + kRfhLength;
constexpr unsigned kBodyAt = kWihAt + 120;

// The description the application gives its body, and the character sets it
// sets on the message between the headers, so that every hand-over shows.
constexpr int32_t kBodyEncoding = 273;
constexpr int32_t kBodyCharacterSet = 1208;
constexpr int32_t kWihCharacterSet = 437;
constexpr int32_t kRfhCharacterSet = 819;

void expectDescription(const ZroMsg& message, const char* format, int32_t encoding,
                       int32_t characterSet)
{
    EXPECT_STREQ(message.format().dataPointer(), format);
    EXPECT_EQ(message.encoding(), encoding);
    EXPECT_EQ(message.characterSet(), characterSet);
}

void expectDescription(const ZroHdr& header, const char* format, int32_t encoding,
                       int32_t characterSet)
{
    EXPECT_STREQ(header.format().dataPointer(), format);
    EXPECT_EQ(header.encoding(), encoding);
    EXPECT_EQ(header.characterSet(), characterSet);
}

// Writes body, work header, reference header and dead-letter header,
// innermost first, and checks the hand-over of format, encoding and
// character set at each step.
void writeChain(ZroMsg& message, ZroWih& wih, ZroRfh& rfh, ZroDlh& dlh)
{
    ZroStr body(kBody);
    ASSERT_EQ(message.writeItem(body), 1);
    expectDescription(message, "ZRSTR   ", 546, 0);
    message.setEncoding(kBodyEncoding);
    message.setCharacterSet(kBodyCharacterSet);

    ASSERT_EQ(message.writeItem(wih), 1);
    expectDescription(wih, "ZRSTR   ", kBodyEncoding, kBodyCharacterSet);
    expectDescription(message, "ZRHWIH  ", 546, 0);
    EXPECT_EQ(message.messageLength(), 120 + kBodyLength);
    message.setCharacterSet(kWihCharacterSet);

    ASSERT_EQ(message.writeItem(rfh), 1);
    expectDescription(rfh, "ZRHWIH  ", 546, kWihCharacterSet);
    expectDescription(message, "ZRHREF  ", 546, 0);
    EXPECT_EQ(message.messageLength(), kRfhLength + 120 + kBodyLength);
    message.setCharacterSet(kRfhCharacterSet);

    ASSERT_EQ(message.writeItem(dlh), 1);
    expectDescription(dlh, "ZRHREF  ", 546, kRfhCharacterSet);
    expectDescription(message, "ZRDEAD  ", 546, 0);
    EXPECT_EQ(message.messageLength(), kBodyAt + kBodyLength);
    EXPECT_EQ(message.dataOffset(), message.messageLength());
}

ZroWih workHeader()
{
    ZroWih wih;
    wih.setServiceName("CHAIN.SERVICE");
    wih.setServiceStep("S1");
    wih.setHeaderFlags(1);
    return wih;
}

ZroRfh referenceHeader()
{
    ZroRfh rfh;
    rfh.setReferenceType("FILE");
    rfh.setSourceEnvironment(kSourceEnvironment);
    rfh.setSourceName(kSourceName);
    rfh.setDestinationEnvironment(kDestinationEnvironment);
    rfh.setDestinationName(kDestinationName);
    return rfh;
}

ZroDlh deadLetterHeader()
{
    ZroDlh dlh;
    dlh.setDestinationQueueName("DEAD.Q");
    dlh.setDestinationQueueManagerName("QM1");
    dlh.setPutApplicationName("chain test");
    return dlh;
}

} // namespace

TEST_F(ZroChainTest, ReadInTheWrongOrder)
{
    ZroMsg message;
    ZroWih wih = workHeader();
    ZroRfh rfh = referenceHeader();
    ZroDlh dlh = deadLetterHeader();
    writeChain(message, wih, rfh, dlh);
    if (HasFatalFailure()) return;

    // Without moving the cursor back nothing lies at the data offset.
    ZroDlh dlhRead;
    EXPECT_EQ(message.readItem(dlhRead), 0);
    expectCodes(dlhRead, 2, 6107);

    // The work header is not outermost.
    message.setDataOffset(0);
    ZroWih wihRead;
    EXPECT_EQ(message.readItem(wihRead), 0);
    expectCodes(wihRead, 2, 6107);
    EXPECT_EQ(message.dataOffset(), 0u);

    // After the dead-letter header the body is not next.
    ASSERT_EQ(message.readItem(dlhRead), 1);
    ZroStr body;
    clearEvents();
    EXPECT_EQ(message.readItem(body), 0);
    expectOnlyText(45, "ZroString::pasteIn (error): wrong message format");
    EXPECT_EQ(message.dataOffset(), kRfhAt);

    // Nor is the work header, nor a header of another class.
    EXPECT_EQ(message.readItem(wihRead), 0);
    expectCodes(wihRead, 2, 6107);
    ZroRih rih;
    EXPECT_EQ(message.readItem(rih), 0);
    expectCodes(rih, 2, 6107);
    EXPECT_EQ(message.dataOffset(), kRfhAt);
    expectDescription(message, "ZRHREF  ", 546, kRfhCharacterSet);

    // Skipping the reference header, the work header reads on.
    ASSERT_EQ(message.setDataOffset(kWihAt), 1);
    message.setFormat("ZRHWIH");
    EXPECT_EQ(message.readItem(wihRead), 1);
    EXPECT_EQ(message.dataOffset(), kBodyAt);
}

namespace {

// A message in a user buffer of `size` bytes holding `held` bytes of data
// described as a string in character set 850, data offset at `offset`.
struct UserBufferMessage {
    UserBufferMessage(unsigned size, unsigned held, unsigned offset) : storage(size, '\0')
    {
        message.useEmptyBuffer(storage.data(), size);
        for (unsigned i = 0; i < held; ++i) data.push_back(static_cast<char>('a' + i % 26));
        message.write(held, data.data());
        message.setDataOffset(offset);
        message.setFormat("ZRSTR");
        message.setCharacterSet(850);
    }
    std::vector<char> storage;
    std::vector<char> data;
    ZroMsg message;
};

} // namespace

TEST_F(ZroChainTest, UserBufferTooSmallForHeaderAndData)
{
    // The header needs room for itself and all the data, wherever the data
    // offset stands: with the offset at 0 or in the middle, room for the
    // header alone is not enough, and the data is kept rather than lost.
    for (unsigned offset : {50u, 25u, 0u}) {
        SCOPED_TRACE("data offset " + std::to_string(offset));
        UserBufferMessage user(221, 50, offset);
        ZroDlh header = deadLetterHeader();
        const ZRDLH before = header.record();
        clearEvents();
        EXPECT_EQ(header.copyOut(user.message), 0);
        expectOnlyText(3, "ZroCache::moreBytes (error): insufficient buffer");
        expectCodes(header, 2, 6113);
        expectCodes(user.message, 2, 6113);
        EXPECT_EQ(user.message.messageLength(), 50u);
        EXPECT_EQ(user.message.dataOffset(), offset);
        EXPECT_EQ(std::memcmp(user.storage.data(), user.data.data(), 50), 0);
        expectDescription(user.message, "ZRSTR   ", 546, 850);
        EXPECT_EQ(std::memcmp(&header.record(), &before, sizeof before), 0);
    }

    // One byte more and it fits, with the data behind the header.
    for (unsigned offset : {50u, 0u}) {
        UserBufferMessage user(222, 50, offset);
        ZroDlh header;
        EXPECT_EQ(user.message.writeItem(header), 1);
        EXPECT_EQ(user.message.messageLength(), 222u);
        EXPECT_EQ(user.message.dataOffset(), 222u);
        EXPECT_EQ(std::memcmp(user.storage.data() + 172, user.data.data(), 50), 0);
        EXPECT_EQ(charsAt(user.storage.data(), 0, 4), "DLH ");
    }

    // The same for the other two headers.
    UserBufferMessage forWih(169, 50, 0), forRih(133, 50, 0);
    ZroWih wih;
    ZroRih rih;
    EXPECT_EQ(wih.copyOut(forWih.message), 0);
    expectCodes(wih, 2, 6113);
    EXPECT_EQ(forWih.message.messageLength(), 50u);
    EXPECT_EQ(rih.copyOut(forRih.message), 0);
    expectCodes(rih, 2, 6113);
    EXPECT_EQ(forRih.message.messageLength(), 50u);
    expectDescription(forRih.message, "ZRSTR   ", 546, 850);
    expectDescription(rih, "        ", 546, 0);
}

TEST_F(ZroChainTest, GrowthFailureLeavesTheMessageAlone)
{
    ZroMsg message;
    ZroStr body(kBody);
    ASSERT_EQ(message.writeItem(body), 1);
    message.setCharacterSet(850);
    const char* buffer = message.bufferPointer();
    const unsigned bufferLength = message.bufferLength();
    ZroWih header = workHeader();
    const ZRWIH before = header.record();

    failAllocation(1);
    clearEvents();
    EXPECT_EQ(header.copyOut(message), 0);
    expectOnlyText(5, "ZroCache::resizeBuffer (error): storage not available"); // the growth
    expectCodes(header, 2, 2071);
    expectCodes(message, 2, 2071);
    EXPECT_EQ(message.bufferPointer(), buffer);
    EXPECT_EQ(message.bufferLength(), bufferLength);
    EXPECT_EQ(message.messageLength(), kBodyLength);
    EXPECT_EQ(message.dataOffset(), kBodyLength);
    EXPECT_EQ(charsAt(buffer, 0, kBodyLength), kBody);
    expectDescription(message, "ZRSTR   ", 546, 850);
    EXPECT_EQ(std::memcmp(&header.record(), &before, sizeof before), 0);

    // With storage again the same header goes in front.
    EXPECT_EQ(message.writeItem(header), 1);
    EXPECT_EQ(message.messageLength(), 120 + kBodyLength);
}

TEST_F(ZroChainTest, RefusedWriteLeavesTheMessageCleared)
{
    // There is room, but the record cannot be read or the front of the
    // buffer cannot be written: the write of the header fails after the
    // descriptions have moved, and the message is left cleared, describing
    // the header, while the header describes the data that was there.
    for (int refusal = 0; refusal < 2; ++refusal) {
        SCOPED_TRACE(refusal == 0 ? "record refused" : "buffer refused");
        allowAll();
        UserBufferMessage user(400, 50, 50);
        ZroRih header;
        if (refusal == 0)
            refuse(&header.record(), sizeof(ZRRIH), 1);
        else
            refuse(user.storage.data(), 1, 2);
        clearEvents();
        EXPECT_EQ(header.copyOut(user.message), 0);
        if (refusal == 0)
            expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
        else
            expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
        expectCodes(header, 2, 2004);
        expectCodes(user.message, 2, 2004);
        EXPECT_EQ(user.message.messageLength(), 0u);
        EXPECT_EQ(user.message.dataOffset(), 0u);
        expectDescription(user.message, "ZRRPX   ", 546, 0);
        allowAll(); // the getters read the record
        expectDescription(header, "ZRSTR   ", 546, 850);
    }
}

TEST_F(ZroChainTest, HeaderCodesStayOnSuccess)
{
    ZroDlh header;
    Received nothing("", 0, "ZRDEAD  ");
    EXPECT_EQ(header.pasteIn(nothing.message), 0);
    ZroMsg message;
    EXPECT_EQ(header.copyOut(message), 1);
    expectCodes(header, 2, 6107);
    expectCodes(message, 0, 0); // copyOut itself sets no codes on the message
    EXPECT_EQ(message.writeItem(header), 1);
    expectCodes(message, 2, 6107); // writeItem hands the item's codes on
}

TEST_F(ZroChainTest, StructureIdIs)
{
    ZroMsg message;
    EXPECT_EQ(ZroItm::structureIdIs("DLH ", message), 0) << "no buffer";

    message.write(7, "DLH DLH");
    char* nowhere = nullptr;
    EXPECT_EQ(message.read(8, nowhere), 0); // leaves 2/6114 on the message
    const std::string info = "ZroItem::structureIdIs (information): structure id is not equal";

    message.setDataOffset(4);
    clearEvents();
    EXPECT_EQ(ZroItm::structureIdIs("DLH ", message), 0) << "3 bytes left";
    expectOnlyText(12, info);
    EXPECT_TRUE(records().empty());
    expectCodes(message, 2, 6114);

    message.setDataOffset(0);
    clearEvents();
    EXPECT_EQ(ZroItm::structureIdIs(nullptr, message), 0);
    expectOnlyText(12, info);
    expectCodes(message, 2, 6114);

    clearEvents();
    EXPECT_EQ(ZroItm::structureIdIs("DLH ", message), 1);
    EXPECT_EQ(ZroItm::structureIdIs("DLH and more", message), 1) << "4 characters compared";
    EXPECT_EQ(ZroItm::structureIdIs("DLh ", message), 0);
    message.setDataOffset(3);
    EXPECT_EQ(ZroItm::structureIdIs(" DLH", message), 1);
    EXPECT_EQ(texts(), std::vector<std::string>{info});
    expectCodes(message, 2, 6114);
}
