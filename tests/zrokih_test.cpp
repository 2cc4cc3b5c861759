// ZroKih: versions 1 and 2, and a read in two steps (the structure id, then
// as many bytes as the version the object held before the call).
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zrotest.hpp"

namespace {

// A message whose data is `data`, read from `offset`, described as a KOTA header.
void load(ZroMsg& message, const std::string& data, unsigned offset = 0,
          const char* format = "ZRKOTA  ", int32_t encoding = 546)
{
    message.clearMessage();
    message.write(static_cast<unsigned>(data.size()), data.data());
    message.setDataOffset(offset);
    message.setFormat(format);
    message.setEncoding(encoding);
}

std::string recordOf(const ZroKih& h)
{
    return std::string(reinterpret_cast<const char*>(&h.record()), sizeof h.record());
}

std::string bytesOf(const ZroMsg& m) { return std::string(m.bufferPointer(), m.messageLength()); }

} // namespace

using ZroKihTest = ZroTest;

TEST_F(ZroKihTest, VersionsOneAndTwo)
{
    ZroKih header;
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
    ASSERT_EQ(one.messageLength(), 164u);
    ASSERT_EQ(header.setVersion(2), 1);
    ASSERT_EQ(header.copyOut(two), 1);
    EXPECT_EQ(bytesOf(two).substr(0, 164), bytesOf(one).replace(4, 4, std::string("\2\0\0\0", 4)));
    EXPECT_EQ(bytesOf(two).substr(164, 4), std::string("*\0\0\0", 4)); // cursor position

    // A version-1 object reads 164 bytes, a version-2 one needs 180.
    ZroKih first;
    first.setVersion(1);
    one.setDataOffset(0);
    ASSERT_EQ(one.readItem(first), 1);
    EXPECT_EQ(one.dataOffset(), 164u);
    EXPECT_EQ(recordOf(first).substr(0, 164), bytesOf(one));
    ZroKih second;
    one.setDataOffset(0);
    one.setFormat("ZRKOTA");
    clearEvents();
    EXPECT_EQ(one.readItem(second), 0);
    expectCodes(second, 2, 6114);
    expectFrame(60, 6114);
    expectOnlyText(4, "ZroCache::read (error): insufficient data");
    EXPECT_EQ(one.dataOffset(), 4u) << "the structure id consumed";
    EXPECT_EQ(recordOf(second), recordOf(ZroKih()));
}

TEST_F(ZroKihTest, PasteInFailuresInCheckOrder)
{
    // An object whose version has no layout, from a received record.
    ZroKih header;
    std::string odd = bytesOf([] {
        ZroMsg m;
        ZroKih h;
        h.copyOut(m);
        return m;
    }());
    odd.replace(4, 4, std::string("\x09\0\0\0", 4));
    const std::string good = std::string(odd).replace(4, 4, std::string("\2\0\0\0", 4));
    ZroMsg message;
    load(message, odd);
    ASSERT_EQ(header.pasteIn(message), 1);
    ASSERT_EQ(header.version(), 9);
    const std::string held = recordOf(header);
    // The message takes the header's codes, whether it was touched or not.
    ZroMsg out;
    clearEvents();
    EXPECT_EQ(out.writeItem(header), 0);
    expectCodes(header, 2, 6128);
    expectCodes(out, 2, 6128);
    expectNoText();
    EXPECT_EQ(out.messageLength(), 0u);

    // Everything wrong at first; each row mends the field whose check failed.
    // The last: the version held before the call has no layout, so the
    // structure id is read and given back, no text.
    const char* wrongId = "ZroItem::structureIdIs (information): structure id is not equal|"
                          "ZroKOTABridgeHeader::pasteIn (error): wrong structure id|";
    struct Row {
        const char *id, *format;
        int32_t encoding, reason;
        std::string texts;
    } rows[] = {
        {"KIX ", "ZRDEAD  ", 273, 6107, wrongId},
        {"KIH ", "ZRDEAD  ", 273, 6106,
         "ZroKOTABridgeHeader::pasteIn (error): wrong message encoding|"},
        {"KIH ", "ZRDEAD  ", 546, 6119,
         "ZroKOTABridgeHeader::pasteIn (error): wrong message format|"},
        {"KIH ", "ZRKOTA  ", 546, 6128, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        load(message, "pre!" + std::string(row.id) + good.substr(4, 96), 4, row.format,
             row.encoding);
        clearEvents();
        EXPECT_EQ(message.readItem(header), 0);
        expectCodes(header, 2, row.reason);
        expectCodes(message, 2, row.reason);
        expectFrame(60, static_cast<unsigned>(row.reason));
        std::string texts;
        for (const std::string& t : this->texts()) texts += t + "|";
        EXPECT_EQ(texts, row.texts);
        EXPECT_EQ(message.dataOffset(), 4u);
        EXPECT_STREQ(message.format().dataPointer(), row.format);
        EXPECT_EQ(recordOf(header), held);
    }

    // All there, for a version the object may hold: success, and the exit
    // record still carries the reason of the failure before.
    ASSERT_EQ(header.setVersion(2), 1);
    load(message, "pre!" + good, 4);
    message.setCharacterSet(37);
    clearEvents();
    EXPECT_EQ(header.pasteIn(message), 1);
    expectCodes(header, 2, 6128);
    expectFrame(60, 6128);
    expectNoText();
    EXPECT_EQ(message.dataOffset(), 184u);
    EXPECT_EQ(recordOf(header), good);
    EXPECT_EQ(message.formatIs("        "), 1);
    EXPECT_EQ(message.characterSet(), 0);
}
