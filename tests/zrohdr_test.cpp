// The header protocol when the message's buffer must grow for a header: the
// data is copied straight to its place behind the header, and the outcome is
// the one a buffer with room gives. And how a header read hands its format
// to the message: straight from the record for the library's own classes,
// through format() for a class derived from one.
#include <cstring>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrowih.hpp"
#include "zrotest.hpp"

using ZroHdrTest = ZroTest;

namespace {

std::string dataOf(const ZroMsg& message)
{
    return std::string(message.bufferPointer(), message.messageLength());
}

std::string described(const ZroMsg& message)
{
    return std::string(message.descriptor().format, 8) + "|" + std::to_string(message.encoding()) +
           "|" + std::to_string(message.characterSet()) + "|" +
           std::to_string(message.dataOffset()) + "|" + std::to_string(message.messageLength()) +
           "|" + std::to_string(message.bufferLength());
}

// A message holding `n` bytes of a string body in a buffer of exactly `n`
// bytes (or `buffer` bytes when given), its data offset at `offset`.
void holding(ZroMsg& message, unsigned n, unsigned offset, unsigned buffer = 0)
{
    std::string text;
    for (unsigned i = 0; i < n; ++i) text += static_cast<char>('a' + i % 26);
    ZroStr body(text.c_str());
    message.resizeBuffer(buffer != 0 ? buffer : n);
    ASSERT_EQ(message.writeItem(body), 1);
    message.setCharacterSet(850);
    message.setDataOffset(offset);
}

} // namespace

TEST_F(ZroHdrTest, GrowingForAHeaderGivesWhatRoomGives)
{
    for (unsigned offset : {1000u, 0u, 400u}) {
        ZroMsg roomy;
        holding(roomy, 1000, offset, 4000);
        ZroKih header;
        ASSERT_EQ(roomy.writeItem(header), 1);

        ZroMsg tight;
        holding(tight, 1000, offset);
        ZroKih grown;
        clearEvents();
        ASSERT_EQ(tight.writeItem(grown), 1);
        EXPECT_EQ(dataOf(tight), dataOf(roomy)) << offset;
        EXPECT_EQ(tight.bufferLength(), 2000u) << "doubled, as moreBytes grows";
        EXPECT_EQ(tight.dataOffset(), 1180u);
        EXPECT_EQ(tight.messageLength(), 1180u);
        EXPECT_EQ(std::string(tight.descriptor().format, 8), "ZRKOTA  ");
        EXPECT_EQ(std::string(grown.format().dataPointer()), "ZRSTR   ");
        EXPECT_EQ(grown.characterSet(), 850);
        // The growth is the cache's own resize, then the header's write and the data's.
        EXPECT_EQ(records(), (std::vector<std::string>{"entry 5", "exit 5 0", "entry 9", "exit 9 0",
                                                       "entry 9", "exit 9 0"}));
        expectNoText();
    }

    // An empty message grows to exactly the header.
    ZroMsg empty;
    ZroKih header;
    ASSERT_EQ(empty.writeItem(header), 1);
    EXPECT_EQ(empty.bufferLength(), 180u);
    EXPECT_EQ(empty.messageLength(), 180u);

    // The header's bytes then the body's, whatever the size: here more than
    // a mebibyte behind a version-1 header.
    ZroMsg large;
    holding(large, (1u << 20) + 3, (1u << 20) + 3);
    ZroKih one;
    one.setVersion(1);
    ASSERT_EQ(large.writeItem(one), 1);
    const std::string bytes = dataOf(large);
    ASSERT_EQ(bytes.size(), 164u + (1u << 20) + 3);
    EXPECT_EQ(bytes.compare(0, 4, "KIH "), 0);
    bool body = true;
    for (std::size_t i = 164; i < bytes.size() && body; ++i)
        body = bytes[i] == static_cast<char>('a' + (i - 164) % 26);
    EXPECT_TRUE(body);
}

TEST_F(ZroHdrTest, AGrowthThatFailsLeavesTheMessageAsItWas)
{
    ZroMsg message;
    holding(message, 1000, 600);
    const std::string data = dataOf(message), before = described(message);
    ZroKih header;
    header.setCharacterSet(37);
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(message.writeItem(header), 0);
    expectCodes(header, 2, 2071);
    expectOnlyText(5, "ZroCache::resizeBuffer (error): storage not available");
    EXPECT_EQ(dataOf(message), data);
    EXPECT_EQ(described(message), before);
    EXPECT_EQ(header.characterSet(), 37) << "the header took no description";

    // A user buffer cannot grow: 6113, nothing moved.
    std::vector<char> user(1100);
    ZroMsg fixed;
    fixed.useEmptyBuffer(user.data(), static_cast<unsigned>(user.size()));
    ZroStr body(std::string(1000, 'u').c_str());
    ASSERT_EQ(fixed.writeItem(body), 1);
    clearEvents();
    EXPECT_EQ(fixed.writeItem(header), 0);
    expectCodes(header, 2, 6113);
    EXPECT_EQ(dataOf(fixed), std::string(1000, 'u'));

    // The header's record refused by the read check after the growth: the
    // message is left cleared, describing the header, as with room.
    ZroKih third;
    ZroMsg probe;
    clearEvents();
    ASSERT_EQ(probe.writeItem(third), 1);
    const void* record = nullptr;
    for (const TraceEvent& e : events())
        if (e.kind == ZRECS_CHECK && e.value == 1 && e.length == 180) record = e.start;
    ASSERT_NE(record, nullptr);
    ZroMsg refused;
    holding(refused, 1000, 1000);
    refuse(record, 180, 1);
    EXPECT_EQ(refused.writeItem(third), 0);
    expectCodes(third, 2, 2004);
    EXPECT_EQ(refused.messageLength(), 0u);
    EXPECT_EQ(refused.bufferLength(), 2000u);
    EXPECT_EQ(refused.formatIs("ZRKOTA  "), 1);
}

namespace {

// A header of the application's own, derived from one of the library's, that
// names the data behind it in its own way.
template <class H> class Renaming : public H {
public:
    ZroStr format() const override { return ZroStr("APPFMT"); }
};

template <class H> class ZroHdrFormatTest : public ZroTest {
};
using Headers = ::testing::Types<ZroDlh, ZroKih, ZroRfh, ZroRih, ZroWih>;
TYPED_TEST_SUITE(ZroHdrFormatTest, Headers);

} // namespace

TYPED_TEST(ZroHdrFormatTest, TheFormatHandedOnIsTheOneFormatGives)
{
    ZroMsg message;
    ZroStr body("payload");
    TypeParam written;
    ASSERT_EQ(message.writeItem(body), 1);
    ASSERT_EQ(message.writeItem(written), 1);

    const std::string headerFormat(message.descriptor().format, 8);

    // The library's class: the record's field, read without a string.
    message.setDataOffset(0);
    TypeParam plain;
    const unsigned long allocations = zroi_test_allocation_count();
    ASSERT_EQ(message.readItem(plain), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "ZRSTR   ");
    EXPECT_EQ(zroi_test_allocation_count(), allocations);

    // A derived class: whatever its format() says, blank padded.
    message.setDataOffset(0);
    message.setFormat(headerFormat.c_str());
    Renaming<TypeParam> derived;
    ASSERT_EQ(message.readItem(derived), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "APPFMT  ");
    EXPECT_EQ(std::string(derived.TypeParam::format().dataPointer()), "ZRSTR   ");
}
