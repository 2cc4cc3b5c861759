// zrospeed: a fixed workload of what applications do with zroi, one scenario
// at a time, for counting instructions under valgrind (bench/icount).
//
//     zrospeed --list             # every scenario: name, iterations, what it does
//     zrospeed SCENARIO N         # runs SCENARIO N times; 0, or 1 when it failed
//     zrospeed --check            # every scenario a few times, results checked
//
// Each scenario sets its objects up, then repeats one operation N times.
// Run under cachegrind once with N and once with 2N iterations, the
// difference of the two instruction counts divided by N is the cost of one
// operation in its steady state: start-up, set-up and the first operations
// (which size buffers and storage) fall out. The operation is the same every
// time and nothing depends on the clock, so the count is the same on every
// run of one build. No zrecs listener and no pointer check are installed
// unless a scenario's name says "listener" (the quiet path applications run
// on); every scenario checks its own results and fails the run when they are
// wrong, so that a count never measures a broken operation.
//
// "reused" scenarios keep their message and items from one operation to the
// next, as a server loop does; "fresh" ones make new objects each time.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zrecs/zrecs.h"
#include "zroalloc.hpp"
#include "zroi/zrobin.hpp"
#include "zroi/zrochl.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zrogmo.hpp"
#include "zroi/zrogmo2.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrostr.hpp"
#include "zroi/zrotrg.hpp"
#include "zroi/zrowih.hpp"

