// ZroRfh: the reference header, record ZRRMH, format "ZRHREF  ".
//
// A reference header names where the data it stands for comes from and goes
// to: a 108-byte fixed part (with a reference type and a 24-byte instance
// identifier) followed by four texts of any length, the source environment,
// source name, destination environment and destination name. copyOut lays
// the four texts out behind the fixed part and puts the whole header in
// front of the message's data; pasteIn reads the texts wherever the received
// record's offsets place them and moves the data offset by its structure
// length.
//
// ```cpp
// ZroMsg message;                       // holding a body
// ZroRfh header;
// header.setReferenceType("FILE");
// header.setSourceName("/in/a.dat");
// message.writeItem(header);            // 117 bytes in front of the body
// message.setDataOffset(0);
// ZroRfh read;
// message.readItem(read);               // read.sourceName() is "/in/a.dat"
// ```
//
// Texts of the failures name the class "ZroReferenceHeader".
#ifndef ZROI_ZRORFH_HPP
#define ZROI_ZRORFH_HPP

#include <cstdint>

#include "zroi/zrobin.hpp"
#include "zroi/zrocac.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zrohdrframe.hpp"
#include "zroi/zrostr.hpp"

class ZroRfh;
extern template class ZROI_API ZroHdrFrame<ZroRfh, ZRRMH>;

class ZROI_API ZroRfh : public ZroHdrFrame<ZroRfh, ZRRMH> {
public:
    /// Structure id "RMH ", version 1, encoding 546, character set 0, format
    /// eight blanks, header flags 1, reference type eight NULs, instance
    /// identifier 24 zero bytes, spare integers and the length and offset
    /// fields 0; the four texts empty; codes 0/0.
    ZroRfh() noexcept;
    /// Copies `other`'s codes, its 108-byte fixed part as it stands and its
    /// four texts. A text that gets no storage is empty and carries 1/2071.
    ZroRfh(const ZroRfh& other);
    ~ZroRfh() override;
    /// As the copy constructor; assigning a header to itself changes nothing.
    void operator=(const ZroRfh& other);

    /// Puts the header in front of all of the message's data. First the length
    /// and offset fields are laid out (texts back to back from byte 108, the
    /// structure length where the last ends; they keep these values whatever
    /// follows). Then the header takes the message's encoding, character set
    /// and format, the message gets 546, 0 and "ZRHREF  ", and the fixed
    /// part, the four texts and the message's data are written one after the
    /// other, each only if the write before it succeeded. 1 on success, data
    /// offset at the end of the message, the header's codes untouched. 0 with
    /// the failure's codes on the header when
    /// - the message's buffer has no room for header and data (the cache's
    ///   6113 or 2071, 2071 also for texts of more than 2 GiB together): the
    ///   message and the header's encoding, character set and format are
    ///   unchanged;
    /// - a pointer check refuses a write (2004): the message describes the
    ///   header and holds what was written before that write.
    unsigned char copyOut(ZroMsg& message) override;

    /// Reads the header at the message's data offset. Checks in order:
    /// structure id "RMH " (6107), encoding 546 (6106), format "ZRHREF  "
    /// (6119), 108 bytes left (6114); all leave the header and the message
    /// as they were. Then the fixed part is taken and each text whose length
    /// is positive is read at its offset if it lies within the data left
    /// (texts with a length of 0 or less keep their values); a text that
    /// does not fit gives 6114 once all have been tried, a text ending past
    /// the structure length 6123. These failures keep the new fixed part and
    /// the texts read. A text that gets no storage or whose bytes may not be
    /// read gives its own codes (2071, 2004). Last the data offset moves on
    /// by the structure length, which may extend the message past its data
    /// as ZroCac::setDataOffset does (0 with the message's 6112 or 2071 if it
    /// cannot, and 2071 past 32 bits); the message then takes the header's
    /// encoding, character set and format. 1 on success, codes untouched.
    /// On every failure the data offset and the message's description stay.
    unsigned char pasteIn(ZroMsg& message) override;

    // ZroHdr's description of the data that follows and the record are
    // the frame's, over the record's fields.

    /// The reference type up to its first NUL, trailing blanks removed.
    ZroStr referenceType() const;
    /// At most 8 characters of `text`, NUL padded; nullptr gives 8 NULs. A cut
    /// is noted only in the string subsystem's shared copy codes.
    void setReferenceType(const char* text);

    /// The instance identifier, a binary field of 24 bytes (see
    /// ZroHdrFrame); the ZroBin setter is untraced and writes its failure
    /// text under function 42.
    ///@{
    ZroBin instanceId() const;
    unsigned char setInstanceId(const ZroBin& value);
    void setInstanceId(const unsigned char* bytes);
    ///@}

    /// Copies of the four texts.
    ZroStr sourceEnvironment() const { return parts_[SourceEnvironment]; }
    ZroStr sourceName() const { return parts_[SourceName]; }
    ZroStr destinationEnvironment() const { return parts_[DestinationEnvironment]; }
    ZroStr destinationName() const { return parts_[DestinationName]; }
    /// Replace a text with a copy of `text` (up to its NUL, of any length);
    /// nullptr gives an empty text. Without storage the text is empty and
    /// carries 1/2071, which its getter's copy shows.
    void setSourceEnvironment(const char* text) { setPart(SourceEnvironment, text); }
    void setSourceName(const char* text) { setPart(SourceName, text); }
    void setDestinationEnvironment(const char* text) { setPart(DestinationEnvironment, text); }
    void setDestinationName(const char* text) { setPart(DestinationName, text); }

private:
    /// The variable parts in the order copyOut writes them.
    enum Part : unsigned {
        SourceEnvironment,
        SourceName,
        DestinationEnvironment,
        DestinationName,
        PartCount
    };

    void setPart(Part part, const char* text);

    ZroStr parts_[PartCount];
};

#endif // ZROI_ZRORFH_HPP
