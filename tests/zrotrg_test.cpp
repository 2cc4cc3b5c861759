// ZroTrg: the trigger message as a message body and in its character form.
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrotrg.hpp"
#include "zrotest.hpp"

namespace {

void put32(std::string& bytes, unsigned offset, int32_t value)
{
    std::memcpy(&bytes[offset], &value, 4);
}

std::string str(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }

std::string dataOf(const ZroMsg& message)
{
    return std::string(message.bufferPointer(), message.messageLength());
}

// The 684 bytes of a new trigger message: "TM  ", version 1, all else zero.
std::string defaultRecord()
{
    std::string b(684, '\0');
    b.replace(0, 4, "TM  ");
    put32(b, 4, 1);
    return b;
}

// A field of `width` holding `text` and NUL bytes after it.
void putText(std::string& bytes, unsigned offset, unsigned width, const std::string& text)
{
    bytes.replace(offset, width, std::string(width, '\0'));
    bytes.replace(offset, text.size(), text);
}

// A received trigger message with every field in use.
std::string peerRecord(int32_t spare)
{
    std::string b = defaultRecord();
    put32(b, 4, 3); // structure version, never read
    putText(b, 8, 48, "APP.INITQ");
    putText(b, 56, 48, "PROC1  "); // trailing blanks as a peer may send them
    putText(b, 104, 64, "  data with leading blanks");
    put32(b, 168, spare);
    putText(b, 172, 256, std::string(256, 'a')); // full width, no NUL
    putText(b, 428, 128, "ENV=1");
    putText(b, 556, 128, "user\0hidden after NUL");
    return b;
}

void load(ZroMsg& message, const std::string& data, unsigned offset = 0,
          const char* format = "ZRTRIG  ", int32_t encoding = 546)
{
    message.clearMessage();
    ASSERT_EQ(message.write(static_cast<unsigned>(data.size()), data.data()), 1);
    message.setDataOffset(offset);
    message.setFormat(format);
    message.setEncoding(encoding);
}

// The object's record, as copyOut writes it.
std::string recordOf(const ZroTrg& trigger)
{
    ZroTrg copy(trigger);
    ZroMsg message;
    EXPECT_EQ(copy.copyOut(message), 1);
    return dataOf(message);
}

std::string characterForm(ZroTrg& trigger)
{
    ZRTMC2 form;
    std::memset(&form, 'X', sizeof form); // no byte may be left as it was
    EXPECT_EQ(trigger.copyOut(&form), 1);
    return std::string(reinterpret_cast<const char*>(&form), sizeof form);
}

std::string blanks(unsigned n) { return std::string(n, ' '); }

} // namespace

using ZroTrgTest = ZroTest;

TEST_F(ZroTrgTest, CopyOutReplacesTheWholeMessage)
{
    ZroMsg message;
    std::string other(100, 'o');
    message.write(100, other.data());
    message.setFormat("ZRSTR");
    message.setEncoding(273);
    message.setCharacterSet(850);
    ZroTrg trigger;
    trigger.setQueueName("Q1");
    clearEvents();
    ASSERT_EQ(trigger.copyOut(message), 1);
    expectNoText();
    EXPECT_EQ(message.messageLength(), 684u);
    EXPECT_EQ(message.dataOffset(), 684u);
    EXPECT_EQ(message.formatIs("ZRTRIG  "), 1);
    EXPECT_EQ(message.encoding(), 546);
    EXPECT_EQ(message.characterSet(), 0);
    std::string expected = defaultRecord();
    putText(expected, 8, 48, "Q1");
    EXPECT_EQ(dataOf(message), expected);
    expectCodes(trigger, 0, 0);
}

TEST_F(ZroTrgTest, CopyOutFailuresLeaveTheMessageEmpty)
{
    char small[500];
    ZroMsg user;
    user.useEmptyBuffer(small, sizeof small);
    user.write(10, "0123456789");
    user.setFormat("ZRSTR");
    ZroTrg trigger;
    clearEvents();
    EXPECT_EQ(trigger.copyOut(user), 0);
    expectCodes(trigger, 2, 6113);
    expectOnlyText(3, "ZroCache::moreBytes (error): insufficient buffer");
    EXPECT_EQ(user.messageLength(), 0u) << "cleared before the room was asked for";
    EXPECT_EQ(user.formatIs("ZRSTR   "), 1);

    ZroMsg automatic;
    failAllocation(1);
    EXPECT_EQ(trigger.copyOut(automatic), 0);
    expectCodes(trigger, 2, 2071);
    EXPECT_EQ(automatic.messageLength(), 0u);

    // The record refused by the read check.
    ZroMsg message;
    message.write(3, "abc");
    refuse(&trigger, sizeof trigger, 1);
    EXPECT_EQ(trigger.copyOut(message), 0);
    expectCodes(trigger, 2, 2004);
    EXPECT_EQ(message.messageLength(), 0u);
}

