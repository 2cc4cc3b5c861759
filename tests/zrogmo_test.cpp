// ZroGmo and ZroGmo3 (get-message options) and ZroTrg (the trigger message
// as a message body and in its character form), their records read and
// written through the field tables.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zrofields.hpp"
#include "zroi/zrogmo.hpp"
#include "zroi/zrogmo2.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrotrg.hpp"
#include "zrotest.hpp"

namespace {

// The classes with their protected controls opened to the tests.
struct Gmo2 : ZroGmo {
    using ZroGmo::setCodes;
    using ZroGmo::setVersionSupported;
};
struct Gmo3 : ZroGmo3 {
    using ZroGmo3::setCodes;
    using ZroGmo3::setVersionSupported;
};
struct Trg : ZroTrg {
    using ZroTrg::setCodes;
};

// Puts both versions supported back as they are at load, however a test ends.
struct VersionsRestored {
    ~VersionsRestored()
    {
        Gmo2::setVersionSupported(2);
        Gmo3::setVersionSupported(3);
    }
};

template <class R> void put(std::string& record, const char* name, int32_t value)
{
    std::memcpy(&record[zroi::fields<R>().find(name)->offset], &value, 4);
}

char* bytesOf(ZroGmo& g) { return static_cast<char*>(g.record()); }
char* bytesOf(ZroGmo3& g) { return reinterpret_cast<char*>(&g.record()); }
char* bytesOf(const ZroTrg& t)
{
    return const_cast<char*>(reinterpret_cast<const char*>(&t.record()));
}
std::size_t lengthOf(const ZroGmo&) { return ZroGmo::RECORD_LENGTH; }
std::size_t lengthOf(const ZroGmo3&) { return ZroGmo3::RECORD_LENGTH; }
std::size_t lengthOf(const ZroTrg&) { return sizeof(ZRTM); }
template <class G> std::string recordOf(G& g) { return std::string(bytesOf(g), lengthOf(g)); }
// The record and the codes.
template <class G> std::string stateOf(G& g) { return recordOf(g) + " " + codesText(g); }

// A new record of `version`, as long as the class holds: "GMO ", word72 3,
// text76 blank, word96 -1, every other byte 0.
std::string defaults(int32_t version, std::size_t length)
{
    std::string r(sizeof(ZRGMO), '\0');
    r.replace(0, 4, "GMO ");
    put<ZRGMO>(r, "version", version);
    put<ZRGMO>(r, "word72", 3);
    put<ZRGMO>(r, "word96", -1);
    const zroi::Field& text = *zroi::fields<ZRGMO>().find("text76");
    r.replace(text.offset, text.width, std::string(text.width, text.pad));
    return r.substr(0, length);
}

} // namespace

using ZroGmoTest = ZroTest;

template <class T> class ZroGmoBothTest : public ZroTest {
};
using GmoTypes = ::testing::Types<Gmo2, Gmo3>;
TYPED_TEST_SUITE(ZroGmoBothTest, GmoTypes);

TYPED_TEST(ZroGmoBothTest, SyncPointParticipation)
{
    TypeParam g;
    const std::size_t length = TypeParam::RECORD_LENGTH;
    EXPECT_EQ(recordOf(g), defaults(TypeParam::versionSupported(), length));
    std::string fresh = recordOf(g);
    // Either participation bit (2 or 0x1000) means participation; setting
    // clears the other two sync point bits and keeps every other bit.
    const int32_t others = static_cast<int32_t>(0x80000001u) | 0x00000800;
    const int32_t rows[][4] = {// options, participates, set to, options then
                               {0, 0, 1, 0x00000002},
                               {0x00000004, 0, 1, 0x00000002},
                               {0x00001000, 1, 0, 0x00000004},
                               {0x00001006, 1, 5, 0x00000002},
                               {others | 0x00000001, 0, 0, others | 0x00000004},
                               {others | 0x00001004, 1, 1, others | 0x00000002},
                               {others | 0x00000002, 1, 0, others | 0x00000004}};
    for (const auto& row : rows) {
        std::string record = fresh;
        put<ZRGMO>(record, "options", row[0]);
        std::memcpy(bytesOf(g), record.data(), length);
        EXPECT_EQ(g.syncPointParticipation(), row[1]) << std::hex << row[0];
        g.setSyncPointParticipation(static_cast<unsigned char>(row[2]));
        put<ZRGMO>(record, "options", row[3]);
        EXPECT_EQ(recordOf(g), record.substr(0, length)) << std::hex << row[0];
    }
    this->expectCodes(g, 0, 0);
    EXPECT_TRUE(this->events().empty());
}

