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

} // namespace zrofield
