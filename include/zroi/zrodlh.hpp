// ZroDlh: the dead-letter header.
//
// A 172-byte header (structure id "DLH ", format name "ZRDEAD  ") that names
// where a message was going, its destination queue and queue manager, and
// which application put it when. It stands in front of the message's data,
// which it describes by format, encoding and coded character set. Its header
// flags belong to the object only: they are not part of the record and never
// travel with a message.
//
// ```cpp
// ZroMsg message;
// ZroStr body("payload");
// message.writeItem(body);
// ZroDlh header;
// header.setDestinationQueueName("Q.TARGET");
// message.writeItem(header);   // "DLH " record, then "payload"; format "ZRDEAD  "
// message.setDataOffset(0);
// ZroDlh read;
// message.readItem(read);      // read.destinationQueueName() is "Q.TARGET",
//                              // the message's format "ZRSTR   " again
// ```
#ifndef ZROI_ZRODLH_HPP
#define ZROI_ZRODLH_HPP

#include <cstdint>

#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zrohdrframe.hpp"
#include "zroi/zrostr.hpp"

class ZroDlh;
extern template class ZROI_API ZroHdrFrame<ZroDlh, ZRDLH>;

class ZROI_API ZroDlh : public ZroHdrFrame<ZroDlh, ZRDLH> {
public:
    /// Structure id "DLH ", version 1, spare integers 0, encoding 546,
    /// character set 0, format eight blanks, names, put date and put time
    /// empty (all NUL); header flags 0; codes 0/0.
    ZroDlh() noexcept;
    /// Copies `other`'s codes, its 172 bytes of record, then its header flags
    /// (through setHeaderFlags).
    ZroDlh(const ZroDlh& other) noexcept;
    ~ZroDlh() override;
    /// As the copy constructor; assigning an object to itself changes nothing.
    void operator=(const ZroDlh& other) noexcept;

    /// Puts the record in front of all the data the message holds. The header
    /// first takes the message's encoding, character set and format; the
    /// message then describes the header (546, 0, "ZRDEAD  "). Result 1 with
    /// the data offset at the end of the message; the header's codes stay.
    /// Result 0 with the message's codes (2/6113 when a user buffer cannot
    /// hold header and data, 2/2071 when no storage is left): header and
    /// message are then as they were. A pointer check refusing the record's
    /// write (2/2004) leaves the message cleared, refusing the data's leaves
    /// the header alone in it; either way the message describes the header
    /// and the header keeps the description it took.
    using ZroHdrFrame::copyOut;
    /// Reads the record at the message's data offset. Result 1: the data
    /// offset has moved on by 172 and the message takes the header's
    /// encoding, character set and format (those of the data behind it).
    /// Result 0 with 2/6107 (no "DLH " at the data offset, or fewer than 4
    /// bytes), 2/6106 (message encoding not 546), 2/6119 (message format not
    /// "ZRDEAD  "), or the message's 2/6114 (fewer than 172 bytes): record,
    /// data offset and message description are then unchanged. Traced as
    /// function 10.
    using ZroHdrFrame::pasteIn;

    /// The object's header flags, which are not part of the record (the
    /// rest of ZroHdr's accessors are the frame's, over the record).
    ///@{
    int32_t headerFlags() const override { return headerFlags_; }
    void setHeaderFlags(int32_t value) override { headerFlags_ = value; }
    ///@}

    // Text fields. Getters return the text up to the first NUL with trailing
    // blanks removed (leading blanks stay). Setters copy at most the field's
    // width and fill the rest with NUL (a null text empties the field); a cut
    // goes to the string subsystem's shared copy codes, not to the header.

    /// 48 characters.
    ZroStr destinationQueueName() const;
    void setDestinationQueueName(const char* name);
    /// 48 characters.
    ZroStr destinationQueueManagerName() const;
    void setDestinationQueueManagerName(const char* name);
    /// 28 characters.
    ZroStr putApplicationName() const;
    void setPutApplicationName(const char* name);
    /// 8 characters.
    ZroStr putDate() const;
    void setPutDate(const char* date);
    /// 8 characters.
    ZroStr putTime() const;
    void setPutTime(const char* time);

private:
    int32_t headerFlags_ = 0;
};

#endif // ZROI_ZRODLH_HPP
