// ZroRfh: layout, round trip, and received records of every shape.
#include <sys/mman.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroparts.hpp"
#include "zrotest.hpp"

using ZroRfhTest = ZroTest;

namespace {

const std::string kWrongId = "ZroReferenceHeader::pasteIn (error): wrong structure id";
const std::string kIdInfo = "ZroItem::structureIdIs (information): structure id is not equal";
const std::string kWrongEncoding = "ZroReferenceHeader::pasteIn (error): wrong message encoding";
const std::string kWrongFormat = "ZroReferenceHeader::pasteIn (error): wrong message format";
const std::string kShort = "ZroReferenceHeader::pasteIn (error): insufficient data";
const std::string kStrucLength = "ZroReferenceHeader::pasteIn (error): structure length error";

std::string text(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }

void putInt(std::string& bytes, unsigned at, int32_t value) { std::memcpy(&bytes[at], &value, 4); }

// The length field of part `part` (0 source environment, 1 source name,
// 2 destination environment, 3 destination name); its offset field follows.
unsigned lengthField(unsigned part) { return 64 + 8 * part; }

void setPart(std::string& bytes, unsigned part, int32_t offset, int32_t length)
{
    putInt(bytes, lengthField(part), length);
    putInt(bytes, lengthField(part) + 4, offset);
}

// A received fixed part written by hand at the wire offsets: version 1, the
// given structure length, encoding 546, character set 850, format
// "ZRSTR   ", flags 1, reference type "REF", instance id bytes 1..24, every
// part empty at offset 108, spares 0.
std::string fixedPart(int32_t strucLength)
{
    std::string b(108, '\0');
    b.replace(0, 4, "RMH ");
    putInt(b, 4, 1);
    putInt(b, 8, strucLength);
    putInt(b, 12, 546);
    putInt(b, 16, 850);
    b.replace(20, 8, "ZRSTR   ");
    putInt(b, 28, 1);
    b.replace(32, 3, "REF");
    for (unsigned i = 0; i < 24; ++i) b[40 + i] = static_cast<char>(i + 1);
    for (unsigned part = 0; part < 4; ++part) setPart(b, part, 108, 0);
    return b;
}

// The message as a receiver has it: `prefix` bytes, then `bytes`, the data
// offset on the first of `bytes`, described as a reference header.
void receive(ZroMsg& message, const std::string& bytes, unsigned prefix = 0)
{
    const std::string all = std::string(prefix, '#') + bytes;
    message.clearMessage();
    message.write(static_cast<unsigned>(all.size()), all.data());
    message.setDataOffset(prefix);
    message.setEncoding(546);
    message.setCharacterSet(0);
    message.setFormat("ZRHREF  ");
}

// Everything a header shows through its accessors, to see what a call changed.
std::string shown(const ZroRfh& h)
{
    const ZroBin id = h.instanceId();
    return std::to_string(h.encoding()) + "|" + std::to_string(h.characterSet()) + "|" +
           text(h.format()) + "|" + std::to_string(h.headerFlags()) + "|" +
           text(h.referenceType()) + "|" +
           std::string(reinterpret_cast<const char*>(id.dataPointer()), id.dataLength()) + "|" +
           text(h.sourceEnvironment()) + "|" + text(h.sourceName()) + "|" +
           text(h.destinationEnvironment()) + "|" + text(h.destinationName());
}

// A header whose every shown value differs from what the records above carry.
ZroRfh oldHeader()
{
    ZroRfh h;
    h.setEncoding(273);
    h.setCharacterSet(37);
    h.setFormat("OLDFMT");
    h.setHeaderFlags(9);
    h.setReferenceType("OLDREF");
    h.setSourceEnvironment("old0");
    h.setSourceName("old1");
    h.setDestinationEnvironment("old2");
    h.setDestinationName("old3");
    return h;
}

// The 108 fixed bytes the header writes into an empty message: shows the
// fields no accessor reaches (version, spares) as the header holds them.
std::string fixedBytesOf(const ZroRfh& h)
{
    ZroRfh copy(h);
    ZroMsg message;
    copy.copyOut(message);
    return std::string(message.bufferPointer(), 108);
}

// How a message describes its data, with its data offset.
std::string described(const ZroMsg& m)
{
    return text(m.format()) + "|" + std::to_string(m.encoding()) + "|" +
           std::to_string(m.characterSet()) + "|" + std::to_string(m.dataOffset());
}

} // namespace

