// ZroChl: the record and its defaults, the scalar and character fields, the
// connection and SSL peer names, copying and assignment.
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zrochl_probe.hpp"
#include "zrotest.hpp"

namespace {

enum class Kind { Chars, Long, Longs, Pointer };

// One field of the record: where the outside reader finds it in the 4-byte
// layout, where it is on this platform, and what a new channel holds there.
struct Field {
    std::size_t layoutOffset; // in the 1840-byte layout
    std::size_t offset;       // offsetof on this platform
    std::size_t size;
    Kind kind;
    int32_t value; // Long, Longs: every long; Chars, Pointer: all zero
    const char* name;
};

#define FIELD(layoutOffset, field, kind, value) \
    Field { layoutOffset, offsetof(ZRCD, field), sizeof(ZRCD::field), kind, value, #field }

const Field FIELDS[] = {
    FIELD(0, channelName, Kind::Chars, 0),
    FIELD(20, word20, Kind::Long, 8),
    FIELD(24, word24, Kind::Long, 1),
    FIELD(28, transportType, Kind::Long, 1),
    FIELD(32, text32, Kind::Chars, 0),
    FIELD(96, text96, Kind::Chars, 0),
    FIELD(144, text144, Kind::Chars, 0),
    FIELD(192, shortConnectionName, Kind::Chars, 0),
    FIELD(212, text212, Kind::Chars, 0),
    FIELD(232, modeName, Kind::Chars, 0),
    FIELD(240, transactionProgramName, Kind::Chars, 0),
    FIELD(304, word304, Kind::Long, 50),
    FIELD(308, word308, Kind::Long, 6000),
    FIELD(312, word312, Kind::Long, 10),
    FIELD(316, word316, Kind::Long, 60),
    FIELD(320, word320, Kind::Long, 999999999),
    FIELD(324, word324, Kind::Long, 1200),
    FIELD(328, securityExitName, Kind::Chars, 0),
    FIELD(456, text456, Kind::Chars, 0),
    FIELD(584, text584, Kind::Chars, 0),
    FIELD(712, text712, Kind::Chars, 0),
    FIELD(840, word840, Kind::Long, 999999999),
    FIELD(844, maximumMessageLength, Kind::Long, 4194304),
    FIELD(848, word848, Kind::Long, 1),
    FIELD(852, word852, Kind::Long, 0),
    FIELD(856, securityUserData, Kind::Chars, 0),
    FIELD(888, text888, Kind::Chars, 0),
    FIELD(920, text920, Kind::Chars, 0),
    FIELD(952, text952, Kind::Chars, 0),
    FIELD(984, userId, Kind::Chars, 0),
    FIELD(996, password, Kind::Chars, 0),
    FIELD(1008, text1008, Kind::Chars, 0),
    FIELD(1020, word1020, Kind::Long, 1),
    FIELD(1024, connectionName, Kind::Chars, 0),
    FIELD(1288, text1288, Kind::Chars, 0),
    FIELD(1300, text1300, Kind::Chars, 0),
    FIELD(1312, text1312, Kind::Chars, 0),
    FIELD(1440, text1440, Kind::Chars, 0),
    FIELD(1472, word1472, Kind::Long, 10),
    FIELD(1476, word1476, Kind::Long, 1000),
    FIELD(1480, heartBeatInterval, Kind::Long, 300),
    FIELD(1484, word1484, Kind::Long, 0),
    FIELD(1488, word1488, Kind::Long, 2),
    // The record's own size: 1840 with 4-byte pointers (checked below).
    FIELD(1492, recordLength, Kind::Long, static_cast<int32_t>(sizeof(ZRCD))),
    FIELD(1496, exitNameLength, Kind::Long, 128),
    FIELD(1500, exitDataLength, Kind::Long, 32),
    FIELD(1504, word1504, Kind::Long, 0),
    FIELD(1508, sendExitCount, Kind::Long, 0),
    FIELD(1512, receiveExitCount, Kind::Long, 0),
    FIELD(1516, word1516, Kind::Long, 0),
    FIELD(1520, word1520, Kind::Long, 0),
    FIELD(1524, sendExitNameList, Kind::Pointer, 0),
    FIELD(1528, sendExitDataList, Kind::Pointer, 0),
    FIELD(1532, receiveExitNameList, Kind::Pointer, 0),
    FIELD(1536, receiveExitDataList, Kind::Pointer, 0),
    FIELD(1540, word1540, Kind::Long, 0),
    FIELD(1544, word1544, Kind::Long, 0),
    FIELD(1548, word1548, Kind::Long, 0),
    FIELD(1552, word1552, Kind::Long, 0),
    FIELD(1556, word1556, Kind::Long, 0),
    FIELD(1560, word1560, Kind::Long, 0),
    FIELD(1564, word1564, Kind::Long, 0),
    FIELD(1568, bytes1568, Kind::Chars, 0),
    FIELD(1608, bytes1608, Kind::Chars, 0),
    FIELD(1648, sslCipherSpecification, Kind::Chars, 0),
    FIELD(1680, sslPeerNamePointer, Kind::Pointer, 0),
    FIELD(1684, sslPeerNameLength, Kind::Long, 0),
    FIELD(1688, sslClientAuthentication, Kind::Long, 0),
    FIELD(1692, keepAliveInterval, Kind::Long, -1),
    FIELD(1696, localAddress, Kind::Chars, 0),
    FIELD(1744, batchHeartBeat, Kind::Long, 0),
    FIELD(1748, headerCompression, Kind::Longs, -1),
    FIELD(1756, messageCompression, Kind::Longs, -1),
    FIELD(1820, word1820, Kind::Long, 0),
    FIELD(1824, word1824, Kind::Long, 0),
    FIELD(1828, word1828, Kind::Long, 50),
    FIELD(1832, word1832, Kind::Long, 0),
    FIELD(1836, word1836, Kind::Long, 0),
};
#undef FIELD

constexpr std::size_t FIRST_POINTER = 1524;

// Where the test reads a field: the fields before the first pointer at the
// offset an outside reader uses, the ones after it where this platform puts them.
std::size_t positionOf(const Field& f)
{
    return f.layoutOffset < FIRST_POINTER ? f.layoutOffset : f.offset;
}

struct CharField {
    const char* name;
    ZroStr (*get)(const ZroChl&);
    unsigned char (*set)(ZroChl&, const char*);
    char* (*field)(ZRCD&);
    std::size_t width;
};

// clang-format off
#define CHAR_FIELD(getter, setter, field)                                                          \
    CharField{#getter,                                                                             \
              [](const ZroChl& c) { return c.getter(); },                                          \
              [](ZroChl& c, const char* t) { return c.setter(t); },                                \
              [](ZRCD& r) { return r.field; },                                                     \
              sizeof(ZRCD::field)}
// clang-format on

const CharField CHAR_FIELDS[] = {
    CHAR_FIELD(channelName, setChannelName, channelName),
    CHAR_FIELD(modeName, setModeName, modeName),
    CHAR_FIELD(transactionProgramName, setTransactionProgramName, transactionProgramName),
    CHAR_FIELD(securityExitName, setSecurityExitName, securityExitName),
    CHAR_FIELD(securityUserData, setSecurityUserData, securityUserData),
    CHAR_FIELD(userId, setUserId, userId),
    CHAR_FIELD(password, setPassword, password),
    CHAR_FIELD(sslCipherSpecification, setSslCipherSpecification, sslCipherSpecification),
    CHAR_FIELD(localAddress, setLocalAddress, localAddress),
};
#undef CHAR_FIELD

// "ABCDEFGHIJ..." of `n` characters.
std::string letters(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
    return s;
}

} // namespace

using ZroChlTest = ZroTest;

TEST_F(ZroChlTest, NewRecordHoldsEveryDefaultAtItsOffset)
{
    ChannelProbe channel;
    expectCodes(channel, 0, 0);
    EXPECT_TRUE(events().empty()); // building a channel traces nothing

    // The record an outside reader gets: all zero bytes (padding included)
    // except the defaults of the table.
    std::vector<unsigned char> expected(sizeof(ZRCD), 0);
    std::size_t next = 0; // the table runs through the layout without gap or overlap
    for (const Field& f : FIELDS) {
        SCOPED_TRACE(f.name);
        std::size_t at = positionOf(f);
        if (f.layoutOffset < FIRST_POINTER) { EXPECT_EQ(f.offset, f.layoutOffset); }
        if (sizeof(void*) == 4) { EXPECT_EQ(f.offset, f.layoutOffset); }
        EXPECT_EQ(f.layoutOffset, next);
        next += f.kind == Kind::Pointer ? 4 : f.size;
        const unsigned char* bytes = channel.bytes() + at;
        switch (f.kind) {
        case Kind::Chars:
        case Kind::Pointer:
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), f.size),
                      std::string(f.size, '\0'));
            break;
        case Kind::Long:
        case Kind::Longs:
            for (std::size_t i = 0; i < f.size; i += sizeof(int32_t)) {
                EXPECT_EQ(channel.longAt(at + i), f.value) << "at " << at + i;
                std::memcpy(&expected[at + i], &f.value, sizeof f.value);
            }
            break;
        }
    }
    EXPECT_EQ(std::memcmp(channel.bytes(), expected.data(), sizeof(ZRCD)), 0);
    EXPECT_EQ(next, 1840u);

    EXPECT_EQ(channel.longAt(1492), ZRCD_LENGTH);
    if (sizeof(void*) == 4) { EXPECT_EQ(channel.longAt(1492), 1840); }

    // What the accessors read from it.
    EXPECT_EQ(channel.transportType(), 1);
    EXPECT_EQ(channel.maximumMessageLength(), 4194304);
    EXPECT_EQ(channel.heartBeatInterval(), 300);
    EXPECT_EQ(channel.sslClientAuthentication(), 0);
    EXPECT_EQ(channel.keepAliveInterval(), -1);
    EXPECT_EQ(channel.batchHeartBeat(), 0);
    for (const CharField& f : CHAR_FIELDS) {
        ZroStr value = f.get(channel);
        EXPECT_EQ(value.length(), 0u) << f.name;
    }
    EXPECT_EQ(channel.sslPeerName().length(), 0u);
    EXPECT_EQ(channel.sendExitCount(), 0u);
    EXPECT_EQ(channel.receiveExitCount(), 0u);
    EXPECT_EQ(channel.headerCompressionCount(), 0u);
    EXPECT_EQ(channel.messageCompressionCount(), 0u);
    // Reading the fields traces no entry or exit records.
    EXPECT_TRUE(records().empty());
}

