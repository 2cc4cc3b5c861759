// A chain of headers and a body walked from the input, as a reader of
// received messages walks it: the message's format names the next item,
// outermost first, until a body or an unknown format.
//
// Every header read must move the cursor forward (so the walk ends), hand
// its description to the message and leave the data before the cursor as it
// was; a failed read leaves the message's description alone and gives the
// message the item's codes. The body ends the walk: a string or a binary
// takes the rest, a trigger message its 684 bytes.
#include <memory>

#include "zrofuzz.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrotrg.hpp"
#include "zroi/zrowih.hpp"

namespace {

// The item a format names: a header (true) or a body (false), or none.
std::unique_ptr<ZroItm> itemFor(const ZroMsg& message, bool& header, uint8_t version)
{
    header = true;
    if (message.formatIs(ZRFMT_DEAD_LETTER_HEADER)) return std::make_unique<ZroDlh>();
    if (message.formatIs(ZRFMT_RPX_BRIDGE_HEADER)) return std::make_unique<ZroRih>();
    if (message.formatIs(ZRFMT_WORK_INFO_HEADER)) return std::make_unique<ZroWih>();
    if (message.formatIs(ZRFMT_REFERENCE_HEADER)) return std::make_unique<ZroRfh>();
    if (message.formatIs(ZRFMT_KOTA_BRIDGE_HEADER)) {
        auto kota = std::make_unique<ZroKih>();
        if (version % 2 != 0) kota->setVersion(ZRKIH_VERSION_1);
        return kota;
    }
    header = false;
    if (message.formatIs(ZRFMT_TRIGGER)) return std::make_unique<ZroTrg>();
    if (message.formatIs(ZRFMT_STRING)) return std::make_unique<ZroStr>();
    if (message.formatIs(ZRFMT_NONE)) return std::make_unique<ZroBin>();
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    zrofuzz::Input input(data, size);
    zrofuzz::Environment environment(input);
    const uint8_t versions = input.byte(); // bit n: the nth KOTA header is read as version 1
    zrofuzz::FuzzMessage message(input);
    const std::vector<char> whole = zrofuzz::messageBytes(*message);

    for (unsigned step = 0; step < 32; ++step) {
        bool header = false;
        std::unique_ptr<ZroItm> item = itemFor(*message, header, versions >> (step % 8));
        if (item == nullptr) break;
        const unsigned offset = message->dataOffset();
        const unsigned length = message->messageLength();
        const ZRMD described = message->descriptor();
        const unsigned char result = message->readItem(*item);
        zrofuzz::checkCache(*message);
        zrofuzz::checkSameCodes(*message, *item);
        // The data read stays as it was; a reference header may extend the message.
        ZROFUZZ_CHECK(message->messageLength() >= length);
        ZROFUZZ_CHECK(zrofuzz::keeps(*message, whole, true));
        if (result == 0) {
            ZROFUZZ_CHECK(item->completionCode() == ZRCC_FAILED);
            ZROFUZZ_CHECK(std::memcmp(&message->descriptor(), &described, sizeof(ZRMD)) == 0);
            break;
        }
        ZROFUZZ_CHECK(message->dataOffset() >= offset);
        if (!header) {
            // A body leaves the description alone; a string or binary takes all.
            ZROFUZZ_CHECK(std::memcmp(&message->descriptor(), &described, sizeof(ZRMD)) == 0);
            if (dynamic_cast<ZroTrg*>(item.get()) == nullptr)
                ZROFUZZ_CHECK(message->dataLength() == 0);
            break;
        }
        ZROFUZZ_CHECK(message->dataOffset() - offset >= ZRSTRUC_ID_WIDTH);
        const auto* read = static_cast<const ZroHdr*>(item.get());
        ZROFUZZ_CHECK(message->encoding() == read->encoding());
        ZROFUZZ_CHECK(message->characterSet() == read->characterSet());
        ZROFUZZ_CHECK(std::memcmp(message->descriptor().format,
                                  zrofuzz::padded(read->format()).data(), ZRFMT_WIDTH) == 0);
    }
    return 0;
}
