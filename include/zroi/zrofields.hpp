// zroi::fields: every field of every record, as data.
//
// Each record of the library (the message descriptor ZRMD, the headers
// ZRDLH, ZRKIH, ZRRIH, ZRRMH (its fixed part) and ZRWIH, the trigger message
// ZRTM and its character form ZRTMC2, the get-message options ZRGMO and the
// channel definition ZRCD) has one constant table of its fields, in the
// order they lie in the record: name, offset, width, kind, and for a text
// field the character its setter pads with and whether its getter removes
// trailing blanks. The tables are checked against the record structs when
// this header is compiled: every offset is the member's offsetof, every
// width its sizeof, and the fields follow one another without gap or overlap
// up to the record's end (the only gaps allowed are the alignment the
// compiler puts before a pointer of ZRCD with 8-byte pointers).
//
// A table is found by the record or by the class that holds it:
//
// ```cpp
// const zroi::FieldTable table = zroi::fields<ZroDlh>(); // the same as fields<ZRDLH>()
// ZroDlh header;
// header.setPutApplicationName("PAYROLL  ");
// for (const zroi::Field& field : table)
//     if (field.kind == zroi::FieldKind::text)
//         std::cout << field.name << '=' << zroi::fieldText(field, &header.record()) << '\n';
// // ... putApplName=PAYROLL (the getter's text: up to the first NUL,
// // trailing blanks removed because the field is trimmed)
// ```
//
// ```cpp
// const zroi::Field* encoding = table.find("encoding");   // offset 108, width 4
// int32_t value = zroi::fieldInteger(*encoding, &header.record()); // 546
// ```
//
// fieldText and fieldInteger read the record in place and allocate nothing;
// the class getters that return ZroStr or ZroBin give the same values.
#ifndef ZROI_ZROFIELDS_HPP
#define ZROI_ZROFIELDS_HPP

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"

class ZroMsg;
class ZroDlh;
class ZroKih;
class ZroRih;
class ZroTrg;
class ZroRfh;
class ZroWih;
class ZroGmo;
class ZroGmo3;
class ZroChl;

namespace zroi {

/// How a field's bytes are to be taken.
enum class FieldKind : uint8_t {
    integer, ///< int32 in the record's byte order (width 4, or 4 per slot of an integer list)
    text,    ///< fixed-width characters, not terminated
    binary,  ///< bytes never converted: identifiers, tokens, spare bytes
    pointer, ///< a machine address (ZRCD only); its width is the platform's
};

/// One field of a record.
struct Field {
    const char* name;     ///< the record struct's member name, e.g. "putApplName"
    uint32_t offset;      ///< bytes from the start of the record
    uint32_t width;       ///< bytes; an integer is 4, an integer list 4 per slot
    FieldKind kind;       ///< see FieldKind
    char pad;             ///< text: what a setter fills the rest of the field with
                          ///< (for a field without a setter, what its default is
                          ///< filled with); '\0' for the other kinds
    bool trimmed;         ///< text: the getter removes trailing blanks (a field
                          ///< without a getter follows the record's other fields)
    const char* accessor; ///< the holding class's getter, or nullptr when it has none
};

/// A constant view of one record's fields, in record order.
class FieldTable {
public:
    constexpr FieldTable() noexcept = default;
    constexpr FieldTable(const Field* first, std::size_t count, uint32_t recordLength) noexcept
        : fields_(first), size_(count), recordLength_(recordLength)
    {
    }

