// ZroErr and ZroTrc: pointer checks with their texts, sticky codes, class new.
#include <memory>
#include <thread>

#include "zroalloc.hpp"
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

TEST_F(ZroErrTest, RefusedChecksSetCodesAndOneText)
{
    // A read-only refusal of the whole buffer, a write refusal of its last byte.
    char buffer[8] = {};
    refuse(buffer, 7, 1);
    refuse(buffer + 7, 1, 2);
    for (bool read : {true, false}) {
        clearEvents();
        Checked object;
        EXPECT_EQ(
            read ? object.checkWritePointer(buffer, 7) : object.checkReadPointer(buffer + 7, 1), 1);
        EXPECT_EQ(read ? object.checkReadPointer(buffer, 8) : object.checkWritePointer(buffer, 8),
                  0);
        expectCodes(object, 2, 2004);
        expectOnlyText(read ? 62 : 63, read ? "ZroError::checkReadPointer (error): buffer error"
                                            : "ZroError::checkWritePointer (error): buffer error");
        EXPECT_TRUE(records().empty());
        const std::vector<TraceEvent> all = events();
        ASSERT_EQ(all.size(), 6u);
        EXPECT_TRUE(all[0].kind == ZRECS_HOOK && all[0].value == 1 && all[1].kind == ZRECS_CHECK &&
                    all[1].value == (read ? 2u : 1u) && all[3].kind == ZRECS_CHECK &&
                    all[3].value == (read ? 1u : 2u) && all[3].result != 0);
        // Codes stay until cleared; a check that passes keeps them.
        EXPECT_EQ(object.checkWritePointer(buffer, 1), 1);
        expectCodes(object, 2, 2004);
    }
}

TEST_F(ZroErrTest, CodesAreStickyCopiedAndCleared)
{
    Checked failed;
    EXPECT_EQ(failed.fail(4, "ZroCache::read (error): insufficient data", 2, 6114), 0);
    expectOnlyText(4, "ZroCache::read (error): insufficient data");
    Checked copy(failed), assigned;
    assigned = failed;
    assigned = assigned;
    expectCodes(copy, 2, 6114);
    expectCodes(assigned, 2, 6114);
    failed.clearErrorCodes();
    expectCodes(failed, 0, 0);
    // The retained trace entry points record nothing.
    clearEvents();
    ZroTrc::traceEntry(31, 4);
    ZroTrc::traceExit(31, 4, 0);
    EXPECT_TRUE(events().empty());
}

TEST_F(ZroErrTest, ClassNewUsesTheLibraryHeapAndThrowsWhenItIsEmpty)
{
    const unsigned long live = zroi_test_live_allocations();
    std::unique_ptr<Checked> object(new Checked);
    std::unique_ptr<Checked[]> many(new Checked[3]);
    EXPECT_EQ(zroi_test_live_allocations(), live + 2);
    failAllocation(1);
    EXPECT_THROW(delete new Checked, std::bad_alloc);
    failAllocation(1);
    EXPECT_THROW(delete[] new Checked[2], std::bad_alloc);
    object.reset();
    many.reset();
    EXPECT_EQ(zroi_test_live_allocations(), live);
    // Each thread counts its own allocations, from 0.
    unsigned long fresh = 1;
    std::thread([&] {
        fresh = zroi_test_allocation_count() + zroi_test_live_allocations();
    }).join();
    EXPECT_EQ(fresh, 0u);
}
