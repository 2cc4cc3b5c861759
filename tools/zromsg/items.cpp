// The table of item classes: for each class its names, and its fields as
// getter/setter pairs over the class's own accessors.
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "zroi/zroi.hpp"
#include "zromsg_core.hpp"

namespace zromsg {
namespace {

// --- Fields ----------------------------------------------------------------
//
// The fields of each class are those of its record's field table that the
// class has a getter for, named by the getter and read from the record in
// place. Only how compose sets a field is the class's own: a setter by the
// getter's name below; a field without one is read-only.

enum class Type { Text, Integer, Binary };

enum class Role {
    Plain,    ///< set through the class's setter
    Chain,    ///< format, encoding, character set: a header takes them from the message
    ReadOnly, ///< the class has a getter and no setter
};

/// 0, or 2 with `error` (a value of the wrong kind, or one the setter refuses).
template <class T> using SetField = int (*)(T&, const json&, std::string& error, Capture&);

/// One field of class T: how to show it and, when the class can, how to set it.
template <class T> struct Field {
    const char* name;
    Type type;
    Role role;
    const zroi::Field* field; ///< where it lies in the record, or nullptr
    json (*get)(const T&);    ///< for a field outside the record
    SetField<T> set;

    json value(const T& object) const
    {
        if (field == nullptr) return get(object);
        const void* record = &object.record();
        switch (field->kind) {
        case zroi::FieldKind::text: {
            std::string_view text = zroi::fieldText(*field, record);
            return textJson(text.data(), text.size());
        }
        case zroi::FieldKind::integer: return zroi::fieldInteger(*field, record);
        default:
            return toHex(static_cast<const unsigned char*>(record) + field->offset, field->width);
        }
    }
};

bool intFromJson(const json& value, int32_t& number, std::string& error)
{
    if (value.is_number_integer()) {
        auto wide = value.get<int64_t>();
        if (wide >= INT32_MIN && wide <= INT32_MAX) {
            number = static_cast<int32_t>(wide);
            return true;
        }
    } else if (value.is_number_unsigned() && value.get<uint64_t>() <= INT32_MAX) {
        number = static_cast<int32_t>(value.get<uint64_t>());
        return true;
    }
    error = "must be an integer from " + std::to_string(INT32_MIN) + " to " +
            std::to_string(INT32_MAX) + ", not " + describe(value);
    return false;
}

/// "2/6111 ZRRC_BINARY_DATA_LENGTH_ERROR: <the library's texts>".
std::string codesText(const ZroErr& object, const Capture& capture)
{
    std::string text = std::to_string(object.completionCode()) + "/" +
                       std::to_string(object.reasonCode()) + " " + reasonName(object.reasonCode());
    for (const std::string& line : capture.texts()) text += "; " + line;
    return text;
}

template <class T, auto Set> int setText(T& object, const json& value, std::string& error, Capture&)
{
    std::string bytes;
    if (!textFromJson(value, bytes, error)) return 2;
    (object.*Set)(bytes.c_str());
    return 0;
}

template <class T, auto Set>
int setInteger(T& object, const json& value, std::string& error, Capture&)
{
    int32_t number = 0;
    if (!intFromJson(value, number, error)) return 2;
    (object.*Set)(number);
    return 0;
}

/// A setter with a result: its refusal is the class's, reported with its codes.
template <class T, auto Set>
int setCheckedInteger(T& object, const json& value, std::string& error, Capture& capture)
{
    int32_t number = 0;
    if (!intFromJson(value, number, error)) return 2;
    capture.clear();
    if ((object.*Set)(number)) return 0;
    error = "the class refuses " + std::to_string(number) + ": " + codesText(object, capture);
    return 2;
}

template <class T, unsigned char (T::*Set)(const ZroBin&)>
int setBinary(T& object, const json& value, std::string& error, Capture& capture)
{
    std::vector<unsigned char> bytes;
    if (!fromHex(value, bytes, error)) return 2;
    ZroBin binary(bytes.data(), static_cast<unsigned>(bytes.size()));
    capture.clear();
    if ((object.*Set)(binary)) return 0;
    error = "the class refuses " + std::to_string(bytes.size()) +
            " bytes: " + codesText(object, capture);
    return 2;
}

template <class T> struct Setter {
    const char* name; ///< the getter's name, as the field table gives it
    SetField<T> set;
};

#define ZRO_SET_TEXT(T, get, set) \
    Setter<T> { #get, &setText < T, &T::set> }
#define ZRO_SET_INT(T, get, set) \
    Setter<T> { #get, &setInteger < T, &T::set> }
#define ZRO_SET_BIN(T, get, set) \
    Setter<T> { #get, &setBinary < T, &T::set> }

/// What compose can set on a class, and the fields a class has outside its
/// record (the reference header's four texts).
template <class T> struct Setters;

template <> struct Setters<ZroDlh> {
    static constexpr const char* className = "ZroDlh";
    static std::vector<Setter<ZroDlh>> list()
    {
        return {ZRO_SET_TEXT(ZroDlh, destinationQueueName, setDestinationQueueName),
                ZRO_SET_TEXT(ZroDlh, destinationQueueManagerName, setDestinationQueueManagerName),
                ZRO_SET_TEXT(ZroDlh, putApplicationName, setPutApplicationName),
                ZRO_SET_TEXT(ZroDlh, putDate, setPutDate),
                ZRO_SET_TEXT(ZroDlh, putTime, setPutTime)};
    }
};

template <> struct Setters<ZroKih> {
    static constexpr const char* className = "ZroKih";
    static std::vector<Setter<ZroKih>> list()
    {
        return {Setter<ZroKih>{"version", &setCheckedInteger<ZroKih, &ZroKih::setVersion>},
                ZRO_SET_INT(ZroKih, headerFlags, setHeaderFlags),
                ZRO_SET_INT(ZroKih, UOWControl, setUOWControl),
                ZRO_SET_INT(ZroKih, getWaitInterval, setGetWaitInterval),
                ZRO_SET_INT(ZroKih, linkType, setLinkType),
                ZRO_SET_INT(ZroKih, outputDataLength, setOutputDataLength),
                ZRO_SET_INT(ZroKih, facilityKeepTime, setFacilityKeepTime),
                ZRO_SET_INT(ZroKih, ADSDescriptor, setADSDescriptor),
                ZRO_SET_INT(ZroKih, conversationalTask, setConversationalTask),
                ZRO_SET_BIN(ZroKih, facilityToken, setFacilityToken),
                ZRO_SET_TEXT(ZroKih, authenticator, setAuthenticator),
                ZRO_SET_TEXT(ZroKih, replyToFormat, setReplyToFormat),
                ZRO_SET_TEXT(ZroKih, transactionIdentifier, setTransactionIdentifier),
                ZRO_SET_TEXT(ZroKih, facilityLike, setFacilityLike),
                ZRO_SET_TEXT(ZroKih, attentionIdentifier, setAttentionIdentifier),
                ZRO_SET_TEXT(ZroKih, startCode, setStartCode),
                ZRO_SET_TEXT(ZroKih, bridgeCancelCode, setBridgeCancelCode),
                ZRO_SET_INT(ZroKih, cursorPosition, setCursorPosition)};
    }
};

template <> struct Setters<ZroRih> {
    static constexpr const char* className = "ZroRih";
    static std::vector<Setter<ZroRih>> list()
    {
        return {ZRO_SET_INT(ZroRih, headerFlags, setHeaderFlags),
                ZRO_SET_TEXT(ZroRih, logicalTerminalOverride, setLogicalTerminalOverride),
                ZRO_SET_TEXT(ZroRih, messageFormatServicesMapName, setMessageFormatServicesMapName),
                ZRO_SET_TEXT(ZroRih, replyToFormat, setReplyToFormat),
                ZRO_SET_TEXT(ZroRih, authenticator, setAuthenticator),
                ZRO_SET_BIN(ZroRih, transactionInstanceId, setTransactionInstanceId)};
    }
};

template <> struct Setters<ZroRfh> {
    static constexpr const char* className = "ZroRfh";
    static std::vector<Setter<ZroRfh>> list()
    {
        return {ZRO_SET_INT(ZroRfh, headerFlags, setHeaderFlags),
                ZRO_SET_TEXT(ZroRfh, referenceType, setReferenceType),
                ZRO_SET_BIN(ZroRfh, instanceId, setInstanceId),
                ZRO_SET_TEXT(ZroRfh, sourceEnvironment, setSourceEnvironment),
                ZRO_SET_TEXT(ZroRfh, sourceName, setSourceName),
                ZRO_SET_TEXT(ZroRfh, destinationEnvironment, setDestinationEnvironment),
                ZRO_SET_TEXT(ZroRfh, destinationName, setDestinationName)};
    }
};

template <> struct Setters<ZroWih> {
    static constexpr const char* className = "ZroWih";
    static std::vector<Setter<ZroWih>> list()
    {
        return {ZRO_SET_INT(ZroWih, headerFlags, setHeaderFlags),
                ZRO_SET_TEXT(ZroWih, serviceName, setServiceName),
                ZRO_SET_TEXT(ZroWih, serviceStep, setServiceStep),
                ZRO_SET_BIN(ZroWih, messageToken, setMessageToken)};
    }
};

template <> struct Setters<ZroTrg> {
    [[maybe_unused]] static constexpr const char* className = "ZroTrg"; // a body: no writeHeader
    static std::vector<Setter<ZroTrg>> list()
    {
        return {ZRO_SET_TEXT(ZroTrg, queueName, setQueueName),
                ZRO_SET_TEXT(ZroTrg, processName, setProcessName),
                ZRO_SET_TEXT(ZroTrg, triggerData, setTriggerData),
                ZRO_SET_TEXT(ZroTrg, applicationId, setApplicationId),
                ZRO_SET_TEXT(ZroTrg, environmentData, setEnvironmentData),
                ZRO_SET_TEXT(ZroTrg, userData, setUserData)};
    }
};

#undef ZRO_SET_TEXT
#undef ZRO_SET_INT
#undef ZRO_SET_BIN

template <class T, ZroStr (T::*Get)() const> json getText(const T& object)
{
    ZroStr text = (object.*Get)();
    return textJson(text.dataPointer(), text.length());
}

/// The reference header's texts stand behind its record, not in it.
template <class T> void addOutsideRecord(std::vector<Field<T>>&) {}
template <> void addOutsideRecord(std::vector<Field<ZroRfh>>& fields)
{
    const std::pair<const char*, json (*)(const ZroRfh&)> texts[] = {
        {"sourceEnvironment", &getText<ZroRfh, &ZroRfh::sourceEnvironment>},
        {"sourceName", &getText<ZroRfh, &ZroRfh::sourceName>},
        {"destinationEnvironment", &getText<ZroRfh, &ZroRfh::destinationEnvironment>},
        {"destinationName", &getText<ZroRfh, &ZroRfh::destinationName>},
    };
    for (const auto& [name, get] : texts)
        fields.push_back({name, Type::Text, Role::Plain, nullptr, get, nullptr});
}

template <class T> struct Fields {
    static constexpr const char* className = Setters<T>::className;
    static const std::vector<Field<T>>& list()
    {
        static const std::vector<Field<T>> fields = [] {
            const std::vector<Setter<T>> setters = Setters<T>::list();
            auto setterOf = [&](const char* name) -> SetField<T> {
                for (const Setter<T>& s : setters)
                    if (std::strcmp(s.name, name) == 0) return s.set;
                return nullptr;
            };
            std::vector<Field<T>> all;
            for (const zroi::Field& field : zroi::fields<T>()) {
                if (field.accessor == nullptr) continue;
                const Type type = field.kind == zroi::FieldKind::text      ? Type::Text
                                  : field.kind == zroi::FieldKind::integer ? Type::Integer
                                                                           : Type::Binary;
                const bool chain = std::is_base_of<ZroHdr, T>::value &&
                                   (std::strcmp(field.accessor, "encoding") == 0 ||
                                    std::strcmp(field.accessor, "characterSet") == 0 ||
                                    std::strcmp(field.accessor, "format") == 0);
                SetField<T> set = chain ? nullptr : setterOf(field.accessor);
                const Role role = chain ? Role::Chain : set ? Role::Plain : Role::ReadOnly;
                all.push_back({field.accessor, type, role, &field, nullptr, set});
            }
            addOutsideRecord(all);
            for (Field<T>& field : all)
                if (field.field == nullptr) field.set = setterOf(field.name);
            return all;
        }();
        return fields;
    }
};

template <class T> std::vector<FieldInfo> fieldInfo()
{
    static const char* const types[] = {"text", "integer", "binary"};
    std::vector<FieldInfo> info;
    for (const Field<T>& field : Fields<T>::list()) {
        info.push_back({field.name, types[static_cast<int>(field.type)],
                        field.role != Role::ReadOnly, field.role == Role::Chain});
    }
    return info;
}

template <class T> std::string fieldNames()
{
    std::string names;
    for (const Field<T>& field : Fields<T>::list()) {
        names += (names.empty() ? "" : ", ") + std::string(field.name);
    }
    return names;
}

template <class T> json renderFields(const T& object)
{
    json fields = json::object();
    for (const Field<T>& field : Fields<T>::list()) fields[field.name] = field.value(object);
    return fields;
}

/// True when the value a field holds is the one asked for: the same number
/// or bytes, or for a text the same text filled with blanks to the field's
/// width (what a blank-padded field's getter returns).
bool holdsWanted(Type type, const json& wanted, const json& held)
{
    std::string ignored;
    switch (type) {
    case Type::Integer: return wanted == held;
    case Type::Text: {
        std::string w, h;
        if (!textFromJson(wanted, w, ignored) || !textFromJson(held, h, ignored)) return false;
        return h.compare(0, w.size(), w) == 0 && h.size() >= w.size() &&
               h.find_first_not_of(' ', w.size()) == std::string::npos;
    }
    case Type::Binary: {
        std::vector<unsigned char> w, h;
        return fromHex(wanted, w, ignored) && fromHex(held, h, ignored) && w == h;
    }
    }
    return false;
}

/// The "fields" object of an item description; an absent one is empty.
bool fieldsOf(const json& content, const char* className, const json*& fields, std::string& error)
{
    static const json empty = json::object();
    fields = &empty;
    if (!content.contains("fields")) return true;
    if (!content["fields"].is_object()) {
        error = std::string(className) + ": \"fields\" must be an object";
        return false;
    }
    fields = &content["fields"];
    return true;
}

/// Applies the plain fields of `fields` to `object` with the class's setters
/// and checks that every field given (plain or read-only) reads back as
/// given. Chain fields are left to the caller. 0, or 2 with `error`.
template <class T>
int applyFields(T& object, const char* className, const json& fields, std::string& error,
                Capture& capture)
{
    const std::vector<Field<T>>& list = Fields<T>::list();
    for (const auto& entry : fields.items()) {
        bool known = false;
        for (const Field<T>& field : list) known = known || entry.key() == field.name;
        if (!known) {
            error = std::string(className) + " has no field \"" + entry.key() +
                    "\"; its fields are " + fieldNames<T>();
            return 2;
        }
    }
    for (const Field<T>& field : list) {
        if (field.role != Role::Plain || !fields.contains(field.name)) continue;
        // A field that already reads as asked keeps its bytes: a default of
        // blanks, which its getter shows as "", would become NUL bytes
        // through a setter that pads with NUL.
        if (holdsWanted(field.type, fields[field.name], field.value(object))) continue;
        std::string why;
        if (field.set(object, fields[field.name], why, capture) != 0) {
            error = std::string(className) + " field \"" + field.name + "\": " + why;
            return 2;
        }
    }
    for (const Field<T>& field : list) {
        if (field.role == Role::Chain || !fields.contains(field.name)) continue;
        const json& wanted = fields[field.name];
        json held = field.value(object);
        if (holdsWanted(field.type, wanted, held)) continue;
        if (field.role == Role::ReadOnly) {
            error = std::string(className) + " field \"" + field.name +
                    "\" has no setter: " + "compose cannot make it " + describe(wanted) + "; a " +
                    className + " that compose builds holds " + describe(held) + " there";
        } else {
            error = std::string(className) + " field \"" + field.name + "\" cannot hold " +
                    describe(wanted) + ": set through the class it reads back as " + describe(held);
        }
        return 2;
    }
    return 0;
}

/// Sets the message's description from a header's chain fields, so that
/// writeItem moves it into the header. 0, or 2 with `error`.
int applyChain(ZroMsg& message, const char* className, const json& fields, std::string& error)
{
    std::string why;
    if (fields.contains("format")) {
        std::string bytes, padded;
        if (!textFromJson(fields["format"], bytes, why)) {
        } else if (!padFormat(bytes, padded)) {
            why = "a format name has at most 8 characters";
        } else {
            message.setFormat(padded.c_str());
        }
        if (!why.empty()) {
            error = std::string(className) + " field \"format\": " + why;
            return 2;
        }
    }
    for (const char* name : {"encoding", "characterSet"}) {
        if (!fields.contains(name)) continue;
        int32_t number = 0;
        if (!intFromJson(fields[name], number, why)) {
            error = std::string(className) + " field \"" + name + "\": " + why;
            return 2;
        }
        if (std::strcmp(name, "encoding") == 0) {
            message.setEncoding(number);
        } else {
            message.setCharacterSet(number);
        }
    }
    return 0;
}

int writeFailed(const ZroErr& item, const char* className, std::string& error,
                const Capture& capture)
{
    error = std::string("writeItem of the ") + className + " failed: " + codesText(item, capture);
    return 1;
}

// --- Headers -----------------------------------------------------------------

template <class T> bool readHeader(ZroMsg& message, json& content, Failure& failure, Capture&)
{
    T header;
    if (!message.readItem(header)) {
        failure = {header.completionCode(), header.reasonCode()};
        return false;
    }
    content = json::object();
    content["fields"] = renderFields(header);
    return true;
}

/// The KOTA bridge header's version decides how much pasteIn reads, and it
/// is the version the object holds before the call. A version-2 reader
/// takes the first 180 bytes; when the header it read says version 1, or
/// when fewer than 180 bytes remain, the header is read again by a version-1
/// reader (164 bytes). The message's state before the read is put back
/// between the two attempts; the first attempt's failure is reported when
/// the second does not find a version-1 header.
bool readKotaHeader(ZroMsg& message, json& content, Failure& failure, Capture& capture)
{
    const unsigned offset = message.dataOffset();
    const int32_t characterSet = message.characterSet();
    const std::size_t textsBefore = capture.texts().size();
    auto restore = [&] {
        // The checks passed, so the format was ZRKOTA and the encoding 546.
        message.setDataOffset(offset);
        message.setFormat(ZRFMT_KOTA_BRIDGE_HEADER);
        message.setEncoding(ZRENC_NATIVE);
        message.setCharacterSet(characterSet);
    };

    ZroKih header;
    const bool read = message.readItem(header) != 0;
    if (read && header.version() != ZRKIH_VERSION_1) {
        content = json::object();
        content["fields"] = renderFields(header);
        return true;
    }
    if (!read && header.reasonCode() != ZRRC_INSUFFICIENT_DATA) {
        failure = {header.completionCode(), header.reasonCode()};
        return false;
    }
    const std::size_t textsOfFirst = capture.texts().size();
    restore();
    ZroKih shorter;
    shorter.setVersion(ZRKIH_VERSION_1);
    if (message.readItem(shorter) && shorter.version() == ZRKIH_VERSION_1) {
        capture.truncate(textsBefore);
        content = json::object();
        content["fields"] = renderFields(shorter);
        return true;
    }
    capture.truncate(textsOfFirst);
    restore();
    if (read) {
        // A version-1 header that a version-1 reader cannot take (it needs
        // fewer bytes than were there): keep what the first reader read.
        ZroKih again;
        message.readItem(again);
        content = json::object();
        content["fields"] = renderFields(again);
        return true;
    }
    // Neither reader fits: report the first attempt as it was.
    failure = {header.completionCode(), header.reasonCode()};
    return false;
}

template <class T>
int writeHeader(ZroMsg& message, const json& content, std::string& error, Capture& capture)
{
    const char* name = Fields<T>::className;
    const json* fields = nullptr;
    if (!fieldsOf(content, name, fields, error)) return 2;
    T header;
    if (int status = applyFields(header, name, *fields, error, capture)) return status;
    if (int status = applyChain(message, name, *fields, error)) return status;
    capture.clear();
    if (!message.writeItem(header)) return writeFailed(header, name, error, capture);
    return 0;
}

// --- Bodies ------------------------------------------------------------------

bool readString(ZroMsg& message, json& content, Failure& failure, Capture&)
{
    ZroStr body;
    if (!message.readItem(body)) {
        failure = {body.completionCode(), body.reasonCode()};
        return false;
    }
    content = json::object();
    content["text"] = textJson(body.dataPointer(), body.length());
    return true;
}

int writeString(ZroMsg& message, const json& content, std::string& error, Capture& capture)
{
    if (!content.contains("text")) {
        error = "a ZroStr body needs its \"text\"";
        return 2;
    }
    std::string bytes;
    if (!textFromJson(content["text"], bytes, error)) {
        error = "ZroStr \"text\": " + error;
        return 2;
    }
    ZroStr body;
    if (!bytes.empty() && !body.set(bytes.data(), static_cast<unsigned>(bytes.size()))) {
        return writeFailed(body, "ZroStr", error, capture);
    }
    if (body.length() != bytes.size()) {
        error = "ZroStr \"text\" holds a NUL character: a string's text ends at its first NUL";
        return 2;
    }
    capture.clear();
    if (!message.writeItem(body)) return writeFailed(body, "ZroStr", error, capture);
    return 0;
}

bool readBinary(ZroMsg& message, json& content, Failure& failure, Capture&)
{
    ZroBin body;
    if (!message.readItem(body)) {
        failure = {body.completionCode(), body.reasonCode()};
        return false;
    }
    content = json::object();
    content["hex"] = toHex(body.dataPointer(), body.dataLength());
    return true;
}

int writeBinary(ZroMsg& message, const json& content, std::string& error, Capture& capture)
{
    std::vector<unsigned char> bytes;
    if (!content.contains("hex")) {
        error = "a ZroBin body needs its \"hex\"";
        return 2;
    }
    if (!fromHex(content["hex"], bytes, error)) {
        error = "ZroBin \"hex\": " + error;
        return 2;
    }
    ZroBin body(bytes.data(), static_cast<unsigned>(bytes.size()));
    if (body.completionCode() == ZRCC_FAILED) return writeFailed(body, "ZroBin", error, capture);
    capture.clear();
    if (!message.writeItem(body)) return writeFailed(body, "ZroBin", error, capture);
    return 0;
}

/// The character form of a trigger message, field by field as ZRTMC2 lays
/// it out; the trigger's own copyOut fills it.
json characterForm(ZroTrg& trigger)
{
    ZRTMC2 form;
    std::memset(&form, 0, sizeof form);
    trigger.copyOut(&form);
    json fields = json::object();
    for (const zroi::Field& field : zroi::fields<ZRTMC2>())
        fields[field.name] =
            textJson(reinterpret_cast<const char*>(&form) + field.offset, field.width);
    return fields;
}

bool readTrigger(ZroMsg& message, json& content, Failure& failure, Capture&)
{
    ZroTrg trigger;
    if (!message.readItem(trigger)) {
        failure = {trigger.completionCode(), trigger.reasonCode()};
        return false;
    }
    content = json::object();
    content["fields"] = renderFields(trigger);
    content["characterForm"] = characterForm(trigger);
    return true;
}

int writeTrigger(ZroMsg& message, const json& content, std::string& error, Capture& capture)
{
    const json* fields = nullptr;
    if (!fieldsOf(content, "ZroTrg", fields, error)) return 2;
    ZroTrg trigger;
    if (int status = applyFields(trigger, "ZroTrg", *fields, error, capture)) return status;
    // The character form follows from the fields; one that does not is
    // something the class cannot make.
    if (content.contains("characterForm") && content["characterForm"] != characterForm(trigger)) {
        error = "ZroTrg \"characterForm\" is not the one the fields give (ZroTrg::copyOut(ZRTMC2*) "
                "renders it from them); leave it out or make it match";
        return 2;
    }
    capture.clear();
    if (!message.writeItem(trigger)) return writeFailed(trigger, "ZroTrg", error, capture);
    return 0;
}

std::vector<FieldInfo> noFields() { return {}; }

} // namespace

const std::vector<ItemClass>& itemClasses()
{
    static const std::vector<ItemClass> classes = {
        {"ZroDlh", "dead-letter header", "ZRDLH", ZRDLH_STRUC_ID, ZRFMT_DEAD_LETTER_HEADER,
         ItemKind::Header, &readHeader<ZroDlh>, &writeHeader<ZroDlh>, &fieldInfo<ZroDlh>},
        {"ZroKih", "KOTA bridge header", "ZRKIH", ZRKIH_STRUC_ID, ZRFMT_KOTA_BRIDGE_HEADER,
         ItemKind::Header, &readKotaHeader, &writeHeader<ZroKih>, &fieldInfo<ZroKih>},
        {"ZroRih", "RPX bridge header", "ZRRIH", ZRRIH_STRUC_ID, ZRFMT_RPX_BRIDGE_HEADER,
         ItemKind::Header, &readHeader<ZroRih>, &writeHeader<ZroRih>, &fieldInfo<ZroRih>},
        {"ZroRfh", "reference header", "ZRRMH", ZRRMH_STRUC_ID, ZRFMT_REFERENCE_HEADER,
         ItemKind::Header, &readHeader<ZroRfh>, &writeHeader<ZroRfh>, &fieldInfo<ZroRfh>},
        {"ZroWih", "work information header", "ZRWIH", ZRWIH_STRUC_ID, ZRFMT_WORK_INFO_HEADER,
         ItemKind::Header, &readHeader<ZroWih>, &writeHeader<ZroWih>, &fieldInfo<ZroWih>},
        {"ZroTrg", "trigger message", "ZRTM", ZRTM_STRUC_ID, ZRFMT_TRIGGER, ItemKind::Body,
         &readTrigger, &writeTrigger, &fieldInfo<ZroTrg>},
        {"ZroStr", "string", "-", nullptr, ZRFMT_STRING, ItemKind::Body, &readString, &writeString,
         &noFields},
        {"ZroBin", "binary data", "-", nullptr, ZRFMT_NONE, ItemKind::Body, &readBinary,
         &writeBinary, &noFields},
    };
    return classes;
}

const ItemClass* findClass(const std::string& className)
{
    for (const ItemClass& c : itemClasses()) {
        if (className == c.className) return &c;
    }
    return nullptr;
}

} // namespace zromsg
