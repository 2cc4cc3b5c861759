// ZroBin (copies, comparison, resizing, fixed-width copies, the binary as a
// message body), ZroMtr (standalone values) and ZroSem (a recursive lock).
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "zroi/zrobin.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zromtr.hpp"
#include "zroi/zrosem.hpp"
#include "zrotest.hpp"

namespace {

std::string bytes(const ZroBin& b)
{
    return b.dataLength() == 0 ? ""
                               : std::string(b.dataPointer(), b.dataPointer() + b.dataLength());
}

const char NO_STORAGE[] = "ZroBinary::setDataLength (error): storage not available";

} // namespace

using ZroBinTest = ZroTest;

TEST_F(ZroBinTest, CopiesComparisonAndNullness)
{
    ZroBin empty(nullptr, 0);
    EXPECT_EQ(empty.dataPointer(), nullptr);
    // Even an empty set goes through setDataLength's frame.
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 59", "exit 59 0"}));
    unsigned char source[5] = {0, 'a', 0, 0xff, 'z'};
    ZroBin value(source, 5);
    source[1] = 'X'; // copied deeply
    EXPECT_EQ(bytes(value), std::string("\0a\0\xffz", 5));
    ZroBin copy(value), assigned;
    EXPECT_NE(copy.dataPointer(), value.dataPointer());
    assigned = value;
    const ZroBin& same = assigned;
    assigned = same;
    EXPECT_EQ(bytes(assigned) + bytes(copy), bytes(value) + bytes(value));
    ZroBin moved(static_cast<ZroBin&&>(copy));
    EXPECT_EQ(bytes(moved) + bytes(copy), bytes(value));
    ZroBin& alias = moved;
    moved = static_cast<ZroBin&&>(alias); // moved onto itself: kept
    EXPECT_EQ(bytes(moved), bytes(value));
    EXPECT_EQ(assigned.set(nullptr, 0) + assigned.set("x", 0) + empty.set("x", 0), 3);
    EXPECT_EQ(assigned.dataPointer(), nullptr);

    // Equal: same length and bytes; codes take no part. Null: every byte 0.
    ZroBin x("ab", 2), y("abc", 3), z("abd", 3), failed("abc", 3);
    failed.copyOut(nullptr, 4, ' ');
    expectCodes(failed, 2, 6110);
    EXPECT_EQ(std::vector<int>({empty == ZroBin(), x == y, y == z, failed == y}),
              (std::vector<int>{1, 0, 0, 1}));
    unsigned char zeros[16] = {}, last[16] = {}, first[16] = {1};
    last[15] = 1;
    EXPECT_EQ(std::vector<int>({empty.isNull(), ZroBin(zeros, 16).isNull(),
                                ZroBin(last, 16).isNull(), ZroBin(first, 16).isNull(),
                                ZroBin(first, 1).isNull(), ZroBin(zeros, 1).isNull()}),
              (std::vector<int>{1, 1, 0, 0, 0, 1}));
}

TEST_F(ZroBinTest, CopyOutPadsCutsAndNeedsADestination)
{
    char field[4];
    ZroBin two("ab", 2);
    clearEvents();
    EXPECT_EQ(two.copyOut(field, 4, '*'), 1);
    expectFrame(0, 0);
    EXPECT_EQ(std::string(field, 4), "ab**");
    ZroBin eight("12345678", 8);
    EXPECT_EQ(eight.copyOut(field, 4, '*'), 1);
    EXPECT_EQ(std::string(field, 4), "1234");
    EXPECT_EQ(ZroBin().copyOut(field, 4, '\0'), 1);
    EXPECT_EQ(std::string(field, 4), std::string(4, '\0'));
    clearEvents();
    EXPECT_EQ(eight.copyOut(nullptr, 0, ' ') + eight.copyOut(field, 0, ' '), 2);
    expectNoText();
    expectCodes(eight, 0, 0);

    // Bytes, or padding alone, need a destination.
    for (ZroBin value : {ZroBin("ab", 2), ZroBin()}) {
        clearEvents();
        EXPECT_EQ(value.copyOut(nullptr, 4, ' '), 0);
        expectOnlyText(0, "ZroBinary::copyOut (error): no destination buffer");
        expectFrame(0, 6110);
        expectCodes(value, 2, 6110);
    }
    char target[4] = {'-', '-', '-', '-'};
    refuse(target + 2, 1, 2);
    clearEvents();
    EXPECT_EQ(eight.copyOut(target, 4, ' '), 0);
    expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
    expectFrame(0, 2004);
    EXPECT_EQ(std::string(target, 4), "----");
    // A later success still reports the earlier reason in its exit record.
    clearEvents();
    EXPECT_EQ(eight.copyOut(target, 2, ' '), 1);
    expectFrame(0, 2004);
    EXPECT_EQ(std::string(target, 4), "12--");
}

