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
#include "zroi/zrohdr.hpp"
#include "zroi/zrostr.hpp"

class ZROI_API ZroKih : public ZroHdr {
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
    int32_t version() const noexcept { return record_->version; }
    /// Sets the version to `value` from 1 to the highest version (2).
    /// Otherwise 0 with 2/6128, no text, the version unchanged.
    unsigned char setVersion(int32_t value);

    /// @name The header interface
    /// ZroHdr's description of the data that follows, over the record's
    /// fields (documented there).
    ///@{
    int32_t characterSet() const override { return record_->codedCharSetId; }
    int32_t encoding() const override { return record_->encoding; }
    ZroStr format() const override;
    int32_t headerFlags() const override { return record_->headerFlags; }
    void setCharacterSet(int32_t value) override { record_->codedCharSetId = value; }
    void setEncoding(int32_t value) override { record_->encoding = value; }
    void setFormat(const char* name) override;
    void setHeaderFlags(int32_t value) override { record_->headerFlags = value; }
    ///@}

    /// @name Integer fields, stored and returned unchanged
    ///@{
    int32_t UOWControl() const noexcept { return record_->uowControl; }
    void setUOWControl(int32_t value) noexcept { record_->uowControl = value; }
    int32_t getWaitInterval() const noexcept { return record_->getWaitInterval; }
    void setGetWaitInterval(int32_t value) noexcept { record_->getWaitInterval = value; }
    int32_t linkType() const noexcept { return record_->linkType; }
    void setLinkType(int32_t value) noexcept { record_->linkType = value; }
    int32_t outputDataLength() const noexcept { return record_->outputDataLength; }
    void setOutputDataLength(int32_t value) noexcept { record_->outputDataLength = value; }
    int32_t facilityKeepTime() const noexcept { return record_->facilityKeepTime; }
    void setFacilityKeepTime(int32_t value) noexcept { record_->facilityKeepTime = value; }
    int32_t ADSDescriptor() const noexcept { return record_->adsDescriptor; }
    void setADSDescriptor(int32_t value) noexcept { record_->adsDescriptor = value; }
    int32_t conversationalTask() const noexcept { return record_->conversationalTask; }
    void setConversationalTask(int32_t value) noexcept { record_->conversationalTask = value; }
    /// Written and read with version 2 only.
    int32_t cursorPosition() const noexcept { return record_->cursorPosition; }
    void setCursorPosition(int32_t value) noexcept { record_->cursorPosition = value; }
    ///@}

    /// @name Integer fields the bridge fills
    /// Read-only, set by pasteIn.
    ///@{
    int32_t bridgeReturnCode() const noexcept { return record_->bridgeReturnCode; }
    int32_t bridgeCompletionCode() const noexcept { return record_->bridgeCompletionCode; }
    int32_t bridgeReasonCode() const noexcept { return record_->bridgeReasonCode; }
    int32_t taskEndStatus() const noexcept { return record_->taskEndStatus; }
    /// Written and read with version 2 only.
    int32_t bridgeErrorOffset() const noexcept { return record_->bridgeErrorOffset; }
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

    /// The 8 bytes of the facility token.
    ZroBin facilityToken() const;
    /// Stores the 8 bytes of `value`, or 8 zero bytes for an empty value
    /// (traced as function 61). Another length: 0 with 2/6111 and a text,
    /// the token unchanged.
    unsigned char setFacilityToken(const ZroBin& value);
    /// Copies 8 bytes from `bytes` (not checked), or stores 8 zero bytes
    /// for nullptr.
    void setFacilityToken(const unsigned char* bytes);

    /// The 180 bytes of the record in wire layout, as copyOut writes them (the
    /// first 164 of them for version 1) and as pasteIn last read them.
    const ZRKIH& record() const noexcept { return *record_; }

private:
    ZRKIH* record_;
    /// The highest version setVersion accepts; every object's own, never copied.
    int32_t highestVersion_ = ZRKIH_CURRENT_VERSION;
};

#endif // ZROI_ZROKIH_HPP