TEST_F(ZroTrgTest, PasteInFailuresInCheckOrder)
{
    std::string bytes = peerRecord(7);
    bytes.replace(0, 4, "TMX ");
    ZroTrg trigger;
    trigger.setUserData("before");
    const std::string before = recordOf(trigger);
    ZroMsg message;
    load(message, "ab" + bytes.substr(0, 600), 2, "ZRSTR   ", 273);
    message.setCharacterSet(850);

    clearEvents();
    EXPECT_EQ(trigger.pasteIn(message), 0);
    expectCodes(trigger, 2, 6107);
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           "ZroItem::structureIdIs (information): structure id is not equal",
                           "ZroTrigger::pasteIn (error): wrong structure id"}));
    EXPECT_EQ(textFunctions(), (std::vector<unsigned>{12, 52}));
    EXPECT_TRUE(records().empty()) << "pasteIn writes texts only";
    EXPECT_EQ(message.dataOffset(), 2u);
    EXPECT_EQ(recordOf(trigger), before);

    bytes.replace(0, 4, "TM  ");
    load(message, "ab" + bytes.substr(0, 600), 2, "ZRSTR   ", 273);
    clearEvents();
    EXPECT_EQ(trigger.pasteIn(message), 0);
    expectCodes(trigger, 2, 6106);
    expectOnlyText(52, "ZroTrigger::pasteIn (error): wrong message encoding");
    EXPECT_EQ(message.dataOffset(), 2u);
    EXPECT_EQ(recordOf(trigger), before);

    // The data starts with "TM  ", but the format is not the trigger's.
    message.setEncoding(546);
    clearEvents();
    EXPECT_EQ(trigger.pasteIn(message), 0);
    expectCodes(trigger, 2, 6119);
    expectOnlyText(52, "ZroTrigger::pasteIn (error): wrong message format");
    EXPECT_EQ(message.dataOffset(), 2u);
    EXPECT_EQ(recordOf(trigger), before);

    message.setFormat("ZRTRIG  ");
    clearEvents();
    EXPECT_EQ(trigger.pasteIn(message), 0);
    expectCodes(trigger, 2, 6114);
    expectOnlyText(4, "ZroCache::read (error): insufficient data");
    EXPECT_EQ(message.dataOffset(), 2u);
    EXPECT_EQ(recordOf(trigger), before);

    // The whole record: success; the description of the message stays.
    load(message, "ab" + bytes + "tail", 2);
    message.setCharacterSet(850);
    clearEvents();
    EXPECT_EQ(trigger.pasteIn(message), 1);
    expectNoText();
    expectCodes(trigger, 2, 6114);
    EXPECT_EQ(message.dataOffset(), 686u);
    EXPECT_EQ(message.formatIs("ZRTRIG  "), 1);
    EXPECT_EQ(message.encoding(), 546);
    EXPECT_EQ(message.characterSet(), 850);
    EXPECT_EQ(recordOf(trigger), bytes);

    // The record refused by the write check: nothing moves.
    trigger.clearErrorCodes();
    message.setDataOffset(2);
    refuse(&trigger, sizeof trigger, 2);
    clearEvents();
    EXPECT_EQ(trigger.pasteIn(message), 0);
    expectCodes(trigger, 2, 2004);
    expectOnlyText(63, "ZroError::checkWritePointer (error): buffer error");
    EXPECT_EQ(message.dataOffset(), 2u);
}

TEST_F(ZroTrgTest, EveryTruncatedLengthFails)
{
    const std::string bytes = peerRecord(-42);
    for (unsigned length = 0; length <= 684; ++length) {
        ZroTrg trigger;
        trigger.setQueueName("KEEP");
        const std::string before = recordOf(trigger);
        ZroMsg message;
        load(message, "xyz" + bytes.substr(0, length), 3);
        EXPECT_EQ(trigger.pasteIn(message), length == 684 ? 1 : 0) << length;
        if (length < 4)
            expectCodes(trigger, 2, 6107);
        else if (length < 684)
            expectCodes(trigger, 2, 6114);
        else
            expectCodes(trigger, 0, 0);
        EXPECT_EQ(message.dataOffset(), length == 684 ? 687u : 3u) << length;
        EXPECT_EQ(recordOf(trigger), length == 684 ? bytes : before) << length;
    }
}

