// ZroDlh: the dead-letter header.
#include "zroi/zrodlh.hpp"

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"

ZROI_IDENT("lib/zroi/zrodlh")

namespace {

constexpr unsigned FN_PASTE_IN = 10;
/// The names, date and time are empty (all NUL), the spare integers 0.
constexpr auto kDefaultRecord = zrohdrframe::startRecord<ZRDLH>(ZRDLH_STRUC_ID, ZRDLH_VERSION_1);

} // namespace

ZROI_HEADER_FRAME(ZroDlh, ZRDLH, ZRFMT_DEAD_LETTER_HEADER, FN_PASTE_IN, true);

ZroDlh::ZroDlh() noexcept : ZroHdrFrame(kDefaultRecord) {}

ZroDlh::ZroDlh(const ZroDlh& other) noexcept : ZroHdrFrame(other)
{
    setHeaderFlags(other.headerFlags());
}

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