    constexpr const Field* begin() const noexcept { return fields_; }
    constexpr const Field* end() const noexcept { return fields_ + size_; }
    constexpr std::size_t size() const noexcept { return size_; }
    constexpr const Field& operator[](std::size_t index) const { return fields_[index]; }
    /// The field of that member name, or nullptr.
    constexpr const Field* find(std::string_view name) const noexcept
    {
        for (std::size_t i = 0; i < size_; ++i)
            if (name == fields_[i].name) return &fields_[i];
        return nullptr;
    }
    /// The field of that member name, by value; a name the table lacks is
    /// not a constant (so a lookup made when compiling fails to compile).
    constexpr Field named(std::string_view name) const
    {
        for (std::size_t i = 0; i < size_; ++i)
            if (name == fields_[i].name) return fields_[i];
        throw "no such field";
    }
    /// Bytes of the record the table describes (of its fixed part for ZRRMH;
    /// 80 for ZroGmo, which holds version 2 of ZRGMO).
    constexpr uint32_t recordLength() const noexcept { return recordLength_; }

private:
    const Field* fields_ = nullptr;
    std::size_t size_ = 0;
    uint32_t recordLength_ = 0;
};

/// The field's characters up to its first NUL (or its whole width), with
/// trailing blanks removed when the field is trimmed: the text the class's
/// getter returns. A view into `record`; nothing is allocated.
ZROI_API std::string_view fieldText(const Field& field, const void* record) noexcept;
/// The integer of an integer field (the first slot of an integer list) in
/// the machine's byte order; 0 for a field of another kind.
ZROI_API int32_t fieldInteger(const Field& field, const void* record) noexcept;
/// Slot `index` of an integer list (ZRCD's compression lists); 0 for an
/// index beyond the field or a field that is not an integer.
ZROI_API int32_t fieldInteger(const Field& field, const void* record, uint32_t index) noexcept;

namespace detail {

template <class Member>
constexpr Field integerField(const char* name, std::size_t offset, const char* accessor) noexcept
{
    static_assert(std::is_same<std::remove_all_extents_t<Member>, int32_t>::value,
                  "an integer field is an int32_t or a list of them");
    return {name,    static_cast<uint32_t>(offset), sizeof(Member), FieldKind::integer, '\0', false,
            accessor};
}

template <class Member>
constexpr Field textField(const char* name, std::size_t offset, char pad, bool trimmed,
                          const char* accessor) noexcept
{
    static_assert(std::is_same<std::remove_extent_t<Member>, char>::value,
                  "a text field is an array of char");
    return {name,    static_cast<uint32_t>(offset), sizeof(Member), FieldKind::text, pad, trimmed,
            accessor};
}

template <class Member>
constexpr Field binaryField(const char* name, std::size_t offset, const char* accessor) noexcept
{
    static_assert(std::is_same<std::remove_extent_t<Member>, unsigned char>::value,
                  "a binary field is an array of unsigned char");
    return {name,    static_cast<uint32_t>(offset), sizeof(Member), FieldKind::binary, '\0', false,
            accessor};
}

template <class Member>
constexpr Field pointerField(const char* name, std::size_t offset, const char* accessor) noexcept
{
    static_assert(std::is_pointer<Member>::value, "a pointer field is a pointer");
    return {name,    static_cast<uint32_t>(offset), sizeof(Member), FieldKind::pointer, '\0', false,
            accessor};
}

/// True when the fields lie one after the other from offset 0 to `length`,
/// none overlapping. The only gaps allowed are those the compiler leaves to
/// align a pointer: before a pointer field, and at the end of a record that
/// holds pointers.
constexpr bool coversRecord(const Field* first, std::size_t count, std::size_t length) noexcept
{
    std::size_t end = 0;
    bool pointers = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Field& field = first[i];
        if (field.width == 0) return false;
        pointers = pointers || field.kind == FieldKind::pointer;
        if (field.offset != end) {
            const bool alignsPointer = field.kind == FieldKind::pointer && field.offset > end &&
                                       field.offset - end < alignof(void*) &&
                                       field.offset % alignof(void*) == 0;
            if (!alignsPointer) return false;
        }
        end = field.offset + field.width;
    }
    if (end == length) return true;
    return pointers && end < length && length - end < alignof(void*) &&
           length % alignof(void*) == 0;
}

/// True when no two fields share a name.
constexpr bool namesUnique(const Field* first, std::size_t count) noexcept
{
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j) {
            std::string_view a = first[i].name, b = first[j].name;
            if (a == b) return false;
        }
    return true;
}

