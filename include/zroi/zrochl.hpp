// ZroChl: a client channel definition, the ZRCD record that a client
// connection hands to the queue manager.
//
// The channel owns its record, which it builds with the defaults a client
// connection expects, and, through pointers in the record, the SSL peer name
// and the send and receive exit lists. Copies are deep: every channel has its
// own record, peer name and lists. The connection library of the middleware
// reads the record through the protected ZRCD() of a derived class.
//
// ```cpp
// ZroChl channel;
// channel.setChannelName("SYSTEM.DEF.SVRCONN");
// channel.setConnectionName("host.example(1414)");
// const char* exits[] = {"lib(sendA)", "lib(sendB)"};
// channel.setSendExitNames(2, exits);     // clears the send user data
// channel.setSendUserData("first");       // then set the user data
// if (channel.completionCode() != ZRCC_OK) {   // e.g. 1/6115: a text was cut
//     std::printf("%d/%d\n", channel.completionCode(), channel.reasonCode());
// }
// ```
//
// Setters report through the channel's codes: a text longer than its field
// is cut with the warning 1/6115 and the call succeeds; a text that fails
// the read-pointer check gives 2/2145. Storage for the record, the peer name
// and the lists is obtained with new: when none is left, std::bad_alloc
// reaches the caller and the channel stays valid.
//
// Exit lists are blocks of fixed-width entries whose widths are the
// record's exitNameLength and exitDataLength, whose entry counts are
// sendExitCount and receiveExitCount and whose addresses stand in the
// record. A derived class that changes those fields through ZRCD() while
// lists exist must keep them consistent with the blocks it leaves there.
#ifndef ZROI_ZROCHL_HPP
#define ZROI_ZROCHL_HPP

#include <cstdint>

#include "zroi/zrodefs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"
#include "zroi/zrostr.hpp"

class ZROI_API ZroChl : public ZroErr {
public:
    /// A record of all zero bytes holding the defaults of a client channel;
    /// codes 0/0, no exits, no peer name.
    ZroChl();
    /// Copies `other`'s codes, then its whole record, and gives the copy its
    /// own exit lists and peer name holding the same bytes.
    ZroChl(const ZroChl& other);
    /// Releases the exit lists, the peer name and the record.
    ~ZroChl() override;

    /// As the copy constructor, into this channel's record, which keeps its
    /// address; this channel's exit lists and peer name are released first.
    /// Assigning a channel to itself changes nothing.
    void operator=(const ZroChl& other);

    // Scalar fields: each getter returns the field, each setter stores its
    // argument unchecked and returns 1.

    /// The transport type (1 as built).
    int32_t transportType() const noexcept { return record_->transportType; }
    /// Stores `value`; 1.
    unsigned char setTransportType(int32_t value) noexcept
    {
        record_->transportType = value;
        return 1;
    }
    /// The maximum message length (4194304 as built).
    int32_t maximumMessageLength() const noexcept { return record_->maximumMessageLength; }
    /// Stores `value`; 1.
    unsigned char setMaximumMessageLength(int32_t value) noexcept
    {
        record_->maximumMessageLength = value;
        return 1;
    }
    /// The heartbeat interval (300 as built).
    int32_t heartBeatInterval() const noexcept { return record_->heartBeatInterval; }
    /// Stores `value`; 1.
    unsigned char setHeartBeatInterval(int32_t value) noexcept
    {
        record_->heartBeatInterval = value;
        return 1;
    }
    /// The SSL client authentication setting (0 as built).
    int32_t sslClientAuthentication() const noexcept { return record_->sslClientAuthentication; }
    /// Stores `value`; 1.
    unsigned char setSslClientAuthentication(int32_t value) noexcept
    {
        record_->sslClientAuthentication = value;
        return 1;
    }
    /// The keep-alive interval (-1 as built).
    int32_t keepAliveInterval() const noexcept { return record_->keepAliveInterval; }
    /// Stores `value`; 1.
    unsigned char setKeepAliveInterval(int32_t value) noexcept
    {
        record_->keepAliveInterval = value;
        return 1;
    }
    /// The batch heartbeat interval (0 as built).
    int32_t batchHeartBeat() const noexcept { return record_->batchHeartBeat; }
    /// Stores `value`; 1.
    unsigned char setBatchHeartBeat(int32_t value) noexcept
    {
        record_->batchHeartBeat = value;
        return 1;
    }

