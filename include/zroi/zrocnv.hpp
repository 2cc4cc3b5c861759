// ZroCnv: byte order and character set conversion of a message's data.
//
// Every header class reads only native data (encoding 546, character set 0).
// A message from a big-endian machine or in an EBCDIC character set is
// turned into that form first, and native data into another platform's:
//
// ```cpp
// ZroMsg message;                        // a get left foreign data in it
// ZroCnv converter;
// ZroDlh deadLetterHeader;
// if (converter.convert(message, ZRENC_NATIVE, 0))
//     message.readItem(deadLetterHeader); // now reads as any other
// ```
//
// The model:
// - Encoding: the integer byte order is the lowest hexadecimal digit; 1 is
//   normal (most significant byte first, as 273), 2 is reversed (least
//   significant byte first, as the native 546). The other digits describe
//   decimal and floating-point forms, which no record holds: they play no
//   part, and every converted item is described with exactly the encoding
//   the caller asks for. Another lowest digit is refused (6401).
// - Character set: a coded character set id. 0 is the local, ASCII-based
//   set, taken as ISO 8859-1 so that every byte has a place; 819 is the
//   same set by name. Also 1208 (UTF-8), 437, 850, 1252, and the EBCDIC
//   sets 37, 273, 285, 297, 500, 1047, 1140, 1141 and 1148, whose mappings
//   come from the system's iconv. Any other id is refused (6402).
//   Fixed-width record fields are converted only between single-byte sets
//   (1208 is refused for a record, 6402), byte for byte, so a record keeps
//   its length; a string body may be UTF-8 and change length. A character
//   that has no place in the target set is an error (6403): nothing is
//   substituted. Between two ids of the same set bytes are copied as they
//   are.
//
// The walk is the reader's: the message's descriptor gives the encoding,
// character set and format of the item at the data offset, and each
// header's own fields give those of the item behind it. Every integer of a
// record goes into the target byte order, every character field (structure
// id and spare texts included) into the target set, byte fields
// (identifiers, tokens, spare bytes) stay as they are. A reference header's
// four variable parts are converted as text; bytes that no part claims stay
// as they are. A string body is text, a binary body has nothing to convert.
// Each header converted then describes the item behind it with the target
// encoding and character set, and the descriptor's encoding and character
// set are set last (its format stays: the descriptor is always native).
#ifndef ZROI_ZROCNV_HPP
#define ZROI_ZROCNV_HPP

#include <cstdint>

#include "zroi/zrodefs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"

class ZroMsg;

class ZROI_API ZroCnv : public ZroErr {
public:
    /// Codes 0/0 and no scratch storage yet.
    ZroCnv() noexcept = default;
    /// Copies `other`'s codes; the scratch storage is each object's own.
    ZroCnv(const ZroCnv& other) noexcept : ZroErr(other) {}
    ~ZroCnv() override;
    /// Copies `other`'s codes, unless `other` is this object.
    void operator=(const ZroCnv& other) noexcept { ZroErr::operator=(other); }

    /// Converts the message's data from the data offset to the end into
    /// `encoding` and `characterSet`, in place; the data offset stays.
    /// The data is converted into scratch storage (kept by the object and
    /// reused by the next call) and copied back only when all of it
    /// converted, so a failure leaves data and descriptor exactly as they
    /// were; a body whose every byte has a place in the target set (and
    /// bytes left as they are) cannot fail and is converted in place after
    /// that. Traced as function 100, texts under function 100.
    ///
    /// Result 1 with codes untouched: everything converted. Result 1 with
    /// 1/6404: a format the converter does not know stands in the chain;
    /// the items before it are converted, the header in front of it keeps
    /// describing it and it stays as it was (when it is the first item,
    /// nothing changes). Result 0 with 2 and: 6401 (an encoding whose byte
    /// order is neither 1 nor 2), 6402 (a character set not supported, or a
    /// multi-byte set for a record), 6403 (a character with no place in the
    /// target set, or bytes that are not UTF-8 in a 1208 body), 6107 (a
    /// header's structure id is not at its place), 6114 (a record or a
    /// length reaches past the data), 6123 (a reference header's structure
    /// length is shorter than its fixed part, or a variable part starts in
    /// the fixed part or ends past the structure length), 6128 (a KOTA
    /// bridge header of a version without a layout), 2071 (no scratch
    /// storage), 2004 (the data failed the pointer check), 6113 (a user
    /// buffer too small for a body that grew), or the message's codes when
    /// its automatic buffer cannot grow.
    unsigned char convert(ZroMsg& message, int32_t encoding, int32_t characterSet);

    /// 1 when the lowest hexadecimal digit of `encoding` is 1 or 2.
    static unsigned char encodingSupported(int32_t encoding) noexcept;
    /// 1 when `characterSet` is one of the ids above and the system's iconv
    /// has its mapping (built once per process, on first use).
    static unsigned char characterSetSupported(int32_t characterSet) noexcept;
    /// 1 for a supported set whose characters are one byte each (all but 1208).
    static unsigned char characterSetSingleByte(int32_t characterSet) noexcept;

private:
    char* scratch_ = nullptr;  ///< converted data, from the library heap
    std::size_t capacity_ = 0; ///< bytes at scratch_

    friend struct ZroCnvWalk;
};

#endif // ZROI_ZROCNV_HPP
