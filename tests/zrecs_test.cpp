// The common services: zrecs (events in order, the default and strict checks,
// the ZRECS_TRACE file), ZroErr and ZroTrc (checks with their texts, sticky
// codes, class new), and the library's entry point after the load.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>
#include <tuple>

#include "zroalloc.hpp"
#include "zroi/zroi.hpp"
#include "zrolock.hpp"
#include "zrotest.hpp"

#ifdef ZROI_GCOV_DUMP
extern "C" void __gcov_dump(void);
#endif

using ZrecsTest = ZroTest;
using ZroErrTest = ZroTest;
using ZroLifeInProcessTest = ZroTest;

namespace {

// The five calls, in the order of their events; what they return, added up.
int fiveCalls(char* byte)
{
    return xtr_printfFn_e(31, 1, 0, "begin") + xcsCPInitTerm_e(4) + xtr_fnc_entryFn_e(31, 9, 5) +
           xcsCheckPointer_e(byte, 1, 2) + xtr_fnc_retcodeFn_e(31, 9, 2004);
}

// The events as lines: kind component function value text start+length result,
// with a start given as its distance from `base`.
std::vector<std::string> lines(const std::vector<TraceEvent>& events, const void* base)
{
    std::vector<std::string> out;
    for (const TraceEvent& e : events) {
        char line[160];
        const long at = static_cast<long>(reinterpret_cast<uintptr_t>(e.start) -
                                          reinterpret_cast<uintptr_t>(base));
        std::snprintf(line, sizeof line, "%d %u %u %u %s %ld+%u %d", e.kind, e.component,
                      e.function, e.value, e.text.c_str(), e.start != nullptr ? at : -1, e.length,
                      e.result);
        out.push_back(line);
    }
    return out;
}

// The time now as the trace file writes it.
std::string now()
{
    timespec time{};
    clock_gettime(CLOCK_REALTIME, &time);
    tm parts{};
    gmtime_r(&time.tv_sec, &parts);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::snprintf(text + n, sizeof text - n, ".%06ldZ", static_cast<long>(time.tv_nsec / 1000));
    return text;
}

// The lowest free file descriptor: it rises when one is kept open.
int nextDescriptor()
{
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(fd);
    return fd;
}

// Opens the protected checks to the tests.
struct Checked : ZroErr {
    using ZroErr::checkReadPointer;
    using ZroErr::checkWritePointer;
    using ZroErr::fail;
};

} // namespace

TEST_F(ZrecsTest, EveryCallIsOneEventInOrder)
{
    char byte = 0;
    EXPECT_EQ(fiveCalls(&byte), 0);
    const std::vector<std::string> expected = {"4 31 1 0 begin -1+0 0", "1 0 0 4  -1+0 0",
                                               "2 31 9 5  -1+0 0", "5 0 0 2  0+1 0",
                                               "3 31 9 2004  -1+0 0"};
    EXPECT_EQ(lines(events(), &byte), expected);
}

TEST_F(ZrecsTest, DefaultCheckRefusesNullAndWrapOnly)
{
    char byte = 0;
    const void* top = reinterpret_cast<const void*>(UINTPTR_MAX - 3);
    const std::tuple<const void*, unsigned, int> rows[] = {
        {nullptr, 1, 1}, {nullptr, 0, 0}, {&byte, 1, 0}, {top, 4, 0}, {top, 5, 1}};
    // Installed as the check, and with nothing installed (the fast path).
    for (bool installed : {true, false}) {
        if (!installed) TearDown();
        EXPECT_EQ(zrecs_state, installed ? ZRECS_STATE_OBSERVED | ZRECS_STATE_CUSTOM_CHECK : 0);
        for (const auto& [start, length, refused] : rows)
            EXPECT_EQ(std::make_tuple(zrecs_default_pointer_check(start, length, 1, nullptr),
                                      zrecs_check(start, length, 2),
                                      xcsCheckPointer_e(start, length, 1)),
                      std::make_tuple(refused, refused, refused));
    }
    SetUp();
}

