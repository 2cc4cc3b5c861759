// The allocation fault sweep: every allocation of a scenario fails in turn.
//
// A scenario builds library objects and runs operations on them through
// Sweep::step. sweep() runs it again and again, with the 1st allocation
// failing, then the 2nd, and so on, until a run makes fewer allocations than
// the number planned to fail: that run saw no failure, and the scenario's own
// checks of a complete run (after Sweep::complete()) apply to it. Two kinds of allocation are
// walked, each once with one failure and once with every allocation from the nth on failing:
// - checked: storage the library obtains through its allocation seam
//   (zroAllocate). An operation whose storage fails reports it: result 0
//   or its codes, reason 2071, and a trace text ending in "storage not
//   available". Class-level new and the get-message options' record throw
//   std::bad_alloc instead, where a scenario says so.
// - unchecked: operator new, which only the storage documented to let
//   std::bad_alloc pass may use (the tracker's values, the KOTA header's
//   record). Anywhere else a std::bad_alloc is a finding.
// After each operation every object of the scenario stays valid; after each
// run all objects have been destroyed (under ASan and valgrind in CI) and
// all storage from the seam has been given back.
//
// Adding a scenario: a function of Sweep& and one TEST_F calling sweep().
// Each test prints the number of failure points it walked; scripts/robustness
// adds them up for docs/ROBUSTNESS.md.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "zroalloc.hpp"
#include "zroi/zroi.hpp"
#include "zronew.hpp"
#include "zrotest.hpp"

// ---- The sweep ----------------------------------------------------------------

namespace {

enum class Seam { Checked, Unchecked };

struct Totals {
    unsigned scenarios = 0;
    unsigned long points = 0;
};
Totals g_totals;

// Prints the sum of the points walked once all tests have run.
class SweepReport : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (g_totals.scenarios != 0)
            std::printf(
                "[ sweep    ] total: %lu allocation failure points walked in %u scenarios\n",
                g_totals.points, g_totals.scenarios);
    }
};
[[maybe_unused]] ::testing::Environment* const g_report =
    ::testing::AddGlobalTestEnvironment(new SweepReport);

bool endsWith(const char* text, const char* tail)
{
    std::size_t n = std::strlen(text), m = std::strlen(tail);
    return n >= m && std::strcmp(text + n - m, tail) == 0;
}

} // namespace

/// What a scenario may let pass: std::bad_alloc from a seam.
struct Throws {
    bool checked = false;   // class-level new, the get-message options' record
    bool unchecked = false; // the tracker's values, the KOTA header's record
};

class Sweep {
public:
    Sweep(const char* scenario, Seam seam, unsigned long n, bool persistent)
        : scenario_(scenario), seam_(seam), n_(n), persistent_(persistent)
    {
    }

    /// Runs `op` (returning 1 or 0) and checks its outcome against what the
    /// planned failure allows. The operation reports through `reporters`
    /// (any of them); `alsoAllowed` lists reasons the operation documents
    /// for a failing allocation besides 2071 (a copy that warns about
    /// truncation, say). Ops that return nothing return 1 and report
    /// through codes. Returns the op's result.
    template <class Op>
    unsigned char step(const char* what, std::initializer_list<const ZroErr*> reporters, Op&& op,
                       std::initializer_list<int32_t> alsoAllowed = {})
    {
        // A failure before this step (in a constructor, say) makes whatever
        // follows a consequence: only validity is checked from then on.
        const bool earlier = failed();
        const unsigned long before = count();
        const unsigned storageTexts = storageTexts_;
        const unsigned char result = op();
        ZroNewPause quiet;
        const bool now = failedSince(before);
        if (now && !earlier) {
            // The first failure of the run happened here: it must be reported.
            bool reported = false;
            for (const ZroErr* r : reporters) {
                bool allowed = r->reasonCode() == ZRRC_STORAGE_NOT_AVAILABLE;
                for (int32_t reason : alsoAllowed) allowed = allowed || r->reasonCode() == reason;
                reported = reported || (allowed && r->completionCode() != 0);
            }
            // A temporary's warning is a report of its own (see withTemporary).
            reported = reported || (textReports_ && storageTexts_ > storageTexts);
            EXPECT_TRUE(reported) << where(what) << ": the failing allocation was not reported";
            if (seam_ == Seam::Checked) {
                EXPECT_GT(storageTexts_, storageTexts)
                    << where(what) << ": no text says \"storage not available\"";
            }
        } else if (!earlier) {
            EXPECT_EQ(result, 1) << where(what) << " failed without a failing allocation";
            for (const ZroErr* r : reporters)
                EXPECT_NE(r->reasonCode(), ZRRC_STORAGE_NOT_AVAILABLE) << where(what);
        }
        return result;
    }

