// ZroBin: construction, copies, comparison, resizing and fixed-width copies.
#include <cstring>
#include <string>

#include "zroi/zrobin.hpp"
#include "zrotest.hpp"

namespace {
std::string bytes(const ZroBin& b)
{
    return b.dataLength() == 0
               ? std::string()
               : std::string(reinterpret_cast<const char*>(b.dataPointer()), b.dataLength());
}

const char SETDATALENGTH_NO_STORAGE[] = "ZroBinary::setDataLength (error): storage not available";
const char COPYOUT_NO_BUFFER[] = "ZroBinary::copyOut (error): no destination buffer";
} // namespace

using ZroBinTest = ZroTest;

TEST_F(ZroBinTest, EmptyValuesNeedNoPointer)
{
    ZroBin empty(nullptr, 0);
    EXPECT_EQ(empty.dataLength(), 0u);
    EXPECT_EQ(empty.dataPointer(), nullptr);
    expectCodes(empty, 0, 0);
    expectNoText();
    // Even an empty set goes through setDataLength's frame.
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 59", "exit 59 0"}));

    ZroBin held("\x01\x02", 2);
    EXPECT_EQ(held.set(nullptr, 0), 1);
    EXPECT_EQ(held.dataLength(), 0u);
    EXPECT_EQ(held.dataPointer(), nullptr);
    EXPECT_EQ(held.isNull(), 1);
    expectCodes(held, 0, 0);
}

TEST_F(ZroBinTest, BytesAreCopiedDeeply)
{
    unsigned char source[5] = {0, 'a', 0, 0xff, 'z'};
    ZroBin value(source, 5);
    source[1] = 'X';
    EXPECT_EQ(bytes(value), std::string("\0a\0\xff"
                                        "z",
                                        5));
    ZroBin copy(value);
    EXPECT_NE(copy.dataPointer(), value.dataPointer());
    EXPECT_TRUE(copy == value);
    ZroBin assigned;
    assigned = value;
    EXPECT_TRUE(assigned == value);
    const ZroBin& same = assigned;
    assigned = same;
    EXPECT_EQ(bytes(assigned), bytes(value));
    ZroBin moved(static_cast<ZroBin&&>(copy));
    EXPECT_TRUE(moved == value);
    EXPECT_EQ(copy.dataLength(), 0u);
}

TEST_F(ZroBinTest, ComparisonAndNullness)
{
    ZroBin a, b;
    EXPECT_EQ(a == b, 1);
    ZroBin x("ab", 2), y("abc", 3), z("abd", 3);
    EXPECT_EQ(x == y, 0);
    EXPECT_EQ(y == z, 0);
    EXPECT_EQ(y == ZroBin("abc", 3), 1);
    // Codes take no part.
    ZroBin failed("abc", 3);
    failed.copyOut(nullptr, 4, ' ');
    expectCodes(failed, 2, 6110);
    EXPECT_EQ(failed == y, 1);

    unsigned char zeros[16] = {};
    ZroBin null(zeros, 16);
    EXPECT_EQ(null.dataLength(), 16u);
    EXPECT_EQ(null.isNull(), 1);
    zeros[15] = 1;
    EXPECT_EQ(ZroBin(zeros, 16).isNull(), 0);
    zeros[15] = 0;
    zeros[0] = 1;
    EXPECT_EQ(ZroBin(zeros, 16).isNull(), 0);
    EXPECT_EQ(ZroBin().isNull(), 1);
}

TEST_F(ZroBinTest, UnreadableBytesAreRefused)
{
    char source[4] = {'a', 'b', 'c', 'd'};
    refuse(source + 3, 1, 1);
    ZroBin made(source, 4);
    EXPECT_EQ(made.dataLength(), 0u);
    expectCodes(made, 2, 2004);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    EXPECT_TRUE(records().empty()); // refused before any resize

    ZroBin held("xy", 2);
    clearEvents();
    EXPECT_EQ(held.set(source, 4), 0);
    EXPECT_EQ(bytes(held), "xy");
    expectCodes(held, 2, 2004);
    EXPECT_EQ(held.set(source, 3), 1); // the refused byte is not in range
    EXPECT_EQ(bytes(held), "abc");
    expectCodes(held, 2, 2004); // codes are sticky
}

TEST_F(ZroBinTest, CopyOutPadsAndCuts)
{
    ZroBin two("ab", 2);
    char field[4];
    clearEvents();
    EXPECT_EQ(two.copyOut(field, 4, '*'), 1);
    expectFrame(0, 0);
    EXPECT_EQ(std::string(field, 4), "ab**");

    ZroBin eight("12345678", 8);
    EXPECT_EQ(eight.copyOut(field, 4, '*'), 1);
    EXPECT_EQ(std::string(field, 4), "1234");
    expectCodes(eight, 0, 0);

    EXPECT_EQ(ZroBin().copyOut(field, 4, '\0'), 1);
    EXPECT_EQ(std::memcmp(field, "\0\0\0\0", 4), 0);

    clearEvents();
    EXPECT_EQ(eight.copyOut(nullptr, 0, ' '), 1);
    expectNoText();
}

