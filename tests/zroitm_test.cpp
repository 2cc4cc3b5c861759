// ZroItm: codes copied by copy and assignment, destruction through the base.
#include "zroi/zroitm.hpp"
#include "zrotest.hpp"

namespace {
// An item that can be given codes and tells when it is destroyed.
struct Item : ZroItm {
    explicit Item(bool* destroyed = nullptr) : destroyed_(destroyed) {}
    ~Item() override
    {
        if (destroyed_ != nullptr) *destroyed_ = true;
    }
    unsigned char copyOut(ZroMsg&) override { return 0; }
    unsigned char pasteIn(ZroMsg&) override { return 0; }
    using ZroErr::setCodes;
    bool* destroyed_;
};
} // namespace

using ZroItmTest = ZroTest;

TEST_F(ZroItmTest, CopyAndAssignmentCarryTheCodes)
{
    Item failed;
    expectCodes(failed, 0, 0);
    failed.setCodes(2, 6119);
    Item copy(failed);
    expectCodes(copy, 2, 6119);
    Item assigned;
    assigned = failed;
    expectCodes(assigned, 2, 6119);
    ZroItm& self = assigned;
    const ZroItm& same = assigned;
    self = same;
    expectCodes(assigned, 2, 6119);
    // Assignment through the base copies codes only, from any item.
    Item clean;
    self = clean;
    expectCodes(assigned, 0, 0);
}

TEST_F(ZroItmTest, DestructionThroughTheBaseRunsTheItemsDestructor)
{
    bool destroyed = false;
    ZroItm* item = new Item(&destroyed);
    delete item;
    EXPECT_TRUE(destroyed);
}
