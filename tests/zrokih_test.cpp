// ZroKih: the KOTA bridge header, versions 1 and 2, and its two-step read.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zrobin.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zrotest.hpp"

namespace {

void put32(std::string& bytes, unsigned offset, int32_t value)
{
    std::memcpy(&bytes[offset], &value, 4);
}

std::string str(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }

std::string dataOf(const ZroMsg& message)
{
    return std::string(message.bufferPointer(), message.messageLength());
}

// The 180 bytes of a new header, written out offset by offset.
std::string defaultRecord()
{
    std::string b(180, ' ');
    b.replace(0, 4, "KIH ");
    put32(b, 4, 2);    // version
    put32(b, 8, 180);  // structure length
    put32(b, 12, 546); // encoding
    put32(b, 16, 0);   // character set; format at 20 is eight blanks
    for (unsigned offset = 28; offset <= 72; offset += 4) put32(b, offset, 0);
    put32(b, 44, 273); // UOW control
    put32(b, 48, -2);  // get wait interval
    put32(b, 52, 1);   // link type
    put32(b, 56, -1);  // output data length
    b.replace(76, 8, 8, '\0');
    for (unsigned offset = 164; offset < 180; offset += 4) put32(b, offset, 0);
    return b;
}

// A message whose data is `data`, read from `offset`, described as a KOTA header.
void load(ZroMsg& message, const std::string& data, unsigned offset = 0,
          const char* format = "ZRKOTA  ", int32_t encoding = 546)
{
    message.clearMessage();
    ASSERT_EQ(message.write(static_cast<unsigned>(data.size()), data.data()), 1);
    message.setDataOffset(offset);
    message.setFormat(format);
    message.setEncoding(encoding);
    message.setCharacterSet(0);
}

// All 180 bytes the object holds, read back through copyOut of a copy.
// The message is given the header's own description first, so that the
// copy takes back exactly what it had; the version is restored afterwards,
// since copyOut writes 180 bytes for version 2 only.
std::string recordOf(const ZroKih& header)
{
    ZroKih copy(header);
    copy.setVersion(2);
    ZroMsg message;
    message.setEncoding(header.encoding());
    message.setCharacterSet(header.characterSet());
    message.setFormat(str(header.format()).c_str());
    EXPECT_EQ(copy.copyOut(message), 1);
    std::string bytes = dataOf(message);
    int32_t version = header.version();
    std::memcpy(&bytes[4], &version, 4);
    return bytes;
}

} // namespace

using ZroKihTest = ZroTest;

TEST_F(ZroKihTest, PasteInFailuresInCheckOrder)
{
    // Everything wrong at first; each step mends the field whose check
    // failed, and the next check in order decides.
    std::string bytes = defaultRecord();
    bytes.replace(0, 4, "KIX ");
    ZroKih header;
    header.setCursorPosition(42);
    const std::string before = recordOf(header);
    ZroMsg message;
    load(message, "pre!" + bytes.substr(0, 100), 4, "ZRDEAD  ", 273);
    // An object whose version has no layout: read from a message.
    {
        std::string odd = defaultRecord();
        put32(odd, 4, 9);
        put32(odd, 164, 42);
        ZroMsg in;
        load(in, odd);
        ASSERT_EQ(header.pasteIn(in), 1);
    }
    ASSERT_EQ(header.version(), 9);
    std::string held = before;
    put32(held, 4, 9);
    ASSERT_EQ(recordOf(header), held);

    clearEvents();
    EXPECT_EQ(header.pasteIn(message), 0);
    expectCodes(header, 2, 6107);
    expectFrame(60, 6107);
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           "ZroItem::structureIdIs (information): structure id is not equal",
                           "ZroKOTABridgeHeader::pasteIn (error): wrong structure id"}));
    EXPECT_EQ(textFunctions(), (std::vector<unsigned>{12, 60}));
    EXPECT_EQ(message.dataOffset(), 4u);
    EXPECT_EQ(recordOf(header), held);

    bytes.replace(0, 4, "KIH ");
    load(message, "pre!" + bytes.substr(0, 100), 4, "ZRDEAD  ", 273);
    clearEvents();
    EXPECT_EQ(header.pasteIn(message), 0);
    expectCodes(header, 2, 6106);
    expectFrame(60, 6106);
    expectOnlyText(60, "ZroKOTABridgeHeader::pasteIn (error): wrong message encoding");
    EXPECT_EQ(message.dataOffset(), 4u);
    EXPECT_EQ(recordOf(header), held);

    message.setEncoding(546);
    clearEvents();
    EXPECT_EQ(header.pasteIn(message), 0);
    expectCodes(header, 2, 6119);
    expectFrame(60, 6119);
    expectOnlyText(60, "ZroKOTABridgeHeader::pasteIn (error): wrong message format");
    EXPECT_EQ(message.dataOffset(), 4u);
    EXPECT_EQ(recordOf(header), held);

    // The version held before the call has no layout: the structure id is
    // read and given back, no text.
    message.setFormat("ZRKOTA  ");
    clearEvents();
    EXPECT_EQ(header.pasteIn(message), 0);
    expectCodes(header, 2, 6128);
    expectFrame(60, 6128);
    expectNoText();
    EXPECT_EQ(message.dataOffset(), 4u);
    EXPECT_EQ(header.version(), 9);
    EXPECT_EQ(recordOf(header), held);
    EXPECT_EQ(message.formatIs("ZRKOTA  "), 1);

    // Too little data for the version: the buffer's codes, the structure
    // id consumed, the rest of the record untouched.
    ASSERT_EQ(header.setVersion(2), 1);
    clearEvents();
    EXPECT_EQ(header.pasteIn(message), 0);
    expectCodes(header, 2, 6114);
    expectFrame(60, 6114);
    expectOnlyText(4, "ZroCache::read (error): insufficient data");
    EXPECT_EQ(message.dataOffset(), 8u);
    std::string partly = before;
    put32(partly, 4, 2);
    EXPECT_EQ(recordOf(header), partly);
    EXPECT_EQ(message.formatIs("ZRKOTA  "), 1);
    EXPECT_EQ(message.encoding(), 546);

    // All there: success, and the exit record still carries the reason of
    // the failure before.
    load(message, "pre!" + bytes, 4);
    message.setCharacterSet(37);
    clearEvents();
    EXPECT_EQ(header.pasteIn(message), 1);
    expectCodes(header, 2, 6114);
    expectFrame(60, 6114);
    expectNoText();
    EXPECT_EQ(message.dataOffset(), 184u);
    EXPECT_EQ(recordOf(header), bytes);
    EXPECT_EQ(message.formatIs("        "), 1);
    EXPECT_EQ(message.characterSet(), 0);
}