template <class R> struct FieldsOf; // one specialisation per record below

// One entry per member: offset and width come from the struct itself.
#define ZROI_INTEGER(R, member, accessor) \
    ::zroi::detail::integerField<decltype(R::member)>(#member, offsetof(R, member), accessor)
#define ZROI_TEXT(R, member, pad, trimmed, accessor)                                           \
    ::zroi::detail::textField<decltype(R::member)>(#member, offsetof(R, member), pad, trimmed, \
                                                   accessor)
#define ZROI_BINARY(R, member, accessor) \
    ::zroi::detail::binaryField<decltype(R::member)>(#member, offsetof(R, member), accessor)
#define ZROI_POINTER(R, member, accessor) \
    ::zroi::detail::pointerField<decltype(R::member)>(#member, offsetof(R, member), accessor)

// Checks a record's table where it is defined.
#define ZROI_CHECK_FIELDS(R, length)                                                     \
    static_assert(coversRecord(FieldsOf<R>::list, std::size(FieldsOf<R>::list), length), \
                  "the fields of " #R " cover it without gap or overlap");               \
    static_assert(namesUnique(FieldsOf<R>::list, std::size(FieldsOf<R>::list)),          \
                  "every field of " #R " is named once")

template <> struct FieldsOf<ZRMD> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRMD, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRMD, version, "version"),
        ZROI_INTEGER(ZRMD, report, "report"),
        ZROI_INTEGER(ZRMD, messageType, "messageType"),
        ZROI_INTEGER(ZRMD, expiry, "expiry"),
        ZROI_INTEGER(ZRMD, feedback, "feedback"),
        ZROI_INTEGER(ZRMD, encoding, "encoding"),
        ZROI_INTEGER(ZRMD, codedCharSetId, "characterSet"),
        ZROI_TEXT(ZRMD, format, ' ', false, "format"),
        ZROI_INTEGER(ZRMD, priority, "priority"),
        ZROI_INTEGER(ZRMD, persistence, "persistence"),
        ZROI_BINARY(ZRMD, messageId, "messageId"),
        ZROI_BINARY(ZRMD, correlationId, "correlationId"),
        ZROI_INTEGER(ZRMD, backoutCount, "backoutCount"),
        ZROI_TEXT(ZRMD, replyToQueueName, '\0', true, "replyToQueueName"),
        ZROI_TEXT(ZRMD, replyToQueueManagerName, '\0', true, "replyToQueueManagerName"),
        ZROI_TEXT(ZRMD, userId, '\0', true, "userId"),
        ZROI_BINARY(ZRMD, accountingToken, "accountingToken"),
        ZROI_TEXT(ZRMD, applIdData, '\0', true, "applicationIdData"),
        ZROI_INTEGER(ZRMD, putApplType, "putApplicationType"),
        ZROI_TEXT(ZRMD, putApplName, '\0', true, "putApplicationName"),
        ZROI_TEXT(ZRMD, putDate, '\0', true, "putDate"),
        ZROI_TEXT(ZRMD, putTime, '\0', true, "putTime"),
        ZROI_TEXT(ZRMD, applOriginData, '\0', true, "applicationOriginData"),
        ZROI_BINARY(ZRMD, groupId, "groupId"),
        ZROI_INTEGER(ZRMD, sequenceNumber, "sequenceNumber"),
        ZROI_INTEGER(ZRMD, segmentOffset, "segmentOffset"),
        ZROI_INTEGER(ZRMD, messageFlags, "messageFlags"),
        ZROI_INTEGER(ZRMD, originalLength, "originalLength"),
    };
};
ZROI_CHECK_FIELDS(ZRMD, sizeof(ZRMD));

// The header flags of a dead-letter header are the object's, not the record's.
template <> struct FieldsOf<ZRDLH> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRDLH, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRDLH, version, nullptr),
        ZROI_INTEGER(ZRDLH, spareInteger1, nullptr),
        ZROI_TEXT(ZRDLH, destinationQueueName, '\0', true, "destinationQueueName"),
        ZROI_TEXT(ZRDLH, destinationQueueManagerName, '\0', true, "destinationQueueManagerName"),
        ZROI_INTEGER(ZRDLH, encoding, "encoding"),
        ZROI_INTEGER(ZRDLH, codedCharSetId, "characterSet"),
        ZROI_TEXT(ZRDLH, format, ' ', false, "format"),
        ZROI_INTEGER(ZRDLH, spareInteger2, nullptr),
        ZROI_TEXT(ZRDLH, putApplName, '\0', true, "putApplicationName"),
        ZROI_TEXT(ZRDLH, putDate, '\0', true, "putDate"),
        ZROI_TEXT(ZRDLH, putTime, '\0', true, "putTime"),
    };
};
ZROI_CHECK_FIELDS(ZRDLH, sizeof(ZRDLH));