TEST_F(ZroRfhTest, PasteInChecksInOrderAndLeavesEverythingBeforeTheFixedPartIsTaken)
{
    struct Row {
        const char* what;
        std::string bytes;
        int32_t encoding;
        const char* format;
        std::vector<std::string> texts;
        int32_t reason;
    };
    const std::string good = fixedPart(108);
    std::string badId = good;
    badId[3] = 'X';
    const std::vector<Row> rows = {
        {"id, encoding, format all wrong", badId, 273, "ZRSTR   ", {kIdInfo, kWrongId}, 6107},
        {"three bytes", "RMH", 546, "ZRHREF  ", {kIdInfo, kWrongId}, 6107},
        {"encoding and format wrong", good, 273, "ZRSTR   ", {kWrongEncoding}, 6106},
        {"format wrong", good, 546, "ZRSTR   ", {kWrongFormat}, 6119},
        {"format differs in its last blank", good, 546, "ZRHREF x", {kWrongFormat}, 6119},
        {"100 bytes", good.substr(0, 100), 546, "ZRHREF  ", {kShort}, 6114},
        {"107 bytes", good.substr(0, 107), 546, "ZRHREF  ", {kShort}, 6114},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ZroMsg message;
        receive(message, row.bytes, 3);
        message.setEncoding(row.encoding);
        message.setFormat(row.format);
        const std::string before = described(message);
        ZroRfh h = oldHeader();
        const std::string shownBefore = shown(h), fixedBefore = fixedBytesOf(h);
        clearEvents();
        EXPECT_EQ(h.pasteIn(message), 0);
        expectCodes(h, 2, row.reason);
        EXPECT_EQ(texts(), row.texts);
        EXPECT_EQ(textFunctions().back(), 41u);
        EXPECT_TRUE(records().empty()) << "pasteIn writes no entry or exit records";
        EXPECT_EQ(described(message), before);
        EXPECT_EQ(shown(h), shownBefore);
        EXPECT_EQ(fixedBytesOf(h), fixedBefore);
    }
}

TEST_F(ZroRfhTest, FailuresAfterTheFixedPartKeepWhatWasTaken)
{
    // Part 0 fits, part 1 ends one byte past the data, part 2 fits: 6114,
    // and the fixed part and parts 0 and 2 are replaced all the same.
    std::string bytes = fixedPart(140) + "0123456789abcdefghijklmnopqrstuv";
    setPart(bytes, 0, 108, 4);
    setPart(bytes, 1, 130, 11);
    setPart(bytes, 2, 120, 2);
    putInt(bytes, 4, 2);   // version
    putInt(bytes, 96, 7);  // spare integers
    putInt(bytes, 104, 9); //
    ZroMsg message;
    receive(message, bytes, 5);
    ZroRfh h = oldHeader();
    clearEvents();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 6114);
    expectOnlyText(41, kShort);
    EXPECT_EQ(described(message), "ZRHREF  |546|0|5");
    EXPECT_EQ(shown(h),
              "546|850|ZRSTR   |1|REF|" + fixedPart(0).substr(40, 24) + "|0123|old1|cd|old3");
    const std::string fixed = fixedBytesOf(h);
    EXPECT_EQ(fixed.substr(4, 4), bytes.substr(4, 4));
    EXPECT_EQ(fixed.substr(96, 12), bytes.substr(96, 12));

    // A part beyond the data and a structure length that is too short: the
    // part is reported first.
    putInt(bytes, 8, 107);
    receive(message, bytes);
    clearEvents();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 6114);

    // Every part fits but the last ends past the structure length.
    setPart(bytes, 1, 130, 10);
    putInt(bytes, 8, 139);
    receive(message, bytes);
    h = oldHeader();
    clearEvents();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 6123);
    expectOnlyText(41, kStrucLength);
    EXPECT_EQ(described(message), "ZRHREF  |546|0|0");
    EXPECT_EQ(text(h.sourceName()), "mnopqrstuv");
    EXPECT_EQ(h.characterSet(), 850);

    putInt(bytes, 8, 140);
    receive(message, bytes);
    EXPECT_EQ(h.pasteIn(message), 1);
    EXPECT_EQ(described(message), "ZRSTR   |546|850|140");
}

