// The work information header (ZroWih) read from the input as a message's
// data: 120 bytes at the data offset after the checks, then written back.
#include "zrofuzz.hpp"
#include "zroi/zrowih.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto inspect = [](const ZroWih& header, const ZroMsg&) {
        zrofuzz::checkFields(header);
        ZroBin token = header.messageToken();
        ZROFUZZ_CHECK(token.dataLength() == 16 || zrofuzz::isStorageFailure(token));
    };
    return zrofuzz::fuzzHeader<ZroWih>(data, size,
                                       {ZRWIH_STRUC_ID, ZRFMT_WORK_INFO_HEADER, ZRWIH_LENGTH},
                                       zrofuzz::Nothing{}, inspect);
}
