// ZroErr and ZroTrc: sticky codes, pointer checks with their texts.
#include <memory>

#include "zroi/zroerr.hpp"
#include "zrotest.hpp"

namespace {
// Opens the protected checks to the tests.
struct Checked : ZroErr {
    using ZroErr::checkReadPointer;
    using ZroErr::checkWritePointer;
    using ZroErr::fail;
};
} // namespace

using ZroErrTest = ZroTest;

TEST_F(ZroErrTest, FailedReadCheckSetsCodesAndOneText)
{
    char buffer[8] = {};
    refuse(buffer, sizeof buffer, 1);
    Checked object;
    EXPECT_EQ(object.checkReadPointer(buffer, 8), 0);
    expectCodes(object, 2, 2004);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    EXPECT_TRUE(records().empty());

    // The refusal was for reading only; a write check passes and keeps the codes.
    clearEvents();
    EXPECT_EQ(object.checkWritePointer(buffer, 8), 1);
    expectCodes(object, 2, 2004);
    expectNoText();
}

TEST_F(ZroErrTest, FailedWriteCheckAndTheHookBeforeEachCheck)
{
    char buffer[8] = {};
    refuse(buffer + 7, 1, 2);
    Checked object;
    EXPECT_EQ(object.checkWritePointer(buffer, 7), 1);
    EXPECT_EQ(object.checkWritePointer(buffer, 8), 0);
    expectCodes(object, 2, 2004);
    expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
    std::vector<TraceEvent> all = events();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0].kind, ZRECS_HOOK);
    EXPECT_EQ(all[0].value, 1u);
    EXPECT_EQ(all[1].kind, ZRECS_CHECK);
    EXPECT_EQ(all[1].value, 2u);
}

TEST_F(ZroErrTest, CodesAreStickyCopiedAndCleared)
{
    Checked failed;
    failed.fail(4, "ZroCache::read (error): insufficient data", 2, 6114);
    Checked copy(failed);
    expectCodes(copy, 2, 6114);
    Checked assigned;
    assigned = failed;
    expectCodes(assigned, 2, 6114);
    assigned = assigned;
    expectCodes(assigned, 2, 6114);
    char byte = 0;
    EXPECT_EQ(failed.checkReadPointer(&byte, 1), 1);
    expectCodes(failed, 2, 6114);
    failed.clearErrorCodes();
    expectCodes(failed, 0, 0);
}

TEST_F(ZroErrTest, RetainedTraceEntryPointsRecordNothing)
{
    ZroTrc::traceEntry(31, 4);
    ZroTrc::traceExit(31, 4, 0);
    EXPECT_TRUE(events().empty());
    ZroTrc::traceMessage(31, 9, "line");
    expectOnlyText(9, "line");
}

TEST_F(ZroErrTest, ClassNewUsesTheLibraryHeapAndThrowsWhenItIsEmpty)
{
    std::unique_ptr<Checked> object(new Checked);
    EXPECT_EQ(object->completionCode(), 0);
    failAllocation(1);
    EXPECT_THROW(delete new Checked, std::bad_alloc);
    Checked* many = new Checked[3];
    delete[] many;
}
