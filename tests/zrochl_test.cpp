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

    char* names() { return channel.record().*side.names; }
    char* data() { return channel.record().*side.data; }
    std::string nameEntry(unsigned i) { return at(names() + i * NAME, NAME); }
    std::string dataEntry(unsigned i) { return at(data() + i * DATA, DATA); }
    unsigned char setNames(std::vector<const char*> list)
    {
        return side.setExitNames(channel, static_cast<unsigned>(list.size()), list.data());
    }
    unsigned char setData(std::vector<const char*> list)
    {
        return side.setUserDataList(channel, static_cast<unsigned>(list.size()), list.data());
    }
    void expectDirectionEmpty()
    {
        EXPECT_EQ(side.count(channel), 0u);
        EXPECT_EQ(names(), nullptr);
        EXPECT_EQ(data(), nullptr);
    }
};

const std::string NO_DATA(DATA, '\0');

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
    EXPECT_EQ(side.count(channel), 2u);
    EXPECT_EQ(nameEntry(0) + nameEntry(1), padded("A", NAME) + padded("B", NAME));
    EXPECT_EQ(dataEntry(0) + dataEntry(1), NO_DATA + NO_DATA);
    EXPECT_EQ(textOf(side.exitName(channel)), "A");

    // User data: entry 0 set, entry 1 all NUL; then both.
    EXPECT_EQ(setData({"data0"}), 1);
    EXPECT_EQ(dataEntry(0) + dataEntry(1), padded("data0", DATA) + NO_DATA);
    EXPECT_EQ(textOf(side.userData(channel)), "data0");
    EXPECT_EQ(setData({"x", "y"}), 1);
    EXPECT_EQ(dataEntry(1), padded("y", DATA));

    // The same count keeps both blocks but clears every user data entry.
    char* nameBlock = names();
    char* dataBlock = data();
    EXPECT_EQ(setNames({"C", "D"}), 1);
    EXPECT_EQ(names(), nameBlock);
    EXPECT_EQ(data(), dataBlock);
    EXPECT_EQ(nameEntry(0), padded("C", NAME));
    EXPECT_EQ(dataEntry(0) + dataEntry(1), NO_DATA + NO_DATA);

    // Another count replaces both blocks; a name as wide as its entry has no NUL.
    std::string wide(NAME, 'w');
    EXPECT_EQ(setNames({"E", "F", wide.c_str()}), 1);
    EXPECT_EQ(side.count(channel), 3u);
    EXPECT_EQ(nameEntry(2), wide);
    EXPECT_EQ(dataEntry(2), NO_DATA);
    expectNoText();
    expectCodes(channel, 0, 0);

    // One name makes one exit; "", null, or count 0 with no array, none.
    EXPECT_EQ(side.setExitName(channel, "only"), 1);
    EXPECT_EQ(side.count(channel), 1u);
    EXPECT_EQ(nameEntry(0) + dataEntry(0), padded("only", NAME) + NO_DATA);
    EXPECT_EQ(side.setExitName(channel, ""), 1);
    expectDirectionEmpty();
    EXPECT_EQ(textOf(side.exitName(channel)) + textOf(side.userData(channel)), "");
    side.setExitName(channel, "again");
    EXPECT_EQ(side.setExitName(channel, nullptr), 1);
    expectDirectionEmpty();
    side.setExitName(channel, "again");
    EXPECT_EQ(side.setExitNames(channel, 0, nullptr), 1);
    expectDirectionEmpty();
    EXPECT_EQ(channel.record().*side.otherNames, nullptr);
    expectCodes(channel, 0, 0);
    EXPECT_TRUE(records().empty()); // the exit operations trace nothing
}

