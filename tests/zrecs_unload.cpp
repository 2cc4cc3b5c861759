// Loads and unloads libzrecs for real (the build names its file) with
// ZRECS_TRACE naming a file: the file is open while the library is loaded
// and closed when it goes, each time. The program does not link libzrecs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// How many of the process's descriptors are open on `path`.
int descriptorsOn(const std::filesystem::path& path)
{
    int n = 0;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        n += std::filesystem::read_symlink(fd.path(), error) == path;
    return n;
}

} // namespace

TEST(ZrecsUnloadTest, TheTraceFileIsClosedWithTheLibrary)
{
    const std::filesystem::path path = std::filesystem::weakly_canonical(
        testing::TempDir() + "zrecs_unload." + std::to_string(getpid()) + ".trace");
    ASSERT_EQ(setenv("ZRECS_TRACE", path.c_str(), 1), 0);
    for (int round = 0; round < 2; ++round) {
        void* zrecs = dlopen(ZRECS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(zrecs, nullptr) << dlerror();
        EXPECT_EQ(descriptorsOn(path), 1);
        EXPECT_EQ(dlclose(zrecs), 0);
        EXPECT_EQ(descriptorsOn(path), 0);
    }
    std::remove(path.c_str());
}
