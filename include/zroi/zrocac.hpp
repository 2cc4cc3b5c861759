// ZroCac: the data of a message, a byte buffer with a read/write cursor.
//
// The cache holds a buffer, the length of the message data in it and a data
// offset that reads and writes start at and move past. The buffer is either
// automatic (owned by the cache, grown on demand, at least doubling) or a
// user buffer (the caller's storage, adopted with useEmptyBuffer or
// useFullBuffer, never resized or released by the cache).
//
// ```cpp
// ZroCac cache;
// cache.write(5, "hello");            // automatic buffer of 5 bytes
// cache.setDataOffset(0);             // back to the start
// char out[5];
// char* to = out;
// cache.read(5, to);                  // out holds "hello", offset 5
// ```
//
// Operations report failure through the completion and reason codes of the
// object (virtual base ZroErr, shared with the rest of a message) and return
// 0; the codes stay until the next failure or warning.
//
// Invariant kept by every operation: data offset <= message length <= buffer
// length, and no buffer means buffer length 0. Derived classes that touch
// the members directly must keep it too.
#ifndef ZROI_ZROCAC_HPP
#define ZROI_ZROCAC_HPP

#include <cstring>

#include "zrecs/zrecs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"

class ZROI_API ZroCac : public virtual ZroErr {
public:
    /// An empty automatic cache: no buffer, all lengths 0, codes 0/0.
    ZroCac() noexcept = default;
    /// An empty automatic cache that then takes `other`'s codes and data as
    /// operator= does (always into an automatic buffer of its own).
    ZroCac(const ZroCac& other);
    /// Releases an automatic buffer; a user buffer stays the caller's.
    ~ZroCac() override;

    /// Copies `other`'s codes, then its message and data offset into this
    /// cache's own buffer; nothing when `other` is this object. An automatic
    /// buffer grows to the message length; a user buffer receives what fits
    /// (1/6115 when cut). The data offset becomes `other`'s, which may extend
    /// the message; when that needs growth that fails (2/6112 for a user
    /// buffer, 2/2071 for no storage) the offset stays where it was.
    void operator=(const ZroCac& other);

    /// Start of the buffer, or nullptr when there is none.
    char* bufferPointer() const noexcept { return buffer_; }
    /// Size of the buffer in bytes.
    unsigned bufferLength() const noexcept { return bufferLength_; }
    /// The cursor: where the next read or write starts.
    unsigned dataOffset() const noexcept { return dataOffset_; }
    /// Number of valid message bytes from the start of the buffer.
    unsigned messageLength() const noexcept { return messageLength_; }
    /// Buffer pointer plus data offset, or nullptr when there is no buffer.
    char* dataPointer() const noexcept
    {
        return buffer_ != nullptr ? buffer_ + dataOffset_ : nullptr;
    }
    /// 1 for an automatic buffer, 0 for a user buffer.
    unsigned char automaticBuffer() const noexcept { return automatic_; }

    /// Message bytes from the data offset on; 0 whenever the buffer length is 0.
    unsigned dataLength() const noexcept
    {
        return bufferLength_ == 0 ? 0 : messageLength_ - dataOffset_;
    }

    /// Empties the message (length 0, data offset 0) and keeps the buffer.
    void clearMessage() noexcept { messageLength_ = dataOffset_ = 0; }

    /// Makes room for `length` bytes at the data offset. Returns 1 when they
    /// fit or an automatic buffer grew (to the larger of twice its size and
    /// data offset + `length`). Returns 0 with 2/6113 for a user buffer that
    /// is too small, 2/2071 when data offset + `length` does not fit in 32 bits
    /// or no storage is left. The message and the data offset do not change.
    unsigned char moreBytes(unsigned length)
    {
        return length <= bufferLength_ - dataOffset_ ? 1 : grow(length);
    }

    /// Copies `length` bytes at the data offset to the caller's storage at
    /// `data` (the pointer itself is not changed) and moves the data offset
    /// past them. Returns 1, also for length 0 (`data` is then not looked
    /// at). Returns 0 with 2/6114 when fewer bytes are left, 2/6108 for no
    /// `data`, 2/2004 when `data` may not be written; the offset stays.
    unsigned char read(unsigned length, char*& data)
    {
        // While nobody listens and no pointer check is installed, the hook and
        // the entry and exit records do nothing and the pointer check is the
        // default answer: with data to read and a destination that answer
        // accepts, this is the traced path without its no-op calls. A refused
        // destination takes the traced path, which reports it.
        if (__builtin_expect(zrecs_quiet() && length - 1u < dataLength() && data != nullptr &&
                                 zrecs_default_answer(data, length) == 0,
                             1)) {
            std::memmove(data, buffer_ + dataOffset_, length);
            dataOffset_ += length;
            return 1;
        }
        return readTraced(length, data);
    }

    /// Sets the size of an automatic buffer to `length` bytes, keeping the
    /// first bytes of the message. Returns 1, with the warning 1/6115 when
    /// the message is cut to `length` (the data offset then at most
    /// `length`); 0 releases the buffer and empties the cache. Returns 0 with
    /// 2/6112 for a user buffer (whatever `length`), 2/2071 when no storage
    /// is left; the cache is then unchanged.
    unsigned char resizeBuffer(unsigned length);