TEST_F(ZroRfhTest, TheStructureLengthDecidesWhereTheDataOffsetGoes)
{
    for (int32_t length : {107, 0, -1, INT32_MIN}) {
        SCOPED_TRACE(length);
        ZroMsg message;
        receive(message, fixedPart(length) + std::string(20, '-'));
        ZroRfh h;
        clearEvents();
        EXPECT_EQ(h.pasteIn(message), 0);
        expectCodes(h, 2, 6123);
        expectOnlyText(41, kStrucLength);
        EXPECT_EQ(message.dataOffset(), 0u);
    }

    // Whichever part ends furthest sets the least structure length.
    for (unsigned part = 0; part < 4; ++part) {
        SCOPED_TRACE(part);
        std::string bytes = fixedPart(129) + std::string(22, 'p');
        setPart(bytes, part, 120, 10);
        ZroMsg message;
        receive(message, bytes);
        ZroRfh h;
        EXPECT_EQ(h.pasteIn(message), 0);
        expectCodes(h, 2, 6123);
        putInt(bytes, 8, 130);
        receive(message, bytes);
        EXPECT_EQ(h.pasteIn(message), 1);
        EXPECT_EQ(message.dataOffset(), 130u);
    }

    // Longer than the parts: the bytes up to the structure length are skipped.
    ZroMsg message;
    receive(message, fixedPart(120) + "skipped12345body", 2);
    ZroRfh h;
    clearEvents();
    EXPECT_EQ(h.pasteIn(message), 1);
    EXPECT_EQ(described(message), "ZRSTR   |546|850|122");
    ZroStr rest;
    message.readItem(rest);
    EXPECT_EQ(text(rest), "body");
    expectNoText();

    // Beyond the data in an automatic buffer: the message is extended to it.
    receive(message, fixedPart(200), 2);
    EXPECT_EQ(h.pasteIn(message), 1);
    EXPECT_EQ(message.dataOffset(), 202u);
    EXPECT_EQ(message.messageLength(), 202u);

    // The same when the growth gets no storage: the message's codes.
    receive(message, fixedPart(108));
    message.resizeBuffer(108);
    receive(message, fixedPart(400));
    ZroRfh g;
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(g.pasteIn(message), 0);
    expectCodes(g, 2, 2071);
    expectCodes(message, 2, 2071);
    expectOnlyText(5, "ZroCache::resizeBuffer (error): storage not available");
    EXPECT_EQ(described(message), "ZRHREF  |546|0|0");
    EXPECT_EQ(g.characterSet(), 850) << "the fixed part was taken";

    // In a user buffer: it cannot grow.
    std::string bytes = fixedPart(130);
    std::vector<char> user(bytes.begin(), bytes.end());
    ZroMsg held;
    held.useFullBuffer(user.data(), static_cast<unsigned>(user.size()));
    held.setFormat("ZRHREF  ");
    ZroRfh u;
    clearEvents();
    EXPECT_EQ(u.pasteIn(held), 0);
    expectCodes(u, 2, 6112);
    expectOnlyText(5, "ZroCache::resizeBuffer (error): user buffer cannot be resized");
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 5", "exit 5 6112"}));
    EXPECT_EQ(described(held), "ZRHREF  |546|0|0");
}

