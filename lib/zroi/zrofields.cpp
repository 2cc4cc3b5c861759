// Reading a record's fields in place, by the tables of zroi/zrofields.hpp.
#include "zroi/zrofields.hpp"

#include <cstring>

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zrofields")

namespace zroi {

std::string_view fieldText(const Field& field, const void* record) noexcept
{
    const char* start = static_cast<const char*>(record) + field.offset;
    const void* nul = std::memchr(start, '\0', field.width);
    std::size_t length = nul != nullptr ? static_cast<const char*>(nul) - start : field.width;
    if (field.trimmed)
        while (length > 0 && start[length - 1] == ' ') --length;
    return std::string_view(start, length);
}

int32_t fieldInteger(const Field& field, const void* record, uint32_t index) noexcept
{
    if (field.kind != FieldKind::integer || index >= field.width / sizeof(int32_t)) return 0;
    int32_t value = 0;
    std::memcpy(&value, static_cast<const char*>(record) + field.offset + index * sizeof value,
                sizeof value);
    return value;
}

int32_t fieldInteger(const Field& field, const void* record) noexcept
{
    return fieldInteger(field, record, 0);
}

} // namespace zroi
