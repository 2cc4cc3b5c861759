// ZroMsg: default descriptor, text fields, tracker binding, assignment, items.
#include <cstddef>
#include <cstring>
#include <thread>
#include <vector>

#include "zroi/zromsg.hpp"
#include "zrotest.hpp"

namespace {
struct VersionControl : ZroMsg {
    using ZroMsg::setVersionSupported;
};

// An item whose outcome a test decides.
struct ScriptedItem : ZroItm {
    unsigned char result = 1;
    int32_t completion = 0;
    int32_t reason = 0;
    unsigned char copyOut(ZroMsg&) override { return finish(); }
    unsigned char pasteIn(ZroMsg&) override { return finish(); }
    unsigned char finish()
    {
        setCodes(completion, reason);
        return result;
    }
};

int32_t wordAt(const ZroMsg& message, std::size_t offset)
{
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const char*>(&message.descriptor()) + offset, 4);
    return value;
}
} // namespace

using ZroMsgTest = ZroTest;

TEST_F(ZroMsgTest, NewMessageHasTheDefaultDescriptor)
{
    ZroMsg message;
    const char* md = reinterpret_cast<const char*>(&message.descriptor());
    EXPECT_EQ(std::memcmp(md, "MD  ", 4), 0);
    const std::pair<std::size_t, int32_t> words[] = {
        {4, 2},  {8, 0},  {12, 8},  {16, -1}, {20, 0},  {24, 546}, {28, 0},  {40, -1},
        {44, 2}, {96, 0}, {272, 0}, {348, 1}, {352, 0}, {356, 0},  {360, -1}};
    for (auto [offset, value] : words) EXPECT_EQ(wordAt(message, offset), value) << offset;
    EXPECT_EQ(std::memcmp(md + 32, "        ", 8), 0);
    for (std::size_t i : {48u, 72u, 100u, 148u, 196u, 208u, 240u, 276u, 304u, 312u, 320u, 324u})
        EXPECT_EQ(md[i], 0) << i;
    EXPECT_EQ(std::string(message.format().dataPointer()), "        ");
    EXPECT_EQ(message.encoding(), 546);
    EXPECT_EQ(message.characterSet(), 0);
    EXPECT_EQ(message.version(), 2);
    EXPECT_EQ(message.feedback(), 0);
    EXPECT_EQ(message.messageId().dataLength(), 24u);
    EXPECT_EQ(message.messageId().isNull(), 1);
    EXPECT_EQ(message.userId().length(), 0u);
    EXPECT_EQ(message.dataLength(), 0u);
    EXPECT_EQ(message.spareWord(), 0u);
    expectCodes(message, 0, 0);
}

TEST_F(ZroMsgTest, AssignmentKeepsTheMostSevereCodes)
{
    ZroMsg failed;
    char bytes[64] = "payload";
    failed.write(sizeof bytes, bytes);
    failed.setGroupId(ZroBin(bytes, 3)); // 2/6111 on the source
    failed.setPriority(4);
    failed.setSpareWord(12);
    ZroMsg target;
    target = failed;
    expectCodes(target, 2, 6111);
    EXPECT_EQ(target.priority(), 4);
    EXPECT_EQ(target.spareWord(), 12u);
    EXPECT_EQ(target.messageLength(), sizeof bytes);
    EXPECT_EQ(std::memcmp(target.bufferPointer(), bytes, sizeof bytes), 0);

    // A clean source into a user buffer that is too small: the truncation warning.
    ZroMsg clean;
    clean.write(sizeof bytes, bytes);
    clean.setDataOffset(0);
    char small[16];
    ZroMsg user;
    user.useEmptyBuffer(small, sizeof small);
    user = clean;
    expectCodes(user, 1, 6115);
    EXPECT_EQ(user.messageLength(), 16u);
    EXPECT_EQ(std::memcmp(small, bytes, 16), 0);

    // With the source's cursor beyond what fits, the cursor move fails too:
    // the failure outranks the warning, and the tracker copy's 0/0 does not
    // replace it.
    clean.setDataOffset(sizeof bytes);
    ZroMsg user2;
    user2.useEmptyBuffer(small, sizeof small);
    user2 = clean;
    expectCodes(user2, 2, 6112);
    EXPECT_EQ(user2.messageLength(), 16u);
}

TEST_F(ZroMsgTest, FirstMessagesOfManyThreadsAgree)
{
    std::vector<std::thread> threads;
    std::vector<ZRMD> seen(8);
    for (unsigned i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] {
            ZroMsg message;
            seen[i] = message.descriptor();
        });
    for (std::thread& t : threads) t.join();
    ZroMsg reference;
    for (const ZRMD& md : seen) EXPECT_EQ(std::memcmp(&md, &reference.descriptor(), sizeof md), 0);
}

TEST_F(ZroMsgTest, VersionSupportedAppliesToNewMessagesOnly)
{
    ZroMsg before;
    VersionControl::setVersionSupported(1);
    ZroMsg after;
    ZroMsg copyOfBefore(before);
    VersionControl::setVersionSupported(2);
    EXPECT_EQ(before.version(), 2);
    EXPECT_EQ(after.version(), 1);
    EXPECT_EQ(copyOfBefore.version(), 2);
}
