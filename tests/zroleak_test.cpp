// What a careless change would lose without a word: storage kept by
// assignments, a refused copy that reports success, the static copy's codes,
// doubles formatted with 0 digits.
#include <malloc.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "zroalloc.hpp"
#include "zrochl_probe.hpp"
#include "zroi/zrobin.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrostr.hpp"
#include "zronew.hpp"
#include "zrotest.hpp"

namespace {

using ZroLeakTest = ZroTest;

// Bytes that malloc has handed out and not had back.
std::size_t heapInUse() { return mallinfo2().uordblks; }

} // namespace

TEST_F(ZroLeakTest, MoveAssignmentAndEmptyingReleaseTheOldBytes)
{
    const unsigned long live = zroi_test_live_allocations();
    {
        ZroBin target("abcdef", 6), source("xy", 2);
        target = std::move(source);
        EXPECT_EQ(
            std::make_tuple(zroi_test_live_allocations(), target.dataLength(), source.dataLength()),
            std::make_tuple(live + 1, 2u, 0u));
        EXPECT_EQ(target.setDataLength(0), 1);
        EXPECT_EQ(zroi_test_live_allocations(), live);
        ZroMsg message;
        EXPECT_EQ(message.resizeBuffer(16) + message.resizeBuffer(0), 2);
        EXPECT_EQ(zroi_test_live_allocations(), live);
    }
    EXPECT_EQ(zroi_test_live_allocations(), live);
}

TEST_F(ZroLeakTest, ChannelAssignmentReleasesWhatItOwned)
{
    // Each assignment replaces ten exit names and their user data in both
    // directions (about 6 KiB): a thousand of them leave no more in use.
    const char* names[10] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    ZroChl source;
    ASSERT_EQ(source.setSendExitNames(10, names), 1);
    ASSERT_EQ(source.setReceiveExitNames(10, names), 1);
    ASSERT_EQ(source.setSslPeerName("CN=peer"), 1);
    ZroChl target(source);
    const std::size_t before = heapInUse();
    for (int i = 0; i < 1000; ++i) target = source;
    // Copies destroyed, and copies whose peer name (their sixth new) runs
    // out of storage after both lists are copied, give everything back.
    unsigned threw = 0;
    for (int i = 0; i < 1000; ++i) {
        ZroChl copy(source);
        threw += failsAtNew(6, [&] { ZroChl half(source); });
    }
    EXPECT_LT(heapInUse(), before + 64 * 1024);
    EXPECT_EQ(target.sendExitCount() + threw, 1010u);
}

TEST_F(ZroLeakTest, ExitListCopyRefusedByAPointerCheckFails)
{
    // A refused read of the name, or a refused write into either list,
    // stops the setter with the codes of the refusal.
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        allowAll();
        ChannelProbe channel;
        ASSERT_EQ(channel.setSendExitName("OLD"), 1);
        const char name[] = "NEW";
        if (which == 0) refuse(name, 1, 1);
        if (which == 1) refuse(channel.record().sendExitNameList, 1, 2);
        if (which == 2) refuse(channel.record().sendExitDataList, 1, 2);
        EXPECT_EQ(channel.setSendExitName(name), 0);
        expectCodes(channel, ZRCC_FAILED,
                    which == 0 ? ZRRC_SOURCE_BUFFER_ERROR : ZRRC_TARGET_BUFFER_ERROR);
    }
}

TEST_F(ZroLeakTest, StaticCopyIntoALongerField)
{
    // A text that fits is padded, one that does not is cut: result 1 from
    // both forms, quiet or observed, and the cut warned of on the error.
    const std::tuple<const char*, unsigned, const char*, int32_t> rows[] = {
        {"ab", 5, "ab...", ZRCC_OK},
        {"abcde", 5, "abcde", ZRCC_OK},
        {"", 3, "...", ZRCC_OK},
        {"abcdef", 5, "abcde", ZRCC_WARNING}};
    for (bool quiet : {true, false}) {
        if (quiet) TearDown();
        for (const auto& [text, width, padded, completion] : rows)
            for (bool withError : {false, true}) {
                SCOPED_TRACE(std::string(text) + (quiet ? " quiet" : " observed"));
                char field[8] = "xxxxxxx";
                ZroStr error;
                EXPECT_EQ(withError ? ZroStr::copy(field, width, text, error, '.')
                                    : ZroStr::copy(field, width, text, '.'),
                          1);
                EXPECT_EQ(std::string(field), std::string(padded) + ("xxxxxxx" + width));
                EXPECT_EQ(error.completionCode(), withError ? completion : ZRCC_OK);
            }
        if (quiet) SetUp();
    }
}

TEST_F(ZroLeakTest, DoublesWithZeroDigitsInTheFormat)
{
    const std::pair<const char*, const char*> rows[] = {
        {"%10.2f", "      3.14"},  {"%.0f", "3"},
        {"%010.3f", "000003.142"}, {"%-10.1f|", "3.1       |"},
        {"%.10f", "3.1415926536"}, {"%0.0f", "3"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        ZroStr text;
        EXPECT_EQ(text.pasteIn(3.14159265358979, row.first), 1);
        EXPECT_STREQ(text.dataPointer(), row.second);
    }
}