TEST_F(ZroTrgTest, EachCheckedFieldCorrupted)
{
    const std::string good = peerRecord(1);
    for (unsigned i = 0; i < 4; ++i)
        for (char bad : {'\0', 't', static_cast<char>(good[i] ^ 0x80)}) {
            std::string bytes = good;
            bytes[i] = bad;
            ZroMsg message;
            load(message, bytes);
            ZroTrg trigger;
            EXPECT_EQ(trigger.pasteIn(message), 0);
            expectCodes(trigger, 2, 6107);
        }
    for (int32_t encoding : {0, 273, 545, 547, -546}) {
        ZroMsg message;
        load(message, good, 0, "ZRTRIG  ", encoding);
        ZroTrg trigger;
        EXPECT_EQ(trigger.pasteIn(message), 0);
        expectCodes(trigger, 2, 6106);
    }
    for (unsigned i = 0; i < 8; ++i) {
        char format[9] = "ZRTRIG  ";
        format[i] = format[i] == ' ' ? '\0' : static_cast<char>(format[i] + 32);
        ZroMsg message;
        load(message, good);
        std::memcpy(message.descriptor().format, format, 8);
        ZroTrg trigger;
        EXPECT_EQ(trigger.pasteIn(message), 0);
        expectCodes(trigger, 2, 6119);
        EXPECT_EQ(message.dataOffset(), 0u);
    }
    // The structure version is not looked at.
    std::string loose = good;
    put32(loose, 4, -1);
    ZroMsg message;
    load(message, loose);
    ZroTrg trigger;
    EXPECT_EQ(trigger.pasteIn(message), 1);
    EXPECT_EQ(recordOf(trigger), loose);
}

TEST_F(ZroTrgTest, RoundTripThroughAMessage)
{
    ZroTrg trigger;
    trigger.setQueueName("SYSTEM.DEFAULT.INITIATION.QUEUE");
    trigger.setProcessName("PROC");
    trigger.setTriggerData("TD");
    trigger.setApplicationId("/usr/bin/start");
    trigger.setEnvironmentData("ENV");
    trigger.setUserData("UD");
    ZroMsg message;
    ASSERT_EQ(message.writeItem(trigger), 1);
    message.setDataOffset(0);
    ZroTrg read;
    ASSERT_EQ(message.readItem(read), 1);
    EXPECT_EQ(str(read.queueName()), "SYSTEM.DEFAULT.INITIATION.QUEUE");
    EXPECT_EQ(str(read.processName()), "PROC");
    EXPECT_EQ(str(read.triggerData()), "TD");
    EXPECT_EQ(str(read.applicationId()), "/usr/bin/start");
    EXPECT_EQ(str(read.environmentData()), "ENV");
    EXPECT_EQ(str(read.userData()), "UD");
    EXPECT_EQ(recordOf(read), recordOf(trigger));
    EXPECT_EQ(message.dataOffset(), 684u);

    // Under a KOTA bridge header: the header is read off, then the trigger.
    ZroKih header;
    ASSERT_EQ(message.writeItem(header), 1);
    EXPECT_EQ(message.messageLength(), 864u);
    EXPECT_EQ(str(header.format()), "ZRTRIG  ");
    message.setDataOffset(0);
    ZroKih readHeader;
    ASSERT_EQ(message.readItem(readHeader), 1);
    EXPECT_EQ(message.formatIs("ZRTRIG  "), 1);
    ZroTrg inner;
    ASSERT_EQ(message.readItem(inner), 1);
    EXPECT_EQ(recordOf(inner), recordOf(trigger));
    EXPECT_EQ(message.dataOffset(), 864u);
}

TEST_F(ZroTrgTest, CharacterFormOfANewTrigger)
{
    ZroTrg trigger;
    const std::string form = characterForm(trigger);
    EXPECT_EQ(form.substr(0, 4), "TMC ");
    EXPECT_EQ(form.substr(4, 4), "   2");
    EXPECT_EQ(form.substr(8, 48), blanks(48));
    EXPECT_EQ(form.substr(56, 48), blanks(48));
    EXPECT_EQ(form.substr(104, 64), blanks(64));
    EXPECT_EQ(form.substr(168, 4), "   0");
    EXPECT_EQ(form.substr(172, 256), blanks(256));
    EXPECT_EQ(form.substr(428, 128), blanks(128));
    EXPECT_EQ(form.substr(556, 128), blanks(128));
    EXPECT_EQ(form.substr(684, 48), blanks(48));
    EXPECT_EQ(form.size(), 732u);
    expectCodes(trigger, 0, 0);
    expectNoText();
}

