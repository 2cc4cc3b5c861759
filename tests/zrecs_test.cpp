// zrecs: events reach the listener in order; the default and strict checks;
// the ZRECS_TRACE file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <thread>

#include "zrotest.hpp"

using ZrecsTest = ZroTest;

namespace {

// The five calls, in the order of their events; what they return, added up.
int fiveCalls(char* byte)
{
    return xtr_printfFn_e(31, 1, 0, "begin") + xcsCPInitTerm_e(4) + xtr_fnc_entryFn_e(31, 9, 5) +
           xcsCheckPointer_e(byte, 1, 2) + xtr_fnc_retcodeFn_e(31, 9, 2004);
}

// The lowest free file descriptor: it rises when one is kept open.
int nextDescriptor()
{
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(fd);
    return fd;
}

} // namespace

TEST_F(ZrecsTest, EveryCallIsOneEventInOrder)
{
    char byte = 0;
    EXPECT_EQ(fiveCalls(&byte), 0);
    std::vector<std::string> seen;
    for (const TraceEvent& e : events()) {
        char line[128];
        std::snprintf(line, sizeof line, "%d %u %u %u %s %p %u %d", e.kind, e.component, e.function,
                      e.value, e.text.c_str(), e.start, e.length, e.result);
        seen.push_back(line);
    }
    char check[64];
    std::snprintf(check, sizeof check, "%d 0 0 2  %p 1 0", ZRECS_CHECK, static_cast<void*>(&byte));
    const std::vector<std::string> expected = {"4 31 1 0 begin (nil) 0 0", "1 0 0 4  (nil) 0 0",
                                               "2 31 9 5  (nil) 0 0", check,
                                               "3 31 9 2004  (nil) 0 0"};
    EXPECT_EQ(seen, expected);
}

TEST_F(ZrecsTest, DefaultCheckRefusesNullAndWrapOnly)
{
    char byte = 0;
    const void* top = reinterpret_cast<const void*>(UINTPTR_MAX - 3);
    struct Row {
        const void* start;
        unsigned length;
        int refused;
    };
    const Row rows[] = {{nullptr, 1, 1}, {nullptr, 0, 0}, {&byte, 1, 0}, {top, 4, 0}, {top, 5, 1}};
    // Installed as the check, and with nothing installed (the fast path).
    for (bool installed : {true, false}) {
        if (!installed) TearDown();
        EXPECT_EQ(zrecs_state, installed ? ZRECS_STATE_OBSERVED | ZRECS_STATE_CUSTOM_CHECK : 0);
        for (const Row& row : rows) {
            EXPECT_EQ(zrecs_default_pointer_check(row.start, row.length, 1, nullptr), row.refused);
            EXPECT_EQ(zrecs_check(row.start, row.length, 2), row.refused);
            EXPECT_EQ(xcsCheckPointer_e(row.start, row.length, 1), row.refused);
        }
    }
    SetUp();
}

TEST_F(ZrecsTest, StrictCheckFollowsTheMemoryMap)
{
    const long page = sysconf(_SC_PAGESIZE);
    char* pages = static_cast<char*>(
        mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_READ), 0);
    ASSERT_EQ(munmap(pages + 2 * page, page), 0);
    const unsigned p = static_cast<unsigned>(page);
    struct Row {
        const char* start;
        unsigned length, mode;
        int refused;
    };
    // Writable, read-only and unmapped pages; and what the default check refuses.
    const Row rows[] = {
        {pages, p, 2, 0},     {pages, 2 * p, 1, 0},        {pages + page, 1, 2, 1},
        {pages, 2 * p, 2, 1}, {pages + 2 * page, 1, 1, 1}, {pages + page, 2 * p, 1, 1},
        {nullptr, 1, 1, 1},   {nullptr, 0, 1, 0},          {"constant", 1, 2, 1}};
    const int free = nextDescriptor();
    for (int round = 0; round < 10; ++round)
        for (const Row& row : rows)
            EXPECT_EQ(zrecs_strict_pointer_check(row.start, row.length, row.mode, nullptr),
                      row.refused)
                << row.start - pages << "+" << row.length << " mode " << row.mode;
    EXPECT_EQ(nextDescriptor(), free) << "the memory map was left open";
    // Every readable mapping, wherever its line falls in the reads of the map.
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        uintptr_t low = 0;
        char read = 0;
        const bool readable =
            std::sscanf(line.c_str(), "%" SCNxPTR "-%*x %c", &low, &read) == 2 && read == 'r';
        EXPECT_TRUE(!readable ||
                    zrecs_strict_pointer_check(reinterpret_cast<void*>(low), 1, 1, nullptr) == 0)
            << line;
    }

    // Installed as the check, it decides what the library's calls answer.
    zrecs_set_pointer_check(zrecs_strict_pointer_check, nullptr);
    EXPECT_EQ(xcsCheckPointer_e(pages, p, 2), 0);
    EXPECT_EQ(xcsCheckPointer_e(pages + page, p, 2), 1);
    munmap(pages, 2 * page);

    // Without a descriptor left to read the map, nothing can be vouched for.
    char byte = 0;
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit none = limit;
    none.rlim_cur = static_cast<rlim_t>(free);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    const int refused = zrecs_strict_pointer_check(&byte, 1, 1, nullptr);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    EXPECT_EQ(refused, 1);
    // With standard input closed, the map is read through descriptor 0.
    const int in = dup(0);
    close(0);
    const int answer = zrecs_strict_pointer_check(&byte, 1, 1, nullptr);
    dup2(in, 0);
    close(in);
    EXPECT_EQ(answer, 0);
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

// Run only by ZrecsTraceFile.EveryCallIsOneLine, in a child process with
// ZRECS_TRACE set.
TEST(ZroTraceChild, DISABLED_Calls)
{
    char byte = 0;
    // Ends at once, closing nothing: every line must be in the file by then.
    std::_Exit(fiveCalls(&byte));
}

TEST(ZrecsTraceFile, EveryCallIsOneLine)
{
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string file = ::testing::TempDir() + "zroi_trace_" + std::to_string(getpid());
    const std::string err = file + ".err";
    std::remove(file.c_str());
    // Runs the calls in a child with `trace` as ZRECS_TRACE, its stderr into `err`.
    auto run = [&](const std::string& trace) {
        const std::string command = "ZRECS_TRACE='" + trace + "' '" + self +
                                    "' --gtest_filter=ZroTraceChild.DISABLED_Calls "
                                    "--gtest_also_run_disabled_tests >/dev/null 2>'" +
                                    err + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    };
    const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z tid=\d+ comp=)";
    const char* calls[] = {"31 func=1 text  begin", "0 func=0 hook  4", "31 func=9 entry 5",
                           "0 func=0 check 0x[0-9a-f]+\\+1 mode=2 -> 0", "31 func=9 exit  2004"};
    // Expects the lines of `path` to be `runs` runs of the calls.
    auto expectRuns = [&](const std::string& path, std::size_t runs) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        ASSERT_EQ(lines.size(), runs * 5);
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(std::regex_match(lines[i], std::regex(stamp + calls[i % 5]))) << lines[i];
    };
    // A file is appended to, run after run; "-" is standard error.
    run(file);
    run(file);
    expectRuns(file, 2);
    run("-");
    expectRuns(err, 1);
    std::remove(file.c_str());
    std::remove(err.c_str());
}
