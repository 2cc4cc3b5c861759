// The item and header protocol, written once for every item class.
//
// Bodies replace a message's data; headers go in front of it. Reading checks
// what stands at the data offset (structure id, encoding 546, format name, in
// that order) and takes the record. Each item class calls these with its own
// record and the facts below; a class shows only what is its own.
#ifndef ZROI_LIB_ZROPROTO_HPP
#define ZROI_LIB_ZROPROTO_HPP

#include <cstdint>

class ZroErr;
class ZroHdr;
class ZroItm;
class ZroMsg;

/// What identifies an item in a message, and how it names itself in texts.
struct ZroItemFacts {
    const char* strucId;    ///< 4 characters, or nullptr for an item without one
    const char* formatName; ///< 8 characters
    const char* longName;   ///< the class name in diagnostic texts
    unsigned function;      ///< trace function number of its pasteIn texts
};

class ZroProtocol {
public:
    /// Body copyOut: clears the message, makes room for `length` bytes, sets
    /// encoding 546, character set 0 and the item's format, writes the bytes.
    /// On failure the item takes the message's codes; result 0.
    static unsigned char replaceData(ZroItm& item, ZroMsg& message, const void* bytes,
                                     unsigned length, const char* formatName);

    /// The checks at the data offset: structure id (when the item has one),
    /// encoding 546, then the format. The first that fails writes
    /// "<longName>::pasteIn (error): wrong ..." and sets 2/6107, 6106 or 6119.
    static unsigned char checkAtDataOffset(ZroItm& item, const ZroMsg& message,
                                           const ZroItemFacts& facts);

    /// Reads `length` bytes at the data offset into `record` and moves the
    /// offset past them; on failure the item takes the message's codes.
    static unsigned char readRecord(ZroItm& item, ZroMsg& message, void* record, unsigned length);

    /// Header copyOut: room for the header and all the message's data is
    /// made first and the record and buffer are checked (nothing changes when
    /// there is no room or a check refuses); then the header takes the
    /// message's description, the message describes the header, and the
    /// record goes in front of the data, which is moved in place. The data
    /// offset ends at the end of the message.
    static unsigned char putInFront(ZroHdr& header, ZroMsg& message, const void* record,
                                    unsigned length, const char* formatName);

    /// The message takes the header's description of the data behind it.
    static void describeFollowingData(ZroMsg& message, const ZroHdr& header);

    /// Header pasteIn of a fixed-length record: checks, read, hand-over.
    static unsigned char takeHeader(ZroHdr& header, ZroMsg& message, void* record, unsigned length,
                                    const ZroItemFacts& facts);

    /// Sets `item`'s codes to `source`'s; result 0.
    static unsigned char takeCodes(ZroErr& item, const ZroErr& source);

    /// Writes "<longName><what>" under `function` and sets 2/`reason`; result 0.
    static unsigned char failItem(ZroErr& item, const char* longName, const char* what,
                                  unsigned function, int32_t reason);
};

#endif // ZROI_LIB_ZROPROTO_HPP
