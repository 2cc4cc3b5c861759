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

// The bytes and the codes: "bytes completion/reason ".
std::string state(const ZroErr& e, const ZroBin& b)
{
    const std::string bytes(b.dataPointer(), b.dataPointer() + b.dataLength());
    return bytes + " " + std::to_string(e.completionCode()) + "/" + std::to_string(e.reasonCode()) +
           " ";
}
std::string state(const ZroBin& b) { return state(b, b); }

const char NO_STORAGE[] = "ZroBinary::setDataLength (error): storage not available";

} // namespace

using ZroBinTest = ZroTest;

TEST_F(ZroBinTest, CopiesComparisonAndNullness)
{
    ZroBin empty(nullptr, 0);
    // Even an empty set goes through setDataLength's frame.
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 59", "exit 59 0"}));
    unsigned char source[5] = {0, 'a', 0, 0xff, 'z'};
    const std::string bytes(reinterpret_cast<char*>(source), 5);
    ZroBin value(source, 5), assigned, copy(value);
    source[1] = 'X'; // copied deeply
    EXPECT_NE(copy.dataPointer(), value.dataPointer());
    assigned = value;
    const ZroBin& same = assigned;
    assigned = same;
    ZroBin moved(static_cast<ZroBin&&>(copy)), target("old", 3);
    ZroBin& alias = moved;
    moved = static_cast<ZroBin&&>(alias); // moved onto itself: kept
    target = static_cast<ZroBin&&>(assigned);
    EXPECT_EQ(state(value) + state(copy) + state(moved) + state(target) + state(assigned),
              bytes + " 0/0  0/0 " + bytes + " 0/0 " + bytes + " 0/0  0/0 ");
    EXPECT_EQ(target.set(nullptr, 0) + target.set("x", 0) + empty.set("x", 0), 3);
    EXPECT_EQ(std::vector<const void*>({target.dataPointer(), empty.dataPointer()}),
              std::vector<const void*>(2, nullptr));

    // Equal: same length and bytes; codes take no part. Null: every byte 0.
    ZroBin x("ab", 2), y("abc", 3), z("abd", 3), failed("abc", 3);
    failed.copyOut(nullptr, 4, ' ');
    unsigned char zeros[16] = {}, last[16] = {}, first[16] = {1};
    last[15] = 1;
    EXPECT_EQ(std::vector<int>({empty == ZroBin(), x == y, y == z, failed == y, empty.isNull(),
                                ZroBin(zeros, 16).isNull(), ZroBin(last, 16).isNull(),
                                ZroBin(first, 16).isNull(), ZroBin(first, 1).isNull(),
                                ZroBin(zeros, 1).isNull(), failed.reasonCode()}),
              (std::vector<int>{1, 0, 0, 1, 1, 1, 0, 0, 0, 1, 6110}));
}

TEST_F(ZroBinTest, CopyOutPadsCutsAndNeedsADestination)
{
    char field[12];
    ZroBin two("ab", 2), eight("12345678", 8);
    clearEvents();
    EXPECT_EQ(two.copyOut(field, 4, '*'), 1);
    expectFrame(0, 0);
    EXPECT_EQ(eight.copyOut(field + 4, 4, '*') + ZroBin().copyOut(field + 8, 4, '\0'), 2);
    EXPECT_EQ(std::string(field, 12), std::string("ab**1234\0\0\0\0", 12));
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
    ZroBin made(source, 4), value("xy", 2);
    EXPECT_EQ(texts(),
              std::vector<std::string>{"ZroError::checkReadPointer (error): buffer error"});
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 59", "exit 59 0"})); // value's only
    EXPECT_EQ(value.set(source, 4), 0);
    EXPECT_EQ(state(made) + state(value), " 2/2004 xy 2/2004 ");
    EXPECT_EQ(value.set(source, 3), 1); // the refused byte is not in range; codes stay
    // From its own bytes, to another length and to the same one.
    EXPECT_EQ(value.set(value.dataPointer() + 1, 2), 1);
    EXPECT_EQ(state(value), "bc 2/2004 ");
    EXPECT_EQ(value.set(value.dataPointer() + 1, 1), 1);
    const unsigned char* storage = value.dataPointer();
    EXPECT_EQ(value.set("q", 1), 1);
    EXPECT_EQ(value.dataPointer(), storage);
    clearEvents();
    EXPECT_EQ(value.setDataLength(1), 1);
    expectFrame(59, 2004);
    EXPECT_EQ(state(value), "q 2/2004 ");
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
    failAllocation(1);
    ZroBin copy(source);
    clearEvents();
    failAllocation(1);
    ZroBin made("abc", 3);
    expectOnlyText(59, NO_STORAGE);
    // The codes travel with copies and assignments.
    ZroBin copyOfFailed(value), assigned(source), cleared;
    assigned = value;
    cleared = value;
    cleared = source;
    EXPECT_EQ(state(value) + state(kept) + state(emptied) + state(copy) + state(made) +
                  state(copyOfFailed) + state(assigned) + state(cleared),
              "abcd 2/2071 12 2/2071  0/0  2/2071  2/2071 abcd 2/2071 abcd 2/2071 12345 0/0 ");
}

