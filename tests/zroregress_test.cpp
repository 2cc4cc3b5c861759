// Regression tests for what the fuzz targets and the allocation fault sweep
// found: each is the smallest form of a finding, written before its fix.
// docs/ROBUSTNESS.md tells each story.
#include <new>
#include <string>
#include <utility>

#include "zroalloc.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zromtr.hpp"
#include "zroi/zrostr.hpp"
#include "zronew.hpp"
#include "zrotest.hpp"

using ZroRegressTest = ZroTest;

namespace {
std::string bytes(const ZroBin& b) { return std::string(b.view().begin(), b.view().end()); }
} // namespace

// fuzz_string_readers: the failure to find storage for the token stayed on a
// temporary, and the string carried no codes.
TEST_F(ZroRegressTest, TokenCutIntoItselfReportsMissingStorage)
{
    for (const auto& [text, delimiter] :
         {std::pair<const char*, char>{"#", '\0'}, {"ab,cd", ','}}) {
        ZroStr s(text);
        failAllocation(1);
        EXPECT_EQ(s.cutOut(s, delimiter), 0u);
        expectCodes(s, 2, 2071);
        EXPECT_STREQ(s.dataPointer(), text);
    }
}

// fuzz_kih: without storage for the string carrying the header's format the
// message was given a blank format and the read succeeded. The library's own
// header classes read the format from their record; a derived class's
// format() still goes through the string.
TEST_F(ZroRegressTest, HeaderReadWithoutStorageForTheFormatKeepsTheDescription)
{
    ZroMsg message;
    ZroStr body("payload");
    ZroKih header;
    ASSERT_EQ(message.writeItem(body), 1);
    ASSERT_EQ(message.writeItem(header), 1);
    ASSERT_EQ(message.setDataOffset(0), 1);
    struct ApplicationKih : ZroKih {
    } received;
    failAllocation(1);
    EXPECT_EQ(message.readItem(received), 0);
    expectCodes(received, 2, 2071);
    expectCodes(message, 2, 2071);
    EXPECT_TRUE(message.formatIs(ZRFMT_KOTA_BRIDGE_HEADER));
    EXPECT_EQ(message.encoding() * 10000 + message.characterSet(), ZRENC_NATIVE * 10000);
    // With storage the same read succeeds and names the body.
    ASSERT_EQ(message.setDataOffset(0), 1);
    received.clearErrorCodes();
    EXPECT_EQ(message.readItem(received), 1);
    EXPECT_TRUE(message.formatIs(ZRFMT_STRING));
    EXPECT_EQ(message.dataOffset(), static_cast<unsigned>(ZRKIH_LENGTH_2));
}

// The allocation fault sweep: a tracker copied its values through binaries
// from its getters; a binary without storage became zeros without a word.
TEST_F(ZroRegressTest, TrackerCopiesKeepTheirValuesWithoutStorage)
{
    unsigned char id[24], token[32];
    for (unsigned i = 0; i < sizeof token; ++i) token[i] = static_cast<unsigned char>(100 + i);
    for (unsigned i = 0; i < sizeof id; ++i) id[i] = static_cast<unsigned char>(i + 1);
    ZroMtr tracker;
    tracker.setMessageId(id);
    tracker.setAccountingToken(token);
    tracker.setFeedback(5);
    failAllocation(1, true); // no storage at all from the library's seam
    ZroMtr copy(tracker), assigned;
    assigned = tracker;
    failAllocation(0);
    for (const ZroMtr* each : {&copy, &assigned}) {
        EXPECT_EQ(bytes(each->messageId()), std::string(id, id + 24));
        EXPECT_EQ(bytes(each->accountingToken()), std::string(token, token + 32));
        EXPECT_TRUE(each->correlationId().isNull()); // absent in the source: zeros
        EXPECT_EQ(each->feedback(), 5);
        expectCodes(*each, 0, 0);
    }
    // A message's copy needs storage for its data only.
    ZroMsg message;
    ZroStr body("data");
    ASSERT_EQ(message.writeItem(body), 1);
    const unsigned long before = zroi_test_allocation_count();
    ZroMsg copied(message);
    EXPECT_EQ(zroi_test_allocation_count() - before, 1u);
}

// The sweep under valgrind: a tracker's copy constructor that ran out of
// storage part way (std::bad_alloc) leaked the values it had obtained. Run
// under ASan or valgrind, this leaked before the fix.
TEST_F(ZroRegressTest, TrackerCopyThatRunsOutOfStorageLeaksNothing)
{
    const unsigned char id[32] = {1, 2, 3}; // wide enough for every value
    ZroMtr tracker;
    tracker.setAccountingToken(id);
    tracker.setCorrelationId(id);
    tracker.setFeedback(1);
    tracker.setGroupId(id);
    tracker.setMessageId(id);
    for (unsigned long nth = 1; nth <= 5; ++nth) {
        zroTestFailNew(nth);
        EXPECT_THROW(ZroMtr copy(tracker), std::bad_alloc) << nth;
        zroTestFailNew(0);
    }
    EXPECT_EQ(ZroMtr(tracker).feedback(), 1);
}