    /// As step(), for an operation that first makes a text into a string (a
    /// temporary) and then appends it: when that string gets no storage, its
    /// warning in the trace ("ZroString::ZroString (warning): storage not
    /// available") is the report, and the object goes on with the codes of
    /// the concatenation that follows, as documented.
    template <class Op>
    unsigned char withTemporary(const char* what, std::initializer_list<const ZroErr*> reporters,
                                Op&& op)
    {
        textReports_ = true;
        const unsigned char result = step(what, reporters, op);
        textReports_ = false;
        return result;
    }

    /// A step whose failing allocation the library documents as absorbed:
    /// the operation still succeeds and leaves the codes of `reporters`
    /// alone (their values are the documented fallback, e.g. blank fields).
    template <class Op>
    void absorbed(const char* what, std::initializer_list<const ZroErr*> reporters, Op&& op)
    {
        const bool earlier = failed();
        const unsigned char result = op();
        ZroNewPause quiet;
        if (earlier) return;
        EXPECT_EQ(result, 1) << where(what);
        for (const ZroErr* r : reporters) EXPECT_EQ(r->completionCode(), 0) << where(what);
    }

    /// True once the planned failure has happened in this run.
    bool failed() const { return failedSince(0); }

    /// Ends the operations of the run; true when they saw no failure. The
    /// checks that follow (of a complete run) may allocate freely.
    bool complete()
    {
        ended_ = count();
        hasEnded_ = true;
        unplan();
        return !failed();
    }

    /// A check of the scenario, for a run without failure.
    void expect(bool condition, const char* what)
    {
        ZroNewPause quiet;
        EXPECT_TRUE(condition) << where(what);
    }

    // Validity, checked whatever happened.
    void valid(const ZroStr& s)
    {
        ZroNewPause quiet;
        EXPECT_EQ(s.dataPointer() == nullptr, s.storageSize() == 0) << where("string storage");
        if (s.dataPointer() != nullptr) {
            EXPECT_NE(std::memchr(s.dataPointer(), 0, s.storageSize()), nullptr)
                << where("string without NUL");
        }
    }
    void valid(const ZroBin& b)
    {
        ZroNewPause quiet;
        EXPECT_EQ(b.dataPointer() == nullptr, b.dataLength() == 0) << where("binary storage");
    }
    void valid(const ZroCac& c)
    {
        ZroNewPause quiet;
        EXPECT_LE(c.dataOffset(), c.messageLength()) << where("cache invariant");
        EXPECT_LE(c.messageLength(), c.bufferLength()) << where("cache invariant");
        EXPECT_EQ(c.bufferLength() == 0, c.bufferPointer() == nullptr) << where("cache buffer");
    }

    // Counts the trace texts that report missing storage, without allocating.
    static void listen(const zrecs_event* event, void* context)
    {
        if (event->kind != ZRECS_TEXT) return;
        auto* self = static_cast<Sweep*>(context);
        if (endsWith(event->text, "storage not available")) ++self->storageTexts_;
    }

    // The allocations of the seam made so far, as the seam counts them.
    unsigned long count() const
    {
        return seam_ == Seam::Checked ? zroi_test_allocation_count() : zroTestNewCount();
    }

