// Writes the seed corpora of the fuzz targets: zroseed <directory>.
//
// Each seed is one input in its target's layout (see the target and
// zrofuzz.hpp), made from messages the library itself writes, as the tests
// build them: bodies, header chains, a trigger message, and operation
// sequences taken from the tests' edge cases. scripts/fuzz --seeds runs it
// into fuzz/corpus/, where the seeds are committed.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "zrofuzz.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zroi.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrotrg.hpp"
#include "zroi/zrowih.hpp"

namespace {

std::string g_directory;

void seed(const char* target, const char* name, const std::string& bytes)
{
    const std::string folder = g_directory + "/" + target;
    mkdir(g_directory.c_str(), 0777);
    mkdir(folder.c_str(), 0777);
    const std::string path = folder + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fclose(file);
}

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

std::string u16(unsigned v)
{
    return bytes({static_cast<int>(v & 0xff), static_cast<int>(v >> 8)});
}
std::string u32(uint32_t v) { return u16(v & 0xffff) + u16(v >> 16); }

// The FuzzMessage part of an input: the message's format, encoding,
// character set and data offset, then its data from the start.
std::string messageInput(const ZroMsg& message, bool userBuffer = false)
{
    std::string out;
    unsigned index = zrofuzz::kFormatCount;
    for (unsigned i = 0; i < zrofuzz::kFormatCount; ++i)
        if (message.formatIs(zrofuzz::kFormats[i])) index = i;
    out += static_cast<char>(index);
    int flags = userBuffer ? 4 : 0;
    if (message.encoding() != ZRENC_NATIVE) flags |= 3;
    if (message.characterSet() != 0) flags |= 8;
    if (message.dataOffset() != 0) flags |= 16;
    out += static_cast<char>(flags);
    if (index == zrofuzz::kFormatCount) out.append(message.descriptor().format, ZRFMT_WIDTH);
    if ((flags & 3) == 3) out += u32(static_cast<uint32_t>(message.encoding()));
    if ((flags & 8) != 0) out += u32(static_cast<uint32_t>(message.characterSet()));
    if ((flags & 16) != 0) out += u16(message.dataOffset());
    return out + std::string(message.bufferPointer(), message.messageLength());
}

ZroMsg stringMessage(const char* text)
{
    ZroMsg message;
    ZroStr body(text);
    message.writeItem(body);
    message.setDataOffset(0);
    return message;
}

void bodySeeds()
{
    const char* t = "fuzz_body_items";
    // environment, choice (even: string, odd: binary), plan, previous text
    auto head = [](int choice, const std::string& previous) {
        return bytes({0, choice, 0, static_cast<int>(previous.size())}) + previous;
    };
    seed(t, "string_hello", head(0, "old") + messageInput(stringMessage("hello")));
    ZroMsg nul;
    ZroBin withNul("ab\0cd", 5);
    nul.writeItem(withNul);
    nul.setFormat(ZRFMT_STRING);
    nul.setDataOffset(0);
    seed(t, "string_embedded_nul", head(0, "") + messageInput(nul));
    ZroMsg empty = stringMessage("");
    seed(t, "string_empty_keeps_previous", head(2, "previous") + messageInput(empty));
    ZroMsg binary;
    ZroBin b("\x01\x02\x00\xff", 4);
    binary.writeItem(b);
    binary.setDataOffset(0);
    seed(t, "binary_bytes", head(1, "") + messageInput(binary, true));
    seed(t, "binary_wrong_format", head(1, "x") + messageInput(stringMessage("abc")));
    ZroMsg offset = stringMessage("skip this:read this");
    offset.setDataOffset(10);
    seed(t, "string_from_offset", head(0, "") + messageInput(offset));
}

void headerSeeds()
{
    const char* t = "fuzz_kih";
    // environment, plan, twice, version choice (0 as constructed, 1 version 1)
    ZroMsg chain = stringMessage("data for the transaction");
    ZroKih header;
    header.setTransactionIdentifier("TRN1");
    header.setFacilityToken(reinterpret_cast<const unsigned char*>("FACILITY"));
    chain.writeItem(header);
    chain.setDataOffset(0);
    seed(t, "version2_before_string", bytes({0, 0, 0, 0}) + messageInput(chain));
    seed(t, "version2_read_twice", bytes({1, 0, 1, 0}) + messageInput(chain));

    ZroMsg first = stringMessage("body");
    ZroKih one;
    one.setVersion(ZRKIH_VERSION_1);
    first.writeItem(one);
    first.setDataOffset(0);
    seed(t, "version1", bytes({0, 0, 0, 1}) + messageInput(first));
    seed(t, "version1_read_as_2", bytes({0, 0, 0, 0}) + messageInput(first));
    ZroMsg foreign = chain;
    foreign.setEncoding(785);
    seed(t, "wrong_encoding", bytes({3, 0, 0, 0}) + messageInput(foreign));
    foreign = chain;
    foreign.setMessageLength(100);
    seed(t, "truncated", bytes({2, 0, 0, 0}) + messageInput(foreign, true));
}

// A header target's seeds: the header before a string body, read once and
// twice, with the wrong encoding, and cut short. `prepare` is the bytes the
// target reads before the message.
void headerTargetSeeds(const char* target, ZroHdr& header, const std::string& prepare = "")
{
    ZroMsg chain = stringMessage("the body behind the header");
    chain.writeItem(header);
    chain.setDataOffset(0);
    // environment, plan, twice
    seed(target, "before_string", bytes({0, 0, 0}) + prepare + messageInput(chain));
    seed(target, "read_twice_listening", bytes({1, 0, 1}) + prepare + messageInput(chain));
    ZroMsg foreign = chain;
    foreign.setEncoding(785);
    seed(target, "wrong_encoding", bytes({3, 0, 0}) + prepare + messageInput(foreign));
    ZroMsg shortened = chain;
    shortened.setMessageLength(shortened.messageLength() / 3);
    seed(target, "truncated", bytes({2, 0, 0}) + prepare + messageInput(shortened, true));
}

void moreHeaderSeeds()
{
    ZroDlh deadLetter;
    deadLetter.setDestinationQueueName("Q.TARGET");
    deadLetter.setDestinationQueueManagerName("QM1");
    deadLetter.setPutApplicationName("putter");
    headerTargetSeeds("fuzz_dlh", deadLetter);
    ZroRih rpx;
    rpx.setLogicalTerminalOverride("LTERM01");
    rpx.setReplyToFormat(ZRFMT_STRING);
    headerTargetSeeds("fuzz_rih", rpx);
    ZroWih work;
    work.setServiceName("ORDERS");
    work.setServiceStep("STEP1");
    headerTargetSeeds("fuzz_wih", work);
    ZroRfh reference;
    reference.setReferenceType("FILE");
    reference.setSourceEnvironment("env");
    reference.setSourceName("/in/a.dat");
    reference.setDestinationName("/out/b.dat");
    // the object's own source name (length, text) and destination environment choice
    headerTargetSeeds("fuzz_rfh", reference, bytes({3}) + "old" + bytes({1}));
}

void chainSeeds()
{
    const char* t = "fuzz_chain";
    ZroMsg message = stringMessage("the body at the end of the chain");
    ZroKih kota;
    ZroKih kotaVersion1;
    kotaVersion1.setVersion(ZRKIH_VERSION_1);
    ZroRih rpx;
    ZroWih work;
    ZroRfh reference;
    reference.setSourceName("/in/a.dat");
    ZroDlh deadLetter;
    ZroHdr* headers[] = {&kotaVersion1, &kota, &rpx, &work, &reference, &deadLetter};
    for (ZroHdr* header : headers) message.writeItem(*header);
    message.setDataOffset(0);
    // environment, versions (bit n: the nth KOTA header read as version 1)
    seed(t, "every_header", bytes({0, 0x20}) + messageInput(message));
    ZroMsg trigger;
    ZroTrg body;
    body.setQueueName("Q");
    trigger.writeItem(body);
    trigger.writeItem(deadLetter);
    trigger.setDataOffset(0);
    seed(t, "trigger_behind_dead_letter", bytes({1, 0}) + messageInput(trigger));
    ZroMsg binary;
    ZroBin bytes4("\x01\x02\x03\x04", 4);
    binary.writeItem(bytes4);
    binary.writeItem(work);
    binary.setDataOffset(0);
    seed(t, "binary_behind_work", bytes({0, 0}) + messageInput(binary, true));
}

void triggerSeeds()
{
    const char* t = "fuzz_trg";
    ZroTrg trigger;
    trigger.setQueueName("QUEUE.INITIATION");
    trigger.setProcessName("PROCESS.ONE");
    trigger.setTriggerData("some trigger data");
    trigger.setApplicationId("/usr/bin/application");
    trigger.setEnvironmentData("ENV=1");
    trigger.setUserData("user data   ");
    ZroMsg message;
    message.writeItem(trigger);
    message.setDataOffset(0);
    // environment, plan, length of a queue name set before, the name
    seed(t, "trigger", bytes({0, 0, 3}) + "OLD" + messageInput(message));
    ZroMsg shortened = message;
    shortened.setMessageLength(683);
    seed(t, "truncated", bytes({1, 0, 0}) + messageInput(shortened, true));
}

void stringSeeds()
{
    const char* t = "fuzz_string_readers";
    // environment, plan, how (0 set, 1 bytes, 2 text), length, text, then operations
    auto text = [](const std::string& s, int how = 2) {
        return bytes({0, 0, how, static_cast<int>(s.size())}) + s;
    };
    seed(t, "numbers", text("  -42abc") + bytes({0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
    seed(t, "numbers_cut", text("12,34") + bytes({1, 0, 0, 0, 0, 2, 44, 0, 0}));
    seed(t, "tokens_comma",
         text(",,a,b,,c") + bytes({2, 44, 0, 0, 3, 44, 0, 0, 3, 44, 0, 0, 3, 44, 0, 0}));
    seed(t, "tokens_blank", text("  a  b") + bytes({3, 32, 0, 0, 3, 32, 0, 0, 4, 32}));
    seed(t, "find", text("abcb") + bytes({5, 2, 1, 98, 0, 2}));
    seed(t, "strip", text("xxab  ") + bytes({6, 1, 120, 7, 0}));
    seed(t, "double_format", text("v=") + bytes({8, 1}) + u32(5) + bytes({1, 4}) + "%.2f");
    seed(t, "double_bits", text("") + bytes({8, 2}) + u32(0) + u32(0x7ff00000) + bytes({2}) + "%f");
    seed(t, "double_no_format", text("x") + bytes({8, 7}) + u32(9) + bytes({0, 0}));
    seed(t, "long", text("n=") + bytes({9}) + u32(0xfffffffb) + u32(0xffffffff));
    seed(t, "bytes_with_nul", text("ab", 0) + bytes({10, 3, 'x', 0, 'y'}));
    seed(t, "substring", text("abc") + bytes({11, 0, 1, 0, 0, 11, 0, 2, 0, 2}));
    seed(t, "field", text("ABCDEF") + bytes({12, 4, '*', 12, 10, ' '}));
    seed(t, "upper_set_append",
         text("mixed Case", 1) +
             bytes({13, 14, 5, 'Q', 'U', 0, 'E', 'E', 15, 0, 2, 2, 'z', 'z', 0}));
}

void cacheSeeds()
{
    const char* t = "fuzz_cache_sequence";
    // Operations in the target's layout: operation, object (0, 1 messages,
    // 2 the plain cache), then the operation's choices; lengths are
    // literal (selector 0, one byte), sources and destinations the
    // target's own storage (kind 0).
    auto write = [](int object, int n) {
        return bytes({0, object, 0, n, 0}) + std::string(static_cast<std::size_t>(n), 'w');
    };
    auto read = [](int object, int n) { return bytes({1, object, 0, n, 0}); };
    auto offset = [](int object, int n) { return bytes({4, object, 0, n}); };
    auto resize = [](int object, int n) { return bytes({3, object, 0, n}); };
    auto length = [](int object, int n) { return bytes({5, object, 0, n}); };
    auto user = [](int op, int object, int n) {
        return bytes({op, object, 1}) + u16(static_cast<unsigned>(n)) + bytes({0}) +
               std::string(static_cast<std::size_t>(n), 'u');
    };
    auto assign = [](int target, int source, int asMessages) {
        return bytes({9, target, source, asMessages % 2 == 0 ? 0 : 1});
    };
    auto plan = [](int nth) { return bytes({11, 0, nth}); };

    seed(t, "growth", bytes({0}) + write(0, 10) + write(0, 1) + offset(0, 0) + read(0, 11));
    seed(t, "user_buffer", bytes({1}) + user(7, 0, 16) + write(0, 17) + resize(0, 16));
    seed(t, "user_buffer_full", bytes({0}) + user(8, 1, 100) + read(1, 50) + user(7, 1, 0));
    seed(t, "assignment",
         bytes({0}) + write(0, 40) + offset(0, 30) + assign(2, 0, 1) + bytes({10, 0}) +
             user(7, 1, 20) + assign(1, 0, 0) + assign(1, 0, 1));
    seed(t, "cursor", bytes({3}) + write(1, 20) + offset(1, 50) + length(1, 4) + bytes({6, 1}));
    seed(t, "no_storage",
         bytes({1}) + write(0, 8) + plan(1) + resize(0, 200) + plan(2) + bytes({10, 0}) +
             write(0, 100));
    seed(t, "refused",
         bytes({2}) + bytes({0, 0, 0, 8, 6}) + bytes({1, 0, 0, 8, 7}) + user(7, 2, 0) +
             bytes({7, 2, 1}) + u16(16) + bytes({7}));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zroseed <directory>\n");
        return 2;
    }
    g_directory = argv[1];
    bodySeeds();
    headerSeeds();
    moreHeaderSeeds();
    chainSeeds();
    triggerSeeds();
    stringSeeds();
    cacheSeeds();
    return 0;
}