TEST_F(ZroChlTest, ConnectionNameHasAShortAndALongForm)
{
    ChannelProbe channel;
    ZRCD& r = channel.record();
    std::string thirty = letters(30);
    EXPECT_EQ(channel.setConnectionName(thirty.c_str()), 1);
    EXPECT_EQ(bytesOf(r.shortConnectionName, 20), thirty.substr(0, 20));
    EXPECT_EQ(bytesOf(r.connectionName, 264), padded(thirty, 264));
    EXPECT_EQ(textOf(channel.connectionName()), thirty);
    expectOnlyText(43, TRUNCATED);
    expectCodes(channel, 1, 6115);

    // 20 characters fit both forms without a warning.
    channel.clearErrorCodes();
    clearEvents();
    EXPECT_EQ(channel.setConnectionName("host.example(1414)"), 1);
    EXPECT_EQ(bytesOf(r.shortConnectionName, 20), padded("host.example(1414)", 20));
    expectNoText();
    expectCodes(channel, 0, 0);

    // The getter reads the long form only.
    std::memcpy(r.shortConnectionName, "other", 5);
    EXPECT_EQ(textOf(channel.connectionName()), "host.example(1414)");

    // Longer than the long form: both cut, two warnings.
    clearEvents();
    std::string long300 = letters(300);
    EXPECT_EQ(channel.setConnectionName(long300.c_str()), 1);
    EXPECT_EQ(texts(), std::vector<std::string>(2, TRUNCATED));
    EXPECT_EQ(textOf(channel.connectionName()), long300.substr(0, 264));

    // An unreadable text changes neither form.
    channel.setConnectionName("a");
    std::string shortBefore = bytesOf(r.shortConnectionName, 20);
    std::string longBefore = bytesOf(r.connectionName, 264);
    const char unreadable[] = "b";
    refuse(unreadable, 1, 1);
    clearEvents();
    EXPECT_EQ(channel.setConnectionName(unreadable), 0);
    expectOnlyText(43, SOURCE_BUFFER_ERROR);
    expectCodes(channel, 2, 2145);
    EXPECT_EQ(bytesOf(r.shortConnectionName, 20), shortBefore);
    EXPECT_EQ(bytesOf(r.connectionName, 264), longBefore);
}

