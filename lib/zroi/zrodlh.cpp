// ZroDlh: the dead-letter header.
#include "zroi/zrodlh.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zroi/zromsg.hpp"
#include "zroproto.hpp"

ZROI_IDENT("lib/zroi/zrodlh")

namespace {

constexpr unsigned FN_PASTE_IN = 10;
constexpr ZroItemFacts kFacts{ZRDLH_STRUC_ID, ZRFMT_DEAD_LETTER_HEADER, ZRDLH_LONG_NAME,
                              FN_PASTE_IN};

} // namespace

ZroDlh::ZroDlh() noexcept : record_{}
{
    // Every byte not set here is 0: the names, date and time are empty and
    // the spare integers 0.
    std::memcpy(record_.strucId, ZRDLH_STRUC_ID, sizeof record_.strucId);
    record_.version = ZRDLH_VERSION_1;
    record_.encoding = ZRENC_NATIVE;
    std::memcpy(record_.format, ZRFMT_NONE, sizeof record_.format);
}

ZroDlh::ZroDlh(const ZroDlh& other) noexcept : ZroHdr(other), record_(other.record_)
{
    setHeaderFlags(other.headerFlags());
}

ZroDlh::~ZroDlh() = default;

void ZroDlh::operator=(const ZroDlh& other) noexcept
{
    if (&other == this) return;
    ZroHdr::operator=(other);
    record_ = other.record_;
    setHeaderFlags(other.headerFlags());
}

unsigned char ZroDlh::copyOut(ZroMsg& message)
{
    return ZroProtocol::putRecordInFront(*this, message, record_, ZRFMT_DEAD_LETTER_HEADER);
}

unsigned char ZroDlh::pasteIn(ZroMsg& message)
{
    ZroFrame frame(*this, FN_PASTE_IN);
    return ZroProtocol::takeRecord(*this, message, record_, kFacts);
}

ZroStr ZroDlh::format() const { return zrofield::textKept(record_.format, sizeof record_.format); }

void ZroDlh::setFormat(const char* name)
{
    zrofield::setText(record_.format, sizeof record_.format, name, ' ');
}

// The text fields: trailing blanks removed, NUL padded.
#define ZRODLH_TEXT_FIELD(getter, setter, field)                                                  \
    ZroStr ZroDlh::getter() const { return zrofield::text(record_.field, sizeof record_.field); } \
    void ZroDlh::setter(const char* text)                                                         \
    {                                                                                             \
        zrofield::setText(record_.field, sizeof record_.field, text, '\0');                       \
    }

ZRODLH_TEXT_FIELD(destinationQueueName, setDestinationQueueName, destinationQueueName)
ZRODLH_TEXT_FIELD(destinationQueueManagerName, setDestinationQueueManagerName,
                  destinationQueueManagerName)
ZRODLH_TEXT_FIELD(putApplicationName, setPutApplicationName, putApplName)
ZRODLH_TEXT_FIELD(putDate, setPutDate, putDate)
ZRODLH_TEXT_FIELD(putTime, setPutTime, putTime)

#undef ZRODLH_TEXT_FIELD
