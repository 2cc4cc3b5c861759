// ZroMtr: standalone storage, length checks, assignment.
#include <cstring>

#include "zroi/zromtr.hpp"
#include "zrotest.hpp"

using ZroMtrTest = ZroTest;

TEST_F(ZroMtrTest, EachBinarySetterRefusesOtherLengthsAndKeepsTheValue)
{
    struct Setter {
        unsigned char (ZroMtr::*set)(const ZroBin&);
        ZroBin (ZroMtr::*get)() const;
        unsigned width;
        unsigned function;
        const char* text;
    };
    const Setter setters[] = {
        {&ZroMtr::setAccountingToken, &ZroMtr::accountingToken, 32, 18,
         "ZroMessageTracker::setAccountingToken (error): binary data length error"},
        {&ZroMtr::setCorrelationId, &ZroMtr::correlationId, 24, 19,
         "ZroMessageTracker::setCorrelationId (error): binary data length error"},
        {&ZroMtr::setGroupId, &ZroMtr::groupId, 24, 20,
         "ZroMessageTracker::setGroupId (error): binary data length error"},
        {&ZroMtr::setMessageId, &ZroMtr::messageId, 24, 21,
         "ZroMessageTracker::setMessageId (error): binary data length error"},
    };
    unsigned char bytes[34];
    for (unsigned i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(i + 1);
    for (const Setter& s : setters) {
        SCOPED_TRACE(s.text);
        ZroMtr tracker;
        ASSERT_EQ((tracker.*s.set)(ZroBin(bytes, s.width)), 1);
        for (unsigned wrong : {s.width - 1, s.width + 1}) {
            ZroBin value(bytes + 1, wrong);
            clearEvents();
            tracker.clearErrorCodes();
            EXPECT_EQ((tracker.*s.set)(value), 0);
            expectCodes(tracker, 2, 6111);
            expectOnlyText(s.function, s.text);
            EXPECT_TRUE(records().empty());
            EXPECT_TRUE((tracker.*s.get)() == ZroBin(bytes, s.width));
        }
    }
}

TEST_F(ZroMtrTest, StandaloneValuesAreAbsentUntilSet)
{
    ZroMtr tracker;
    EXPECT_EQ(tracker.messageId().dataLength(), 0u);
    EXPECT_EQ(tracker.accountingToken().dataLength(), 0u);
    EXPECT_EQ(tracker.feedback(), 0);
    EXPECT_EQ(tracker.setMessageId(ZroBin()), 1);
    ZroBin id = tracker.messageId();
    EXPECT_EQ(id.dataLength(), 24u);
    EXPECT_EQ(id.isNull(), 1);
    tracker.setFeedback(-1);
    EXPECT_EQ(tracker.feedback(), -1);
    expectCodes(tracker, 0, 0);
    expectNoText();
}

TEST_F(ZroMtrTest, ByteSettersCopyTheFullWidthOrZero)
{
    ZroMtr tracker;
    unsigned char bytes[32];
    std::memset(bytes, 0xAB, sizeof bytes);
    tracker.setGroupId(bytes);
    EXPECT_TRUE(tracker.groupId() == ZroBin(bytes, 24));
    tracker.setGroupId(static_cast<const unsigned char*>(nullptr));
    EXPECT_EQ(tracker.groupId().dataLength(), 24u);
    EXPECT_EQ(tracker.groupId().isNull(), 1);
    tracker.setAccountingToken(bytes);
    EXPECT_TRUE(tracker.accountingToken() == ZroBin(bytes, 32));
}

TEST_F(ZroMtrTest, CopyGivesAllFiveValuesAndTheCodes)
{
    ZroMtr source;
    source.setFeedback(7);
    unsigned char bad[3] = {1, 2, 3};
    source.setCorrelationId(ZroBin(bad, 3)); // leaves 2/6111 and a zero-filled value
    ZroMtr copy(source);
    expectCodes(copy, 2, 6111);
    EXPECT_EQ(copy.feedback(), 7);
    EXPECT_EQ(copy.accountingToken().dataLength(), 32u);
    EXPECT_EQ(copy.accountingToken().isNull(), 1);
    EXPECT_EQ(copy.correlationId().isNull(), 1);
    EXPECT_EQ(copy.groupId().dataLength(), 24u);
    EXPECT_EQ(copy.messageId().dataLength(), 24u);

    unsigned char id[24];
    std::memset(id, 5, sizeof id);
    ZroMtr other;
    other.setMessageId(ZroBin(id, 24));
    copy = other;
    expectCodes(copy, 0, 0);
    EXPECT_TRUE(copy.messageId() == ZroBin(id, 24));
    EXPECT_EQ(copy.feedback(), 0);
    copy = copy;
    EXPECT_TRUE(copy.messageId() == ZroBin(id, 24));
}
