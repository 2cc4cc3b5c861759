// The converter (ZroCnv) on any data: the input chooses the description of
// the first item (format, encoding, character set) and the form to convert
// into, then gives the message's data. A failure must leave data and
// descriptor exactly as they were; a success must describe the message in
// the target form, and keep the length unless UTF-8 is on either side.
#include "zrofuzz.hpp"
#include "zroi/zrocnv.hpp"

namespace {

const int32_t kEncodings[] = {546, 273, 785, 0x111, 0x222, 0, 0x303};
const int32_t kSets[] = {0,   819, 1208, 437,  850,  1252, 37,   273,
                         285, 297, 500,  1047, 1140, 1141, 1148, 4711};

template <class T, std::size_t N> T pick(zrofuzz::Input& input, const T (&table)[N])
{
    return table[input.byte() % N];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    zrofuzz::Input input(data, size);
    zrofuzz::Environment environment(input);
    const uint8_t choice = input.byte();
    const char* format = choice < zrofuzz::kFormatCount ? zrofuzz::kFormats[choice]
                         : (choice & 1)                 ? "CUSTOM  "
                                                        : zrofuzz::kFormats[choice % 8];
    const int32_t fromEncoding = pick(input, kEncodings);
    const int32_t fromSet = pick(input, kSets);
    const int32_t toEncoding = pick(input, kEncodings);
    const int32_t toSet = pick(input, kSets);
    const uint8_t failAt = input.byte();
    const std::vector<char> bytes = input.rest();

    ZroMsg message;
    if (!bytes.empty() && !message.write(static_cast<unsigned>(bytes.size()), bytes.data()))
        return 0;
    message.setDataOffset(0);
    message.setFormat(format);
    message.setEncoding(fromEncoding);
    message.setCharacterSet(fromSet);
    const ZRMD before = message.descriptor();

    ZroCnv converter;
    environment.planAllocationFailure(failAt & 3, (failAt & 4) != 0);
    const unsigned char result = converter.convert(message, toEncoding, toSet);
    environment.planAllocationFailure(0, false);

    const std::string now(message.bufferPointer() == nullptr ? "" : message.bufferPointer(),
                          message.messageLength());
    if (result == 0) {
        ZROFUZZ_CHECK(converter.completionCode() == ZRCC_FAILED);
        ZROFUZZ_CHECK(now == std::string(bytes.begin(), bytes.end()));
        ZROFUZZ_CHECK(std::memcmp(&before, &message.descriptor(), sizeof before) == 0);
        return 0;
    }
    ZROFUZZ_CHECK(converter.completionCode() == ZRCC_OK ||
                  (converter.completionCode() == ZRCC_WARNING &&
                   converter.reasonCode() == ZRRC_CONVERT_FORMAT_UNKNOWN));
    ZROFUZZ_CHECK(std::memcmp(before.format, message.descriptor().format, ZRFMT_WIDTH) == 0);
    if (converter.completionCode() == ZRCC_OK) {
        ZROFUZZ_CHECK(message.encoding() == toEncoding && message.characterSet() == toSet);
    }
    if (fromSet != 1208 && toSet != 1208) ZROFUZZ_CHECK(now.size() == bytes.size());

    // Converted once more into the same form, the data must convert again
    // (it is in that form now) unless the chain stopped at an unknown format.
    if (converter.completionCode() == ZRCC_OK) {
        ZroCnv again;
        ZROFUZZ_CHECK(again.convert(message, toEncoding, toSet) == 1);
        const std::string twice(message.bufferPointer() == nullptr ? "" : message.bufferPointer(),
                                message.messageLength());
        ZROFUZZ_CHECK(twice == now);
    }
    return 0;
}
