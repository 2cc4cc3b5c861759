// ZroChl: the defaults of a new record (read through the field table), the
// connection and peer names, the exit lists of both directions, the
// compression lists, copies and assignment, and new running out of storage.
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "zrochl_probe.hpp"
#include "zroi/zrofields.hpp"
#include "zronew.hpp"
#include "zrotest.hpp"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes image(const ChannelProbe& c) { return Bytes(c.bytes(), c.bytes() + sizeof(ZRCD)); }

// `width` bytes at `p`, NULs included ("" for no block).
std::string at(const char* p, std::size_t width)
{
    return p != nullptr ? std::string(p, width) : std::string();
}

std::string padded(std::string text, std::size_t width)
{
    text.resize(width, '\0');
    return text;
}

std::string textOf(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }

std::string letters(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
    return s;
}

// Runs `f` with the `nth` new from now failing; true when it threw bad_alloc.
template <class F> bool failsAtNew(unsigned nth, F f)
{
    zroTestFailNew(nth);
    bool threw = false;
    try {
        f();
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    zroTestFailNew(0);
    return threw;
}

const char TRUNCATED[] = "static ZroString::copy (warning): string truncated";
const char SOURCE_ERROR[] = "ZroString::copy (error): source buffer error";

// The integer fields of a new record that are not 0, as name=value (every
// slot of a list holds the value).
const char DEFAULTS[] = "word20=8 word24=1 transportType=1 word304=50 word308=6000 word312=10 "
                        "word316=60 word320=999999999 word324=1200 word840=999999999 "
                        "maximumMessageLength=4194304 word848=1 word1020=1 word1472=10 "
                        "word1476=1000 heartBeatInterval=300 word1488=2 recordLength=1840 "
                        "exitNameLength=128 exitDataLength=32 keepAliveInterval=-1 "
                        "headerCompression=-1 messageCompression=-1 word1828=50";

} // namespace

using ZroChlTest = ZroTest;

TEST_F(ZroChlTest, NewRecordHoldsItsDefaultsAndZerosElsewhere)
{
    ChannelProbe channel;
    Bytes expected(sizeof(ZRCD), 0); // padding included
    std::istringstream in(DEFAULTS);
    for (std::string name; std::getline(in, name, '=');) {
        int32_t value = 0;
        in >> value >> std::ws;
        if (name == "recordLength") value = ZRCD_LENGTH; // 1840 with 4-byte pointers
        const zroi::Field* field = zroi::fields<ZroChl>().find(name);
        ASSERT_NE(field, nullptr) << name;
        for (uint32_t i = 0; i < field->width; i += 4)
            std::memcpy(&expected[field->offset + i], &value, 4);
    }
    EXPECT_EQ(image(channel), expected);
    expectCodes(channel, 0, 0);
    EXPECT_TRUE(events().empty());
}

TEST_F(ZroChlTest, ConnectionNameHasAShortAndALongForm)
{
    ChannelProbe channel;
    ZRCD& r = channel.record();
    // Each form takes what fits; every cut is one warning that stays.
    for (std::size_t length : {18, 30, 300}) {
        SCOPED_TRACE(length);
        channel.clearErrorCodes();
        clearEvents();
        const std::string text = letters(length);
        EXPECT_EQ(channel.setConnectionName(text.c_str()), 1);
        EXPECT_EQ(at(r.shortConnectionName, 20), padded(text.substr(0, 20), 20));
        EXPECT_EQ(at(r.connectionName, 264), padded(text.substr(0, 264), 264));
        const std::size_t cuts = (length > 20) + (length > 264);
        EXPECT_EQ(texts(), std::vector<std::string>(cuts, TRUNCATED));
        expectCodes(channel, cuts > 0 ? 1 : 0, cuts > 0 ? 6115 : 0);
    }
    std::memcpy(r.shortConnectionName, "other", 5); // the getter reads the long form
    EXPECT_EQ(textOf(channel.connectionName()), letters(264));

    // An unreadable text changes neither form.
    const Bytes before = image(channel);
    const char unreadable[] = "b";
    refuse(unreadable, 1, 1);
    clearEvents();
    EXPECT_EQ(channel.setConnectionName(unreadable), 0);
    expectOnlyText(43, SOURCE_ERROR);
    expectCodes(channel, 2, 2145);
    EXPECT_EQ(image(channel), before);
}

