// ZroMsg: message data, tracker and descriptor.
#include "zroi/zromsg.hpp"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "zrofield.hpp"
#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zromsg")

namespace {

// The default descriptor is a constant: there is nothing to fill at run time
// and so nothing two threads constructing their first messages could race on.
// Its version is left to the constructor: the one supported when the
// message is made.
constexpr ZRMD makeDefaultDescriptor()
{
    ZRMD md{};
    md.strucId[0] = 'M';
    md.strucId[1] = 'D';
    md.strucId[2] = ' ';
    md.strucId[3] = ' ';
    md.messageType = 8;
    md.expiry = -1;
    md.encoding = ZRENC_NATIVE;
    for (char& c : md.format) c = ' ';
    md.priority = -1;
    md.persistence = 2;
    md.sequenceNumber = 1;
    md.originalLength = -1;
    return md;
}

constexpr ZRMD kDefaultDescriptor = makeDefaultDescriptor();

std::atomic<int32_t> g_versionSupported{2};

} // namespace

ZroMsg::ZroMsg() : descriptor_(kDefaultDescriptor)
{
    descriptor_.version = g_versionSupported.load(std::memory_order_relaxed);
    bindTracker();
}

ZroMsg::ZroMsg(const ZroMsg& other) : ZroErr(), ZroCac(), ZroMtr(), descriptor_(kDefaultDescriptor)
{
    bindTracker();
    ZroMsg::operator=(other);
}

ZroMsg::~ZroMsg() { unbind(); }

void ZroMsg::bindTracker() noexcept
{
    bindTo(descriptor_.accountingToken, descriptor_.correlationId, &descriptor_.feedback,
           descriptor_.groupId, descriptor_.messageId);
}

void ZroMsg::operator=(const ZroMsg& other)
{
    if (&other == this) return;
    // The more severe outcome wins: the source's codes or the cache copy's
    // (a truncation, no storage); on equal severity the source's reason
    // stays. The tracker's copy, into this descriptor, cannot fail: it only
    // takes the source's codes again, hence the codes are set after it.
    int32_t completion = other.completionCode();
    int32_t reason = other.reasonCode();
    ZroCac::operator=(other);
    if (completionCode() > completion) {
        completion = completionCode();
        reason = reasonCode();
    }
    ZroMtr::operator=(other);
    setCodes(completion, reason);
    descriptor_ = other.descriptor_;
    spare_ = other.spare_;
}

unsigned char ZroMsg::writeItem(ZroItm& item)
{
    unsigned char result = item.copyOut(*this);
    setCodes(item.completionCode(), item.reasonCode());
    return result;
}

unsigned char ZroMsg::readItem(ZroItm& item)
{
    unsigned char result = item.pasteIn(*this);
    setCodes(item.completionCode(), item.reasonCode());
    return result;
}

ZroStr ZroMsg::format() const
{
    return zrofield::textKept(descriptor_.format, sizeof descriptor_.format);
}

unsigned char ZroMsg::formatIs(const char* name) const
{
    if (name == nullptr) return 0;
    return std::memcmp(name, descriptor_.format, sizeof descriptor_.format) == 0 ? 1 : 0;
}

void ZroMsg::setFormat(const char* name)
{
    zrofield::setText(descriptor_.format, sizeof descriptor_.format, name, ' ');
}

// The text fields of the descriptor: one getter and one setter each.
#define ZROMSG_TEXT_FIELD(getter, setter, field)                                    \
    ZroStr ZroMsg::getter() const                                                   \
    {                                                                               \
        return zrofield::text(descriptor_.field, sizeof descriptor_.field);         \
    }                                                                               \
    void ZroMsg::setter(const char* text)                                           \
    {                                                                               \
        zrofield::setText(descriptor_.field, sizeof descriptor_.field, text, '\0'); \
    }

ZROMSG_TEXT_FIELD(applicationIdData, setApplicationIdData, applIdData)
ZROMSG_TEXT_FIELD(applicationOriginData, setApplicationOriginData, applOriginData)
ZROMSG_TEXT_FIELD(putApplicationName, setPutApplicationName, putApplName)
ZROMSG_TEXT_FIELD(putDate, setPutDate, putDate)
ZROMSG_TEXT_FIELD(putTime, setPutTime, putTime)
ZROMSG_TEXT_FIELD(replyToQueueManagerName, setReplyToQueueManagerName, replyToQueueManagerName)
ZROMSG_TEXT_FIELD(replyToQueueName, setReplyToQueueName, replyToQueueName)
ZROMSG_TEXT_FIELD(userId, setUserId, userId)

#undef ZROMSG_TEXT_FIELD

int32_t ZroMsg::versionSupported() noexcept
{
    return g_versionSupported.load(std::memory_order_relaxed);
}

void ZroMsg::setVersionSupported(int32_t version) noexcept
{
    g_versionSupported.store(version, std::memory_order_relaxed);
}

std::ostream& operator<<(std::ostream& out, const ZroMsg& message)
{
    // Built whole, then written at once, so that the stream's width applies
    // to the description as one piece. Each format byte takes at most 4.
    static const char hex[] = "0123456789abcdef";
    char format[sizeof message.descriptor().format * 4 + 1];
    char* to = format;
    for (char c : message.descriptor().format) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
            *to++ = c;
        } else {
            *to++ = '\\';
            *to++ = 'x';
            *to++ = hex[byte >> 4];
            *to++ = hex[byte & 15];
        }
    }
    *to = '\0';
    char text[160];
    std::snprintf(text, sizeof text,
                  "format \"%s\", encoding %ld, character set %ld, data offset %u of %u", format,
                  static_cast<long>(message.encoding()), static_cast<long>(message.characterSet()),
                  message.dataOffset(), message.messageLength());
    return out << text;
}
