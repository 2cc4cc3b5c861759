// The message builder: writes the body, then each header innermost first,
// with writeItem, every field set through its class's setter.
#include <climits>
#include <set>
#include <string>
#include <vector>

#include "zroi/zroi.hpp"
#include "zromsg_core.hpp"

namespace zromsg {
namespace {

/// Keys an item description may hold besides those of its content.
// "encoding" and "ccsid" are what dump of a foreign message marks each item with.
const std::set<std::string> itemKeys = {"class", "offset", "length", "encoding", "ccsid"};

bool checkKeys(const json& item, const std::set<std::string>& content, const std::string& where,
               std::string& error)
{
    for (const auto& entry : item.items()) {
        if (itemKeys.count(entry.key()) != 0 || content.count(entry.key()) != 0) continue;
        std::string allowed;
        for (const std::string& key : content)
            allowed += (allowed.empty() ? "\"" : ", \"") + key + "\"";
        error = where + ": unknown key \"" + entry.key() +
                "\" (besides class, offset and length, " + "this item takes " +
                (allowed.empty() ? "nothing" : allowed) + ")";
        return false;
    }
    return true;
}

/// Checks a described number ("offset", "length") against what compose made.
bool checkNumber(const json& item, const char* key, unsigned made, const std::string& where,
                 std::string& error)
{
    if (!item.contains(key)) return true;
    const json& value = item[key];
    if (value.is_number_unsigned() && value.get<uint64_t>() == made) return true;
    if (value.is_number_integer() && value.get<int64_t>() == static_cast<int64_t>(made))
        return true;
    error = where + ": described with " + key + " " + describe(value) + ", but compose makes it " +
            std::to_string(made);
    return false;
}

/// One item description, checked to be an object naming a class.
bool itemClassOf(const json& item, const std::string& where, std::string& className,
                 std::string& error)
{
    if (!item.is_object()) {
        error = where + " must be an object, not " + describe(item);
        return false;
    }
    if (!item.contains("class") || !item["class"].is_string()) {
        error = where + " needs a \"class\" naming its item class (ZroDlh, ZroStr, ...)";
        return false;
    }
    className = item["class"].get<std::string>();
    return true;
}

std::string classList(ItemKind kind)
{
    std::string names;
    for (const ItemClass& c : itemClasses()) {
        if (c.kind == kind) names += (names.empty() ? "" : ", ") + std::string(c.className);
    }
    return names;
}

std::set<std::string> contentKeys(const ItemClass& c)
{
    const std::string name = c.className;
    if (name == "ZroStr") return {"text"};
    if (name == "ZroBin") return {"hex"};
    if (name == "ZroTrg") return {"fields", "characterForm"};
    return {"fields"};
}

/// Data of a format that no class reads: written as binary data, then the
/// message's format is set to the one described.
int writeUnknown(ZroMsg& message, const json& body, std::string& error)
{
    std::string format, padded, why;
    if (!body.contains("format") || !textFromJson(body["format"], format, why) ||
        !padFormat(format, padded)) {
        error = "body (unknown): needs the \"format\" its data travels under, at most 8 " +
                std::string("characters") + (why.empty() ? "" : ": " + why);
        return 2;
    }
    if (!body.contains("hex")) {
        error = "body (unknown): needs its bytes as \"hex\"";
        return 2;
    }
    std::vector<unsigned char> bytes;
    if (!fromHex(body["hex"], bytes, why)) {
        error = "body (unknown) \"hex\": " + why;
        return 2;
    }
    ZroBin data(bytes.data(), static_cast<unsigned>(bytes.size()));
    if (data.completionCode() == ZRCC_FAILED || !message.writeItem(data)) {
        error = "body (unknown): the library could not write " + std::to_string(bytes.size()) +
                " bytes: reason " + std::to_string(data.reasonCode()) + " " +
                reasonName(data.reasonCode());
        return 1;
    }
    message.setFormat(padded.c_str());
    return 0;
}

} // namespace

int compose(const json& description, std::vector<unsigned char>& bytes, std::string& error)
{
    if (!description.is_object()) {
        error = "the description must be a JSON object with a \"body\" and, optionally, " +
                std::string("\"headers\" (innermost first)");
        return 2;
    }
    static const std::set<std::string> topKeys = {"size",  "format", "formatFrom", "headers",
                                                  "body",  "notes",  "broken",     "encoding",
                                                  "ccsid", "foreign"};
    for (const auto& entry : description.items()) {
        if (topKeys.count(entry.key()) == 0) {
            error = "unknown key \"" + entry.key() + "\" at the top of the description " +
                    "(it takes body, headers, format, size, encoding, ccsid, and the formatFrom, " +
                    "foreign and notes that dump writes)";
            return 2;
        }
    }
    if (description.contains("broken")) {
        const json& broken = description["broken"];
        error = "the description is of a chain that breaks";
        if (broken.is_object() && broken.contains("offset") && broken.contains("reason")) {
            error += " at offset " + describe(broken["offset"]) + " (" +
                     describe(broken["reason"]) + ")";
        }
        error += ": it has no body, so compose cannot build it";
        return 2;
    }
    if (!description.contains("body")) {
        error = "the description needs a \"body\": {\"class\": \"ZroStr\", \"text\": \"...\"}, " +
                std::string("a ZroBin with \"hex\", or a ZroTrg with \"fields\"");
        return 2;
    }
    const json& body = description["body"];
    json headers = json::array();
    if (description.contains("headers")) {
        headers = description["headers"];
        if (!headers.is_array()) {
            error = "\"headers\" must be an array, innermost header first";
            return 2;
        }
    }

    Capture capture;
    ZroMsg message;
    std::vector<unsigned> lengths; // of each item as written: body, then the headers

    std::string className;
    if (!itemClassOf(body, "body", className, error)) return 2;
    if (className == "unknown") {
        if (!checkKeys(body, {"format", "hex"}, "body (unknown)", error)) return 2;
        if (int status = writeUnknown(message, body, error)) return status;
    } else {
        const ItemClass* c = findClass(className);
        if (c == nullptr || c->kind != ItemKind::Body) {
            error = "body: \"" + className + "\" is no body class; a body is one of " +
                    classList(ItemKind::Body) + ", or \"unknown\" for data of another format";
            return 2;
        }
        const std::string where = "body (" + className + ")";
        if (!checkKeys(body, contentKeys(*c), where, error)) return 2;
        if (int status = c->write(message, body, error, capture)) {
            error = where + ": " + error;
            return status;
        }
    }
    lengths.push_back(message.messageLength());
    if (!checkNumber(body, "length", lengths.back(), "body (" + className + ")", error)) return 2;

    for (std::size_t i = 0; i < headers.size(); ++i) {
        const json& header = headers[i];
        std::string where = "headers[" + std::to_string(i) + "]";
        if (!itemClassOf(header, where, className, error)) return 2;
        const ItemClass* c = findClass(className);
        if (c == nullptr || c->kind != ItemKind::Header) {
            error = where + ": \"" + className + "\" is no header class; a header is one of " +
                    classList(ItemKind::Header);
            return 2;
        }
        where += " (" + className + ")";
        if (!checkKeys(header, contentKeys(*c), where, error)) return 2;
        const unsigned before = message.messageLength();
        if (int status = c->write(message, header, error, capture)) {
            error = where + ": " + error;
            return status;
        }
        lengths.push_back(message.messageLength() - before);
        if (!checkNumber(header, "length", lengths.back(), where, error)) return 2;
    }

    // Offsets: the outermost header stands at 0, each item behind the one
    // written after it.
    unsigned offset = 0;
    for (std::size_t k = headers.size(); k-- > 0;) {
        const std::string where = "headers[" + std::to_string(k) + "]";
        if (!checkNumber(headers[k], "offset", offset, where, error)) return 2;
        offset += lengths[k + 1];
    }
    if (!checkNumber(body, "offset", offset, "body", error)) return 2;

    if (description.contains("format")) {
        std::string format, padded, why;
        const std::string made = bytesOf(message.format());
        if (!textFromJson(description["format"], format, why) || !padFormat(format, padded) ||
            padded != made) {
            error = "the description gives the message's format as " +
                    describe(description["format"]) + ", but its outermost item makes it " +
                    textJson(made.data(), made.size()).dump();
            return 2;
        }
    }
    std::vector<unsigned char> made(
        reinterpret_cast<const unsigned char*>(message.bufferPointer()),
        reinterpret_cast<const unsigned char*>(message.bufferPointer()) + message.messageLength());
    if (description.contains("encoding") || description.contains("ccsid")) {
        // The data of another platform: built native, then converted.
        int32_t target[2] = {ZRENC_NATIVE, 0};
        const char* keys[2] = {"encoding", "ccsid"};
        for (int i = 0; i < 2; ++i) {
            if (!description.contains(keys[i])) continue;
            const json& value = description[keys[i]];
            if (!value.is_number_integer() || value.get<int64_t>() < INT32_MIN ||
                value.get<int64_t>() > INT32_MAX) {
                error = std::string("\"") + keys[i] + "\" must be a 32-bit integer, not " +
                        describe(value);
                return 2;
            }
            target[i] = value.get<int32_t>();
        }
        if (!ZroCnv::encodingSupported(target[0]) || !ZroCnv::characterSetSupported(target[1])) {
            error = "encoding " + std::to_string(target[0]) + " with character set " +
                    std::to_string(target[1]) + " is not a form the converter writes";
            return 2;
        }
        std::string problem;
        const std::string first = bytesOf(message.format());
        if (convertData(made, first.c_str(), ZRENC_NATIVE, 0, target[0], target[1], problem) == 2) {
            error = "the data cannot be converted: " + problem;
            return 1;
        }
    }
    if (description.contains("size") &&
        !checkNumber(description, "size", static_cast<unsigned>(made.size()), "the message",
                     error)) {
        error += " bytes (bytes after a body, as dump notes them, are not part of any item)";
        return 2;
    }
    bytes = std::move(made);
    return 0;
}

} // namespace zromsg
