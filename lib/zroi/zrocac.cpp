// ZroCac: growth, resizing, adoption of user buffers and the traced paths of
// read and write. The untraced common paths are inline in the header.
#include "zroi/zrocac.hpp"

#include <cstdint>
#include <cstring>

#include "zroalloc.hpp"
#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zrocac")

// Lengths and offsets are 32-bit by contract; the wrap checks below rely on it.
static_assert(sizeof(unsigned) == 4, "ZroCac lengths are 32-bit");

namespace {
// Trace function numbers of the cache.
constexpr unsigned FN_ASSIGN = 2;
constexpr unsigned FN_MORE_BYTES = 3; // also the growth step inside write
constexpr unsigned FN_READ = 4;
constexpr unsigned FN_RESIZE = 5;
constexpr unsigned FN_USE_BUFFER = 8; // useEmptyBuffer and useFullBuffer
constexpr unsigned FN_WRITE = 9;

unsigned smaller(unsigned a, unsigned b) { return a < b ? a : b; }
} // namespace

ZroCac::ZroCac(const ZroCac& other) : ZroErr() { *this = other; }

ZroCac::~ZroCac()
{
    if (automatic_) zroRelease(buffer_);
}

void ZroCac::operator=(const ZroCac& other)
{
    if (&other == this) return;
    ZroErr::operator=(other);

    const unsigned total = other.messageLength_;
    // A user buffer keeps its size; an automatic one tries to fit the message.
    if (bufferLength_ < total && automatic_) resizeBuffer(total);
    if (bufferLength_ < total)
        fail(FN_ASSIGN, "ZroCache::operator = (warning): data truncated", ZRCC_WARNING,
             ZRRC_DATA_TRUNCATED);

    unsigned copied = smaller(bufferLength_, total);
    if (copied > 0) {
        if (buffer_ != nullptr && other.buffer_ != nullptr) {
            // Two caches may share one user buffer: the ranges may overlap.
            std::memmove(buffer_, other.buffer_, copied);
        } else {
            copied = 0;
            fail(FN_ASSIGN,
                 "ZroCache::operator = (warning): buffer addressing problem, data truncated",
                 ZRCC_WARNING, ZRRC_DATA_TRUNCATED);
        }
    }
    setMessageLength(copied);
    // May extend the message and grow the buffer; if that fails the cursor stays.
    setDataOffset(other.dataOffset_);
}

