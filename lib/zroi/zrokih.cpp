// ZroKih: the KOTA bridge header, versions 1 and 2.
#include "zroi/zrokih.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zroi/zromsg.hpp"
#include "zroproto.hpp"

ZROI_IDENT("lib/zroi/zrokih")

namespace {

constexpr unsigned FN_PASTE_IN = 60;
constexpr unsigned FN_SET_FACILITY_TOKEN = 61;

constexpr ZroItemFacts kFacts{ZRKIH_STRUC_ID, ZRFMT_KOTA_BRIDGE_HEADER, ZRKIH_LONG_NAME,
                              FN_PASTE_IN};

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

ZroKih::ZroKih() : record_(new ZRKIH(defaultRecord())) {}

ZroKih::ZroKih(const ZroKih& other) : ZroHdr(other), record_(new ZRKIH(*other.record_)) {}

ZroKih::~ZroKih() { delete record_; }

void ZroKih::operator=(const ZroKih& other)
{
    if (&other == this) return;
    ZroHdr::operator=(other);
    *record_ = *other.record_; // the bytes, never the storage
}

// ---- Versions ---------------------------------------------------------------

unsigned char ZroKih::setVersion(int32_t value)
{
    if (value < ZRKIH_VERSION_1 || value > highestVersion_) {
        setCodes(ZRCC_FAILED, ZRRC_WRONG_VERSION);
        return 0;
    }
    record_->version = value;
    return 1;
}

// ---- The header in a message ------------------------------------------------

unsigned char ZroKih::copyOut(ZroMsg& message)
{
    const unsigned length = lengthOf(record_->version);
    if (length == 0) {
        setCodes(ZRCC_FAILED, ZRRC_WRONG_VERSION);
        return 0;
    }
    return ZroProtocol::putInFront(*this, message, record_, length, ZRFMT_KOTA_BRIDGE_HEADER,
                                   ZroProtocol::own(*this, *record_));
}

unsigned char ZroKih::pasteIn(ZroMsg& message)
{
    ZroFrame frame(*this, FN_PASTE_IN);
    if (!ZroProtocol::checkAtDataOffset(*this, message, kFacts)) return 0;

    // How much to read is decided by the version the object held before the
    // call, not by the version in the message: note it before the record
    // is overwritten.
    const int32_t noted = record_->version;
    char* bytes = reinterpret_cast<char*>(record_);
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
    return ZroProtocol::describeFollowingData(message, *this, ZroProtocol::own(*this, *record_));
}

// ---- Character fields -------------------------------------------------------

ZroStr ZroKih::format() const
{
    return zrofield::textKept(record_->format, sizeof record_->format);
}

void ZroKih::setFormat(const char* name)
{
    zrofield::setText(record_->format, sizeof record_->format, name, ' ');
}

ZroStr ZroKih::replyToFormat() const
{
    return zrofield::textKept(record_->replyToFormat, sizeof record_->replyToFormat);
}

void ZroKih::setReplyToFormat(const char* text)
{
    zrofield::setText(record_->replyToFormat, sizeof record_->replyToFormat, text, ' ');
}

ZroStr ZroKih::authenticator() const
{
    return zrofield::textKept(record_->authenticator, sizeof record_->authenticator);
}

void ZroKih::setAuthenticator(const char* text)
{
    zrofield::setText(record_->authenticator, sizeof record_->authenticator, text, ' ');
}

ZroStr ZroKih::transactionIdentifier() const
{
    return zrofield::textKept(record_->transactionId, sizeof record_->transactionId);
}

void ZroKih::setTransactionIdentifier(const char* text)
{
    zrofield::setText(record_->transactionId, sizeof record_->transactionId, text, ' ');
}

ZroStr ZroKih::facilityLike() const
{
    return zrofield::textKept(record_->facilityLike, sizeof record_->facilityLike);
}

void ZroKih::setFacilityLike(const char* text)
{
    zrofield::setText(record_->facilityLike, sizeof record_->facilityLike, text, ' ');
}

ZroStr ZroKih::attentionIdentifier() const
{
    return zrofield::textKept(record_->attentionId, sizeof record_->attentionId);
}

void ZroKih::setAttentionIdentifier(const char* text)
{
    zrofield::setText(record_->attentionId, sizeof record_->attentionId, text, ' ');
}

ZroStr ZroKih::startCode() const
{
    return zrofield::textKept(record_->startCode, sizeof record_->startCode);
}

void ZroKih::setStartCode(const char* text)
{
    zrofield::setText(record_->startCode, sizeof record_->startCode, text, ' ');
}

ZroStr ZroKih::bridgeCancelCode() const
{
    return zrofield::textKept(record_->bridgeCancelCode, sizeof record_->bridgeCancelCode);
}

void ZroKih::setBridgeCancelCode(const char* text)
{
    zrofield::setText(record_->bridgeCancelCode, sizeof record_->bridgeCancelCode, text, ' ');
}

ZroStr ZroKih::function() const
{
    return zrofield::textKept(record_->function, sizeof record_->function);
}

ZroStr ZroKih::bridgeAbendCode() const
{
    return zrofield::textKept(record_->bridgeAbendCode, sizeof record_->bridgeAbendCode);
}

ZroStr ZroKih::nextTransactionIdentifier() const
{
    return zrofield::textKept(record_->nextTransactionId, sizeof record_->nextTransactionId);
}

// ---- Facility token ---------------------------------------------------------

ZroBin ZroKih::facilityToken() const
{
    return zrofield::binary(record_->facilityToken, sizeof record_->facilityToken);
}

unsigned char ZroKih::setFacilityToken(const ZroBin& value)
{
    ZroFrame frame(*this, FN_SET_FACILITY_TOKEN);
    if (!zrofield::setBinary(record_->facilityToken, sizeof record_->facilityToken, value))
        // This text is put together from its pieces and, unlike the
        // library's other texts, ends in a line feed.
        return fail(FN_SET_FACILITY_TOKEN,
                    "ZroKOTABridgeHeader::"
                    "setFacilityToken "
                    "(error): binary data length error"
                    "\n",
                    ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
    return 1;
}

void ZroKih::setFacilityToken(const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(record_->facilityToken, bytes, sizeof record_->facilityToken);
    else
        std::memset(record_->facilityToken, 0, sizeof record_->facilityToken);
}