// Every character field of the KOTA bridge header is blank padded and keeps
// its trailing blanks. Version 1 is the fields before cursorPosition.
template <> struct FieldsOf<ZRKIH> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRKIH, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRKIH, version, "version"),
        ZROI_INTEGER(ZRKIH, strucLength, nullptr),
        ZROI_INTEGER(ZRKIH, encoding, "encoding"),
        ZROI_INTEGER(ZRKIH, codedCharSetId, "characterSet"),
        ZROI_TEXT(ZRKIH, format, ' ', false, "format"),
        ZROI_INTEGER(ZRKIH, headerFlags, "headerFlags"),
        ZROI_INTEGER(ZRKIH, bridgeReturnCode, "bridgeReturnCode"),
        ZROI_INTEGER(ZRKIH, bridgeCompletionCode, "bridgeCompletionCode"),
        ZROI_INTEGER(ZRKIH, bridgeReasonCode, "bridgeReasonCode"),
        ZROI_INTEGER(ZRKIH, uowControl, "UOWControl"),
        ZROI_INTEGER(ZRKIH, getWaitInterval, "getWaitInterval"),
        ZROI_INTEGER(ZRKIH, linkType, "linkType"),
        ZROI_INTEGER(ZRKIH, outputDataLength, "outputDataLength"),
        ZROI_INTEGER(ZRKIH, facilityKeepTime, "facilityKeepTime"),
        ZROI_INTEGER(ZRKIH, adsDescriptor, "ADSDescriptor"),
        ZROI_INTEGER(ZRKIH, conversationalTask, "conversationalTask"),
        ZROI_INTEGER(ZRKIH, taskEndStatus, "taskEndStatus"),
        ZROI_BINARY(ZRKIH, facilityToken, "facilityToken"),
        ZROI_TEXT(ZRKIH, function, ' ', false, "function"),
        ZROI_TEXT(ZRKIH, bridgeAbendCode, ' ', false, "bridgeAbendCode"),
        ZROI_TEXT(ZRKIH, authenticator, ' ', false, "authenticator"),
        ZROI_TEXT(ZRKIH, spareText1, ' ', false, nullptr),
        ZROI_TEXT(ZRKIH, replyToFormat, ' ', false, "replyToFormat"),
        ZROI_TEXT(ZRKIH, spareText2, ' ', false, nullptr),
        ZROI_TEXT(ZRKIH, spareText3, ' ', false, nullptr),
        ZROI_TEXT(ZRKIH, transactionId, ' ', false, "transactionIdentifier"),
        ZROI_TEXT(ZRKIH, facilityLike, ' ', false, "facilityLike"),
        ZROI_TEXT(ZRKIH, attentionId, ' ', false, "attentionIdentifier"),
        ZROI_TEXT(ZRKIH, startCode, ' ', false, "startCode"),
        ZROI_TEXT(ZRKIH, bridgeCancelCode, ' ', false, "bridgeCancelCode"),
        ZROI_TEXT(ZRKIH, nextTransactionId, ' ', false, "nextTransactionIdentifier"),
        ZROI_TEXT(ZRKIH, spareText4, ' ', false, nullptr),
        ZROI_TEXT(ZRKIH, spareText5, ' ', false, nullptr),
        ZROI_INTEGER(ZRKIH, cursorPosition, "cursorPosition"),
        ZROI_INTEGER(ZRKIH, bridgeErrorOffset, "bridgeErrorOffset"),
        ZROI_INTEGER(ZRKIH, spareInteger1, nullptr),
        ZROI_INTEGER(ZRKIH, spareInteger2, nullptr),
    };
};
ZROI_CHECK_FIELDS(ZRKIH, sizeof(ZRKIH));

