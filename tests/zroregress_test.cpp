// Regression tests for what the fuzz targets and the allocation fault sweep
// found: each case is the smallest form of a finding, written before its fix.
// docs/ROBUSTNESS.md lists them.
#include <cstring>
#include <string>

#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrostr.hpp"
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
// the header was misdescribed. The read now fails with 2/2071 and leaves
// the message as it was: cursor, format, encoding and character set.
TEST_F(ZroRegressTest, HeaderReadWithoutStorageForTheFormatLeavesTheMessage)
{
    ZroMsg message;
    ZroStr body("payload");
    ZroKih header;
    ASSERT_EQ(message.writeItem(body), 1);
    ASSERT_EQ(message.writeItem(header), 1);
    ASSERT_EQ(message.setDataOffset(0), 1);

    ZroKih received;
    failAllocation(1);
    EXPECT_EQ(message.readItem(received), 0);
    expectCodes(received, 2, 2071);
    expectCodes(message, 2, 2071);
    EXPECT_EQ(message.dataOffset(), 0u);
    EXPECT_TRUE(message.formatIs(ZRFMT_KOTA_BRIDGE_HEADER));
    EXPECT_EQ(message.encoding(), ZRENC_NATIVE);
    EXPECT_EQ(message.characterSet(), 0);

    // With storage the same read succeeds and names the body.
    received.clearErrorCodes();
    EXPECT_EQ(message.readItem(received), 1);
    EXPECT_TRUE(message.formatIs(ZRFMT_STRING));
    EXPECT_EQ(message.dataOffset(), static_cast<unsigned>(ZRKIH_LENGTH_2));
}
