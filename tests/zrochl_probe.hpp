// A channel that lets the tests see its record, as the connection library does.
#ifndef ZROI_TESTS_ZROCHL_PROBE_HPP
#define ZROI_TESTS_ZROCHL_PROBE_HPP

#include "zroi/zrochl.hpp"

class ChannelProbe : public ZroChl {
public:
    ChannelProbe() = default;
    ChannelProbe(const ChannelProbe&) = default;
    ChannelProbe& operator=(const ChannelProbe&) = default;

    ::ZRCD& record() const { return *ZRCD(); }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(ZRCD()); }
};

#endif // ZROI_TESTS_ZROCHL_PROBE_HPP