    void plan()
    {
        start_ = count();
        if (seam_ == Seam::Checked)
            zroi_test_fail_allocation(n_, persistent_ ? 1 : 0);
        else
            zroTestFailNew(n_, persistent_);
    }

    /// Ends every planned failure.
    static void unplan()
    {
        zroi_test_fail_allocation(0, 0);
        zroTestFailNew(0);
    }

    /// True when an allocation planned to fail was made after `before`.
    bool failedSince(unsigned long before) const
    {
        const unsigned long at = start_ + n_;
        const unsigned long now = hasEnded_ ? ended_ : count();
        return now >= at && (persistent_ || before < at);
    }

    std::string where(const char* what) const
    {
        return std::string(scenario_) + (seam_ == Seam::Checked ? " (checked" : " (unchecked") +
               (persistent_ ? " from " : " at ") + "allocation " + std::to_string(n_) +
               "): " + what;
    }

private:
    const char* scenario_;
    Seam seam_;
    unsigned long n_;
    bool persistent_;
    unsigned long start_ = 0;
    unsigned long ended_ = 0; // the count when complete() was called
    bool hasEnded_ = false;
    unsigned storageTexts_ = 0;
    bool textReports_ = false; // within withTemporary()
};

class ZroSweepTest : public ZroTest {
protected:
    void SetUp() override
    {
        ZroTest::SetUp();
        // The shared string lock lives as long as the process: created now,
        // it is not counted as storage a scenario failed to give back.
        char field[1];
        ZroStr("x").copyOut(field, 1, ' ');
    }