TEST_F(ZroBinTest, SetChecksTheSourceAndResizesOnlyForAnotherLength)
{
    char source[4] = {'a', 'b', 'c', 'd'};
    refuse(source + 3, 1, 1);
    ZroBin made(source, 4);
    EXPECT_EQ(made.dataLength(), 0u);
    expectCodes(made, 2, 2004);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    EXPECT_TRUE(records().empty()); // refused before any resize
    ZroBin value("xy", 2);
    EXPECT_EQ(value.set(source, 4), 0);
    EXPECT_EQ(bytes(value), "xy");
    EXPECT_EQ(value.set(source, 3), 1); // the refused byte is not in range
    expectCodes(value, 2, 2004);        // codes are sticky

    // From its own bytes, to another length and to the same one.
    EXPECT_EQ(value.set(value.dataPointer() + 1, 2), 1);
    EXPECT_EQ(bytes(value), "bc");
    EXPECT_EQ(value.set(value.dataPointer() + 1, 1), 1);
    const unsigned char* storage = value.dataPointer();
    EXPECT_EQ(value.set("q", 1), 1);
    EXPECT_EQ(value.dataPointer(), storage);
    clearEvents();
    EXPECT_EQ(value.setDataLength(1), 1);
    expectFrame(59, 2004);
    EXPECT_EQ(bytes(value), "q");
    EXPECT_EQ(value.setDataLength(8), 1);
    EXPECT_EQ(value.dataLength(), 8u);
    EXPECT_EQ(value.setDataLength(0), 1);
    EXPECT_EQ(value.dataPointer(), nullptr);
    expectNoText();
}

TEST_F(ZroBinTest, NoStorageKeepsTheOldBytes)
{
    ZroBin value("abcd", 4), source("12345", 5), kept("12", 2), emptied("12", 2);
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(value.setDataLength(10), 0);
    expectOnlyText(59, NO_STORAGE);
    expectFrame(59, 2071);
    failAllocation(1);
    EXPECT_EQ(value.set("xyz", 3), 0);
    failAllocation(1);
    kept = source;
    failAllocation(1);
    emptied = ZroBin(); // an empty source needs no storage
    failAllocation(0);
    for (const ZroBin* each : {&value, &kept}) expectCodes(*each, 2, 2071);
    EXPECT_EQ(bytes(value) + bytes(kept) + bytes(emptied), "abcd12");
    failAllocation(1);
    ZroBin copy(source);
    clearEvents();
    failAllocation(1);
    ZroBin made("abc", 3);
    expectOnlyText(59, NO_STORAGE);
    for (const ZroBin* each : {&copy, &made}) {
        expectCodes(*each, 2, 2071);
        EXPECT_EQ(each->dataLength(), 0u);
    }
    // The codes travel with copies and assignments.
    ZroBin copyOfFailed(value), assigned;
    expectCodes(copyOfFailed, 2, 2071);
    EXPECT_EQ(bytes(copyOfFailed), "abcd");
    assigned = value;
    expectCodes(assigned, 2, 2071);
    assigned = source;
    expectCodes(assigned, 0, 0);
}

// The binary as a message body: every byte from the cursor to the end, and
// back as the whole message.
TEST_F(ZroBinTest, BodiesOfEveryShortLength)
{
    for (const std::string& body :
         {std::string(), std::string("Z"), std::string("\0q", 2), std::string("12345")}) {
        ZroMsg message, out;
        const std::string data = "hd" + body;
        ASSERT_EQ(message.write(static_cast<unsigned>(data.size()), data.data()), 1);
        message.setDataOffset(2);
        ZroBin value("old", 3);
        EXPECT_EQ(value.pasteIn(message), 1);
        EXPECT_EQ(bytes(value), body);
        EXPECT_EQ(message.dataOffset(), data.size());
        expectCodes(value, 0, 0);
        EXPECT_EQ(value.copyOut(out), 1);
        EXPECT_EQ(std::string(out.bufferPointer(), out.messageLength()), body);
    }
}

// ---- ZroMtr ------------------------------------------------------------------

using ZroMtrTest = ZroTest;