TEST_P(ZroChlExitsTest, ChecksRunBeforeAnythingChanges)
{
    setNames({"old1", "old2"});
    setData({"d1", "d2"});
    const Bytes before = image(channel);
    const std::string lists = at(names(), 2 * NAME) + at(data(), 2 * DATA);
    clearEvents();
    ZroStr good("good"), none, nul('\0');
    const ZroStr* noStorage[] = {&good, &none};
    const ZroStr* emptyText[] = {&nul, nullptr};
    const ZroStr* nullEntry[] = {&good, nullptr, &none};
    // The first bad entry decides; entries are not read for a count that
    // cannot be right. No texts: a null array.
    const struct {
        const char* what;
        bool userData;
        unsigned count;
        std::vector<const char*> texts;
        int32_t reason;
    } rows[] = {
        {"count, no array", false, 3, {}, 6108},
        {"huge count, no array", false, 0xFFFFFFFFu, {}, 6108},
        {"empty second name", false, 3, {"a", "", "c"}, 2010},
        {"null second name", false, 3, {"a", nullptr, "c"}, 6108},
        {"empty, then null", false, 3, {"a", "", nullptr}, 2010},
        {"null, then empty", false, 3, {"a", nullptr, ""}, 6108},
        {"more user data than exits", true, 3, {"a", "b", "c"}, 2316},
        {"huge user data count", true, 0xFFFFFFFFu, {"a"}, 2316},
    };
    auto expectUnchanged = [&](int32_t reason) {
        expectCodes(channel, 2, reason);
        EXPECT_EQ(image(channel), before);
        EXPECT_EQ(at(names(), 2 * NAME) + at(data(), 2 * DATA), lists);
        expectNoText(); // the channel writes no text for these
        channel.clearErrorCodes();
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const char* const* texts = row.texts.empty() ? nullptr : row.texts.data();
        EXPECT_EQ(row.userData ? side.setUserDataList(channel, row.count, texts)
                               : side.setExitNames(channel, row.count, texts),
                  0);
        expectUnchanged(row.reason);
    }
    EXPECT_EQ(side.setExitStrings(channel, 1, nullptr), 0);
    expectUnchanged(6108);
    // The string forms: a string of length 0, with or without storage, is empty.
    EXPECT_EQ(side.setExitStrings(channel, 2, noStorage), 0);
    expectUnchanged(2010);
    EXPECT_EQ(side.setExitStrings(channel, 2, emptyText), 0);
    expectUnchanged(2010);
    EXPECT_EQ(side.setExitStrings(channel, 3, nullEntry), 0);
    expectUnchanged(6108);
    EXPECT_EQ(side.setUserDataStrings(channel, 3, nullEntry), 0);
    expectUnchanged(2316);

    // Bad entries after count are not looked at.
    const char* tail[] = {"p", "q", "", nullptr};
    EXPECT_EQ(side.setExitNames(channel, 2, tail), 1);
    EXPECT_EQ(nameEntry(1), padded("q", NAME));
    ZroStr second("second");
    const ZroStr* strings[] = {&good, &second};
    EXPECT_EQ(side.setExitStrings(channel, 2, strings), 1);
    EXPECT_EQ(nameEntry(0) + nameEntry(1), padded("good", NAME) + padded("second", NAME));
    expectCodes(channel, 0, 0);

    // No exits: even a single user data text is one too many; count 0 is fine.
    EXPECT_EQ(side.setExitName(channel, nullptr), 1);
    EXPECT_EQ(side.setUserData(channel, "x"), 0);
    expectCodes(channel, 2, 2316);
    channel.clearErrorCodes();
    EXPECT_EQ(side.setUserDataList(channel, 0, nullptr), 1);
    expectCodes(channel, 0, 0);
    EXPECT_EQ(channel.record().*side.otherNames, nullptr);
}