// The binary as a message body: every byte from the cursor to the end, and
// back as the whole message; a message with a format holds no binary.
TEST_F(ZroBinTest, BodiesOfEveryShortLength)
{
    for (const std::string& data :
         {std::string("hd"), std::string("hdZ"), std::string("hd\0q", 4), std::string("hd12345")}) {
        ZroMsg message, out;
        ASSERT_EQ(message.write(static_cast<unsigned>(data.size()), data.data()), 1);
        message.setDataOffset(2);
        ZroBin value("old", 3);
        clearEvents();
        EXPECT_EQ(value.pasteIn(message), 1);
        // The read of a body has a frame of its own; an empty body needs none.
        std::vector<std::string> frame = {"entry 1", "entry 59", "exit 59 0",
                                          "entry 4", "exit 4 0", "exit 1 0"};
        if (data.size() == 2) frame.erase(frame.begin() + 3, frame.begin() + 5);
        EXPECT_EQ(records(), frame);
        EXPECT_EQ(value.copyOut(out), 1);
        EXPECT_EQ(state(value) + std::to_string(message.dataOffset()) + " " +
                      std::string(out.bufferPointer(), out.messageLength()),
                  data.substr(2) + " 0/0 " + std::to_string(data.size()) + " " + data.substr(2));
    }
    ZroMsg message;
    message.setFormat("ZRSTR   ");
    ZroBin value("old", 3);
    clearEvents();
    EXPECT_EQ(value.pasteIn(message), 0);
    expectOnlyText(1, "ZroBinary::pasteIn (error): wrong message format");
    expectFrame(1, 6119);
    EXPECT_EQ(state(value), "old 2/6119 ");
}

// ---- ZroMtr ------------------------------------------------------------------

using ZroMtrTest = ZroTest;

TEST_F(ZroMtrTest, BinarySettersRefuseOtherLengthsByteSettersAndCopies)
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
        ZroMtr tracker;
        EXPECT_EQ((tracker.*s.get)().dataLength(), 0u) << s.name; // absent until set
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
        EXPECT_TRUE((tracker.*s.get)() == ZroBin(zeros, s.width)) << s.name;
    }

    // The byte setters, the feedback and copies.
    ZroMtr source, other;
    unsigned char ab[32];
    std::memset(ab, 0xAB, sizeof ab);
    EXPECT_EQ(source.feedback(), 0);
    source.setFeedback(-1);
    source.setGroupId(ab);
    EXPECT_TRUE(source.groupId() == ZroBin(ab, 24));
    source.setGroupId(static_cast<const unsigned char*>(nullptr));
    source.setAccountingToken(ab);
    source.setCorrelationId(ZroBin(ab, 3)); // leaves 2/6111 and a zero-filled value
    ZroMtr copy(source);
    const std::string ab32(32, '\xAB'), z24 = std::string(24, '\0') + " 0/0 ";
    EXPECT_EQ(state(copy, copy.accountingToken()) + state(copy.correlationId()) +
                  state(copy.groupId()) + state(copy.messageId()) + std::to_string(copy.feedback()),
              ab32 + " 2/6111 " + z24 + z24 + z24 + "-1"); // absent in the source: zeros
    other.setMessageId(ab);
    copy = other;
    copy = copy;
    EXPECT_EQ(state(copy, copy.accountingToken()) + state(copy.messageId()) +
                  std::to_string(copy.feedback()),
              std::string(32, '\0') + " 0/0 " + ab32.substr(8) + " 0/0 0");
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
