// ZroChl: the defaults of a new record (read through the field table), the
// connection and peer names, the exit lists of both directions, the
// compression lists, copies and assignment, and new running out of storage.
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <string>
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

// A result and the codes then, as "result completion/reason".
std::string outcome(int result, const ZroErr& e)
{
    return std::to_string(result) + " " + codesText(e);
}

const char TRUNCATED[] = "static ZroString::copy (warning): string truncated";

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

TEST_F(ZroChlTest, ConnectionAndPeerNames)
{
    ChannelProbe channel;
    ZRCD& r = channel.record();
    // Each form of the connection name takes what fits; every cut is one
    // warning that stays.
    for (std::size_t length : {18, 30, 300}) {
        channel.clearErrorCodes();
        clearEvents();
        const std::string text = letters(length), nuls = text + std::string(264, '\0');
        const std::size_t cuts = (length > 20) + (length > 264);
        const std::string result = outcome(channel.setConnectionName(text.c_str()), channel);
        EXPECT_EQ(result + "|" + at(r.shortConnectionName, 20) + at(r.connectionName, 264),
                  (cuts > 0 ? "1 1/6115|" : "1 0/0|") + nuls.substr(0, 20) + nuls.substr(0, 264));
        EXPECT_EQ(texts(), std::vector<std::string>(cuts, TRUNCATED));
    }
    std::memcpy(r.shortConnectionName, "other", 5); // the getter reads the long form
    EXPECT_EQ(textOf(channel.connectionName()), letters(264));

    // The peer name is owned and sized to the text.
    channel.clearErrorCodes();
    for (std::string name : {"CN=first, O=x  ", "CN=second"}) {
        EXPECT_EQ(channel.setSslPeerName(name.c_str()), 1);
        EXPECT_EQ(at(r.sslPeerNamePointer, r.sslPeerNameLength), name);
    }
    // An unreadable text changes neither name.
    const Bytes before = image(channel);
    const char unreadable[] = "b";
    refuse(unreadable, 1, 1);
    for (auto set : {&ZroChl::setConnectionName, &ZroChl::setSslPeerName}) {
        channel.clearErrorCodes();
        clearEvents();
        EXPECT_EQ(outcome((channel.*set)(unreadable), channel), "0 2/2145");
        expectOnlyText(43, "ZroString::copy (error): source buffer error");
        EXPECT_EQ(image(channel), before);
    }
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=second");

    // Empty and null texts: length 0; a NUL written into the name ends it.
    for (const char* none : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(channel.setSslPeerName(none), 1);
        EXPECT_EQ(r.sslPeerNameLength + channel.sslPeerName().length(), 0u);
    }
    channel.setSslPeerName("CN=abc  ");
    std::string got = textOf(channel.sslPeerName()) + "|";
    r.sslPeerNamePointer[3] = '\0';
    EXPECT_EQ(got + textOf(channel.sslPeerName()), "CN=abc|CN=");
    EXPECT_TRUE(records().empty());
    // A getter without storage for its string reports it there.
    failAllocation(1);
    expectCodes(channel.sslPeerName(), 2, 2071);
}

// ---- Exit lists, for the send and the receive direction alike ---------------