TEST_F(ZrecsTest, StrictCheckFollowsTheMemoryMap)
{
    const long page = sysconf(_SC_PAGESIZE);
    const auto mapping = mapAnonymous(3 * page, PROT_READ | PROT_WRITE);
    char* pages = mapping.get();
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(mprotect(pages, page, PROT_READ), 0);
    ASSERT_EQ(munmap(pages + 2 * page, page), 0);
    const unsigned p = static_cast<unsigned>(page);
    // Read-only, writable and unmapped pages (the writable one right behind a
    // mapping that may not be written); and what the default check refuses.
    const std::tuple<const char*, unsigned, unsigned, int> rows[] = {
        {pages + page, p, 2, 0}, {pages, 2 * p, 1, 0},        {pages, 1, 2, 1},
        {pages, 2 * p, 2, 1},    {pages + 2 * page, 1, 1, 1}, {pages + page, 2 * p, 1, 1},
        {nullptr, 1, 1, 1},      {nullptr, 0, 1, 0},          {"constant", 1, 2, 1}};
    const int free = nextDescriptor();
    for (int round = 0; round < 10; ++round)
        for (const auto& [start, length, mode, refused] : rows) {
            errno = round % 2 != 0 ? EINTR : 0; // a stale EINTR interrupted no read
            EXPECT_EQ(zrecs_strict_pointer_check(start, length, mode, nullptr), refused)
                << start - pages << "+" << length << " mode " << mode;
        }
    EXPECT_EQ(nextDescriptor(), free) << "the memory map was left open";
    // A file mapped under a path that makes its line longer than a read of the
    // map (so it is passed over): the lines after it are still read.
    std::vector<std::string> made = {::testing::TempDir() + "zroi_" + std::to_string(getpid())};
    while (made.back().size() < 3900 && mkdir(made.back().c_str(), 0700) == 0)
        made.push_back(made.back() + "/" + std::string(50, 'd'));
    made.back().resize(4070, 'f');
    const int fd = open(made.back().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(ftruncate(fd, page), 0) << made.back();
    void* mapped = mmap(nullptr, page, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    ASSERT_NE(mapped, MAP_FAILED);
    // Every readable mapping, wherever its line falls in the reads of the map.
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        uintptr_t low = 0;
        char read = 0;
        if (line.size() < 4096 &&
            std::sscanf(line.c_str(), "%" SCNxPTR "-%*x %c", &low, &read) == 2 && read == 'r') {
            EXPECT_EQ(zrecs_strict_pointer_check(reinterpret_cast<void*>(low), 1, 1, nullptr), 0)
                << line;
        }
    }
    munmap(mapped, page);
    for (auto name = made.rbegin(); name != made.rend(); ++name) remove(name->c_str());
    // Installed as the check, it decides what the library's calls answer.
    zrecs_set_pointer_check(zrecs_strict_pointer_check, nullptr);
    EXPECT_EQ(xcsCheckPointer_e(pages + page, p, 2), 0);
    EXPECT_EQ(xcsCheckPointer_e(pages, p, 2), 1);
    // Without a descriptor left to read the map, nothing can be vouched for.
    char byte = 0;
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit none = {static_cast<rlim_t>(free), limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    const int refused = zrecs_strict_pointer_check(&byte, 1, 1, nullptr);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    // With standard input closed, the map is read through descriptor 0.
    const int in = dup(0);
    close(0);
    const int answer = zrecs_strict_pointer_check(&byte, 1, 1, nullptr);
    dup2(in, 0);
    close(in);
    EXPECT_EQ(std::make_pair(refused, answer), std::make_pair(1, 0));
}

TEST_F(ZrecsTest, ListenerCanBeSwappedWhileOtherThreadsTrace)
{
    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    // The tracer keeps within a few texts of the swaps: a scheduler that runs
    // it alone for long (valgrind runs one thread at a time) must not pile
    // up texts in one listener without end.
    std::thread tracer([&] {
        for (int traced = 0; !stop.load(); ++traced) {
            while (traced > 4 * swaps.load() + 4 && !stop.load()) std::this_thread::yield();
            xtr_printfFn_e(31, 1, 0, "busy");
        }
    });
    for (int i = 0; i < 200; ++i) {
        zrecs_set_listener(nullptr, nullptr);
        SetUp();
        ++swaps;
    }
    // The tracer's texts reach the listener that is installed now.
    for (int wait = 0; wait < 5000 && texts().empty(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    tracer.join();
    EXPECT_FALSE(texts().empty());
}

// Run only by ZrecsTraceFile.EveryCallIsOneLineAlsoFromThreads, in a child
// process with ZRECS_TRACE set.
TEST(ZroTraceChild, DISABLED_Calls)
{
    char byte = 0;
    const std::string from = now();
    const int sum = fiveCalls(&byte);
    xtr_printfFn_e(31, 3, 0, (from + " " + now()).c_str()); // when the calls ran
#ifdef ZROI_GCOV_DUMP
    __gcov_dump(); // a coverage build keeps what this child ran
#endif
    // Ends at once, closing nothing: every line must be in the file by then.
    std::_Exit(sum);
}

// Run only by ZrecsTraceFile.EveryCallIsOneLineAlsoFromThreads: four threads
// trace at once, each its own numbered texts.
TEST(ZroTraceChild, DISABLED_Threads)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 1000; ++i)
                xtr_printfFn_e(31, 4, 0, (std::to_string(t) + " " + std::to_string(i)).c_str());
        });
    for (std::thread& thread : threads) thread.join();
}

