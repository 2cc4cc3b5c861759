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

constexpr auto kTexts = zroCheckTexts(ZRKIH_LONG_NAME);
constexpr ZroItemFacts kFacts{ZRKIH_STRUC_ID, ZRFMT_KOTA_BRIDGE_HEADER, kTexts, FN_PASTE_IN, true};

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

ZROI_HEADER_FRAME(ZroKih, ZRKIH, kFacts);

ZroKih::ZroKih() : ZroHdrFrame(defaultRecord()) {}

// The highest version is every object's own: a copy starts with its own.
ZroKih::ZroKih(const ZroKih& other) : ZroHdrFrame(other) {}

ZroKih::~ZroKih() = default;

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
    return ZroProtocol::putInFront(*this, message, &record(), length, ZRFMT_KOTA_BRIDGE_HEADER);
}

unsigned char ZroKih::pasteIn(ZroMsg& message)
{
    ZroFrame frame(*this, FN_PASTE_IN);
    if (!ZroProtocol::checkAtDataOffset(*this, message, kFacts)) return 0;

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
    return ZroProtocol::describeFollowingData(message, *this, ownFormat());
}

// ---- Character fields -------------------------------------------------------

ZroStr ZroKih::replyToFormat() const
{
    return zrofield::textKept(record().replyToFormat, sizeof record().replyToFormat);
}

void ZroKih::setReplyToFormat(const char* text)
{
    zrofield::setText(mutableRecord().replyToFormat, sizeof record().replyToFormat, text, ' ');
}

ZroStr ZroKih::authenticator() const
{
    return zrofield::textKept(record().authenticator, sizeof record().authenticator);
}

void ZroKih::setAuthenticator(const char* text)
{
    zrofield::setText(mutableRecord().authenticator, sizeof record().authenticator, text, ' ');
}

ZroStr ZroKih::transactionIdentifier() const
{
    return zrofield::textKept(record().transactionId, sizeof record().transactionId);
}

void ZroKih::setTransactionIdentifier(const char* text)
{
    zrofield::setText(mutableRecord().transactionId, sizeof record().transactionId, text, ' ');
}

ZroStr ZroKih::facilityLike() const
{
    return zrofield::textKept(record().facilityLike, sizeof record().facilityLike);
}

void ZroKih::setFacilityLike(const char* text)
{
    zrofield::setText(mutableRecord().facilityLike, sizeof record().facilityLike, text, ' ');
}

ZroStr ZroKih::attentionIdentifier() const
{
    return zrofield::textKept(record().attentionId, sizeof record().attentionId);
}

void ZroKih::setAttentionIdentifier(const char* text)
{
    zrofield::setText(mutableRecord().attentionId, sizeof record().attentionId, text, ' ');
}

ZroStr ZroKih::startCode() const
{
    return zrofield::textKept(record().startCode, sizeof record().startCode);
}

void ZroKih::setStartCode(const char* text)
{
    zrofield::setText(mutableRecord().startCode, sizeof record().startCode, text, ' ');
}

ZroStr ZroKih::bridgeCancelCode() const
{
    return zrofield::textKept(record().bridgeCancelCode, sizeof record().bridgeCancelCode);
}

void ZroKih::setBridgeCancelCode(const char* text)
{
    zrofield::setText(mutableRecord().bridgeCancelCode, sizeof record().bridgeCancelCode, text,
                      ' ');
}

ZroStr ZroKih::function() const
{
    return zrofield::textKept(record().function, sizeof record().function);
}

ZroStr ZroKih::bridgeAbendCode() const
{
    return zrofield::textKept(record().bridgeAbendCode, sizeof record().bridgeAbendCode);
}

ZroStr ZroKih::nextTransactionIdentifier() const
{
    return zrofield::textKept(record().nextTransactionId, sizeof record().nextTransactionId);
}

// ---- Facility token ---------------------------------------------------------

ZroBin ZroKih::facilityToken() const
{
    return zrofield::binary(record().facilityToken, sizeof record().facilityToken);
}

unsigned char ZroKih::setFacilityToken(const ZroBin& value)
{
    ZroFrame frame(*this, FN_SET_FACILITY_TOKEN);
    if (!zrofield::setBinary(mutableRecord().facilityToken, sizeof record().facilityToken, value))
        // Unlike the library's other texts, this one ends in a line feed.
        return fail(FN_SET_FACILITY_TOKEN,
                    "ZroKOTABridgeHeader::setFacilityToken (error): binary data length error\n",
                    ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
    return 1;
}

void ZroKih::setFacilityToken(const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(mutableRecord().facilityToken, bytes, sizeof record().facilityToken);
    else
        std::memset(mutableRecord().facilityToken, 0, sizeof record().facilityToken);
}
