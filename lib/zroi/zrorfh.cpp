// ZroRfh: the reference header, a fixed part and four variable-length texts.
#include "zroi/zrorfh.hpp"

#include <cstring>
#include <utility>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"
#include "zroparts.hpp"

ZROI_IDENT("lib/zroi/zrorfh")

namespace {

constexpr unsigned FN_PASTE_IN = 41;
constexpr unsigned FN_SET_INSTANCE_ID = 42;

constexpr auto kTexts = zroCheckTexts(ZRRMH_LONG_NAME);
constexpr ZroItemFacts kFacts{ZRRMH_STRUC_ID, ZRFMT_REFERENCE_HEADER, kTexts, FN_PASTE_IN};

constexpr unsigned kFixed = ZRRMH_FIXED_LENGTH;

// The length and offset fields of each part, in the order of ZroRfh::Part.
struct PartFields {
    int32_t ZRRMH::*length;
    int32_t ZRRMH::*offset;
};
constexpr PartFields kPartFields[] = {
    {&ZRRMH::sourceEnvironmentLength, &ZRRMH::sourceEnvironmentOffset},
    {&ZRRMH::sourceNameLength, &ZRRMH::sourceNameOffset},
    {&ZRRMH::destinationEnvironmentLength, &ZRRMH::destinationEnvironmentOffset},
    {&ZRRMH::destinationNameLength, &ZRRMH::destinationNameOffset},
};
constexpr unsigned kPartCount = sizeof kPartFields / sizeof kPartFields[0];

constexpr ZRRMH makeDefaultRecord()
{
    ZRRMH r{};
    for (unsigned i = 0; i < 4; ++i) r.strucId[i] = ZRRMH_STRUC_ID[i];
    r.version = ZRRMH_VERSION_1;
    r.encoding = ZRENC_NATIVE;
    for (char& c : r.format) c = ' ';
    r.headerFlags = 1;
    return r;
}

constexpr ZRRMH kDefaultRecord = makeDefaultRecord();

} // namespace

ZROI_HEADER_FRAME(ZroRfh, ZRRMH, kFacts);

ZroRfh::ZroRfh() noexcept : ZroHdrFrame(kDefaultRecord)
{
    static_assert(PartCount == kPartCount, "one pair of fields per part");
}

ZroRfh::ZroRfh(const ZroRfh& other) : ZroHdrFrame(other)
{
    for (unsigned i = 0; i < PartCount; ++i) parts_[i] = ZroStr(other.parts_[i].dataPointer());
}

ZROFIELD_TEXT(ZroRfh, referenceType, setReferenceType)
ZROFIELD_BINARY(ZroRfh, instanceId, setInstanceId, instanceId, FN_SET_INSTANCE_ID, false,
                "ZroReferenceHeader::setInstanceId (error): binary data length error")

ZroRfh::~ZroRfh() = default;

void ZroRfh::operator=(const ZroRfh& other)
{
    if (&other == this) return;
    ZroHdrFrame::operator=(other);
    for (unsigned i = 0; i < PartCount; ++i) parts_[i] = ZroStr(other.parts_[i].dataPointer());
}

void ZroRfh::setPart(Part part, const char* text) { parts_[part] = ZroStr(text); }

unsigned char ZroRfh::copyOut(ZroMsg& message)
{
    // Lay the texts out back to back behind the fixed part. The fields keep
    // these values whatever happens to the write.
    unsigned lengths[kPartCount];
    int32_t offsets[kPartCount];
    int32_t total = 0;
    for (unsigned i = 0; i < kPartCount; ++i) lengths[i] = parts_[i].length();
    if (!zroparts::layOut(lengths, kPartCount, kFixed, offsets, total))
        return ZroProtocol::refuseLength(*this, message);
    for (unsigned i = 0; i < kPartCount; ++i) {
        mutableRecord().*kPartFields[i].length = static_cast<int32_t>(lengths[i]);
        mutableRecord().*kPartFields[i].offset = offsets[i];
    }
    mutableRecord().strucLength = total;
    const unsigned size = static_cast<unsigned>(total);

    bool moved = false;
    if (!ZroProtocol::makeRoomInFront(*this, message, size, &moved)) return 0;
    // The fixed part carries the description the header takes now; each text
    // is then written straight from its string.
    ZroProtocol::describeHeader(*this, message, ZRFMT_REFERENCE_HEADER);
    ZroPiece pieces[1 + kPartCount] = {{&record(), kFixed}};
    for (unsigned i = 0; i < kPartCount; ++i) pieces[1 + i] = {parts_[i].dataPointer(), lengths[i]};
    return ZroProtocol::placeInFront(*this, message, pieces, 1 + kPartCount, moved);
}

