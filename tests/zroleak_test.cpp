// What a careless change would lose without a word: storage kept by
// assignments, a descriptor kept by the strict check, a refused copy that
// reports success, the static copy's codes, and the ZRECS_TRACE file.
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "zroalloc.hpp"
#include "zrochl_probe.hpp"
#include "zroi/zrobin.hpp"
#include "zroi/zrostr.hpp"
#include "zrotest.hpp"

extern char** environ;

namespace {

using ZroLeakTest = ZroTest;

// Bytes that malloc has handed out and not had back.
std::size_t heapInUse() { return mallinfo2().uordblks; }

// The lowest free file descriptor: it rises when one is kept open.
int nextDescriptor()
{
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(fd);
    return fd;
}

} // namespace

TEST_F(ZroLeakTest, BinaryMoveAssignmentReleasesTheOldBytes)
{
    const unsigned long live = zroi_test_live_allocations();
    {
        ZroBin target("abcdef", 6);
        ZroBin source("xy", 2);
        target = std::move(source);
        EXPECT_EQ(zroi_test_live_allocations(), live + 1);
        EXPECT_EQ(target.dataLength(), 2u);
        EXPECT_EQ(source.dataLength(), 0u);
    }
    EXPECT_EQ(zroi_test_live_allocations(), live);
}

TEST_F(ZroLeakTest, ChannelAssignmentReleasesWhatItOwned)
{
    // Each assignment replaces ten exit names and their user data in both
    // directions (about 6 KiB): a thousand of them leave no more in use.
    const char* names[10] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    ZroChl source;
    ASSERT_EQ(source.setSendExitNames(10, names), 1);
    ASSERT_EQ(source.setReceiveExitNames(10, names), 1);
    ASSERT_EQ(source.setSslPeerName("CN=peer"), 1);
    ZroChl target(source);
    const std::size_t before = heapInUse();
    for (int i = 0; i < 1000; ++i) target = source;
    EXPECT_LT(heapInUse(), before + 64 * 1024);
    EXPECT_EQ(target.sendExitCount(), 10u);
}

TEST_F(ZroLeakTest, ExitListCopyRefusedByAPointerCheckFails)
{
    // A refused read of the name, or a refused write into either list,
    // stops the setter with the codes of the refusal.
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        allowAll();
        ChannelProbe channel;
        ASSERT_EQ(channel.setSendExitName("OLD"), 1);
        const char name[] = "NEW";
        if (which == 0) refuse(name, 1, 1);
        if (which == 1) refuse(channel.record().sendExitNameList, 1, 2);
        if (which == 2) refuse(channel.record().sendExitDataList, 1, 2);
        EXPECT_EQ(channel.setSendExitName(name), 0);
        EXPECT_EQ(channel.completionCode(), ZRCC_FAILED);
        EXPECT_EQ(channel.reasonCode(),
                  which == 0 ? ZRRC_SOURCE_BUFFER_ERROR : ZRRC_TARGET_BUFFER_ERROR);
    }
}

TEST_F(ZroLeakTest, StrictCheckClosesTheMemoryMap)
{
    char byte = 0;
    const int free = nextDescriptor();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(zrecs_strict_pointer_check(&byte, 1, 1, nullptr), 0);
        EXPECT_NE(zrecs_strict_pointer_check(reinterpret_cast<void*>(4096), 1, 1, nullptr), 0);
        EXPECT_NE(zrecs_strict_pointer_check("constant", 1, 2, nullptr), 0);
    }
    EXPECT_EQ(nextDescriptor(), free);

    // Without a descriptor left to read the map, nothing can be vouched for.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit none = limit;
    none.rlim_cur = static_cast<rlim_t>(free);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    const int refused = zrecs_strict_pointer_check(&byte, 1, 1, nullptr);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    EXPECT_NE(refused, 0);
}