TEST_F(ZroChlTest, AssignmentReleasesThenCopiesIntoTheSameRecord)
{
    ChannelProbe target;
    const char* names[] = {"a", "b", "c"};
    target.setReceiveExitNames(3, names);
    target.setSendExitNames(2, names);
    target.setSslPeerName("CN=target");
    ZRCD* address = &target.record();

    // A channel without exits or peer name: the target ends with none.
    ChannelProbe plain;
    plain.setModeName("MODE");
    target = plain;
    EXPECT_EQ(&target.record(), address);
    EXPECT_EQ(target.receiveExitCount(), 0u);
    EXPECT_EQ(target.sendExitCount(), 0u);
    EXPECT_EQ(target.record().receiveExitNameList, nullptr);
    EXPECT_EQ(target.record().receiveExitDataList, nullptr);
    EXPECT_EQ(target.record().sendExitNameList, nullptr);
    EXPECT_EQ(target.record().sendExitDataList, nullptr);
    EXPECT_EQ(target.record().sslPeerNamePointer, nullptr);
    EXPECT_EQ(std::memcmp(target.bytes(), plain.bytes(), sizeof(ZRCD)), 0);
    EXPECT_EQ(textOf(target.receiveExitName()), "");

    // Codes come with the copy: a failed source gives a failed target, a
    // clean source a clean one.
    const char unreadable[] = "x";
    refuse(unreadable, 1, 1);
    plain.setUserId(unreadable);
    allowAll();
    target = plain;
    expectCodes(target, 2, 2145);
    ChannelProbe clean;
    target = clean;
    expectCodes(target, 0, 0);

    // Assigning a channel to itself changes nothing.
    target.setReceiveExitNames(2, names);
    target.setSslPeerName("CN=self");
    target.setSecurityExitName(letters(130).c_str()); // 1/6115
    std::vector<unsigned char> before(target.bytes(), target.bytes() + sizeof(ZRCD));
    ZroChl& self = target;
    target = static_cast<const ChannelProbe&>(self);
    EXPECT_EQ(std::memcmp(target.bytes(), before.data(), sizeof(ZRCD)), 0);
    expectCodes(target, 1, 6115);
    EXPECT_EQ(textOf(target.sslPeerName()), "CN=self");
    EXPECT_EQ(textOf(target.receiveExitName()), "a");
    EXPECT_TRUE(records().empty());
}