template <> struct FieldsOf<ZRRIH> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRRIH, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRRIH, version, nullptr),
        ZROI_INTEGER(ZRRIH, strucLength, nullptr),
        ZROI_INTEGER(ZRRIH, encoding, "encoding"),
        ZROI_INTEGER(ZRRIH, codedCharSetId, "characterSet"),
        ZROI_TEXT(ZRRIH, format, ' ', false, "format"),
        ZROI_INTEGER(ZRRIH, headerFlags, "headerFlags"),
        ZROI_TEXT(ZRRIH, logicalTerminalOverride, '\0', true, "logicalTerminalOverride"),
        ZROI_TEXT(ZRRIH, messageFormatServicesMapName, '\0', true, "messageFormatServicesMapName"),
        ZROI_TEXT(ZRRIH, replyToFormat, ' ', false, "replyToFormat"),
        ZROI_TEXT(ZRRIH, authenticator, '\0', false, "authenticator"),
        ZROI_BINARY(ZRRIH, transactionInstanceId, "transactionInstanceId"),
        ZROI_TEXT(ZRRIH, spareCharacters, ' ', false, nullptr),
    };
};
ZROI_CHECK_FIELDS(ZRRIH, sizeof(ZRRIH));

template <> struct FieldsOf<ZRTM> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRTM, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRTM, version, nullptr),
        ZROI_TEXT(ZRTM, queueName, '\0', true, "queueName"),
        ZROI_TEXT(ZRTM, processName, '\0', true, "processName"),
        ZROI_TEXT(ZRTM, triggerData, '\0', true, "triggerData"),
        ZROI_INTEGER(ZRTM, spareInteger, nullptr),
        ZROI_TEXT(ZRTM, applId, '\0', true, "applicationId"),
        ZROI_TEXT(ZRTM, environmentData, '\0', true, "environmentData"),
        ZROI_TEXT(ZRTM, userData, '\0', true, "userData"),
    };
};
ZROI_CHECK_FIELDS(ZRTM, sizeof(ZRTM));

// The character form of a trigger message: every field blank filled by
// ZroTrg::copyOut(ZRTMC2*), numbers included; nothing reads it back.
template <> struct FieldsOf<ZRTMC2> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRTMC2, strucId, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, version, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, queueName, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, processName, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, triggerData, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, spareInteger, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, applId, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, environmentData, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, userData, ' ', false, nullptr),
        ZROI_TEXT(ZRTMC2, trailingText, ' ', false, nullptr),
    };
};
ZROI_CHECK_FIELDS(ZRTMC2, sizeof(ZRTMC2));

