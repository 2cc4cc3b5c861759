// Fixed-width record fields: the one place where text and binary values
// move between objects and the character and byte fields of records.
#ifndef ZROI_LIB_ZROFIELD_HPP
#define ZROI_LIB_ZROFIELD_HPP

#include "zroi/zrobin.hpp"
#include "zroi/zrofields.hpp"
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

/// Copies `width` bytes from `bytes` into the field, or zeros for nullptr.
void setBytes(void* field, unsigned width, const unsigned char* bytes);

/// A text field's text, as its table says: up to the first NUL, trailing
/// blanks removed when the field is trimmed.
ZroStr get(const zroi::Field& field, const void* record);
/// Copies `text` into the field with the pad character its table gives.
void put(const zroi::Field& field, void* record, const char* text);

} // namespace zrofield

// The getter and setter of a text field of a class's record, defined with
// the pad character and trimming of the field's table, which is looked up
// when compiled. The class gives record() and mutableRecord(). The field is
// the record's member of the getter's name; the _OF forms name the member
// where it differs.
#define ZROFIELD_TEXT_GETTER_OF(Class, getter, member)                             \
    ZroStr Class::getter() const                                                   \
    {                                                                              \
        static constexpr zroi::Field field = zroi::fields<Class>().named(#member); \
        static_assert(field.kind == zroi::FieldKind::text, #member);               \
        return zrofield::get(field, &record());                                    \
    }
#define ZROFIELD_TEXT_OF(Class, getter, setter, member)                            \
    ZROFIELD_TEXT_GETTER_OF(Class, getter, member)                                 \
    void Class::setter(const char* text)                                           \
    {                                                                              \
        static constexpr zroi::Field field = zroi::fields<Class>().named(#member); \
        zrofield::put(field, &mutableRecord(), text);                              \
    }
#define ZROFIELD_TEXT_GETTER(Class, getter) ZROFIELD_TEXT_GETTER_OF(Class, getter, getter)
#define ZROFIELD_TEXT(Class, getter, setter) ZROFIELD_TEXT_OF(Class, getter, setter, getter)

// The getter and both setters of a binary field of a header's record: the
// ZroBin setter takes the field's width or nothing (zeros) and otherwise
// fails with `text` under `function`, with entry and exit records when
// `traced`; the byte setter copies the width from its pointer, or zeros.
#define ZROFIELD_BINARY(Class, getter, setter, member, function, traced, text)                 \
    ZroBin Class::getter() const                                                               \
    {                                                                                          \
        return zrofield::binary(record().member, sizeof record().member);                      \
    }                                                                                          \
    unsigned char Class::setter(const ZroBin& value)                                           \
    {                                                                                          \
        return setBinaryField(mutableRecord().member, sizeof record().member, value, function, \
                              traced, text);                                                   \
    }                                                                                          \
    void Class::setter(const unsigned char* bytes)                                             \
    {                                                                                          \
        zrofield::setBytes(mutableRecord().member, sizeof record().member, bytes);             \
    }

#endif // ZROI_LIB_ZROFIELD_HPP
