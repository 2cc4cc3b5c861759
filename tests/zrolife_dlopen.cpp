// Loads and unloads libzroi for real and watches from outside, through a
// zrecs listener, what its unload does.
//
// Usage: zrolife_dlopen <path of libzroi.so> <path of zrolife_helper.so>
//
// This program does not link libzroi (it would then stay loaded until the
// process ends). It opens the library by path and closes it again; the
// library's load and unload hooks then run as in any application. To create
// the shared string lock inside that library, the program opens a helper
// object that links libzroi and copies a string out: the helper's need for
// "libzroi.so.1" is met by the library already open (same soname), so both
// handles refer to one library, which is unloaded when the last is closed.
//
// The program also defines and exports the three clean-up names itself.
// The library must look them up among its own exports only, so none of
// these decoys may ever run.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "zrecs/zrecs.h"

namespace {

const char* g_library = nullptr;
const char* g_helper = nullptr;
int g_decoyCalls = 0;

struct Text {
    unsigned component;
    unsigned function;
    std::string text;
};

std::mutex g_mutex;
std::vector<Text> g_texts;
std::vector<std::string> g_records;

void listen(const zrecs_event* event, void*)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (event->kind == ZRECS_TEXT)
        g_texts.push_back({event->component, event->function, event->text});
    if (event->kind == ZRECS_ENTRY) g_records.push_back("entry " + std::to_string(event->function));
    if (event->kind == ZRECS_EXIT)
        g_records.push_back("exit " + std::to_string(event->function) + " " +
                            std::to_string(event->value));
}

int releaseTexts()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    int count = 0;
    for (const Text& t : g_texts) {
        if (t.text != "Releasing ZroString resources") continue;
        EXPECT_EQ(t.component, 31u);
        EXPECT_EQ(t.function, 76u);
        ++count;
    }
    return count;
}

bool loaded()
{
    void* handle = dlopen(g_library, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}

class ZroLifeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(loaded()) << "libzroi is loaded before the test";
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_texts.clear();
            g_records.clear();
        }
        g_decoyCalls = 0;
        zrecs_set_listener(&listen, nullptr);
    }
    void TearDown() override { zrecs_set_listener(nullptr, nullptr); }

    // Opens the library and checks that its load entry ran once.
    void* open()
    {
        void* handle = dlopen(g_library, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle, nullptr) << dlerror();
        if (handle == nullptr) return nullptr;
        auto initialisations = reinterpret_cast<unsigned long (*)()>(
            dlsym(handle, "zroi_test_library_lock_initialisations"));
        EXPECT_NE(initialisations, nullptr);
        if (initialisations != nullptr) { EXPECT_EQ(initialisations(), 1u); }
        return handle;
    }
};

TEST_F(ZroLifeTest, UnloadWithoutSharedLockWritesNothing)
{
    void* handle = open();
    ASSERT_NE(handle, nullptr);
    auto entry = reinterpret_cast<int (*)(void*, unsigned long, void*)>(dlsym(handle, "DllMain"));
    ASSERT_NE(entry, nullptr);
    // Thread notifications do nothing and report success.
    EXPECT_EQ(entry(nullptr, 2, nullptr), 1);
    EXPECT_EQ(entry(nullptr, 3, nullptr), 1);
    EXPECT_EQ(dlclose(handle), 0);
    EXPECT_FALSE(loaded());
    EXPECT_EQ(releaseTexts(), 0);
    EXPECT_EQ(g_decoyCalls, 0);
}

TEST_F(ZroLifeTest, UnloadReleasesTheSharedLockOnce)
{
    void* handle = open();
    ASSERT_NE(handle, nullptr);
    void* helper = dlopen(g_helper, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(helper, nullptr) << dlerror();
    auto copyOut = reinterpret_cast<int (*)(char*, unsigned)>(dlsym(helper, "zrolife_copy_out"));
    ASSERT_NE(copyOut, nullptr);
    char field[8];
    EXPECT_EQ(copyOut(field, sizeof field), 1);
    EXPECT_EQ(std::string(field, sizeof field), "life    ");
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        std::vector<std::string> expected = {"entry 57", "exit 57 1", "entry 58", "exit 58 1"};
        EXPECT_EQ(g_records, expected);
    }
    // The helper goes, the library stays: nothing is released yet.
    EXPECT_EQ(dlclose(helper), 0);
    EXPECT_TRUE(loaded());
    EXPECT_EQ(releaseTexts(), 0);
    EXPECT_EQ(dlclose(handle), 0);
    EXPECT_FALSE(loaded());
    EXPECT_EQ(releaseTexts(), 1);
    EXPECT_EQ(g_decoyCalls, 0);
}

TEST_F(ZroLifeTest, ReloadStartsAfresh)
{
    // Load, create the lock, unload; then a new load has no lock to release.
    for (int round = 0; round < 2; ++round) {
        void* handle = open();
        ASSERT_NE(handle, nullptr);
        if (round == 0) {
            void* helper = dlopen(g_helper, RTLD_NOW | RTLD_LOCAL);
            ASSERT_NE(helper, nullptr) << dlerror();
            auto copyOut =
                reinterpret_cast<int (*)(char*, unsigned)>(dlsym(helper, "zrolife_copy_out"));
            ASSERT_NE(copyOut, nullptr);
            char field[4];
            EXPECT_EQ(copyOut(field, sizeof field), 1);
            dlclose(helper);
        }
        EXPECT_EQ(dlclose(handle), 0);
        EXPECT_FALSE(loaded());
    }
    EXPECT_EQ(releaseTexts(), 1);
    EXPECT_EQ(g_decoyCalls, 0);
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
    return RUN_ALL_TESTS();
}
