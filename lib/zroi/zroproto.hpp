// The item and header protocol, written once for every item class.
//
// Bodies replace a message's data; headers go in front of it. Reading checks
// what stands at the data offset (structure id, encoding 546, format name, in
// that order) and takes the record. Each item class calls these with its own
// record and the facts below; a class shows only what is its own.
#ifndef ZROI_LIB_ZROPROTO_HPP
#define ZROI_LIB_ZROPROTO_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <typeinfo>

#include "zrecs/zrecs.h"
#include "zrobytes.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zromsg.hpp"
#include "zroi/zrostr.hpp"

class ZroErr;
class ZroHdr;
class ZroItm;
class ZroMsg;

/// Two texts joined when the library is compiled: `text` holds `a` then `b`.
/// The failure texts are made so, from the class's long name, and stand in
/// the library as constants; none is put together at run time.
template <std::size_t N, std::size_t M> struct ZroJoined {
    char text[N + M - 1];
};
template <std::size_t N, std::size_t M>
constexpr ZroJoined<N, M> zroJoin(const char (&a)[N], const char (&b)[M])
{
    ZroJoined<N, M> joined{};
    for (std::size_t i = 0; i + 1 < N; ++i) joined.text[i] = a[i];
    for (std::size_t i = 0; i < M; ++i) joined.text[N - 1 + i] = b[i];
    return joined;
}

/// The texts of the checks at the data offset for the class of `longName`:
/// "<longName>::pasteIn (error): wrong structure id", "... wrong message
/// encoding", "... wrong message format".
template <std::size_t N> struct ZroCheckTexts {
    ZroJoined<N, sizeof "::pasteIn (error): wrong structure id"> strucId;
    ZroJoined<N, sizeof "::pasteIn (error): wrong message encoding"> encoding;
    ZroJoined<N, sizeof "::pasteIn (error): wrong message format"> format;
};
template <std::size_t N> constexpr ZroCheckTexts<N> zroCheckTexts(const char (&longName)[N])
{
    return {zroJoin(longName, "::pasteIn (error): wrong structure id"),
            zroJoin(longName, "::pasteIn (error): wrong message encoding"),
            zroJoin(longName, "::pasteIn (error): wrong message format")};
}

/// What identifies an item in a message, and the texts of its checks.
struct ZroItemFacts {
    template <std::size_t N>
    constexpr ZroItemFacts(const char* id, const char* format, const ZroCheckTexts<N>& texts,
                           unsigned number, bool withTrace = false)
        : strucId(id), formatName(format), wrongStrucId(texts.strucId.text),
          wrongEncoding(texts.encoding.text), wrongFormat(texts.format.text), function(number),
          traced(withTrace)
    {
    }

    const char* strucId;       ///< 4 characters, or nullptr for an item without one
    const char* formatName;    ///< 8 characters
    const char* wrongStrucId;  ///< the text of each check that fails
    const char* wrongEncoding; ///<
    const char* wrongFormat;   ///<
    unsigned function;         ///< trace function number of its pasteIn texts
    bool traced;               ///< pasteIn writes entry and exit records under `function`
};

/// The texts of the checks of the class of `LongName`, made when compiling
/// and kept once for every item class that names it.
template <const auto& LongName> struct ZroCheckTextsOf {
    static constexpr auto texts = zroCheckTexts(LongName);
};

/// The facts of an item whose texts name the class `LongName` (a record's
/// ..._LONG_NAME).
template <const auto& LongName>
constexpr ZroItemFacts zroItemFacts(const char* id, const char* format, unsigned function,
                                    bool traced = false)
{
    return ZroItemFacts(id, format, ZroCheckTextsOf<LongName>::texts, function, traced);
}

/// Bytes that a header writes into a message with one write.
struct ZroPiece {
    const void* bytes;
    unsigned length;
};

/// The protocol itself: static operations only, never an object. It derives
/// from the cache for its protected seam and ZroErr's (the cursor and length
/// of a message, the codes and texts of any item), which it uses on the
/// objects it is given; Text below does the same for the string's.
class ZroProtocol : private ZroCac {
    /// ZroStr's seam: the storage of a text, which a header's text is read
    /// into in place.
    struct Text : private ZroStr {
        Text() = delete;
        using ZroStr::storageOf;
    };

public:
    ZroProtocol() = delete;

