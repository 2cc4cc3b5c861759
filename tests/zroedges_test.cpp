// The C++ additions at the edges of the classes: the version, string views
// and std::string, the binary's view and the stream operators.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>

#include "zroi/zroi.hpp"
#include "zrotest.hpp"

namespace {

using ZroEdgesTest = ZroTest;

TEST_F(ZroEdgesTest, VersionIsTheLoadedLibraryFilesVersion)
{
    EXPECT_STREQ(zroi_version(), ZROI_VERSION_STRING);
    EXPECT_EQ(ZROI_VERSION_NUMBER,
              ZROI_VERSION_MAJOR * 10000 + ZROI_VERSION_MINOR * 100 + ZROI_VERSION_PATCH);
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&zroi_version), &info), 0);
    char* file = realpath(info.dli_fname, nullptr);
    ASSERT_NE(file, nullptr);
    const std::string path = file;
    std::free(file);
    const std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(name, std::string("libzroi.so.") + zroi_version());
}

TEST_F(ZroEdgesTest, StringFromViewTakesTheTextUpToItsFirstNul)
{
    const struct {
        std::string_view from;
        const char* text;
        unsigned storage;
    } cases[] = {
        {"abc", "abc", 4},
        {std::string_view("ab\0cd", 5), "ab", 3},
        {std::string_view("\0x", 2), "", 0},
        {std::string_view(), "", 0},
        {std::string_view("QUEUE   ", 5), "QUEUE", 6},
    };
    for (const auto& c : cases) {
        ZroStr s(c.from);
        EXPECT_EQ(s.view(), c.text);
        EXPECT_EQ(s.storageSize(), c.storage) << c.text;
        expectCodes(s, ZRCC_OK, ZRRC_NONE);
    }
    ZroStr fromString(std::string("text"));
    EXPECT_EQ(std::string(fromString), "text");
    expectNoText();

    failAllocation(1);
    ZroStr failed(std::string_view("abc"));
    EXPECT_EQ(failed.dataPointer(), nullptr);
    expectCodes(failed, ZRCC_WARNING, ZRRC_STORAGE_NOT_AVAILABLE);
    expectOnlyText(73, "ZroString::ZroString (warning): storage not available");
}

TEST_F(ZroEdgesTest, ViewsAreNeverNullAndEndAtTheText)
{
    ZroStr none;
    ASSERT_NE(none.view().data(), nullptr);
    EXPECT_EQ(none.view().size(), 0u);
    ZroStr s("abcdef");
    s.setStorage(3); // the kept bytes become "ab" and a NUL
    const std::string_view implicit = s;
    EXPECT_EQ(implicit, "ab");
    EXPECT_EQ(implicit.data(), s.dataPointer());
    EXPECT_EQ(std::string(ZroStr("x y")), "x y");

    const unsigned char bytes[] = {0, 1, 2, 255};
    ZroBin bin(bytes, sizeof bytes);
    unsigned sum = 0;
    for (unsigned char b : bin.view()) sum += b;
    EXPECT_EQ(sum, 258u);
    EXPECT_EQ(bin.view().size(), 4u);
    EXPECT_EQ(bin.view().data(), bin.dataPointer());
    EXPECT_EQ(bin.view()[3], 255);
    EXPECT_TRUE(ZroBin().view().empty());
    EXPECT_EQ(ZroBin().view().begin(), ZroBin().view().end());
}

TEST_F(ZroEdgesTest, StreamsWriteTheTextAndTheMessagesDescription)
{
    std::ostringstream out;
    out << ZroStr("ab") << '|' << std::setw(5) << std::setfill('.') << ZroStr("cd") << '|'
        << ZroStr();
    EXPECT_EQ(out.str(), "ab|...cd|");

    ZroMsg message;
    const struct {
        const char* format;
        const char* shown;
    } cases[] = {
        {nullptr, "format \"        \", encoding 546, character set 0, data offset 0 of 0"},
        {"ZRSTR", "format \"ZRSTR   \", encoding 546, character set 0, data offset 3 of 7"},
        {"A\"\\\x01\xe9", "format \"A\\x22\\x5c\\x01\\xe9   \", encoding 546, character set 0, "
                          "data offset 3 of 7"},
    };
    for (const auto& c : cases) {
        if (c.format != nullptr) {
            ZroStr body("payload");
            message.writeItem(body);
            message.setDataOffset(3);
            message.setFormat(c.format);
        }
        std::ostringstream shown;
        shown << message;
        EXPECT_EQ(shown.str(), c.shown);
    }
    expectNoText();
}

} // namespace
