// zrecs: events reach the listener in order; the default and strict checks.
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "zrotest.hpp"

using ZrecsTest = ZroTest;

TEST_F(ZrecsTest, EveryCallIsOneEventInOrder)
{
    xcsCPInitTerm_e(4);
    xtr_fnc_entryFn_e(31, 9, 0);
    xtr_printfFn_e(31, 9, 0, "hello");
    char byte = 0;
    EXPECT_EQ(xcsCheckPointer_e(&byte, 1, 2), 0);
    xtr_fnc_retcodeFn_e(31, 9, 2004);
    std::vector<TraceEvent> all = events();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].kind, ZRECS_HOOK);
    EXPECT_EQ(all[0].value, 4u);
    EXPECT_EQ(all[1].kind, ZRECS_ENTRY);
    EXPECT_EQ(all[1].function, 9u);
    EXPECT_EQ(all[2].kind, ZRECS_TEXT);
    EXPECT_EQ(all[2].text, "hello");
    EXPECT_EQ(all[3].kind, ZRECS_CHECK);
    EXPECT_EQ(all[3].start, &byte);
    EXPECT_EQ(all[3].length, 1u);
    EXPECT_EQ(all[3].value, 2u);
    EXPECT_EQ(all[3].result, 0);
    EXPECT_EQ(all[4].kind, ZRECS_EXIT);
    EXPECT_EQ(all[4].value, 2004u);
}

TEST_F(ZrecsTest, DefaultCheckRefusesNullAndWrapOnly)
{
    char byte = 0;
    EXPECT_NE(zrecs_default_pointer_check(nullptr, 1, 1, nullptr), 0);
    EXPECT_EQ(zrecs_default_pointer_check(nullptr, 0, 1, nullptr), 0);
    EXPECT_EQ(zrecs_default_pointer_check(&byte, 1, 2, nullptr), 0);
    const void* top = reinterpret_cast<const void*>(UINTPTR_MAX - 3);
    EXPECT_EQ(zrecs_default_pointer_check(top, 4, 1, nullptr), 0);
    EXPECT_NE(zrecs_default_pointer_check(top, 5, 1, nullptr), 0);
    // With nothing installed, the fast path gives the same answers.
    TearDown();
    EXPECT_EQ(zrecs_state, 0);
    EXPECT_NE(zrecs_check(nullptr, 1, 1), 0);
    EXPECT_NE(zrecs_check(top, 5, 1), 0);
    EXPECT_EQ(zrecs_check(&byte, 1, 1), 0);
    EXPECT_EQ(xcsCheckPointer_e(top, 5, 1), 1);
    SetUp();
}

TEST_F(ZrecsTest, StrictCheckFollowsTheMemoryMap)
{
    long page = sysconf(_SC_PAGESIZE);
    char* pages = static_cast<char*>(
        mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_READ), 0);
    ASSERT_EQ(munmap(pages + 2 * page, page), 0);
    const unsigned p = static_cast<unsigned>(page);

    EXPECT_EQ(zrecs_strict_pointer_check(pages, p, 2, nullptr), 0);
    EXPECT_EQ(zrecs_strict_pointer_check(pages, 2 * p, 1, nullptr), 0);
    EXPECT_NE(zrecs_strict_pointer_check(pages + page, 1, 2, nullptr), 0)
        << "read-only page written";
    EXPECT_NE(zrecs_strict_pointer_check(pages, 2 * p, 2, nullptr), 0);
    EXPECT_NE(zrecs_strict_pointer_check(pages + 2 * page, 1, 1, nullptr), 0)
        << "unmapped page read";
    EXPECT_NE(zrecs_strict_pointer_check(pages + page, 2 * p, 1, nullptr), 0);
    EXPECT_NE(zrecs_strict_pointer_check(nullptr, 1, 1, nullptr), 0);
    EXPECT_EQ(zrecs_strict_pointer_check(nullptr, 0, 1, nullptr), 0);

    // Installed as the check, it decides what the library's calls answer.
    zrecs_set_pointer_check(zrecs_strict_pointer_check, nullptr);
    EXPECT_EQ(xcsCheckPointer_e(pages, p, 2), 0);
    EXPECT_NE(xcsCheckPointer_e(pages + page, p, 2), 0);
    munmap(pages, 2 * page);
}

TEST_F(ZrecsTest, ListenerCanBeSwappedWhileOtherThreadsTrace)
{
    std::atomic<bool> stop{false};
    std::thread tracer([&] {
        while (!stop.load()) xtr_printfFn_e(31, 1, 0, "busy");
    });
    for (int i = 0; i < 200; ++i) {
        zrecs_set_listener(nullptr, nullptr);
        SetUp();
    }
    // The tracer's texts reach the listener that is installed now.
    for (int wait = 0; wait < 5000 && texts().empty(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    tracer.join();
    EXPECT_FALSE(texts().empty());
}
