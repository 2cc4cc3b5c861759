// ZroWih: the work information header.
//
// A 120-byte header (structure id "WIH ", format name "ZRHWIH  ") that names
// the service and service step a message is for and carries a 16-byte
// message token, in front of the message's data, which it describes by
// format, encoding and coded character set.
//
// ```cpp
// ZroMsg message;                        // holding a body
// ZroWih header;
// header.setServiceName("ORDERS");       // stored blank padded to 32
// header.setServiceStep("STEP1");
// message.writeItem(header);             // in front of the message's data
// message.setDataOffset(0);              // as a receiver finds it
// message.readItem(header);              // at the data offset; the message
//                                        // then describes the data behind it
// ```
#ifndef ZROI_ZROWIH_HPP
#define ZROI_ZROWIH_HPP

#include <cstdint>

#include "zroi/zrobin.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zrohdrframe.hpp"
#include "zroi/zrostr.hpp"

class ZroWih;
extern template class ZROI_API ZroHdrFrame<ZroWih, ZRWIH>;

class ZROI_API ZroWih : public ZroHdrFrame<ZroWih, ZRWIH> {
public:
    /// Structure id "WIH ", version 1, structure length 120, encoding 546,
    /// character set 0, format eight blanks, header flags 0, service name 32
    /// blanks, service step eight blanks, message token and spare bytes all
    /// zero; codes 0/0.
    ZroWih() noexcept;
    ZroWih(const ZroWih& other) noexcept = default;
    ~ZroWih() override;
    void operator=(const ZroWih& other) noexcept;

    // copyOut and pasteIn are the frame's: the message describes the header
    // as 546, 0, "ZRHWIH  "; a read moves the data offset on by 120 whatever
    // the structure length says, and is not traced (texts under function 77).

    // ZroHdr's description of the data that follows and the record are
    // the frame's, over the record's fields.

    // Service name and step: getters return the stored characters up to a
    // NUL with trailing blanks kept; setters copy at most the field's width,
    // blank padded (a null text gives all blanks); a cut goes to the string
    // subsystem's shared copy codes, not to the header.

    /// 32 characters.
    ZroStr serviceName() const;
    void setServiceName(const char* name);
    /// 8 characters.
    ZroStr serviceStep() const;
    void setServiceStep(const char* step);

    /// The message token, a binary field of 16 bytes (see ZroHdrFrame); the
    /// ZroBin setter is untraced and writes its failure text under function
    /// 78.
    ///@{
    ZroBin messageToken() const;
    unsigned char setMessageToken(const ZroBin& value);
    void setMessageToken(const unsigned char* bytes);
    ///@}
};

#endif // ZROI_ZROWIH_HPP
