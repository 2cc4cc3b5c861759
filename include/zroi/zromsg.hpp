// ZroMsg: a message, its data buffer and its 364-byte descriptor.
//
// A message is a buffer cache (ZroCac) for its data, a tracker (ZroMtr) over
// the identifiers in its descriptor, and the descriptor record ZRMD that
// other libraries of the middleware put and get with it. Items are written
// into the data with writeItem (body first, then each header, innermost
// first) and read back with readItem (outermost header first, body last).
//
// ```cpp
// ZroMsg message;
// ZroStr body("hello");
// ZroDlh header;
// message.writeItem(body);      // data "hello", format "ZRSTR   "
// message.writeItem(header);    // 172-byte header in front, format "ZRDEAD  "
// message.setDataOffset(0);
// message.readItem(header);     // format is "ZRSTR   " again, offset 172
// message.readItem(body);       // "hello"
// ```
//
// The message has one completion and reason code, shared by both sides.
#ifndef ZROI_ZROMSG_HPP
#define ZROI_ZROMSG_HPP

#include <cstdint>
#include <iosfwd>

#include "zroi/zrocac.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zroitm.hpp"
#include "zroi/zromtr.hpp"
#include "zroi/zrostr.hpp"

class ZROI_API ZroMsg : public ZroCac, public ZroMtr {
public:
    /// An empty automatic message with the default descriptor: format eight
    /// blanks, encoding 546, character set 0, version the version supported.
    ZroMsg();
    /// An empty message, then operator=; the descriptor version is `other`'s.
    ZroMsg(const ZroMsg& other);
    ~ZroMsg() override;
    /// Copies data, tracker, descriptor and spare word. The codes become the
    /// most severe of `other`'s and those the two copies raised (for example
    /// 1/6115 when this message's user buffer is too small).
    void operator=(const ZroMsg& other);

    /// Writes `item` into the message (its copyOut) and returns its result;
    /// the message then carries exactly the item's codes, 0/0 included.
    unsigned char writeItem(ZroItm& item);
    /// Reads `item` from the data offset (its pasteIn); codes as writeItem.
    unsigned char readItem(ZroItm& item);

    /// The 8 characters of the format field, blanks kept.
    ZroStr format() const;
    /// 1 when `name` is given and its first 8 characters equal the format.
    unsigned char formatIs(const char* name) const;
    /// Sets the format, blank padded to 8 characters.
    void setFormat(const char* name);

    /// Encoding of the data at the data offset (546, the native one, by default).
    int32_t encoding() const noexcept { return descriptor_.encoding; }
    /// Stores the encoding; a header's pasteIn accepts only 546.
    void setEncoding(int32_t value) noexcept { descriptor_.encoding = value; }
    /// Coded character set of the data at the data offset (0 by default).
    int32_t characterSet() const noexcept { return descriptor_.codedCharSetId; }
    /// Stores the coded character set.
    void setCharacterSet(int32_t value) noexcept { descriptor_.codedCharSetId = value; }

    /// @name Text fields
    /// Getters return the text up to the first NUL with trailing blanks removed; setters copy at
    /// most the field width, NUL padded, and cut longer texts silently (the message's codes are not
    /// touched).
    ///@{
    ZroStr applicationIdData() const;
    ZroStr applicationOriginData() const;
    ZroStr putApplicationName() const;
    ZroStr putDate() const;
    ZroStr putTime() const;
    ZroStr replyToQueueManagerName() const;
    ZroStr replyToQueueName() const;
    ZroStr userId() const;
    void setApplicationIdData(const char* text);
    void setApplicationOriginData(const char* text);
    void setPutApplicationName(const char* text);
    void setPutDate(const char* text);
    void setPutTime(const char* text);
    void setReplyToQueueManagerName(const char* text);
    void setReplyToQueueName(const char* text);
    void setUserId(const char* text);
    ///@}

    /// @name Descriptor words this library carries but does not interpret
    /// They are for the libraries that put and get messages; each getter notes its default.
    ///@{
    int32_t version() const noexcept { return descriptor_.version; }
    int32_t report() const noexcept { return descriptor_.report; } ///< default 0
    void setReport(int32_t value) noexcept { descriptor_.report = value; }
    int32_t messageType() const noexcept { return descriptor_.messageType; } ///< default 8
    void setMessageType(int32_t value) noexcept { descriptor_.messageType = value; }
    int32_t expiry() const noexcept { return descriptor_.expiry; } ///< default -1
    void setExpiry(int32_t value) noexcept { descriptor_.expiry = value; }
    int32_t priority() const noexcept { return descriptor_.priority; } ///< default -1
    void setPriority(int32_t value) noexcept { descriptor_.priority = value; }
    int32_t persistence() const noexcept { return descriptor_.persistence; } ///< default 2
    void setPersistence(int32_t value) noexcept { descriptor_.persistence = value; }
    int32_t backoutCount() const noexcept { return descriptor_.backoutCount; } ///< default 0
    void setBackoutCount(int32_t value) noexcept { descriptor_.backoutCount = value; }
    int32_t putApplicationType() const noexcept { return descriptor_.putApplType; } ///< default 0
    void setPutApplicationType(int32_t value) noexcept { descriptor_.putApplType = value; }
    int32_t sequenceNumber() const noexcept { return descriptor_.sequenceNumber; } ///< default 1
    void setSequenceNumber(int32_t value) noexcept { descriptor_.sequenceNumber = value; }
    int32_t segmentOffset() const noexcept { return descriptor_.segmentOffset; } ///< default 0
    void setSegmentOffset(int32_t value) noexcept { descriptor_.segmentOffset = value; }
    int32_t messageFlags() const noexcept { return descriptor_.messageFlags; } ///< default 0
    void setMessageFlags(int32_t value) noexcept { descriptor_.messageFlags = value; }
    int32_t originalLength() const noexcept { return descriptor_.originalLength; } ///< default -1
    void setOriginalLength(int32_t value) noexcept { descriptor_.originalLength = value; }
    ///@}

    /// The descriptor as it travels with the message.
    const ZRMD& descriptor() const noexcept { return descriptor_; }
    /// Writable descriptor, for the libraries that get messages into it.
    ZRMD& descriptor() noexcept { return descriptor_; }

    /// A word of the message that travels with copies and is not used here.
    uint32_t spareWord() const noexcept { return spare_; }
    void setSpareWord(uint32_t value) noexcept { spare_ = value; }

    /// The version new messages take (2 unless changed).
    static int32_t versionSupported() noexcept;

protected:
    /// Sets the version that messages constructed from now on take.
    static void setVersionSupported(int32_t version) noexcept;

private:
    void bindTracker() noexcept;

    ZRMD descriptor_;
    uint32_t spare_ = 0;
};

/// Writes what describes the message's data, for diagnostics in C++ code:
/// `format "ZRSTR   ", encoding 546, character set 0, data offset 0 of 7`
/// (the message length). Bytes of the format outside printable ASCII, and
/// a quote or backslash, are written as \xHH. Reads the descriptor only;
/// the message is not changed.
ZROI_API std::ostream& operator<<(std::ostream& out, const ZroMsg& message);

#endif // ZROI_ZROMSG_HPP
