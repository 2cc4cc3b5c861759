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

ZROFIELD_TEXT(ZroRih, logicalTerminalOverride, setLogicalTerminalOverride)
ZROFIELD_TEXT(ZroRih, messageFormatServicesMapName, setMessageFormatServicesMapName)
ZROFIELD_TEXT(ZroRih, replyToFormat, setReplyToFormat)
ZROFIELD_TEXT(ZroRih, authenticator, setAuthenticator)
ZROFIELD_BINARY(ZroRih, transactionInstanceId, setTransactionInstanceId, transactionInstanceId,
                FN_SET_TRANSACTION_INSTANCE_ID, true,
                "ZroRPXBridgeHeader::setTransactionInstanceId (error): binary data length error")