TEST_F(ZroChlTest, SslPeerNameIsOwnedAndSizedToTheText)
{
    ChannelProbe channel;
    ZRCD& r = channel.record();
    for (std::string name : {"CN=first, O=x  ", "CN=second"}) {
        EXPECT_EQ(channel.setSslPeerName(name.c_str()), 1);
        EXPECT_EQ(r.sslPeerNameLength, static_cast<int32_t>(name.size()));
        EXPECT_EQ(at(r.sslPeerNamePointer, name.size()), name);
    }
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=second");
    expectNoText();
    expectCodes(channel, 0, 0);

    // An unreadable text keeps the current name.
    const char unreadable[] = "CN=refused";
    refuse(unreadable, 1, 1);
    EXPECT_EQ(channel.setSslPeerName(unreadable), 0);
    expectOnlyText(43, SOURCE_ERROR);
    expectCodes(channel, 2, 2145);
    EXPECT_EQ(at(r.sslPeerNamePointer, r.sslPeerNameLength), "CN=second");

    // Empty and null texts: length 0; a NUL written into the name ends it.
    for (const char* none : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(channel.setSslPeerName(none), 1);
        EXPECT_EQ(r.sslPeerNameLength, 0);
        EXPECT_EQ(channel.sslPeerName().length(), 0u);
    }
    channel.setSslPeerName("CN=abc  ");
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=abc");
    r.sslPeerNamePointer[3] = '\0';
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=");
    EXPECT_TRUE(records().empty());

    // A getter without storage for its string reports it there.
    failAllocation(1);
    expectCodes(channel.sslPeerName(), 2, 2071);
}

// ---- Exit lists, for the send and the receive direction alike ---------------

