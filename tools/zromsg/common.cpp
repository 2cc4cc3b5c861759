// Shared helpers of zromsg: the text capture, reason names, and the JSON
// forms of texts and bytes.
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zrodefs.h"
#include "zromsg_core.hpp"

namespace zromsg {

Capture::Capture() { zrecs_set_listener(&Capture::listen, this); }

Capture::~Capture() { zrecs_set_listener(nullptr, nullptr); }

void Capture::listen(const zrecs_event* event, void* context)
{
    if (event->kind != ZRECS_TEXT || event->text == nullptr) return;
    auto* capture = static_cast<Capture*>(context);
    std::string text(event->text);
    // Some texts end with a line feed of their own; the line is what matters.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    capture->texts_.push_back(std::move(text));
}

const char* reasonName(int32_t reason)
{
#define ZRO_REASON(name) \
    {                    \
        name, #name      \
    }
    static const struct {
        int32_t code;
        const char* name;
    } names[] = {
        ZRO_REASON(ZRRC_NONE),
        ZRO_REASON(ZRRC_BUFFER_ERROR),
        ZRO_REASON(ZRRC_EMPTY_EXIT_NAME),
        ZRO_REASON(ZRRC_STORAGE_NOT_AVAILABLE),
        ZRO_REASON(ZRRC_SOURCE_BUFFER_ERROR),
        ZRO_REASON(ZRRC_TARGET_BUFFER_ERROR),
        ZRO_REASON(ZRRC_LOCK_FAILED),
        ZRO_REASON(ZRRC_EXIT_DATA_COUNT_ERROR),
        ZRO_REASON(ZRRC_ENCODING_ERROR),
        ZRO_REASON(ZRRC_STRUC_ID_ERROR),
        ZRO_REASON(ZRRC_NULL_POINTER),
        ZRO_REASON(ZRRC_NO_BUFFER),
        ZRO_REASON(ZRRC_BINARY_DATA_LENGTH_ERROR),
        ZRO_REASON(ZRRC_BUFFER_NOT_RESIZABLE),
        ZRO_REASON(ZRRC_INSUFFICIENT_BUFFER),
        ZRO_REASON(ZRRC_INSUFFICIENT_DATA),
        ZRO_REASON(ZRRC_DATA_TRUNCATED),
        ZRO_REASON(ZRRC_FORMAT_ERROR),
        ZRO_REASON(ZRRC_STRUC_LENGTH_ERROR),
        ZRO_REASON(ZRRC_WRONG_VERSION),
        ZRO_REASON(ZRRC_CONVERT_ENCODING_ERROR),
        ZRO_REASON(ZRRC_CONVERT_CCSID_ERROR),
        ZRO_REASON(ZRRC_CONVERT_CHARACTER_ERROR),
        ZRO_REASON(ZRRC_CONVERT_FORMAT_UNKNOWN),
    };
#undef ZRO_REASON
    for (const auto& entry : names) {
        if (entry.code == reason) return entry.name;
    }
    return "";
}

bool padFormat(const std::string& name, std::string& padded)
{
    if (name.size() > ZRFMT_WIDTH) return false;
    padded = name;
    padded.resize(ZRFMT_WIDTH, ' ');
    return true;
}

namespace {

/// True when the bytes are well-formed UTF-8 (no overlong forms, no
/// surrogates, nothing above U+10FFFF).
bool validUtf8(const unsigned char* s, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        std::size_t extra;
        uint32_t code;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        if ((extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

json textJson(const char* data, std::size_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (length == 0) return "";
    if (validUtf8(bytes, length)) return std::string(data, length);
    json value = json::object();
    value["hex"] = toHex(bytes, length);
    return value;
}

bool textFromJson(const json& value, std::string& bytes, std::string& error)
{
    if (value.is_string()) {
        bytes = value.get<std::string>();
        return true;
    }
    if (value.is_object() && value.size() == 1 && value.contains("hex")) {
        std::vector<unsigned char> raw;
        if (!fromHex(value["hex"], raw, error)) return false;
        bytes.assign(raw.begin(), raw.end());
        return true;
    }
    error = "must be a string or {\"hex\": \"...\"}, not " + describe(value);
    return false;
}

std::string describe(const json& value)
{
    if (value.is_array()) return "an array of " + std::to_string(value.size()) + " elements";
    if (value.is_object()) return "an object of " + std::to_string(value.size()) + " keys";
    std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    return text.size() <= 80 ? text : text.substr(0, 77) + "...";
}

std::string bytesOf(const ZroStr& text)
{
    return text.dataPointer() != nullptr ? std::string(text.dataPointer(), text.length())
                                         : std::string();
}

std::string toHex(const unsigned char* data, std::size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * length);
    for (std::size_t i = 0; i < length; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
    }
    return text;
}

bool fromHex(const json& value, std::vector<unsigned char>& bytes, std::string& error)
{
    if (!value.is_string()) {
        error = "must be a string of hex digits, not " + describe(value);
        return false;
    }
    const std::string& text = value.get_ref<const std::string&>();
    if (text.size() % 2 != 0) {
        error = "has an odd number of hex digits (" + std::to_string(text.size()) + ")";
        return false;
    }
    bytes.clear();
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            error = "holds a character that is no hex digit at position " + std::to_string(i);
            return false;
        }
        bytes.push_back(static_cast<unsigned char>(high << 4 | low));
    }
    return true;
}

} // namespace zromsg