TEST_P(ZroChlExitsTest, UserDataWithoutATextIsAllNul)
{
    setNames({"e1", "e2"});
    const std::string namesBefore = at(names(), 2 * NAME);
    setData({"a", "b"});
    EXPECT_EQ(side.setUserDataList(channel, 2, nullptr), 1); // a null array
    EXPECT_EQ(dataEntry(0) + dataEntry(1), NO_DATA + NO_DATA);
    EXPECT_EQ(setData({nullptr, "z"}), 1); // a null entry
    EXPECT_EQ(dataEntry(0) + dataEntry(1), NO_DATA + padded("z", DATA));
    ZroStr first("first"), none;
    const ZroStr* strings[] = {&first, nullptr};
    EXPECT_EQ(side.setUserDataStrings(channel, 2, strings), 1);
    EXPECT_EQ(dataEntry(0) + dataEntry(1), padded("first", DATA) + NO_DATA);
    const ZroStr* empty[] = {&none}; // a string without storage
    EXPECT_EQ(side.setUserDataStrings(channel, 1, empty), 1);
    EXPECT_EQ(dataEntry(0), NO_DATA);
    // A single text sets entry 0 and clears the others.
    setData({"a", "b"});
    EXPECT_EQ(side.setUserData(channel, "single"), 1);
    EXPECT_EQ(dataEntry(0) + dataEntry(1), padded("single", DATA) + NO_DATA);
    EXPECT_EQ(at(names(), 2 * NAME), namesBefore);
    expectNoText();
    expectCodes(channel, 0, 0);
}

TEST_P(ZroChlExitsTest, ReadingListsFillsTheCallersStrings)
{
    // Nothing to do: success, strings untouched.
    ZroStr a("keep"), b("keep"), c("keep");
    ZroStr* strings[] = {&a, nullptr, &c};
    EXPECT_EQ(side.exitNames(channel, 3, nullptr), 1);
    EXPECT_EQ(side.exitNames(channel, 0, strings), 1);
    EXPECT_EQ(textOf(a), "keep");

    // Beyond the last exit the strings become empty; null pointers are skipped.
    side.setExitName(channel, "exit1  ");
    side.setUserData(channel, "data1 ");
    EXPECT_EQ(side.exitNames(channel, 3, strings), 1);
    EXPECT_EQ(textOf(a) + "|" + textOf(b) + "|" + textOf(c), "exit1  |keep|");
    ZroStr* dataStrings[] = {&b, &c};
    EXPECT_EQ(side.userDataList(channel, 2, dataStrings), 1);
    EXPECT_EQ(textOf(b) + "|" + textOf(c), "data1 |");
    EXPECT_EQ(textOf(side.userData(channel)), "data1 ");
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
    refuse(names() + NAME, NAME, 1);
    clearEvents();
    EXPECT_EQ(side.exitNames(channel, 2, two), 0);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    expectCodes(channel, 2, 2004);
    EXPECT_EQ(textOf(x), "n1");
}

// ---- Compression lists ------------------------------------------------------

TEST_F(ZroChlTest, CompressionListsEndAtTheFirstUnusedSlot)
{
    ChannelProbe channel;
    ZRCD& r = channel.record();
    EXPECT_EQ(channel.headerCompressionCount(), 0u);
    EXPECT_EQ(channel.messageCompressionCount(), 0u);
    const int32_t values[] = {8, 7, 99};
    EXPECT_EQ(channel.setHeaderCompression(1, values), 1);
    EXPECT_EQ(r.headerCompression[0], 8);
    EXPECT_EQ(r.headerCompression[1], -1);
    EXPECT_EQ(channel.headerCompressionCount(), 1u);
    // More values than slots store two; the next field stays.
    EXPECT_EQ(channel.setHeaderCompression(3, values), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 2u);
    EXPECT_EQ(r.messageCompression[0], -1);
    const int32_t withEnd[] = {INT32_MIN, -1};
    EXPECT_EQ(channel.setHeaderCompression(2, withEnd), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 1u);

    // Reading gives min(count, slots) values, -1 markers included.
    int32_t out[4] = {5, 5, 5, 5};
    EXPECT_EQ(channel.headerCompression(1, out), 1);
    EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{INT32_MIN, 5, 5, 5}));
    EXPECT_EQ(channel.headerCompression(4, out), 1);
    EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{INT32_MIN, -1, 5, 5}));
    // Null arrays: nothing read; a null or empty list sets every slot unused.
    EXPECT_EQ(channel.headerCompression(2, nullptr), 1);
    EXPECT_EQ(channel.setHeaderCompression(2, nullptr), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 0u);
    channel.setHeaderCompression(2, values);
    EXPECT_EQ(channel.setHeaderCompression(0, values), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 0u);

    int32_t many[20], back[20] = {};
    for (int32_t i = 0; i < 20; ++i) many[i] = i + 1;
    EXPECT_EQ(channel.setMessageCompression(20, many), 1);
    EXPECT_EQ(channel.messageCompressionCount(), 16u);
    EXPECT_EQ(r.word1820, 0); // nothing written past the list
    EXPECT_EQ(channel.messageCompression(20, back), 1);
    EXPECT_EQ(
        std::vector<int32_t>(back, back + 20),
        (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0}));
    EXPECT_EQ(channel.setMessageCompression(3, many), 1);
    EXPECT_EQ(channel.messageCompressionCount(), 3u);
    const int32_t gap[] = {4, -1, 6};
    channel.setMessageCompression(3, gap);
    EXPECT_EQ(channel.messageCompressionCount(), 1u);
    EXPECT_EQ(r.messageCompression[2], 6); // passed on as given
    EXPECT_TRUE(events().empty());
    expectCodes(channel, 0, 0);
}

