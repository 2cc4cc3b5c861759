// ZroStr::copyOut(char*, unsigned, char) from several threads at once: one
// shared lock is created, and each copy reads its own codes.
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zrostr.hpp"
#include "zrotest.hpp"

namespace {
constexpr int THREADS = 6;
// Enough rounds that copies without the lock would mix their codes.
constexpr int ROUNDS = 20000;

void waitFor(const std::atomic<bool>& go)
{
    while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
}
} // namespace

using ZroStrThreadTest = ZroTest;

TEST_F(ZroStrThreadTest, ConcurrentCopiesCreateOneLockAndKeepTheirCodes)
{
    ZroStrCleanUp();                   // start without a shared lock: the threads race to create it
    ZroStr::copy(nullptr, 1, "", ' '); // shared codes 2/6108 to start with
    std::vector<ZroStr> strings;
    for (int t = 0; t < THREADS; ++t) strings.emplace_back(t % 3 == 0 ? "ABCDEF" : "AB");
    std::vector<int> errors(THREADS, 0);
    std::vector<unsigned long> allocations(THREADS, 0); // each thread counts its own
    std::atomic<bool> go{false};
    // Nobody listens while the threads run, so that they run flat out and
    // meet in the copy as often as they can.
    zrecs_set_listener(nullptr, nullptr);

    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            waitFor(go);
            const unsigned long before = zroi_test_allocation_count();
            ZroStr& s = strings[static_cast<std::size_t>(t)];
            for (int round = 0; round < ROUNDS; ++round) {
                char field[4] = {};
                switch (t % 3) {
                case 0: // cut: exactly its own warning
                    if (s.copyOut(field, 4, '*') != 1 || std::memcmp(field, "ABCD", 4) != 0 ||
                        s.completionCode() != 1 || s.reasonCode() != 6115)
                        ++errors[static_cast<std::size_t>(t)];
                    break;
                case 1: // no field: exactly its own failure
                    if (s.copyOut(nullptr, 4, '*') != 0 || s.completionCode() != 2 ||
                        s.reasonCode() != 6108)
                        ++errors[static_cast<std::size_t>(t)];
                    break;
                default: // fits: whichever pair stands, never a mixture
                    if (s.copyOut(field, 4, '*') != 1 || std::memcmp(field, "AB**", 4) != 0 ||
                        !((s.completionCode() == 1 && s.reasonCode() == 6115) ||
                          (s.completionCode() == 2 && s.reasonCode() == 6108)))
                        ++errors[static_cast<std::size_t>(t)];
                    break;
                }
            }
            allocations[static_cast<std::size_t>(t)] = zroi_test_allocation_count() - before;
        });
    }
    go.store(true, std::memory_order_release);
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < THREADS; ++t) EXPECT_EQ(errors[static_cast<std::size_t>(t)], 0) << t;
    // The copies allocate nothing: the one allocation, made by whichever
    // thread came first, is the one shared lock.
    unsigned long all = 0;
    for (unsigned long n : allocations) all += n;
    EXPECT_EQ(all, 1u);
    SetUp(); // listening again
    clearEvents();
    ZroStrCleanUp();
    expectOnlyText(76, "Releasing ZroString resources");
}

TEST_F(ZroStrThreadTest, DirectCopiesBesideLockedCopies)
{
    // The shared-codes copy called directly takes no lock; its code writes
    // race with the locked copies by design, but without a data race.
    std::atomic<bool> go{false};
    std::atomic<int> wrongFields{0};
    zrecs_set_listener(nullptr, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            waitFor(go);
            ZroStr s("XYZ");
            for (int round = 0; round < ROUNDS; ++round) {
                char field[2] = {};
                if (t % 2 == 0) {
                    ZroStr::copy(field, 2, "XYZ", ' ');
                } else {
                    s.copyOut(field, 2, ' ');
                }
                if (std::memcmp(field, "XY", 2) != 0) ++wrongFields;
            }
        });
    }
    go.store(true, std::memory_order_release);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrongFields.load(), 0);
}

// The allocation seam's test controls belong to the thread that calls them:
// a failure planned on one thread fails that thread's allocation, while
// another thread allocating at the same time is neither failed nor counted.
TEST_F(ZroStrThreadTest, AllocationFailuresAndCountsStayOnTheirThread)
{
    std::atomic<bool> planned{false}, done{false};
    unsigned long otherCount = 0;
    int otherFailures = 0;
    std::thread other([&] {
        waitFor(planned);
        const unsigned long before = zroi_test_allocation_count();
        for (int i = 0; i < 1000; ++i) {
            ZroStr s("storage of another thread");
            if (s.dataPointer() == nullptr) ++otherFailures;
        }
        otherCount = zroi_test_allocation_count() - before;
        done.store(true, std::memory_order_release);
    });
    const unsigned long before = zroi_test_allocation_count();
    failAllocation(1, true); // every allocation of this thread from now on
    planned.store(true, std::memory_order_release);
    waitFor(done);
    other.join();
    ZroStr mine("storage of this thread");
    failAllocation(0);
    EXPECT_EQ(mine.dataPointer(), nullptr);
    expectCodes(mine, 1, 2071);
    EXPECT_EQ(otherFailures, 0);
    EXPECT_EQ(otherCount, 1000u);
    EXPECT_EQ(zroi_test_allocation_count() - before, 1u);
}
