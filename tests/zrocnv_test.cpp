// The converter: round trips of every sample, exact foreign bytes, and one
// table of failures that must leave the message as it was.
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "zroi/zroi.hpp"
#include "zrotest.hpp"

using ZroCnvTest = ZroTest;

namespace {

std::string dataOf(const ZroMsg& m) { return std::string(m.bufferPointer(), m.messageLength()); }

/// A native message: a string body behind a dead-letter header.
void deadLetter(ZroMsg& m, const char* body = "hello")
{
    ZroStr text(body);
    m.writeItem(text);
    ZroDlh header;
    header.setDestinationQueueName("Q.IN");
    m.writeItem(header);
}

/// The message holds `bytes` under the given description.
void load(ZroMsg& m, const std::string& bytes, const char* format, int32_t enc, int32_t ccsid)
{
    m.clearMessage();
    m.write(static_cast<unsigned>(bytes.size()), bytes.data());
    m.setDataOffset(0);
    m.setFormat(format);
    m.setEncoding(enc);
    m.setCharacterSet(ccsid);
}

void patch(ZroMsg& m, unsigned at, const std::string& bytes)
{
    std::memcpy(m.bufferPointer() + at, bytes.data(), bytes.size());
}

/// A native integer into the data.
void patch(ZroMsg& m, unsigned at, int32_t value)
{
    std::memcpy(m.bufferPointer() + at, &value, sizeof value);
}

std::string be(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

} // namespace

// Every sample, converted into each foreign form and back, is byte for byte
// what it was; each foreign form differs from the native one.
TEST_F(ZroCnvTest, EverySampleRoundTripsThroughEachForeignForm)
{
    struct Sample {
        const char* file;
        const char* format;
        bool unknownInside; // a format the converter leaves alone stands in it
    };
    const Sample samples[] = {
        {"binary", ZRFMT_NONE, false},
        {"chain", ZRFMT_DEAD_LETTER_HEADER, false},
        {"dead-letter-string", ZRFMT_DEAD_LETTER_HEADER, false},
        {"kota-string", ZRFMT_KOTA_BRIDGE_HEADER, false},
        {"kota1-binary", ZRFMT_KOTA_BRIDGE_HEADER, false},
        {"reference-custom", ZRFMT_REFERENCE_HEADER, true},
        {"reference-kota-string", ZRFMT_REFERENCE_HEADER, false},
        {"reference-string", ZRFMT_REFERENCE_HEADER, false},
        {"rpx-string", ZRFMT_RPX_BRIDGE_HEADER, false},
        {"string", ZRFMT_STRING, false},
        {"trigger", ZRFMT_TRIGGER, false},
        {"work-binary", ZRFMT_WORK_INFO_HEADER, false},
    };
    const int32_t forms[][2] = {{273, 819},  {273, 500}, {273, 1047}, {785, 37},
                                {273, 1141}, {546, 850}, {273, 1140}, {546, 1252}};
    for (const Sample& s : samples) {
        std::ifstream in(std::string(ZROI_SAMPLES) + "/" + s.file + ".bin", std::ios::binary);
        const std::string native{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
        ASSERT_FALSE(native.empty()) << s.file;
        for (const auto& form : forms) {
            SCOPED_TRACE(std::string(s.file) + " as " + std::to_string(form[0]) + "/" +
                         std::to_string(form[1]));
            ZroMsg m;
            load(m, native, s.format, 546, 0);
            ZroCnv cnv;
            EXPECT_EQ(cnv.convert(m, form[0], form[1]), 1);
            expectCodes(cnv, s.unknownInside ? 1 : 0, s.unknownInside ? 6404 : 0);
            EXPECT_EQ(m.encoding(), form[0]);
            EXPECT_EQ(m.characterSet(), form[1]);
            const bool ebcdic = form[1] != 819 && form[1] != 850 && form[1] != 1252;
            if (ebcdic && std::strcmp(s.format, ZRFMT_NONE) != 0) { EXPECT_NE(dataOf(m), native); }
            EXPECT_EQ(cnv.convert(m, 546, 0), 1);
            EXPECT_EQ(dataOf(m), native);
            EXPECT_EQ(m.encoding(), 546);
            EXPECT_EQ(m.characterSet(), 0);
            EXPECT_TRUE(m.formatIs(s.format));
        }
    }
}

// The bytes of a dead-letter header and its string body in EBCDIC 500 with
// normal byte order, and the header read back after the way home.
TEST_F(ZroCnvTest, DeadLetterInEbcdicBigEndian)
{
    ZroMsg m;
    deadLetter(m);
    m.setDataOffset(0);
    ZroCnv cnv;
    clearEvents();
    ASSERT_EQ(cnv.convert(m, 273, 500), 1);
    expectFrame(100, 0);
    expectNoText();
    const std::string data = dataOf(m);
    ASSERT_EQ(data.size(), 177u);
    EXPECT_EQ(data.substr(0, 8), std::string("\xC4\xD3\xC8\x40\0\0\0\x01", 8));
    EXPECT_EQ(data.substr(12, 5), std::string("\xD8\x4B\xC9\xD5\0", 5)); // "Q.IN"
    EXPECT_EQ(data.substr(108, 16), be(273) + be(500) + "\xE9\xD9\xE2\xE3\xD9\x40\x40\x40");
    EXPECT_EQ(data.substr(172), "\x88\x85\x93\x93\x96"); // "hello"

    ASSERT_EQ(cnv.convert(m, 546, 0), 1);
    ZroDlh header;
    ZroStr body;
    ASSERT_EQ(m.readItem(header), 1);
    EXPECT_STREQ(header.destinationQueueName().dataPointer(), "Q.IN");
    EXPECT_EQ(header.encoding(), 546);
    ASSERT_EQ(m.readItem(body), 1);
    EXPECT_STREQ(body.dataPointer(), "hello");
}

// A string body may change length when UTF-8 is on either side.
TEST_F(ZroCnvTest, StringBodyToAndFromUtf8)
{
    ZroMsg m;
    load(m, "caf\xE9", ZRFMT_STRING, 546, 819);
    ZroCnv cnv;
    ASSERT_EQ(cnv.convert(m, 546, 1208), 1);
    EXPECT_EQ(dataOf(m), "caf\xC3\xA9");
    ASSERT_EQ(cnv.convert(m, 273, 1148), 1);
    EXPECT_EQ(dataOf(m), "\x83\x81\x86\x51");
    load(m, "\x9F\xC1", ZRFMT_STRING, 273, 1148); // the euro sign and "A"
    ASSERT_EQ(cnv.convert(m, 546, 1208), 1);
    EXPECT_EQ(dataOf(m), "\xE2\x82\xAC"
                         "A");
    expectCodes(cnv, 0, 0);

    // A message whose automatic buffer cannot grow for the longer body: the
    // converter takes the message's codes and the data stays.
    load(m, "\xE9\xE9", ZRFMT_STRING, 546, 0);
    m.resizeBuffer(2);
    ZroCnv fresh;
    failAllocation(2); // the scratch storage is the first
    EXPECT_EQ(fresh.convert(m, 546, 1208), 0);
    failAllocation(0);
    expectCodes(fresh, 2, 2071);
    EXPECT_EQ(dataOf(m), "\xE9\xE9");
    EXPECT_EQ(m.characterSet(), 0);
}

// Every failure: its reason, its one text, and the message exactly as before.
TEST_F(ZroCnvTest, FailuresLeaveTheMessageAsItWas)
{
    struct Case {
        const char* name;
        std::function<void(ZroMsg&)> make;
        int32_t encoding, ccsid;
        int32_t reason;
        const char* what;
    };
    const auto foreign = [](ZroMsg& m) {
        deadLetter(m);
        m.setDataOffset(0);
        ZroCnv().convert(m, 273, 500);
    };
    const auto reference = [](ZroMsg& m) {
        ZroStr body("x");
        m.writeItem(body);
        ZroRfh header;
        header.setSourceName("abcd");
        m.writeItem(header);
        m.setDataOffset(0);
    };
    const auto plain = [](ZroMsg& m) {
        deadLetter(m);
        m.setDataOffset(0);
    };
    char userBuffer[16];
    const std::vector<Case> cases = {
        {"target byte order", plain, 0x223, 0, 6401, "unsupported encoding"},
        {"target set", plain, 273, 1234, 6402, "unsupported character set"},
        {"UTF-8 header", plain, 273, 1208, 6402, "character set not single-byte for a record"},
        {"item byte order",
         [&](ZroMsg& m) {
             foreign(m);
             m.setEncoding(0x310);
         },
         546, 0, 6401, "unsupported encoding"},
        {"item set",
         [&](ZroMsg& m) {
             foreign(m);
             m.setCharacterSet(4711);
         },
         546, 0, 6402, "unsupported character set"},
        {"structure id",
         [&](ZroMsg& m) {
             foreign(m);
             patch(m, 0, "DLH ");
         },
         546, 0, 6107, "wrong structure id"},
        {"id in the wrong set",
         [&](ZroMsg& m) {
             foreign(m);
             m.setCharacterSet(0);
         },
         546, 0, 6107, "wrong structure id"},
        {"short header",
         [&](ZroMsg& m) {
             foreign(m);
             m.setMessageLength(171);
         },
         546, 0, 6114, "insufficient data"},
        {"KOTA version",
         [](ZroMsg& m) {
             ZroKih k;
             m.writeItem(k);
             m.setDataOffset(0);
             patch(m, 4, 3);
         },
         273, 500, 6128, "wrong version"},
        {"structure length short",
         [&](ZroMsg& m) {
             reference(m);
             patch(m, 8, 107);
         },
         273, 500, 6123, "structure length error"},
        {"structure length past the data",
         [&](ZroMsg& m) {
             reference(m);
             patch(m, 8, 125);
         },
         273, 500, 6114, "insufficient data"},
        {"part in the fixed part",
         [&](ZroMsg& m) {
             reference(m);
             patch(m, 76, 104);
         },
         273, 500, 6123, "structure length error"},
        {"part past the structure length",
         [&](ZroMsg& m) {
             reference(m);
             patch(m, 72, 5);
         },
         273, 500, 6123, "structure length error"},
        {"no place in the target set",
         [](ZroMsg& m) { load(m, "price \xA4", ZRFMT_STRING, 546, 0); }, 273, 1140, 6403,
         "character not in the target character set"},
        {"not UTF-8", [](ZroMsg& m) { load(m, "a\xC3(", ZRFMT_STRING, 546, 1208); }, 546, 0, 6403,
         "character not in the target character set"},
        {"user buffer too small",
         [&](ZroMsg& m) {
             m.useEmptyBuffer(userBuffer, sizeof userBuffer);
             m.write(14, "\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9");
             m.setDataOffset(0);
             m.setFormat(ZRFMT_STRING);
         },
         546, 1208, 6113, "insufficient buffer"},
        {"no storage",
         [](ZroMsg& m) {
             deadLetter(m);
             m.setDataOffset(0);
             failAllocation(1);
         },
         273, 500, 2071, "storage not available"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZroMsg m;
        c.make(m);
        const std::string before = dataOf(m);
        const ZRMD descriptor = m.descriptor();
        ZroCnv cnv;
        clearEvents();
        EXPECT_EQ(cnv.convert(m, c.encoding, c.ccsid), 0);
        failAllocation(0);
        expectCodes(cnv, 2, c.reason);
        expectOnlyText(100, std::string("ZroConverter::convert (error): ") + c.what);
        expectFrame(100, static_cast<unsigned>(c.reason));
        EXPECT_EQ(dataOf(m), before);
        EXPECT_EQ(std::memcmp(&descriptor, &m.descriptor(), sizeof descriptor), 0);
    }
}

// A format the converter does not know: the items before it are converted,
// it stays as it was, and the header in front keeps describing it.
TEST_F(ZroCnvTest, UnknownFormatEndsTheWalkWithAWarning)
{
    ZroMsg m;
    deadLetter(m);
    m.setDataOffset(0);
    patch(m, 116, "CUSTOM  ");
    const std::string before = dataOf(m);
    ZroCnv cnv;
    clearEvents();
    ASSERT_EQ(cnv.convert(m, 273, 500), 1);
    expectCodes(cnv, 1, 6404);
    expectOnlyText(100, "ZroConverter::convert (warning): unknown format");
    const std::string data = dataOf(m);
    EXPECT_EQ(data.substr(108, 16), be(546) + be(0) + "\xC3\xE4\xE2\xE3\xD6\xD4\x40\x40");
    EXPECT_EQ(data.substr(172), before.substr(172));
    EXPECT_EQ(m.encoding(), 273);

    ZroMsg first;
    load(first, "abc", "CUSTOM  ", 546, 0);
    ASSERT_EQ(cnv.convert(first, 273, 500), 1);
    EXPECT_EQ(dataOf(first), "abc");
    EXPECT_EQ(first.encoding(), 546);
}

// The tables of a pair of sets are built once, by whichever thread needs
// them first: two threads converting at once get the same bytes.
TEST_F(ZroCnvTest, TwoThreadsBuildTheTablesOnce)
{
    std::string results[2];
    auto work = [&results](int k) {
        ZroMsg m;
        load(m, "\xC7\x99\xD0\xA1\x40\xC7\x96\xA3\xA3", ZRFMT_STRING, 273, 1141); // "Grüß Gott"
        ZroCnv cnv;
        if (cnv.convert(m, 546, 850)) results[k] = dataOf(m);
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(results[0], "Gr\x81\xE1 Gott");
    EXPECT_EQ(results[1], results[0]);
}