// The fixed part of the reference header; its four variable strings follow
// it at the offsets and lengths it gives.
template <> struct FieldsOf<ZRRMH> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRRMH, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRRMH, version, nullptr),
        ZROI_INTEGER(ZRRMH, strucLength, nullptr),
        ZROI_INTEGER(ZRRMH, encoding, "encoding"),
        ZROI_INTEGER(ZRRMH, codedCharSetId, "characterSet"),
        ZROI_TEXT(ZRRMH, format, ' ', false, "format"),
        ZROI_INTEGER(ZRRMH, headerFlags, "headerFlags"),
        ZROI_TEXT(ZRRMH, referenceType, '\0', true, "referenceType"),
        ZROI_BINARY(ZRRMH, instanceId, "instanceId"),
        ZROI_INTEGER(ZRRMH, sourceEnvironmentLength, nullptr),
        ZROI_INTEGER(ZRRMH, sourceEnvironmentOffset, nullptr),
        ZROI_INTEGER(ZRRMH, sourceNameLength, nullptr),
        ZROI_INTEGER(ZRRMH, sourceNameOffset, nullptr),
        ZROI_INTEGER(ZRRMH, destinationEnvironmentLength, nullptr),
        ZROI_INTEGER(ZRRMH, destinationEnvironmentOffset, nullptr),
        ZROI_INTEGER(ZRRMH, destinationNameLength, nullptr),
        ZROI_INTEGER(ZRRMH, destinationNameOffset, nullptr),
        ZROI_INTEGER(ZRRMH, spareInteger1, nullptr),
        ZROI_INTEGER(ZRRMH, spareInteger2, nullptr),
        ZROI_INTEGER(ZRRMH, spareInteger3, nullptr),
    };
};
ZROI_CHECK_FIELDS(ZRRMH, sizeof(ZRRMH));

template <> struct FieldsOf<ZRWIH> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRWIH, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRWIH, version, nullptr),
        ZROI_INTEGER(ZRWIH, strucLength, nullptr),
        ZROI_INTEGER(ZRWIH, encoding, "encoding"),
        ZROI_INTEGER(ZRWIH, codedCharSetId, "characterSet"),
        ZROI_TEXT(ZRWIH, format, ' ', false, "format"),
        ZROI_INTEGER(ZRWIH, headerFlags, "headerFlags"),
        ZROI_TEXT(ZRWIH, serviceName, ' ', false, "serviceName"),
        ZROI_TEXT(ZRWIH, serviceStep, ' ', false, "serviceStep"),
        ZROI_BINARY(ZRWIH, messageToken, "messageToken"),
        ZROI_BINARY(ZRWIH, spareBytes, nullptr),
    };
};
ZROI_CHECK_FIELDS(ZRWIH, sizeof(ZRWIH));

// Version 3 of the get-message options; version 2 (ZroGmo) is the fields
// before messageToken.
template <> struct FieldsOf<ZRGMO> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRGMO, strucId, ' ', false, nullptr),
        ZROI_INTEGER(ZRGMO, version, nullptr),
        ZROI_INTEGER(ZRGMO, options, nullptr),
        ZROI_INTEGER(ZRGMO, word12, nullptr),
        ZROI_INTEGER(ZRGMO, word16, nullptr),
        ZROI_INTEGER(ZRGMO, word20, nullptr),
        ZROI_TEXT(ZRGMO, resolvedQueueName, '\0', true, "resolvedQueueName"),
        ZROI_INTEGER(ZRGMO, word72, nullptr),
        ZROI_TEXT(ZRGMO, text76, ' ', true, nullptr),
        ZROI_BINARY(ZRGMO, messageToken, "messageToken"),
        ZROI_INTEGER(ZRGMO, word96, nullptr),
    };
};
ZROI_CHECK_FIELDS(ZRGMO, sizeof(ZRGMO));