TEST_F(ZroTrgTest, CharacterFormOfAReceivedTrigger)
{
    ZroMsg message;
    load(message, peerRecord(7));
    ZroTrg trigger;
    ASSERT_EQ(trigger.pasteIn(message), 1);
    const std::string form = characterForm(trigger);
    EXPECT_EQ(form.substr(0, 4), "TMC ");
    EXPECT_EQ(form.substr(4, 4), "   2") << "not the version of the record";
    EXPECT_EQ(form.substr(8, 48), "APP.INITQ" + blanks(39));
    EXPECT_EQ(form.substr(56, 48), "PROC1" + blanks(43));
    EXPECT_EQ(form.substr(104, 64), "  data with leading blanks" + blanks(38));
    EXPECT_EQ(form.substr(168, 4), "   7");
    EXPECT_EQ(form.substr(172, 256), std::string(256, 'a'));
    EXPECT_EQ(form.substr(428, 128), "ENV=1" + blanks(123));
    EXPECT_EQ(form.substr(556, 128), "user" + blanks(124)) << "up to the first NUL";
    EXPECT_EQ(form.substr(684, 48), blanks(48));

    // A name set by the application: its characters, then blanks.
    trigger.setQueueName("QUEUE");
    EXPECT_EQ(characterForm(trigger).substr(8, 48), "QUEUE" + blanks(43));
    expectCodes(trigger, 0, 0);
}

TEST_F(ZroTrgTest, SpareIntegerIsRightAlignedInFourCharacters)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0, "   0"},         {7, "   7"},         {-5, "  -5"},     {42, "  42"},
        {-99, " -99"},       {999, " 999"},       {1234, "1234"},   {-123, "-123"},
        {-1234, "-123"},     {12345, "1234"},     {123456, "1234"}, {98765, "9876"},
        {INT32_MAX, "2147"}, {INT32_MIN, "-214"}, {-1, "  -1"},     {1000, "1000"}};
    for (auto [value, text] : cases) {
        ZroMsg message;
        load(message, peerRecord(value));
        ZroTrg trigger;
        ASSERT_EQ(trigger.pasteIn(message), 1);
        EXPECT_EQ(characterForm(trigger).substr(168, 4), text) << value;
    }
}

TEST_F(ZroTrgTest, CharacterFormFailuresAndUnreportedFieldCopies)
{
    ZroTrg trigger;
    clearEvents();
    EXPECT_EQ(trigger.copyOut(static_cast<ZRTMC2*>(nullptr)), 0);
    expectCodes(trigger, 2, 6108);
    expectOnlyText(51, "ZroTrigger::copyOut (error): null pointer to ZRTMC2");
    EXPECT_TRUE(records().empty());

    // Success afterwards leaves the codes of the failure.
    trigger.setQueueName("Q");
    EXPECT_EQ(characterForm(trigger).substr(8, 2), "Q ");
    expectCodes(trigger, 2, 6108);

    // A field the string copy may not write stays as it was; the
    // conversion still succeeds and the object's codes are not touched.
    trigger.clearErrorCodes();
    ZRTMC2 form;
    std::memset(&form, 'X', sizeof form);
    refuse(form.processName, sizeof form.processName, 2);
    EXPECT_EQ(trigger.copyOut(&form), 1);
    expectCodes(trigger, 0, 0);
    EXPECT_EQ(std::string(form.processName, 48), std::string(48, 'X'));
    EXPECT_EQ(std::string(form.queueName, 48), "Q" + blanks(47));
    EXPECT_EQ(std::string(form.triggerData, 64), blanks(64));
    allowAll();

    // Without storage for the field texts every text field comes out
    // blank; nothing is left undefined.
    trigger.setUserData("lost");
    failAllocation(1, true);
    const std::string starved = characterForm(trigger);
    failAllocation(0);
    EXPECT_EQ(starved.substr(8, 48), blanks(48));
    EXPECT_EQ(starved.substr(556, 128), blanks(128));
    EXPECT_EQ(starved.substr(168, 4), "   0");
    EXPECT_EQ(starved.find('X'), std::string::npos);
    expectCodes(trigger, 0, 0);
}

TEST_F(ZroTrgTest, CopyAndAssignmentCopyCodesAndRecord)
{
    ZroMsg message;
    load(message, peerRecord(-3));
    ZroTrg source;
    ASSERT_EQ(source.pasteIn(message), 1);
    source.copyOut(static_cast<ZRTMC2*>(nullptr));
    const std::string bytes = recordOf(source);

    ZroTrg copy(source);
    expectCodes(copy, 2, 6108);
    EXPECT_EQ(recordOf(copy), bytes);

    ZroTrg assigned;
    assigned = source;
    expectCodes(assigned, 2, 6108);
    EXPECT_EQ(recordOf(assigned), bytes);

    assigned.setQueueName("OTHER");
    EXPECT_EQ(str(source.queueName()), "APP.INITQ");
    ZroTrg& self = assigned;
    assigned = self;
    EXPECT_EQ(str(assigned.queueName()), "OTHER");
    expectCodes(assigned, 2, 6108);
}
