// ZroSem: a recursive lock.
#include <thread>

#include "zroi/zrosem.hpp"
#include "zrotest.hpp"

using ZroSemTest = ZroTest;

TEST_F(ZroSemTest, TakenTwiceAndReleasedTwiceIsFree)
{
    ZroSem lock;
    EXPECT_EQ(lock.lock(), 1);
    EXPECT_EQ(lock.lock(), 1);
    EXPECT_EQ(lock.unlock(), 1);
    EXPECT_EQ(lock.unlock(), 1);
    // Free: another thread takes it at once (were it still held, the join
    // would never return).
    unsigned char taken = 0, released = 0;
    std::thread other([&] {
        taken = lock.lock();
        released = lock.unlock();
    });
    other.join();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(released, 1);
    // The lock writes no trace of its own.
    EXPECT_TRUE(events().empty());
}

#if defined(__SANITIZE_THREAD__)
#define ZROI_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZROI_THREAD_SANITIZER 1
#endif
#endif

TEST_F(ZroSemTest, OnlyTheHoldingThreadReleases)
{
#ifdef ZROI_THREAD_SANITIZER
    GTEST_SKIP() << "releasing a lock one does not hold is what ThreadSanitizer reports";
#endif
    ZroSem lock;
    ASSERT_EQ(lock.lock(), 1);
    unsigned char released = 1;
    std::thread other([&] { released = lock.unlock(); });
    other.join();
    EXPECT_EQ(released, 0);
    EXPECT_EQ(lock.unlock(), 1);
    EXPECT_EQ(lock.unlock(), 0); // nor this one, once it has released it
}