TEST_F(ZroLeakTest, StaticCopyIntoALongerField)
{
    // A text that fits is padded, one that does not is cut: result 1 from
    // both forms, quiet or observed, and the cut warned of on the error.
    struct Row {
        const char* text;
        unsigned width;
        const char* field;
        int32_t completion;
    };
    const Row rows[] = {{"ab", 5, "ab...", ZRCC_OK},
                        {"abcde", 5, "abcde", ZRCC_OK},
                        {"", 3, "...", ZRCC_OK},
                        {"abcdef", 5, "abcde", ZRCC_WARNING}};
    for (bool quiet : {true, false}) {
        if (quiet) TearDown();
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.text) + (quiet ? " quiet" : " observed"));
            char field[8] = "xxxxxxx";
            EXPECT_EQ(ZroStr::copy(field, row.width, row.text, '.'), 1);
            EXPECT_EQ(std::string(field, row.width), row.field);
            EXPECT_EQ(field[row.width], 'x');
            ZroStr error;
            std::memset(field, 'x', 7);
            EXPECT_EQ(ZroStr::copy(field, row.width, row.text, error, '.'), 1);
            EXPECT_EQ(std::string(field, row.width), row.field);
            EXPECT_EQ(field[row.width], 'x');
            EXPECT_EQ(error.completionCode(), row.completion);
        }
        if (quiet) SetUp();
    }
}

TEST_F(ZroLeakTest, DoublesWithZeroDigitsInTheFormat)
{
    const std::pair<const char*, const char*> rows[] = {
        {"%10.2f", "      3.14"},  {"%.0f", "3"},
        {"%010.3f", "000003.142"}, {"%-10.1f|", "3.1       |"},
        {"%.10f", "3.1415926536"}, {"%0.0f", "3"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        ZroStr text;
        EXPECT_EQ(text.pasteIn(3.14159265358979, row.first), 1);
        EXPECT_STREQ(text.dataPointer(), row.second);
    }
}

// Run only by ZroTraceFile.EveryCallIsOneLine, in a child process that
// has ZRECS_TRACE set.
TEST(ZroTraceChild, DISABLED_Calls)
{
    char byte = 0;
    xtr_printfFn_e(31, 1, 0, "begin");
    xcsCPInitTerm_e(4);
    xtr_fnc_entryFn_e(31, 9, 0);
    xcsCheckPointer_e(&byte, 1, 2);
    xtr_fnc_retcodeFn_e(31, 9, 2004);
}

TEST(ZroTraceFile, EveryCallIsOneLine)
{
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string file = ::testing::TempDir() + "zroi_trace_" + std::to_string(getpid());
    std::remove(file.c_str());
    // Run the child with `trace` as ZRECS_TRACE; its standard error goes to `err`.
    auto run = [&](const std::string& trace, const std::string& err) {
        std::vector<std::string> env = {"ZRECS_TRACE=" + trace};
        for (char** e = environ; *e != nullptr; ++e)
            if (std::strncmp(*e, "ZRECS_TRACE=", 12) != 0) env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string filter = "--gtest_filter=ZroTraceChild.DISABLED_Calls";
        std::string disabled = "--gtest_also_run_disabled_tests";
        char* argv[] = {self, filter.data(), disabled.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, self, &actions, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    };
    auto linesOf = [](const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    };
    const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z tid=\d+ )";
    const std::vector<std::string> expected = {
        stamp + "comp=31 func=1 text  begin", stamp + "comp=0 func=0 hook  4",
        stamp + "comp=31 func=9 entry 0", stamp + "comp=0 func=0 check 0x[0-9a-f]+\\+1 mode=2 -> 0",
        stamp + "comp=31 func=9 exit  2004"};
    // The calls of each run, from its "begin" on; returns how many runs.
    auto expectRuns = [&](const std::vector<std::string>& lines) {
        std::size_t runs = 0;
        for (std::size_t at = 0; at < lines.size(); ++at) {
            if (lines[at].find(" begin") == std::string::npos) continue;
            ++runs;
            for (std::size_t i = 0; i < expected.size(); ++i)
                EXPECT_TRUE(at + i < lines.size() &&
                            std::regex_match(lines[at + i], std::regex(expected[i])))
                    << "line " << at + i;
        }
        return runs;
    };

    // A file is appended to, run after run; "-" is standard error.
    const std::string err = file + ".err";
    run(file, err);
    run(file, err);
    EXPECT_EQ(expectRuns(linesOf(file)), 2u);
    run("-", err);
    EXPECT_EQ(expectRuns(linesOf(err)), 1u);
    std::remove(file.c_str());
    std::remove(err.c_str());
}
