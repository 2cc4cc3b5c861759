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
