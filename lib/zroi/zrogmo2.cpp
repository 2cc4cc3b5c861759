// ZroGmo: get-message options, version 2, embedded.
#include "zroi/zrogmo2.hpp"

#include <atomic>
#include <cstddef>
#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrogmorecord.hpp"

ZROI_IDENT("lib/zroi/zrogmo2")

// The fields read and written here all lie within the first 80 bytes.
static_assert(offsetof(ZRGMO, messageToken) == ZroGmo::RECORD_LENGTH);

namespace {

// Written by setVersionSupported and read by every constructor, possibly on
// different threads; the value is independent of any other data, so relaxed
// order is enough.
std::atomic<int32_t> g_versionSupported{ZRGMO_VERSION_2};

// The embedded record is bytes, not a ZRGMO (which is 100 bytes long), so
// its integers are read and written by copying at their ZRGMO offsets.
int32_t wordAt(const unsigned char* record, std::size_t offset) noexcept
{
    int32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void setWordAt(unsigned char* record, std::size_t offset, int32_t value) noexcept
{
    std::memcpy(record + offset, &value, sizeof value);
}

} // namespace

ZroGmo::ZroGmo() noexcept
{
    std::memcpy(record_, &zrogmo::kTemplate, RECORD_LENGTH);
    setWordAt(record_, offsetof(ZRGMO, version),
              g_versionSupported.load(std::memory_order_relaxed));
}

ZroGmo::ZroGmo(const ZroGmo& other) noexcept : ZroErr(other)
{
    std::memcpy(record_, other.record_, RECORD_LENGTH);
}

ZroGmo::~ZroGmo() = default;

void ZroGmo::operator=(const ZroGmo& other) noexcept
{
    if (this == &other) return;
    ZroErr::operator=(other);
    std::memcpy(record_, other.record_, RECORD_LENGTH);
}

ZroStr ZroGmo::resolvedQueueName() const
{
    return zrofield::text(reinterpret_cast<const char*>(record_) +
                              offsetof(ZRGMO, resolvedQueueName),
                          sizeof(ZRGMO::resolvedQueueName));
}

unsigned char ZroGmo::syncPointParticipation() const noexcept
{
    return zrogmo::participates(wordAt(record_, offsetof(ZRGMO, options)));
}

void ZroGmo::setSyncPointParticipation(unsigned char participate) noexcept
{
    int32_t options = wordAt(record_, offsetof(ZRGMO, options));
    setWordAt(record_, offsetof(ZRGMO, options), zrogmo::withParticipation(options, participate));
}

int32_t ZroGmo::versionSupported() noexcept
{
    return g_versionSupported.load(std::memory_order_relaxed);
}

void ZroGmo::setVersionSupported(int32_t version) noexcept
{
    g_versionSupported.store(version, std::memory_order_relaxed);
}
