// ZroBin: the binary value.
#include "zroi/zrobin.hpp"

#include <cstring>

#include "zroalloc.hpp"
#include "zroframe.hpp"
#include "zroi/zromsg.hpp"
#include "zroproto.hpp"

ZROI_IDENT("lib/zroi/zrobin")

namespace {
constexpr unsigned FN_COPY_OUT = 0;
constexpr unsigned FN_PASTE_IN = 1;
constexpr unsigned FN_SET_DATA_LENGTH = 59;
} // namespace

ZroBin::ZroBin(const ZroBin& other) : ZroItm(other) { resize(other.length_, other.data_); }

ZroBin::ZroBin(ZroBin&& other) noexcept : ZroItm(other), data_(other.data_), length_(other.length_)
{
    other.data_ = nullptr;
    other.length_ = 0;
}

ZroBin::ZroBin(const void* data, unsigned length) { set(data, length); }

ZroBin::~ZroBin() { zroRelease(data_); }

void ZroBin::operator=(const ZroBin& other)
{
    if (&other == this) return;
    ZroItm::operator=(other);
    resize(other.length_, other.data_);
}

void ZroBin::operator=(ZroBin&& other) noexcept
{
    if (&other == this) return;
    ZroItm::operator=(other);
    zroRelease(data_);
    data_ = other.data_;
    length_ = other.length_;
    other.data_ = nullptr;
    other.length_ = 0;
}

unsigned char ZroBin::operator==(const ZroBin& other) const noexcept
{
    if (length_ != other.length_) return 0;
    return length_ == 0 || std::memcmp(data_, other.data_, length_) == 0 ? 1 : 0;
}

unsigned char ZroBin::isNull() const noexcept
{
    // All bytes are 0 when the first is and every byte equals its successor.
    if (length_ == 0) return 1;
    return data_[0] == 0 && std::memcmp(data_, data_ + 1, length_ - 1) == 0 ? 1 : 0;
}

unsigned char ZroBin::set(const void* data, unsigned length)
{
    if (length != 0 && !checkReadPointer(data, length)) return 0;
    return resize(length, data);
}

unsigned char ZroBin::setDataLength(unsigned length) { return resize(length, nullptr); }

unsigned char ZroBin::resize(unsigned length, const void* source)
{
    ZroFrame frame(*this, FN_SET_DATA_LENGTH);
    if (length == length_) {
        // Same length: the storage stays. memmove, as `source` may lie in it.
        if (source != nullptr && length != 0) std::memmove(data_, source, length);
        return 1;
    }
    if (length == 0) {
        clear();
        return 1;
    }
    auto* fresh = static_cast<unsigned char*>(zroAllocate(length));
    if (fresh == nullptr)
        return fail(FN_SET_DATA_LENGTH, "ZroBinary::setDataLength (error): storage not available",
                    ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
    // Copy before the old storage goes: `source` may be part of it.
    if (source != nullptr) std::memcpy(fresh, source, length);
    zroRelease(data_);
    data_ = fresh;
    length_ = length;
    return 1;
}

void ZroBin::clear() noexcept
{
    zroRelease(data_);
    data_ = nullptr;
    length_ = 0;
}

unsigned char ZroBin::copyOut(void* buffer, unsigned length, char pad)
{
    ZroFrame frame(*this, FN_COPY_OUT);
    if (buffer != nullptr && length != 0 && !checkWritePointer(buffer, length)) return 0;
    unsigned n = length_ < length ? length_ : length;
    if (length == 0) return 1;
    // Bytes or padding to write (length > 0) need a destination.
    if (buffer == nullptr)
        return fail(FN_COPY_OUT, "ZroBinary::copyOut (error): no destination buffer", ZRCC_FAILED,
                    ZRRC_NO_BUFFER);
    auto* field = static_cast<unsigned char*>(buffer);
    if (n != 0) std::memcpy(field, data_, n);
    if (length > n) std::memset(field + n, static_cast<unsigned char>(pad), length - n);
    return 1;
}

// ---- The binary as a message body -----------------------------------------

namespace {
constexpr auto kBinaryTexts = zroCheckTexts("ZroBinary");
constexpr ZroItemFacts kBinaryFacts{nullptr, ZRFMT_NONE, kBinaryTexts, FN_PASTE_IN};
} // namespace

unsigned char ZroBin::copyOut(ZroMsg& message)
{
    return ZroProtocol::replaceData(*this, message, data_, length_, ZRFMT_NONE);
}

unsigned char ZroBin::pasteIn(ZroMsg& message)
{
    ZroFrame frame(*this, FN_PASTE_IN);
    if (!ZroProtocol::checkAtDataOffset(*this, message, kBinaryFacts)) return 0;
    const unsigned n = message.dataLength();
    if (!setDataLength(n)) return 0;
    if (n == 0) return 1;
    return ZroProtocol::readRecord(*this, message, data_, n);
}