    // Character fields. Each getter returns the field's text up to its first
    // NUL (or its full width) without trailing blanks; the string carries
    // 2/2071 and is empty when it can get no storage. Each setter copies the
    // text into the field, at most the field's width, NUL-padding the rest
    // (a null text clears the field), and returns 1, also when the text was
    // cut (1/6115 on the channel); 0 with 2/2145 when the text fails the
    // read-pointer check, the field unchanged.

    /// The channel name (20 characters).
    ZroStr channelName() const;
    /// Sets the channel name; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setChannelName(const char* text);
    /// The mode name (8 characters).
    ZroStr modeName() const;
    /// Sets the mode name; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setModeName(const char* text);
    /// The transaction program name (64 characters).
    ZroStr transactionProgramName() const;
    /// Sets the transaction program name; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setTransactionProgramName(const char* text);
    /// The security exit name (128 characters).
    ZroStr securityExitName() const;
    /// Sets the security exit name; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setSecurityExitName(const char* text);
    /// The security exit user data (32 characters).
    ZroStr securityUserData() const;
    /// Sets the security exit user data; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setSecurityUserData(const char* text);
    /// The user id (12 characters).
    ZroStr userId() const;
    /// Sets the user id; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setUserId(const char* text);
    /// The password (12 characters).
    ZroStr password() const;
    /// Sets the password; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setPassword(const char* text);
    /// The name of the SSL cipher the channel uses (32 characters).
    ZroStr sslCipherSpecification() const;
    /// Sets the SSL cipher's name; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setSslCipherSpecification(const char* text);
    /// The local address (48 characters).
    ZroStr localAddress() const;
    /// Sets the local address; 1, 1 with 1/6115, or 0 with 2/2145.
    unsigned char setLocalAddress(const char* text);

    /// The connection name, from its long form (264 characters).
    ZroStr connectionName() const;
    /// Copies the text into the short form (20 characters) and then into the
    /// long form (264). A text of 21 to 264 characters is cut in the short
    /// form only: 1 with the warning 1/6115, the long form holding it all.
    /// 0 with 2/2145, both forms unchanged, when the text is not readable.
    unsigned char setConnectionName(const char* text);

    /// The SSL peer name: the text in the peer name buffer without trailing
    /// blanks; empty when none was set.
    ZroStr sslPeerName() const;
    /// Replaces the peer name buffer by one of exactly the text's length
    /// holding its characters without terminator (a null or empty text:
    /// length 0). 1 on success; 0 with 2/2145 when the text is not readable,
    /// the old name kept.
    unsigned char setSslPeerName(const char* text);

    // Exit lists. Each direction holds a count and, for a count n > 0, a name
    // list and a user data list of n entries each. Setting names sizes both
    // lists and clears all user data of that direction, so user data is set
    // after the names. The name setters check every entry before anything
    // changes: 2/6108 (a count > 0 with a null array, or a null entry) or
    // 2/2010 (an empty name), the first bad entry deciding. The user data
    // setters refuse more texts than there are exits with 2/2316, nothing
    // changed. A text longer than its entry is cut (1/6115, success); a text
    // that fails the read-pointer check stops the copying with 2/2145, the
    // new count and the entries copied before it in place. Lists of more
    // than 2147483647 entries cannot be recorded: std::bad_alloc, nothing
    // changed.

    /// The number of receive exits.
    unsigned receiveExitCount() const noexcept;
    /// The first receive exit name (trailing blanks kept); empty when there
    /// are no receive exits. When the string can get no storage it is empty
    /// and both it and the channel carry 2/2071.
    ZroStr receiveExitName();
    /// Sets strings[i], for i below `count`, to receive exit name i (trailing
    /// blanks kept), or empty beyond the last exit; null pointers in the
    /// array are skipped. 1 (also for a null array or `count` 0); 0 when a
    /// string could not be set, the channel then carrying that string's
    /// codes, the other strings still set.
    unsigned char receiveExitNames(unsigned count, ZroStr* const* strings);
    /// The first receive user data entry; as receiveExitName().
    ZroStr receiveUserData();
    /// As receiveExitNames, from the receive user data list.
    unsigned char receiveUserData(unsigned count, ZroStr* const* strings);
    /// One receive exit with this name, or none for a null or empty name.
    unsigned char setReceiveExitName(const char* name);
    /// `count` receive exits with these names, their user data cleared.
    unsigned char setReceiveExitNames(unsigned count, const char* const* names);
    /// The same with each string's text; a string of length 0 is empty (2010).
    unsigned char setReceiveExitNames(unsigned count, const ZroStr* const* names);
    /// Sets the first receive user data entry and clears the others; 2/2316
    /// when there are no receive exits.
    unsigned char setReceiveUserData(const char* text);
    /// Sets the first `count` receive user data entries from the array (all
    /// of them cleared for a null array or null entries) and clears the
    /// others; 2/2316 when `count` exceeds the receive exit count.
    unsigned char setReceiveUserData(unsigned count, const char* const* texts);
    /// The same with each string's text; a null entry clears its entry.
    unsigned char setReceiveUserData(unsigned count, const ZroStr* const* texts);