namespace {

// Each operation of one direction, forwarded to the channel.
#define FORWARD(name, call) \
    template <class... A> static auto name(ZroChl& c, A... a) { return c.call(a...); }
#define SIDE(Name, name, other)                                                \
    struct Name {                                                              \
        static constexpr char* ZRCD::*names = &ZRCD::name##ExitNameList;       \
        static constexpr char* ZRCD::*data = &ZRCD::name##ExitDataList;        \
        static constexpr char* ZRCD::*otherNames = &ZRCD::other##ExitNameList; \
        FORWARD(count, name##ExitCount)                                        \
        FORWARD(exitName, name##ExitName)                                      \
        FORWARD(exitNames, name##ExitNames)                                    \
        FORWARD(userData, name##UserData)                                      \
        FORWARD(setExitName, set##Name##ExitName)                              \
        FORWARD(setExitNames, set##Name##ExitNames)                            \
        FORWARD(setUserData, set##Name##UserData)                              \
    };
SIDE(Send, send, receive)
SIDE(Receive, receive, send)
#undef SIDE
#undef FORWARD

constexpr std::size_t NAME = 128; // entry widths of a new channel
constexpr std::size_t DATA = 32;
using C = ChannelProbe&;
const char* const* const NO_TEXTS = nullptr;
const ZroStr* const* const NO_STRINGS = nullptr;

// `count` entries of `width` bytes: each entry's text and ","; "?" marks
// bytes other than NUL after the text.
std::string entries(const char* list, unsigned count, std::size_t width)
{
    if (list == nullptr) return count != 0 ? "(null)" : "";
    std::string all;
    for (unsigned i = 0; i < count; ++i) {
        const std::string entry(list + i * width, width);
        const std::size_t end = std::min(entry.find('\0'), width);
        const bool rest = entry.find_first_not_of('\0', end) != std::string::npos;
        all += entry.substr(0, end) + (rest ? "?," : ",");
    }
    return all;
}

// A result, the codes (cleared then), and the names and user data of the
// direction; "!" marks lists left without exits.
template <class S> std::string after(int result, C c)
{
    const ZRCD& r = c.record();
    const unsigned n = S::count(c);
    const bool left = n == 0 && (r.*S::names != nullptr || r.*S::data != nullptr);
    const std::string all = outcome(result, c) + " " + entries(r.*S::names, n, NAME) + "|" +
                            entries(r.*S::data, n, DATA) + (left ? "!" : "");
    c.clearErrorCodes();
    return all;
}

// A list of texts given as words: "-" an empty text, "~" a null pointer.
struct Texts {
    std::vector<std::string> words;
    std::vector<const char*> list;
    explicit Texts(const char* listed)
    {
        std::istringstream in(listed);
        for (std::string word; in >> word;) words.push_back(word == "-" ? "" : word);
        for (const std::string& w : words) list.push_back(w == "~" ? nullptr : w.c_str());
    }
    unsigned size(unsigned n) const { return n != 0 ? n : static_cast<unsigned>(list.size()); }
};

// Sets the names, or the user data, of a direction from words; `n` is the
// count given, when not the number of words.
template <class S> unsigned char names(C c, const char* listed, unsigned n = 0)
{
    const Texts texts(listed);
    return S::setExitNames(c, texts.size(n), texts.list.data());
}

template <class S> unsigned char data(C c, const char* listed, unsigned n = 0)
{
    const Texts texts(listed);
    return S::setUserData(c, texts.size(n), texts.list.data());
}

// String forms of the lists: a string of length 0, with or without
// storage, is empty.
ZroStr good("good"), none, nul('\0'), second("second"), first("first");
const ZroStr* const noStorage[] = {&good, &none};
const ZroStr* const emptyText[] = {&nul, nullptr};
const ZroStr* const nullEntry[] = {&good, nullptr, &none};
const ZroStr* const firstOnly[] = {&first, nullptr};
const ZroStr* const two[] = {&good, &second, nullptr};

template <class S> class ZroChlExitsTest : public ZroTest {
protected:
    ChannelProbe channel;
};

using BothDirections = ::testing::Types<Send, Receive>;

} // namespace

TYPED_TEST_SUITE(ZroChlExitsTest, BothDirections);

// Each step works on what the steps before left. New names clear the user
// data; a refused step changes nothing; the channel traces nothing.
TYPED_TEST(ZroChlExitsTest, SettersAndTheirChecks)
{
    using S = TypeParam;
    const std::pair<unsigned char (*)(C), const char*> steps[] = {
        {[](C c) { return names<S>(c, "A B"); }, "1 0/0 A,B,|,,"},
        {[](C c) { return data<S>(c, "data0"); }, "1 0/0 A,B,|data0,,"},
        {[](C c) { return data<S>(c, "x y"); }, "1 0/0 A,B,|x,y,"},
        {[](C c) { return names<S>(c, "C D"); }, "1 0/0 C,D,|,,"},
        {[](C c) { return S::setExitName(c, "only"); }, "1 0/0 only,|,"},
        {[](C c) { return names<S>(c, "e1 e2"); }, "1 0/0 e1,e2,|,,"},
        {[](C c) { return data<S>(c, "a b"); }, "1 0/0 e1,e2,|a,b,"},
        // User data without a text is all NUL; a single text clears the others.
        {[](C c) { return S::setUserData(c, 2, NO_TEXTS); }, "1 0/0 e1,e2,|,,"},
        {[](C c) { return data<S>(c, "~ z"); }, "1 0/0 e1,e2,|,z,"},
        {[](C c) { return S::setUserData(c, "single"); }, "1 0/0 e1,e2,|single,,"},
        // The first bad entry decides; the array is not read for a count
        // that cannot be right.
        {[](C c) { return S::setExitNames(c, 3, NO_TEXTS); }, "0 2/6108 e1,e2,|single,,"},
        {[](C c) { return S::setExitNames(c, ~0u, NO_TEXTS); }, "0 2/6108 e1,e2,|single,,"},
        {[](C c) { return names<S>(c, "a - c"); }, "0 2/2010 e1,e2,|single,,"},
        {[](C c) { return names<S>(c, "a ~ c"); }, "0 2/6108 e1,e2,|single,,"},
        {[](C c) { return names<S>(c, "a - ~"); }, "0 2/2010 e1,e2,|single,,"},
        {[](C c) { return names<S>(c, "a ~ -"); }, "0 2/6108 e1,e2,|single,,"},
        {[](C c) { return data<S>(c, "a b c"); }, "0 2/2316 e1,e2,|single,,"},
        {[](C c) { return data<S>(c, "a", ~0u); }, "0 2/2316 e1,e2,|single,,"},
        {[](C c) { return S::setExitNames(c, 1, NO_STRINGS); }, "0 2/6108 e1,e2,|single,,"},
        {[](C c) { return S::setExitNames(c, 2, noStorage); }, "0 2/2010 e1,e2,|single,,"},
        {[](C c) { return S::setExitNames(c, 2, emptyText); }, "0 2/2010 e1,e2,|single,,"},
        {[](C c) { return S::setExitNames(c, 3, nullEntry); }, "0 2/6108 e1,e2,|single,,"},
        {[](C c) { return S::setUserData(c, 3, nullEntry); }, "0 2/2316 e1,e2,|single,,"},
        {[](C c) { return S::setUserData(c, 2, firstOnly); }, "1 0/0 e1,e2,|first,,"},
        {[](C c) { return S::setUserData(c, 1, noStorage + 1); }, "1 0/0 e1,e2,|,,"},
        {[](C c) { return S::setExitNames(c, 2, two); }, "1 0/0 good,second,|,,"},
        // Entries after the count are not looked at.
        {[](C c) { return names<S>(c, "p q - ~", 2); }, "1 0/0 p,q,|,,"},
        // "", null, or count 0 with no array: no exits; no user data then.
        {[](C c) { return S::setExitName(c, ""); }, "1 0/0 |"},
        {[](C c) { return S::setExitName(c, "again"); }, "1 0/0 again,|,"},
        {[](C c) { return S::setExitName(c, nullptr); }, "1 0/0 |"},
        {[](C c) { return S::setUserData(c, "x"); }, "0 2/2316 |"},
        {[](C c) { return S::setUserData(c, 0, NO_TEXTS); }, "1 0/0 |"},
        {[](C c) { return S::setExitName(c, "again"); }, "1 0/0 again,|,"},
        {[](C c) { return S::setExitNames(c, 0, NO_TEXTS); }, "1 0/0 |"},
    };
    C c = this->channel;
    for (const auto& step : steps) EXPECT_EQ(after<S>(step.first(c), c), step.second);
    this->expectNoText();
    EXPECT_TRUE(this->records().empty());
    EXPECT_EQ(textOf(S::exitName(c)) + textOf(S::userData(c)), "");

    // The same count keeps both blocks; another replaces both. A name as
    // wide as its entry has no NUL.
    names<S>(c, "A B");
    data<S>(c, "data0");
    EXPECT_EQ(textOf(S::exitName(c)) + textOf(S::userData(c)), "Adata0");
    const char* blocks[] = {c.record().*S::names, c.record().*S::data};
    names<S>(c, "C D");
    EXPECT_EQ(std::vector<const char*>({c.record().*S::names, c.record().*S::data}),
              std::vector<const char*>(blocks, blocks + 2));
    const std::string wide(NAME, 'w');
    EXPECT_EQ(after<S>(names<S>(c, ("E " + wide).c_str()), c), "1 0/0 E," + wide + ",|,,");
    EXPECT_EQ(c.record().*S::otherNames, nullptr);
    // A user data entry that may not be written stops the setter.
    this->refuse(c.record().*S::data + DATA, 1, 2);
    EXPECT_EQ(after<S>(S::setUserData(c, "x"), c), "0 2/2146 E," + wide + ",|x,,");
}

TYPED_TEST(ZroChlExitsTest, ReadingListsFillsTheCallersStrings)
{
    using S = TypeParam;
    ChannelProbe& channel = this->channel;
    // Nothing to do: success, strings untouched. Beyond the last exit the
    // strings become empty; null pointers are skipped; trailing blanks are kept.
    ZroStr a("keep"), b("keep"), c("keep");
    ZroStr* strings[] = {&a, nullptr, &c};
    EXPECT_EQ(S::exitNames(channel, 3, nullptr) + S::exitNames(channel, 0, strings), 2);
    std::string got = textOf(a) + "|";
    S::setExitName(channel, "exit1  ");
    S::setUserData(channel, "data1 ");
    EXPECT_EQ(S::exitNames(channel, 3, strings), 1);
    got += textOf(a) + "|" + textOf(b) + "|" + textOf(c) + "|";
    ZroStr* dataStrings[] = {&b, &c};
    EXPECT_EQ(S::userData(channel, 2, dataStrings), 1);
    EXPECT_EQ(got + textOf(b) + "|" + textOf(c), "keep|exit1  |keep||data1 |");
    this->expectNoText();
    this->expectCodes(channel, 0, 0);

    // A string that gets no storage passes its codes to the channel; the
    // strings after it are still set.
    names<S>(channel, "n1 n2");
    ZroStr x, y;
    ZroStr* both[] = {&x, &y};
    this->failAllocation(1);
    got = outcome(S::exitNames(channel, 2, both), channel);
    EXPECT_EQ(got + outcome(0, x) + textOf(y), "0 2/20710 2/2071n2");
    ZroStr (*const firsts[])(ZroChl&) = {&S::template exitName<>, &S::template userData<>};
    for (auto first : firsts) {
        channel.clearErrorCodes();
        this->failAllocation(1);
        got = outcome(0, first(channel));
        EXPECT_EQ(got + outcome(0, channel), "0 2/20710 2/2071");
    }
    // An entry that fails the read check: the string's 2004 comes across.
    channel.clearErrorCodes();
    this->refuse(channel.record().*S::names + NAME, NAME, 1);
    this->clearEvents();
    got = outcome(S::exitNames(channel, 2, both), channel);
    EXPECT_EQ(got + textOf(x), "0 2/2004n1");
    this->expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
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
        const unsigned n = static_cast<unsigned>(row.slots.size()) + 2;
        std::vector<int32_t> read(n, 5), slots = row.slots;
        slots.insert(slots.end(), {5, 5}); // reading gives min(count, slots) values
        auto set = row.header ? &ZroChl::setHeaderCompression : &ZroChl::setMessageCompression;
        auto count =
            row.header ? &ZroChl::headerCompressionCount : &ZroChl::messageCompressionCount;
        auto get = row.header ? &ZroChl::headerCompression : &ZroChl::messageCompression;
        EXPECT_EQ((channel.*set)(row.count, row.given), 1);
        EXPECT_EQ((channel.*get)(n, read.data()), 1);
        EXPECT_EQ((channel.*count)(), row.inUse);
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
    // Assigning a channel to itself changes nothing.
    const Bytes before = image(copy);
    ZroChl& self = copy;
    copy = static_cast<const ChannelProbe&>(self);
    EXPECT_EQ(image(copy), before);
    // Changing or destroying the source leaves the copies alone.
    source->setSendExitNames(1, names + 1);
    source->setSslPeerName("CN=changed");
    source.reset();
    for (ChannelProbe* each : {&copy, &assigned}) {
        const std::string send = after<Send>(1, *each); // clears the codes
        EXPECT_EQ(send + after<Receive>(1, *each) + textOf(each->sslPeerName()),
                  "1 1/6115 sendA,sendB,|sendA,sendB,1 0/0 recv,|,CN=source");
    }
    // A source without lists or peer name leaves none; codes come along.
    ChannelProbe plain;
    assigned = plain;
    EXPECT_EQ(image(assigned), image(plain));
    expectCodes(assigned, 0, 0);
}

// new running out of storage: bad_alloc reaches the caller, and the channel
// stays valid, owning exactly what its record names.
TEST_F(ZroChlTest, NewFailingPassesOnAndLeavesAValidChannel)
{
    // Under a tool that puts its own new in place of the test program's,
    // no failure can be planned.
    if (!failsAtNew(1, [] { ::operator delete(::operator new(1)); }))
        GTEST_SKIP() << "operator new is replaced by the tool running the tests";
    // Each direction's count and lists agree; a peer name has its block.
    const auto consistent = [](ChannelProbe& channel) {
        const ZRCD& r = channel.record();
        return (r.sendExitCount > 0) == (r.sendExitNameList != nullptr) &&
               (r.sendExitCount > 0) == (r.sendExitDataList != nullptr) &&
               (r.receiveExitCount > 0) == (r.receiveExitNameList != nullptr) &&
               (r.receiveExitCount > 0) == (r.receiveExitDataList != nullptr) &&
               (r.sslPeerNamePointer != nullptr || r.sslPeerNameLength == 0);
    };
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
        EXPECT_TRUE(consistent(target)) << nth;
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
        EXPECT_TRUE(consistent(source) && source.receiveExitCount() == 0) << nth;
    }
    source.setReceiveExitNames(2, names);
    EXPECT_FALSE(failsAtNew(1, [&] { source.setReceiveExitNames(2, names + 1); }));
    EXPECT_EQ(textOf(source.receiveExitName()), "n2");
    EXPECT_TRUE(failsAtNew(1, [&] { source.setSslPeerName("CN=new"); }));
    EXPECT_TRUE(consistent(source) && source.record().sslPeerNameLength == 0);
}