    /// Runs `scenario` with each allocation failing in turn, for both seams,
    /// one failure and failures from the nth on; returns the points walked.
    template <class Scenario>
    unsigned long sweep(const char* name, Scenario scenario, Throws throws = {})
    {
        unsigned long points = 0;
        for (Seam seam : {Seam::Checked, Seam::Unchecked})
            for (bool persistent : {false, true})
                points += walk(name, scenario, throws, seam, persistent);
        std::printf("[ sweep    ] %s: %lu allocation failure points walked\n", name, points);
        g_totals.scenarios += 1;
        g_totals.points += points;
        return points;
    }

private:
    template <class Scenario>
    unsigned long walk(const char* name, Scenario& scenario, Throws throws, Seam seam,
                       bool persistent)
    {
        constexpr unsigned long kLimit = 100000;
        for (unsigned long n = 1; n < kLimit; ++n) {
            Sweep sweep(name, seam, n, persistent);
            zrecs_set_listener(&Sweep::listen, &sweep);
            const unsigned long live = zroi_test_live_allocations();
            bool threw = false;
            sweep.plan();
            try {
                scenario(sweep);
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            const bool failed = sweep.failed();
            Sweep::unplan();
            zrecs_set_listener(nullptr, nullptr);
            if (threw) {
                EXPECT_TRUE(failed) << sweep.where("std::bad_alloc without a planned failure");
                EXPECT_TRUE(seam == Seam::Checked ? throws.checked : throws.unchecked)
                    << sweep.where("std::bad_alloc escaped");
            }
            EXPECT_EQ(zroi_test_live_allocations(), live) << sweep.where("storage not given back");
            if (::testing::Test::HasFailure()) return n;
            if (!failed) return n - 1; // a complete run: every point walked
        }
        ADD_FAILURE() << name << ": no complete run within " << kLimit << " allocations";
        return kLimit;
    }
};

// ---- Scenarios ----------------------------------------------------------------

namespace {

bool textIs(const ZroStr& s, const char* text)
{
    return s.dataPointer() != nullptr ? std::strcmp(s.dataPointer(), text) == 0 : *text == '\0';
}

void stringOperations(Sweep& s)
{
    ZroStr list, copy, joined, part, upper, token, number;
    s.step("text", {&list}, [&] {
        list = ZroStr("  alpha,beta,,gamma  ");
        return 1;
    });
    s.step("copy construction", {&copy}, [&] {
        ZroStr made(list);
        copy = static_cast<ZroStr&&>(made);
        return 1;
    });
    s.step("assignment", {&copy}, [&] {
        copy = list;
        return 1;
    });
    s.step("stripLeading", {&list}, [&] { return list.stripLeading(' ') == 2 ? 1 : 0; });
    s.step("stripTrailing", {&list}, [&] { return list.stripTrailing(' ') == 2 ? 1 : 0; });
    s.step("concatenation", {&joined}, [&] {
        joined = list + copy;
        return 1;
    });
    s.step("append a character", {&joined}, [&] {
        joined += '!';
        return 1;
    });
    s.withTemporary("append a text", {&joined}, [&] {
        joined += " and more";
        return 1;
    });
    long value = 0;
    s.withTemporary("append a long", {&number}, [&] { return number.pasteIn(-123456L); });
    s.step("cutOut number", {&number}, [&] { return number.cutOut(value) != 0 ? 1 : 0; });
    s.withTemporary("append a double", {&number}, [&] { return number.pasteIn(2.5, "%.2f"); });
    s.step("append bytes", {&number}, [&] { return number.pasteIn("x\0y", 3); });
    s.step("substring", {&part}, [&] {
        part = list(6, 4);
        return 1;
    });
    s.step("upperCase", {&upper}, [&] {
        upper = part.upperCase();
        return 1;
    });
    s.step("set from a field", {&part}, [&] { return part.set("QUEUE   ", 8); });
    s.step("setStorage", {&part}, [&] { return part.setStorage(64); });
    unsigned tokens = 0;
    for (int i = 0; i < 4; ++i)
        s.step("cutOut token", {&token, &list}, [&] {
            tokens += list.cutOut(token, ',') != 0 ? 1 : 0;
            return 1;
        });
    char field[8];
    s.step("copyOut into a field", {&upper}, [&] { return upper.copyOut(field, 8, ' '); });
    for (const ZroStr* each : {&list, &copy, &joined, &part, &upper, &token, &number})
        s.valid(*each);
    if (s.complete()) {
        s.expect(tokens == 3 && textIs(token, "gamma"), "tokens");
        s.expect(textIs(joined, "alpha,beta,,gamma  alpha,beta,,gamma  ! and more"), "joined");
        s.expect(textIs(number, "2.50x.y") && value == -123456, "numbers");
        s.expect(textIs(upper, "BETA") && textIs(part, "QUEUE   "), "substring and field");
    }
}

void binaryOperations(Sweep& s)
{
    const unsigned char id[24] = {1,  2,  3,  0,  5,  6,  7,  8,  9,  10, 11, 12,
                                  13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    ZroBin a, b, c;
    s.step("from bytes", {&a}, [&] {
        a = ZroBin(id, sizeof id);
        return 1;
    });
    s.step("copy construction", {&b}, [&] {
        ZroBin made(a);
        b = static_cast<ZroBin&&>(made);
        return 1;
    });
    s.step("assignment", {&c}, [&] {
        c = a;
        return 1;
    });
    s.step("set", {&c}, [&] { return c.set(id, 8); });
    s.step("setDataLength", {&b}, [&] { return b.setDataLength(40); });
    unsigned char field[30];
    s.step("copyOut into a field", {&a}, [&] { return a.copyOut(field, sizeof field, '\0'); });
    for (const ZroBin* each : {&a, &b, &c}) s.valid(*each);
    if (s.complete())
        s.expect(a.dataLength() == 24 && c.dataLength() == 8 && b.dataLength() == 40 &&
                     std::memcmp(field, id, 24) == 0,
                 "binaries");
}

void messageBodies(Sweep& s)
{
    ZroMsg message;
    ZroStr body("a string body of some length"), text;
    s.step("write a string body", {&message, &body}, [&] { return message.writeItem(body); });
    message.setDataOffset(0);
    s.step("read a string body", {&message, &text}, [&] { return message.readItem(text); });
    ZroBin bytes("\1\2\3\0\5", 5), read;
    s.step("write a binary body", {&message, &bytes}, [&] { return message.writeItem(bytes); });
    message.setDataOffset(0);
    s.step("read a binary body", {&message, &read}, [&] { return message.readItem(read); });
    ZroStr format, user;
    s.step("format", {&format}, [&] {
        format = message.format();
        return 1;
    });
    message.setUserId("someone");
    s.step("userId", {&user}, [&] {
        user = message.userId();
        return 1;
    });
    ZroBin id;
    s.step("messageId", {&id}, [&] {
        id = message.messageId();
        return 1;
    });
    s.valid(message);
    for (const ZroStr* each : {&body, &text, &format, &user}) s.valid(*each);
    if (s.complete())
        s.expect(textIs(text, "a string body of some length") && read == bytes &&
                     textIs(format, ZRFMT_NONE) && textIs(user, "someone") && id.dataLength() == 24,
                 "bodies");
}

void messageCopies(Sweep& s)
{
    ZroMsg source;
    ZroStr body("the data of the message");
    s.step("write", {&source, &body}, [&] { return source.writeItem(body); });
    const unsigned char id[24] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    source.setMessageId(id);
    source.setDataOffset(4);
    ZroMsg copy, assigned, small;
    // A copy whose buffer finds no storage copies what fits: nothing, with
    // the warning 1/6115 after the failure's text.
    s.step("copy construction", {&copy},
           [&] {
               ZroMsg made(source);
               copy = made;
               return 1;
           },
           {ZRRC_DATA_TRUNCATED});
    s.step("assignment", {&assigned},
           [&] {
               assigned = source;
               return 1;
           },
           {ZRRC_DATA_TRUNCATED});
    char user[8];
    small.useEmptyBuffer(user, sizeof user);
    s.step("assignment into a small user buffer", {&small},
           [&] {
               small = source;
               return 1;
           },
           {ZRRC_DATA_TRUNCATED});
    ZroCac cache;
    s.step("cache assignment", {&cache},
           [&] {
               cache = source;
               return 1;
           },
           {ZRRC_DATA_TRUNCATED});
    for (const ZroCac* each : {static_cast<ZroCac*>(&copy), static_cast<ZroCac*>(&assigned),
                               static_cast<ZroCac*>(&small), &cache})
        s.valid(*each);
    if (s.complete()) {
        s.expect(copy.messageLength() == 23 && copy.dataOffset() == 4, "copy");
        s.expect(std::memcmp(copy.descriptor().messageId, id, 24) == 0, "copied id");
        s.expect(small.messageLength() == 8 && small.reasonCode() == ZRRC_DATA_TRUNCATED,
                 "small copy");
    }
}

void standaloneTracker(Sweep& s)
{
    const unsigned char id[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ZroBin value;
    s.step("a binary", {&value}, [&] { return value.set(id, 24); });
    ZroMtr tracker;
    s.step("setMessageId", {&tracker}, [&] { return tracker.setMessageId(value); });
    tracker.setCorrelationId(id);
    tracker.setFeedback(7);
    std::optional<ZroMtr> copy;
    s.step("copy construction", {&tracker}, [&] {
        copy.emplace(tracker);
        return 1;
    });
    ZroMtr assigned;
    s.step("assignment", {&assigned}, [&] {
        assigned = tracker;
        return 1;
    });
    ZroBin got;
    s.step("getter", {&got}, [&] {
        got = assigned.correlationId();
        return 1;
    });
    if (s.complete()) {
        ZroBin copied = copy->messageId();
        s.expect(std::memcmp(copied.dataPointer(), id, 24) == 0, "copied id");
        ZroBin assignedId = assigned.messageId();
        s.expect(std::memcmp(assignedId.dataPointer(), id, 24) == 0, "assigned id");
        s.expect(got.dataLength() == 24 && assigned.feedback() == 7, "assigned values");
    }
}

// The headers of a chain, innermost first, and the objects that read it
// back, outermost first: a new header class adds one line to each.
void headerChain(Sweep& s)
{
    ZroMsg message;
    ZroStr body("the body behind the headers"), text;
    ZroKih kota, kotaVersion1;
    kota.setTransactionIdentifier("TRN1");
    kotaVersion1.setVersion(ZRKIH_VERSION_1);
    ZroDlh deadLetter;
    deadLetter.setDestinationQueueName("Q.TARGET");
    ZroRih rpx;
    rpx.setLogicalTerminalOverride("LTERM01");
    ZroWih work;
    work.setServiceName("ORDERS");
    ZroRfh reference;
    reference.setSourceName("/in/a.dat");
    reference.setDestinationName("/out/b.dat");
    ZroHdr* written[] = {&kotaVersion1, &kota, &rpx, &work, &reference, &deadLetter};

    ZroKih readKota, readKotaVersion1;
    readKotaVersion1.setVersion(ZRKIH_VERSION_1);
    ZroDlh readDeadLetter;
    ZroRih readRpx;
    ZroWih readWork;
    ZroRfh readReference;
    ZroHdr* read[] = {&readDeadLetter, &readReference, &readWork,
                      &readRpx,        &readKota,      &readKotaVersion1};

    s.step("write the body", {&message, &body}, [&] { return message.writeItem(body); });
    for (ZroHdr* header : written)
        s.step("write a header", {&message, header}, [&] { return message.writeItem(*header); });
    message.setDataOffset(0);
    for (ZroHdr* header : read)
        s.step("read a header", {&message, header}, [&] { return message.readItem(*header); });
    s.step("read the body", {&message, &text}, [&] { return message.readItem(text); });
    ZroStr transaction, queue, source;
    s.step("a header's field", {&transaction}, [&] {
        transaction = readKota.transactionIdentifier();
        return 1;
    });
    s.step("a header's field", {&queue}, [&] {
        queue = readDeadLetter.destinationQueueName();
        return 1;
    });
    s.step("a reference header's text", {&source}, [&] {
        source = readReference.sourceName();
        return 1;
    });
    s.valid(message);
    for (const ZroStr* each : {&text, &transaction, &queue, &source}) s.valid(*each);
    if (s.complete())
        s.expect(textIs(text, "the body behind the headers") && textIs(transaction, "TRN1") &&
                     textIs(queue, "Q.TARGET") && textIs(source, "/in/a.dat"),
                 "chain read back");
}

// Channel definitions and their copies with exits: the record, the peer
// name and the lists come from new, whose std::bad_alloc the channel lets
// pass; their texts come back as strings.
void channelCopies(Sweep& s)
{
    ZroChl channel;
    s.step("channel name", {&channel},
           [&] { return channel.setChannelName("SYSTEM.DEF.SVRCONN"); });
    s.step("peer name", {&channel}, [&] { return channel.setSslPeerName("CN=peer,O=example"); });
    const char* exits[] = {"lib(sendA)", "lib(sendB)", "lib(sendC)"};
    s.step("send exits", {&channel}, [&] { return channel.setSendExitNames(3, exits); });
    const char* data[] = {"first", "second"};
    s.step("send user data", {&channel}, [&] { return channel.setSendUserData(2, data); });
    s.step("receive exit", {&channel}, [&] { return channel.setReceiveExitName("lib(recv)"); });
    std::optional<ZroChl> copy;
    s.step("copy construction", {&channel}, [&] {
        copy.emplace(channel);
        return 1;
    });
    ZroChl assigned;
    s.step("assignment", {&assigned}, [&] {
        assigned = channel;
        return 1;
    });
    ZroStr name, peer, first, second;
    ZroStr* names[] = {&first, &second};
    s.step("channel name back", {&name}, [&] {
        name = assigned.channelName();
        return 1;
    });
    s.step("peer name back", {&peer}, [&] {
        peer = assigned.sslPeerName();
        return 1;
    });
    s.step("exit names back", {&assigned, &first, &second},
           [&] { return assigned.sendExitNames(2, names); });
    for (const ZroStr* each : {&name, &peer, &first, &second}) s.valid(*each);
    if (s.complete())
        s.expect(textIs(name, "SYSTEM.DEF.SVRCONN") && textIs(peer, "CN=peer,O=example") &&
                     textIs(first, "lib(sendA)") && textIs(second, "lib(sendB)"),
                 "channel copied");
}

void triggerMessage(Sweep& s)
{
    ZroTrg trigger, read;
    trigger.setQueueName("QUEUE.A");
    trigger.setApplicationId("/bin/app");
    ZroMsg message;
    s.step("write", {&message, &trigger}, [&] { return message.writeItem(trigger); });
    message.setDataOffset(0);
    s.step("read", {&message, &read}, [&] { return message.readItem(read); });
    // The character form ignores the outcome of its field copies: a field
    // whose text finds no storage comes out blank, and the form succeeds.
    ZRTMC2 form;
    s.absorbed("character form", {&read}, [&] { return read.copyOut(&form); });
    ZroStr queue;
    s.step("getter", {&queue}, [&] {
        queue = read.queueName();
        return 1;
    });
    if (s.complete())
        s.expect(textIs(queue, "QUEUE.A") && std::memcmp(form.queueName, "QUEUE.A ", 8) == 0,
                 "trigger read back");
}

void getMessageOptions(Sweep& s)
{
    const unsigned char token[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ZroGmo3 options;
    ZroBin value;
    s.step("a binary", {&value}, [&] { return value.set(token, 16); });
    s.step("setMessageToken", {&options}, [&] { return options.setMessageToken(value); });
    ZroGmo3 copy(options);
    ZroBin got;
    s.step("messageToken", {&got}, [&] {
        got = copy.messageToken();
        return 1;
    });
    ZroStr name;
    s.step("resolvedQueueName", {&name}, [&] {
        name = copy.resolvedQueueName();
        return 1;
    });
    if (s.complete())
        s.expect(got.dataLength() == 16 && std::memcmp(got.dataPointer(), token, 16) == 0, "token");
}

void objectsFromNew(Sweep& s)
{
    std::unique_ptr<ZroStr> text(new ZroStr("made with new"));
    std::unique_ptr<ZroMsg> message(new ZroMsg);
    s.step("write", {message.get(), text.get()}, [&] { return message->writeItem(*text); });
    s.valid(*message);
}

} // namespace

TEST_F(ZroSweepTest, StringOperations)
{
    EXPECT_GT(sweep("string operations", stringOperations), 0u);
}

TEST_F(ZroSweepTest, BinaryOperations)
{
    EXPECT_GT(sweep("binary operations", binaryOperations), 0u);
}

TEST_F(ZroSweepTest, MessageBodies) { EXPECT_GT(sweep("message bodies", messageBodies), 0u); }

TEST_F(ZroSweepTest, MessageCopies) { EXPECT_GT(sweep("message copies", messageCopies), 0u); }

TEST_F(ZroSweepTest, StandaloneTracker)
{
    EXPECT_GT(sweep("standalone tracker", standaloneTracker, Throws{false, true}), 0u);
}

TEST_F(ZroSweepTest, HeaderChain)
{
    EXPECT_GT(sweep("header chain", headerChain, Throws{false, true}), 0u);
}

TEST_F(ZroSweepTest, ChannelCopies)
{
    EXPECT_GT(sweep("channel copies with exits", channelCopies, Throws{false, true}), 0u);
}

TEST_F(ZroSweepTest, TriggerMessage) { EXPECT_GT(sweep("trigger message", triggerMessage), 0u); }

TEST_F(ZroSweepTest, GetMessageOptions)
{
    EXPECT_GT(sweep("get-message options", getMessageOptions, Throws{true, false}), 0u);
}

TEST_F(ZroSweepTest, ObjectsFromNew)
{
    EXPECT_GT(sweep("objects from new", objectsFromNew, Throws{true, false}), 0u);
}
