// ZroKih: the KOTA bridge header (record ZRKIH, structure id "KIH ",
// format "ZRKOTA  ").
//
// The header stands in front of the data exchanged with the KOTA
// transaction-server bridge and carries the bridge's codes, UOW control,
// wait interval, link type, facility token, transaction and function ids.
// It exists in two versions: version 1 is the first 164 bytes of the record,
// version 2 all 180. The object's version decides how much copyOut writes
// and how much pasteIn reads; to read a version-1 header, set version 1
// first.
//
// ```cpp
// ZroMsg message;
// ZroStr body("data for the transaction");
// ZroKih header;
// header.setTransactionIdentifier("TRN1");
// message.writeItem(body);
// message.writeItem(header);   // 180 bytes in front, format "ZRKOTA  "
// message.setDataOffset(0);
// ZroKih received;
// message.readItem(received);  // format "ZRSTR   " again, offset 180
// ```
//
// The record lives in storage of its own, obtained with new by every
// constructor (std::bad_alloc passes through) and released by the
// destructor; copies copy its bytes. Character fields are blank-filled and
// their getters keep trailing blanks.
#ifndef ZROI_ZROKIH_HPP
#define ZROI_ZROKIH_HPP

#include <cstdint>

#include "zroi/zrobin.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zrohdrframe.hpp"
#include "zroi/zrostr.hpp"

class ZroKih;
/// The KOTA bridge header keeps its record in storage of its own.
template <> struct ZroRecordStore<ZRKIH> {
    using type = ZroRecordOwned<ZRKIH>;
};
extern template class ZROI_API ZroHdrFrame<ZroKih, ZRKIH>;

class ZROI_API ZroKih : public ZroHdrFrame<ZroKih, ZRKIH> {
public:
    /// A version-2 header with the defaults of the record: UOW control 273,
    /// get wait interval -2, link type 1, output data length -1, structure
    /// length 180, encoding 546, blank character fields, a zero facility
    /// token and every other integer 0. Codes 0/0.
    ZroKih();
    /// Copies `other`'s codes, then all 180 bytes of its record.
    ZroKih(const ZroKih& other);
    /// Releases the record's storage.
    ~ZroKih() override;
    /// Copies `other`'s codes and all 180 bytes of its record; assigning a
    /// header to itself changes nothing.
    void operator=(const ZroKih& other);

    /// Puts the first 164 (version 1) or 180 (version 2) bytes of the record
    /// in front of the message's data; the header takes the message's
    /// format, encoding and character set, the message gets "ZRKOTA  ", 546
    /// and 0, and the data offset ends at the end of the message. Returns 0
    /// with 2/6128 for another version (message untouched), or with the
    /// message's codes when it has no room (e.g. 2/6113, 2/2071; nothing
    /// changed) or a write fails (2/2004: the message holds what was written
    /// before, nothing or the header alone).
    unsigned char copyOut(ZroMsg& message) override;
    /// Reads the header at the data offset (traced as function 60). Checks
    /// the structure id (2/6107), encoding 546 (2/6106) and format
    /// "ZRKOTA  " (2/6119), each with a text and nothing moved. Then reads
    /// the structure id, and the rest of the record as long as the version
    /// held before the call says (164 or 180 bytes in all); the version read
    /// from the message replaces it. A held version other than 1 or 2 gives
    /// 2/6128, no text, the offset back where it was; too little data gives
    /// the message's codes (2/6114) with the offset 4 bytes on. On success
    /// the offset stands behind the header and the message takes the
    /// header's format, encoding and character set.
    unsigned char pasteIn(ZroMsg& message) override;

    /// The record's version: 1 or 2 (a read record may hold any value).
    int32_t version() const noexcept { return record().version; }
    /// Sets the version to `value` from 1 to the highest version (2).
    /// Otherwise 0 with 2/6128, no text, the version unchanged.
    unsigned char setVersion(int32_t value);

