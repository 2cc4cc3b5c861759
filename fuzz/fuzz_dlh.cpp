// The dead-letter header (ZroDlh) read from the input as a message's data:
// 172 bytes at the data offset after the checks, then written back.
#include "zrofuzz.hpp"
#include "zroi/zrodlh.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto inspect = [](const ZroDlh& header, const ZroMsg&) { zrofuzz::checkFields(header); };
    return zrofuzz::fuzzHeader<ZroDlh>(data, size,
                                       {ZRDLH_STRUC_ID, ZRFMT_DEAD_LETTER_HEADER, ZRDLH_LENGTH},
                                       zrofuzz::Nothing{}, inspect);
}
