// The item and header protocol: how every item class writes itself into a
// message and reads itself back (see zroproto.hpp).
#include "zroproto.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zroframe.hpp"
#include "zroi/zrohdr.hpp"
#include "zroi/zromsg.hpp"

ZROI_IDENT("lib/zroi/zroproto")

namespace {

// The cache's moreBytes, whose words refuseLength gives for a length the
// cache cannot address.
constexpr unsigned FN_MORE_BYTES = 3;

static_assert(offsetof(ZRMD, codedCharSetId) == offsetof(ZRMD, encoding) + 4 &&
                  offsetof(ZRMD, format) == offsetof(ZRMD, encoding) + 8,
              "the descriptor's encoding, character set and format stand together");

// The message now describes an item written by this library: encoding 546,
// character set 0 and `formatName` (8 characters), as setEncoding,
// setCharacterSet and setFormat set them while nobody observes.
void describeNative(ZroMsg& message, const char* formatName) noexcept
{
    char* described = ZroProtocol::descriptionOf(message);
    const int32_t native[2] = {ZRENC_NATIVE, 0};
    std::memcpy(described, native, sizeof native);
    ZroProtocol::putFormat(described + 8, formatName);
}

} // namespace

unsigned char ZroProtocol::takeCodes(ZroErr& item, const ZroErr& source)
{
    setCodesFor(item, source.completionCode(), source.reasonCode());
    return 0;
}

void ZroProtocol::setCodes(ZroErr& item, int32_t completion, int32_t reason) noexcept
{
    setCodesFor(item, completion, reason);
}

unsigned char ZroProtocol::replaceData(ZroItm& item, ZroMsg& message, const void* bytes,
                                       unsigned length, const char* formatName)
{
    message.clearMessage();
    if (!message.moreBytes(length)) return takeCodes(item, message);
    message.setEncoding(ZRENC_NATIVE);
    message.setCharacterSet(0);
    message.setFormat(formatName);
    if (!message.write(length, static_cast<const char*>(bytes))) return takeCodes(item, message);
    return 1;
}

unsigned char ZroProtocol::replaceText(ZroItm& item, ZroMsg& message, const char* text,
                                       unsigned storage, const char* formatName)
{
    // The steps of replaceData have nothing to report on this path: no
    // listener, no growth, and the write's two pointer checks are the
    // default ones, which are asked all the same, after the copy.
    char* buffer = message.bufferPointer();
    const unsigned bufferLength = message.bufferLength();
    if (text == nullptr || !zrecs_quiet() || storage - 1 > bufferLength ||
        overlap(text, storage, buffer, bufferLength)) {
        // The string's own length: up to its NUL, or all of its storage.
        const void* nul = text != nullptr ? std::memchr(text, 0, storage) : nullptr;
        const unsigned length = nul != nullptr
                                    ? static_cast<unsigned>(static_cast<const char*>(nul) - text)
                                    : (text != nullptr ? storage : 0);
        return replaceData(item, message, text, length, formatName);
    }
    message.clearMessage();
    // The text is measured as it is copied: read from memory once.
    const unsigned length = storage > 1 ? zrobytes::copyToNul(buffer, text, storage) : 0;
    describeNative(message, formatName);
    // An empty text writes nothing and asks no check, as write(0, ...) does.
    if (length == 0) return 1;
    if (!checkReadPointerFor(message, text, length) ||
        !checkWritePointerFor(message, buffer, length))
        return takeCodes(item, message);
    endAt(message, length);
    return 1;
}

unsigned char ZroProtocol::checkAtDataOffset(ZroItm& item, const ZroMsg& message,
                                             const ZroItemFacts& facts)
{
    if (facts.strucId != nullptr) {
        // The id found needs no call: structureIdIs writes a text only when
        // it is not there.
        const bool found =
            message.dataLength() >= 4 && std::memcmp(message.dataPointer(), facts.strucId, 4) == 0;
        if (!found && !ZroItm::structureIdIs(facts.strucId, message))
            return failFor(item, facts.function, facts.wrongStrucId, ZRCC_FAILED,
                           ZRRC_STRUC_ID_ERROR);
        if (message.encoding() != ZRENC_NATIVE)
            return failFor(item, facts.function, facts.wrongEncoding, ZRCC_FAILED,
                           ZRRC_ENCODING_ERROR);
    }
    if (std::memcmp(message.descriptor().format, facts.formatName, 8) != 0)
        return failFor(item, facts.function, facts.wrongFormat, ZRCC_FAILED, ZRRC_FORMAT_ERROR);
    return 1;
}

unsigned char ZroProtocol::readRecord(ZroItm& item, ZroMsg& message, void* record, unsigned length)
{
    char* destination = static_cast<char*>(record);
    if (!message.read(length, destination)) return takeCodes(item, message);
    return 1;
}

