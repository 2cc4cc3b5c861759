// ZroMtr: tracking values, standalone or bound to a message descriptor.
#include "zroi/zromtr.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zromtr")

namespace {
constexpr unsigned FN_SET_ACCOUNTING_TOKEN = 18;
constexpr unsigned FN_SET_CORRELATION_ID = 19;
constexpr unsigned FN_SET_GROUP_ID = 20;
constexpr unsigned FN_SET_MESSAGE_ID = 21;
} // namespace

ZroMtr::ZroMtr(const ZroMtr& other) : ZroErr()
{
    try {
        ZroMtr::operator=(other);
    } catch (...) {
        // No destructor runs for a constructor that throws: give back the
        // values obtained before the storage ran out, then let it pass.
        release();
        throw;
    }
}

ZroMtr::~ZroMtr() { release(); }

void ZroMtr::release() noexcept
{
    if (bound_) return;
    delete[] accountingToken_;
    delete[] correlationId_;
    delete feedback_;
    delete[] groupId_;
    delete[] messageId_;
}

void ZroMtr::operator=(const ZroMtr& other)
{
    if (&other == this) return;
    ZroErr::operator=(other);
    // Each value is copied byte for byte, a value absent in the source as
    // zeros: what the binary setters would store from the getters' full-width
    // binaries, without building those binaries, whose storage could fail and
    // turn a value into zeros unnoticed.
    setBytes(accountingToken_, ACCOUNTING_TOKEN_LENGTH, other.accountingToken_);
    setBytes(correlationId_, ID_LENGTH, other.correlationId_);
    setFeedback(other.feedback());
    setBytes(groupId_, ID_LENGTH, other.groupId_);
    setBytes(messageId_, ID_LENGTH, other.messageId_);
}

ZroBin ZroMtr::accountingToken() const
{
    return accountingToken_ != nullptr ? ZroBin(accountingToken_, ACCOUNTING_TOKEN_LENGTH)
                                       : ZroBin();
}

ZroBin ZroMtr::correlationId() const
{
    return correlationId_ != nullptr ? ZroBin(correlationId_, ID_LENGTH) : ZroBin();
}

ZroBin ZroMtr::groupId() const
{
    return groupId_ != nullptr ? ZroBin(groupId_, ID_LENGTH) : ZroBin();
}

ZroBin ZroMtr::messageId() const
{
    return messageId_ != nullptr ? ZroBin(messageId_, ID_LENGTH) : ZroBin();
}

unsigned char ZroMtr::setAccountingToken(const ZroBin& value)
{
    return setBinary(accountingToken_, ACCOUNTING_TOKEN_LENGTH, value, FN_SET_ACCOUNTING_TOKEN,
                     "ZroMessageTracker::setAccountingToken (error): binary data length error");
}

unsigned char ZroMtr::setCorrelationId(const ZroBin& value)
{
    return setBinary(correlationId_, ID_LENGTH, value, FN_SET_CORRELATION_ID,
                     "ZroMessageTracker::setCorrelationId (error): binary data length error");
}

unsigned char ZroMtr::setGroupId(const ZroBin& value)
{
    return setBinary(groupId_, ID_LENGTH, value, FN_SET_GROUP_ID,
                     "ZroMessageTracker::setGroupId (error): binary data length error");
}

unsigned char ZroMtr::setMessageId(const ZroBin& value)
{
    return setBinary(messageId_, ID_LENGTH, value, FN_SET_MESSAGE_ID,
                     "ZroMessageTracker::setMessageId (error): binary data length error");
}

void ZroMtr::setAccountingToken(const unsigned char* bytes)
{
    setBytes(accountingToken_, ACCOUNTING_TOKEN_LENGTH, bytes);
}

void ZroMtr::setCorrelationId(const unsigned char* bytes)
{
    setBytes(correlationId_, ID_LENGTH, bytes);
}

void ZroMtr::setGroupId(const unsigned char* bytes) { setBytes(groupId_, ID_LENGTH, bytes); }

void ZroMtr::setMessageId(const unsigned char* bytes) { setBytes(messageId_, ID_LENGTH, bytes); }

void ZroMtr::setFeedback(int32_t value)
{
    if (feedback_ == nullptr) feedback_ = new int32_t(0);
    *feedback_ = value;
}

void ZroMtr::bindTo(unsigned char* accountingToken, unsigned char* correlationId, int32_t* feedback,
                    unsigned char* groupId, unsigned char* messageId) noexcept
{
    accountingToken_ = accountingToken;
    correlationId_ = correlationId;
    feedback_ = feedback;
    groupId_ = groupId;
    messageId_ = messageId;
    bound_ = true;
}

void ZroMtr::unbind() noexcept
{
    accountingToken_ = correlationId_ = groupId_ = messageId_ = nullptr;
    feedback_ = nullptr;
    bound_ = false;
}

// Storage of a standalone value is created zero-filled on first use.
unsigned char* ZroMtr::ensure(unsigned char*& field, unsigned width)
{
    if (field == nullptr) field = new unsigned char[width]();
    return field;
}

unsigned char ZroMtr::setBinary(unsigned char*& field, unsigned width, const ZroBin& value,
                                unsigned function, const char* text)
{
    if (!zrofield::setBinary(ensure(field, width), width, value))
        return fail(function, text, ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
    return 1;
}

void ZroMtr::setBytes(unsigned char*& field, unsigned width, const unsigned char* bytes)
{
    unsigned char* storage = ensure(field, width);
    if (bytes != nullptr)
        std::memcpy(storage, bytes, width);
    else
        std::memset(storage, 0, width);
}