    /// Body copyOut: clears the message, makes room for `length` bytes, sets
    /// encoding 546, character set 0 and the item's format, writes the bytes.
    /// On failure the item takes the message's codes; result 0.
    static unsigned char replaceData(ZroItm& item, ZroMsg& message, const void* bytes,
                                     unsigned length, const char* formatName);

    /// String body copyOut: replaceData of the characters of `text` (up to
    /// its first NUL among the `storage` bytes it holds), same results and
    /// codes. While nobody listens and the buffer already has room for all
    /// `storage` bytes, the text is measured as it is copied in, so that it is
    /// read once rather than once to measure and once to copy.
    static unsigned char replaceText(ZroItm& item, ZroMsg& message, const char* text,
                                     unsigned storage, const char* formatName);

    /// The checks at the data offset: structure id (when the item has one),
    /// encoding 546, then the format. The first that fails writes
    /// "<longName>::pasteIn (error): wrong ..." and sets 2/6107, 6106 or 6119.
    static unsigned char checkAtDataOffset(ZroItm& item, const ZroMsg& message,
                                           const ZroItemFacts& facts);

    /// Reads `length` bytes at the data offset into `record` and moves the
    /// offset past them; on failure the item takes the message's codes.
    static unsigned char readRecord(ZroItm& item, ZroMsg& message, void* record, unsigned length);

    /// Header copyOut: room for the header and all the message's data is
    /// made first (nothing changes when there is none); then the header takes
    /// the message's description, the message describes the header, and the
    /// record goes in front of the data, which is moved in place: two traced
    /// writes, the record's and then the data's where it lies. The data
    /// offset ends at the end of the message. The three steps below, in order.
    static unsigned char putInFront(ZroHdr& header, ZroMsg& message, const void* record,
                                    unsigned length, const char* formatName, char* own = nullptr);

    // The steps of putInFront, for a header written in several pieces (a
    // record with variable parts: the fixed part, which carries the
    // description the header takes between the room check and the writes,
    // then each part from the string that holds it).

    /// Room at the data offset for `length` header bytes and all of the
    /// message's data. On refusal (the cache's 6113 or 2071; 2071 also when
    /// the sum passes 32 bits) the header takes the message's codes; result
    /// 0 and the message's data and description unchanged.
    /// A buffer that must grow takes the data straight at its place `length`
    /// bytes on, and `moved` becomes true: the message's data then lies
    /// there, not at the start, until placeInFront is told so.
    static unsigned char makeRoomInFront(ZroHdr& header, ZroMsg& message, unsigned length,
                                         bool& moved);
    /// The header takes the message's encoding, character set and format
    /// (through its virtual setters); the message then describes the header:
    /// encoding 546, character set 0, format `formatName` (8 characters).
    /// `own` is the header's description in its record when the setters are
    /// its class's own (see own()): while nobody listens and no pointer check
    /// is installed the fields are then set directly, with the same result.
    static void describeHeader(ZroHdr& header, ZroMsg& message, const char* formatName,
                               char* own = nullptr);
    /// After makeRoomInFront for the pieces' total length: moves all the
    /// message's data up by that length (unless `moved` says the growth put
    /// it there already), writes the pieces in front of it, one write each
    /// and each only if the write before it succeeded, and last writes the
    /// data where it now lies (its checks and trace as a write of it, no
    /// bytes moved again). The data offset ends at the end of the message.
    /// On a refused write the header takes the message's codes and the
    /// message holds what was written before it (result 0).
    static unsigned char placeInFront(ZroHdr& header, ZroMsg& message, const ZroPiece* pieces,
                                      unsigned count, bool moved = false);
    /// What placeInFront leaves while nobody listens and no pointer check is
    /// installed (its writes then have nothing to report and cannot be
    /// refused), for a caller that puts the bytes in place itself: after
    /// makeRoomInFront for `length`, moves all the message's data up by
    /// `length` (unless `moved`) and returns the start of the buffer, where
    /// the caller puts the `length` bytes. The data offset and the message
    /// length end at the end of the data.
    static char* openInFront(ZroMsg& message, unsigned length, bool moved) noexcept;

