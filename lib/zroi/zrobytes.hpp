// Small byte operations the message paths make many times over short texts:
// finding a NUL and copying a few bytes without a library call.
#ifndef ZROI_LIB_ZROBYTES_HPP
#define ZROI_LIB_ZROBYTES_HPP

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zrobytes {

// Eight bytes are looked at as one word where the first byte in memory is
// the lowest of it; elsewhere one byte at a time.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kWords = true;
#else
constexpr bool kWords = false;
#endif

inline uint64_t word(const char* at) noexcept
{
    uint64_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

/// The top bit of every byte of `w` that is 0, and no other bit.
inline uint64_t nulBytes(uint64_t w) noexcept
{
    constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Fu;
    return ~(((w & low7) + low7) | w | low7);
}

/// The place of the first NUL among the `n` bytes at `text`, or `n` when
/// there is none. Reads those bytes only.
inline unsigned findNul(const char* text, unsigned n) noexcept
{
    unsigned i = 0;
#if defined(__SSE2__)
    if (n >= 16) {
        // Sixteen bytes at a time, the last sixteen for the rest.
        const __m128i zero = _mm_setzero_si128();
        const auto nuls = [&zero](const char* at) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
        };
        if (n <= 32) {
            // The short texts of header fields: the first sixteen and the
            // last sixteen bytes (which may overlap) at once, without a loop.
            const unsigned mask = nuls(text) | nuls(text + n - 16) << (n - 16);
            return mask != 0 ? static_cast<unsigned>(__builtin_ctz(mask)) : n;
        }
        for (; i + 16 <= n; i += 16)
            if (const unsigned mask = nuls(text + i)) return i + __builtin_ctz(mask);
        if (i == n) return n;
        const unsigned mask = nuls(text + n - 16);
        return mask != 0 ? n - 16 + __builtin_ctz(mask) : n;
    }
#endif
    if (kWords && n >= 8) {
        for (; i + 8 <= n; i += 8)
            if (const uint64_t nul = nulBytes(word(text + i)))
                return i + static_cast<unsigned>(__builtin_ctzll(nul)) / 8;
        if (i == n) return n;
        // The last eight bytes; those in front of the rest hold no NUL.
        const uint64_t nul = nulBytes(word(text + n - 8));
        return nul != 0 ? n - 8 + static_cast<unsigned>(__builtin_ctzll(nul)) / 8 : n;
    }
    while (i < n && text[i] != '\0') ++i;
    return i;
}

/// memmove of `n` bytes; up to 16 without a call (everything is read before
/// anything is written, so the ranges may overlap).
inline void move(char* to, const char* from, unsigned n) noexcept
{
    if (n >= 8 && n <= 16) {
        const uint64_t head = word(from), tail = word(from + n - 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4 && n < 8) {
        uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + n - 4, &tail, 4);
    } else {
        std::memmove(to, from, n);
    }
}

/// Puts the `length` bytes at `data` as a text into `storage`, whose `size`
/// must be what the text needs: `length` when the bytes hold a NUL, one more
/// for the NUL put behind them otherwise. True when it was; false, with
/// nothing written, for storage of another size or no bytes. The ranges may
/// overlap.
inline bool putText(char* storage, unsigned size, const char* data, unsigned length) noexcept
{
    if (kWords && length - 8u <= 8u && length + 1u == size) {
        // 8 to 16 bytes without a NUL, the texts of most header fields: the
        // first eight and the last eight, looked at and copied at once.
        const uint64_t head = word(data), tail = word(data + length - 8);
        if ((nulBytes(head) | nulBytes(tail)) == 0) {
            std::memcpy(storage, &head, 8);
            std::memcpy(storage + length - 8, &tail, 8);
            storage[length] = '\0';
            return true;
        }
    }
    if (length - 1u >= size || length + 1u < size) return false;
    const bool hasNul = findNul(data, length) < length;
    if ((hasNul ? length : length + 1) != size) return false;
    move(storage, data, length);
    if (!hasNul) storage[length] = '\0';
    return true;
}

#if defined(__SSE2__)
/// Copies the 16 * V bytes at `from` to `to` when none of them is NUL
/// (true); otherwise writes nothing (false).
template <unsigned V> inline bool copyRound(char* to, const char* from) noexcept
{
    __m128i bytes[V];
    __m128i least = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    for (unsigned k = 0; k < V; ++k) {
        bytes[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from) + k);
        least = _mm_min_epu8(least, bytes[k]);
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0) return false;
    for (unsigned k = 0; k < V; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(to) + k, bytes[k]);
    return true;
}
#endif

/// Copies the bytes of the `n` at `from` that come before the first NUL
/// among them to `to` and returns how many: memchr and memcpy in one pass,
/// so that a long text is read from memory once. Reads only those `n` bytes
/// and writes only the bytes it copies; the two ranges must not overlap.
/// (A copy of its own, not memcpy in chunks: the string instructions some
/// processors use for memcpy of a few KiB slow down many times when the
/// destination lies a few bytes ahead of the source within a page.)
inline unsigned copyToNul(char* to, const char* from, unsigned n) noexcept
{
    unsigned i = 0;
#if defined(__SSE2__)
    // 128 bytes a round while none of them is NUL, then 64 once.
    for (; n - i >= 128 && copyRound<8>(to + i, from + i); i += 128) {}
    if (n - i >= 64 && copyRound<4>(to + i, from + i)) i += 64;
#endif
    // The rest, fewer than 64 bytes or the round that holds the NUL (and
    // everything, 64 bytes at a time, where there is no SSE2).
    for (;;) {
        const unsigned rest = n - i < 64 ? n - i : 64;
        const unsigned taken = findNul(from + i, rest);
        if (taken != 0) std::memcpy(to + i, from + i, taken);
        i += taken;
        if (taken < rest || i == n) return i;
    }
}

} // namespace zrobytes

#endif // ZROI_LIB_ZROBYTES_HPP
