// ZroTrg: the trigger message (record ZRTM, structure id "TM  ", format
// "ZRTRIG  "), and its all-character form ZRTMC2.
//
// A trigger message names a queue, a process, trigger data, an application
// identifier, environment data and user data. It is a message body, not a
// header: it is the whole of a message's data, so copyOut replaces what the
// message held and pasteIn leaves the message's format, encoding and
// character set as they are.
//
// ```cpp
// ZroMsg message;                 // as received, format "ZRTRIG  "
// ZroTrg trigger;
// if (message.readItem(trigger)) {
//     ZRTMC2 text;
//     trigger.copyOut(&text);     // every field as characters
//     std::cout << "start " << trigger.applicationId() << '\n';
// }
// ```
//
// The 684-byte record is held by value in wire layout. Character fields are
// NUL-filled; getters return the text up to the first NUL without trailing
// blanks.
#ifndef ZROI_ZROTRG_HPP
#define ZROI_ZROTRG_HPP

#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zroitm.hpp"
#include "zroi/zrostr.hpp"

class ZROI_API ZroTrg : public ZroItm {
public:
    /// Structure id "TM  ", version 1, spare integer 0, every character
    /// field empty (NUL bytes). Codes 0/0.
    ZroTrg() noexcept;
    /// Copies `other`'s codes, then all 684 bytes of its record.
    ZroTrg(const ZroTrg& other) noexcept = default;
    ~ZroTrg() override;
    /// The same as the copy; assigning a trigger to itself changes nothing.
    void operator=(const ZroTrg& other) noexcept;

    /// Makes the record the whole of the message's data: the message is
    /// cleared first, then gets room for 684 bytes, encoding 546, character
    /// set 0 and format "ZRTRIG  ", and the record; the data offset ends at
    /// 684. Returns 0 with the message's codes when it has no room (e.g.
    /// 2/6113, 2/2071: the message is left empty, its description as it
    /// was) or the write fails.
    unsigned char copyOut(ZroMsg& message) override;
    /// Reads the record at the data offset. Checks the structure id
    /// (2/6107), encoding 546 (2/6106) and format "ZRTRIG  " (2/6119), each
    /// with a text under function 52, then reads 684 bytes (the message's
    /// codes, e.g. 2/6114, when fewer remain). On failure nothing moves; on
    /// success the offset stands 684 bytes on. The message's format,
    /// encoding and character set are never changed.
    unsigned char pasteIn(ZroMsg& message) override;
    /// Fills the caller's 732-byte character record: "TMC ", version "   2",
    /// each text field's text blank-filled to its width, the spare integer
    /// as decimal text right-aligned in 4 characters (a longer number keeps
    /// its first 4), 48 trailing blanks. Returns 0 with 2/6108 and a text
    /// (function 51) for nullptr; otherwise 1, the codes untouched.
    unsigned char copyOut(ZRTMC2* target);

    /// @name Character fields
    /// Getters return the text up to the field's first NUL (or its full width) without trailing
    /// blanks. Setters copy at most the field's width of the text and fill the rest with NUL bytes
    /// (all NUL for nullptr); a longer text is cut silently.
    ///@{
    ZroStr queueName() const;
    void setQueueName(const char* text);
    ZroStr processName() const;
    void setProcessName(const char* text);
    ZroStr triggerData() const;
    void setTriggerData(const char* text);
    ZroStr applicationId() const;
    void setApplicationId(const char* text);
    ZroStr environmentData() const;
    void setEnvironmentData(const char* text);
    ZroStr userData() const;
    void setUserData(const char* text);
    ///@}

    /// The record in wire layout, as copyOut writes it and as pasteIn last
    /// read it (structure version and spare integer included).
    const ZRTM& record() const noexcept { return record_; }

private:
    ZRTM& mutableRecord() noexcept { return record_; }

    ZRTM record_;
};

#endif // ZROI_ZROTRG_HPP
