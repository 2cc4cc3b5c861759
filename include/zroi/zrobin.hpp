// ZroBin: an owned, counted block of bytes in which every byte value is data.
//
// The binary fields of the middleware's records (message, correlation and
// group identifiers, tokens) travel as ZroBin values: their getters return
// a copy of the field's full width and their setters read a ZroBin. A
// binary is also a message item: it can be the whole data of a message.
//
// ```cpp
// unsigned char id[24] = {0x41, 0x4d, 0x51};
// ZroBin messageId(id, sizeof id);        // 24 bytes, copied
// char field[24];
// messageId.copyOut(field, 24, '\0');     // into a fixed-width field
// if (messageId.isNull()) {               // empty or all zero
//     std::puts("no message id");
// }
// for (unsigned char byte : messageId.view()) std::printf("%02x", byte);
// ```
//
// Storage is exactly the data length (none when empty) and is never shared:
// copies are deep. Failures leave their codes on the binary (see ZroErr)
// and never throw.
#ifndef ZROI_ZROBIN_HPP
#define ZROI_ZROBIN_HPP

#include <cstddef>

#include "zroi/zroexport.h"
#include "zroi/zroitm.hpp"

class ZROI_API ZroBin : public ZroItm {
public:
    /// A read-only view of bytes: a pointer and a length, usable in a range
    /// for. An addition for C++ code; see view().
    class View {
    public:
        constexpr View() noexcept = default;
        constexpr View(const unsigned char* data, std::size_t size) noexcept
            : data_(data), size_(size)
        {
        }
        constexpr const unsigned char* data() const noexcept { return data_; }
        constexpr std::size_t size() const noexcept { return size_; }
        constexpr bool empty() const noexcept { return size_ == 0; }
        constexpr const unsigned char* begin() const noexcept { return data_; }
        constexpr const unsigned char* end() const noexcept { return data_ + size_; }
        constexpr unsigned char operator[](std::size_t i) const noexcept { return data_[i]; }

    private:
        const unsigned char* data_ = nullptr;
        std::size_t size_ = 0;
    };

    /// An empty binary (no storage), codes 0/0.
    ZroBin() noexcept = default;
    /// Copies `other`'s codes, then its bytes. When no storage is available
    /// the copy stays empty and carries 2/2071 instead.
    ZroBin(const ZroBin& other);
    /// Takes over `other`'s codes and storage; `other` is left empty.
    ZroBin(ZroBin&& other) noexcept;
    /// A copy of `length` bytes at `data`; `data` is not looked at when
    /// `length` is 0. Leaves 2/2004 (bytes not readable) or 2/2071 (no
    /// storage) and an empty binary on failure.
    ZroBin(const void* data, unsigned length);
    ~ZroBin() override;

    /// As the copy constructor; on failure (2/2071) the binary keeps its old
    /// bytes. Assigning a binary to itself changes nothing.
    void operator=(const ZroBin& other);
    /// Takes over `other`'s codes and storage; `other` is left empty.
    void operator=(ZroBin&& other) noexcept;

    /// 1 when both lengths and all bytes are equal (codes take no part), else 0.
    unsigned char operator==(const ZroBin& other) const noexcept;
    /// 1 when the binary is empty or every byte is 0, else 0.
    unsigned char isNull() const noexcept;

    /// Replaces the bytes by a copy of `length` bytes at `data` (`data` not
    /// looked at for 0). 1 on success; 0 with 2/2004 (not readable) or 2/2071
    /// (no storage), the old bytes kept.
    unsigned char set(const void* data, unsigned length);
    /// Resizes to `length` bytes. The current length keeps the bytes; any
    /// other length keeps none of them (new bytes are undefined until
    /// written). 1 on success; 0 with 2/2071 when no storage is available,
    /// the old bytes and length kept.
    unsigned char setDataLength(unsigned length);

    /// Copies the bytes into a field of `length` bytes at `buffer`: at most
    /// `length` bytes (a longer binary is cut silently), the rest filled
    /// with `pad`. 1 on success (also for `length` 0 without a buffer);
    /// 0 with 2/2004 when the field is not writable, or 2/6110 when bytes or
    /// padding have no `buffer`; nothing is written on failure.
    unsigned char copyOut(void* buffer, unsigned length, char pad);

    /// Replaces the message's data by the bytes, format eight blanks,
    /// encoding 546, character set 0. 0 on failure with the message's codes.
    unsigned char copyOut(ZroMsg& message) override;
    /// Takes all data from the message's data offset to its end; the data
    /// offset then stands at the end. Needs format eight blanks (else 0 and
    /// 2/6119). 0 with 2/2071 when no storage is available, or with the
    /// message's codes when the read fails (data offset unchanged).
    unsigned char pasteIn(ZroMsg& message) override;

    /// The number of bytes.
    unsigned dataLength() const noexcept { return length_; }
    /// The first byte, or nullptr when the binary is empty.
    const unsigned char* dataPointer() const noexcept { return data_; }
    /// The bytes as a view: dataPointer() and dataLength(). Valid until the
    /// binary changes or goes.
    View view() const noexcept { return View(data_, length_); }

protected:
    /// Releases the storage; the binary is empty. Codes are untouched.
    void clear() noexcept;

private:
    /// setDataLength, copying `length` bytes from `source` when it is given
    /// (`source` may lie in the binary's own storage).
    unsigned char resize(unsigned length, const void* source);

    unsigned char* data_ = nullptr;
    unsigned length_ = 0;
};

#endif // ZROI_ZROBIN_HPP
