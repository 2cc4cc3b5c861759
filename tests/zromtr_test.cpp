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
