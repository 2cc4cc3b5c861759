// The readable form of a walk: one block per item, outermost first.
#include <cstdio>
#include <string>
#include <vector>

#include "zromsg_core.hpp"

namespace zromsg {
namespace {

constexpr int nameWidth = 30;

/// A field name indented and padded to `width` columns.
std::string pad(const std::string& name, std::size_t width = nameWidth, std::size_t indent = 4)
{
    return std::string(indent, ' ') + name +
           std::string(name.size() < width ? width - name.size() : 1, ' ');
}

/// A text value: quoted with JSON escapes, or its bytes in hex when they
/// are no valid UTF-8.
std::string showText(const json& value)
{
    if (value.is_object() && value.contains("hex")) {
        return "hex " + value["hex"].get<std::string>() + " (not valid UTF-8)";
    }
    return value.dump();
}

std::string showValue(const FieldInfo* info, const json& value)
{
    if (info != nullptr && std::string(info->type) == "binary" && value.is_string()) {
        return "hex " + value.get<std::string>();
    }
    if (value.is_string() || value.is_object()) return showText(value);
    return value.dump();
}

/// Lines of a hex dump: offset (in the message data), 16 bytes, their
/// printable characters.
std::string hexDump(const std::string& hex, std::size_t offset)
{
    std::string out;
    const std::size_t n = hex.size() / 2;
    for (std::size_t row = 0; row < n; row += 16) {
        char line[32];
        std::snprintf(line, sizeof line, "    %08zx  ", offset + row);
        std::string text = line, chars;
        for (std::size_t i = row; i < row + 16; ++i) {
            if (i < n) {
                text += hex.substr(2 * i, 2) + (i == row + 7 ? "  " : " ");
                int byte = std::stoi(hex.substr(2 * i, 2), nullptr, 16);
                chars += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
            } else {
                text += i == row + 7 ? "    " : "   ";
            }
        }
        out += text + " |" + chars + "|\n";
    }
    return out;
}

/// The encoding and character set of an item of a foreign message.
std::string mark(const json& item)
{
    if (!item.contains("encoding")) return "";
    return " [encoding " + item["encoding"].dump() + ", character set " + item["ccsid"].dump() +
           "]";
}

std::string heading(const json& item)
{
    const std::string name = item.value("class", "unknown");
    std::string text =
        "offset " + item["offset"].dump() + ", " + item["length"].dump() + " bytes: ";
    const ItemClass* c = findClass(name);
    if (c == nullptr)
        return text + "data of format " + showText(item["format"]) + mark(item) + "\n";
    text += name + ", " + c->description + " (";
    if (std::string(c->record) != "-") text += "record " + std::string(c->record) + ", ";
    if (c->strucId != nullptr) text += "structure id \"" + std::string(c->strucId) + "\", ";
    text += "format \"" + std::string(c->format) + "\")";
    return text + mark(item) + "\n";
}

std::string fieldLines(const ItemClass& c, const json& fields)
{
    std::string out;
    const std::vector<FieldInfo> info = c.fields();
    for (const auto& field : fields.items()) {
        const FieldInfo* known = nullptr;
        for (const FieldInfo& f : info) {
            if (f.name == field.key()) known = &f;
        }
        out += pad(field.key()) + showValue(known, field.value());
        if (known != nullptr && known->chain) out += "   (of the data behind)";
        if (known != nullptr && !known->settable) out += "   (read-only)";
        out += "\n";
    }
    return out;
}

std::string itemBlock(const json& item)
{
    std::string out = heading(item);
    const ItemClass* c = findClass(item.value("class", "unknown"));
    const std::size_t offset = item["offset"].get<std::size_t>();
    if (c == nullptr || std::string(c->className) == "ZroBin") {
        const std::string& hex = item["hex"].get_ref<const std::string&>();
        return out + (hex.empty() ? "    (no bytes)\n" : hexDump(hex, offset));
    }
    if (item.contains("fields")) out += fieldLines(*c, item["fields"]);
    if (item.contains("text")) out += pad("text") + showText(item["text"]) + "\n";
    if (item.contains("characterForm")) {
        out += "    character form (ZRTMC2, ZroTrg::copyOut):\n";
        for (const auto& field : item["characterForm"].items()) {
            out += pad(field.key(), nameWidth - 4, 8) + showText(field.value()) + "\n";
        }
    }
    return out;
}

} // namespace

std::string renderText(const json& document)
{
    std::string out;
    if (document.contains("foreign")) {
        out = "foreign message: " + document["foreign"].get<std::string>() + "\n";
    }
    out += "message data: " + document["size"].dump() + " bytes; first item: format " +
           showText(document["format"]) + ", chosen by " +
           document["formatFrom"].get<std::string>() + "\n";
    const json& headers = document["headers"];
    for (std::size_t k = headers.size(); k-- > 0;) out += "\n" + itemBlock(headers[k]);
    if (document.contains("body")) out += "\n" + itemBlock(document["body"]);
    if (document.contains("broken")) {
        const json& broken = document["broken"];
        out += "\noffset " + broken["offset"].dump() + ": the chain breaks here";
        if (broken["class"].is_string()) {
            out += ": a " + broken["class"].get<std::string>() + " cannot be read (format " +
                   showText(broken["format"]) + ")";
        }
        out += "\n";
        if (broken["reasonCode"].get<int32_t>() != 0) {
            out += pad("reason", 12) + broken["reason"].get<std::string>() + " (completion " +
                   broken["completionCode"].dump() + ", reason " + broken["reasonCode"].dump() +
                   ")\n";
        }
        out += pad("why", 12) + broken["why"].get<std::string>() + "\n";
        for (const auto& text : broken["texts"]) {
            out += pad("diagnostic", 12) + text.get<std::string>() + "\n";
        }
    }
    if (document.contains("notes")) {
        out += "\n";
        for (const auto& note : document["notes"]) out += "note: " + note.get<std::string>() + "\n";
    }
    return out;
}

} // namespace zromsg
