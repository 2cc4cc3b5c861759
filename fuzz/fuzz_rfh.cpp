// The reference header (ZroRfh) read from the input as a message's data: a
// 108-byte fixed part and four texts placed by the record's own offsets and
// lengths, the data offset moved by its structure length (which may lie past
// the data and extend the message), then written back.
//
// Before the message, the input gives the object texts of its own (which a
// failed read may keep).
#include "zrofuzz.hpp"
#include "zroi/zrorfh.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto prepare = [](ZroRfh& header, zrofuzz::Input& input) {
        std::vector<char> text = input.bytes(input.byte() % 32);
        text.push_back('\0');
        header.setSourceName(text.data());
        header.setDestinationEnvironment(input.byte() % 2 == 0 ? nullptr : "ENV");
    };
    auto inspect = [](const ZroRfh& header, const ZroMsg&) {
        // The four texts stand behind the fixed part, outside its table.
        const ZroStr texts[] = {header.sourceEnvironment(), header.sourceName(),
                                header.destinationEnvironment(), header.destinationName()};
        for (const ZroStr& text : texts) zrofuzz::checkString(text);
        zrofuzz::checkFields(header);
        ZroBin id = header.instanceId();
        ZROFUZZ_CHECK(id.dataLength() == 24 || zrofuzz::isStorageFailure(id));
    };
    zrofuzz::HeaderFacts facts{ZRRMH_STRUC_ID, ZRFMT_REFERENCE_HEADER, 0};
    facts.extends = true;
    return zrofuzz::fuzzHeader<ZroRfh>(data, size, facts, prepare, inspect);
}