// Every character field of the channel definition is NUL padded and read
// with trailing blanks removed. The pointers are the platform's width; the
// exit lists and the peer name they point to are the object's own storage.
template <> struct FieldsOf<ZRCD> {
    static constexpr Field list[] = {
        ZROI_TEXT(ZRCD, channelName, '\0', true, "channelName"),
        ZROI_INTEGER(ZRCD, word20, nullptr),
        ZROI_INTEGER(ZRCD, word24, nullptr),
        ZROI_INTEGER(ZRCD, transportType, "transportType"),
        ZROI_TEXT(ZRCD, text32, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text96, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text144, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, shortConnectionName, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text212, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, modeName, '\0', true, "modeName"),
        ZROI_TEXT(ZRCD, transactionProgramName, '\0', true, "transactionProgramName"),
        ZROI_INTEGER(ZRCD, word304, nullptr),
        ZROI_INTEGER(ZRCD, word308, nullptr),
        ZROI_INTEGER(ZRCD, word312, nullptr),
        ZROI_INTEGER(ZRCD, word316, nullptr),
        ZROI_INTEGER(ZRCD, word320, nullptr),
        ZROI_INTEGER(ZRCD, word324, nullptr),
        ZROI_TEXT(ZRCD, securityExitName, '\0', true, "securityExitName"),
        ZROI_TEXT(ZRCD, text456, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text584, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text712, '\0', true, nullptr),
        ZROI_INTEGER(ZRCD, word840, nullptr),
        ZROI_INTEGER(ZRCD, maximumMessageLength, "maximumMessageLength"),
        ZROI_INTEGER(ZRCD, word848, nullptr),
        ZROI_INTEGER(ZRCD, word852, nullptr),
        ZROI_TEXT(ZRCD, securityUserData, '\0', true, "securityUserData"),
        ZROI_TEXT(ZRCD, text888, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text920, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text952, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, userId, '\0', true, "userId"),
        ZROI_TEXT(ZRCD, password, '\0', true, "password"),
        ZROI_TEXT(ZRCD, text1008, '\0', true, nullptr),
        ZROI_INTEGER(ZRCD, word1020, nullptr),
        ZROI_TEXT(ZRCD, connectionName, '\0', true, "connectionName"),
        ZROI_TEXT(ZRCD, text1288, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text1300, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text1312, '\0', true, nullptr),
        ZROI_TEXT(ZRCD, text1440, '\0', true, nullptr),
        ZROI_INTEGER(ZRCD, word1472, nullptr),
        ZROI_INTEGER(ZRCD, word1476, nullptr),
        ZROI_INTEGER(ZRCD, heartBeatInterval, "heartBeatInterval"),
        ZROI_INTEGER(ZRCD, word1484, nullptr),
        ZROI_INTEGER(ZRCD, word1488, nullptr),
        ZROI_INTEGER(ZRCD, recordLength, nullptr),
        ZROI_INTEGER(ZRCD, exitNameLength, nullptr),
        ZROI_INTEGER(ZRCD, exitDataLength, nullptr),
        ZROI_INTEGER(ZRCD, word1504, nullptr),
        ZROI_INTEGER(ZRCD, sendExitCount, "sendExitCount"),
        ZROI_INTEGER(ZRCD, receiveExitCount, "receiveExitCount"),
        ZROI_INTEGER(ZRCD, word1516, nullptr),
        ZROI_INTEGER(ZRCD, word1520, nullptr),
        ZROI_POINTER(ZRCD, sendExitNameList, nullptr),
        ZROI_POINTER(ZRCD, sendExitDataList, nullptr),
        ZROI_POINTER(ZRCD, receiveExitNameList, nullptr),
        ZROI_POINTER(ZRCD, receiveExitDataList, nullptr),
        ZROI_INTEGER(ZRCD, word1540, nullptr),
        ZROI_INTEGER(ZRCD, word1544, nullptr),
        ZROI_INTEGER(ZRCD, word1548, nullptr),
        ZROI_INTEGER(ZRCD, word1552, nullptr),
        ZROI_INTEGER(ZRCD, word1556, nullptr),
        ZROI_INTEGER(ZRCD, word1560, nullptr),
        ZROI_INTEGER(ZRCD, word1564, nullptr),
        ZROI_BINARY(ZRCD, bytes1568, nullptr),
        ZROI_BINARY(ZRCD, bytes1608, nullptr),
        ZROI_TEXT(ZRCD, sslCipherSpecification, '\0', true, "sslCipherSpecification"),
        ZROI_POINTER(ZRCD, sslPeerNamePointer, nullptr),
        ZROI_INTEGER(ZRCD, sslPeerNameLength, nullptr),
        ZROI_INTEGER(ZRCD, sslClientAuthentication, "sslClientAuthentication"),
        ZROI_INTEGER(ZRCD, keepAliveInterval, "keepAliveInterval"),
        ZROI_TEXT(ZRCD, localAddress, '\0', true, "localAddress"),
        ZROI_INTEGER(ZRCD, batchHeartBeat, "batchHeartBeat"),
        ZROI_INTEGER(ZRCD, headerCompression, nullptr),
        ZROI_INTEGER(ZRCD, messageCompression, nullptr),
        ZROI_INTEGER(ZRCD, word1820, nullptr),
        ZROI_INTEGER(ZRCD, word1824, nullptr),
        ZROI_INTEGER(ZRCD, word1828, nullptr),
        ZROI_INTEGER(ZRCD, word1832, nullptr),
        ZROI_INTEGER(ZRCD, word1836, nullptr),
    };
};
ZROI_CHECK_FIELDS(ZRCD, sizeof(ZRCD));

