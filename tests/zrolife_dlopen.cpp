// Loads and unloads libzroi for real (zrolife_dlopen LIBZROI HELPER) and
// watches through a zrecs listener what its unload does. The program does not
// link libzroi; it opens it by path, and creates the shared string lock inside
// it through the helper object, which links libzroi and so shares that one
// library. It also exports the three clean-up names itself: decoys the
// library must never run, since it looks them up among its own exports only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "zrecs/zrecs.h"

namespace {

const char* g_library = nullptr;
const char* g_helper = nullptr;
int g_stateAtStart = -1; // zrecs_state when main began
int g_decoyCalls = 0;
std::mutex g_mutex;
std::vector<std::string> g_records; // entries, exits and texts

void listen(const zrecs_event* event, void*)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::string f = std::to_string(event->component) + " " + std::to_string(event->function);
    if (event->kind == ZRECS_TEXT) g_records.push_back(f + " " + event->text);
    if (event->kind == ZRECS_ENTRY) g_records.push_back("entry " + f);
    if (event->kind == ZRECS_EXIT)
        g_records.push_back("exit " + f + " " + std::to_string(event->value));
}

std::vector<std::string> records()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::exchange(g_records, {});
}

bool loaded()
{
    void* handle = dlopen(g_library, RTLD_NOW | RTLD_NOLOAD);
    return handle != nullptr && dlclose(handle) == 0;
}

const std::vector<std::string> kReleased = {"31 76 Releasing ZroString resources"};

class ZroLifeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(loaded()) << "libzroi is loaded before the test";
        records();
        g_decoyCalls = 0;
        zrecs_set_listener(&listen, nullptr);
    }
    void TearDown() override
    {
        zrecs_set_listener(nullptr, nullptr);
        EXPECT_EQ(g_decoyCalls, 0);
    }

    // Opens the library and checks that its load entry ran once.
    static void* open()
    {
        void* handle = dlopen(g_library, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle, nullptr) << dlerror();
        auto initialisations = reinterpret_cast<unsigned long (*)()>(
            dlsym(handle, "zroi_test_library_lock_initialisations"));
        EXPECT_TRUE(initialisations != nullptr && initialisations() == 1);
        return handle;
    }

    // Copies a string out inside the library through the helper, which
    // creates the shared string lock there; returns the helper's handle. The
    // shared copy codes are 0 at load; a cut sets them and they stay.
    static void* copyOutThroughTheHelper()
    {
        void* helper = dlopen(g_helper, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(helper, nullptr) << dlerror();
        auto copyOut = reinterpret_cast<int (*)(char*, unsigned, int*, int*)>(
            dlsym(helper, "zrolife_copy_out"));
        EXPECT_NE(copyOut, nullptr);
        std::string seen;
        for (unsigned length : {8u, 2u, 8u}) {
            char field[8];
            int completion = -1, reason = -1;
            const int result =
                copyOut != nullptr ? copyOut(field, length, &completion, &reason) : -1;
            seen += std::to_string(result) + " " + std::string(field, length) + " " +
                    std::to_string(completion) + "/" + std::to_string(reason) + "|";
        }
        EXPECT_EQ(seen, "1 life     0/0|1 li 1/6115|1 life     1/6115|");
        return helper;
    }
};

TEST_F(ZroLifeTest, ReloadStartsAfresh)
{
    // Load, create the lock, unload: the lock is released once, when the
    // library goes (not with the helper). Then a new load has no lock to
    // release, and its thread notifications do nothing and report success.
    // A third load starts again from codes 0.
    std::vector<std::string> copied;
    for (const char* text : {"", "31 43 static ZroString::copy (warning): string truncated", ""}) {
        copied.insert(copied.end(), {"entry 31 57", "exit 31 57 1"});
        if (*text != '\0') copied.push_back(text);
        copied.insert(copied.end(), {"entry 31 58", "exit 31 58 1"});
    }
    for (int round = 0; round < 3; ++round) {
        void* handle = open();
        if (round != 1) {
            EXPECT_EQ(dlclose(copyOutThroughTheHelper()), 0);
            EXPECT_TRUE(loaded());
            EXPECT_EQ(records(), copied);
        } else {
            auto entry =
                reinterpret_cast<int (*)(void*, unsigned long, void*)>(dlsym(handle, "DllMain"));
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(entry(nullptr, 2, nullptr) + entry(nullptr, 3, nullptr), 2);
        }
        EXPECT_EQ(dlclose(handle), 0);
        EXPECT_FALSE(loaded());
        EXPECT_EQ(records(), round != 1 ? kReleased : std::vector<std::string>{});
    }
}

// Before anything is installed nobody observes: zrecs's callers take their
// inline paths from the start.
TEST(ZrecsAtStart, NobodyObserves)
{
    const char* file = std::getenv("ZRECS_TRACE");
    if (file != nullptr && *file != '\0') GTEST_SKIP() << "a zrecs trace file is active";
    EXPECT_EQ(g_stateAtStart, 0);
}

} // namespace

// Decoys: the clean-up names, exported by the program. The library must not
// find them, since they are not its own.
extern "C" __attribute__((visibility("default"))) void ZroMgrCleanUp(void) { ++g_decoyCalls; }
extern "C" __attribute__((visibility("default"))) void ZroQueCleanUp(void) { ++g_decoyCalls; }
extern "C" __attribute__((visibility("default"))) void ZroStrCleanUp(void) { ++g_decoyCalls; }

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <libzroi.so> <zrolife_helper.so>\n", argv[0]);
        return 2;
    }
    g_library = argv[1];
    g_helper = argv[2];
    g_stateAtStart = ZRECS_STATE_PRESENT ? zrecs_state : -1;
    return RUN_ALL_TESTS();
}