TEST_F(ZroRfhTest, HostileLengthsAndOffsetsOfEachPart)
{
    struct Case {
        const char* what;
        int32_t offset;
        int32_t length;
        int32_t reason;     // 0: success
        const char* result; // the part's text afterwards ("old" kept)
    };
    // 124 bytes of data: the fixed part (spare integer 3 "AAAA") and "0123456789ABCDEF".
    const Case cases[] = {
        {"negative offset", -1, 4, 6114, "old"},
        {"most negative offset", INT32_MIN, 4, 6114, "old"},
        {"end just past 2^31", INT32_MAX, 1, 6114, "old"},
        {"end near 2^32", INT32_MAX, INT32_MAX, 6114, "old"},
        {"end past 2^31 from a small offset", 108, INT32_MAX, 6114, "old"},
        {"end a little past 2^31", 0x7FFFFFF0, 0x20, 6114, "old"},
        {"negative offset, end inside in 32 bits", -16, 20, 6114, "old"},
        {"one byte past the data", 121, 4, 6114, "old"},
        {"offset at the end of the data", 124, 1, 6114, "old"},
        {"ends at the end of the data", 120, 4, 0, "CDEF"},
        {"negative length", 108, -1, 0, "old"},
        {"most negative length", INT32_MAX, INT32_MIN, 0, "old"},
        {"length 0, negative offset", -5, 0, 0, "old"},
        {"over the structure id", 0, 4, 0, "RMH "},
        {"over the format field", 20, 8, 0, "ZRSTR   "},
        {"across the end of the fixed part", 104, 8, 0, "AAAA0123"},
    };
    for (unsigned part = 0; part < 4; ++part) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", part " + std::to_string(part));
            std::string bytes = fixedPart(124) + "0123456789ABCDEF";
            bytes.replace(104, 4, "AAAA"); // spare integer 3
            setPart(bytes, part, c.offset, c.length);
            ZroMsg message;
            receive(message, bytes);
            ZroRfh h;
            const ZroStr olds[] = {"old0", "old1", "old2", "old3"};
            h.setSourceEnvironment("old0");
            h.setSourceName("old1");
            h.setDestinationEnvironment("old2");
            h.setDestinationName("old3");
            clearEvents();
            EXPECT_EQ(h.pasteIn(message), c.reason == 0 ? 1 : 0);
            if (c.reason != 0) {
                expectCodes(h, 2, c.reason);
                expectOnlyText(41, kShort);
                EXPECT_EQ(message.dataOffset(), 0u);
            } else {
                expectCodes(h, 0, 0);
                expectNoText();
                EXPECT_EQ(message.dataOffset(), 124u);
            }
            const ZroStr got[] = {h.sourceEnvironment(), h.sourceName(), h.destinationEnvironment(),
                                  h.destinationName()};
            for (unsigned i = 0; i < 4; ++i) {
                std::string want = text(olds[i]);
                if (i == part && std::string(c.result) != "old") want = c.result;
                EXPECT_EQ(text(got[i]), want) << "part " << i;
            }
        }
    }
}

