// ZroRih: the RPX bridge header.
#include "zroi/zrorih.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zroi/zromsg.hpp"
#include "zroproto.hpp"

ZROI_IDENT("lib/zroi/zrorih")

namespace {

constexpr unsigned FN_PASTE_IN = 65;
constexpr unsigned FN_SET_TRANSACTION_INSTANCE_ID = 66;
constexpr ZroItemFacts kFacts{ZRRIH_STRUC_ID, ZRFMT_RPX_BRIDGE_HEADER, ZRRIH_LONG_NAME,
                              FN_PASTE_IN};
constexpr char kSpareCharacters[] = " 0C ";
static_assert(sizeof kSpareCharacters - 1 == sizeof(ZRRIH::spareCharacters));

} // namespace

ZroRih::ZroRih() noexcept : record_{}
{
    // The transaction instance id and the integers not set here are 0.
    std::memcpy(record_.strucId, ZRRIH_STRUC_ID, sizeof record_.strucId);
    record_.version = ZRRIH_VERSION_1;
    record_.strucLength = ZRRIH_LENGTH;
    record_.encoding = ZRENC_NATIVE;
    std::memcpy(record_.format, ZRFMT_NONE, sizeof record_.format);
    std::memset(record_.logicalTerminalOverride, ' ', sizeof record_.logicalTerminalOverride);
    std::memset(record_.messageFormatServicesMapName, ' ',
                sizeof record_.messageFormatServicesMapName);
    std::memset(record_.replyToFormat, ' ', sizeof record_.replyToFormat);
    std::memset(record_.authenticator, ' ', sizeof record_.authenticator);
    std::memcpy(record_.spareCharacters, kSpareCharacters, sizeof record_.spareCharacters);
}

ZroRih::~ZroRih() = default;

void ZroRih::operator=(const ZroRih& other) noexcept
{
    if (&other == this) return;
    ZroHdr::operator=(other);
    record_ = other.record_;
}

unsigned char ZroRih::copyOut(ZroMsg& message)
{
    return ZroProtocol::putRecordInFront(*this, message, record_, ZRFMT_RPX_BRIDGE_HEADER);
}

unsigned char ZroRih::pasteIn(ZroMsg& message)
{
    ZroFrame frame(*this, FN_PASTE_IN);
    return ZroProtocol::takeRecord(*this, message, record_, kFacts);
}

ZroStr ZroRih::format() const { return zrofield::textKept(record_.format, sizeof record_.format); }

void ZroRih::setFormat(const char* name)
{
    zrofield::setText(record_.format, sizeof record_.format, name, ' ');
}

ZroStr ZroRih::logicalTerminalOverride() const
{
    return zrofield::text(record_.logicalTerminalOverride, sizeof record_.logicalTerminalOverride);
}

void ZroRih::setLogicalTerminalOverride(const char* text)
{
    zrofield::setText(record_.logicalTerminalOverride, sizeof record_.logicalTerminalOverride, text,
                      '\0');
}

ZroStr ZroRih::messageFormatServicesMapName() const
{
    return zrofield::text(record_.messageFormatServicesMapName,
                          sizeof record_.messageFormatServicesMapName);
}

void ZroRih::setMessageFormatServicesMapName(const char* text)
{
    zrofield::setText(record_.messageFormatServicesMapName,
                      sizeof record_.messageFormatServicesMapName, text, '\0');
}

ZroStr ZroRih::replyToFormat() const
{
    return zrofield::textKept(record_.replyToFormat, sizeof record_.replyToFormat);
}

void ZroRih::setReplyToFormat(const char* name)
{
    zrofield::setText(record_.replyToFormat, sizeof record_.replyToFormat, name, ' ');
}

ZroStr ZroRih::authenticator() const
{
    return zrofield::textKept(record_.authenticator, sizeof record_.authenticator);
}

void ZroRih::setAuthenticator(const char* text)
{
    zrofield::setText(record_.authenticator, sizeof record_.authenticator, text, '\0');
}

ZroBin ZroRih::transactionInstanceId() const
{
    return zrofield::binary(record_.transactionInstanceId, sizeof record_.transactionInstanceId);
}

unsigned char ZroRih::setTransactionInstanceId(const ZroBin& value)
{
    ZroFrame frame(*this, FN_SET_TRANSACTION_INSTANCE_ID);
    if (zrofield::setBinary(record_.transactionInstanceId, sizeof record_.transactionInstanceId,
                            value))
        return 1;
    return fail(FN_SET_TRANSACTION_INSTANCE_ID,
                "ZroRPXBridgeHeader::setTransactionInstanceId (error): binary data length error",
                ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
}

void ZroRih::setTransactionInstanceId(const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(record_.transactionInstanceId, bytes, sizeof record_.transactionInstanceId);
    else
        std::memset(record_.transactionInstanceId, 0, sizeof record_.transactionInstanceId);
}
