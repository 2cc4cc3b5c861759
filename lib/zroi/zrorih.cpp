// ZroRih: the RPX bridge header.
#include "zroi/zrorih.hpp"

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"

ZROI_IDENT("lib/zroi/zrorih")

namespace {

constexpr unsigned FN_PASTE_IN = 65;
constexpr unsigned FN_SET_TRANSACTION_INSTANCE_ID = 66;

/// The character fields blank, the spare characters " 0C ", the transaction
/// instance id and the other integers 0.
constexpr ZRRIH makeDefaultRecord()
{
    ZRRIH record = zrohdrframe::startRecord<ZRRIH>(
        ZRRIH_STRUC_ID, ZRRIH_VERSION_1, ZRRIH_LENGTH, &ZRRIH::logicalTerminalOverride,
        &ZRRIH::messageFormatServicesMapName, &ZRRIH::replyToFormat, &ZRRIH::authenticator);
    zrohdrframe::put(record.spareCharacters, " 0C ");
    return record;
}

constexpr ZRRIH kDefaultRecord = makeDefaultRecord();

} // namespace

ZROI_HEADER_FRAME(ZroRih, ZRRIH, ZRFMT_RPX_BRIDGE_HEADER, FN_PASTE_IN, true);

ZROI_HEADER_RECORD_ONLY(ZroRih, kDefaultRecord)

ZROFIELD_TEXT(ZroRih, logicalTerminalOverride, setLogicalTerminalOverride)
ZROFIELD_TEXT(ZroRih, messageFormatServicesMapName, setMessageFormatServicesMapName)
ZROFIELD_TEXT(ZroRih, replyToFormat, setReplyToFormat)
ZROFIELD_TEXT(ZroRih, authenticator, setAuthenticator)
ZROFIELD_BINARY(ZroRih, transactionInstanceId, setTransactionInstanceId, transactionInstanceId,
                FN_SET_TRANSACTION_INSTANCE_ID, true,
                "ZroRPXBridgeHeader::setTransactionInstanceId (error): binary data length error")
