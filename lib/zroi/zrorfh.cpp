// ZroRfh: the reference header, a fixed part and four variable-length texts.
#include "zroi/zrorfh.hpp"

#include <cstring>
#include <utility>

#include "zrobytes.hpp"
#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"
#include "zroparts.hpp"

ZROI_IDENT("lib/zroi/zrorfh")

namespace {

constexpr unsigned FN_PASTE_IN = 41;
constexpr unsigned FN_SET_INSTANCE_ID = 42;

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

/// The reference type and instance identifier, the spare integers and the
/// length and offset fields are 0.
constexpr ZRRMH makeDefaultRecord()
{
    ZRRMH record = zrohdrframe::startRecord<ZRRMH>(ZRRMH_STRUC_ID, ZRRMH_VERSION_1);
    record.headerFlags = 1;
    return record;
}

constexpr ZRRMH kDefaultRecord = makeDefaultRecord();

} // namespace

ZROI_HEADER_FRAME(ZroRfh, ZRRMH, ZRFMT_REFERENCE_HEADER, FN_PASTE_IN, false);

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
    for (unsigned i = 0; i < kPartCount; ++i) lengths[i] = ZroProtocol::lengthOf(parts_[i]);
    if (!zroparts::layOut(lengths, kPartCount, kFixed, offsets, total))
        return ZroProtocol::refuseLength(*this, message);
    for (unsigned i = 0; i < kPartCount; ++i) {
        mutableRecord().*kPartFields[i].length = static_cast<int32_t>(lengths[i]);
        mutableRecord().*kPartFields[i].offset = offsets[i];
    }
    mutableRecord().strucLength = total;
    const unsigned size = static_cast<unsigned>(total);

    char* own = ownDescription();
    if (own != nullptr && ZroProtocol::roomQuietly(message, size, &record(), kFixed)) {
        // Nobody observes and the buffer has room: the header is put together
        // straight in front of the data, as the steps below would leave it.
        char* to = ZroProtocol::openQuietly(message, own, ZRFMT_REFERENCE_HEADER, size);
        std::memcpy(to, &record(), kFixed);
        for (unsigned i = 0; i < kPartCount; ++i)
            if (lengths[i] != 0)
                zrobytes::move(to + offsets[i], parts_[i].dataPointer(), lengths[i]);
        return 1;
    }

    bool moved = false;
    if (!ZroProtocol::makeRoomInFront(*this, message, size, moved)) return 0;
    ZroProtocol::describeHeader(*this, message, ZRFMT_REFERENCE_HEADER, own);
    if (zrecs_quiet()) {
        // Nobody observes the writes: the header is put together straight in
        // front of the data, as they would leave it.
        char* to = ZroProtocol::openInFront(message, size, moved);
        std::memcpy(to, &record(), kFixed);
        for (unsigned i = 0; i < kPartCount; ++i)
            if (lengths[i] != 0) std::memcpy(to + offsets[i], parts_[i].dataPointer(), lengths[i]);
        return 1;
    }
    // The fixed part carries the description the header takes now; each text
    // is then written straight from its string.
    ZroPiece pieces[1 + kPartCount] = {{&record(), kFixed}};
    for (unsigned i = 0; i < kPartCount; ++i) pieces[1 + i] = {parts_[i].dataPointer(), lengths[i]};
    return ZroProtocol::placeInFront(*this, message, pieces, 1 + kPartCount, moved);
}

unsigned char ZroRfh::pasteIn(ZroMsg& message)
{
    // With nobody observing and every check holding the checks need no call.
    if (ZroProtocol::checkedQuietly(message, kFixed, facts()) == nullptr) {
        if (!ZroProtocol::checkAtDataOffset(*this, message, facts())) return 0;
        if (message.dataLength() < kFixed)
            return fail(FN_PASTE_IN, "ZroReferenceHeader::pasteIn (error): insufficient data",
                        ZRCC_FAILED, ZRRC_INSUFFICIENT_DATA);
    }
    const unsigned available = message.dataLength();

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
    int32_t unmade[2] = {ZRCC_OK, 0}; // the codes of the first text that could not be taken
    const bool quiet = zrecs_quiet();
#pragma GCC unroll 4 // the parts named at compile time: their fields are constants
    for (unsigned i = 0; i < kPartCount; ++i) {
        const int32_t length = mutableRecord().*kPartFields[i].length;
        const int32_t offset = mutableRecord().*kPartFields[i].offset;
        if (length <= 0) continue; // absent: the text keeps its value
        if (!zroparts::fits(offset, length, available)) {
            outside = true;
            continue;
        }
        ZroStr& part = parts_[i];
        const int64_t end = static_cast<int64_t>(offset) + length;
        if (quiet &&
            ZroProtocol::setTextInPlace(part, data + offset, static_cast<unsigned>(length))) {
            // The same as set() with nothing to report: taken, codes 0.
            part.clearErrorCodes();
            if (end > furthest) furthest = end;
            continue;
        }
        const int32_t before[2] = {part.completionCode(), part.reasonCode()};
        if (!part.set(data + offset, static_cast<unsigned>(length))) {
            if (unmade[0] == ZRCC_OK) {
                unmade[0] = part.completionCode();
                unmade[1] = part.reasonCode();
            }
            ZroProtocol::setCodes(part, before[0], before[1]);
            continue;
        }
        part.clearErrorCodes();
        if (end > furthest) furthest = end;
    }
    // A text that could not be taken is reported first, with its own codes:
    // the record may be sound, and the caller learns why a text it was sent
    // is missing.
    if (unmade[0] != ZRCC_OK) {
        ZroProtocol::setCodes(*this, unmade[0], unmade[1]);
        return 0;
    }
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
    const char* own = ownDescription();
    if (own != nullptr && zrecs_quiet()) {
        ZroProtocol::describeQuietly(message, own);
        return 1;
    }
    return ZroProtocol::describeFollowingData(message, *this, own);
}