    /// For a length or offset the message's cache cannot address (beyond 32
    /// bits, or beyond a record's 32-bit signed length field): the message
    /// gets the cache's own "storage not available" text and 2/2071, as its
    /// moreBytes gives for such a length, and `item` takes them; result 0.
    static unsigned char refuseLength(ZroErr& item, ZroMsg& message);

    /// The message takes the header's description of the data behind it; 0
    /// with the format string's codes (2071) when that string gets no storage.
    /// `own` is the header's description in its record when its accessors
    /// are its class's own (see own()): the fields are then read directly,
    /// which gives the same values without a string to allocate.
    static unsigned char describeFollowingData(ZroMsg& message, ZroHdr& header, const char* own);

    /// Every record that describes data holds its encoding, coded character
    /// set and format name as these 16 bytes, in this order.
    static constexpr std::size_t DESCRIPTION = 16;

    /// The description in `record` (its encoding, then character set and
    /// format) when `header` is exactly an H, whose accessors of the three
    /// are the plain fields; nullptr for an object of a class derived from
    /// H, whose accessors may do something else.
    template <class H, class R> static char* own(const H& header, R& record)
    {
        static_assert(offsetof(R, codedCharSetId) == offsetof(R, encoding) + 4 &&
                          offsetof(R, format) == offsetof(R, encoding) + 8 &&
                          sizeof(record.format) == 8,
                      "encoding, character set and format stand together");
        return typeid(header) == typeid(H)
                   ? reinterpret_cast<char*>(&record) + offsetof(R, encoding)
                   : nullptr;
    }

    /// Copies the format name at `name` (8 readable bytes, its text ending at
    /// the first NUL among them) into the 8-character field `field`, blank
    /// padded: what ZroStr::copy(field, 8, name, ' ') stores for such a name.
    static void putFormat(char* field, const char* name) noexcept
    {
        uint64_t word;
        std::memcpy(&word, name, 8);
        // Non-zero exactly when one of the eight bytes is NUL.
        if (((word - 0x0101010101010101u) & ~word & 0x8080808080808080u) == 0) {
            std::memcpy(field, &word, 8);
            return;
        }
        unsigned n = 0;
        for (; name[n] != '\0'; ++n) field[n] = name[n];
        for (; n < 8; ++n) field[n] = ' ';
    }

    /// Header pasteIn of a fixed-length record: checks, read, hand-over.
    static unsigned char takeHeader(ZroHdr& header, ZroMsg& message, void* record, unsigned length,
                                    const ZroItemFacts& facts, const char* own);

    /// The message's description of its data: its encoding, character set
    /// and format, which stand together in the descriptor as in a record.
    static char* descriptionOf(ZroMsg& message) noexcept
    {
        return reinterpret_cast<char*>(&message.descriptor()) + offsetof(ZRMD, encoding);
    }

    /// True when the `n` bytes at `a` and those at `b` share a byte.
    static bool overlap(const void* a, std::size_t na, const void* b, std::size_t nb) noexcept
    {
        const auto x = reinterpret_cast<std::uintptr_t>(a), y = reinterpret_cast<std::uintptr_t>(b);
        return x < y + nb && y < x + na;
    }

    /// ZroStr::set(data, length) of `text` (data given) in its common case,
    /// for a caller that has made sure nobody observes: see
    /// zrobytes::putText.
    static bool setTextInPlace(ZroStr& text, const char* data, unsigned length) noexcept
    {
        return zrobytes::putText(Text::storageOf(text), text.storageSize(), data, length);
    }

    /// The length of `text`, found as length() finds it.
    static unsigned lengthOf(const ZroStr& text) noexcept
    {
        const char* storage = text.dataPointer();
        return storage != nullptr ? zrobytes::findNul(storage, text.storageSize()) : 0;
    }

