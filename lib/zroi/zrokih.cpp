// ZroKih: the KOTA bridge header, versions 1 and 2.
#include "zroi/zrokih.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"

ZROI_IDENT("lib/zroi/zrokih")

namespace {

constexpr unsigned FN_PASTE_IN = 60;
constexpr unsigned FN_SET_FACILITY_TOKEN = 61;

/// The structure id: what pasteIn reads before it knows how long the header is.
constexpr unsigned kIdLength = sizeof(ZRKIH::strucId);

/// The bytes a header of `version` takes in a message, 0 for a version
/// that has no layout.
unsigned lengthOf(int32_t version)
{
    switch (version) {
    case ZRKIH_VERSION_1: return ZRKIH_LENGTH_1;
    case ZRKIH_VERSION_2: return ZRKIH_LENGTH_2;
    default: return 0;
    }
}

ZRKIH makeDefaultRecord()
{
    ZRKIH record;
    std::memset(&record, ' ', sizeof record); // every character field is blank-filled
    std::memcpy(record.strucId, ZRKIH_STRUC_ID, sizeof record.strucId);
    record.version = ZRKIH_VERSION_2;
    record.strucLength = ZRKIH_LENGTH_2;
    record.encoding = ZRENC_NATIVE;
    record.codedCharSetId = 0;
    record.headerFlags = 0;
    record.bridgeReturnCode = 0;
    record.bridgeCompletionCode = 0;
    record.bridgeReasonCode = 0;
    record.uowControl = 273;
    record.getWaitInterval = -2;
    record.linkType = 1;
    record.outputDataLength = -1;
    record.facilityKeepTime = 0;
    record.adsDescriptor = 0;
    record.conversationalTask = 0;
    record.taskEndStatus = 0;
    std::memset(record.facilityToken, 0, sizeof record.facilityToken);
    record.cursorPosition = 0;
    record.bridgeErrorOffset = 0;
    record.spareInteger1 = 0;
    record.spareInteger2 = 0;
    return record;
}

const ZRKIH& defaultRecord()
{
    static const ZRKIH record = makeDefaultRecord();
    return record;
}

} // namespace

ZROI_HEADER_FRAME(ZroKih, ZRKIH, ZRFMT_KOTA_BRIDGE_HEADER, FN_PASTE_IN, true);

ZroKih::ZroKih() : ZroHdrFrame(defaultRecord()) {}

// The highest version is every object's own: a copy starts with its own.
ZroKih::ZroKih(const ZroKih& other) : ZroHdrFrame(other) {}

void ZroKih::operator=(const ZroKih& other) { ZroHdrFrame::operator=(other); }

// ---- Versions ---------------------------------------------------------------

unsigned char ZroKih::setVersion(int32_t value)
{
    if (value < ZRKIH_VERSION_1 || value > highestVersion_) {
        setCodes(ZRCC_FAILED, ZRRC_WRONG_VERSION);
        return 0;
    }
    mutableRecord().version = value;
    return 1;
}

// ---- The header in a message ------------------------------------------------

unsigned char ZroKih::copyOut(ZroMsg& message)
{
    const unsigned length = lengthOf(mutableRecord().version);
    if (length == 0) {
        setCodes(ZRCC_FAILED, ZRRC_WRONG_VERSION);
        return 0;
    }
    return ZroProtocol::putInFront(*this, message, &record(), length, ZRFMT_KOTA_BRIDGE_HEADER,
                                   ownDescription());
}

unsigned char ZroKih::pasteIn(ZroMsg& message)
{
    ZroFrame frame(*this, FN_PASTE_IN);
    if (!ZroProtocol::checkAtDataOffset(*this, message, facts())) return 0;

    // How much to read is decided by the version the object held before the
    // call, not by the version in the message: note it before the record
    // is overwritten.
    const int32_t noted = mutableRecord().version;
    char* bytes = reinterpret_cast<char*>(&mutableRecord());
    if (!ZroProtocol::readRecord(*this, message, bytes, kIdLength)) return 0;
    const unsigned length = lengthOf(noted);
    if (length == 0) {
        // Give the structure id back: the offset stands where it was. The
        // offset is at least kIdLength within the message, so this cannot fail.
        message.setDataOffset(message.dataOffset() - kIdLength);
        setCodes(ZRCC_FAILED, ZRRC_WRONG_VERSION);
        return 0;
    }
    // A short message fails here with the structure id consumed.
    if (!ZroProtocol::readRecord(*this, message, bytes + kIdLength, length - kIdLength)) return 0;
    return ZroProtocol::describeFollowingData(message, *this, ownDescription());
}

// ---- Fields -------------------------------------------------------------------

ZROFIELD_TEXT(ZroKih, replyToFormat, setReplyToFormat)
ZROFIELD_TEXT(ZroKih, authenticator, setAuthenticator)
ZROFIELD_TEXT_OF(ZroKih, transactionIdentifier, setTransactionIdentifier, transactionId)
ZROFIELD_TEXT(ZroKih, facilityLike, setFacilityLike)
ZROFIELD_TEXT_OF(ZroKih, attentionIdentifier, setAttentionIdentifier, attentionId)
ZROFIELD_TEXT(ZroKih, startCode, setStartCode)
ZROFIELD_TEXT(ZroKih, bridgeCancelCode, setBridgeCancelCode)
ZROFIELD_TEXT_GETTER(ZroKih, function)
ZROFIELD_TEXT_GETTER(ZroKih, bridgeAbendCode)
ZROFIELD_TEXT_GETTER_OF(ZroKih, nextTransactionIdentifier, nextTransactionId)
// Unlike the library's other texts, the token's ends in a line feed.
ZROFIELD_BINARY(ZroKih, facilityToken, setFacilityToken, facilityToken, FN_SET_FACILITY_TOKEN, true,
                "ZroKOTABridgeHeader::setFacilityToken (error): binary data length error\n")