namespace {

struct Side {
    const char* name;
    ZroStr (*exitName)(ZroChl&);
    unsigned char (*exitNames)(ZroChl&, unsigned, ZroStr* const*);
    ZroStr (*userData)(ZroChl&);
    unsigned char (*userDataList)(ZroChl&, unsigned, ZroStr* const*);
    unsigned char (*setExitName)(ZroChl&, const char*);
    unsigned char (*setExitNames)(ZroChl&, unsigned, const char* const*);
    unsigned char (*setExitStrings)(ZroChl&, unsigned, const ZroStr* const*);
    unsigned char (*setUserData)(ZroChl&, const char*);
    unsigned char (*setUserDataList)(ZroChl&, unsigned, const char* const*);
    unsigned char (*setUserDataStrings)(ZroChl&, unsigned, const ZroStr* const*);
    unsigned (*count)(const ZroChl&);
    char* ZRCD::*names;
    char* ZRCD::*data;
    char* ZRCD::*otherNames; // the other direction's list, never touched
};

// clang-format off
#define SIDE(Name, name, other)                                                                  \
    Side{#name,                                                                                  \
         [](ZroChl& c) { return c.name##ExitName(); },                                           \
         [](ZroChl& c, unsigned n, ZroStr* const* s) { return c.name##ExitNames(n, s); },        \
         [](ZroChl& c) { return c.name##UserData(); },                                           \
         [](ZroChl& c, unsigned n, ZroStr* const* s) { return c.name##UserData(n, s); },         \
         [](ZroChl& c, const char* t) { return c.set##Name##ExitName(t); },                      \
         [](ZroChl& c, unsigned n, auto t) { return c.set##Name##ExitNames(n, t); },             \
         [](ZroChl& c, unsigned n, auto t) { return c.set##Name##ExitNames(n, t); },             \
         [](ZroChl& c, const char* t) { return c.set##Name##UserData(t); },                      \
         [](ZroChl& c, unsigned n, auto t) { return c.set##Name##UserData(n, t); },              \
         [](ZroChl& c, unsigned n, auto t) { return c.set##Name##UserData(n, t); },              \
         [](const ZroChl& c) { return c.name##ExitCount(); },                                    \
         &ZRCD::name##ExitNameList, &ZRCD::name##ExitDataList, &ZRCD::other##ExitNameList}
// clang-format on

void PrintTo(const Side& side, std::ostream* out) { *out << side.name; }

constexpr std::size_t NAME = 128; // entry widths of a new channel
constexpr std::size_t DATA = 32;

class ZroChlExitsTest : public ZroTest, public ::testing::WithParamInterface<Side> {
protected:
    const Side& side = GetParam();
    ChannelProbe channel;

    // Both lists of the direction: every name entry, then every user data entry.
    std::string lists()
    {
        const ZRCD& r = channel.record();
        const unsigned n = side.count(channel);
        return at(r.*side.names, n * NAME) + "|" + at(r.*side.data, n * DATA);
    }
    static std::string expected(std::vector<std::string> names, std::vector<std::string> data)
    {
        data.resize(names.size());
        std::string all;
        for (const std::string& name : names) all += padded(name, NAME);
        all += "|";
        for (const std::string& text : data) all += padded(text, DATA);
        return all;
    }
    unsigned char setNames(std::vector<const char*> list)
    {
        return side.setExitNames(channel, static_cast<unsigned>(list.size()), list.data());
    }
    unsigned char setData(std::vector<const char*> list)
    {
        return side.setUserDataList(channel, static_cast<unsigned>(list.size()), list.data());
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(BothDirections, ZroChlExitsTest,
                         ::testing::Values(SIDE(Send, send, receive), SIDE(Receive, receive, send)),
                         [](const ::testing::TestParamInfo<Side>& info) {
                             return std::string(info.param.name);
                         });
#undef SIDE

TEST_P(ZroChlExitsTest, NamesSizeBothListsAndClearTheUserData)
{
    EXPECT_EQ(setNames({"A", "B"}), 1);
    EXPECT_EQ(lists(), expected({"A", "B"}, {}));
    EXPECT_EQ(setData({"data0"}), 1); // entry 1 stays all NUL
    EXPECT_EQ(lists(), expected({"A", "B"}, {"data0"}));
    EXPECT_EQ(textOf(side.exitName(channel)) + textOf(side.userData(channel)), "Adata0");
    EXPECT_EQ(setData({"x", "y"}), 1);
    EXPECT_EQ(lists(), expected({"A", "B"}, {"x", "y"}));

    // The same count keeps both blocks but clears every user data entry.
    const char* blocks[] = {channel.record().*side.names, channel.record().*side.data};
    EXPECT_EQ(setNames({"C", "D"}), 1);
    EXPECT_EQ(lists(), expected({"C", "D"}, {}));
    EXPECT_EQ(channel.record().*side.names, blocks[0]);
    EXPECT_EQ(channel.record().*side.data, blocks[1]);
    // Another count replaces both; a name as wide as its entry has no NUL.
    const std::string wide(NAME, 'w');
    EXPECT_EQ(setNames({"E", "F", wide.c_str()}), 1);
    EXPECT_EQ(lists(), expected({"E", "F", wide}, {}));
    EXPECT_EQ(side.setExitName(channel, "only"), 1);
    EXPECT_EQ(lists(), expected({"only"}, {}));
    expectNoText();

    // "", null, or count 0 with no array: no exits, no lists.
    for (int how = 0; how < 3; ++how) {
        side.setExitName(channel, "again");
        EXPECT_EQ(how == 2 ? side.setExitNames(channel, 0, nullptr)
                           : side.setExitName(channel, how == 0 ? "" : nullptr),
                  1);
        EXPECT_EQ(side.count(channel), 0u);
        EXPECT_EQ(channel.record().*side.names, nullptr);
        EXPECT_EQ(channel.record().*side.data, nullptr);
    }
    EXPECT_EQ(textOf(side.exitName(channel)) + textOf(side.userData(channel)), "");
    EXPECT_EQ(channel.record().*side.otherNames, nullptr);
    expectCodes(channel, 0, 0);
    EXPECT_TRUE(records().empty()); // the exit operations trace nothing
}

TEST_P(ZroChlExitsTest, ChecksRunBeforeAnythingChanges)
{
    setNames({"old1", "old2"});
    setData({"d1", "d2"});
    const Bytes before = image(channel);
    const std::string old = lists();
    clearEvents();
    auto expectRefused = [&](unsigned char result, int32_t reason) {
        EXPECT_EQ(result, 0);
        expectCodes(channel, 2, reason);
        channel.clearErrorCodes();
    };
    // The first bad entry decides; the array is not read for a count that
    // cannot be right. No texts: a null array.
    const struct {
        bool userData;
        unsigned count;
        std::vector<const char*> texts;
        int32_t reason;
    } rows[] = {
        {false, 3, {}, 6108},
        {false, 0xFFFFFFFFu, {}, 6108},
        {false, 3, {"a", "", "c"}, 2010},
        {false, 3, {"a", nullptr, "c"}, 6108},
        {false, 3, {"a", "", nullptr}, 2010},
        {false, 3, {"a", nullptr, ""}, 6108},
        {true, 3, {"a", "b", "c"}, 2316},
        {true, 0xFFFFFFFFu, {"a"}, 2316},
    };
    for (const auto& row : rows) {
        const char* const* texts = row.texts.empty() ? nullptr : row.texts.data();
        expectRefused(row.userData ? side.setUserDataList(channel, row.count, texts)
                                   : side.setExitNames(channel, row.count, texts),
                      row.reason);
    }
    // The string forms: a string of length 0, with or without storage, is empty.
    ZroStr good("good"), none, nul('\0'), second("second");
    const ZroStr* noStorage[] = {&good, &none};
    const ZroStr* emptyText[] = {&nul, nullptr};
    const ZroStr* nullEntry[] = {&good, nullptr, &none};
    expectRefused(side.setExitStrings(channel, 1, nullptr), 6108);
    expectRefused(side.setExitStrings(channel, 2, noStorage), 2010);
    expectRefused(side.setExitStrings(channel, 2, emptyText), 2010);
    expectRefused(side.setExitStrings(channel, 3, nullEntry), 6108);
    expectRefused(side.setUserDataStrings(channel, 3, nullEntry), 2316);
    EXPECT_EQ(image(channel), before);
    EXPECT_EQ(lists(), old);
    expectNoText(); // the channel writes no text for these

    // Bad entries after count are not looked at.
    const char* tail[] = {"p", "q", "", nullptr};
    EXPECT_EQ(side.setExitNames(channel, 2, tail), 1);
    EXPECT_EQ(lists(), expected({"p", "q"}, {}));
    const ZroStr* strings[] = {&good, &second, nullptr};
    EXPECT_EQ(side.setExitStrings(channel, 2, strings), 1);
    EXPECT_EQ(lists(), expected({"good", "second"}, {}));
    // A user data entry that may not be written stops the setter.
    refuse(channel.record().*side.data + DATA, 1, 2);
    expectRefused(side.setUserData(channel, "x"), ZRRC_TARGET_BUFFER_ERROR);
    allowAll();
    // No exits: even a single user data text is one too many; count 0 is fine.
    EXPECT_EQ(side.setExitName(channel, nullptr), 1);
    expectRefused(side.setUserData(channel, "x"), 2316);
    EXPECT_EQ(side.setUserDataList(channel, 0, nullptr), 1);
    expectCodes(channel, 0, 0);
}

TEST_P(ZroChlExitsTest, UserDataWithoutATextIsAllNul)
{
    setNames({"e1", "e2"});
    setData({"a", "b"});
    EXPECT_EQ(side.setUserDataList(channel, 2, nullptr), 1); // a null array
    EXPECT_EQ(lists(), expected({"e1", "e2"}, {}));
    EXPECT_EQ(setData({nullptr, "z"}), 1); // a null entry
    EXPECT_EQ(lists(), expected({"e1", "e2"}, {"", "z"}));
    ZroStr first("first"), none;
    const ZroStr* strings[] = {&first, nullptr};
    EXPECT_EQ(side.setUserDataStrings(channel, 2, strings), 1);
    EXPECT_EQ(lists(), expected({"e1", "e2"}, {"first"}));
    const ZroStr* empty[] = {&none}; // a string without storage
    EXPECT_EQ(side.setUserDataStrings(channel, 1, empty), 1);
    EXPECT_EQ(lists(), expected({"e1", "e2"}, {}));
    setData({"a", "b"});
    EXPECT_EQ(side.setUserData(channel, "single"), 1); // and clears the others
    EXPECT_EQ(lists(), expected({"e1", "e2"}, {"single"}));
    expectNoText();
    expectCodes(channel, 0, 0);
}

TEST_P(ZroChlExitsTest, ReadingListsFillsTheCallersStrings)
{
    // Nothing to do: success, strings untouched.
    ZroStr a("keep"), b("keep"), c("keep");
    ZroStr* strings[] = {&a, nullptr, &c};
    EXPECT_EQ(side.exitNames(channel, 3, nullptr) + side.exitNames(channel, 0, strings), 2);
    EXPECT_EQ(textOf(a), "keep");
    // Beyond the last exit the strings become empty; null pointers are
    // skipped; trailing blanks are kept.
    side.setExitName(channel, "exit1  ");
    side.setUserData(channel, "data1 ");
    EXPECT_EQ(side.exitNames(channel, 3, strings), 1);
    EXPECT_EQ(textOf(a) + "|" + textOf(b) + "|" + textOf(c), "exit1  |keep|");
    ZroStr* dataStrings[] = {&b, &c};
    EXPECT_EQ(side.userDataList(channel, 2, dataStrings), 1);
    EXPECT_EQ(textOf(b) + "|" + textOf(c), "data1 |");
    expectNoText();
    expectCodes(channel, 0, 0);

    // A string that gets no storage passes its codes to the channel; the
    // strings after it are still set.
    setNames({"n1", "n2"});
    ZroStr x, y;
    ZroStr* two[] = {&x, &y};
    failAllocation(1);
    EXPECT_EQ(side.exitNames(channel, 2, two), 0);
    expectCodes(x, 2, 2071);
    expectCodes(channel, 2, 2071);
    EXPECT_EQ(textOf(y), "n2");
    for (auto first : {side.exitName, side.userData}) {
        channel.clearErrorCodes();
        failAllocation(1);
        expectCodes(first(channel), 2, 2071);
        expectCodes(channel, 2, 2071);
    }
    // An entry that fails the read check: the string's 2004 comes across.
    channel.clearErrorCodes();
    refuse(channel.record().*side.names + NAME, NAME, 1);
    clearEvents();
    EXPECT_EQ(side.exitNames(channel, 2, two), 0);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    expectCodes(channel, 2, 2004);
    EXPECT_EQ(textOf(x), "n1");
}

// ---- Compression lists, copies and assignment ---------------------------------

TEST_F(ZroChlTest, CompressionListsEndAtTheFirstUnusedSlot)
{
    ChannelProbe channel;
    int32_t values[20];
    for (int32_t i = 0; i < 20; ++i) values[i] = i == 2 ? INT32_MIN : i + 1;
    const int32_t withEnd[] = {8, -1, 6};
    // Each row: the list, what is given, the slots then, the count. Slots
    // after the values given are unused (-1); more values than slots store
    // as many as fit; no value is refused.
    const struct {
        bool header;
        unsigned count;
        const int32_t* given;
        std::vector<int32_t> slots;
        unsigned inUse;
    } rows[] = {
        {true, 1, values, {1, -1}, 1},
        {true, 3, values + 1, {2, INT32_MIN}, 2},
        {true, 2, withEnd, {8, -1}, 1},
        {true, 2, nullptr, {-1, -1}, 0},
        {true, 0, values, {-1, -1}, 0},
        {false, 20, values, {1, 2, INT32_MIN, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 16},
        {false, 3, withEnd, {8, -1, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 1},
        {false, 2, values, {1, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 2},
    };
    for (const auto& row : rows) {
        const std::size_t n = row.slots.size();
        std::vector<int32_t> read(n + 2, 5);
        if (row.header) {
            EXPECT_EQ(channel.setHeaderCompression(row.count, row.given), 1);
            EXPECT_EQ(channel.headerCompressionCount(), row.inUse);
            EXPECT_EQ(channel.headerCompression(static_cast<unsigned>(n + 2), read.data()), 1);
        } else {
            EXPECT_EQ(channel.setMessageCompression(row.count, row.given), 1);
            EXPECT_EQ(channel.messageCompressionCount(), row.inUse);
            EXPECT_EQ(channel.messageCompression(static_cast<unsigned>(n + 2), read.data()), 1);
        }
        // Reading gives min(count, slots) values, never more.
        std::vector<int32_t> slots = row.slots;
        slots.insert(slots.end(), {5, 5});
        EXPECT_EQ(read, slots);
    }
    int32_t one = 7;
    EXPECT_EQ(channel.headerCompression(1, &one) + channel.headerCompression(2, nullptr), 2);
    EXPECT_EQ(one, -1);
    EXPECT_EQ(channel.record().word1820, 0); // nothing written past either list
    EXPECT_TRUE(records().empty());
    expectCodes(channel, 0, 0);
}

TEST_F(ZroChlTest, CopiesAndAssignmentOwnTheirRecordPeerNameAndLists)
{
    auto source = std::make_unique<ChannelProbe>();
    const char* names[] = {"sendA", "sendB", "recv"};
    source->setSendExitNames(2, names);
    source->setSendUserData(2, names);
    source->setReceiveExitNames(1, names + 2);
    source->setSslPeerName("CN=source");
    source->setSecurityUserData(letters(40).c_str()); // leaves 1/6115
    ChannelProbe copy(*source), assigned;
    assigned.setReceiveExitNames(3, names);
    assigned.setSslPeerName("CN=assigned");
    ZRCD* own = &assigned.record();
    assigned = *source;
    EXPECT_EQ(&assigned.record(), own);
    const std::size_t pointers[] = {
        offsetof(ZRCD, sendExitNameList), offsetof(ZRCD, sendExitDataList),
        offsetof(ZRCD, receiveExitNameList), offsetof(ZRCD, receiveExitDataList),
        offsetof(ZRCD, sslPeerNamePointer)};
    for (ChannelProbe* each : {&copy, &assigned}) {
        expectCodes(*each, 1, 6115);
        // Every byte the same, except the addresses of what each owns.
        Bytes mixed = image(*each);
        for (std::size_t off : pointers) {
            EXPECT_NE(std::memcmp(&mixed[off], source->bytes() + off, sizeof(char*)), 0);
            std::memcpy(&mixed[off], source->bytes() + off, sizeof(char*));
        }
        EXPECT_EQ(mixed, image(*source));
    }
    // Changing or destroying the source leaves the copies alone.
    source->setSendExitNames(1, names + 1);
    source->setSslPeerName("CN=changed");
    source.reset();
    for (ChannelProbe* each : {&copy, &assigned}) {
        ZroStr texts[2];
        ZroStr* strings[] = {&texts[0], &texts[1]};
        EXPECT_EQ(each->sendUserData(2, strings), 1);
        EXPECT_EQ(textOf(texts[0]) + textOf(texts[1]) + textOf(each->sendExitName()) +
                      textOf(each->receiveExitName()) + textOf(each->sslPeerName()),
                  "sendAsendBsendArecvCN=source");
    }
    // A source without lists or peer name leaves none; codes come along.
    ChannelProbe plain;
    assigned = plain;
    EXPECT_EQ(image(assigned), image(plain));
    expectCodes(assigned, 0, 0);
    // Assigning a channel to itself changes nothing.
    const Bytes before = image(copy);
    ZroChl& self = copy;
    copy = static_cast<const ChannelProbe&>(self);
    EXPECT_EQ(image(copy), before);
    expectCodes(copy, 1, 6115);
    EXPECT_EQ(textOf(copy.sslPeerName()), "CN=source");
}

// ---- new running out of storage: bad_alloc reaches the caller, and the
// channel stays valid, owning exactly what its record names -------------------

class ZroChlAllocationTest : public ZroTest {
protected:
    void SetUp() override
    {
        ZroTest::SetUp();
        // Under a tool that puts its own new in place of the test program's,
        // no failure can be planned.
        if (!failsAtNew(1, [] { ::operator delete(::operator new(1)); }))
            GTEST_SKIP() << "operator new is replaced by the tool running the tests";
    }

    static void expectConsistent(ChannelProbe& channel)
    {
        const ZRCD& r = channel.record();
        EXPECT_EQ(r.sendExitCount > 0, r.sendExitNameList != nullptr);
        EXPECT_EQ(r.sendExitCount > 0, r.sendExitDataList != nullptr);
        EXPECT_EQ(r.receiveExitCount > 0, r.receiveExitNameList != nullptr);
        EXPECT_EQ(r.receiveExitCount > 0, r.receiveExitDataList != nullptr);
        EXPECT_TRUE(r.sslPeerNamePointer != nullptr || r.sslPeerNameLength == 0);
    }
};

TEST_F(ZroChlAllocationTest, CopiesAndSettersPassTheFailureOnAndStayValid)
{
    EXPECT_TRUE(failsAtNew(1, [] { ChannelProbe channel; }));
    ChannelProbe source;
    const char* names[] = {"n1", "n2", "n3"};
    source.setSendExitNames(3, names);
    source.setReceiveExitNames(2, names);
    source.setSslPeerName("CN=source");
    // Record, two receive lists, two send lists, peer name: each of the six
    // allocations of a copy fails in turn, then the copy succeeds.
    for (unsigned nth = 1; nth <= 6; ++nth)
        EXPECT_TRUE(failsAtNew(nth, [&] { ChannelProbe copy(source); })) << nth;
    EXPECT_FALSE(failsAtNew(7, [&] {
        ChannelProbe copy(source);
        EXPECT_EQ(copy.sendExitCount() * 10 + copy.receiveExitCount(), 32u);
    }));
    // An assignment that fails part way leaves a channel that can be
    // assigned again and destroyed.
    for (unsigned nth = 1; nth <= 5; ++nth) {
        ChannelProbe target;
        target.setReceiveExitNames(2, names);
        target.setSslPeerName("CN=target");
        EXPECT_TRUE(failsAtNew(nth, [&] { target = source; })) << nth;
        expectConsistent(target);
        target = source;
        EXPECT_EQ(textOf(target.sendExitName()) + textOf(target.sslPeerName()), "n1CN=source");
    }

    // A list too long for the record changes nothing; no allocation is tried.
    const std::string before = at(source.record().receiveExitNameList, 256);
    EXPECT_TRUE(failsAtNew(1, [&] { source.setReceiveExitNames(0x80000000u, names); }));
    EXPECT_EQ(at(source.record().receiveExitNameList, 256), before);
    // Another count: the old lists go first, so a failure of either new
    // block leaves the direction without exits. The same count needs none.
    for (unsigned nth = 1; nth <= 2; ++nth) {
        source.setReceiveExitNames(2, names);
        EXPECT_TRUE(failsAtNew(nth, [&] { source.setReceiveExitNames(3, names); }));
        EXPECT_EQ(source.receiveExitCount(), 0u);
        expectConsistent(source);
    }
    source.setReceiveExitNames(2, names);
    EXPECT_FALSE(failsAtNew(1, [&] { source.setReceiveExitNames(2, names + 1); }));
    EXPECT_EQ(textOf(source.receiveExitName()), "n2");
    EXPECT_TRUE(failsAtNew(1, [&] { source.setSslPeerName("CN=new"); }));
    EXPECT_EQ(source.record().sslPeerNameLength, 0);
    expectConsistent(source);
}
