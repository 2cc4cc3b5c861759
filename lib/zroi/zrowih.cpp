// ZroWih: the work information header.
#include "zroi/zrowih.hpp"

#include <cstdio>
#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zroi/zromsg.hpp"
#include "zroproto.hpp"

ZROI_IDENT("lib/zroi/zrowih")

namespace {

constexpr unsigned FN_PASTE_IN = 77;
constexpr unsigned FN_SET_MESSAGE_TOKEN = 78;
constexpr ZroItemFacts kFacts{ZRWIH_STRUC_ID, ZRFMT_WORK_INFO_HEADER, ZRWIH_LONG_NAME, FN_PASTE_IN};

} // namespace

ZroWih::ZroWih() noexcept : record_{}
{
    // The message token, the spare bytes and the integers not set here are 0.
    std::memcpy(record_.strucId, ZRWIH_STRUC_ID, sizeof record_.strucId);
    record_.version = ZRWIH_VERSION_1;
    record_.strucLength = ZRWIH_LENGTH;
    record_.encoding = ZRENC_NATIVE;
    std::memcpy(record_.format, ZRFMT_NONE, sizeof record_.format);
    std::memset(record_.serviceName, ' ', sizeof record_.serviceName);
    std::memset(record_.serviceStep, ' ', sizeof record_.serviceStep);
}

ZroWih::~ZroWih() = default;

void ZroWih::operator=(const ZroWih& other) noexcept
{
    if (&other == this) return;
    ZroHdr::operator=(other);
    record_ = other.record_;
}

unsigned char ZroWih::copyOut(ZroMsg& message)
{
    return ZroProtocol::putRecordInFront(*this, message, record_, ZRFMT_WORK_INFO_HEADER);
}

unsigned char ZroWih::pasteIn(ZroMsg& message)
{
    // The structure length is carried, not checked: the record is always 120 bytes.
    return ZroProtocol::takeRecord(*this, message, record_, kFacts);
}

ZroStr ZroWih::format() const { return zrofield::textKept(record_.format, sizeof record_.format); }

void ZroWih::setFormat(const char* name)
{
    zrofield::setText(record_.format, sizeof record_.format, name, ' ');
}

ZroStr ZroWih::serviceName() const
{
    return zrofield::textKept(record_.serviceName, sizeof record_.serviceName);
}

void ZroWih::setServiceName(const char* name)
{
    zrofield::setText(record_.serviceName, sizeof record_.serviceName, name, ' ');
}

ZroStr ZroWih::serviceStep() const
{
    return zrofield::textKept(record_.serviceStep, sizeof record_.serviceStep);
}

void ZroWih::setServiceStep(const char* step)
{
    zrofield::setText(record_.serviceStep, sizeof record_.serviceStep, step, ' ');
}

ZroBin ZroWih::messageToken() const
{
    return zrofield::binary(record_.messageToken, sizeof record_.messageToken);
}

unsigned char ZroWih::setMessageToken(const ZroBin& value)
{
    if (zrofield::setBinary(record_.messageToken, sizeof record_.messageToken, value)) return 1;
    // This text is put together from its pieces and ends in a line feed.
    char text[96];
    std::snprintf(text, sizeof text, "%s%s%s%s", "ZroWorkHeader::", "setMessageToken ",
                  "(error): binary data length error", "\n");
    return fail(FN_SET_MESSAGE_TOKEN, text, ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
}

void ZroWih::setMessageToken(const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(record_.messageToken, bytes, sizeof record_.messageToken);
    else
        std::memset(record_.messageToken, 0, sizeof record_.messageToken);
}
