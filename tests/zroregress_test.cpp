// Regression tests for what the fuzz targets and the allocation fault sweep
// found: each case is the smallest form of a finding, written before its fix.
// docs/ROBUSTNESS.md lists them.
#include <cstring>
#include <string>

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
