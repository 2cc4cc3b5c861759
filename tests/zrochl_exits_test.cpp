// ZroChl: send and receive exit names and user data, the compression lists,
// and the ownership of the lists under copies, assignments and bad input.
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "zrochl_probe.hpp"
#include "zrotest.hpp"

namespace {

// The operations and record fields of one direction, so that every test of
// the exit lists runs for the send and the receive side alike.
struct Side {
    const char* name;
    unsigned (*count)(ZroChl&);
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
    int32_t ZRCD::*countField;
    char* ZRCD::*namesField;
    char* ZRCD::*dataField;
    // The other direction's fields, which must never change.
    int32_t ZRCD::*otherCount;
    char* ZRCD::*otherNames;
    char* ZRCD::*otherData;
};

// clang-format off
#define SIDE(Name, name, other)                                                                  \
    Side{#name,                                                                                  \
         [](ZroChl& c) { return c.name##ExitCount(); },                                          \
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
         &ZRCD::name##ExitCount, &ZRCD::name##ExitNameList, &ZRCD::name##ExitDataList,           \
         &ZRCD::other##ExitCount, &ZRCD::other##ExitNameList, &ZRCD::other##ExitDataList}
// clang-format on

// Names the direction in test output, instead of the table's bytes.
void PrintTo(const Side& side, std::ostream* out) { *out << side.name; }

const Side SEND = SIDE(Send, send, receive);
const Side RECEIVE = SIDE(Receive, receive, send);
#undef SIDE

constexpr std::size_t NAME = 128; // entry widths of a new channel
constexpr std::size_t DATA = 32;

class ZroChlExitsTest : public ZroTest, public ::testing::WithParamInterface<Side> {
protected:
    const Side& side = GetParam();
    ChannelProbe channel;

    unsigned count() { return side.count(channel); }
    char* names() { return channel.record().*side.namesField; }
    char* data() { return channel.record().*side.dataField; }
    std::string nameEntry(unsigned i, std::size_t width = NAME)
    {
        return bytesOf(names() + i * width, width);
    }
    std::string dataEntry(unsigned i, std::size_t width = DATA)
    {
        return bytesOf(data() + i * width, width);
    }
    unsigned char setNames(std::vector<const char*> list)
    {
        return side.setExitNames(channel, static_cast<unsigned>(list.size()), list.data());
    }
    unsigned char setData(std::vector<const char*> list)
    {
        return side.setUserDataList(channel, static_cast<unsigned>(list.size()), list.data());
    }
    // The whole record, for "nothing changed".
    std::vector<unsigned char> image() const
    {
        return std::vector<unsigned char>(channel.bytes(), channel.bytes() + sizeof(ZRCD));
    }
    void expectOtherSideUntouched()
    {
        EXPECT_EQ(channel.record().*side.otherCount, 0);
        EXPECT_EQ(channel.record().*side.otherNames, nullptr);
        EXPECT_EQ(channel.record().*side.otherData, nullptr);
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(BothDirections, ZroChlExitsTest, ::testing::Values(SEND, RECEIVE),
                         [](const ::testing::TestParamInfo<Side>& info) {
                             return std::string(info.param.name);
                         });

TEST_P(ZroChlExitsTest, NamesSizeBothListsAndClearTheUserData)
{
    EXPECT_EQ(setNames({"A", "B"}), 1);
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(channel.record().*side.countField, 2);
    EXPECT_EQ(nameEntry(0), padded("A", NAME));
    EXPECT_EQ(nameEntry(1), padded("B", NAME));
    EXPECT_EQ(dataEntry(0), std::string(DATA, '\0'));
    EXPECT_EQ(dataEntry(1), std::string(DATA, '\0'));
    EXPECT_EQ(textOf(side.exitName(channel)), "A");
    expectNoText();
    expectCodes(channel, 0, 0);

    // User data after the names: entry 0 set, entry 1 all NUL.
    EXPECT_EQ(setData({"data0"}), 1);
    EXPECT_EQ(dataEntry(0), padded("data0", DATA));
    EXPECT_EQ(dataEntry(1), std::string(DATA, '\0'));
    EXPECT_EQ(textOf(side.userData(channel)), "data0");
    EXPECT_EQ(setData({"x", "y"}), 1);
    EXPECT_EQ(dataEntry(1), padded("y", DATA));

    // The same count again keeps both blocks but clears every user data entry.
    char* nameBlock = names();
    char* dataBlock = data();
    EXPECT_EQ(setNames({"C", "D"}), 1);
    EXPECT_EQ(names(), nameBlock);
    EXPECT_EQ(data(), dataBlock);
    EXPECT_EQ(nameEntry(0), padded("C", NAME));
    EXPECT_EQ(dataEntry(0), std::string(DATA, '\0'));
    EXPECT_EQ(dataEntry(1), std::string(DATA, '\0'));

    // Another count replaces both blocks.
    EXPECT_EQ(setNames({"E", "F", "G"}), 1);
    EXPECT_EQ(count(), 3u);
    EXPECT_EQ(nameEntry(2), padded("G", NAME));

    // A name exactly as wide as its entry has no terminator.
    std::string wide(NAME, 'w');
    EXPECT_EQ(setNames({wide.c_str()}), 1);
    EXPECT_EQ(nameEntry(0), wide);
    EXPECT_EQ(textOf(side.exitName(channel)), wide);
    expectNoText();

    // Count 0 with a null array empties the lists.
    EXPECT_EQ(side.setExitNames(channel, 0, nullptr), 1);
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(names(), nullptr);
    EXPECT_EQ(data(), nullptr);
    expectOtherSideUntouched();
    expectCodes(channel, 0, 0);
    // The exit operations trace nothing of their own.
    EXPECT_TRUE(records().empty());
}

TEST_P(ZroChlExitsTest, SingleNameMakesOneExitOrNone)
{
    EXPECT_EQ(side.setExitName(channel, "only"), 1);
    EXPECT_EQ(count(), 1u);
    EXPECT_EQ(nameEntry(0), padded("only", NAME));
    EXPECT_EQ(dataEntry(0), std::string(DATA, '\0'));
    EXPECT_EQ(side.setUserData(channel, "ud"), 1);
    EXPECT_EQ(textOf(side.userData(channel)), "ud");

    EXPECT_EQ(side.setExitName(channel, ""), 1);
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(names(), nullptr);
    EXPECT_EQ(data(), nullptr);
    EXPECT_EQ(textOf(side.exitName(channel)), "");
    EXPECT_EQ(textOf(side.userData(channel)), "");

    side.setExitName(channel, "again");
    EXPECT_EQ(side.setExitName(channel, nullptr), 1);
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(names(), nullptr);
    expectNoText();
    expectCodes(channel, 0, 0);
    expectOtherSideUntouched();
}

TEST_P(ZroChlExitsTest, NameChecksRunBeforeAnythingChanges)
{
    setNames({"old1", "old2"});
    setData({"d1", "d2"});
    char* nameBlock = names();
    std::vector<unsigned char> before = image();
    std::string namesBefore = bytesOf(names(), 2 * NAME);
    std::string dataBefore = bytesOf(data(), 2 * DATA);
    clearEvents();

    auto expectUnchanged = [&](int32_t reason) {
        expectCodes(channel, 2, reason);
        EXPECT_EQ(image(), before);
        EXPECT_EQ(names(), nameBlock);
        EXPECT_EQ(bytesOf(names(), 2 * NAME), namesBefore);
        EXPECT_EQ(bytesOf(data(), 2 * DATA), dataBefore);
        // The channel writes no text for these failures.
        expectNoText();
        channel.clearErrorCodes();
    };

    // A count with a null array.
    EXPECT_EQ(side.setExitNames(channel, 3, nullptr), 0);
    expectUnchanged(6108);
    EXPECT_EQ(side.setExitNames(channel, 0xFFFFFFFFu, nullptr), 0);
    expectUnchanged(6108);
    EXPECT_EQ(side.setExitStrings(channel, 1, nullptr), 0);
    expectUnchanged(6108);
    // The second of three names empty, or null.
    EXPECT_EQ(setNames({"a", "", "c"}), 0);
    expectUnchanged(2010);
    EXPECT_EQ(setNames({"a", nullptr, "c"}), 0);
    expectUnchanged(6108);
    // The first bad entry decides.
    EXPECT_EQ(setNames({"a", "", nullptr}), 0);
    expectUnchanged(2010);
    EXPECT_EQ(setNames({"a", nullptr, ""}), 0);
    expectUnchanged(6108);
    // Bad entries after count are not looked at.
    const char* tail[] = {"p", "q", "", nullptr};
    EXPECT_EQ(side.setExitNames(channel, 2, tail), 1);
    EXPECT_EQ(nameEntry(1), padded("q", NAME));

    // The string form: a string of length 0, with or without storage, is empty.
    setNames({"old1", "old2"});
    setData({"d1", "d2"});
    nameBlock = names();
    before = image();
    namesBefore = bytesOf(names(), 2 * NAME);
    dataBefore = bytesOf(data(), 2 * DATA);
    clearEvents();
    ZroStr good("good"), none, nul('\0');
    const ZroStr* noStorage[] = {&good, &none};
    EXPECT_EQ(side.setExitStrings(channel, 2, noStorage), 0);
    expectUnchanged(2010);
    const ZroStr* emptyText[] = {&nul, nullptr};
    EXPECT_EQ(side.setExitStrings(channel, 2, emptyText), 0);
    expectUnchanged(2010);
    const ZroStr* nullEntry[] = {&good, nullptr, &none};
    EXPECT_EQ(side.setExitStrings(channel, 3, nullEntry), 0);
    expectUnchanged(6108);
    ZroStr second("second");
    const ZroStr* strings[] = {&good, &second};
    EXPECT_EQ(side.setExitStrings(channel, 2, strings), 1);
    EXPECT_EQ(nameEntry(0), padded("good", NAME));
    EXPECT_EQ(nameEntry(1), padded("second", NAME));
    expectOtherSideUntouched();
}

TEST_P(ZroChlExitsTest, UserDataCountCheckRunsBeforeAnythingChanges)
{
    // No exits: even a single text is one too many.
    EXPECT_EQ(side.setUserData(channel, "x"), 0);
    expectCodes(channel, 2, 2316);
    EXPECT_EQ(data(), nullptr);
    channel.clearErrorCodes();
    // Count 0 on no exits succeeds, also with a null array.
    EXPECT_EQ(side.setUserDataList(channel, 0, nullptr), 1);
    expectCodes(channel, 0, 0);

    setNames({"e1", "e2"});
    setData({"keep1", "keep2"});
    std::vector<unsigned char> before = image();
    std::string dataBefore = bytesOf(data(), 2 * DATA);
    clearEvents();
    EXPECT_EQ(setData({"a", "b", "c"}), 0);
    expectCodes(channel, 2, 2316);
    EXPECT_EQ(image(), before);
    EXPECT_EQ(bytesOf(data(), 2 * DATA), dataBefore);
    expectNoText();
    // A count far larger than any list: the same, the array not read.
    const char* one[] = {"a"};
    EXPECT_EQ(side.setUserDataList(channel, 0xFFFFFFFFu, one), 0);
    expectCodes(channel, 2, 2316);
    EXPECT_EQ(bytesOf(data(), 2 * DATA), dataBefore);

    // The names are never touched by the user data setters.
    std::string namesBefore = bytesOf(names(), 2 * NAME);
    // A null array or null entries clear their entries.
    channel.clearErrorCodes();
    EXPECT_EQ(side.setUserDataList(channel, 2, nullptr), 1);
    EXPECT_EQ(bytesOf(data(), 2 * DATA), std::string(2 * DATA, '\0'));
    setData({"a", "b"});
    EXPECT_EQ(setData({nullptr, "z"}), 1);
    EXPECT_EQ(dataEntry(0), std::string(DATA, '\0'));
    EXPECT_EQ(dataEntry(1), padded("z", DATA));
    // The string form: a null entry or a string without storage is no text.
    ZroStr first("first"), none;
    const ZroStr* strings[] = {&first, nullptr};
    EXPECT_EQ(side.setUserDataStrings(channel, 2, strings), 1);
    EXPECT_EQ(dataEntry(0), padded("first", DATA));
    EXPECT_EQ(dataEntry(1), std::string(DATA, '\0'));
    const ZroStr* empty[] = {&none};
    EXPECT_EQ(side.setUserDataStrings(channel, 1, empty), 1);
    EXPECT_EQ(dataEntry(0), std::string(DATA, '\0'));
    const ZroStr* three[] = {&first, &first, &first};
    EXPECT_EQ(side.setUserDataStrings(channel, 3, three), 0);
    expectCodes(channel, 2, 2316);
    // A single text sets entry 0 and clears the others.
    setData({"a", "b"});
    EXPECT_EQ(side.setUserData(channel, "single"), 1);
    EXPECT_EQ(dataEntry(0), padded("single", DATA));
    EXPECT_EQ(dataEntry(1), std::string(DATA, '\0'));
    EXPECT_EQ(bytesOf(names(), 2 * NAME), namesBefore);
    expectNoText();
    expectOtherSideUntouched();
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
    EXPECT_EQ(textOf(a), "exit1  "); // trailing blanks kept
    EXPECT_EQ(textOf(c), "");
    EXPECT_EQ(textOf(b), "keep");
    ZroStr* dataStrings[] = {&b, &c};
    EXPECT_EQ(side.userDataList(channel, 2, dataStrings), 1);
    EXPECT_EQ(textOf(b), "data1 ");
    EXPECT_EQ(textOf(c), "");
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
    channel.clearErrorCodes();
    failAllocation(1);
    ZroStr first = side.exitName(channel);
    expectCodes(first, 2, 2071);
    expectCodes(channel, 2, 2071);
    channel.clearErrorCodes();
    failAllocation(1);
    first = side.userData(channel);
    expectCodes(channel, 2, 2071);

    // An entry that fails the read check: the string's 2004 comes across.
    channel.clearErrorCodes();
    refuse(names() + NAME, NAME, 1);
    clearEvents();
    EXPECT_EQ(side.exitNames(channel, 2, two), 0);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    expectCodes(channel, 2, 2004);
    EXPECT_EQ(textOf(x), "n1");
}

// Compression lists.

using ZroChlCompressionTest = ZroTest;

TEST_F(ZroChlCompressionTest, HeaderListHasTwoSlots)
{
    ChannelProbe channel;
    EXPECT_EQ(channel.headerCompressionCount(), 0u);
    const int32_t values[] = {8, 7};
    EXPECT_EQ(channel.setHeaderCompression(1, values), 1);
    EXPECT_EQ(channel.record().headerCompression[0], 8);
    EXPECT_EQ(channel.record().headerCompression[1], -1);
    EXPECT_EQ(channel.headerCompressionCount(), 1u);
    EXPECT_EQ(channel.setHeaderCompression(2, values), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 2u);
    const int32_t withEnd[] = {8, -1};
    EXPECT_EQ(channel.setHeaderCompression(2, withEnd), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 1u);
    // No value is refused; more values than slots store two.
    const int32_t many[] = {INT32_MIN, INT32_MAX, 99};
    EXPECT_EQ(channel.setHeaderCompression(3, many), 1);
    EXPECT_EQ(channel.record().headerCompression[0], INT32_MIN);
    EXPECT_EQ(channel.record().headerCompression[1], INT32_MAX);
    EXPECT_EQ(channel.record().messageCompression[0], -1); // the next field is untouched

    // Reading: min(count, 2) slots, -1 markers included, never more.
    int32_t out[4] = {5, 5, 5, 5};
    channel.setHeaderCompression(2, withEnd);
    EXPECT_EQ(channel.headerCompression(1, out), 1);
    EXPECT_EQ(out[0], 8);
    EXPECT_EQ(out[1], 5);
    EXPECT_EQ(channel.headerCompression(4, out), 1);
    EXPECT_EQ(out[1], -1);
    EXPECT_EQ(out[2], 5);

    // Null arrays: nothing read or written, success.
    EXPECT_EQ(channel.headerCompression(2, nullptr), 1);
    EXPECT_EQ(channel.setHeaderCompression(2, nullptr), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 0u);
    EXPECT_EQ(channel.setHeaderCompression(0, values), 1);
    EXPECT_EQ(channel.headerCompressionCount(), 0u);
    EXPECT_TRUE(events().empty());
    expectCodes(channel, 0, 0);
}

TEST_F(ZroChlCompressionTest, MessageListHasSixteenSlots)
{
    ChannelProbe channel;
    EXPECT_EQ(channel.messageCompressionCount(), 0u);
    int32_t values[20];
    for (int32_t i = 0; i < 20; ++i) values[i] = i + 1;
    EXPECT_EQ(channel.setMessageCompression(20, values), 1);
    EXPECT_EQ(channel.messageCompressionCount(), 16u);
    EXPECT_EQ(channel.record().word1820, 0); // nothing written past the list

    int32_t out[20];
    for (int32_t& v : out) v = 0;
    EXPECT_EQ(channel.messageCompression(20, out), 1);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], i + 1);
    for (int i = 16; i < 20; ++i) EXPECT_EQ(out[i], 0);

    EXPECT_EQ(channel.setMessageCompression(3, values), 1);
    EXPECT_EQ(channel.messageCompressionCount(), 3u);
    const int32_t gap[] = {4, -1, 6};
    channel.setMessageCompression(3, gap);
    EXPECT_EQ(channel.messageCompressionCount(), 1u);
    EXPECT_EQ(channel.record().messageCompression[2], 6); // passed on as given

    // Copies carry the lists with the record.
    ChannelProbe copy(channel);
    EXPECT_EQ(copy.messageCompressionCount(), 1u);
    int32_t copied[3];
    copy.messageCompression(3, copied);
    EXPECT_EQ(copied[2], 6);
}
