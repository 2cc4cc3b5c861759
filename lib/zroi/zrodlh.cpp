// ZroDlh: the dead-letter header.
#include "zroi/zrodlh.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"

ZROI_IDENT("lib/zroi/zrodlh")

namespace {

constexpr unsigned FN_PASTE_IN = 10;
constexpr auto kTexts = zroCheckTexts(ZRDLH_LONG_NAME);
constexpr ZroItemFacts kFacts{ZRDLH_STRUC_ID, ZRFMT_DEAD_LETTER_HEADER, kTexts, FN_PASTE_IN, true};

/// Every byte not set here is 0: the names, date and time are empty and the
/// spare integers 0.
constexpr ZRDLH makeDefaultRecord()
{
    ZRDLH record{};
    for (unsigned i = 0; i < sizeof record.strucId; ++i) record.strucId[i] = ZRDLH_STRUC_ID[i];
    record.version = ZRDLH_VERSION_1;
    record.encoding = ZRENC_NATIVE;
    for (char& c : record.format) c = ' ';
    return record;
}

constexpr ZRDLH kDefaultRecord = makeDefaultRecord();

} // namespace

ZROI_HEADER_FRAME(ZroDlh, ZRDLH, kFacts);

ZroDlh::ZroDlh() noexcept : ZroHdrFrame(kDefaultRecord) {}

ZroDlh::ZroDlh(const ZroDlh& other) noexcept : ZroHdrFrame(other)
{
    setHeaderFlags(other.headerFlags());
}

ZroDlh::~ZroDlh() = default;

void ZroDlh::operator=(const ZroDlh& other) noexcept
{
    if (&other == this) return;
    ZroHdrFrame::operator=(other);
    setHeaderFlags(other.headerFlags());
}

ZROFIELD_TEXT(ZroDlh, destinationQueueName, setDestinationQueueName)
ZROFIELD_TEXT(ZroDlh, destinationQueueManagerName, setDestinationQueueManagerName)
ZROFIELD_TEXT_OF(ZroDlh, putApplicationName, setPutApplicationName, putApplName)
ZROFIELD_TEXT(ZroDlh, putDate, setPutDate)
ZROFIELD_TEXT(ZroDlh, putTime, setPutTime)