    // The send twins of the receive operations, on the send count and lists.

    /// The number of send exits.
    unsigned sendExitCount() const noexcept;
    /// As receiveExitName(), for the first send exit.
    ZroStr sendExitName();
    /// As receiveExitNames, from the send exit name list.
    unsigned char sendExitNames(unsigned count, ZroStr* const* strings);
    /// As receiveUserData(), for the first send exit.
    ZroStr sendUserData();
    /// As receiveUserData(count, strings), from the send user data list.
    unsigned char sendUserData(unsigned count, ZroStr* const* strings);
    /// As setReceiveExitName, for the send exits.
    unsigned char setSendExitName(const char* name);
    /// As setReceiveExitNames, for the send exits.
    unsigned char setSendExitNames(unsigned count, const char* const* names);
    /// As setReceiveExitNames with strings, for the send exits.
    unsigned char setSendExitNames(unsigned count, const ZroStr* const* names);
    /// As setReceiveUserData(text), for the send exits (2/2316 without any).
    unsigned char setSendUserData(const char* text);
    /// As setReceiveUserData(count, texts), for the send exits.
    unsigned char setSendUserData(unsigned count, const char* const* texts);
    /// As setReceiveUserData with strings, for the send exits.
    unsigned char setSendUserData(unsigned count, const ZroStr* const* texts);

    // Compression lists: 2 header and 16 message slots in the record, -1
    // marking an unused slot. No value is refused and none of these fails.

    /// The slots of the header compression list before the first -1 (0 to 2).
    unsigned headerCompressionCount() const noexcept;
    /// Copies the first min(count, 2) slots, -1 included, into `values`
    /// (nothing for a null array). Always 1.
    unsigned char headerCompression(unsigned count, int32_t* values) const noexcept;
    /// Stores the first min(count, 2) values into the first slots and sets
    /// the other slots to -1 (nothing is read from a null array, so every
    /// slot becomes -1). Always 1.
    unsigned char setHeaderCompression(unsigned count, const int32_t* values) noexcept;
    /// The slots of the message compression list before the first -1 (0 to 16).
    unsigned messageCompressionCount() const noexcept;
    /// Copies the first min(count, 16) slots into `values`; as headerCompression.
    unsigned char messageCompression(unsigned count, int32_t* values) const noexcept;
    /// Stores the first min(count, 16) values, the other slots -1; as
    /// setHeaderCompression.
    unsigned char setMessageCompression(unsigned count, const int32_t* values) noexcept;

protected:
    /// The channel's record. Its address stays the same for the channel's
    /// whole life; the caller must not release it or keep it longer.
    ::ZRCD* ZRCD() const noexcept { return record_; }

private:
    enum class Direction : unsigned { Send, Receive };
    enum class List { Names, UserData };

    ZroStr firstEntry(Direction direction, List list);
    unsigned char readEntries(Direction direction, List list, unsigned count,
                              ZroStr* const* strings);
    unsigned char setExitName(Direction direction, const char* name);
    struct Texts; // a caller's list: of C strings or of strings
    unsigned char setExitNames(Direction direction, unsigned count, const Texts& names);
    unsigned char setUserData(Direction direction, unsigned count, const Texts& texts);
    void resizeExits(Direction direction, unsigned count);
    void releaseExits(Direction direction) noexcept;
    void copyExits(Direction direction, const ::ZRCD& source);
    void releaseOwned() noexcept;
    void copyRecord(const ::ZRCD& source);
    unsigned char failWith(int32_t reason) noexcept;

    ::ZRCD* record_;
};

#endif // ZROI_ZROCHL_HPP
