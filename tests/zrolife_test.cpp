// The library's entry point inside a loaded library: notifications after the
// load. Unloading is shown by the separate program zrolife_dlopen.
#include "zroi/zrosem.hpp"
#include "zroi/zrostr.hpp"
#include "zrolock.hpp"
#include "zrotest.hpp"

using ZroLifeInProcessTest = ZroTest;

TEST_F(ZroLifeInProcessTest, AttachAgainDoesNotInitialiseTheLockAgain)
{
    // The load hook has run once.
    ASSERT_EQ(zroi_test_library_lock_initialisations(), 1u);
    EXPECT_EQ(DllMain(nullptr, 1, nullptr), 1);
    EXPECT_EQ(zroi_test_library_lock_initialisations(), 1u);
    // Thread attach and detach do nothing.
    EXPECT_EQ(DllMain(nullptr, 2, nullptr), 1);
    EXPECT_EQ(DllMain(nullptr, 3, nullptr), 1);
    EXPECT_EQ(zroi_test_library_lock_initialisations(), 1u);
    // The library lock still serves the creation of the shared string lock.
    ZroStrCleanUp();
    ZroStr text("ok");
    char field[2];
    EXPECT_EQ(text.copyOut(field, 2, ' '), 1);
    EXPECT_EQ(std::string(field, 2), "ok");
    EXPECT_NE(text.reasonCode(), ZRRC_LOCK_FAILED);
}
