// ZroRih: the RPX bridge header.
//
// An 84-byte header (structure id "RIH ", format name "ZRRPX   ") in front of
// the data exchanged with the RPX transaction-manager bridge: a logical
// terminal override, a message format services map name, a reply-to format,
// an authenticator and a 16-byte transaction instance identifier. The class
// stores and returns them; it gives them no meaning beyond their defaults.
//
// ```cpp
// ZroMsg message;                         // holding a body
// ZroRih header;
// header.setLogicalTerminalOverride("LTERM01");
// header.setReplyToFormat("ZRSTR");       // stored blank padded
// message.writeItem(header);              // in front of the message's data
// message.setDataOffset(0);               // as a receiver finds it
// message.readItem(header);               // at the data offset; the message
//                                         // then describes the data behind it
// ```
#ifndef ZROI_ZRORIH_HPP
#define ZROI_ZRORIH_HPP

#include <cstdint>

#include "zroi/zrobin.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zrohdrframe.hpp"
#include "zroi/zrostr.hpp"

class ZroRih;
extern template class ZROI_API ZroHdrFrame<ZroRih, ZRRIH>;

class ZROI_API ZroRih : public ZroHdrFrame<ZroRih, ZRRIH> {
public:
    /// Structure id "RIH ", version 1, structure length 84, encoding 546,
    /// character set 0, header flags 0, every character field eight blanks,
    /// transaction instance id 16 zero bytes, spare characters " 0C ";
    /// codes 0/0.
    ZroRih() noexcept;
    ZroRih(const ZroRih& other) noexcept = default;
    ~ZroRih() override;
    void operator=(const ZroRih& other) noexcept;

    // copyOut and pasteIn are the frame's: the message describes the header
    // as 546, 0, "ZRRPX   "; a read moves the data offset on by 84 and is
    // traced as function 65.

    // ZroHdr's description of the data that follows and the record are
    // the frame's, over the record's fields.

    // Character fields of 8 characters. Setters copy at most 8 characters
    // and fill the rest with the field's pad character (a null text fills
    // the whole field with it); a cut goes to the string subsystem's shared
    // copy codes, not to the header. Getters end the text at the first NUL.

    /// Trailing blanks removed. Setter pads with NUL.
    ZroStr logicalTerminalOverride() const;
    void setLogicalTerminalOverride(const char* text);
    /// Trailing blanks removed. Setter pads with NUL.
    ZroStr messageFormatServicesMapName() const;
    void setMessageFormatServicesMapName(const char* text);
    /// Trailing blanks kept. Setter pads with blanks.
    ZroStr replyToFormat() const;
    void setReplyToFormat(const char* name);
    /// Trailing blanks kept. Setter pads with NUL.
    ZroStr authenticator() const;
    void setAuthenticator(const char* text);

    /// The transaction instance id, a binary field of 16 bytes (see
    /// ZroHdrFrame); the ZroBin setter is traced as function 66.
    ///@{
    ZroBin transactionInstanceId() const;
    unsigned char setTransactionInstanceId(const ZroBin& value);
    void setTransactionInstanceId(const unsigned char* bytes);
    ///@}
};

#endif // ZROI_ZRORIH_HPP
