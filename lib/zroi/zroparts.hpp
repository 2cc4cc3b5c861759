// Variable-length parts behind a record's fixed part: where they are put
// when written and whether one named by a received record may be read.
//
// The record gives each part a 32-bit signed length and offset, counted from
// the record's first byte. Every sum is taken in 64 bits, so a hostile offset
// and length can neither wrap nor pass for a small one.
#ifndef ZROI_LIB_ZROPARTS_HPP
#define ZROI_LIB_ZROPARTS_HPP

#include <cstdint>

namespace zroparts {

/// Lays `count` parts of the given lengths out back to back from `fixed`
/// on: `offsets[i]` is where part i starts and `end` is where the last one
/// ends. False when `end` would pass INT32_MAX, which the record's length
/// fields cannot hold; `offsets` and `end` are then not written.
inline bool layOut(const unsigned* lengths, unsigned count, int32_t fixed, int32_t* offsets,
                   int32_t& end) noexcept
{
    int64_t total = fixed;
    for (unsigned i = 0; i < count; ++i) total += lengths[i]; // at most 2^32 * count
    if (total > INT32_MAX) return false;
    int64_t at = fixed;
    for (unsigned i = 0; i < count; ++i) {
        offsets[i] = static_cast<int32_t>(at);
        at += lengths[i];
    }
    end = static_cast<int32_t>(at);
    return true;
}

/// True when `length` bytes at `offset` lie within the first `available`
/// bytes: the offset is not negative and offset + length, taken without
/// overflow, is at most `available`. A negative length never fits.
inline bool fits(int32_t offset, int32_t length, unsigned available) noexcept
{
    return offset >= 0 && length >= 0 &&
           static_cast<int64_t>(offset) + length <= static_cast<int64_t>(available);
}

} // namespace zroparts

#endif // ZROI_LIB_ZROPARTS_HPP
