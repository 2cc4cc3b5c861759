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
#include <typeinfo>

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

/// Bytes that a header writes into a message with one write.
struct ZroPiece {
    const void* bytes;
    unsigned length;
};

class ZroProtocol {
public:
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
                                    unsigned length, const char* formatName);

    // The steps of putInFront, for a header written in several pieces (a
    // record with variable parts: the fixed part, which carries the
    // description the header takes between the room check and the writes,
    // then each part from the string that holds it).

    /// Room at the data offset for `length` header bytes and all of the
    /// message's data. On refusal (the cache's 6113 or 2071; 2071 also when
    /// the sum passes 32 bits) the header takes the message's codes; result
    /// 0 and the message's data and description unchanged.
    /// With `moved` given, a buffer that must grow takes the data straight
    /// at its place `length` bytes on, and *moved becomes true: the message's
    /// data then lies there, not at the start, until placeInFront is told so.
    static unsigned char makeRoomInFront(ZroHdr& header, ZroMsg& message, unsigned length,
                                         bool* moved = nullptr);
    /// The header takes the message's encoding, character set and format
    /// (through its virtual setters); the message then describes the header:
    /// encoding 546, character set 0, format `formatName`.
    static void describeHeader(ZroHdr& header, ZroMsg& message, const char* formatName);
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

    /// For a length or offset the message's cache cannot address (beyond 32
    /// bits, or beyond a record's 32-bit signed length field): the message
    /// gets the cache's own "storage not available" text and 2/2071, as its
    /// moreBytes gives for such a length, and `item` takes them; result 0.
    static unsigned char refuseLength(ZroErr& item, ZroMsg& message);

    /// The message takes the header's description of the data behind it; 0
    /// with the format string's codes (2071) when that string gets no storage.
    /// `ownFormat` is the header's 8-byte format field when its format() is
    /// its class's own (see ownFormat()): the field is then read directly,
    /// which gives the same text without a string to allocate.
    static unsigned char describeFollowingData(ZroMsg& message, ZroHdr& header,
                                               const char* ownFormat);

    /// `field` when `header` is exactly an H, so that its format() is H's
    /// own and returns the field's text; nullptr for an object of a class
    /// derived from H, whose format() may say something else.
    template <class H> static const char* ownFormat(const H& header, const char* field)
    {
        return typeid(header) == typeid(H) ? field : nullptr;
    }

    /// Header pasteIn of a fixed-length record: checks, read, hand-over.
    static unsigned char takeHeader(ZroHdr& header, ZroMsg& message, void* record, unsigned length,
                                    const ZroItemFacts& facts, const char* ownFormat);

    /// Sets `item`'s codes to `source`'s; result 0.
    static unsigned char takeCodes(ZroErr& item, const ZroErr& source);
};

#endif // ZROI_LIB_ZROPROTO_HPP
