// ZroHdr: the base of every message header.
//
// A header stands in front of other data in a message and describes that
// data by a format name, an encoding and a coded character set. Writing a
// header (copyOut) puts it in front of everything the message holds and
// moves the message's description into the header; reading it (pasteIn)
// checks the structure id, the encoding 546 and the format at the data
// offset, takes the record and hands the header's description back to the
// message, so that the message then names the next item.
//
// copyOut checks that the message has room for the header and all its data
// together before anything changes: when there is none (a user buffer too
// small, 6113; no storage or a length past 32 bits, 2071) it fails with the
// message's codes and the message keeps its data and description, the
// header its own. Then it writes the record, and last the data behind it,
// each a traced write (function 9) with its pointer checks; the data is
// moved in place, never copied aside. A refused write (2004) stops there:
// the message describes the header and holds what was written before it
// (nothing when the record's write is refused, the header alone when the
// data's is).
//
// ```cpp
// ZroMsg message;            // holding a string body
// ZroDlh header;
// message.writeItem(header); // header.format() is now "ZRSTR   "
// ```
#ifndef ZROI_ZROHDR_HPP
#define ZROI_ZROHDR_HPP

#include <cstdint>

#include "zroi/zroexport.h"
#include "zroi/zroitm.hpp"
#include "zroi/zrostr.hpp"

class ZROI_API ZroHdr : public ZroItm {
public:
    ZroHdr() noexcept = default;
    ZroHdr(const ZroHdr& other) noexcept = default;
    ~ZroHdr() override;
    void operator=(const ZroHdr& other) noexcept { ZroItm::operator=(other); }

    /// Coded character set of the data that follows the header.
    virtual int32_t characterSet() const = 0;
    /// Encoding of the data that follows the header.
    virtual int32_t encoding() const = 0;
    /// Format name of the data that follows: the 8 stored characters (up to
    /// a NUL), trailing blanks kept.
    virtual ZroStr format() const = 0;
    /// The header's flags.
    virtual int32_t headerFlags() const = 0;
    /// Sets the character set of the data that follows (copyOut sets it from the message).
    virtual void setCharacterSet(int32_t value) = 0;
    /// Sets the encoding of the data that follows (copyOut sets it from the message).
    virtual void setEncoding(int32_t value) = 0;
    /// Sets the 8-character format field: at most 8 characters of `name`,
    /// blank padded, eight blanks for null. A cut is noted only in the
    /// string subsystem's shared copy codes, never in the header.
    virtual void setFormat(const char* name) = 0;
    /// Sets the header's flags.
    virtual void setHeaderFlags(int32_t value) = 0;
};

#endif // ZROI_ZROHDR_HPP
