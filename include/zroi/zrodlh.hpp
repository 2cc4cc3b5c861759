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
    void operator=(const ZroDlh& other) noexcept;

    // copyOut and pasteIn are the frame's: the message describes the header
    // as 546, 0, "ZRDEAD  "; a read moves the data offset on by 172, hands the
    // message the description of the data behind the header, and is traced as
    // function 10.

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