namespace {

// A scenario's outcome: whether every operation gave what it should, and
// zroi's allocations over the last operation (one more operation runs for
// that, outside the N counted).
struct Outcome {
    bool ok = true;
    unsigned long allocations = 0;
};

// Repeats `operation` n times; it returns true when it worked. Then one
// more time, counting the allocations it makes.
template <class F> Outcome repeat(unsigned n, F&& operation)
{
    Outcome outcome;
    for (unsigned i = 0; i < n; ++i) outcome.ok &= operation();
    const unsigned long before = zroi_test_allocation_count();
    outcome.ok &= operation();
    outcome.allocations = zroi_test_allocation_count() - before;
    return outcome;
}

// Bodies -------------------------------------------------------------------

Outcome stringReused(unsigned n, unsigned size)
{
    const std::string text(size, 's');
    ZroStr body(text.c_str()), in;
    ZroMsg message;
    return repeat(n, [&] {
        return message.writeItem(body) && message.setDataOffset(0) && message.readItem(in) &&
               in.length() == size;
    });
}

Outcome stringFresh(unsigned n, unsigned size)
{
    const std::string text(size, 's');
    return repeat(n, [&] {
        ZroStr body(text.c_str()), in;
        ZroMsg message;
        return message.writeItem(body) && message.setDataOffset(0) && message.readItem(in) &&
               in.length() == size;
    });
}

Outcome binaryReused(unsigned n, unsigned size)
{
    const std::string bytes(size, '\x5a');
    ZroBin body(bytes.data(), size), in;
    ZroMsg message;
    return repeat(n, [&] {
        return message.writeItem(body) && message.setDataOffset(0) && message.readItem(in) &&
               in.dataLength() == size;
    });
}

Outcome binaryFresh(unsigned n, unsigned size)
{
    const std::string bytes(size, '\x5a');
    return repeat(n, [&] {
        ZroBin body(bytes.data(), size), in;
        ZroMsg message;
        return message.writeItem(body) && message.setDataOffset(0) && message.readItem(in) &&
               in.dataLength() == size;
    });
}

// Headers ------------------------------------------------------------------

// The items of the reference chain, as an application sets them up.
struct ChainItems {
    ChainItems() : body(std::string(64, 'b').c_str())
    {
        wih.setServiceName("BENCH.SERVICE");
        rfh.setReferenceType("FILE");
        rfh.setSourceEnvironment("source.env.16.by");
        rfh.setSourceName("source.name.16.b");
        rfh.setDestinationEnvironment("dest.env.16.byte");
        rfh.setDestinationName("dest.name.16.byt");
        dlh.setDestinationQueueName("BENCH.QUEUE");
        dlh.setPutApplicationName("zrospeed");
        kih.setTransactionIdentifier("TX01");
        rih.setLogicalTerminalOverride("LTERM1");
    }
    ZroStr body;
    ZroWih wih;
    ZroRfh rfh;
    ZroDlh dlh;
    ZroKih kih;
    ZroRih rih;
};

// One header alone on a 64-byte string body: body and header written,
// rewound, header and body read back into reused objects.
template <class H> Outcome oneHeader(unsigned n, H ChainItems::*which)
{
    ChainItems out, in;
    ZroMsg message;
    H& header = out.*which;
    H& read = in.*which;
    return repeat(n, [&] {
        return message.writeItem(out.body) && message.writeItem(header) &&
               message.setDataOffset(0) && message.readItem(read) && message.readItem(in.body) &&
               in.body.length() == 64;
    });
}

// The reference chain: a 64-byte string body written, then a work
// information, a reference and a dead-letter header written in front of
// it, then all four read back (outermost first) into reused objects.
bool chainOnce(ZroMsg& message, ChainItems& out, ChainItems& in)
{
    return message.writeItem(out.body) && message.writeItem(out.wih) &&
           message.writeItem(out.rfh) && message.writeItem(out.dlh) && message.setDataOffset(0) &&
           message.readItem(in.dlh) && message.readItem(in.rfh) && message.readItem(in.wih) &&
           message.readItem(in.body) && in.body.length() == 64 &&
           message.dataOffset() == message.messageLength();
}

Outcome chainReused(unsigned n)
{
    ChainItems out, in;
    ZroMsg message;
    return repeat(n, [&] { return chainOnce(message, out, in); });
}

Outcome chainFresh(unsigned n)
{
    ChainItems out;
    return repeat(n, [&] {
        ChainItems in;
        ZroMsg message;
        return chainOnce(message, out, in);
    });
}

// The same chain with a listener installed that does nothing: every
// operation then takes its traced path.
void ignore(const zrecs_event*, void*) {}

Outcome chainListener(unsigned n)
{
    zrecs_set_listener(ignore, nullptr);
    const Outcome outcome = chainReused(n);
    zrecs_set_listener(nullptr, nullptr);
    return outcome;
}

// Text getters of a header read back: every one of the dead-letter header.
Outcome dlhGetters(unsigned n)
{
    ChainItems items;
    items.dlh.setDestinationQueueManagerName("QM1");
    items.dlh.setPutDate("20261206");
    items.dlh.setPutTime("12000000");
    return repeat(n, [&] {
        const ZroDlh& d = items.dlh;
        return d.destinationQueueName().length() + d.destinationQueueManagerName().length() +
                   d.putApplicationName().length() + d.putDate().length() + d.putTime().length() ==
               11 + 3 + 8 + 8 + 8;
    });
}

// Trigger message ----------------------------------------------------------

struct Trigger {
    Trigger()
    {
        trigger.setQueueName("APP.INITQ");
        trigger.setProcessName("APP.PROCESS");
        trigger.setTriggerData("trigger data");
        trigger.setApplicationId("/usr/bin/app");
        trigger.setEnvironmentData("ENV=1");
        trigger.setUserData("user data");
    }
    ZroTrg trigger, in;
    ZroMsg message;
    ZRTMC2 text;
};

Outcome triggerMessage(unsigned n)
{
    Trigger t;
    return repeat(n, [&] {
        return t.message.writeItem(t.trigger) && t.message.setDataOffset(0) &&
               t.message.readItem(t.in);
    });
}

Outcome triggerCharacters(unsigned n)
{
    Trigger t;
    return repeat(n, [&] { return t.trigger.copyOut(&t.text) == 1 && t.text.version[3] == '2'; });
}

// Options and definitions --------------------------------------------------

Outcome gmoCopies(unsigned n)
{
    ZroGmo3 gmo;
    ZroGmo gmo2;
    gmo.setSyncPointParticipation(1);
    return repeat(n, [&] {
        ZroGmo3 copy(gmo);
        ZroGmo copy2(gmo2);
        ZroGmo3 assigned;
        assigned = copy;
        return assigned.syncPointParticipation() == 1;
    });
}

Outcome channelCopies(unsigned n)
{
    ZroChl channel;
    channel.setChannelName("SYSTEM.DEF.SVRCONN");
    channel.setConnectionName("host.example(1414)");
    const char* send[] = {"lib(sendA)", "lib(sendB)", "lib(sendC)"};
    const char* receive[] = {"lib(receiveA)", "lib(receiveB)"};
    const char* data[] = {"first", "second"};
    channel.setSendExitNames(3, send);
    channel.setSendUserData(2, data);
    channel.setReceiveExitNames(2, receive);
    ZroChl assigned;
    return repeat(n, [&] {
        ZroChl copy(channel);
        assigned = copy;
        return assigned.sendExitCount() == 3 && assigned.receiveExitCount() == 2;
    });
}

// Strings ------------------------------------------------------------------

Outcome strConcatenate(unsigned n)
{
    const ZroStr a("QUEUE.MANAGER."), b("REQUEST.QUEUE.NAME");
    ZroStr c;
    return repeat(n, [&] {
        c = a + b;
        c += ".REPLY";
        c += 42L;
        return c.length() == 14 + 18 + 6 + 2;
    });
}

Outcome strTokens(unsigned n)
{
    const ZroStr list("alpha,beta,gamma,delta,epsilon,zeta,eta,theta");
    ZroStr rest, token;
    return repeat(n, [&] {
        rest = list;
        unsigned count = 0;
        while (rest.cutOut(token, ',') != 0) ++count;
        return count == 8;
    });
}

Outcome strNumbers(unsigned n)
{
    ZroStr text;
    long sum = 0;
    return repeat(n, [&] {
        text = ZroStr();
        text.pasteIn(-123456L);
        text += ' ';
        text.pasteIn(2.5);
        long value = 0;
        const unsigned read = text.copyOut(value);
        sum += value;
        return read == 7 && value == -123456;
    });
}

Outcome strFields(unsigned n)
{
    ZroStr name("REQUEST.QUEUE");
    char field[48];
    return repeat(n, [&] {
        return name.copyOut(field, sizeof field, ' ') == 1 && field[47] == ' ' &&
               ZroStr::copy(field, 8, "ZRSTR", ' ') == 1;
    });
}

// The table ----------------------------------------------------------------

struct Scenario {
    const char* name;
    unsigned iterations; // N for bench/icount; N and 2N have as many digits
    const char* what;
    Outcome (*run)(unsigned n);
};

const Scenario kScenarios[] = {
    {"body/string/64/reused", 1000, "64-byte string body written and read, reused message",
     [](unsigned n) { return stringReused(n, 64); }},
    {"body/string/1024/reused", 1000, "1 KiB string body, reused message",
     [](unsigned n) { return stringReused(n, 1024); }},
    {"body/string/65536/reused", 100, "64 KiB string body, reused message",
     [](unsigned n) { return stringReused(n, 65536); }},
    {"body/string/64/fresh", 1000, "64-byte string body, new message and strings",
     [](unsigned n) { return stringFresh(n, 64); }},
    {"body/string/65536/fresh", 100, "64 KiB string body, new message and strings",
     [](unsigned n) { return stringFresh(n, 65536); }},
    {"body/binary/64/reused", 1000, "64-byte binary body written and read, reused message",
     [](unsigned n) { return binaryReused(n, 64); }},
    {"body/binary/1024/reused", 1000, "1 KiB binary body, reused message",
     [](unsigned n) { return binaryReused(n, 1024); }},
    {"body/binary/65536/reused", 100, "64 KiB binary body, reused message",
     [](unsigned n) { return binaryReused(n, 65536); }},
    {"body/binary/64/fresh", 1000, "64-byte binary body, new message and binaries",
     [](unsigned n) { return binaryFresh(n, 64); }},
    {"header/dlh", 1000, "dead-letter header on a 64-byte string, written and read",
     [](unsigned n) { return oneHeader(n, &ChainItems::dlh); }},
    {"header/kih", 1000, "KOTA bridge header (version 2) on a 64-byte string",
     [](unsigned n) { return oneHeader(n, &ChainItems::kih); }},
    {"header/rih", 1000, "RPX bridge header on a 64-byte string",
     [](unsigned n) { return oneHeader(n, &ChainItems::rih); }},
    {"header/rfh", 1000, "reference header with four 16-byte texts on a 64-byte string",
     [](unsigned n) { return oneHeader(n, &ChainItems::rfh); }},
    {"header/wih", 1000, "work information header on a 64-byte string",
     [](unsigned n) { return oneHeader(n, &ChainItems::wih); }},
    {"chain/reused", 1000,
     "64-byte string, then work information, reference and dead-letter headers, "
     "written and read back into reused objects",
     chainReused},
    {"chain/fresh", 1000, "the same chain into a new message, read into new objects", chainFresh},
    {"chain/listener", 1000, "the reused chain with a listener that does nothing", chainListener},
    {"getters/dlh", 1000, "every text getter of a dead-letter header", dlhGetters},
    {"trigger/message", 1000, "trigger message written and read, reused message", triggerMessage},
    {"trigger/characters", 1000, "trigger message to its character form", triggerCharacters},
    {"gmo/copies", 1000, "get-message options: two copies and an assignment", gmoCopies},
    {"channel/copies", 1000,
     "channel definition with 3 send exits (2 with user data) and 2 receive exits: "
     "a copy and an assignment",
     channelCopies},
    {"str/concatenate", 1000, "a + b, += text, += number", strConcatenate},
    {"str/tokens", 1000, "a list of 8 tokens cut out one by one", strTokens},
    {"str/numbers", 1000, "a long and a double to text, the long read back", strNumbers},
    {"str/fields", 1000, "copyOut into a 48-character field, static copy of a format name",
     strFields},
};

const Scenario* find(const char* name)
{
    for (const Scenario& s : kScenarios)
        if (std::strcmp(s.name, name) == 0) return &s;
    return nullptr;
}

int usage()
{
    std::fprintf(stderr, "usage: zrospeed --list | --check | SCENARIO ITERATIONS\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const Scenario& s : kScenarios)
            std::printf("%s\t%u\t%s\n", s.name, s.iterations, s.what);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--check") == 0) {
        int failed = 0;
        for (const Scenario& s : kScenarios) {
            const Outcome outcome = s.run(3);
            std::printf("%-28s %s, %lu allocations\n", s.name, outcome.ok ? "ok" : "FAILED",
                        outcome.allocations);
            failed += outcome.ok ? 0 : 1;
        }
        return failed == 0 ? 0 : 1;
    }
    if (argc != 3) return usage();
    const Scenario* scenario = find(argv[1]);
    char* end = nullptr;
    const unsigned long n = std::strtoul(argv[2], &end, 10);
    if (scenario == nullptr || *end != '\0' || n == 0 || n > 100000000) return usage();
    const Outcome outcome = scenario->run(static_cast<unsigned>(n));
    if (!outcome.ok) {
        std::fprintf(stderr, "zrospeed: %s: an operation failed\n", scenario->name);
        return 1;
    }
    // Allocations of one operation after N: 0 for every reused scenario.
    std::printf("%s\t%lu\n", scenario->name, outcome.allocations);
    return 0;
}
