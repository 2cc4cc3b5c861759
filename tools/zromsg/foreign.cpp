// Messages from other platforms: recognising them, converting them with
// ZroCnv, and marking each item of a walk with its own encoding and
// character set.
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zroi.hpp"
#include "zromsg_core.hpp"

namespace zromsg {
namespace {

/// The EBCDIC form of a structure id: capital letters and the blank have
/// the same place in every EBCDIC set the library converts.
std::string ebcdicId(const char* id)
{
    std::string out;
    for (const char* p = id; *p != '\0'; ++p) {
        const char c = *p;
        if (c >= 'A' && c <= 'I')
            out += static_cast<char>(0xC1 + (c - 'A'));
        else if (c >= 'J' && c <= 'R')
            out += static_cast<char>(0xD1 + (c - 'J'));
        else if (c >= 'S' && c <= 'Z')
            out += static_cast<char>(0xE2 + (c - 'S'));
        else
            out += '\x40';
    }
    return out;
}

uint32_t load(const unsigned char* p, bool normal)
{
    return normal ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                  : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

/// Where a header keeps the encoding and character set of the data behind
/// it; 0 for a body.
unsigned encodingOffset(const std::string& className)
{
    if (className == "ZroDlh") return offsetof(ZRDLH, encoding);
    if (className == "ZroKih" || className == "ZroRih" || className == "ZroRfh" ||
        className == "ZroWih")
        return offsetof(ZRWIH, encoding); // 12 in each of them
    return 0;
}

} // namespace

Recognised recognise(const unsigned char* data, std::size_t size)
{
    Recognised r;
    if (size < 8) return r;
    bool ebcdic = false;
    for (const ItemClass& c : itemClasses()) {
        if (c.strucId == nullptr) continue;
        if (std::memcmp(data, c.strucId, 4) == 0) {
            r.itemClass = &c;
        } else if (std::memcmp(data, ebcdicId(c.strucId).data(), 4) == 0) {
            r.itemClass = &c;
            ebcdic = true;
        } else {
            continue;
        }
        break;
    }
    if (r.itemClass == nullptr) return r;
    // Every record has its version at offset 4, a small number.
    const uint32_t reversed = load(data + 4, false);
    const uint32_t normal = load(data + 4, true);
    const bool bigEndian = !(reversed >= 1 && reversed <= 255) && normal >= 1 && normal <= 255;
    r.encoding = bigEndian ? 273 : ZRENC_NATIVE;
    r.ccsid = ebcdic ? 500 : bigEndian ? 819 : 0;
    r.foreign = ebcdic || bigEndian;
    r.what = std::string("structure id \"") + r.itemClass->strucId + "\" " +
             (ebcdic ? "in EBCDIC (read as character set 500)"
                     : "in ASCII (read as character set " + std::to_string(r.ccsid) + ")") +
             ", version " + std::to_string(bigEndian ? normal : reversed) + " in " +
             (bigEndian ? "normal" : "reversed") + " byte order (read as encoding " +
             std::to_string(r.encoding) + ")";
    return r;
}

int convertData(std::vector<unsigned char>& data, const char* format, int32_t fromEncoding,
                int32_t fromCcsid, int32_t toEncoding, int32_t toCcsid, std::string& problem)
{
    Capture capture;
    ZroMsg message;
    if (!data.empty() &&
        !message.write(static_cast<unsigned>(data.size()), reinterpret_cast<char*>(data.data()))) {
        problem = "the data could not be placed in a message";
        return 2;
    }
    message.setDataOffset(0);
    message.setFormat(format);
    message.setEncoding(fromEncoding);
    message.setCharacterSet(fromCcsid);
    ZroCnv converter;
    const unsigned char done = converter.convert(message, toEncoding, toCcsid);
    problem.clear();
    for (const std::string& text : capture.texts()) problem += (problem.empty() ? "" : "; ") + text;
    if (converter.completionCode() != 0) {
        problem += std::string(" (") + reasonName(converter.reasonCode()) + ", reason " +
                   std::to_string(converter.reasonCode()) + ")";
    }
    if (!done) return 2;
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.bufferPointer());
    data.assign(bytes, bytes + message.messageLength());
    return converter.completionCode() != 0 ? 1 : 0;
}

void markItems(json& document, const unsigned char* data, std::size_t size, int32_t encoding,
               int32_t ccsid)
{
    std::vector<json*> items;
    json& headers = document["headers"];
    for (std::size_t k = headers.size(); k-- > 0;) items.push_back(&headers[k]);
    if (document.contains("body")) items.push_back(&document["body"]);
    for (json* item : items) {
        (*item)["encoding"] = encoding;
        (*item)["ccsid"] = ccsid;
        const unsigned at = encodingOffset(item->value("class", ""));
        const std::size_t offset = (*item)["offset"].get<std::size_t>();
        if (at == 0 || offset + at + 8 > size) break;
        const bool normal = (encoding & 0xF) == 1;
        const auto nextEncoding = static_cast<int32_t>(load(data + offset + at, normal));
        ccsid = static_cast<int32_t>(load(data + offset + at + 4, normal));
        encoding = nextEncoding;
    }
}

} // namespace zromsg
