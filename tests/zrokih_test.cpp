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

int32_t get32(const std::string& bytes, unsigned offset)
{
    int32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
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

// A header as a peer might send it: every field set, the fields this
// library only carries included, and the version-2 tail distinct.
std::string peerRecord(int32_t version)
{
    std::string b = defaultRecord();
    put32(b, 4, version);
    put32(b, 8, 777); // structure length, never tested
    put32(b, 16, 1208);
    b.replace(20, 8, "ZRSTR   ");
    put32(b, 28, 5);
    put32(b, 32, 11);
    put32(b, 36, 12);
    put32(b, 40, 13);
    put32(b, 44, 274);
    put32(b, 48, 60000);
    put32(b, 52, 2);
    put32(b, 56, 4096);
    put32(b, 60, 30);
    put32(b, 64, 1);
    put32(b, 68, 1);
    put32(b, 72, 14);
    b.replace(76, 8, "\x01\x02\x03\x04\x05\x06\x07\xff", 8);
    b.replace(84, 4, "FUN ");
    b.replace(88, 4, "ABND");
    b.replace(92, 8, "AUTH1234");
    b.replace(100, 8, "spare1..");
    b.replace(108, 8, "REPLYFMT");
    b.replace(116, 4, "sp2.");
    b.replace(120, 4, "sp3.");
    b.replace(124, 4, "TRN1");
    b.replace(128, 4, "FLIK");
    b.replace(132, 4, "ATID");
    b.replace(136, 4, "SD  ");
    b.replace(140, 4, "CANC");
    b.replace(144, 4, "NEXT");
    b.replace(148, 8, "spare4..");
    b.replace(156, 8, "spare5..");
    put32(b, 164, 321);
    put32(b, 168, 654);
    put32(b, 172, 987);
    put32(b, 176, -987);
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

TEST_F(ZroKihTest, VersionIsSetWithinOneToTheHighestVersion)
{
    ZroKih header;
    for (int32_t bad : {0, 3, -1, INT32_MAX, INT32_MIN}) {
        header.clearErrorCodes();
        clearEvents();
        EXPECT_EQ(header.setVersion(bad), 0) << bad;
        expectCodes(header, 2, 6128);
        EXPECT_EQ(header.version(), 2);
        EXPECT_TRUE(events().empty()) << "no text, no trace record";
    }
    EXPECT_EQ(header.setVersion(1), 1);
    EXPECT_EQ(header.version(), 1);
    EXPECT_EQ(header.setVersion(2), 1);
    EXPECT_EQ(header.version(), 2);
    expectCodes(header, 2, 6128); // success leaves the earlier failure

    // Every object accepts up to version 2, copies included.
    ZroKih copy(header);
    EXPECT_EQ(copy.setVersion(2), 1);
    EXPECT_EQ(copy.setVersion(3), 0);
    ZroKih assigned;
    assigned = header;
    EXPECT_EQ(assigned.setVersion(3), 0);
    EXPECT_EQ(assigned.version(), 2);
}

TEST_F(ZroKihTest, CopyOutWritesAsManyBytesAsTheVersionSays)
{
    ZroKih header;
    header.setCursorPosition(99);
    ASSERT_EQ(header.setVersion(1), 1);
    ZroMsg message;
    ASSERT_EQ(header.copyOut(message), 1);
    ASSERT_EQ(message.messageLength(), 164u);
    std::string expected = defaultRecord().substr(0, 164);
    put32(expected, 4, 1); // the structure length still says 180
    EXPECT_EQ(dataOf(message), expected);
    EXPECT_EQ(message.dataOffset(), 164u);

    // The version-2 tail stays in the object, unwritten, and goes out again
    // with version 2.
    ASSERT_EQ(header.setVersion(2), 1);
    ZroMsg full;
    ASSERT_EQ(header.copyOut(full), 1);
    ASSERT_EQ(full.messageLength(), 180u);
    EXPECT_EQ(get32(dataOf(full), 164), 99);

    // A version read from a message that has no layout: nothing is written.
    std::string odd = defaultRecord();
    put32(odd, 4, 7);
    ZroMsg in;
    load(in, odd);
    ZroKih read;
    ASSERT_EQ(read.pasteIn(in), 1) << "the version in the message is not tested";
    EXPECT_EQ(read.version(), 7);
    ZroMsg target;
    ZroStr body("body");
    target.writeItem(body);
    target.setCharacterSet(850);
    clearEvents();
    EXPECT_EQ(read.copyOut(target), 0);
    expectCodes(read, 2, 6128);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(dataOf(target), "body");
    EXPECT_EQ(target.dataOffset(), 4u);
    EXPECT_EQ(target.formatIs("ZRSTR   "), 1);
    EXPECT_EQ(target.characterSet(), 850);
    EXPECT_EQ(str(read.format()), "        ") << "the header took nothing over";
}

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

TEST_F(ZroKihTest, EveryTruncatedLengthFailsForBothVersions)
{
    for (int32_t version : {1, 2}) {
        const unsigned full = version == 1 ? 164u : 180u;
        const std::string bytes = peerRecord(version).substr(0, full);
        for (unsigned length = 0; length <= full; ++length) {
            ZroKih header;
            header.setAuthenticator("KEEPME");
            ASSERT_EQ(header.setVersion(version), 1);
            const std::string before = recordOf(header);
            // The header stands behind 3 other bytes, so that the data
            // offset is not 0, and its bytes end the buffer exactly.
            ZroMsg message;
            load(message, "xyz" + bytes.substr(0, length), 3);
            EXPECT_EQ(header.pasteIn(message), length == full ? 1 : 0) << version << " " << length;
            if (length < 4) {
                expectCodes(header, 2, 6107);
                EXPECT_EQ(message.dataOffset(), 3u);
                EXPECT_EQ(recordOf(header), before);
            } else if (length < full) {
                expectCodes(header, 2, 6114);
                EXPECT_EQ(message.dataOffset(), 7u) << length;
                EXPECT_EQ(recordOf(header), before);
            } else {
                expectCodes(header, 0, 0);
                EXPECT_EQ(message.dataOffset(), 3u + full);
                EXPECT_EQ(header.version(), version);
                EXPECT_EQ(recordOf(header).substr(0, full), bytes);
                EXPECT_EQ(message.formatIs("ZRSTR   "), 1);
                EXPECT_EQ(message.characterSet(), 1208);
            }
        }
    }
}

TEST_F(ZroKihTest, NewObjectReadsAVersionOneHeaderAsVersionTwo)
{
    // The object's version, not the message's, decides: 180 bytes are read
    // and the 16 behind the 164-byte header become the version-2 fields.
    std::string data = peerRecord(1).substr(0, 164);
    std::string tail(16, '\0');
    put32(tail, 0, 1111);
    put32(tail, 4, 2222);
    put32(tail, 8, 3333);
    put32(tail, 12, 4444);
    ZroMsg message;
    load(message, data + tail + "rest");
    ZroKih header;
    ASSERT_EQ(header.pasteIn(message), 1);
    EXPECT_EQ(header.version(), 1);
    EXPECT_EQ(header.cursorPosition(), 1111);
    EXPECT_EQ(header.bridgeErrorOffset(), 2222);
    EXPECT_EQ(message.dataOffset(), 180u);
    EXPECT_EQ(recordOf(header), data + tail);

    // Now version 1, the next read takes 164 bytes.
    message.setDataOffset(0);
    message.setFormat("ZRKOTA  ");
    ASSERT_EQ(header.pasteIn(message), 1);
    EXPECT_EQ(message.dataOffset(), 164u);
    EXPECT_EQ(header.cursorPosition(), 1111) << "the tail is kept, not read";
}

TEST_F(ZroKihTest, NoStorageForTheNextFormatFailsTheRead)
{
    ZroMsg message;
    ZroStr body("payload");
    ZroKih header;
    ASSERT_EQ(message.writeItem(body), 1);
    ASSERT_EQ(message.writeItem(header), 1);

    // A class derived from the header hands the format over through its
    // format(), whose string can find no storage.
    message.setDataOffset(0);
    struct ApplicationKih : ZroKih {
    } derived;
    failAllocation(1); // the string that carries the header's format
    EXPECT_EQ(message.readItem(derived), 0);
    expectCodes(derived, 2, 2071);
    expectCodes(message, 2, 2071);
    EXPECT_EQ(message.formatIs("ZRKOTA  "), 1) << "the message is not told a format it lost";

    // The class itself reads the format straight from its record: nothing
    // is allocated, so there is nothing to fail.
    message.setDataOffset(0);
    message.clearErrorCodes();
    ZroKih read;
    const unsigned long allocations = zroi_test_allocation_count();
    failAllocation(1);
    EXPECT_EQ(message.readItem(read), 1);
    expectCodes(read, 0, 0);
    EXPECT_EQ(message.formatIs("ZRSTR   "), 1);
    EXPECT_EQ(zroi_test_allocation_count(), allocations);
}
