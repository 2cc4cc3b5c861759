// libzroi with a component other than zrecs answering the five calls: every
// call of a traced operation reaches it, in order, and its pointer check
// decides. zrecs_standin_test runs with the stand-in libzrecs.so.1 found first
// through LD_LIBRARY_PATH; zrecs_own_test defines the five calls itself,
// beside the project's zrecs (tests/zrecs_standin.cpp both times).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "zroi/zrocac.hpp"

namespace {

std::vector<std::string>* g_lines = nullptr; // the calls, while a test records them
const char* g_refused = nullptr;             // written storage the check refuses
unsigned g_refusedLength = 0;

std::string checkLine(const void* start, unsigned length, unsigned mode, int answer)
{
    char line[96];
    std::snprintf(line, sizeof line, "check %p %u %u: %d", start, length, mode, answer);
    return line;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void zrostandin_record(const char* line)
{
    if (g_lines != nullptr) g_lines->push_back(line);
}

extern "C" __attribute__((visibility("default"))) int
zrostandin_answer(const void* start, unsigned length, unsigned mode)
{
    const char* begin = static_cast<const char*>(start);
    if (length == 0) return 0;
    if (begin == nullptr) return 1;
    return mode == 2 && begin < g_refused + g_refusedLength && g_refused < begin + length;
}

TEST(ZrecsOtherTest, TheFiveCallsComeFromTheComponentMeant)
{
    void* zrecs = dlopen("libzrecs.so.1", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(zrecs, nullptr);
#ifdef ZROSTANDIN_LIBRARY
    // The stand-in, not the project's zrecs: the five calls and nothing else.
    EXPECT_NE(dlsym(zrecs, "xcsCheckPointer_e"), nullptr);
    EXPECT_EQ(dlsym(zrecs, "zrecs_state"), nullptr);
    EXPECT_EQ(dlsym(zrecs, "zrecs_set_listener"), nullptr);
#else
    // The project's zrecs is loaded, quiet; the program's calls come first.
    EXPECT_NE(dlsym(zrecs, "zrecs_state"), nullptr);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "xtr_printfFn_e"), reinterpret_cast<void*>(&xtr_printfFn_e));
    EXPECT_NE(dlsym(zrecs, "xtr_printfFn_e"), reinterpret_cast<void*>(&xtr_printfFn_e));
#endif
    dlclose(zrecs);
}

TEST(ZrecsOtherTest, ATracedWriteReachesItAndItsRefusalCounts)
{
    ZroCac cache;
    ASSERT_EQ(cache.resizeBuffer(16), 1);
    const char data[] = "abcd";
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "target refused" : "accepted");
        char* to = cache.dataPointer();
        g_refused = refused ? to : nullptr;
        g_refusedLength = refused ? 4 : 0;
        std::vector<std::string> lines;
        g_lines = &lines;
        EXPECT_EQ(cache.write(4, data), refused ? 0 : 1);
        g_lines = nullptr;
        std::vector<std::string> expected = {"hook 4", "entry 31 9 0",
                                             "hook 1", checkLine(data, 4, 1, 0),
                                             "hook 1", checkLine(to, 4, 2, refused)};
        if (refused)
            expected.insert(
                expected.end(),
                {"hook 1", "text 31 63 0 ZroError::checkWritePointer (error): buffer error"});
        expected.push_back(refused ? "exit 31 9 2004" : "exit 31 9 0");
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(
            std::make_tuple(cache.completionCode(), cache.reasonCode(), cache.messageLength()),
            std::make_tuple(refused ? 2 : 0, refused ? 2004 : 0, 4u));
    }
}
