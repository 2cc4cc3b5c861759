// zromsg_core: the chain walker and the message builder behind zromsg.
//
// The tool reads and writes nothing itself: every header and body is read
// with ZroMsg::readItem and written with ZroMsg::writeItem, and every field
// goes through the getters and setters of its class. What this library adds
// is the table of item classes (format name, structure id, the fields of
// each class) and the two directions over it:
//
//     zromsg::JsonOutput out;
//     int status = zromsg::walk(data, size, nullptr, out); // 0 read, 1 broken
//     std::vector<unsigned char> bytes;
//     std::string error;
//     zromsg::compose(out.document(), bytes, error);       // the same bytes
//
// walk never crashes, whatever the bytes: a chain that breaks is reported
// with the reason code and the diagnostic texts that the library wrote.
#ifndef ZROMSG_CORE_HPP
#define ZROMSG_CORE_HPP

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zrecs/zrecs.h"
#include "zroi/zromsg.hpp"

namespace zromsg {

/// Documents keep their keys in the order they were written: fields appear
/// in record order, as the classes' headers list them.
using json = nlohmann::ordered_json;

/// What an item class is to a message: a header has data behind it, a body
/// is the rest of the message.
enum class ItemKind { Header, Body };

/// Collects the diagnostic texts that the library writes to zrecs while it
/// exists (one at a time per process: it installs the zrecs listener).
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    /// The texts written since construction or the last clear().
    const std::vector<std::string>& texts() const noexcept { return texts_; }
    void clear() noexcept { texts_.clear(); }
    /// Forgets the texts after the first `count`.
    void truncate(std::size_t count)
    {
        texts_.resize(count < texts_.size() ? count : texts_.size());
    }

private:
    static void listen(const zrecs_event* event, void* context);
    std::vector<std::string> texts_;
};

/// A field of an item class, as a description names it.
struct FieldInfo {
    std::string name; ///< the getter's name ("putDate")
    const char* type; ///< "text", "integer" or "binary"
    bool settable;    ///< false: the class has a getter only
    bool chain;       ///< format, encoding, character set of the data behind a header
};

/// Codes an item was left with when its read or write failed.
struct Failure {
    int32_t completion = 0;
    int32_t reason = 0;
};

/// One item class of the library as the tool knows it: one table row.
struct ItemClass {
    const char* className;   ///< "ZroDlh": the name used in JSON and on the command line
    const char* description; ///< "dead-letter header"
    const char* record;      ///< "ZRDLH", or "-" for the string and binary bodies
    const char* strucId;     ///< "DLH ", or nullptr for an item without one
    const char* format;      ///< the format name, 8 characters ("ZRDEAD  ")
    ItemKind kind;
    /// Reads the item at the message's data offset with readItem. On success
    /// fills `content` (the item's JSON without class, offset and length)
    /// and returns true; otherwise leaves the item's codes in `failure`.
    bool (*read)(ZroMsg& message, json& content, Failure& failure, Capture& capture);
    /// Builds the item from `content` with its setters and writes it with
    /// writeItem. Returns 0, or 2 with `error` for a description the class
    /// cannot hold, or 1 with `error` when the library fails.
    int (*write)(ZroMsg& message, const json& content, std::string& error, Capture& capture);
    /// The item's fields, in record order (empty for the string and binary bodies).
    std::vector<FieldInfo> (*fields)();
};

/// Every item class, headers first.
const std::vector<ItemClass>& itemClasses();
/// The class of that name ("ZroDlh"), or nullptr.
const ItemClass* findClass(const std::string& className);

/// The name of a reason code ("ZRRC_STRUC_ID_ERROR"), or "" for an unknown one.
const char* reasonName(int32_t reason);

/// A format name as the library stores it: at most 8 characters, blank
/// padded. False when `name` is longer than 8 characters.
bool padFormat(const std::string& name, std::string& padded);

/// Text as JSON: a string when it is valid UTF-8, else {"hex": "..."}.
json textJson(const char* data, std::size_t length);
/// The bytes of a JSON text (a string, or {"hex": "..."}). False with `error`.
bool textFromJson(const json& value, std::string& bytes, std::string& error);
/// The text of a string, empty when it has no storage.
std::string bytesOf(const ZroStr& text);
/// A value of a description, shown in a message: scalars as JSON (cut to
/// 80 characters), arrays and objects by their kind and size.
std::string describe(const json& value);
/// Lower-case hex of the bytes, no separators.
std::string toHex(const unsigned char* data, std::size_t length);
/// Bytes of a hex string (two digits per byte, either case). False with `error`.
bool fromHex(const json& value, std::vector<unsigned char>& bytes, std::string& error);

