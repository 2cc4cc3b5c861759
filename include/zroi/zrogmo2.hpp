// ZroGmo: the get-message options, version 2 (80 bytes), held in the object.
//
// The options tell the queue manager how a message is to be taken from a
// queue. The object keeps the record in its byte layout (the first 80 bytes
// of ZRGMO), ready for the library that gets the message to pass on whole;
// this class reads and writes only the fields below.
//
// ```cpp
// ZroGmo options;                        // structure id "GMO ", version 2
// options.setSyncPointParticipation(1);  // get within the unit of work
// // ... another library gets a message with it ...
// ZroStr queue = options.resolvedQueueName();
// ```
//
// ZroGmo writes no diagnostic texts and none of its operations fails.
// ZroGmo3 holds the 100-byte version 3 of the record.
#ifndef ZROI_ZROGMO2_HPP
#define ZROI_ZROGMO2_HPP

#include <cstdint>

#include "zroi/zrodefs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"
#include "zroi/zrostr.hpp"

class ZROI_API ZroGmo : public ZroErr {
public:
    /// Bytes of the record: version 2 of ZRGMO.
    static constexpr unsigned RECORD_LENGTH = ZRGMO_LENGTH_2;

    /// A record from the template (structure id "GMO ", options 0, resolved
    /// queue name all NUL, the word at 72 holding 3, four blanks at 76) with
    /// the version supported as its version; codes 0/0.
    ZroGmo() noexcept;
    /// Copies `other`'s codes, then its whole record (the version included).
    ZroGmo(const ZroGmo& other) noexcept;
    ~ZroGmo() override;
    /// As the copy constructor; assigning an object to itself changes nothing.
    void operator=(const ZroGmo& other) noexcept;

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

    /// The record in its byte layout, RECORD_LENGTH bytes, for the libraries
    /// that hand it to the queue manager. Field offsets are those of ZRGMO.
    const void* record() const noexcept { return record_; }
    void* record() noexcept { return record_; }

    /// The version that objects constructed from now on carry (2 unless changed).
    static int32_t versionSupported() noexcept;

protected:
    /// Sets the version that ZroGmo objects constructed from now on carry.
    /// Objects already built keep theirs; ZroGmo3 has its own.
    static void setVersionSupported(int32_t version) noexcept;

private:
    alignas(int32_t) unsigned char record_[RECORD_LENGTH];
};

#endif // ZROI_ZROGMO2_HPP
