// The KOTA bridge header (ZroKih) read from the input as a message's data.
//
// Before the message, one byte picks the object's version (which decides
// how much is read): 2 as constructed, 1, or any value through setVersion
// (refused unless 1 or 2). Reading twice from the same place reaches the
// refusal of a version read from the data.
#include "zrofuzz.hpp"
#include "zroi/zrokih.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto prepare = [](ZroKih& header, zrofuzz::Input& input) {
        const uint8_t choice = input.byte();
        if (choice % 4 == 1) header.setVersion(ZRKIH_VERSION_1);
        if (choice % 4 == 2) header.setVersion(input.i32());
    };
    auto inspect = [](const ZroKih& header, const ZroMsg&) {
        zrofuzz::checkFields(header);
        ZroBin token = header.facilityToken();
        ZROFUZZ_CHECK(token.dataLength() == 8 || zrofuzz::isStorageFailure(token));
    };
    auto writable = [](const ZroKih& header) {
        return header.version() == ZRKIH_VERSION_1 || header.version() == ZRKIH_VERSION_2;
    };
    return zrofuzz::fuzzHeader<ZroKih>(data, size, {ZRKIH_STRUC_ID, ZRFMT_KOTA_BRIDGE_HEADER, 0},
                                       prepare, inspect, writable);
}
