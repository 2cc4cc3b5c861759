// String and binary items called directly on a message: what zrobody_test
// leaves out (codes of the item on success, storage and pointer failures of
// the write and of the binary's read, reading from the middle, hostile data).
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zromsg.hpp"
#include "zrotest.hpp"

namespace {
std::string data(const ZroMsg& message)
{
    return std::string(message.bufferPointer(), message.messageLength());
}
} // namespace

using ZroItemsTest = ZroTest;

TEST_F(ZroItemsTest, SuccessLeavesTheItemsCodesAlone)
{
    ZroStr text("abc");
    text.set(nullptr, 1); // 2/6108
    ZroMsg message;
    EXPECT_EQ(text.copyOut(message), 1);
    expectCodes(text, 2, 6108);
    expectCodes(message, 0, 0);
    EXPECT_EQ(data(message), "abc");

    const unsigned char bytes[] = {0, 1, 0, 2, 0};
    ZroBin binary(bytes, 5);
    binary.copyOut(nullptr, 1, ' '); // 2/6110
    EXPECT_EQ(binary.copyOut(message), 1);
    expectCodes(binary, 2, 6110);
    EXPECT_EQ(data(message), std::string("\0\1\0\2\0", 5));
    EXPECT_EQ(message.formatIs("        "), 1);
    EXPECT_EQ(message.encoding(), 546);
    EXPECT_EQ(message.characterSet(), 0);

    // Read back: the exit record carries the reason left from before.
    message.setDataOffset(0);
    clearEvents();
    EXPECT_EQ(binary.pasteIn(message), 1);
    expectFrame(1, 6110);
    EXPECT_EQ(binary.dataLength(), 5u);
    EXPECT_EQ(std::memcmp(binary.dataPointer(), bytes, 5), 0);
    EXPECT_EQ(message.dataOffset(), 5u);
    ZroBin clean;
    message.setDataOffset(0);
    clearEvents();
    EXPECT_EQ(clean.pasteIn(message), 1);
    expectFrame(1, 0);
}

TEST_F(ZroItemsTest, NoStorageForTheMessageBuffer)
{
    ZroMsg message;
    message.setFormat("OLD");
    message.setEncoding(273);
    ZroStr text("abc");
    failAllocation(1);
    EXPECT_EQ(text.copyOut(message), 0);
    expectCodes(text, 2, 2071);
    expectCodes(message, 2, 2071);
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0], "ZroCache::resizeBuffer (error): storage not available");
    EXPECT_EQ(textFunctions()[0], 5u);
    // No room was found: the message is cleared and keeps its description.
    EXPECT_EQ(message.messageLength(), 0u);
    EXPECT_EQ(message.formatIs("OLD     "), 1);
    EXPECT_EQ(message.encoding(), 273);

    ZroBin binary("xyz", 3);
    failAllocation(1);
    EXPECT_EQ(binary.copyOut(message), 0);
    expectCodes(binary, 2, 2071);
    EXPECT_EQ(message.formatIs("OLD     "), 1);
}

TEST_F(ZroItemsTest, RefusedItemBytesFailTheWrite)
{
    ZroMsg message;
    ZroStr old("previous data");
    message.writeItem(old);
    message.setEncoding(273);
    ZroStr text("abc");
    refuse(text.dataPointer(), 3, 1);
    clearEvents();
    EXPECT_EQ(text.copyOut(message), 0);
    expectCodes(text, 2, 2004);
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0], "ZroError::checkReadPointer (error): buffer error");
    EXPECT_EQ(textFunctions()[0], 62u);
    // Room was found: the description is the item's, the data is gone.
    EXPECT_EQ(message.messageLength(), 0u);
    EXPECT_EQ(message.formatIs("ZRSTR   "), 1);
    EXPECT_EQ(message.encoding(), 546);

    ZroBin binary("12", 2);
    refuse(binary.dataPointer(), 2, 1);
    EXPECT_EQ(binary.copyOut(message), 0);
    expectCodes(binary, 2, 2004);
    EXPECT_EQ(message.formatIs("        "), 1);
}

TEST_F(ZroItemsTest, BinaryReadIntoRefusedStorage)
{
    ZroMsg message;
    ZroBin source("abcd", 4);
    message.writeItem(source);
    message.setDataOffset(0);
    // Same length: setDataLength keeps the storage, which the check refuses.
    ZroBin target("wxyz", 4);
    refuse(target.dataPointer(), 4, 2);
    clearEvents();
    EXPECT_EQ(target.pasteIn(message), 0);
    expectFrame(1, 2004);
    expectCodes(target, 2, 2004);
    EXPECT_EQ(message.dataOffset(), 0u);
    EXPECT_EQ(std::memcmp(target.dataPointer(), "wxyz", 4), 0);
}

TEST_F(ZroItemsTest, StringReadFromTheMiddle)
{
    ZroMsg message;
    ZroStr text("hello world");
    message.writeItem(text);
    message.setDataOffset(6);
    ZroStr tail;
    EXPECT_EQ(tail.pasteIn(message), 1);
    EXPECT_STREQ(tail.dataPointer(), "world");
    EXPECT_EQ(tail.storageSize(), 6u);
    EXPECT_EQ(message.dataOffset(), 11u);
}

TEST_F(ZroItemsTest, StringStorageIsReusedOrGrownByOne)
{
    ZroMsg message;
    ZroStr hello("hello");
    message.writeItem(hello);

    // Storage larger than the data: no allocation at all.
    ZroStr roomy("old");
    roomy.setStorage(100);
    message.setDataOffset(0);
    failAllocation(1, true);
    EXPECT_EQ(roomy.pasteIn(message), 1);
    failAllocation(0);
    EXPECT_STREQ(roomy.dataPointer(), "hello");
    EXPECT_EQ(roomy.storageSize(), 100u);

    // Storage of exactly the data: one more byte for the terminator.
    ZroStr exact("abcd");
    message.setDataOffset(0);
    EXPECT_EQ(exact.pasteIn(message), 1);
    EXPECT_STREQ(exact.dataPointer(), "hello");
    EXPECT_EQ(exact.storageSize(), 6u);
    expectNoText();
}

TEST_F(ZroItemsTest, HostileBytesMakeAValidText)
{
    // A mebibyte of every byte value, its first NUL at 300000: the text is
    // what comes before it, and all of it is read.
    std::vector<char> bytes(1 << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(1 + i % 255); // never 0
    bytes[300000] = '\0';
    ZroMsg message;
    message.write(static_cast<unsigned>(bytes.size()), bytes.data());
    message.setFormat("ZRSTR   ");
    message.setDataOffset(0);
    ZroStr text;
    EXPECT_EQ(text.pasteIn(message), 1);
    EXPECT_EQ(text.length(), 300000u);
    EXPECT_EQ(std::memcmp(text.dataPointer(), bytes.data(), 300000), 0);
    EXPECT_EQ(text.storageSize(), (1u << 20) + 1);
    EXPECT_EQ(message.dataLength(), 0u);

    // Written out again, only the text travels.
    EXPECT_EQ(text.copyOut(message), 1);
    EXPECT_EQ(message.messageLength(), 300000u);
    expectNoText();
}