template <class T> class ZroRecordCopyTest : public ZroTest {
};
using RecordTypes = ::testing::Types<Gmo2, Gmo3, Trg>;
TYPED_TEST_SUITE(ZroRecordCopyTest, RecordTypes);

TYPED_TEST(ZroRecordCopyTest, CopiesTakeTheCodesAndEveryByte)
{
    TypeParam source, clean;
    for (unsigned i = 0; i < lengthOf(source); ++i)
        bytesOf(source)[i] = static_cast<char>(i * 7 + 1);
    source.setCodes(2, 6111);
    const std::string before = stateOf(source);
    TypeParam copy(source), assigned, cleared;
    EXPECT_NE(bytesOf(copy), bytesOf(source));
    assigned.setCodes(1, 6115);
    assigned = source;
    // Assigning a clean object clears the codes with everything else;
    // self-assignment changes nothing.
    cleared = source;
    cleared = clean;
    const TypeParam& same = source;
    source = same;
    EXPECT_EQ(stateOf(copy) + stateOf(assigned) + stateOf(source) + stateOf(cleared),
              before + before + before + stateOf(clean));
    EXPECT_TRUE(this->events().empty());
}

TEST_F(ZroGmoTest, EachClassHasItsOwnVersionSupported)
{
    VersionsRestored restore;
    EXPECT_EQ(ZroGmo::versionSupported() * 10 + ZroGmo3::versionSupported(), 23);
    ZroGmo before;
    ZroGmo3 other;
    Gmo2::setVersionSupported(1);
    Gmo3::setVersionSupported(7);
    EXPECT_EQ(ZroGmo::versionSupported() * 10 + ZroGmo3::versionSupported(), 17);
    ZroGmo after;
    ZroGmo3 later;
    EXPECT_EQ(recordOf(after) + recordOf(later), defaults(1, 80) + defaults(7, 100));
    EXPECT_EQ(later.recordLevel(), 3); // the record level never follows the version
    // Objects built earlier, and their copies, keep their version.
    after = before;
    EXPECT_EQ(recordOf(after) + recordOf(other), defaults(2, 80) + defaults(3, 100));

    // Version 3's assignment copies into its own record and needs no storage.
    const unsigned char token[] = "0123456789ABCDEF";
    later.setMessageToken(token);
    const char* own = bytesOf(other);
    const unsigned long allocations = zroi_test_allocation_count();
    failAllocation(1, true);
    other = later;
    failAllocation(0);
    EXPECT_EQ(zroi_test_allocation_count(), allocations);
    EXPECT_EQ(bytesOf(other), own);
    EXPECT_EQ(recordOf(other), recordOf(later));
}

// ---- ZroTrg ---------------------------------------------------------------

namespace {

// A received trigger message with every field in use: trailing and leading
// blanks, a field without a NUL, text hidden after a NUL.
std::string peerRecord(int32_t spare)
{
    std::string b(684, '\0');
    b.replace(0, 4, "TM  ");
    put<ZRTM>(b, "version", 3); // never read
    put<ZRTM>(b, "spareInteger", spare);
    const std::pair<const char*, std::string> texts[] = {
        {"queueName", "APP.INITQ"},        {"processName", "PROC1  "},
        {"triggerData", "  data"},         {"environmentData", "ENV=1"},
        {"applId", std::string(256, 'a')}, {"userData", std::string("user\0hidden", 11)}};
    for (const auto& text : texts)
        b.replace(zroi::fields<ZRTM>().find(text.first)->offset, text.second.size(), text.second);
    return b;
}

void load(ZroMsg& message, const std::string& data, const char* format = "ZRTRIG  ",
          int32_t encoding = 546)
{
    message.clearMessage();
    ASSERT_EQ(message.write(static_cast<unsigned>(data.size()), data.data()), 1);
    message.setDataOffset(2);
    message.setFormat(format);
    message.setEncoding(encoding);
}

std::string characterForm(ZroTrg& trigger)
{
    ZRTMC2 form;
    std::memset(&form, 'X', sizeof form); // no byte may be left as it was
    EXPECT_EQ(trigger.copyOut(&form), 1);
    return std::string(reinterpret_cast<const char*>(&form), sizeof form);
}

} // namespace

using ZroTrgTest = ZroTest;

