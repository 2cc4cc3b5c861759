// With nobody observing, header writes and reads take shortcuts of their
// own (the description handed over word by word, room found without the
// traced cache calls, texts read into the strings in place). Whatever they
// do must be what the traced path does: the same results, codes, bytes,
// descriptor and objects, over the chain and its failures.
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zroi.hpp"
#include "zrotest.hpp"

namespace {

struct Items {
    ZroStr body{"body text, some 32 bytes of it.."};
    ZroWih wih;
    ZroRfh rfh;
    ZroDlh dlh;
    ZroKih kih;
    ZroRih rih;
};

// Everything an application could see after each step.
struct Transcript {
    std::vector<std::string> steps;

    void note(const ZroMsg& message, const ZroErr& item, int result)
    {
        std::string s = std::to_string(result) + "/" + std::to_string(item.completionCode()) + "/" +
                        std::to_string(item.reasonCode()) + "|";
        if (message.bufferPointer() != nullptr)
            s.append(message.bufferPointer(), message.messageLength());
        s.append(reinterpret_cast<const char*>(&message.descriptor()), sizeof(ZRMD));
        s += "|" + std::to_string(message.dataOffset()) + "/" +
             std::to_string(message.messageLength()) + "/" + std::to_string(message.bufferLength());
        steps.push_back(s);
    }
    template <class R> void record(const R& r)
    {
        steps.emplace_back(reinterpret_cast<const char*>(&r), sizeof r);
    }
};

Transcript run()
{
    Transcript t;
    Items out, in;
    out.wih.setServiceName("SERVICE");
    out.rfh.setReferenceType("FILE");
    out.rfh.setSourceEnvironment("src.env");
    out.rfh.setSourceName("a source name of some length");
    out.rfh.setDestinationName("dest");
    out.dlh.setDestinationQueueName("QUEUE");
    out.kih.setTransactionIdentifier("TX01");
    out.rih.setLogicalTerminalOverride("LTERM1");
    ZroMsg message;
    auto write = [&](ZroItm& item) { t.note(message, item, message.writeItem(item)); };
    auto read = [&](ZroItm& item) { t.note(message, item, message.readItem(item)); };
    auto texts = [&] {
        for (const ZroStr& s : {in.rfh.sourceEnvironment(), in.rfh.sourceName(),
                                in.rfh.destinationEnvironment(), in.rfh.destinationName()})
            t.steps.emplace_back(s.view());
        t.record(in.wih.record());
        t.record(in.dlh.record());
        t.record(in.rfh.record());
    };
    // The chain twice into one message (a fresh buffer, then reuse), each
    // time read back into the same objects; format names of 8 characters,
    // shorter ones and one holding a blank.
    for (const char* format : {"APPLFMT1", "AF", "A B"}) {
        message.setFormat(format);
        message.setEncoding(546);
        message.setCharacterSet(1208);
        message.setDataOffset(0);
        message.setMessageLength(0);
        write(out.body);
        write(out.wih);
        write(out.rfh);
        write(out.dlh);
        message.setDataOffset(0);
        read(in.dlh);
        read(in.rfh);
        read(in.wih);
        read(in.body);
        texts();
        out.rfh.setSourceName(format); // a text of another length next time
    }
    // The other two on a body of their own, read back, then a header that
    // is not there.
    message.setDataOffset(0);
    message.setMessageLength(0);
    write(out.body);
    write(out.kih);
    write(out.rih);
    message.setDataOffset(0);
    read(in.rih);
    read(in.kih);
    read(in.dlh);
    t.record(in.kih.record());
    t.record(in.rih.record());
    // A user buffer with no room for the header in front: refused.
    char user[ZRDLH_LENGTH + 8] = "data";
    message.useFullBuffer(user, 8);
    write(out.dlh);
    write(out.wih);
    // Headers cut short, read from every length below their own.
    ZroMsg full;
    full.writeItem(out.body);
    full.writeItem(out.rfh);
    full.writeItem(out.dlh);
    const std::vector<char> whole(full.bufferPointer(),
                                  full.bufferPointer() + full.messageLength());
    for (unsigned n = 0; n < unsigned{ZRDLH_LENGTH + ZRRMH_FIXED_LENGTH + 40}; n += 7) {
        ZroMsg cut;
        cut.useFullBuffer(whole.data(), n);
        cut.setFormat(ZRFMT_DEAD_LETTER_HEADER);
        t.note(cut, in.dlh, cut.readItem(in.dlh));
        t.note(cut, in.rfh, cut.readItem(in.rfh));
    }
    texts();
    return t;
}

using ZroQuietTest = ZroTest;

TEST_F(ZroQuietTest, UnobservedChainDoesWhatTheTracedOneDoes)
{
    const Transcript traced = run();
    EXPECT_FALSE(records().empty());
    const bool quietNow = unobserved();
    const Transcript quiet = run();
    ASSERT_EQ(quiet.steps.size(), traced.steps.size());
    for (std::size_t i = 0; i < quiet.steps.size(); ++i)
        EXPECT_EQ(quiet.steps[i], traced.steps[i]) << "step " << i;
    if (!quietNow) GTEST_SKIP() << "a zrecs trace file is active: the untraced path did not run";
}

} // namespace