    /// Moves the data offset to `offset`. Beyond the message it first sets
    /// the message length to `offset` (growing an automatic buffer to exactly
    /// `offset`; the new bytes have no defined value). Returns 0 with 2/6112
    /// or 2/2071 when that growth fails; the offset stays.
    unsigned char setDataOffset(unsigned offset)
    {
        if (offset > messageLength_) {
            // Within the buffer the message just gets longer (what
            // setMessageLength does when it need not grow the buffer).
            if (offset <= bufferLength_)
                messageLength_ = offset;
            else if (!setMessageLength(offset))
                return 0;
        }
        dataOffset_ = offset;
        return 1;
    }

    /// Sets the message length, growing an automatic buffer to exactly
    /// `length` when it is smaller; the data offset becomes at most `length`.
    /// Returns 0 with 2/6112 or 2/2071 when the growth fails; nothing changes.
    unsigned char setMessageLength(unsigned length);

    /// Adopts `length` bytes at `buffer` as a user buffer holding no message
    /// (an automatic buffer is released); message length and data offset 0.
    /// Length 0 drops a user buffer (not released) and makes the cache
    /// automatic without a buffer, or keeps an automatic buffer, and empties
    /// the message. Returns 0 with 2/6108 for a length without a buffer,
    /// 2/2004 when `buffer` may not be read; nothing changes then. `buffer`
    /// must stay valid while the cache uses it and is written through by
    /// write; it must not be the cache's own automatic buffer.
    unsigned char useEmptyBuffer(const char* buffer, unsigned length);

    /// As useEmptyBuffer, and on success the whole buffer is message: message
    /// length `length`, data offset 0.
    unsigned char useFullBuffer(const char* buffer, unsigned length);

    /// Copies `length` bytes from `data` to the data offset, growing an
    /// automatic buffer first when needed, and moves the data offset past
    /// them; the message length becomes at least the new offset. Returns 1,
    /// also for length 0 (`data` is then not looked at). Returns 0 with
    /// 2/6113 or 2/2071 (no room), 2/6108 for no `data` (after a growth,
    /// which stays), 2/2004 when `data` may not be read or the buffer not
    /// written; the message and the offset stay.
    unsigned char write(unsigned length, const char* data)
    {
        // While nobody listens and no pointer check is installed, the hook and
        // the entry and exit records do nothing and the pointer checks are the
        // default answer: with room, and data and a buffer that answer
        // accepts, this is the traced path without its no-op calls. A refused
        // range takes the traced path, which reports it.
        char* to = buffer_ + dataOffset_;
        if (__builtin_expect(zrecs_quiet() && length - 1u < bufferLength_ - dataOffset_ &&
                                 data != nullptr && zrecs_default_answer(data, length) == 0 &&
                                 zrecs_default_answer(to, length) == 0,
                             1)) {
            std::memmove(to, data, length);
            dataOffset_ += length;
            if (dataOffset_ > messageLength_) messageLength_ = dataOffset_;
            return 1;
        }
        return writeTraced(length, data);
    }

protected:
    char* buffer_ = nullptr;      ///< start of the buffer, or nullptr
    unsigned dataOffset_ = 0;     ///< the cursor
    unsigned bufferLength_ = 0;   ///< size of the buffer
    unsigned messageLength_ = 0;  ///< valid message bytes from the start
    unsigned char automatic_ = 1; ///< 1: the cache owns the buffer

    // The seam of the library's item protocol: a class of the library
    // derived from ZroCac that puts a whole item into a message's buffer or
    // takes one from it in place, after the checks a write or read makes,
    // moves the cursor and the length of `cache` through these.

    /// The data offset and the message length both at `end`: the bytes
    /// before it were written in place.
    static void endAt(ZroCac& cache, unsigned end) noexcept
    {
        cache.dataOffset_ = cache.messageLength_ = end;
    }
    /// The data offset `length` bytes on: they were read in place.
    static void skip(ZroCac& cache, unsigned length) noexcept { cache.dataOffset_ += length; }
    /// The growth of moreBytes and write on `cache`, the kept bytes `gap`
    /// bytes into the new buffer (see grow).
    static unsigned char growWithGap(ZroCac& cache, unsigned length, unsigned gap)
    {
        return cache.grow(length, gap);
    }

private:
    // Growth when moreBytes or write finds no room: rare, kept off the fast path.
    // With a `gap`, the kept message bytes go to the new buffer `gap` bytes
    // further on (the caller then fills the gap and knows where they are).
    [[gnu::cold]] unsigned char grow(unsigned length, unsigned gap = 0);
    /// resizeBuffer, the kept bytes placed `gap` bytes into the new buffer;
    /// `gap` plus the message length must not pass `length`.
    unsigned char resize(unsigned length, unsigned gap);
    unsigned char readTraced(unsigned length, char*& data);
    unsigned char writeTraced(unsigned length, const char* data);
    unsigned char adopt(const char* buffer, unsigned length);
};

#endif // ZROI_ZROCAC_HPP
