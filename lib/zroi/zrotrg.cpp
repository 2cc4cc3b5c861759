// ZroTrg: the trigger message and its character form.
#include "zroi/zrotrg.hpp"

#include <cstdio>
#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"
#include "zroi/zromsg.hpp"
#include "zroproto.hpp"

ZROI_IDENT("lib/zroi/zrotrg")

namespace {

constexpr unsigned FN_COPY_OUT_CHARACTERS = 51;
constexpr unsigned FN_PASTE_IN = 52;

constexpr auto kFacts = zroItemFacts<ZRTM_LONG_NAME>(ZRTM_STRUC_ID, ZRFMT_TRIGGER, FN_PASTE_IN);

/// A text field of the record in the character form: its text as the
/// getter gives it, blank-filled to the full width. A copy that fails
/// (no storage for the text, a target refused) is not reported.
void renderText(char* target, const char* field, unsigned width)
{
    ZroStr text = zrofield::text(field, width);
    text.copyOut(target, width, ' ');
}

/// The spare integer in the character form: decimal, right-aligned in the
/// field with blanks; a number longer than the field keeps its first
/// characters (a five-digit number loses its last digit).
void renderNumber(char (&target)[4], int32_t value)
{
    char digits[16]; // "%ld" of a 32-bit value takes at most 11 characters
    const int written = std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(value));
    const unsigned length = written > 0 ? static_cast<unsigned>(written) : 0u;
    std::memset(target, ' ', sizeof target);
    if (length >= sizeof target)
        std::memcpy(target, digits, sizeof target);
    else
        std::memcpy(target + (sizeof target - length), digits, length);
}

/// Every character field empty (all its bytes NUL), the spare integer 0.
constexpr ZRTM makeDefaultRecord()
{
    ZRTM record{};
    zrohdrframe::put(record.strucId, ZRTM_STRUC_ID);
    record.version = ZRTM_VERSION_1;
    return record;
}

constexpr ZRTM kDefaultRecord = makeDefaultRecord();

} // namespace

ZroTrg::ZroTrg() noexcept : record_(kDefaultRecord) {}

ZroTrg::~ZroTrg() = default;

void ZroTrg::operator=(const ZroTrg& other) noexcept
{
    if (&other == this) return;
    ZroItm::operator=(other);
    record_ = other.record_;
}

// ---- The trigger message as a message body ---------------------------------

unsigned char ZroTrg::copyOut(ZroMsg& message)
{
    return ZroProtocol::replaceData(*this, message, &record_, ZRTM_LENGTH, ZRFMT_TRIGGER);
}

unsigned char ZroTrg::pasteIn(ZroMsg& message)
{
    if (!ZroProtocol::checkAtDataOffset(*this, message, kFacts)) return 0;
    return ZroProtocol::readRecord(*this, message, &record_, ZRTM_LENGTH);
}

// ---- The character form -----------------------------------------------------

unsigned char ZroTrg::copyOut(ZRTMC2* target)
{
    if (target == nullptr)
        return fail(FN_COPY_OUT_CHARACTERS, "ZroTrigger::copyOut (error): null pointer to ZRTMC2",
                    ZRCC_FAILED, ZRRC_NULL_POINTER);
    std::memcpy(target->strucId, ZRTMC2_STRUC_ID, sizeof target->strucId);
    std::memcpy(target->version, ZRTMC2_VERSION_TEXT, sizeof target->version);
    renderText(target->queueName, record_.queueName, sizeof record_.queueName);
    renderText(target->processName, record_.processName, sizeof record_.processName);
    renderText(target->triggerData, record_.triggerData, sizeof record_.triggerData);
    renderNumber(target->spareInteger, record_.spareInteger);
    renderText(target->applId, record_.applId, sizeof record_.applId);
    renderText(target->environmentData, record_.environmentData, sizeof record_.environmentData);
    renderText(target->userData, record_.userData, sizeof record_.userData);
    std::memset(target->trailingText, ' ', sizeof target->trailingText);
    return 1;
}

// ---- Character fields -------------------------------------------------------

ZROFIELD_TEXT(ZroTrg, queueName, setQueueName)
ZROFIELD_TEXT(ZroTrg, processName, setProcessName)
ZROFIELD_TEXT(ZroTrg, triggerData, setTriggerData)
ZROFIELD_TEXT_OF(ZroTrg, applicationId, setApplicationId, applId)
ZROFIELD_TEXT(ZroTrg, environmentData, setEnvironmentData)
ZROFIELD_TEXT(ZroTrg, userData, setUserData)
