// Reading a record's fields in place, by the tables of zroi/zrofields.hpp.
#include "zroi/zrofields.hpp"

#include <cstdint>
#include <cstring>

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zrofields")

namespace zroi {

namespace {

// Text is read eight bytes at a time where the first byte in memory is the
// lowest of a word; elsewhere one byte at a time.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kWords = true;
#else
constexpr bool kWords = false;
#endif
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
constexpr uint64_t kBlanks = 0x2020202020202020u;

uint64_t word(const char* at) noexcept
{
    uint64_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

// The top bit of every byte of `w` that is 0, and no other bit.
uint64_t nulBytes(uint64_t w) noexcept { return ~(((w & kLow7) + kLow7) | w | kLow7); }

unsigned lowestByte(uint64_t marks) noexcept
{
    return static_cast<unsigned>(__builtin_ctzll(marks)) / 8;
}

// Characters before the first NUL among the `width` at `start`, behind
// `before` bytes of the same record (which may be read, not counted).
std::size_t textLength(const char* start, std::size_t width, std::size_t before) noexcept
{
    std::size_t n = 0;
    if (kWords) {
        for (; n + 8 <= width; n += 8)
            if (const uint64_t nul = nulBytes(word(start + n))) return n + lowestByte(nul);
        if (n == width) return n;
        if (width + before >= 8) {
            // The word that ends with the field's last byte; the bytes in front
            // of the rest are shifted out.
            const std::size_t rest = width - n;
            const uint64_t nul = nulBytes(word(start + width - 8)) >> (8 * (8 - rest));
            return nul != 0 ? n + lowestByte(nul) : width;
        }
    }
    while (n < width && start[n] != '\0') ++n;
    return n;
}

// `length` less the blanks that end the `length` characters at `start`,
// behind `before` bytes of the same record.
std::size_t withoutTrailingBlanks(const char* start, std::size_t length,
                                  std::size_t before) noexcept
{
    if (kWords) {
        for (; length >= 8; length -= 8)
            if (const uint64_t other = word(start + length - 8) ^ kBlanks)
                return length - static_cast<unsigned>(__builtin_clzll(other)) / 8;
        if (length == 0) return 0;
        if (length + before >= 8) {
            // The bytes in front of the text are shifted out, zeros come in on
            // top: the text's trailing blanks are the zero bytes beyond those.
            const uint64_t other = (word(start + length - 8) ^ kBlanks) >> (8 * (8 - length));
            if (other == 0) return 0;
            return length - (static_cast<unsigned>(__builtin_clzll(other)) / 8 - (8 - length));
        }
    }
    while (length > 0 && start[length - 1] == ' ') --length;
    return length;
}

} // namespace

std::string_view fieldText(const Field& field, const void* record) noexcept
{
    const char* start = static_cast<const char*>(record) + field.offset;
    std::size_t length = textLength(start, field.width, field.offset);
    if (field.trimmed) length = withoutTrailingBlanks(start, length, field.offset);
    return std::string_view(start, length);
}

int32_t fieldInteger(const Field& field, const void* record, uint32_t index) noexcept
{
    if (field.kind != FieldKind::integer || index >= field.width / sizeof(int32_t)) return 0;
    int32_t value = 0;
    std::memcpy(&value, static_cast<const char*>(record) + field.offset + index * sizeof value,
                sizeof value);
    return value;
}

int32_t fieldInteger(const Field& field, const void* record) noexcept
{
    return fieldInteger(field, record, 0);
}

} // namespace zroi