TEST_F(ZroChlTest, SslPeerNameIsOwnedAndSizedToTheText)
{
    ChannelProbe channel;
    ZRCD& r = channel.record();
    EXPECT_EQ(r.sslPeerNamePointer, nullptr);

    EXPECT_EQ(channel.setSslPeerName("CN=first, O=x  "), 1);
    EXPECT_EQ(r.sslPeerNameLength, 15);
    EXPECT_EQ(bytesOf(r.sslPeerNamePointer, 15), "CN=first, O=x  ");
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=first, O=x");
    expectNoText();
    expectCodes(channel, 0, 0);

    // Set again: one buffer, holding the second name (the first is released;
    // the sanitizer and leak runs would see it otherwise).
    EXPECT_EQ(channel.setSslPeerName("CN=second"), 1);
    EXPECT_EQ(r.sslPeerNameLength, 9);
    EXPECT_EQ(bytesOf(r.sslPeerNamePointer, 9), "CN=second");
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=second");
    EXPECT_EQ(channel.setSslPeerName("CN=second"), 1);
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=second");

    // An unreadable text keeps the current name.
    const char unreadable[] = "CN=refused";
    refuse(unreadable, 1, 1);
    clearEvents();
    EXPECT_EQ(channel.setSslPeerName(unreadable), 0);
    expectOnlyText(43, SOURCE_BUFFER_ERROR);
    expectCodes(channel, 2, 2145);
    EXPECT_EQ(r.sslPeerNameLength, 9);
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=second");
    allowAll();

    // Empty and null texts: length 0, an empty name.
    EXPECT_EQ(channel.setSslPeerName(""), 1);
    EXPECT_EQ(r.sslPeerNameLength, 0);
    EXPECT_EQ(channel.sslPeerName().length(), 0u);
    EXPECT_EQ(channel.setSslPeerName(nullptr), 1);
    EXPECT_EQ(r.sslPeerNameLength, 0);
    EXPECT_EQ(channel.sslPeerName().length(), 0u);

    // A NUL written into the buffer by an outside writer ends the text.
    channel.setSslPeerName("CN=abc");
    r.sslPeerNamePointer[3] = '\0';
    EXPECT_EQ(textOf(channel.sslPeerName()), "CN=");
    EXPECT_TRUE(records().empty());
}