/// An item that the walker read, in the order read (outermost first).
struct Item {
    const ItemClass* itemClass = nullptr; ///< nullptr: data of a format no class reads
    std::string format;                   ///< the message's format when the item was read
    json formatJson;                      ///< the same as JSON text
    unsigned offset = 0;                  ///< where the item starts in the message data
    unsigned length = 0;                  ///< bytes it took
    json content;                         ///< fields, text or hex
};

/// Where and why the chain broke.
struct Break {
    const ItemClass* itemClass = nullptr; ///< the class that failed to read, if any
    json formatJson;                      ///< the message's format at that point
    unsigned offset = 0;                  ///< the byte offset in the message data
    int32_t completion = 0;               ///< the item's codes (0/0 when no class was involved)
    int32_t reason = 0;
    std::vector<std::string> texts; ///< the library's diagnostic texts, in order
    std::string why;                ///< a sentence for the reader
};

/// What the walker reports, in order: start, items, then either nothing
/// more or one broken.
class Output {
public:
    virtual ~Output() = default;
    /// The data's size and the format the first item is read by, with where
    /// that format came from.
    virtual void start(std::size_t size, const json& format, const std::string& from) = 0;
    virtual void item(const Item& item) = 0;
    virtual void broken(const Break& what) = 0;
    /// Something worth telling the reader that is not a failure.
    virtual void note(const std::string& text) = 0;
};

/// An Output that builds the JSON document of dump --json (and the input of
/// compose): headers innermost first, as the library writes them.
class JsonOutput : public Output {
public:
    JsonOutput();
    void start(std::size_t size, const json& format, const std::string& from) override;
    void item(const Item& item) override;
    void broken(const Break& what) override;
    void note(const std::string& text) override;
    const json& document() const noexcept { return document_; }

private:
    json document_;
};

/// Walks the chain of items in `size` bytes of message data from the
/// outermost. The first item is the one `format` names (a format name, blank
/// padded to 8 characters), or, when `format` is nullptr, the one whose
/// structure id stands at offset 0, or binary data when none does. Returns
/// 0 when the chain reads to its body (an unknown format counts: its bytes
/// are reported as data), 1 when it breaks. Any bytes are valid input.
int walk(const unsigned char* data, std::size_t size, const char* format, Output& output);

/// What the first bytes of message data say about its platform.
struct Recognised {
    const ItemClass* itemClass = nullptr; ///< the class whose structure id starts the data
    bool foreign = false;                 ///< not native: EBCDIC, or normal byte order
    int32_t encoding = ZRENC_NATIVE;      ///< 273 for normal byte order, else 546
    int32_t ccsid = 0;                    ///< 500 for EBCDIC, 819 for big-endian ASCII, else 0
    std::string what;                     ///< a sentence on what was found
};

/// Looks for a structure id of the library at offset 0, in ASCII or EBCDIC,
/// and reads the record version behind it in both byte orders.
Recognised recognise(const unsigned char* data, std::size_t size);

/// Converts message data whose first item has `format` (8 characters)
/// from one encoding and character set into another with ZroCnv. Returns 0
/// with the converted bytes in `data`; 1 with the converted bytes and the
/// warning in `problem` (a format the converter does not know); 2 with
/// the library's text and reason in `problem`, `data` unchanged.
int convertData(std::vector<unsigned char>& data, const char* format, int32_t fromEncoding,
                int32_t fromCcsid, int32_t toEncoding, int32_t toCcsid, std::string& problem);

/// Adds "encoding" and "ccsid" to every item of a document that a walk of
/// converted data wrote: the first item's are given, each header's own
/// fields in the original `data` give those of the item behind it.
void markItems(json& document, const unsigned char* data, std::size_t size, int32_t encoding,
               int32_t ccsid);

/// Builds message data from a description in the form JsonOutput writes;
/// with "encoding" and "ccsid" at its top, converted into them (ZroCnv).
/// Returns 0 with the bytes; 2 with `error` when the description is not
/// valid or asks for something the classes cannot set; 1 with `error` when
/// the library fails to write an item.
int compose(const json& description, std::vector<unsigned char>& bytes, std::string& error);

/// The readable form of a document that JsonOutput wrote: the items
/// outermost first, every field on its own line, bodies as text, hex dump or
/// trigger fields, and the break with its reason, texts and offset.
std::string renderText(const json& document);

} // namespace zromsg

#endif // ZROMSG_CORE_HPP