TEST_F(ZroRfhTest, EveryTruncatedLengthFailsWithoutReadingPastTheMessage)
{
    ZroRfh source;
    source.setSourceEnvironment("environment");
    source.setSourceName("name");
    source.setDestinationEnvironment("x");
    source.setDestinationName("destination");
    ZroMsg written;
    ASSERT_EQ(written.writeItem(source), 1);
    const std::string whole(written.bufferPointer(), written.messageLength());
    const unsigned total = static_cast<unsigned>(whole.size());
    ASSERT_EQ(total, 108u + 11 + 4 + 1 + 11);
    const unsigned ends[] = {119, 123, 124, 135};

    for (unsigned prefix : {0u, 5u}) {
        for (unsigned n = 0; n <= total; ++n) {
            SCOPED_TRACE("prefix " + std::to_string(prefix) + ", length " + std::to_string(n));
            // A user buffer of exactly the message: ASan sees any byte read past it.
            const unsigned size = prefix + n;
            std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
            std::memset(buffer.get(), '#', prefix);
            std::memcpy(buffer.get() + prefix, whole.data(), n);
            ZroMsg message;
            if (size != 0) { ASSERT_EQ(message.useFullBuffer(buffer.get(), size), 1); }
            message.setDataOffset(prefix);
            message.setFormat("ZRHREF  ");
            ZroRfh h = oldHeader();
            clearEvents();
            const unsigned char ok = h.pasteIn(message);
            if (n == total) {
                EXPECT_EQ(ok, 1);
                EXPECT_EQ(shown(h), shown(source));
                EXPECT_EQ(message.dataOffset(), prefix + total);
                continue;
            }
            EXPECT_EQ(ok, 0);
            expectCodes(h, 2, n < 4 ? 6107 : 6114);
            EXPECT_EQ(texts().back(), n < 4 ? kWrongId : kShort);
            EXPECT_EQ(described(message), "ZRHREF  |546|0|" + std::to_string(prefix));
            // Each text is taken exactly when it lies within the data.
            const ZroStr got[] = {h.sourceEnvironment(), h.sourceName(), h.destinationEnvironment(),
                                  h.destinationName()};
            const ZroStr want[] = {source.sourceEnvironment(), source.sourceName(),
                                   source.destinationEnvironment(), source.destinationName()};
            for (unsigned i = 0; i < 4; ++i) {
                const std::string old = "old" + std::to_string(i);
                EXPECT_EQ(text(got[i]), n >= 108 && n >= ends[i] ? text(want[i]) : old);
            }
        }
    }
}

TEST_F(ZroRfhTest, StorageAndPointerFailuresWhileTakingTheTexts)
{
    std::string bytes = fixedPart(120) + "abcdefghijkl";
    setPart(bytes, 0, 108, 4);
    setPart(bytes, 1, 112, 4);
    setPart(bytes, 3, 200, 4); // outside as well: the storage failure is reported
    ZroMsg message;
    receive(message, bytes);
    ZroRfh h = oldHeader();
    h.setSourceEnvironment("old-0"); // storage of another size: "abcd" needs new storage
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 2071);
    expectOnlyText(47, "ZroString::setStorage (error): storage not available");
    EXPECT_EQ(text(h.sourceEnvironment()), "old-0") << "kept when its copy gets no storage";
    expectCodes(h.sourceEnvironment(), 0, 0);
    EXPECT_EQ(text(h.sourceName()), "efgh") << "later parts are still taken";
    EXPECT_EQ(h.characterSet(), 850);
    EXPECT_EQ(described(message), "ZRHREF  |546|0|0");

    setPart(bytes, 3, 108, 0);
    receive(message, bytes);
    h = oldHeader();
    refuse(message.bufferPointer() + 112, 4, 1);
    clearEvents();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 2004);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    EXPECT_EQ(text(h.sourceEnvironment()), "abcd");
    EXPECT_EQ(text(h.sourceName()), "old1");
    EXPECT_EQ(message.dataOffset(), 0u);
}

