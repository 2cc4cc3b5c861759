// ZroRih: the RPX bridge header.
#include "zroi/zrorih.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"

ZROI_IDENT("lib/zroi/zrorih")

namespace {

constexpr unsigned FN_PASTE_IN = 65;
constexpr unsigned FN_SET_TRANSACTION_INSTANCE_ID = 66;
constexpr auto kTexts = zroCheckTexts(ZRRIH_LONG_NAME);
constexpr ZroItemFacts kFacts{ZRRIH_STRUC_ID, ZRFMT_RPX_BRIDGE_HEADER, kTexts, FN_PASTE_IN, true};
constexpr char kSpareCharacters[] = " 0C ";
static_assert(sizeof kSpareCharacters - 1 == sizeof(ZRRIH::spareCharacters));

} // namespace

ZROI_HEADER_FRAME(ZroRih, ZRRIH, kFacts);

ZroRih::ZroRih() noexcept : ZroHdrFrame(ZRRIH{})
{
    // The transaction instance id and the integers not set here are 0.
    std::memcpy(mutableRecord().strucId, ZRRIH_STRUC_ID, sizeof record().strucId);
    mutableRecord().version = ZRRIH_VERSION_1;
    mutableRecord().strucLength = ZRRIH_LENGTH;
    mutableRecord().encoding = ZRENC_NATIVE;
    std::memcpy(mutableRecord().format, ZRFMT_NONE, sizeof record().format);
    std::memset(mutableRecord().logicalTerminalOverride, ' ',
                sizeof record().logicalTerminalOverride);
    std::memset(mutableRecord().messageFormatServicesMapName, ' ',
                sizeof record().messageFormatServicesMapName);
    std::memset(mutableRecord().replyToFormat, ' ', sizeof record().replyToFormat);
    std::memset(mutableRecord().authenticator, ' ', sizeof record().authenticator);
    std::memcpy(mutableRecord().spareCharacters, kSpareCharacters, sizeof record().spareCharacters);
}

ZroRih::~ZroRih() = default;

void ZroRih::operator=(const ZroRih& other) noexcept { ZroHdrFrame::operator=(other); }

ZroStr ZroRih::logicalTerminalOverride() const
{
    return zrofield::text(record().logicalTerminalOverride,
                          sizeof record().logicalTerminalOverride);
}

void ZroRih::setLogicalTerminalOverride(const char* text)
{
    zrofield::setText(mutableRecord().logicalTerminalOverride,
                      sizeof record().logicalTerminalOverride, text, '\0');
}

ZroStr ZroRih::messageFormatServicesMapName() const
{
    return zrofield::text(record().messageFormatServicesMapName,
                          sizeof record().messageFormatServicesMapName);
}

void ZroRih::setMessageFormatServicesMapName(const char* text)
{
    zrofield::setText(mutableRecord().messageFormatServicesMapName,
                      sizeof record().messageFormatServicesMapName, text, '\0');
}

ZroStr ZroRih::replyToFormat() const
{
    return zrofield::textKept(record().replyToFormat, sizeof record().replyToFormat);
}

void ZroRih::setReplyToFormat(const char* name)
{
    zrofield::setText(mutableRecord().replyToFormat, sizeof record().replyToFormat, name, ' ');
}

ZroStr ZroRih::authenticator() const
{
    return zrofield::textKept(record().authenticator, sizeof record().authenticator);
}

void ZroRih::setAuthenticator(const char* text)
{
    zrofield::setText(mutableRecord().authenticator, sizeof record().authenticator, text, '\0');
}

ZroBin ZroRih::transactionInstanceId() const
{
    return zrofield::binary(record().transactionInstanceId, sizeof record().transactionInstanceId);
}

unsigned char ZroRih::setTransactionInstanceId(const ZroBin& value)
{
    ZroFrame frame(*this, FN_SET_TRANSACTION_INSTANCE_ID);
    if (zrofield::setBinary(mutableRecord().transactionInstanceId,
                            sizeof record().transactionInstanceId, value))
        return 1;
    return fail(FN_SET_TRANSACTION_INSTANCE_ID,
                "ZroRPXBridgeHeader::setTransactionInstanceId (error): binary data length error",
                ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
}

void ZroRih::setTransactionInstanceId(const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(mutableRecord().transactionInstanceId, bytes,
                    sizeof record().transactionInstanceId);
    else
        std::memset(mutableRecord().transactionInstanceId, 0,
                    sizeof record().transactionInstanceId);
}