unsigned char ZroRfh::pasteIn(ZroMsg& message)
{
    if (!ZroProtocol::checkAtDataOffset(*this, message, kFacts)) return 0;
    const unsigned available = message.dataLength();
    if (available < kFixed)
        return fail(FN_PASTE_IN, "ZroReferenceHeader::pasteIn (error): insufficient data",
                    ZRCC_FAILED, ZRRC_INSUFFICIENT_DATA);

    // From here on the fixed part and each text that fits are replaced even
    // when a later check fails; the message's data offset and description
    // change only on success.
    const char* data = message.dataPointer();
    std::memcpy(&mutableRecord(), data, kFixed);

    // Each text is read where its own offset puts it, so parts in another
    // order, with gaps or overlapping the fixed part are taken as they stand.
    // A text that is taken replaces the string, codes 0 and all; one that
    // cannot be (no storage, or its bytes refused by the pointer check)
    // leaves the string as it was, which set() does for its text and storage
    // (storage of the size wanted is reused, so reading the same texts again
    // allocates nothing), and which the codes saved here do for its codes.
    int64_t furthest = kFixed;
    bool outside = false;
    ZroErr unmade; // the codes of the first text that could not be taken
    for (unsigned i = 0; i < kPartCount; ++i) {
        const int32_t length = mutableRecord().*kPartFields[i].length;
        const int32_t offset = mutableRecord().*kPartFields[i].offset;
        if (length <= 0) continue; // absent: the text keeps its value
        if (!zroparts::fits(offset, length, available)) {
            outside = true;
            continue;
        }
        ZroStr& part = parts_[i];
        const ZroErr before = part;
        if (!part.set(data + offset, static_cast<unsigned>(length))) {
            if (unmade.completionCode() == ZRCC_OK) ZroProtocol::takeCodes(unmade, part);
            ZroProtocol::takeCodes(part, before);
            continue;
        }
        part.clearErrorCodes();
        const int64_t end = static_cast<int64_t>(offset) + length;
        if (end > furthest) furthest = end;
    }
    // A text that could not be taken is reported first, with its own codes:
    // the record may be sound, and the caller learns why a text it was sent
    // is missing.
    if (unmade.completionCode() != ZRCC_OK) return ZroProtocol::takeCodes(*this, unmade);
    if (outside)
        return fail(FN_PASTE_IN, "ZroReferenceHeader::pasteIn (error): insufficient data",
                    ZRCC_FAILED, ZRRC_INSUFFICIENT_DATA);
    if (furthest > mutableRecord().strucLength)
        return fail(FN_PASTE_IN, "ZroReferenceHeader::pasteIn (error): structure length error",
                    ZRCC_FAILED, ZRRC_STRUC_LENGTH_ERROR);

    // The data offset moves by the structure length, not by the furthest
    // end: bytes between the two are skipped. The structure length is at
    // least 108 here; with the offset it may still pass 32 bits.
    const uint64_t next =
        uint64_t{message.dataOffset()} + static_cast<uint32_t>(mutableRecord().strucLength);
    if (next > UINT32_MAX) return ZroProtocol::refuseLength(*this, message);
    if (!message.setDataOffset(static_cast<unsigned>(next)))
        return ZroProtocol::takeCodes(*this, message);
    return ZroProtocol::describeFollowingData(message, *this, ownFormat());
}