TEST_F(ZroChlTest, GettersReportStorageFailureOnTheString)
{
    ChannelProbe channel;
    channel.setChannelName("QM1.SVRCONN");
    channel.setSslPeerName("CN=peer");
    failAllocation(1);
    ZroStr name = channel.channelName();
    expectCodes(name, 2, 2071);
    EXPECT_EQ(name.length(), 0u);
    failAllocation(1);
    ZroStr peer = channel.sslPeerName();
    expectCodes(peer, 2, 2071);
    expectCodes(channel, 0, 0);
}

TEST_F(ZroChlTest, CopyOwnsItsRecordPeerNameAndLists)
{
    auto source = std::make_unique<ChannelProbe>();
    source->setChannelName("CHL.A");
    source->setTransportType(2);
    source->setSslPeerName("CN=source");
    const char* sendNames[] = {"sendA", "sendB"};
    const char* receiveNames[] = {"recvA"};
    source->setSendExitNames(2, sendNames);
    source->setSendUserData(2, sendNames);
    source->setReceiveExitNames(1, receiveNames);
    source->setSecurityUserData(letters(40).c_str()); // leaves 1/6115

    ChannelProbe copy(*source);
    expectCodes(copy, 1, 6115);
    const ZRCD& s = source->record();
    const ZRCD& c = copy.record();
    EXPECT_NE(&c, &s);
    // Every byte the same, except the addresses of what the copy owns.
    std::vector<unsigned char> image(copy.bytes(), copy.bytes() + sizeof(ZRCD));
    for (std::size_t at : {offsetof(ZRCD, sendExitNameList), offsetof(ZRCD, sendExitDataList),
                           offsetof(ZRCD, receiveExitNameList), offsetof(ZRCD, receiveExitDataList),
                           offsetof(ZRCD, sslPeerNamePointer)})
        std::memcpy(&image[at], source->bytes() + at, sizeof(char*));
    EXPECT_EQ(std::memcmp(image.data(), source->bytes(), sizeof(ZRCD)), 0);
    EXPECT_NE(c.sendExitNameList, s.sendExitNameList);
    EXPECT_NE(c.sendExitDataList, s.sendExitDataList);
    EXPECT_NE(c.receiveExitNameList, s.receiveExitNameList);
    EXPECT_NE(c.receiveExitDataList, s.receiveExitDataList);
    EXPECT_NE(c.sslPeerNamePointer, s.sslPeerNamePointer);
    EXPECT_EQ(bytesOf(c.sendExitNameList, 256), bytesOf(s.sendExitNameList, 256));
    EXPECT_EQ(bytesOf(c.sendExitDataList, 64), bytesOf(s.sendExitDataList, 64));
    EXPECT_EQ(bytesOf(c.receiveExitNameList, 128), bytesOf(s.receiveExitNameList, 128));

    // Changing the source afterwards leaves the copy alone.
    const char* other[] = {"changed"};
    source->setSendExitNames(1, other);
    source->setSslPeerName("CN=changed");
    source->setChannelName("CHL.B");
    EXPECT_EQ(copy.sendExitCount(), 2u);
    EXPECT_EQ(textOf(copy.sendExitName()), "sendA");
    EXPECT_EQ(textOf(copy.sendUserData()), "sendA");
    EXPECT_EQ(textOf(copy.sslPeerName()), "CN=source");
    EXPECT_EQ(textOf(copy.channelName()), "CHL.A");

    // So does destroying it.
    source.reset();
    ZroStr names[2];
    ZroStr* strings[] = {&names[0], &names[1]};
    EXPECT_EQ(copy.sendExitNames(2, strings), 1);
    EXPECT_EQ(textOf(names[0]), "sendA");
    EXPECT_EQ(textOf(names[1]), "sendB");
    EXPECT_EQ(textOf(copy.receiveExitName()), "recvA");
    EXPECT_EQ(textOf(copy.sslPeerName()), "CN=source");
    EXPECT_EQ(copy.transportType(), 2);
}
