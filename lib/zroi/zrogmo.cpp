// ZroGmo3: get-message options, version 3, in owned storage.
#include "zroi/zrogmo.hpp"

#include <atomic>
#include <cstring>
#include <new>

#include "zroalloc.hpp"
#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrogmorecord.hpp"

ZROI_IDENT("lib/zroi/zrogmo")

namespace {

constexpr unsigned FN_SET_MESSAGE_TOKEN = 64;

// Written by setVersionSupported and read by every constructor, possibly on
// different threads; the value is independent of any other data, so relaxed
// order is enough.
std::atomic<int32_t> g_versionSupported{ZRGMO_VERSION_3};

// A record of its own holding `contents`. The storage comes from the
// library's heap; a constructor cannot report through the codes of an object
// that has no record, so running out of storage throws, as ZroErr's new does.
ZRGMO* obtainRecord(const ZRGMO& contents)
{
    void* storage = zroAllocate(sizeof(ZRGMO));
    if (storage == nullptr) throw std::bad_alloc();
    return new (storage) ZRGMO(contents);
}

} // namespace

ZroGmo3::ZroGmo3() : record_(obtainRecord(zrogmo::kTemplate))
{
    record_->version = g_versionSupported.load(std::memory_order_relaxed);
}

ZroGmo3::ZroGmo3(const ZroGmo3& other) : ZroErr(other), record_(obtainRecord(*other.record_)) {}

ZroGmo3::~ZroGmo3() { zroRelease(record_); }

void ZroGmo3::operator=(const ZroGmo3& other) noexcept
{
    if (this == &other) return;
    ZroErr::operator=(other);
    *record_ = *other.record_;
}

ZroStr ZroGmo3::resolvedQueueName() const
{
    return zrofield::text(record_->resolvedQueueName, sizeof record_->resolvedQueueName);
}

unsigned char ZroGmo3::syncPointParticipation() const noexcept
{
    return zrogmo::participates(record_->options);
}

void ZroGmo3::setSyncPointParticipation(unsigned char participate) noexcept
{
    record_->options = zrogmo::withParticipation(record_->options, participate);
}

ZroBin ZroGmo3::messageToken() const
{
    return zrofield::binary(record_->messageToken, MESSAGE_TOKEN_LENGTH);
}

unsigned char ZroGmo3::setMessageToken(const ZroBin& token)
{
    ZroFrame frame(*this, FN_SET_MESSAGE_TOKEN);
    if (!zrofield::setBinary(record_->messageToken, MESSAGE_TOKEN_LENGTH, token))
        return fail(FN_SET_MESSAGE_TOKEN,
                    "ZroGetMessageOptions::setMessageToken (error): binary data length error",
                    ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
    return 1;
}

void ZroGmo3::setMessageToken(const unsigned char* token) noexcept
{
    if (token == nullptr)
        std::memset(record_->messageToken, 0, MESSAGE_TOKEN_LENGTH);
    else
        std::memcpy(record_->messageToken, token, MESSAGE_TOKEN_LENGTH);
}

int32_t ZroGmo3::versionSupported() noexcept
{
    return g_versionSupported.load(std::memory_order_relaxed);
}

void ZroGmo3::setVersionSupported(int32_t version) noexcept
{
    g_versionSupported.store(version, std::memory_order_relaxed);
}
