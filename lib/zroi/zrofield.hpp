// Fixed-width record fields: the one place where text and binary values
// move between objects and the character and byte fields of records.
#ifndef ZROI_LIB_ZROFIELD_HPP
#define ZROI_LIB_ZROFIELD_HPP

#include "zroi/zrobin.hpp"
#include "zroi/zrostr.hpp"

namespace zrofield {

/// The field's text up to its first NUL (or its full width), trailing blanks removed.
ZroStr text(const char* field, unsigned width);
/// The same with trailing blanks kept (format names).
ZroStr textKept(const char* field, unsigned width);
/// Copies `text` into the field, at most `width` characters, the rest `pad`;
/// a cut is reported only in the string subsystem's shared copy codes.
void setText(char* field, unsigned width, const char* text, char pad);

/// A binary of the field's full width.
ZroBin binary(const void* field, unsigned width);
/// Sets the field from a binary of exactly `width` bytes, or zeros from an
/// empty one. False, with the field untouched, for any other length.
bool setBinary(void* field, unsigned width, const ZroBin& value);

} // namespace zrofield

#endif // ZROI_LIB_ZROFIELD_HPP
