// The input as a message's data, read as a string or a binary body and
// written back.
//
// The message's format, encoding, character set, data offset and buffer
// mode come from the input (FuzzMessage). Reading must succeed exactly when
// the format is the body's, take every byte from the data offset to the end
// (a string up to its first NUL), move the cursor to the end and never touch
// the data; a wrong format gives 2/6119 with the cursor and the body as they
// were. Writing the body into a fresh message and reading it back gives the
// same value. structureIdIs is asked about the data too.
#include <algorithm>
#include <string>

#include "zrofuzz.hpp"

namespace {

using zrofuzz::Environment;
using zrofuzz::FuzzMessage;
using zrofuzz::Input;

std::string textOf(const ZroStr& s)
{
    return s.dataPointer() != nullptr ? std::string(s.dataPointer(), s.length()) : std::string();
}

std::vector<char> bytesOf(const ZroBin& b)
{
    const char* p = reinterpret_cast<const char*>(b.dataPointer());
    return p != nullptr ? std::vector<char>(p, p + b.dataLength()) : std::vector<char>();
}

void checkCodes(const ZroErr& a, const ZroErr& b)
{
    ZROFUZZ_CHECK(a.completionCode() == b.completionCode() && a.reasonCode() == b.reasonCode());
}

// Reads the string body and checks it; the text read, or none.
void readString(ZroMsg& message, const std::vector<char>& rest, ZroStr& body, bool failing)
{
    const std::string before = textOf(body);
    const unsigned offset = message.dataOffset();
    const bool right = message.formatIs(ZRFMT_STRING) != 0;
    const unsigned char result = message.readItem(body);
    checkCodes(message, body);
    zrofuzz::checkCache(message);
    zrofuzz::checkString(body);
    if (!right) {
        ZROFUZZ_CHECK(result == 0 && body.completionCode() == 2 && body.reasonCode() == 6119);
        ZROFUZZ_CHECK(message.dataOffset() == offset && textOf(body) == before);
        return;
    }
    if (result == 0) {
        ZROFUZZ_CHECK(failing && zrofuzz::isStorageFailure(body));
        return;
    }
    ZROFUZZ_CHECK(message.dataOffset() == message.messageLength());
    if (rest.empty()) {
        ZROFUZZ_CHECK(textOf(body) == before); // nothing to read: the old text stays
        return;
    }
    auto nul = std::find(rest.begin(), rest.end(), '\0');
    ZROFUZZ_CHECK(textOf(body) == std::string(rest.begin(), nul));
}

void readBinary(ZroMsg& message, const std::vector<char>& rest, ZroBin& body, bool failing)
{
    const std::vector<char> before = bytesOf(body);
    const unsigned offset = message.dataOffset();
    const bool right = message.formatIs(ZRFMT_NONE) != 0;
    const unsigned char result = message.readItem(body);
    checkCodes(message, body);
    zrofuzz::checkCache(message);
    if (!right) {
        ZROFUZZ_CHECK(result == 0 && body.completionCode() == 2 && body.reasonCode() == 6119);
        ZROFUZZ_CHECK(message.dataOffset() == offset && bytesOf(body) == before);
        return;
    }
    if (result == 0) {
        ZROFUZZ_CHECK(failing && zrofuzz::isStorageFailure(body));
        return;
    }
    ZROFUZZ_CHECK(message.dataOffset() == message.messageLength());
    ZROFUZZ_CHECK(bytesOf(body) == rest);
}

// Writes `item` into a fresh message; its data must be `expected`.
template <class Item>
void writeBack(Item& item, const std::vector<char>& expected, const char* format, bool failing)
{
    ZroMsg out;
    out.setEncoding(7);
    out.setFormat("OLD");
    unsigned char result = out.writeItem(item);
    checkCodes(out, item);
    zrofuzz::checkCache(out);
    if (result == 0) {
        // Only a failing allocation may stop a write into an automatic buffer.
        ZROFUZZ_CHECK(failing && zrofuzz::isStorageFailure(item) && out.messageLength() == 0);
        return;
    }
    ZROFUZZ_CHECK(out.formatIs(format) && out.encoding() == ZRENC_NATIVE &&
                  out.characterSet() == 0);
    ZROFUZZ_CHECK(zrofuzz::messageBytes(out) == expected);
    ZROFUZZ_CHECK(out.dataOffset() == out.messageLength());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    Input input(data, size);
    Environment environment(input);
    const uint8_t choice = input.byte();
    const uint8_t plan = input.byte();
    std::vector<char> previous = input.bytes(input.byte() % 16);
    FuzzMessage message(input);

    const std::vector<char> whole = zrofuzz::messageBytes(*message);
    const std::vector<char> rest(whole.begin() + message->dataOffset(), whole.end());
    const bool failing = (plan & 0x80) != 0;

    // The structure id test: 1 exactly when 4 bytes at the cursor equal the id.
    char id[5] = {};
    std::copy_n(previous.begin(), std::min<std::size_t>(previous.size(), 4), id);
    const bool same = rest.size() >= 4 && std::memcmp(rest.data(), id, 4) == 0;
    ZROFUZZ_CHECK(ZroItm::structureIdIs(id, *message) == (same ? 1 : 0));
    ZROFUZZ_CHECK(ZroItm::structureIdIs(nullptr, *message) == 0);

    previous.push_back('\0');
    if (failing) environment.planAllocationFailure(1 + plan % 8, (plan & 0x40) != 0);
    if (choice % 2 == 0) {
        ZroStr body(previous.data());
        readString(*message, rest, body, failing);
        zroi_test_fail_allocation(0, 0);
        std::string text = textOf(body);
        writeBack(body, std::vector<char>(text.begin(), text.end()), ZRFMT_STRING, false);
    } else {
        ZroBin body(previous.data(), static_cast<unsigned>(previous.size()));
        readBinary(*message, rest, body, failing);
        zroi_test_fail_allocation(0, 0);
        writeBack(body, bytesOf(body), ZRFMT_NONE, false);
    }
    // Reading never changes the data.
    ZROFUZZ_CHECK(zrofuzz::messageBytes(*message) == whole);
    return 0;
}