TEST_F(ZroRfhTest, CopyOutFailuresLeaveTheMessageAsTheCacheLeavesIt)
{
    ZroStr body("0123456789");
    ZroRfh h;
    h.setSourceName(std::string(40, 'n').c_str());
    h.setEncoding(1);
    const std::string headerBefore = shown(h);

    // A user buffer without room for header and data: nothing changes.
    char user[150];
    ZroMsg small;
    small.useEmptyBuffer(user, sizeof user);
    small.writeItem(body);
    small.setCharacterSet(850);
    clearEvents();
    EXPECT_EQ(h.copyOut(small), 0);
    expectCodes(h, 2, 6113);
    expectOnlyText(3, "ZroCache::moreBytes (error): insufficient buffer");
    EXPECT_EQ(described(small), "ZRSTR   |546|850|10");
    EXPECT_EQ(std::string(small.bufferPointer(), small.messageLength()), "0123456789");
    EXPECT_EQ(shown(h), headerBefore);

    // No storage for the message to grow.
    ZroMsg message;
    message.writeItem(body);
    message.resizeBuffer(10);
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(h.copyOut(message), 0);
    expectCodes(h, 2, 2071);
    expectOnlyText(5, "ZroCache::resizeBuffer (error): storage not available");
    EXPECT_EQ(described(message), "ZRSTR   |546|0|10");
    EXPECT_EQ(shown(h), headerBefore);

    message.resizeBuffer(1000);
    message.clearErrorCodes();

    // The message's buffer may not be written: it is left cleared, describing the header.
    refuse(message.bufferPointer(), 1000, 2);
    h.clearErrorCodes();
    clearEvents();
    EXPECT_EQ(h.copyOut(message), 0);
    expectCodes(h, 2, 2004);
    expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
    EXPECT_EQ(described(message), "ZRHREF  |546|0|0");
    EXPECT_EQ(message.messageLength(), 0u);
    EXPECT_EQ(text(h.format()), "ZRSTR   ");
}

TEST_F(ZroRfhTest, OffsetsPastFourGiB)
{
    // A user buffer of 2^32 - 1 bytes, of which only the pages used are ever
    // touched, to reach data offsets where 32-bit sums wrap.
    struct Mapping {
        void* start;
        ~Mapping()
        {
            if (start != MAP_FAILED) munmap(start, UINT32_MAX);
        }
    } map{mmap(nullptr, UINT32_MAX, PROT_READ | PROT_WRITE,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)};
    if (map.start == MAP_FAILED) GTEST_SKIP() << "no 4 GiB of address space";
    char* base = static_cast<char*>(map.start);
    ZroMsg message;
    ASSERT_EQ(message.useFullBuffer(base, UINT32_MAX), 1);
    const unsigned at = UINT32_MAX - 200; // 200 bytes of data from here
    auto place = [&](int32_t strucLength, int32_t partOffset, int32_t partLength) {
        std::string bytes = fixedPart(strucLength);
        setPart(bytes, 2, partOffset, partLength);
        std::memcpy(base + at, bytes.data(), bytes.size());
        std::memcpy(base + at + 190, "tenletters", 10);
        message.setDataOffset(at);
        message.setFormat("ZRHREF  ");
    };

    ZroRfh h;
    place(300, 108, 0); // the data offset would end at 2^32 + 99
    clearEvents();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 2071);
    expectOnlyText(3, "ZroCache::moreBytes (error): storage not available");
    EXPECT_EQ(described(message), "ZRHREF  |546|0|" + std::to_string(at));

    place(200, 190, 11); // the part ends one byte past the message
    h.clearErrorCodes();
    EXPECT_EQ(h.pasteIn(message), 0);
    expectCodes(h, 2, 6114);

    place(200, 190, 10);
    EXPECT_EQ(h.pasteIn(message), 1);
    EXPECT_EQ(message.dataOffset(), UINT32_MAX);
    EXPECT_EQ(text(h.destinationEnvironment()), "tenletters");

    // A header cannot go in front of 2^32 - 1 bytes.
    message.setDataOffset(0);
    const std::string before = described(message);
    ZroRfh w;
    clearEvents();
    EXPECT_EQ(w.copyOut(message), 0);
    expectCodes(w, 2, 2071);
    expectOnlyText(3, "ZroCache::moreBytes (error): storage not available");
    EXPECT_EQ(message.messageLength(), UINT32_MAX);
    EXPECT_EQ(described(message), before);
}