TEST(ZrecsTraceFile, EveryCallIsOneLineAlsoFromThreads)
{
    const std::string file = ::testing::TempDir() + "zroi_trace_" + std::to_string(getpid());
    const std::string err = file + ".err";
    std::remove(file.c_str());
    // Runs a child test with `trace` as ZRECS_TRACE, its stderr into `err`.
    auto run = [&](const std::string& trace, const char* child = "Calls") {
        EXPECT_EQ(runChild(std::string("ZroTraceChild.DISABLED_") + child,
                           "ZRECS_TRACE='" + trace + "'", err),
                  0)
            << trace << " " << child;
    };
    const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z tid=\d+ comp=)";
    const char* calls[] = {"31 func=1 text  begin", "0 func=0 hook  4", "31 func=9 entry 5",
                           "0 func=0 check 0x[0-9a-f]+\\+1 mode=2 -> 0", "31 func=9 exit  2004"};
    const std::regex bracket(stamp + "31 func=3 text  (\\S+) (\\S+)");
    // Expects the lines of `path` to be `runs` runs of the calls, stamped with
    // times between those the run took before and after them.
    auto expectRuns = [&](const std::string& path, std::size_t runs) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        ASSERT_EQ(lines.size(), runs * 6);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::smatch when;
            ASSERT_TRUE(std::regex_match(lines[i / 6 * 6 + 5], when, bracket));
            const std::string at = lines[i].substr(0, 27);
            if (i % 6 < 5) {
                EXPECT_TRUE(std::regex_match(lines[i], std::regex(stamp + calls[i % 6])) &&
                            when.str(1) <= at && at <= when.str(2))
                    << lines[i] << " not within " << when.str(0);
            }
        }
    };
    // A file is appended to, run after run; "-" is standard error.
    run(file);
    run(file);
    expectRuns(file, 2);
    run("-");
    expectRuns(err, 1);
    // Threads writing at once never mix their lines; each keeps its order.
    std::remove(file.c_str());
    run(file, "Threads");
    std::ifstream in(file);
    const std::regex threadLine(stamp + R"(31 func=4 text  (\d) (\d+))");
    int next[4] = {};
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        ASSERT_TRUE(std::regex_match(line, m, threadLine)) << line;
        EXPECT_EQ(std::stoi(m.str(2)), next[std::stoi(m.str(1))]++) << line;
    }
    EXPECT_EQ(std::vector<int>(next, next + 4), std::vector<int>(4, 1000));
    // A file that cannot be opened: nothing is traced, and the program ends as usual.
    run(file + ".none/trace", "Threads");
    std::remove(file.c_str());
    std::remove(err.c_str());
}

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
        const std::vector<std::string> expected = {
            "1 0 0 1  -1+0 0",
            read ? "5 0 0 2  0+7 0" : "5 0 0 1  7+1 0",
            "1 0 0 1  -1+0 0",
            read ? "5 0 0 1  0+8 1" : "5 0 0 2  0+8 1",
            "1 0 0 1  -1+0 0",
            read ? "4 31 62 0 ZroError::checkReadPointer (error): buffer error -1+0 0"
                 : "4 31 63 0 ZroError::checkWritePointer (error): buffer error -1+0 0"};
        EXPECT_EQ(lines(events(), buffer), expected);
        // The refusal's codes stay until cleared; a check that passes keeps them.
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
    failed.clearErrorCodes();
    expectCodes(copy, 2, 6114);
    expectCodes(assigned, 2, 6114);
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
    // Each thread counts its own allocations, from 0: a new thread's very
    // first allocation can be the one that fails.
    unsigned long fresh = 1;
    bool threw = false;
    std::thread([&] {
        fresh = zroi_test_allocation_count() + zroi_test_live_allocations();
        failAllocation(1);
        try {
            delete new Checked;
        } catch (const std::bad_alloc&) {
            threw = true;
        }
    }).join();
    EXPECT_EQ(fresh, 0u);
    EXPECT_TRUE(threw);
}

TEST_F(ZroLifeInProcessTest, AttachAgainDoesNotInitialiseTheLockAgain)
{
    // The load hook has run once; attaching again and thread notifications
    // do nothing more.
    ASSERT_EQ(zroi_test_library_lock_initialisations(), 1u);
    for (unsigned long reason : {1, 2, 3}) EXPECT_EQ(DllMain(nullptr, reason, nullptr), 1);
    EXPECT_EQ(zroi_test_library_lock_initialisations(), 1u);
    // The library lock still serves the creation of the shared string lock.
    ZroStrCleanUp();
    ZroStr text("ok");
    char field[2];
    EXPECT_EQ(text.copyOut(field, 2, ' '), 1);
    EXPECT_EQ(std::string(field, 2), "ok");
    EXPECT_NE(text.reasonCode(), ZRRC_LOCK_FAILED);
}
