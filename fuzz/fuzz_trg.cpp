// The trigger message (ZroTrg) read from the input as a message's data, and
// its all-character form ZRTMC2.
//
// The read must follow the checks at the data offset in their order, then
// take exactly 684 bytes (6114 and nothing moved when fewer are left) and
// leave the message's description alone: a trigger message is a body.
// Written back, the record gives the very bytes read. The ZRTMC2 form must
// hold each character field's text (up to its first NUL, trailing blanks
// removed) padded with blanks, the spare integer right-aligned in 4
// characters, and 48 trailing blanks.
#include <string>

#include "zrofuzz.hpp"
#include "zroi/zrotrg.hpp"

namespace {

std::string spareInteger(int32_t value)
{
    std::string text = std::to_string(value);
    while (text.size() < 4) text.insert(0, 1, ' ');
    return text.substr(0, 4);
}

// Each character field of ZRTMC2 holds the text of the ZRTM field of the
// same name, as its getter gives it, blank padded; the spare integer stands
// right-aligned in its 4 characters.
void checkRendering(ZroTrg& trigger, const ZRTM& record)
{
    ZRTMC2 form;
    std::memset(&form, 0x01, sizeof form);
    ZROFUZZ_CHECK(trigger.copyOut(&form) == 1);
    const zroi::FieldTable characters = zroi::fields<ZRTMC2>();
    auto at = [&](const char* name) {
        const zroi::Field& field = *characters.find(name);
        return std::string(reinterpret_cast<const char*>(&form) + field.offset, field.width);
    };
    ZROFUZZ_CHECK(at("strucId") == ZRTMC2_STRUC_ID);
    ZROFUZZ_CHECK(at("version") == ZRTMC2_VERSION_TEXT);
    ZROFUZZ_CHECK(at("trailingText") == std::string(48, ' '));
    for (const zroi::Field& field : zroi::fields<ZRTM>()) {
        if (field.kind == zroi::FieldKind::text && field.accessor != nullptr) {
            std::string text(zroi::fieldText(field, &record));
            text.resize(field.width, ' ');
            ZROFUZZ_CHECK(at(field.name) == text);
        }
    }
    ZROFUZZ_CHECK(at("spareInteger") == spareInteger(record.spareInteger));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    zrofuzz::Input input(data, size);
    zrofuzz::Environment environment(input);
    const uint8_t plan = input.byte();
    ZroTrg trigger;
    std::vector<char> queue = input.bytes(input.byte() % 60);
    queue.push_back('\0');
    trigger.setQueueName(queue.data());
    zrofuzz::FuzzMessage message(input);

    const std::vector<char> whole = zrofuzz::messageBytes(*message);
    const unsigned offset = message->dataOffset();
    const ZRMD described = message->descriptor();
    const int32_t failing = zrofuzz::firstFailingCheck(*message, ZRTM_STRUC_ID, ZRFMT_TRIGGER);
    ZroMsg before;
    ZROFUZZ_CHECK(before.writeItem(trigger) == 1);

    if ((plan & 0x80) != 0) environment.planAllocationFailure(1 + plan % 8, (plan & 0x40) != 0);
    const unsigned char result = message->readItem(trigger);
    environment.planAllocationFailure(0, false);
    zrofuzz::checkCache(*message);
    zrofuzz::checkSameCodes(*message, trigger);
    ZROFUZZ_CHECK(zrofuzz::messageBytes(*message) == whole);
    // A body leaves the message's description alone, read or not.
    ZROFUZZ_CHECK(std::memcmp(&message->descriptor(), &described, sizeof(ZRMD)) == 0);

    ZroMsg after;
    ZROFUZZ_CHECK(after.writeItem(trigger) == 1);
    const std::vector<char> record = zrofuzz::messageBytes(after);
    ZROFUZZ_CHECK(record.size() == ZRTM_LENGTH);
    const bool enough = whole.size() - offset >= ZRTM_LENGTH;
    if (failing != 0 || !enough) {
        ZROFUZZ_CHECK(result == 0 && trigger.completionCode() == ZRCC_FAILED);
        ZROFUZZ_CHECK(trigger.reasonCode() == (failing != 0 ? failing : ZRRC_INSUFFICIENT_DATA));
        ZROFUZZ_CHECK(message->dataOffset() == offset);
        ZROFUZZ_CHECK(record == zrofuzz::messageBytes(before)); // the record untouched
    } else {
        ZROFUZZ_CHECK(result == 1 && trigger.completionCode() == 0);
        ZROFUZZ_CHECK(message->dataOffset() == offset + ZRTM_LENGTH);
        ZROFUZZ_CHECK(std::equal(record.begin(), record.end(), whole.begin() + offset));
    }
    ZRTM fields;
    std::memcpy(&fields, record.data(), sizeof fields);
    checkRendering(trigger, fields);
    ZROFUZZ_CHECK(trigger.copyOut(static_cast<ZRTMC2*>(nullptr)) == 0);
    ZROFUZZ_CHECK(trigger.completionCode() == 2 && trigger.reasonCode() == ZRRC_NULL_POINTER);
    return 0;
}