#undef ZROI_CHECK_FIELDS
#undef ZROI_INTEGER
#undef ZROI_TEXT
#undef ZROI_BINARY
#undef ZROI_POINTER

/// The table of R's record; R is a record or the class that holds one.
template <class R> struct FieldsOf : FieldsOf<typename R::Record> {
};

template <class R> constexpr FieldTable tableOf() noexcept
{
    return FieldTable(FieldsOf<R>::list, std::size(FieldsOf<R>::list), sizeof(R));
}

/// The record a class holds; a record stands for itself.
template <class C> struct Holds {
    using type = C;
};
#define ZROI_HOLDS(C, R)          \
    template <> struct Holds<C> { \
        using type = R;           \
    }
ZROI_HOLDS(ZroMsg, ZRMD);
ZROI_HOLDS(ZroDlh, ZRDLH);
ZROI_HOLDS(ZroKih, ZRKIH);
ZROI_HOLDS(ZroRih, ZRRIH);
ZROI_HOLDS(ZroTrg, ZRTM);
ZROI_HOLDS(ZroRfh, ZRRMH);
ZROI_HOLDS(ZroWih, ZRWIH);
ZROI_HOLDS(ZroGmo3, ZRGMO);
ZROI_HOLDS(ZroChl, ZRCD);
#undef ZROI_HOLDS

/// Version 2 of ZRGMO, which ZroGmo holds, is its fields before the message token.
constexpr std::size_t kGmoVersion2Fields = 9;
static_assert(coversRecord(FieldsOf<ZRGMO>::list, kGmoVersion2Fields, ZRGMO_LENGTH_2),
              "version 2 of ZRGMO is a whole number of its fields");

} // namespace detail

/// The fields of R: a record (ZRMD, ZRDLH, ZRKIH, ZRRIH, ZRTM, ZRTMC2, ZRRMH,
/// ZRWIH, ZRGMO, ZRCD) or a class that holds one (ZroMsg for its descriptor,
/// ZroDlh, ZroKih, ZroRih, ZroTrg, ZroRfh, ZroWih, ZroGmo, ZroGmo3, ZroChl).
template <class R> constexpr FieldTable fields() noexcept
{
    return detail::tableOf<typename detail::Holds<R>::type>();
}

/// ZroGmo holds the first 80 bytes of ZRGMO.
template <> constexpr FieldTable fields<ZroGmo>() noexcept
{
    return FieldTable(detail::FieldsOf<ZRGMO>::list, detail::kGmoVersion2Fields, ZRGMO_LENGTH_2);
}

} // namespace zroi

#endif // ZROI_ZROFIELDS_HPP
