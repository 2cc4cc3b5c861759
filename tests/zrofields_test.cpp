// The field tables against the classes, one table-driven check a record:
// every text getter gives what fieldText reads in place whatever the bytes,
// every setter pads with the table's character and cuts at its width, every
// binary getter gives the field's bytes at its width, and every field a
// message item carries comes back through copyOut and pasteIn.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "zrochl_probe.hpp"
#include "zroi/zroi.hpp"
#include "zrotest.hpp"

namespace {

/// A class's getter (text or binary) and text setter (none for a read-only
/// field), by the getter's name as the table gives it.
template <class C> struct Access {
    const char* name;
    ZroStr (*get)(const C&);
    void (*set)(C&, const char*);
    ZroBin (*bytes)(const C&);
};

template <class C>
Access<C> access(const char* name, ZroStr (*get)(const C&), void (*set)(C&, const char*) = nullptr,
                 ZroBin (*bytes)(const C&) = nullptr)
{
    return {name, get, set, bytes};
}
#define GETTER(C, get) access<C>(#get, [](const C& o) { return o.get(); })
#define TEXT(C, get, set) \
    access<C>(            \
        #get, [](const C& o) { return o.get(); }, [](C& o, const char* t) { o.set(t); })
#define BINARY(C, get) access<C>(#get, nullptr, nullptr, [](const C& o) { return o.get(); })

// Where each class keeps its record; the tests write bytes straight into it.
char* recordOf(ZroMsg& o) { return reinterpret_cast<char*>(&o.descriptor()); }
template <class H> char* recordOf(H& o)
{
    return const_cast<char*>(reinterpret_cast<const char*>(&o.record()));
}
char* recordOf(ZroGmo& o) { return static_cast<char*>(o.record()); }
char* recordOf(ChannelProbe& o) { return reinterpret_cast<char*>(&o.record()); }

template <class C, class H = C> void checkFields(const std::vector<Access<H>>& accessors)
{
    std::size_t checked = 0;
    for (const zroi::Field& field : zroi::fields<C>()) {
        const Access<H>* access = nullptr;
        for (const Access<H>& a : accessors)
            if (field.accessor != nullptr && std::string_view(a.name) == field.accessor)
                access = &a;
        if (access == nullptr && field.kind != zroi::FieldKind::text) continue;
        SCOPED_TRACE(field.name);
        ASSERT_TRUE(access != nullptr || field.accessor == nullptr) << "no " << field.accessor;
        if (access == nullptr) continue;
        ++checked;
        H object;
        char* record = recordOf(object);
        if (field.kind == zroi::FieldKind::binary) {
            for (uint32_t i = 0; i < field.width; ++i) record[field.offset + i] = char(i * 37 + 1);
            const ZroBin value = access->bytes(object);
            EXPECT_EQ(
                std::string(reinterpret_cast<const char*>(value.dataPointer()), value.dataLength()),
                std::string(record + field.offset, field.width));
            continue;
        }
        // Byte patterns a peer may send, cut or padded to the field's width:
        // blanks, NULs, full, blanks around and inside, a NUL inside, a NUL
        // after blanks past 8.
        for (std::string bytes :
             {std::string(), std::string(field.width, '\0'), std::string(field.width, 'w'),
              std::string("  a b"), std::string("x \0  z", 6) + std::string(field.width, 'q'),
              std::string("abcdefghij k  \0z", 16)}) {
            bytes.resize(field.width, ' ');
            std::memcpy(record + field.offset, bytes.data(), field.width);
            ZroStr text = access->get(object);
            EXPECT_EQ(std::string_view(text.dataPointer(), text.length()),
                      zroi::fieldText(field, record));
        }
        if (access->set == nullptr) continue;
        // One character, then the pad; a longer text cut to the width;
        // trailing blanks that a setter stores, as the getter gives them.
        const std::string longer(field.width + 3, 'L');
        std::string got;
        for (const char* text : {"A", longer.c_str(), "B  "}) {
            access->set(object, text);
            got += std::string(record + field.offset, field.width) + "|";
        }
        const std::string kept = field.pad == ' ' ? "B" + std::string(field.width - 1, ' ') : "B  ";
        EXPECT_EQ(got + std::string(zroi::fieldText(field, record)),
                  "A" + std::string(field.width - 1, field.pad) + "|" +
                      longer.substr(0, field.width) + "|" +
                      ("B  " + std::string(field.width, field.pad)).substr(0, field.width) + "|" +
                      (field.trimmed ? "B" : kept));
    }
    // Every getter listed is one the table knows.
    EXPECT_EQ(checked, accessors.size());
}

TEST(FieldTables, FieldsReadAsTheClassReadsThem)
{
    checkFields<ZroMsg>(
        {TEXT(ZroMsg, format, setFormat), TEXT(ZroMsg, replyToQueueName, setReplyToQueueName),
         TEXT(ZroMsg, replyToQueueManagerName, setReplyToQueueManagerName),
         TEXT(ZroMsg, userId, setUserId), TEXT(ZroMsg, applicationIdData, setApplicationIdData),
         TEXT(ZroMsg, putApplicationName, setPutApplicationName), TEXT(ZroMsg, putDate, setPutDate),
         TEXT(ZroMsg, putTime, setPutTime),
         TEXT(ZroMsg, applicationOriginData, setApplicationOriginData), BINARY(ZroMsg, messageId),
         BINARY(ZroMsg, correlationId), BINARY(ZroMsg, accountingToken), BINARY(ZroMsg, groupId)});
    checkFields<ZroDlh>({TEXT(ZroDlh, destinationQueueName, setDestinationQueueName),
                         TEXT(ZroDlh, destinationQueueManagerName, setDestinationQueueManagerName),
                         TEXT(ZroDlh, format, setFormat),
                         TEXT(ZroDlh, putApplicationName, setPutApplicationName),
                         TEXT(ZroDlh, putDate, setPutDate), TEXT(ZroDlh, putTime, setPutTime)});
    checkFields<ZroKih>(
        {TEXT(ZroKih, format, setFormat), GETTER(ZroKih, function), GETTER(ZroKih, bridgeAbendCode),
         TEXT(ZroKih, authenticator, setAuthenticator),
         TEXT(ZroKih, replyToFormat, setReplyToFormat),
         TEXT(ZroKih, transactionIdentifier, setTransactionIdentifier),
         TEXT(ZroKih, facilityLike, setFacilityLike),
         TEXT(ZroKih, attentionIdentifier, setAttentionIdentifier),
         TEXT(ZroKih, startCode, setStartCode), TEXT(ZroKih, bridgeCancelCode, setBridgeCancelCode),
         GETTER(ZroKih, nextTransactionIdentifier), BINARY(ZroKih, facilityToken)});
    checkFields<ZroRfh>({TEXT(ZroRfh, format, setFormat),
                         TEXT(ZroRfh, referenceType, setReferenceType),
                         BINARY(ZroRfh, instanceId)});
    checkFields<ZroRih>(
        {TEXT(ZroRih, format, setFormat),
         TEXT(ZroRih, logicalTerminalOverride, setLogicalTerminalOverride),
         TEXT(ZroRih, messageFormatServicesMapName, setMessageFormatServicesMapName),
         TEXT(ZroRih, replyToFormat, setReplyToFormat),
         TEXT(ZroRih, authenticator, setAuthenticator), BINARY(ZroRih, transactionInstanceId)});
    checkFields<ZroTrg>(
        {TEXT(ZroTrg, queueName, setQueueName), TEXT(ZroTrg, processName, setProcessName),
         TEXT(ZroTrg, triggerData, setTriggerData), TEXT(ZroTrg, applicationId, setApplicationId),
         TEXT(ZroTrg, environmentData, setEnvironmentData), TEXT(ZroTrg, userData, setUserData)});
    checkFields<ZroWih>({TEXT(ZroWih, format, setFormat), TEXT(ZroWih, serviceName, setServiceName),
                         TEXT(ZroWih, serviceStep, setServiceStep), BINARY(ZroWih, messageToken)});
    checkFields<ZroGmo>({GETTER(ZroGmo, resolvedQueueName)});
    checkFields<ZroGmo3>({GETTER(ZroGmo3, resolvedQueueName), BINARY(ZroGmo3, messageToken)});
    checkFields<ZroChl, ChannelProbe>(
        {TEXT(ChannelProbe, channelName, setChannelName), TEXT(ChannelProbe, modeName, setModeName),
         TEXT(ChannelProbe, transactionProgramName, setTransactionProgramName),
         TEXT(ChannelProbe, securityExitName, setSecurityExitName),
         TEXT(ChannelProbe, securityUserData, setSecurityUserData),
         TEXT(ChannelProbe, userId, setUserId), TEXT(ChannelProbe, password, setPassword),
         TEXT(ChannelProbe, connectionName, setConnectionName),
         TEXT(ChannelProbe, sslCipherSpecification, setSslCipherSpecification),
         TEXT(ChannelProbe, localAddress, setLocalAddress)});
}

// Every field of a trigger message but its structure id and version (kept
// as a new object has them) filled with a pattern, written with copyOut and
// read with pasteIn into a new object: the same record, byte for byte. (The
// header classes' records come back whole in the header protocol's chain.)
TEST(FieldTables, EveryCarriedFieldRoundTrips)
{
    ZroTrg trigger, read;
    char* record = recordOf(trigger);
    for (uint32_t i = 8; i < sizeof(ZRTM); ++i) record[i] = static_cast<char>(i * 7 + 3);
    ZroMsg message;
    ASSERT_EQ(trigger.copyOut(message), 1);
    message.setDataOffset(0);
    ASSERT_EQ(read.pasteIn(message), 1);
    EXPECT_EQ(std::string(recordOf(read), sizeof(ZRTM)), std::string(record, sizeof(ZRTM)));
}

// fieldText on a field of every width up to 20, and of 28 and 48, at the
// start of a record and behind a few bytes (where fewer than sixteen bytes
// lie around it, and more), against the rule: up to the first NUL, trailing
// blanks removed when the field is trimmed. The contents: letters up to
// each place, a NUL or a blank there, blanks behind it but an 'x' two
// places on; and a NUL after fifteen letters with a letter right behind it.
// The record lies once at the start of a page and once with the field
// ending at the page's end, the pages around it unreadable: nothing before
// the record or after the field is read.
TEST(FieldTables, FieldTextAtEveryWidthAndOffset)
{
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const auto mapping = mapAnonymous(3 * page, PROT_READ | PROT_WRITE);
    char* pages = mapping.get();
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(mprotect(pages, page, PROT_NONE), 0);
    ASSERT_EQ(mprotect(pages + 2 * page, page, PROT_NONE), 0);
    std::vector<uint32_t> widths = {28, 48};
    for (uint32_t width = 1; width <= 20; ++width) widths.push_back(width);
    for (uint32_t width : widths) {
        std::vector<std::string> texts = {std::string("abcdefghijklmno\0q", 17)};
        for (uint32_t at = 0; at <= width; ++at)
            for (char mark : {'\0', ' '}) {
                std::string text = letters(at) + std::string(width - at, ' ');
                if (at < width) text[at] = mark;
                if (at + 2 < width) text[at + 2] = 'x';
                texts.push_back(text);
            }
        for (uint32_t offset : {0u, 3u, 9u})
            for (bool trimmed : {false, true})
                for (const std::string& text : texts) {
                    std::string field = text.substr(0, width);
                    field.resize(width, ' ');
                    const std::string record = std::string(offset, 'r') + field;
                    const zroi::Field f{"f", offset,  width,  zroi::FieldKind::text,
                                        ' ', trimmed, nullptr};
                    std::string want = field.substr(0, field.find('\0'));
                    if (trimmed) want.erase(want.find_last_not_of(' ') + 1);
                    for (char* at : {pages + page, pages + 2 * page - record.size()}) {
                        std::memcpy(at, record.data(), record.size());
                        EXPECT_EQ(zroi::fieldText(f, at), want)
                            << offset << " " << width << " " << trimmed << " [" << text << "]";
                    }
                }
    }
}

// Integers read in place, every slot of a list and none beyond it.
TEST(FieldTables, IntegersReadInPlace)
{
    ChannelProbe channel;
    const zroi::FieldTable table = zroi::fields<ZroChl>();
    const zroi::Field& messages = *table.find("messageCompression");
    ASSERT_EQ(messages.width, 64u);
    char* record = recordOf(channel);
    for (int32_t slot = 0; slot <= 16; ++slot)
        std::memcpy(record + messages.offset + 4 * slot, &slot, 4); // slot 16: the next field
    for (uint32_t slot = 0; slot < 16; ++slot)
        EXPECT_EQ(zroi::fieldInteger(messages, record, slot), static_cast<int32_t>(slot));
    EXPECT_EQ(zroi::fieldInteger(messages, record, 16), 0);
    EXPECT_EQ(zroi::fieldInteger(*table.find("heartBeatInterval"), record),
              channel.heartBeatInterval());
    EXPECT_EQ(zroi::fieldInteger(*table.find("channelName"), record), 0); // text
}

} // namespace