// ---- Copies and assignment ---------------------------------------------------

TEST_F(ZroChlTest, CopyOwnsItsRecordPeerNameAndLists)
{
    auto source = std::make_unique<ChannelProbe>();
    source->setChannelName("CHL.A");
    source->setSslPeerName("CN=source");
    const char* sendNames[] = {"sendA", "sendB"};
    source->setSendExitNames(2, sendNames);
    source->setSendUserData(2, sendNames);
    source->setReceiveExitNames(1, sendNames + 1);
    source->setSecurityUserData(letters(40).c_str()); // leaves 1/6115

    ChannelProbe copy(*source);
    expectCodes(copy, 1, 6115);
    const ZRCD& s = source->record();
    const ZRCD& c = copy.record();
    // Every byte the same, except the addresses of what the copy owns.
    Bytes mixed = image(copy);
    for (std::size_t off :
         {offsetof(ZRCD, sendExitNameList), offsetof(ZRCD, sendExitDataList),
          offsetof(ZRCD, receiveExitNameList), offsetof(ZRCD, receiveExitDataList),
          offsetof(ZRCD, sslPeerNamePointer)})
        std::memcpy(&mixed[off], source->bytes() + off, sizeof(char*));
    EXPECT_EQ(mixed, image(*source));
    EXPECT_NE(c.sendExitNameList, s.sendExitNameList);
    EXPECT_NE(c.sendExitDataList, s.sendExitDataList);
    EXPECT_NE(c.receiveExitNameList, s.receiveExitNameList);
    EXPECT_NE(c.receiveExitDataList, s.receiveExitDataList);
    EXPECT_NE(c.sslPeerNamePointer, s.sslPeerNamePointer);
    EXPECT_EQ(at(c.sendExitNameList, 256), at(s.sendExitNameList, 256));
    EXPECT_EQ(at(c.sendExitDataList, 64), at(s.sendExitDataList, 64));
    EXPECT_EQ(at(c.receiveExitNameList, 128), at(s.receiveExitNameList, 128));
    EXPECT_EQ(at(c.receiveExitDataList, 32), at(s.receiveExitDataList, 32));

    // Changing or destroying the source leaves the copy alone.
    source->setSendExitNames(1, sendNames + 1);
    source->setSslPeerName("CN=changed");
    source.reset();
    ZroStr names[2];
    ZroStr* strings[] = {&names[0], &names[1]};
    EXPECT_EQ(copy.sendUserData(2, strings), 1);
    EXPECT_EQ(textOf(names[0]) + textOf(names[1]), "sendAsendB");
    EXPECT_EQ(textOf(copy.receiveExitName()), "sendB");
    EXPECT_EQ(textOf(copy.sslPeerName()), "CN=source");
}

