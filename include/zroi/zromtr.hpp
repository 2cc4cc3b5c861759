// ZroMtr: the values by which messages are tracked and related.
//
// A tracker holds an accounting token (32 bytes), correlation, group and
// message identifiers (24 bytes each) and a feedback code. Standing alone it
// owns storage for each value from the first set on; inside a ZroMsg the same
// operations read and write the message descriptor's own fields.
//
// ```cpp
// ZroMtr tracker;
// unsigned char bytes[24] = {7};
// tracker.setCorrelationId(ZroBin(bytes, 24)); // 0 and 2/6111 for other lengths
// ZroBin id = tracker.correlationId();         // 24 bytes
// ```
#ifndef ZROI_ZROMTR_HPP
#define ZROI_ZROMTR_HPP

#include <cstdint>

#include "zroi/zrobin.hpp"
#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"

class ZROI_API ZroMtr : public virtual ZroErr {
public:
    static constexpr unsigned ACCOUNTING_TOKEN_LENGTH = 32;
    static constexpr unsigned ID_LENGTH = 24;

    /// A standalone tracker: no value has storage yet, codes 0.
    ZroMtr() noexcept = default;
    /// An empty tracker, then operator=. Storage comes from new (std::bad_alloc passes).
    ZroMtr(const ZroMtr& other);
    /// Releases the storage a standalone tracker owns.
    ~ZroMtr() override;
    /// Copies the codes, then sets all five values from `other`; a value
    /// `other` has no storage for arrives as zeros.
    void operator=(const ZroMtr& other);

    /// The 32 bytes, or an empty binary when the value was never set.
    ZroBin accountingToken() const;
    /// The 24 bytes, or an empty binary when the value was never set.
    ZroBin correlationId() const;
    ZroBin groupId() const;
    ZroBin messageId() const;
    /// The feedback code, or 0 when it was never set.
    int32_t feedback() const noexcept { return feedback_ != nullptr ? *feedback_ : 0; }

    /// Sets the value from a binary of exactly the field's width, or zeros
    /// from an empty binary. Any other length: 0 with 2/6111, value kept.
    unsigned char setAccountingToken(const ZroBin& value);
    unsigned char setCorrelationId(const ZroBin& value);
    unsigned char setGroupId(const ZroBin& value);
    unsigned char setMessageId(const ZroBin& value);

    /// Copies the field's full width from `bytes` (not checked), or zeros
    /// when `bytes` is null.
    void setAccountingToken(const unsigned char* bytes);
    void setCorrelationId(const unsigned char* bytes);
    void setGroupId(const unsigned char* bytes);
    void setMessageId(const unsigned char* bytes);

    void setFeedback(int32_t value);

protected:
    /// Points the five values at storage the caller owns (a message
    /// descriptor); the tracker must hold no storage of its own then.
    void bindTo(unsigned char* accountingToken, unsigned char* correlationId, int32_t* feedback,
                unsigned char* groupId, unsigned char* messageId) noexcept;
    /// Forgets storage bound with bindTo, so the destructor releases nothing.
    void unbind() noexcept;

private:
    void release() noexcept;
    unsigned char* ensure(unsigned char*& field, unsigned width);
    unsigned char setBinary(unsigned char*& field, unsigned width, const ZroBin& value,
                            unsigned function, const char* text);
    void setBytes(unsigned char*& field, unsigned width, const unsigned char* bytes);

    unsigned char* accountingToken_ = nullptr;
    unsigned char* correlationId_ = nullptr;
    int32_t* feedback_ = nullptr;
    unsigned char* groupId_ = nullptr;
    unsigned char* messageId_ = nullptr;
    bool bound_ = false;
};

#endif // ZROI_ZROMTR_HPP