    /// @name The header interface
    // ZroHdr's description of the data that follows and the record are
    // the frame's, over the record's fields.

    /// @name Integer fields, stored and returned unchanged
    ///@{
    int32_t UOWControl() const noexcept { return record().uowControl; }
    void setUOWControl(int32_t value) noexcept { mutableRecord().uowControl = value; }
    int32_t getWaitInterval() const noexcept { return record().getWaitInterval; }
    void setGetWaitInterval(int32_t value) noexcept { mutableRecord().getWaitInterval = value; }
    int32_t linkType() const noexcept { return record().linkType; }
    void setLinkType(int32_t value) noexcept { mutableRecord().linkType = value; }
    int32_t outputDataLength() const noexcept { return record().outputDataLength; }
    void setOutputDataLength(int32_t value) noexcept { mutableRecord().outputDataLength = value; }
    int32_t facilityKeepTime() const noexcept { return record().facilityKeepTime; }
    void setFacilityKeepTime(int32_t value) noexcept { mutableRecord().facilityKeepTime = value; }
    int32_t ADSDescriptor() const noexcept { return record().adsDescriptor; }
    void setADSDescriptor(int32_t value) noexcept { mutableRecord().adsDescriptor = value; }
    int32_t conversationalTask() const noexcept { return record().conversationalTask; }
    void setConversationalTask(int32_t value) noexcept
    {
        mutableRecord().conversationalTask = value;
    }
    /// Written and read with version 2 only.
    int32_t cursorPosition() const noexcept { return record().cursorPosition; }
    void setCursorPosition(int32_t value) noexcept { mutableRecord().cursorPosition = value; }
    ///@}

    /// @name Integer fields the bridge fills
    /// Read-only, set by pasteIn.
    ///@{
    int32_t bridgeReturnCode() const noexcept { return record().bridgeReturnCode; }
    int32_t bridgeCompletionCode() const noexcept { return record().bridgeCompletionCode; }
    int32_t bridgeReasonCode() const noexcept { return record().bridgeReasonCode; }
    int32_t taskEndStatus() const noexcept { return record().taskEndStatus; }
    /// Written and read with version 2 only.
    int32_t bridgeErrorOffset() const noexcept { return record().bridgeErrorOffset; }
    ///@}

    /// @name Character fields
    /// Getters return the field's characters up to its first NUL or its full width, trailing blanks
    /// kept. Setters copy at most the field's width of the text and fill the rest with blanks (all
    /// blanks for nullptr); a longer text is cut silently.
    ///@{
    ZroStr replyToFormat() const;
    void setReplyToFormat(const char* text);
    ZroStr authenticator() const;
    void setAuthenticator(const char* text);
    ZroStr transactionIdentifier() const;
    void setTransactionIdentifier(const char* text);
    ZroStr facilityLike() const;
    void setFacilityLike(const char* text);
    ZroStr attentionIdentifier() const;
    void setAttentionIdentifier(const char* text);
    ZroStr startCode() const;
    void setStartCode(const char* text);
    ZroStr bridgeCancelCode() const;
    void setBridgeCancelCode(const char* text);
    ///@}

    /// @name Character fields the bridge fills
    /// Read-only, set by pasteIn.
    ///@{
    ZroStr function() const;
    ZroStr bridgeAbendCode() const;
    ZroStr nextTransactionIdentifier() const;
    ///@}

    /// The facility token, a binary field of 8 bytes (see ZroHdrFrame); the
    /// ZroBin setter is traced as function 61.
    ///@{
    ZroBin facilityToken() const;
    unsigned char setFacilityToken(const ZroBin& value);
    void setFacilityToken(const unsigned char* bytes);
    ///@}

private:
    /// The highest version setVersion accepts; every object's own, never copied.
    int32_t highestVersion_ = ZRKIH_CURRENT_VERSION;
};

#endif // ZROI_ZROKIH_HPP
