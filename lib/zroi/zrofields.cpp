// Reading a record's fields in place, by the tables of zroi/zrofields.hpp.
#include "zroi/zrofields.hpp"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// Sixteen bytes from `at` on: the bit of each that equals `c`.
unsigned equalTo(const char* at, char c) noexcept
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}

// The length of the text of `width` bytes at `start` (behind `before` bytes
// of the same record), trailing blanks removed when `trimmed`: sixteen bytes
// at a time, each looked at for a NUL and for the last byte not blank in the
// same pass. The last sixteen bytes of the field (or of the record up to its
// end, when the field is shorter) take the rest, those in front of it
// shifted out. False when there is no such sixteen: the caller then goes the
// short way.
bool textInPlace(const char* start, std::size_t width, std::size_t before, bool trimmed,
                 std::size_t& length) noexcept
{
    std::size_t kept = 0; // the characters up to the last one not blank so far
    for (std::size_t n = 0;; n += 16) {
        unsigned nul, other;
        if (n + 16 <= width) {
            nul = equalTo(start + n, '\0');
            other = ~equalTo(start + n, ' ') & 0xFFFFu;
        } else if (n == width) {
            length = trimmed ? kept : width;
            return true;
        } else if (width + before >= 16) {
            const unsigned shift = static_cast<unsigned>(16 - (width - n));
            // The field's end stands for a NUL.
            nul = equalTo(start + width - 16, '\0') >> shift | 1u << (width - n);
            other = (~equalTo(start + width - 16, ' ') & 0xFFFFu) >> shift;
        } else {
            return false;
        }
        if (nul != 0) {
            const unsigned end = static_cast<unsigned>(__builtin_ctz(nul));
            if (!trimmed) {
                length = n + end;
                return true;
            }
            other &= (1u << end) - 1;
        }
        if (other != 0) kept = n + 32 - static_cast<unsigned>(__builtin_clz(other));
        if (nul != 0) {
            length = kept;
            return true;
        }
    }
}
#endif

} // namespace

std::string_view fieldText(const Field& field, const void* record) noexcept
{
    const char* start = static_cast<const char*>(record) + field.offset;
    std::size_t length;
#if defined(__SSE2__)
    if (textInPlace(start, field.width, field.offset, field.trimmed, length))
        return std::string_view(start, length);
#endif
    length = textLength(start, field.width, field.offset);
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
