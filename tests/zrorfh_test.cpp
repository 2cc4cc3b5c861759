// ZroRfh: received records with hostile lengths and offsets for each part,
// offsets past 4 GiB, and the layout of the parts at the limits of 32 bits.
#include <sys/mman.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroparts.hpp"
#include "zrotest.hpp"

using ZroRfhTest = ZroTest;

namespace {

std::string text(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }

void putInt(std::string& bytes, unsigned at, int32_t value) { std::memcpy(&bytes[at], &value, 4); }

// Text 0 source environment, 1 source name, 2 destination environment,
// 3 destination name: its length field, then its offset field.
void setPart(std::string& bytes, unsigned part, int32_t offset, int32_t length)
{
    putInt(bytes, 64 + 8 * part, length);
    putInt(bytes, 68 + 8 * part, offset);
}

// A received fixed part written by hand: version 1, the given structure
// length, encoding 546, character set 850, format "ZRSTR   ", flags 1,
// reference type "REF", instance id bytes 1..24, every part empty at 108.
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

std::string described(const ZroMsg& m)
{
    return text(m.format()) + "|" + std::to_string(m.encoding()) + "|" +
           std::to_string(m.characterSet()) + "|" + std::to_string(m.dataOffset());
}

} // namespace

TEST_F(ZroRfhTest, HostileLengthsAndOffsetsOfEachPart)
{
    struct Case {
        const char* what;
        int32_t offset, length, reason; // reason 0: success
        const char* result;             // the part's text afterwards ("old" kept)
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
        {"across the end of the fixed part", 104, 8, 0, "AAAA0123"},
    };
    for (unsigned part = 0; part < 4; ++part) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", part " + std::to_string(part));
            std::string bytes = fixedPart(124) + "0123456789ABCDEF";
            bytes.replace(104, 4, "AAAA"); // spare integer 3
            setPart(bytes, part, c.offset, c.length);
            ZroMsg message;
            message.write(static_cast<unsigned>(bytes.size()), bytes.data());
            message.setDataOffset(0);
            message.setFormat("ZRHREF  ");
            ZroRfh h;
            h.setSourceEnvironment("old0");
            h.setSourceName("old1");
            h.setDestinationEnvironment("old2");
            h.setDestinationName("old3");
            clearEvents();
            EXPECT_EQ(h.pasteIn(message), c.reason == 0 ? 1 : 0);
            expectCodes(h, c.reason == 0 ? 0 : 2, c.reason);
            if (c.reason != 0)
                expectOnlyText(41, "ZroReferenceHeader::pasteIn (error): insufficient data");
            else
                expectNoText();
            EXPECT_EQ(message.dataOffset(), c.reason == 0 ? 124u : 0u);
            const std::string got = text(h.sourceEnvironment()) + "|" + text(h.sourceName()) + "|" +
                                    text(h.destinationEnvironment()) + "|" +
                                    text(h.destinationName());
            std::string want;
            for (unsigned i = 0; i < 4; ++i)
                want += (i == part && std::string(c.result) != "old" ? c.result
                                                                     : "old" + std::to_string(i)) +
                        std::string(i < 3 ? "|" : "");
            EXPECT_EQ(got, want);
        }
    }
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

TEST(ZroParts, LayOutUpToInt32Max)
{
    // Parts that end exactly at INT32_MAX are laid out; one byte more, or
    // lengths whose sum wraps in 32 bits, are refused and nothing is written.
    const unsigned lengths[] = {3, INT32_MAX - 108 - 3 - 5, 5, 0}, huge[] = {UINT_MAX, 1, 1, 1};
    std::vector<int32_t> offsets(5, -1); // the last: where they end
    ASSERT_TRUE(zroparts::layOut(lengths, 4, 108, offsets.data(), offsets[4]));
    EXPECT_EQ(offsets, std::vector<int32_t>({108, 111, INT32_MAX - 5, INT32_MAX, INT32_MAX}));
    const unsigned longer[] = {3, INT32_MAX - 108 - 3 - 5, 6, 0};
    std::vector<int32_t> untouched(5, -1);
    EXPECT_FALSE(zroparts::layOut(longer, 4, 108, untouched.data(), untouched[4]));
    EXPECT_FALSE(zroparts::layOut(huge, 4, 108, untouched.data(), untouched[4]));
    EXPECT_EQ(untouched, std::vector<int32_t>(5, -1));
}