TEST_F(ZroChlTest, AssignmentReleasesThenCopiesIntoTheSameRecord)
{
    ChannelProbe target;
    const char* names[] = {"a", "b", "c"};
    target.setReceiveExitNames(3, names);
    target.setSendExitNames(2, names);
    target.setSslPeerName("CN=target");
    ZRCD* address = &target.record();

    // A source without exits or peer name: the target ends with none.
    ChannelProbe plain;
    plain.setModeName("MODE");
    target = plain;
    EXPECT_EQ(&target.record(), address);
    EXPECT_EQ(image(target), image(plain));

    // Codes come with the copy.
    const char unreadable[] = "x";
    refuse(unreadable, 1, 1);
    plain.setUserId(unreadable);
    allowAll();
    target = plain;
    expectCodes(target, 2, 2145);
    target = ChannelProbe();
    expectCodes(target, 0, 0);

    // Assigning a channel to itself changes nothing.
    target.setReceiveExitNames(2, names);
    target.setSslPeerName("CN=self");
    target.setSecurityExitName(letters(130).c_str()); // 1/6115
    const Bytes before = image(target);
    ZroChl& self = target;
    target = static_cast<const ChannelProbe&>(self);
    EXPECT_EQ(image(target), before);
    expectCodes(target, 1, 6115);
    EXPECT_EQ(textOf(target.sslPeerName()) + textOf(target.receiveExitName()), "CN=selfa");
    EXPECT_TRUE(records().empty());
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

TEST_F(ZroChlAllocationTest, ConstructionCopyAndAssignmentPassTheFailureOn)
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
        EXPECT_EQ(copy.sendExitCount(), 3u);
        EXPECT_EQ(textOf(copy.sslPeerName()), "CN=source");
    }));
    // An assignment that fails part way leaves a channel that can be
    // assigned again and destroyed.
    for (unsigned nth = 1; nth <= 5; ++nth) {
        SCOPED_TRACE(nth);
        ChannelProbe target;
        target.setReceiveExitNames(2, names);
        target.setSslPeerName("CN=target");
        EXPECT_TRUE(failsAtNew(nth, [&] { target = source; }));
        expectConsistent(target);
        target = source;
        EXPECT_EQ(textOf(target.sendExitName()) + textOf(target.sslPeerName()), "n1CN=source");
    }
}

TEST_F(ZroChlAllocationTest, SettersLeaveAValidChannel)
{
    ChannelProbe channel;
    const char* names[] = {"a", "b", "c"};
    channel.setReceiveExitNames(2, names);
    const std::string before = at(channel.record().receiveExitNameList, 256);
    // A list too long for the record changes nothing; no allocation is tried.
    EXPECT_TRUE(failsAtNew(1, [&] { channel.setReceiveExitNames(0x80000000u, names); }));
    EXPECT_EQ(at(channel.record().receiveExitNameList, 256), before);
    // Another count: the old lists go first, so a failure of either new
    // block leaves the direction without exits.
    for (unsigned nth = 1; nth <= 2; ++nth) {
        channel.setReceiveExitNames(2, names);
        EXPECT_TRUE(failsAtNew(nth, [&] { channel.setReceiveExitNames(3, names); }));
        EXPECT_EQ(channel.receiveExitCount(), 0u);
        expectConsistent(channel);
    }
    // The same count needs no storage.
    channel.setReceiveExitNames(2, names);
    EXPECT_FALSE(failsAtNew(1, [&] { channel.setReceiveExitNames(2, names + 1); }));
    EXPECT_EQ(textOf(channel.receiveExitName()), "b");

    channel.setSslPeerName("CN=old");
    EXPECT_TRUE(failsAtNew(1, [&] { channel.setSslPeerName("CN=new"); }));
    EXPECT_EQ(channel.record().sslPeerNamePointer, nullptr);
    EXPECT_EQ(channel.record().sslPeerNameLength, 0);
    expectConsistent(channel);
}
