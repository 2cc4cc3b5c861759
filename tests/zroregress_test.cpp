// Regression tests for what the fuzz targets and the allocation fault sweep
// found: each case is the smallest form of a finding, written before its fix.
// docs/ROBUSTNESS.md lists them.
#include <cstring>
#include <new>
#include <string>

#include "zroalloc.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zromtr.hpp"
#include "zroi/zrostr.hpp"
#include "zronew.hpp"
#include "zrotest.hpp"

namespace {
std::string text(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }
} // namespace

using ZroRegressTest = ZroTest;

// fuzz_string_readers: a string cut into itself as its own token found no
// storage for the token and returned 0, but the failure stayed on a
// temporary: the string carried no codes.
TEST_F(ZroRegressTest, TokenCutIntoItselfReportsMissingStorage)
{
    ZroStr s("#");
    failAllocation(1);
    EXPECT_EQ(s.cutOut(s, '\0'), 0u);
    expectCodes(s, 2, 2071);
    EXPECT_EQ(text(s), "#");

    ZroStr t("ab,cd");
    failAllocation(1);
    EXPECT_EQ(t.cutOut(t, ','), 0u);
    expectCodes(t, 2, 2071);
    EXPECT_EQ(text(t), "ab,cd");
}

// fuzz_kih: reading a header hands the header's format to the message
// through a string; when that string found no storage, the message was
// given a blank format and the read reported success, so the data behind
// the header was misdescribed. The read now fails with 2/2071 and the
// message keeps its description (format, encoding, character set). (Fixed
// on the main line at the same time, with the cursor left past the header.)
TEST_F(ZroRegressTest, HeaderReadWithoutStorageForTheFormatKeepsTheDescription)
{
    ZroMsg message;
    ZroStr body("payload");
    ZroKih header;
    ASSERT_EQ(message.writeItem(body), 1);
    ASSERT_EQ(message.writeItem(header), 1);
    ASSERT_EQ(message.setDataOffset(0), 1);

    // The library's own header classes now read the format straight from
    // their record; the string is still made for a class derived from one,
    // whose format() may say something else.
    struct ApplicationKih : ZroKih {
    } received;
    failAllocation(1);
    EXPECT_EQ(message.readItem(received), 0);
    expectCodes(received, 2, 2071);
    expectCodes(message, 2, 2071);
    EXPECT_TRUE(message.formatIs(ZRFMT_KOTA_BRIDGE_HEADER));
    EXPECT_EQ(message.encoding(), ZRENC_NATIVE);
    EXPECT_EQ(message.characterSet(), 0);

    // With storage the same read succeeds and names the body.
    ASSERT_EQ(message.setDataOffset(0), 1);
    received.clearErrorCodes();
    EXPECT_EQ(message.readItem(received), 1);
    EXPECT_TRUE(message.formatIs(ZRFMT_STRING));
    EXPECT_EQ(message.dataOffset(), static_cast<unsigned>(ZRKIH_LENGTH_2));
}

// The allocation fault sweep: a tracker copied its values through binaries
// returned by its getters. When such a binary found no storage it came
// back empty, and the copy stored zeros in place of the value without a
// word: a standalone tracker lost its identifiers. A message's copy made
// the same needless allocations. Values are now copied byte for byte.
TEST_F(ZroRegressTest, TrackerCopiesKeepTheirValuesWithoutStorage)
{
    unsigned char id[24], token[32];
    for (unsigned i = 0; i < sizeof id; ++i) id[i] = static_cast<unsigned char>(i + 1);
    for (unsigned i = 0; i < sizeof token; ++i) token[i] = static_cast<unsigned char>(100 + i);
    ZroMtr tracker;
    tracker.setMessageId(id);
    tracker.setAccountingToken(token);
    tracker.setFeedback(5);

    failAllocation(1, true); // no storage at all from the library's seam
    ZroMtr copy(tracker);
    ZroMtr assigned;
    assigned = tracker;
    failAllocation(0);
    for (const ZroMtr* each : {&copy, &assigned}) {
        ZroBin messageId = each->messageId();
        ZroBin accountingToken = each->accountingToken();
        ASSERT_EQ(messageId.dataLength(), 24u);
        EXPECT_EQ(std::memcmp(messageId.dataPointer(), id, 24), 0);
        ASSERT_EQ(accountingToken.dataLength(), 32u);
        EXPECT_EQ(std::memcmp(accountingToken.dataPointer(), token, 32), 0);
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

// The allocation fault sweep, under valgrind: copy-constructing a standalone
// tracker whose storage ran out part way (std::bad_alloc, which the tracker
// lets pass) lost the values it had already obtained, since a constructor
// that throws runs no destructor. Run under ASan or valgrind, this test
// leaked before the fix.
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
    ZroMtr copy(tracker);
    EXPECT_EQ(copy.feedback(), 1);
}