TEST_F(ZroBinTest, CopyOutFailures)
{
    ZroBin value("ab", 2);
    clearEvents();
    EXPECT_EQ(value.copyOut(nullptr, 4, ' '), 0);
    expectOnlyText(0, COPYOUT_NO_BUFFER);
    expectFrame(0, 6110);
    expectCodes(value, 2, 6110);

    // Padding alone needs a destination too.
    ZroBin empty;
    clearEvents();
    EXPECT_EQ(empty.copyOut(nullptr, 4, ' '), 0);
    expectOnlyText(0, COPYOUT_NO_BUFFER);
    expectCodes(empty, 2, 6110);

    char field[4] = {'-', '-', '-', '-'};
    refuse(field + 2, 1, 2);
    ZroBin other("wxyz", 4);
    clearEvents();
    EXPECT_EQ(other.copyOut(field, 4, ' '), 0);
    expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
    expectFrame(0, 2004);
    EXPECT_EQ(std::string(field, 4), "----");

    // A later success still reports the earlier reason in its exit record.
    clearEvents();
    EXPECT_EQ(other.copyOut(field, 2, ' '), 1);
    expectFrame(0, 2004);
    EXPECT_EQ(std::string(field, 4), "wx--");
    clearEvents();
    EXPECT_EQ(other.setDataLength(4), 1);
    expectFrame(59, 2004);
}

TEST_F(ZroBinTest, SetFromItsOwnBytes)
{
    ZroBin value("abcdef", 6);
    EXPECT_EQ(value.set(value.dataPointer() + 2, 4), 1);
    EXPECT_EQ(bytes(value), "cdef");
    EXPECT_EQ(value.set(value.dataPointer(), 4), 1); // same length, same bytes
    EXPECT_EQ(bytes(value), "cdef");
}

TEST_F(ZroBinTest, SetDataLengthKeepsBytesOnlyAtTheSameLength)
{
    ZroBin value("abcd", 4);
    const unsigned char* before = value.dataPointer();
    clearEvents();
    EXPECT_EQ(value.setDataLength(4), 1);
    expectFrame(59, 0);
    EXPECT_EQ(value.dataPointer(), before);
    EXPECT_EQ(bytes(value), "abcd");
    EXPECT_EQ(value.setDataLength(8), 1);
    EXPECT_EQ(value.dataLength(), 8u);
    EXPECT_EQ(value.setDataLength(0), 1);
    EXPECT_EQ(value.dataPointer(), nullptr);
    expectNoText();
}

TEST_F(ZroBinTest, NoStorageKeepsTheOldBytes)
{
    ZroBin value("abcd", 4);
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(value.setDataLength(10), 0);
    expectOnlyText(59, SETDATALENGTH_NO_STORAGE);
    expectFrame(59, 2071);
    expectCodes(value, 2, 2071);
    EXPECT_EQ(bytes(value), "abcd");

    // set, assignment, copy and construction resize the same way.
    ZroBin other("abcdefgh", 8);
    failAllocation(1);
    EXPECT_EQ(other.set("xyz", 3), 0);
    EXPECT_EQ(bytes(other), "abcdefgh");
    expectCodes(other, 2, 2071);

    ZroBin target("12", 2);
    failAllocation(1);
    target = ZroBin(); // the empty source needs no storage
    EXPECT_EQ(target.dataLength(), 0u);
    failAllocation(0);
    ZroBin source("12345", 5);
    ZroBin kept("12", 2);
    failAllocation(1);
    kept = source;
    EXPECT_EQ(bytes(kept), "12");
    expectCodes(kept, 2, 2071);

    failAllocation(1);
    ZroBin copy(source);
    EXPECT_EQ(copy.dataLength(), 0u);
    expectCodes(copy, 2, 2071);

    clearEvents();
    failAllocation(1);
    ZroBin made("abc", 3);
    EXPECT_EQ(made.dataLength(), 0u);
    expectCodes(made, 2, 2071);
    expectOnlyText(59, SETDATALENGTH_NO_STORAGE);
}

TEST_F(ZroBinTest, CopiesCarryTheCodes)
{
    ZroBin failed("abc", 3);
    failAllocation(1);
    failed.setDataLength(9);
    expectCodes(failed, 2, 2071);
    ZroBin copy(failed);
    expectCodes(copy, 2, 2071);
    EXPECT_EQ(bytes(copy), "abc");
    ZroBin assigned;
    assigned = failed;
    expectCodes(assigned, 2, 2071);
    failed.clearErrorCodes();
    assigned = failed;
    expectCodes(assigned, 0, 0);
}