unsigned char ZroCac::grow(unsigned length, unsigned gap)
{
    if (!automatic_)
        return fail(FN_MORE_BYTES, "ZroCache::moreBytes (error): insufficient buffer", ZRCC_FAILED,
                    ZRRC_INSUFFICIENT_BUFFER);

    // Both candidates in 32-bit arithmetic: either may wrap.
    const unsigned doubled = bufferLength_ * 2u;
    const unsigned needed = dataOffset_ + length;
    const unsigned target = doubled > needed ? doubled : needed;
    // The target leaves room for `length` bytes after the offset unless the sum
    // wrapped, which happens exactly when length > UINT32_MAX - offset. Tested as
    // length > target - offset, a wrapped sum would slip through when the doubling
    // wrapped too and fell below the offset (buffers of 2 GiB and more).
    if (length > UINT32_MAX - dataOffset_)
        return fail(FN_MORE_BYTES, "ZroCache::moreBytes (error): storage not available",
                    ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
    return resize(target, gap);
}

unsigned char ZroCac::readTraced(unsigned length, char*& data)
{
    ZroFrame frame(*this, FN_READ);
    if (length > dataLength())
        return fail(FN_READ, "ZroCache::read (error): insufficient data", ZRCC_FAILED,
                    ZRRC_INSUFFICIENT_DATA);
    if (length == 0) return 1;
    if (data == nullptr)
        return fail(FN_READ, "ZroCache::read (error): null data pointer", ZRCC_FAILED,
                    ZRRC_NULL_POINTER);
    if (!checkWritePointer(data, length)) return 0;
    // The destination may lie in this very buffer.
    std::memmove(data, buffer_ + dataOffset_, length);
    dataOffset_ += length;
    return 1;
}

unsigned char ZroCac::resizeBuffer(unsigned length) { return resize(length, 0); }

unsigned char ZroCac::resize(unsigned length, unsigned gap)
{
    ZroFrame frame(*this, FN_RESIZE);
    if (!automatic_)
        return fail(FN_RESIZE, "ZroCache::resizeBuffer (error): user buffer cannot be resized",
                    ZRCC_FAILED, ZRRC_BUFFER_NOT_RESIZABLE);
    if (length == bufferLength_) return 1;
    if (length < messageLength_)
        fail(FN_RESIZE, "ZroCache::resizeBuffer (warning): data truncated", ZRCC_WARNING,
             ZRRC_DATA_TRUNCATED);

    if (length == 0) {
        zroRelease(buffer_);
        buffer_ = nullptr;
        bufferLength_ = messageLength_ = dataOffset_ = 0;
        return 1;
    }

    char* fresh = static_cast<char*>(zroAllocate(length));
    if (fresh == nullptr)
        return fail(FN_RESIZE, "ZroCache::resizeBuffer (error): storage not available", ZRCC_FAILED,
                    ZRRC_STORAGE_NOT_AVAILABLE);

    const unsigned keep = smaller(messageLength_, length);
    if (keep > 0) std::memcpy(fresh + gap, buffer_, keep);
    dataOffset_ = buffer_ != nullptr ? smaller(dataOffset_, length) : 0;
    zroRelease(buffer_);
    buffer_ = fresh;
    bufferLength_ = length;
    messageLength_ = keep;
    return 1;
}

unsigned char ZroCac::setMessageLength(unsigned length)
{
    if (length > bufferLength_ && !resizeBuffer(length)) return 0;
    messageLength_ = length;
    dataOffset_ = smaller(dataOffset_, length);
    return 1;
}

unsigned char ZroCac::adopt(const char* buffer, unsigned length)
{
    if (length == 0) {
        // Dropping a user buffer returns the cache to automatic mode without a
        // buffer; an automatic buffer is kept for later writes.
        if (!automatic_) {
            buffer_ = nullptr;
            bufferLength_ = 0;
            automatic_ = 1;
        }
        messageLength_ = dataOffset_ = 0;
        return 1;
    }
    if (buffer == nullptr)
        return fail(FN_USE_BUFFER, "ZroCache::useEmpty/FullBuffer (error): length but no pointer",
                    ZRCC_FAILED, ZRRC_NULL_POINTER);
    if (!checkReadPointer(buffer, length)) return 0;

    if (automatic_) zroRelease(buffer_);
    // The storage stays the caller's; write copies into it, as the caller intends
    // by handing it over.
    buffer_ = const_cast<char*>(buffer);
    bufferLength_ = length;
    automatic_ = 0;
    messageLength_ = dataOffset_ = 0;
    return 1;
}

unsigned char ZroCac::useEmptyBuffer(const char* buffer, unsigned length)
{
    ZroFrame frame(*this, FN_USE_BUFFER);
    return adopt(buffer, length);
}

unsigned char ZroCac::useFullBuffer(const char* buffer, unsigned length)
{
    ZroFrame frame(*this, FN_USE_BUFFER);
    if (!adopt(buffer, length)) return 0;
    return setMessageLength(length);
}

unsigned char ZroCac::writeTraced(unsigned length, const char* data)
{
    ZroFrame frame(*this, FN_WRITE);
    if (length > bufferLength_ - dataOffset_) {
        // Data taken from this cache's own buffer (appending a copy of the
        // message, say) would be left behind in the buffer that growth
        // releases: follow it to the new buffer, where the message bytes are kept.
        const std::uintptr_t from = reinterpret_cast<std::uintptr_t>(data);
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(buffer_);
        const bool inside = buffer_ != nullptr && from - start < bufferLength_ &&
                            length <= bufferLength_ - (from - start);
        const std::size_t at = from - start;
        if (!grow(length)) return 0;
        if (inside) data = buffer_ + at;
    }
    if (length == 0) return 1;
    if (data == nullptr)
        return fail(FN_WRITE, "ZroCache::write (error): null data pointer", ZRCC_FAILED,
                    ZRRC_NULL_POINTER);
    char* to = buffer_ + dataOffset_;
    if (!checkReadPointer(data, length) || !checkWritePointer(to, length)) return 0;
    std::memmove(to, data, length);
    dataOffset_ += length;
    if (dataOffset_ > messageLength_) messageLength_ = dataOffset_;
    return 1;
}