    /// After a quiet check that the buffer has room for `length` bytes in
    /// front of all the data (see putRecordInFront), the header takes the
    /// message's description from `own` on, the message describes the
    /// header by `formatName`, and the data moves up by `length`: the start
    /// of the buffer, where the caller puts the header, is returned.
    static char* openQuietly(ZroMsg& message, char* own, const char* formatName,
                             unsigned length) noexcept
    {
        char* described = descriptionOf(message);
        std::memcpy(own, described, 8);
        putFormat(own + 8, described + 8);
        const int32_t native[2] = {ZRENC_NATIVE, 0};
        std::memcpy(described, native, sizeof native);
        putFormat(described + 8, formatName);
        const unsigned held = message.messageLength();
        char* buffer = message.bufferPointer();
        if (held != 0) std::memmove(buffer + length, buffer, held);
        endAt(message, held + length);
        return buffer;
    }

    /// True when, with nobody observing, the message's buffer has room for
    /// `length` bytes in front of all its data (putInFront would not grow
    /// it) and the header's `record` of `size` bytes lies outside it.
    static bool roomQuietly(const ZroMsg& message, unsigned length, const void* record,
                            unsigned size) noexcept
    {
        const unsigned bufferLength = message.bufferLength();
        return zrecs_quiet() && bufferLength >= length &&
               message.messageLength() <= bufferLength - length &&
               !overlap(record, size, message.bufferPointer(), bufferLength);
    }

    /// With nobody observing: the data at the data offset, when it holds at
    /// least `length` bytes that start with the item's structure id, the
    /// message's encoding is 546 and its format the item's (the checks of
    /// checkAtDataOffset, all holding); else nullptr.
    static const char* checkedQuietly(const ZroMsg& message, unsigned length,
                                      const ZroItemFacts& facts) noexcept
    {
        if (!zrecs_quiet() || message.bufferLength() == 0 ||
            message.messageLength() - message.dataOffset() < length)
            return nullptr;
        const char* data = message.bufferPointer() + message.dataOffset();
        const ZRMD& descriptor = message.descriptor();
        if (std::memcmp(data, facts.strucId, 4) != 0 || descriptor.encoding != ZRENC_NATIVE ||
            std::memcmp(descriptor.format, facts.formatName, 8) != 0)
            return nullptr;
        return data;
    }

    /// The message takes the description at `own` (a header's, read from
    /// its record), as describeFollowingData does while nobody observes.
    static void describeQuietly(ZroMsg& message, const char* own) noexcept
    {
        char* described = descriptionOf(message);
        std::memcpy(described, own, 8);
        putFormat(described + 8, own + 8);
    }

    /// copyOut of a header whose whole record R is its header: putInFront,
    /// with `own` the record's description when the header's accessors are
    /// its own (see own). The common case is done here, where the record's
    /// size is known: nobody listens and no pointer check is installed, the
    /// buffer has room for header and data, and `own` is not null. Then no
    /// step has anything to report and the bytes and fields end as
    /// putInFront leaves them.
    template <class R>
    static unsigned char putRecordInFront(ZroHdr& header, ZroMsg& message, R& record,
                                          const char* formatName, char* own)
    {
        constexpr unsigned length = sizeof(R);
        if (own != nullptr && roomQuietly(message, length, &record, length)) {
            std::memcpy(openQuietly(message, own, formatName, length), &record, length);
            return 1;
        }
        return putInFront(header, message, &record, length, formatName, own);
    }

    /// pasteIn of a header whose whole record R is its header: takeHeader,
    /// with the common case done here as in putRecordInFront: nobody
    /// observes, `own` is not null, the record is there whole and every
    /// check holds (a check that fails takes takeHeader, which reports it).
    template <class R>
    static unsigned char takeRecord(ZroHdr& header, ZroMsg& message, R& record,
                                    const ZroItemFacts& facts, const char* own)
    {
        constexpr unsigned length = sizeof(R);
        const char* data = own != nullptr ? checkedQuietly(message, length, facts) : nullptr;
        if (data != nullptr &&
            !overlap(&record, length, message.bufferPointer(), message.bufferLength())) {
            std::memcpy(&record, data, length);
            skip(message, length);
            describeQuietly(message, own);
            return 1;
        }
        return takeHeader(header, message, &record, length, facts, own);
    }

    /// Sets `item`'s codes to `source`'s; result 0.
    static unsigned char takeCodes(ZroErr& item, const ZroErr& source);
    /// Sets `item`'s codes.
    static void setCodes(ZroErr& item, int32_t completion, int32_t reason) noexcept;
};

#endif // ZROI_LIB_ZROPROTO_HPP
