// ZroGmo3: the get-message options, version 3 (100 bytes), in owned storage.
//
// Version 3 of the record adds a 16-byte message token and a further word to
// the 80 bytes that ZroGmo holds. The object owns its record (a ZRGMO) and
// keeps it in its byte layout, ready for the library that gets the message
// to pass on whole; this class reads and writes only the fields below.
//
// ```cpp
// unsigned char token[16] = {1, 2, 3};
// ZroGmo3 options;                        // structure id "GMO ", version 3
// options.setMessageToken(ZroBin(token, 16));
// options.setSyncPointParticipation(0);   // get outside any unit of work
// ZroBin t = options.messageToken();      // always 16 bytes
// ```
//
// Constructing an object obtains its record; when no storage is left the
// constructor throws std::bad_alloc, as `new` of the library's classes does.
// Every other operation reports through the codes (see ZroErr) and never throws.
#ifndef ZROI_ZROGMO_HPP
#define ZROI_ZROGMO_HPP

#include <cstdint>

#include "zroi/zrobin.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"
#include "zroi/zrostr.hpp"

class ZROI_API ZroGmo3 : public ZroErr {
public:
    /// Bytes of the record: version 3 of ZRGMO.
    static constexpr unsigned RECORD_LENGTH = ZRGMO_LENGTH_3;
    /// Bytes of the message token.
    static constexpr unsigned MESSAGE_TOKEN_LENGTH = sizeof(ZRGMO::messageToken);

    /// A record from the template (structure id "GMO ", options 0, resolved
    /// queue name all NUL, the word at 72 holding 3, four blanks at 76, a
    /// zero token, -1 at 96) with the version supported as its version;
    /// codes 0/0. Throws std::bad_alloc when the record gets no storage.
    ZroGmo3();
    /// Copies `other`'s codes, then its whole record (the version included)
    /// into a record of its own. Throws std::bad_alloc when that record gets
    /// no storage.
    ZroGmo3(const ZroGmo3& other);
    /// Releases the record.
    ~ZroGmo3() override;
    /// Copies `other`'s codes and its whole record into this object's own
    /// record (no storage is obtained). Assigning an object to itself changes
    /// nothing.
    void operator=(const ZroGmo3& other) noexcept;

    /// The 48-character resolved queue name up to its first NUL, trailing
    /// blanks removed. The string carries 2/2071 (and is empty) when it got
    /// no storage; this object's codes are untouched.
    ZroStr resolvedQueueName() const;

    /// 1 when the options ask for sync point participation (bit
    /// ZRGMO_SYNC_POINT or ZRGMO_SYNC_POINT_ALTERNATE), else 0.
    unsigned char syncPointParticipation() const noexcept;
    /// Non-zero: sets ZRGMO_SYNC_POINT and clears ZRGMO_NO_SYNC_POINT and
    /// ZRGMO_SYNC_POINT_ALTERNATE. 0: sets ZRGMO_NO_SYNC_POINT and clears the
    /// other two. All other option bits stay as they are.
    void setSyncPointParticipation(unsigned char participate) noexcept;

    /// The 16-byte message token (isNull() is 1 for an all-zero token). The
    /// binary carries 2/2071 (and is empty) when it got no storage; this
    /// object's codes are untouched.
    ZroBin messageToken() const;
    /// Sets the token from a binary of 16 bytes, or to zeros from an empty
    /// one: 1. Any other length: 0 with 2/6111, the token unchanged. Traced as
    /// function 64.
    unsigned char setMessageToken(const ZroBin& token);
    /// Sets the token from the 16 bytes at `token`, or to zeros when `token`
    /// is null. The bytes are not checked; no codes, no trace.
    void setMessageToken(const unsigned char* token) noexcept;

    /// The version of the record this object holds: always 3.
    int32_t recordLevel() const noexcept { return recordLevel_; }
    /// The record, for the libraries that hand it to the queue manager.
    const ZRGMO& record() const noexcept { return *record_; }
    ZRGMO& record() noexcept { return *record_; }

    /// The version that objects constructed from now on carry (3 unless changed).
    static int32_t versionSupported() noexcept;

protected:
    /// Sets the version that ZroGmo3 objects constructed from now on carry.
    /// Objects already built keep theirs; ZroGmo has its own.
    static void setVersionSupported(int32_t version) noexcept;

private:
    int32_t recordLevel_ = ZRGMO_VERSION_3;
    ZRGMO* record_; // never null: owned from construction to destruction
};

#endif // ZROI_ZROGMO_HPP
