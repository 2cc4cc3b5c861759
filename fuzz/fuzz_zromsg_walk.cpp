// The zromsg tool's chain walker on the input as message data, and its
// builder on what the walker reported.
//
// The input is the data as a get hands it over; the sample messages of
// examples/messages/ are its seeds. Whatever the bytes, the walker reads the
// chain to a body or reports a break inside the data with a reason or a
// sentence, and its text rendering answers. A description of a chain read to
// its body is composed again (or refused with a reason); composed bytes are
// a fixed point: walking and composing them gives them back exactly.
#include <string>
#include <vector>

#include "zrofuzz.hpp"
#include "zromsg_core.hpp"

namespace {

using zromsg::json;

int walk(const unsigned char* data, std::size_t size, json& document)
{
    zromsg::JsonOutput output;
    const int status = zromsg::walk(data, size, nullptr, output);
    document = output.document();
    ZROFUZZ_CHECK(status == 0 || status == 1);
    ZROFUZZ_CHECK(document["size"] == size);
    if (status == 0) {
        ZROFUZZ_CHECK(document.contains("body") && !document.contains("broken"));
    } else {
        ZROFUZZ_CHECK(document.contains("broken"));
        const json& broken = document["broken"];
        ZROFUZZ_CHECK(broken["offset"].get<std::size_t>() <= size);
        ZROFUZZ_CHECK(!broken["why"].get<std::string>().empty());
    }
    ZROFUZZ_CHECK(!zromsg::renderText(document).empty());
    return status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    json document;
    if (walk(data, size, document) != 0) return 0;

    std::vector<unsigned char> bytes;
    std::string error;
    const int composed = zromsg::compose(document, bytes, error);
    ZROFUZZ_CHECK(composed == 0 || (composed == 2 && !error.empty()));
    if (composed != 0) return 0;

    json again;
    ZROFUZZ_CHECK(walk(bytes.data(), bytes.size(), again) == 0);
    std::vector<unsigned char> twice;
    ZROFUZZ_CHECK(zromsg::compose(again, twice, error) == 0);
    ZROFUZZ_CHECK(twice == bytes);
    return 0;
}
