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
constexpr int ROUNDS = 20000; // enough that copies without the lock would mix their codes

void waitFor(const std::atomic<bool>& go)
{
    while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
}

// What a thread's copy gives: "result field codes".
std::string copied(ZroStr& s, char* field)
{
    const int result = s.copyOut(field, 4, '*');
    return std::to_string(result) + (field != nullptr ? std::string(field, 4) : "") +
           std::to_string(s.completionCode()) + "/" + std::to_string(s.reasonCode());
}
} // namespace

using ZroStrThreadTest = ZroTest;

TEST_F(ZroStrThreadTest, ConcurrentCopiesCreateOneLockAndKeepTheirCodes)
{
    ZroStrCleanUp();                   // no shared lock: the threads race to create it
    ZroStr::copy(nullptr, 1, "", ' '); // shared codes 2/6108 to start with
    std::vector<int> errors(THREADS, 0);
    std::vector<unsigned long> allocations(THREADS, 0); // each thread counts its own
    std::atomic<bool> go{false};
    zrecs_set_listener(nullptr, nullptr); // unheard, the threads meet in the copy more often
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            waitFor(go);
            ZroStr s(t % 3 == 0 ? "ABCDEF" : "AB");
            const unsigned long before = zroi_test_allocation_count();
            // A cut gives exactly its warning, no field exactly its failure,
            // a fit whichever pair stands but never a mixture.
            const char* wanted[] = {"1ABCD1/6115", "02/6108", "1AB**1/6115", "1AB**2/6108"};
            for (int round = 0; round < ROUNDS; ++round) {
                char field[4] = {};
                const std::string got = copied(s, t % 3 == 1 ? nullptr : field);
                if (got != wanted[t % 3] && (t % 3 != 2 || got != wanted[3])) ++errors[t];
            }
            allocations[t] = zroi_test_allocation_count() - before;
        });
    }
    go.store(true, std::memory_order_release);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(errors, std::vector<int>(THREADS, 0));
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
                if (t % 2 == 0 ? ZroStr::copy(field, 2, "XYZ", ' ') : s.copyOut(field, 2, ' '))
                    wrongFields += std::memcmp(field, "XY", 2) != 0;
                else
                    ++wrongFields;
            }
        });
    }
    go.store(true, std::memory_order_release);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrongFields.load(), 0);
}

// The allocation seam's controls belong to the thread that calls them: a
// failure planned on one thread neither fails nor counts another's.
TEST_F(ZroStrThreadTest, AllocationFailuresAndCountsStayOnTheirThread)
{
    std::atomic<bool> planned{false}, done{false};
    unsigned long otherCount = 0;
    int otherFailures = 0;
    std::thread other([&] {
        waitFor(planned);
        const unsigned long before = zroi_test_allocation_count();
        for (int i = 0; i < 1000; ++i) otherFailures += ZroStr("another thread's").length() == 0;
        otherCount = zroi_test_allocation_count() - before;
        done.store(true, std::memory_order_release);
    });
    const unsigned long before = zroi_test_allocation_count();
    failAllocation(1, true); // every allocation of this thread from now on
    planned.store(true, std::memory_order_release);
    waitFor(done);
    other.join();
    ZroStr mine("this thread's");
    failAllocation(0);
    EXPECT_EQ(mine.dataPointer(), nullptr);
    expectCodes(mine, 1, 2071);
    EXPECT_EQ(otherFailures, 0);
    EXPECT_EQ(otherCount, 1000u);
    EXPECT_EQ(zroi_test_allocation_count() - before, 1u);
}
