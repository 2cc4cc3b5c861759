// The chain walker: reads a message's items outermost first with readItem,
// each time choosing the item class by the message's format, as an
// application that receives the message would.
#include <climits>
#include <string>
#include <vector>

#include "zroi/zroi.hpp"
#include "zromsg_core.hpp"

namespace zromsg {
namespace {

json formatOf(const ZroMsg& message)
{
    ZroStr format = message.format();
    return textJson(format.dataPointer(), format.length());
}

/// A sentence on why the item could not be read, beside the reason's name.
std::string explain(const ItemClass& c, int32_t reason, const ZroMsg& message, unsigned offset)
{
    const std::string item = std::string(c.className) + " (" + c.description + ")";
    switch (reason) {
    case ZRRC_STRUC_ID_ERROR:
        return "the message's format says a " + item + " stands at offset " +
               std::to_string(offset) + ", but its structure id \"" + c.strucId +
               "\" is not there (or fewer than 4 bytes remain)";
    case ZRRC_ENCODING_ERROR:
        return "a " + item + " is read only under encoding 546, and the item before it " +
               "gives encoding " + std::to_string(message.encoding());
    case ZRRC_INSUFFICIENT_DATA:
        return "fewer bytes remain from offset " + std::to_string(offset) + " than the " + item +
               " needs";
    case ZRRC_STRUC_LENGTH_ERROR:
        return "the variable parts of the " + item + " reach past its structure length";
    case ZRRC_BUFFER_NOT_RESIZABLE:
        return "the length of the " + item + " reaches past the end of the message data";
    case ZRRC_WRONG_VERSION: return "the " + item + " has a version the class does not read";
    default: return "the " + item + " at offset " + std::to_string(offset) + " cannot be read";
    }
}

} // namespace

int walk(const unsigned char* data, std::size_t size, const char* format, Output& output)
{
    Capture capture;
    ZroMsg message;
    if (size > UINT_MAX) {
        output.start(size, json(""), "nothing: the data is too large");
        Break what;
        what.why =
            "a message holds at most 4294967295 bytes; this data has " + std::to_string(size);
        output.broken(what);
        return 1;
    }
    // The data stands in a user buffer of exactly its size, as a get hands
    // it over: an item whose lengths reach past its end cannot stretch the
    // message (a reference header's structure length moves the data offset,
    // which would grow an automatic buffer), it fails with 2/6112 instead.
    // The buffer is a copy, so that the caller's bytes are never written.
    std::vector<char> buffer(data, data + size);
    const auto length = static_cast<unsigned>(size);
    if (length != 0 && !message.useFullBuffer(buffer.data(), length)) {
        output.start(size, json(""), "nothing: the message cannot take the data");
        Break what;
        what.completion = message.completionCode();
        what.reason = message.reasonCode();
        what.texts = capture.texts();
        what.why = "the data could not be placed in a message";
        output.broken(what);
        return 1;
    }

    // The first item: the format given, or the structure id at the start,
    // or binary data (the format of a new message).
    std::string from;
    if (format != nullptr) {
        std::string padded;
        padFormat(std::string(format).substr(0, ZRFMT_WIDTH), padded);
        message.setFormat(padded.c_str());
        from = "--format";
    } else {
        for (const ItemClass& c : itemClasses()) {
            if (c.strucId == nullptr || !ZroItm::structureIdIs(c.strucId, message)) continue;
            message.setFormat(c.format);
            from = std::string("the structure id \"") + c.strucId + "\" at offset 0";
            break;
        }
        if (from.empty()) {
            from = "default: no structure id of the library at offset 0, so binary data";
        }
    }
    capture.clear(); // the "structure id is not equal" texts of the search
    output.start(size, formatOf(message), from);

    for (;;) {
        Item item;
        item.offset = message.dataOffset();
        item.formatJson = formatOf(message);
        for (const ItemClass& c : itemClasses()) {
            if (message.formatIs(c.format)) {
                item.itemClass = &c;
                break;
            }
        }

        if (item.itemClass == nullptr) {
            // No class reads this format: show the bytes and say so.
            item.length = message.dataLength();
            std::vector<char> rest(item.length);
            char* to = rest.data();
            if (item.length != 0) message.read(item.length, to);
            item.content = json::object();
            item.content["hex"] =
                toHex(reinterpret_cast<const unsigned char*>(rest.data()), rest.size());
            output.note("format " + item.formatJson.dump() +
                        " is not one of the library's items: the " + std::to_string(item.length) +
                        " bytes from offset " + std::to_string(item.offset) + " are shown as hex");
            output.item(item);
            return 0;
        }

        const ItemClass& c = *item.itemClass;
        capture.clear();
        Failure failure;
        if (!c.read(message, item.content, failure, capture)) {
            Break what;
            what.itemClass = &c;
            what.formatJson = item.formatJson;
            what.offset = item.offset;
            what.completion = failure.completion;
            what.reason = failure.reason;
            what.texts = capture.texts();
            what.why = explain(c, failure.reason, message, item.offset);
            output.broken(what);
            return 1;
        }
        item.length = message.dataOffset() - item.offset;
        output.item(item);

        if (c.kind == ItemKind::Body) {
            if (message.dataLength() != 0) {
                output.note(std::to_string(message.dataLength()) + " bytes follow the " +
                            c.className + " at offset " + std::to_string(message.dataOffset()) +
                            ": they are not part of it, and compose cannot make them");
            }
            return 0;
        }
        // Every header takes at least its fixed part; a reader that took
        // nothing would loop for ever.
        if (item.length == 0) {
            Break what;
            what.itemClass = &c;
            what.formatJson = formatOf(message);
            what.offset = item.offset;
            what.why = std::string("the ") + c.className + " took no bytes";
            output.broken(what);
            return 1;
        }
    }
}

// --- JsonOutput ----------------------------------------------------------------

JsonOutput::JsonOutput() : document_(json::object()) {}

void JsonOutput::start(std::size_t size, const json& format, const std::string& from)
{
    document_["size"] = size;
    document_["format"] = format;
    document_["formatFrom"] = from;
    document_["headers"] = json::array();
}

void JsonOutput::item(const Item& item)
{
    json entry = json::object();
    entry["class"] = item.itemClass != nullptr ? item.itemClass->className : "unknown";
    if (item.itemClass == nullptr) entry["format"] = item.formatJson;
    entry["offset"] = item.offset;
    entry["length"] = item.length;
    for (const auto& field : item.content.items()) entry[field.key()] = field.value();
    if (item.itemClass != nullptr && item.itemClass->kind == ItemKind::Header) {
        // Innermost first, the order in which compose writes them.
        json& headers = document_["headers"];
        headers.insert(headers.begin(), std::move(entry));
    } else {
        document_["body"] = std::move(entry);
    }
}

void JsonOutput::broken(const Break& what)
{
    json entry = json::object();
    entry["offset"] = what.offset;
    entry["class"] = what.itemClass != nullptr ? json(what.itemClass->className) : json(nullptr);
    entry["format"] = what.formatJson;
    entry["completionCode"] = what.completion;
    entry["reasonCode"] = what.reason;
    entry["reason"] = reasonName(what.reason);
    entry["texts"] = what.texts;
    entry["why"] = what.why;
    document_["broken"] = std::move(entry);
}

void JsonOutput::note(const std::string& text)
{
    if (!document_.contains("notes")) document_["notes"] = json::array();
    document_["notes"].push_back(text);
}

} // namespace zromsg