TEST_F(ZroMtrTest, EachBinarySetterRefusesOtherLengthsAndKeepsTheValue)
{
    const struct {
        unsigned char (ZroMtr::*set)(const ZroBin&);
        ZroBin (ZroMtr::*get)() const;
        unsigned width;
        unsigned function;
        const char* name;
    } setters[] = {
        {&ZroMtr::setAccountingToken, &ZroMtr::accountingToken, 32, 18, "AccountingToken"},
        {&ZroMtr::setCorrelationId, &ZroMtr::correlationId, 24, 19, "CorrelationId"},
        {&ZroMtr::setGroupId, &ZroMtr::groupId, 24, 20, "GroupId"},
        {&ZroMtr::setMessageId, &ZroMtr::messageId, 24, 21, "MessageId"}};
    unsigned char bytes[34], zeros[32] = {};
    for (unsigned i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(i + 1);
    for (const auto& s : setters) {
        SCOPED_TRACE(s.name);
        ZroMtr tracker;
        EXPECT_EQ((tracker.*s.get)().dataLength(), 0u); // absent until set
        ASSERT_EQ((tracker.*s.set)(ZroBin(bytes, s.width)), 1);
        for (unsigned wrong : {s.width - 1, s.width + 1}) {
            const ZroBin value(bytes + 1, wrong);
            clearEvents();
            tracker.clearErrorCodes();
            EXPECT_EQ((tracker.*s.set)(value), 0);
            expectCodes(tracker, 2, 6111);
            expectOnlyText(s.function, std::string("ZroMessageTracker::set") + s.name +
                                           " (error): binary data length error");
            EXPECT_TRUE(records().empty());
            EXPECT_TRUE((tracker.*s.get)() == ZroBin(bytes, s.width));
        }
        // An empty binary stores zeros of the full width.
        EXPECT_EQ((tracker.*s.set)(ZroBin()), 1);
        EXPECT_TRUE((tracker.*s.get)() == ZroBin(zeros, s.width));
    }
}

TEST_F(ZroMtrTest, ByteSettersFeedbackAndCopies)
{
    ZroMtr source, other;
    unsigned char ab[32], zeros[32] = {};
    std::memset(ab, 0xAB, sizeof ab);
    EXPECT_EQ(source.feedback(), 0);
    source.setFeedback(-1);
    source.setGroupId(ab);
    EXPECT_TRUE(source.groupId() == ZroBin(ab, 24));
    source.setGroupId(static_cast<const unsigned char*>(nullptr));
    source.setAccountingToken(ab);
    source.setCorrelationId(ZroBin(ab, 3)); // leaves 2/6111 and a zero-filled value
    ZroMtr copy(source);
    expectCodes(copy, 2, 6111);
    EXPECT_EQ(copy.feedback(), -1);
    EXPECT_TRUE(copy.accountingToken() == ZroBin(ab, 32));
    for (ZroBin id : {copy.correlationId(), copy.groupId(), copy.messageId()})
        EXPECT_TRUE(id == ZroBin(zeros, 24)); // absent in the source: zeros in the copy
    other.setMessageId(ab);
    copy = other;
    expectCodes(copy, 0, 0);
    copy = copy;
    EXPECT_TRUE(copy.messageId() == ZroBin(ab, 24));
    EXPECT_TRUE(copy.accountingToken() == ZroBin(zeros, 32));
    EXPECT_EQ(copy.feedback(), 0);
}

// ---- ZroSem --------------------------------------------------------------------

#if defined(__SANITIZE_THREAD__)
#define ZROI_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZROI_THREAD_SANITIZER 1
#endif
#endif

TEST(ZroSemTest, RecursiveAndReleasedOnlyByTheHoldingThread)
{
    ZroSem lock;
    std::vector<int> results = {lock.lock(), lock.lock(), lock.unlock(), lock.unlock()};
    // Free: another thread takes it at once (were it still held, the join
    // would never return), but cannot release it for this one.
    std::thread([&] {
        results.push_back(lock.lock());
        results.push_back(lock.unlock());
    }).join();
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 1, 1, 1}));
#ifndef ZROI_THREAD_SANITIZER // which reports the release by another thread
    ASSERT_EQ(lock.lock(), 1);
    std::thread([&] { results.push_back(lock.unlock()); }).join();
    results.push_back(lock.unlock());
    results.push_back(lock.unlock()); // nor a second time by the holder
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 1, 1, 1, 0, 1, 0}));
#endif
}
