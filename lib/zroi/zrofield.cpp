// Fixed-width record fields.
#include "zrofield.hpp"

#include <cstring>

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zrofield")

namespace zrofield {

ZroStr textKept(const char* field, unsigned width)
{
    ZroStr value;
    value.set(field, width);
    return value;
}

ZroStr text(const char* field, unsigned width)
{
    ZroStr value = textKept(field, width);
    value.stripTrailing(' ');
    return value;
}

void setText(char* field, unsigned width, const char* text, char pad)
{
    ZroStr::copy(field, width, text, pad);
}

ZroBin binary(const void* field, unsigned width) { return ZroBin(field, width); }

bool setBinary(void* field, unsigned width, const ZroBin& value)
{
    if (value.dataLength() == width) {
        std::memcpy(field, value.dataPointer(), width);
        return true;
    }
    if (value.dataLength() != 0) return false;
    std::memset(field, 0, width);
    return true;
}

void setBytes(void* field, unsigned width, const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(field, bytes, width);
    else
        std::memset(field, 0, width);
}

ZroStr get(const zroi::Field& field, const void* record)
{
    const char* at = static_cast<const char*>(record) + field.offset;
    return field.trimmed ? text(at, field.width) : textKept(at, field.width);
}

void put(const zroi::Field& field, void* record, const char* text)
{
    setText(static_cast<char*>(record) + field.offset, field.width, text, field.pad);
}

} // namespace zrofield