TEST_F(ZroTrgTest, PasteInChecksInOrderThenReadsTheRecord)
{
    std::string bytes = peerRecord(7);
    ZroTrg trigger;
    trigger.setUserData("before");
    const std::string before = recordOf(trigger);
    ZroMsg message;
    load(message, "ab" + bytes.substr(0, 600), "ZRSTR   ", 273);
    message.write(4, "TMX "); // a wrong structure id first
    message.setDataOffset(2);
    // Each check in turn: the message is put right for it, then the next one fails.
    const std::pair<int32_t, std::string> steps[] = {
        {6107, "0 12:ZroItem::structureIdIs (information): structure id is not equal"
               " 52:ZroTrigger::pasteIn (error): wrong structure id"},
        {6106, "0 52:ZroTrigger::pasteIn (error): wrong message encoding"},
        {6119, "0 52:ZroTrigger::pasteIn (error): wrong message format"},
        {6114, "0 4:ZroCache::read (error): insufficient data"}};
    for (int step = 0; step < 4; ++step) {
        if (step == 1) message.write(4, "TM  ");
        if (step == 2) message.setEncoding(546);
        if (step == 3) message.setFormat("ZRTRIG  ");
        message.setDataOffset(2);
        clearEvents();
        std::string got = std::to_string(trigger.pasteIn(message));
        for (const TraceEvent& e : events())
            if (e.kind == ZRECS_TEXT) got += " " + std::to_string(e.function) + ":" + e.text;
        EXPECT_EQ(got, steps[step].second);
        EXPECT_EQ(std::to_string(message.dataOffset()) + stateOf(trigger),
                  "2" + before + " 2/" + std::to_string(steps[step].first));
        if (step == 0) { EXPECT_TRUE(records().empty()) << "pasteIn writes texts only"; }
    }
    // The whole record: read, the description of the message stays.
    load(message, "ab" + bytes + "tail");
    message.setCharacterSet(850);
    clearEvents();
    EXPECT_EQ(trigger.pasteIn(message), 1);
    expectNoText();
    EXPECT_EQ(std::to_string(message.dataOffset()) + stateOf(trigger), "686" + bytes + " 2/6114");
    EXPECT_EQ(message.formatIs("ZRTRIG  ") * message.encoding() * message.characterSet(),
              546 * 850);
    // And written back as the whole body.
    ZroMsg out;
    EXPECT_EQ(trigger.copyOut(out), 1);
    EXPECT_EQ(std::string(out.bufferPointer(), out.messageLength()), bytes);
}

// The character form: every text field blank-filled as its getter reads it,
// the spare integer right-aligned in four characters (a longer number keeps
// its first four), the rest blank; a null form refused; a field the string
// copy may not write, or without storage for the texts, left unreported.
TEST_F(ZroTrgTest, CharacterFormOfEveryFieldAndItsFailures)
{
    const std::pair<int32_t, const char*> spares[] = {
        {0, "   0"},    {7, "   7"},    {-3, "  -3"},    {999, " 999"},
        {1234, "1234"}, {-999, "-999"}, {12345, "1234"}, {INT32_MIN, "-214"}};
    for (const auto& spare : spares) {
        ZroMsg message;
        load(message, "ab" + peerRecord(spare.first));
        ZroTrg trigger;
        ASSERT_EQ(trigger.pasteIn(message), 1);
        std::string expected;
        for (const zroi::Field& field : zroi::fields<ZRTMC2>()) {
            const zroi::Field* source = zroi::fields<ZRTM>().find(field.name);
            const std::string name = field.name;
            std::string text = name == "strucId" ? "TMC " : name == "version" ? "   2" : "";
            if (name == "spareInteger")
                text = spare.second;
            else if (text.empty() && source != nullptr)
                text = zroi::fieldText(*source, &trigger.record());
            text.resize(field.width, ' ');
            expected += text;
        }
        EXPECT_EQ(characterForm(trigger), expected) << spare.first;
        expectCodes(trigger, 0, 0);
    }

    ZroTrg trigger;
    clearEvents();
    EXPECT_EQ(trigger.copyOut(static_cast<ZRTMC2*>(nullptr)), 0);
    expectCodes(trigger, 2, 6108);
    expectOnlyText(51, "ZroTrigger::copyOut (error): null pointer to ZRTMC2");

    // A field the string copy may not write stays as it was.
    trigger.clearErrorCodes();
    trigger.setQueueName("Q");
    ZRTMC2 form;
    std::memset(&form, 'X', sizeof form);
    refuse(form.processName, sizeof form.processName, 2);
    EXPECT_EQ(trigger.copyOut(&form), 1);
    expectCodes(trigger, 0, 0);
    EXPECT_EQ(std::string(form.queueName, 112),
              "Q" + std::string(47, ' ') + std::string(48, 'X') + std::string(16, ' '));
    allowAll();

    // Without storage for the field texts every text field comes out blank.
    trigger.setUserData("lost");
    failAllocation(1, true);
    const std::string starved = characterForm(trigger);
    failAllocation(0);
    EXPECT_EQ(starved, "TMC    2" + std::string(160, ' ') + "   0" + std::string(560, ' '));
    expectCodes(trigger, 0, 0);
}