unsigned char ZroProtocol::describeFollowingData(ZroMsg& message, ZroHdr& header, const char* own)
{
    if (own != nullptr && zrecs_quiet()) {
        // The accessors' values straight from the record; the format's copy
        // has nothing to report.
        char* described = ZroProtocol::descriptionOf(message);
        std::memcpy(described, own, 8);
        putFormat(described + 8, own + 8);
        return 1;
    }
    const auto describe = [&message, &header](const char* format) -> unsigned char {
        message.setEncoding(header.encoding());
        message.setCharacterSet(header.characterSet());
        message.setFormat(format);
        return 1;
    };
    if (own != nullptr) {
        // The class's own format() is the field's text up to a NUL: the
        // field ended by a NUL reads the same.
        char format[9] = {};
        std::memcpy(format, own + 8, 8);
        return describe(format);
    }
    // The format comes back as a string; without storage for it the message
    // could not be told the next format, so the header fails with 2071.
    const ZroStr format = header.format();
    if (format.dataPointer() == nullptr && format.completionCode() != ZRCC_OK)
        return takeCodes(header, format);
    return describe(format.dataPointer());
}

unsigned char ZroProtocol::takeHeader(ZroHdr& header, ZroMsg& message, void* record,
                                      unsigned length, const ZroItemFacts& facts, const char* own)
{
    if (!checkAtDataOffset(header, message, facts)) return 0;
    if (!readRecord(header, message, record, length)) return 0;
    return describeFollowingData(message, header, own);
}

unsigned char ZroProtocol::refuseLength(ZroErr& item, ZroMsg& message)
{
    // The cache's own words for a length it cannot address. Asking the cache
    // itself (moreBytes of the length) would not do: an automatic buffer at
    // offset 0 would try to grow to 4 GiB rather than refuse.
    failFor(message, FN_MORE_BYTES, "ZroCache::moreBytes (error): storage not available",
            ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
    return takeCodes(item, message);
}

unsigned char ZroProtocol::makeRoomInFront(ZroHdr& header, ZroMsg& message, unsigned length,
                                           bool& moved)
{
    // Room for the header and everything the message holds, before anything
    // changes: a user buffer that cannot take both refuses with 6113 and the
    // message keeps its data; a sum that wraps 32 bits is refused with 2071.
    const unsigned held = message.messageLength();
    if (held > UINT32_MAX - length) return refuseLength(header, message);
    const unsigned wanted = held + length - message.dataOffset();
    if (wanted > message.bufferLength() - message.dataOffset()) {
        // The buffer must grow: the new one takes the data straight at its
        // place behind the header, which saves moving it a second time. The
        // growth is the one moreBytes makes (same size, same texts and codes).
        if (!growWithGap(message, wanted, length)) return takeCodes(header, message);
        moved = true;
        return 1;
    }
    if (!message.moreBytes(wanted)) return takeCodes(header, message);
    return 1;
}

void ZroProtocol::describeHeader(ZroHdr& header, ZroMsg& message, const char* formatName, char* own)
{
    if (own != nullptr && zrecs_quiet()) {
        // What the setters below store, without their calls: while nobody
        // observes, the two format copies have nothing to report.
        const char* described = ZroProtocol::descriptionOf(message);
        std::memcpy(own, described, 8);
        putFormat(own + 8, described + 8);
        describeNative(message, formatName);
        return;
    }
    // The header now describes the data that will follow it ...
    char format[9] = {};
    std::memcpy(format, message.descriptor().format, 8);
    header.setEncoding(message.encoding());
    header.setCharacterSet(message.characterSet());
    header.setFormat(format);
    // ... and the message describes the header.
    message.setEncoding(ZRENC_NATIVE);
    message.setCharacterSet(0);
    message.setFormat(formatName);
}

unsigned char ZroProtocol::placeInFront(ZroHdr& header, ZroMsg& message, const ZroPiece* pieces,
                                        unsigned count, bool moved)
{
    // Move the data behind the place of the header; the pieces then go in
    // front of it one write at a time, each only if the one before it
    // succeeded, so that a refused write leaves what was written before it.
    unsigned length = 0;
    for (unsigned i = 0; i < count; ++i) length += pieces[i].length;
    const unsigned held = message.messageLength();
    char* buffer = message.bufferPointer();
    if (held != 0 && !moved) std::memmove(buffer + length, buffer, held);
    message.clearMessage();
    for (unsigned i = 0; i < count; ++i)
        if (!message.write(pieces[i].length, static_cast<const char*>(pieces[i].bytes)))
            return takeCodes(header, message);
    // Last the saved data, which already lies where it belongs: it is written
    // where it stands, a write with its checks and trace but no bytes to
    // move, and it joins the message only if that write succeeds.
    if (!message.write(held, message.dataPointer())) return takeCodes(header, message);
    return 1;
}

char* ZroProtocol::openInFront(ZroMsg& message, unsigned length, bool moved) noexcept
{
    const unsigned held = message.messageLength();
    char* buffer = message.bufferPointer();
    if (held != 0 && !moved) std::memmove(buffer + length, buffer, held);
    endAt(message, length + held);
    return buffer;
}

unsigned char ZroProtocol::putInFront(ZroHdr& header, ZroMsg& message, const void* record,
                                      unsigned length, const char* formatName, char* own)
{
    bool moved = false;
    if (!makeRoomInFront(header, message, length, moved)) return 0;
    describeHeader(header, message, formatName, own);
    if (zrecs_quiet()) {
        // Nobody observes the two writes: the record goes straight in front
        // of the data, where they would leave it.
        std::memcpy(openInFront(message, length, moved), record, length);
        return 1;
    }
    const ZroPiece piece{record, length};
    return placeInFront(header, message, &piece, 1, moved);
}
