// The RPX bridge header (ZroRih) read from the input as a message's data:
// 84 bytes at the data offset after the checks, then written back.
#include "zrofuzz.hpp"
#include "zroi/zrorih.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto inspect = [](const ZroRih& header, const ZroMsg&) {
        zrofuzz::checkFields(header);
        ZroBin id = header.transactionInstanceId();
        ZROFUZZ_CHECK(id.dataLength() == 16 || zrofuzz::isStorageFailure(id));
    };
    return zrofuzz::fuzzHeader<ZroRih>(data, size,
                                       {ZRRIH_STRUC_ID, ZRFMT_RPX_BRIDGE_HEADER, ZRRIH_LENGTH},
                                       zrofuzz::Nothing{}, inspect);
}
