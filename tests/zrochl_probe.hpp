// A channel that lets the tests see its record, as the connection library does.
#ifndef ZROI_TESTS_ZROCHL_PROBE_HPP
#define ZROI_TESTS_ZROCHL_PROBE_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "zroi/zrochl.hpp"

class ChannelProbe : public ZroChl {
public:
    ChannelProbe() = default;
    ChannelProbe(const ChannelProbe&) = default;
    ChannelProbe& operator=(const ChannelProbe&) = default;

    ::ZRCD& record() const { return *ZRCD(); }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(ZRCD()); }

    int32_t longAt(std::size_t offset) const
    {
        int32_t value = 0;
        std::memcpy(&value, bytes() + offset, sizeof value);
        return value;
    }
};

/// The `width` bytes at `field` as a string, NULs included.
inline std::string bytesOf(const char* field, std::size_t width)
{
    return field != nullptr ? std::string(field, width) : std::string();
}

/// `text` followed by NUL bytes up to `width`.
inline std::string padded(const std::string& text, std::size_t width)
{
    std::string field = text;
    field.resize(width, '\0');
    return field;
}

/// The text of a string ("" without storage).
inline std::string textOf(const ZroStr& s)
{
    return s.dataPointer() != nullptr ? std::string(s.dataPointer()) : std::string();
}

constexpr char TRUNCATED[] = "static ZroString::copy (warning): string truncated";
constexpr char SOURCE_BUFFER_ERROR[] = "ZroString::copy (error): source buffer error";

#endif // ZROI_TESTS_ZROCHL_PROBE_HPP
