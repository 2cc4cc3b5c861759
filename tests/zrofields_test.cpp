// The field tables against the classes: for every text field that a class
// reads, its getter gives what fieldText reads in place, whatever the bytes;
// its setter pads with the table's character and cuts at the table's width.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "zrochl_probe.hpp"
#include "zroi/zroi.hpp"

namespace {

/// A class's text getter and setter (none for a read-only field), by the
/// getter's name as the table gives it.
template <class C> struct TextAccess {
    const char* name;
    ZroStr (*get)(const C&);
    void (*set)(C&, const char*);
};

#define GETTER(C, get)                                    \
    TextAccess<C>                                         \
    {                                                     \
#get, [](const C& o) { return o.get(); }, nullptr \
    }
#define ACCESS(C, get, set)                                                              \
    TextAccess<C>                                                                        \
    {                                                                                    \
#get, [](const C& o) { return o.get(); }, [](C & o, const char* t) { o.set(t); } \
    }

// Where each class keeps its record. The headers give it read-only; the
// tests write received bytes straight into it.
char* recordOf(ZroMsg& o) { return reinterpret_cast<char*>(&o.descriptor()); }
char* recordOf(ZroDlh& o) { return const_cast<char*>(reinterpret_cast<const char*>(&o.record())); }
char* recordOf(ZroKih& o) { return const_cast<char*>(reinterpret_cast<const char*>(&o.record())); }
char* recordOf(ZroRih& o) { return const_cast<char*>(reinterpret_cast<const char*>(&o.record())); }
char* recordOf(ZroTrg& o) { return const_cast<char*>(reinterpret_cast<const char*>(&o.record())); }
char* recordOf(ZroRfh& o) { return const_cast<char*>(reinterpret_cast<const char*>(&o.record())); }
char* recordOf(ZroWih& o) { return const_cast<char*>(reinterpret_cast<const char*>(&o.record())); }
char* recordOf(ZroGmo& o) { return static_cast<char*>(o.record()); }
char* recordOf(ZroGmo3& o) { return reinterpret_cast<char*>(&o.record()); }
char* recordOf(ChannelProbe& o) { return reinterpret_cast<char*>(&o.record()); }

/// Byte patterns a peer may send, cut or padded to the field's width.
std::vector<std::string> patterns(uint32_t width)
{
    std::vector<std::string> all = {
        std::string(width, ' '),                             // all blanks
        std::string(width, '\0'),                            // all NUL
        std::string(width, 'w'),                             // full, no terminator
        "  a b" + std::string(width, ' '),                   // leading, inner, trailing blanks
        std::string("x \0  z", 6) + std::string(width, 'q'), // a NUL inside
    };
    for (std::string& p : all) p.resize(width, ' ');
    return all;
}

template <class C, class H = C> void checkTexts(const std::vector<TextAccess<H>>& accessors)
{
    const zroi::FieldTable table = zroi::fields<C>();
    std::size_t checked = 0;
    for (const zroi::Field& field : table) {
        if (field.kind != zroi::FieldKind::text || field.accessor == nullptr) continue;
        SCOPED_TRACE(field.name);
        const TextAccess<H>* access = nullptr;
        for (const TextAccess<H>& a : accessors)
            if (std::string_view(a.name) == field.accessor) access = &a;
        ASSERT_NE(access, nullptr) << "no getter named " << field.accessor;
        ++checked;

        H object;
        char* record = recordOf(object);
        for (const std::string& bytes : patterns(field.width)) {
            std::memcpy(record + field.offset, bytes.data(), field.width);
            ZroStr text = access->get(object);
            EXPECT_EQ(std::string_view(text.dataPointer(), text.length()),
                      zroi::fieldText(field, record));
        }
        if (access->set == nullptr) continue;
        // One character, then the pad; a longer text cut to the width.
        access->set(object, "A");
        EXPECT_EQ(std::string(record + field.offset, field.width),
                  "A" + std::string(field.width - 1, field.pad));
        const std::string longer(field.width + 3, 'L');
        access->set(object, longer.c_str());
        EXPECT_EQ(std::string(record + field.offset, field.width), longer.substr(0, field.width));
        // Trailing blanks that a setter stores, as the getter gives them.
        access->set(object, "B  ");
        const std::string kept = field.pad == ' ' ? "B" + std::string(field.width - 1, ' ') : "B  ";
        EXPECT_EQ(zroi::fieldText(field, record), field.trimmed ? "B" : kept);
    }
    // Every getter the class lists is one the table knows.
    EXPECT_EQ(checked, accessors.size());
}

TEST(FieldTables, TextFieldsReadAsTheClassReadsThem)
{
    checkTexts<ZroMsg>(
        {ACCESS(ZroMsg, format, setFormat), ACCESS(ZroMsg, replyToQueueName, setReplyToQueueName),
         ACCESS(ZroMsg, replyToQueueManagerName, setReplyToQueueManagerName),
         ACCESS(ZroMsg, userId, setUserId), ACCESS(ZroMsg, applicationIdData, setApplicationIdData),
         ACCESS(ZroMsg, putApplicationName, setPutApplicationName),
         ACCESS(ZroMsg, putDate, setPutDate), ACCESS(ZroMsg, putTime, setPutTime),
         ACCESS(ZroMsg, applicationOriginData, setApplicationOriginData)});
    checkTexts<ZroDlh>({ACCESS(ZroDlh, destinationQueueName, setDestinationQueueName),
                        ACCESS(ZroDlh, destinationQueueManagerName, setDestinationQueueManagerName),
                        ACCESS(ZroDlh, format, setFormat),
                        ACCESS(ZroDlh, putApplicationName, setPutApplicationName),
                        ACCESS(ZroDlh, putDate, setPutDate), ACCESS(ZroDlh, putTime, setPutTime)});
    checkTexts<ZroKih>({ACCESS(ZroKih, format, setFormat), GETTER(ZroKih, function),
                        GETTER(ZroKih, bridgeAbendCode),
                        ACCESS(ZroKih, authenticator, setAuthenticator),
                        ACCESS(ZroKih, replyToFormat, setReplyToFormat),
                        ACCESS(ZroKih, transactionIdentifier, setTransactionIdentifier),
                        ACCESS(ZroKih, facilityLike, setFacilityLike),
                        ACCESS(ZroKih, attentionIdentifier, setAttentionIdentifier),
                        ACCESS(ZroKih, startCode, setStartCode),
                        ACCESS(ZroKih, bridgeCancelCode, setBridgeCancelCode),
                        GETTER(ZroKih, nextTransactionIdentifier)});
    checkTexts<ZroRih>(
        {ACCESS(ZroRih, format, setFormat),
         ACCESS(ZroRih, logicalTerminalOverride, setLogicalTerminalOverride),
         ACCESS(ZroRih, messageFormatServicesMapName, setMessageFormatServicesMapName),
         ACCESS(ZroRih, replyToFormat, setReplyToFormat),
         ACCESS(ZroRih, authenticator, setAuthenticator)});
    checkTexts<ZroTrg>({ACCESS(ZroTrg, queueName, setQueueName),
                        ACCESS(ZroTrg, processName, setProcessName),
                        ACCESS(ZroTrg, triggerData, setTriggerData),
                        ACCESS(ZroTrg, applicationId, setApplicationId),
                        ACCESS(ZroTrg, environmentData, setEnvironmentData),
                        ACCESS(ZroTrg, userData, setUserData)});
    checkTexts<ZroRfh>(
        {ACCESS(ZroRfh, format, setFormat), ACCESS(ZroRfh, referenceType, setReferenceType)});
    checkTexts<ZroWih>({ACCESS(ZroWih, format, setFormat),
                        ACCESS(ZroWih, serviceName, setServiceName),
                        ACCESS(ZroWih, serviceStep, setServiceStep)});
    checkTexts<ZroGmo>({GETTER(ZroGmo, resolvedQueueName)});
    checkTexts<ZroGmo3>({GETTER(ZroGmo3, resolvedQueueName)});
    checkTexts<ZroChl, ChannelProbe>(
        {ACCESS(ChannelProbe, channelName, setChannelName),
         ACCESS(ChannelProbe, modeName, setModeName),
         ACCESS(ChannelProbe, transactionProgramName, setTransactionProgramName),
         ACCESS(ChannelProbe, securityExitName, setSecurityExitName),
         ACCESS(ChannelProbe, securityUserData, setSecurityUserData),
         ACCESS(ChannelProbe, userId, setUserId), ACCESS(ChannelProbe, password, setPassword),
         ACCESS(ChannelProbe, connectionName, setConnectionName),
         ACCESS(ChannelProbe, sslCipherSpecification, setSslCipherSpecification),
         ACCESS(ChannelProbe, localAddress, setLocalAddress)});
}

// A holding class and its record name the same table; ZroGmo holds the
// first 80 bytes of ZRGMO, ZroGmo3 all of it.
TEST(FieldTables, ClassesNameTheirRecordsTable)
{
    EXPECT_EQ(zroi::fields<ZroDlh>().begin(), zroi::fields<ZRDLH>().begin());
    EXPECT_EQ(zroi::fields<ZroMsg>().recordLength(), sizeof(ZRMD));
    EXPECT_EQ(zroi::fields<ZroRfh>().recordLength(), 108u);
    EXPECT_EQ(zroi::fields<ZroGmo>().recordLength(), 80u);
    EXPECT_EQ(zroi::fields<ZroGmo>().find("messageToken"), nullptr);
    EXPECT_NE(zroi::fields<ZroGmo3>().find("messageToken"), nullptr);
    EXPECT_EQ(zroi::fields<ZroChl>().find("nonesuch"), nullptr);
}

// Integers read in place, the slots of a list included.
TEST(FieldTables, IntegersReadInPlace)
{
    ChannelProbe channel;
    const zroi::FieldTable table = zroi::fields<ZroChl>();
    const zroi::Field& messages = *table.find("messageCompression");
    EXPECT_EQ(messages.width, 64u);
    channel.record().messageCompression[15] = 7;
    EXPECT_EQ(zroi::fieldInteger(messages, &channel.record(), 15), 7);
    EXPECT_EQ(zroi::fieldInteger(messages, &channel.record(), 16), 0); // beyond the list
    EXPECT_EQ(zroi::fieldInteger(*table.find("heartBeatInterval"), &channel.record()),
              channel.heartBeatInterval());
    EXPECT_EQ(zroi::fieldInteger(*table.find("channelName"), &channel.record()), 0); // text

    ZroKih header;
    for (const zroi::Field& field : zroi::fields<ZroKih>())
        if (field.kind == zroi::FieldKind::integer)
            std::memcpy(recordOf(header) + field.offset, &field.offset, sizeof(int32_t));
    EXPECT_EQ(header.UOWControl(), 44);
    EXPECT_EQ(header.bridgeErrorOffset(), 168);
    EXPECT_EQ(zroi::fieldInteger(*zroi::fields<ZroKih>().find("linkType"), &header.record()),
              header.linkType());
}

} // namespace
