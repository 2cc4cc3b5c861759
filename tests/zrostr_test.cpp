// ZroStr: construction, storage, copies, concatenation, substrings,
// fixed-width copies, numbers, tokens, searching, editing, the shared string
// lock, copies from several threads at once, and the C++ edges (views,
// std::string, streams, the version).
// Most checks compare the whole state a call leaves: its result, the text,
// its length and storage size, the codes and every trace text written.
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zroi.hpp"
#include "zrotest.hpp"

namespace {
std::string codes(const ZroErr& e)
{
    return std::to_string(e.completionCode()) + "/" + std::to_string(e.reasonCode());
}

/// "text|length|storage size|codes"; "-" for no storage.
std::string st(const ZroStr& s)
{
    return std::string(s.dataPointer() != nullptr ? s.dataPointer() : "-") + "|" +
           std::to_string(s.length()) + "|" + std::to_string(s.storageSize()) + "|" + codes(s);
}

struct Error : ZroErr {};

/// The parts in order (a braced list is evaluated from left to right).
std::string seq(std::initializer_list<std::string> parts)
{
    std::string all;
    for (const std::string& part : parts) all += part;
    return all;
}

// A string carrying 2/6108, from a failed set.
ZroStr failed(const char* value)
{
    ZroStr s(value);
    s.set(nullptr, 5);
    return s;
}

const std::string NEW_NONE = " 73:ZroString::ZroString (warning): storage not available";
const std::string CAT_NONE = " 74:ZroString::concatenate (warning): storage not available";
const std::string STORE_NONE = " 47:ZroString::setStorage (error): storage not available";
const std::string SET_NULL = " 75:ZroString::set (error): null pointer";
const std::string PASTE_NULL = " 45:ZroString::pasteIn (error): null pointer";
const std::string PASTE_NONE = " 45:ZroString::pasteIn (error): storage not available";
const std::string READ_REFUSED = " 62:ZroError::checkReadPointer (error): buffer error";
const std::string NO_DEST = " 43:static ZroString::copy (error): no destination buffer";
const std::string CUT = " 43:static ZroString::copy (warning): string truncated";
const std::string NUL_DELIMITER =
    " 44:ZroString::copyOut/cutOut (information): null string delimiter is not advised";
const std::string NO_STRIP = " 48:ZroString::stripLeading (information): cannot strip nulls";
const std::string RELEASING = " 76:Releasing ZroString resources";
} // namespace

struct ZroStrTest : ZroTest {
    /// Every text written since the last call, " function:text" each.
    std::string said()
    {
        std::string out;
        for (const TraceEvent& e : events())
            if (e.kind == ZRECS_TEXT)
                out += " " + std::to_string(e.component == 31 ? e.function : 999) + ":" + e.text;
        clearEvents();
        return out;
    }
    std::string r(const ZroStr& s) { return st(s) + said(); }
    std::string r(long result, const ZroStr& s) { return std::to_string(result) + " " + r(s); }
    /// What `op` gives with its `nth` allocation failing.
    std::string failing(unsigned long nth, const std::function<ZroStr()>& op)
    {
        said();
        failAllocation(nth);
        const ZroStr result = op();
        failAllocation(0);
        return r(result);
    }
};

TEST_F(ZroStrTest, Construction)
{
    const char bytes[] = {'a', '\0', 'b'};
    EXPECT_EQ(seq({r(ZroStr(static_cast<const char*>(nullptr))), r(ZroStr("")), r(ZroStr('\0')),
                   r(ZroStr('x')), r(ZroStr("abc")), r(ZroStr(bytes, 3)), r(ZroStr(nullptr, 0))}),
              "-|0|0|0/0-|0|0|0/0|0|2|0/0x|1|2|0/0abc|3|4|0/0a.b|3|4|0/0-|0|0|0/0");
    EXPECT_EQ(r(ZroStr(nullptr, 5)), "-|0|0|2/6108" + PASTE_NULL);
    // length + 1 is not a 32-bit number: refused before anything is read.
    EXPECT_EQ(r(ZroStr(bytes, 4294967295u)), "-|0|0|2/2071" + PASTE_NONE);
    refuse(bytes + 2, 1, 1);
    EXPECT_EQ(r(ZroStr(bytes, 3)), "-|0|0|2/2004" + READ_REFUSED);
    allowAll();
    const std::string NONE = "-|0|0|1/2071" + NEW_NONE;
    EXPECT_EQ(seq({failing(1, [] { return ZroStr("abc"); }), failing(1, [] { return ZroStr('c'); }),
                   failing(1, [] { return ZroStr(std::string_view("abc")); })}),
              NONE + NONE + NONE);
    EXPECT_EQ(failing(1, [] { return ZroStr("xyz", 3u); }), "-|0|0|2/2071" + STORE_NONE);
    // From a view or std::string: the text up to the first NUL.
    EXPECT_EQ(seq({r(ZroStr(std::string_view("ab\0cd", 5))), r(ZroStr(std::string_view("Q   ", 1))),
                   r(ZroStr(std::string_view("\0x", 2))), r(ZroStr(std::string_view())),
                   r(ZroStr(std::string("text")))}),
              "ab|2|3|0/0Q|1|2|0/0-|0|0|0/0-|0|0|0/0text|4|5|0/0");
}

TEST_F(ZroStrTest, CopiesMovesAndStorage)
{
    const char field[] = {'a', 'b', 'c', '\0', 'd', 'e', 'f'};
    ZroStr source;
    source.set(field, 7);
    source.set(nullptr, 1); // 2/6108, the text kept
    said();
    ZroStr copy(source), assigned("zz");
    assigned = source;
    EXPECT_EQ(seq({r(copy), r(assigned)}), "abc|3|7|2/6108abc|3|7|2/6108");
    EXPECT_EQ(std::string(copy.dataPointer(), 7) + std::string(assigned.dataPointer(), 7),
              std::string(field, 7) + std::string(field, 7));
    const ZroStr& same = assigned;
    assigned = same;
    EXPECT_EQ(r(assigned), "abc|3|7|2/6108");
    // Without storage: the copy is empty, the assigned string keeps its text.
    EXPECT_EQ(failing(1, [&] { return ZroStr(source); }), "-|0|0|2/2071" + STORE_NONE);
    ZroStr kept("kept"), none;
    failAllocation(1);
    kept = source;
    assigned = none;
    EXPECT_EQ(seq({r(kept), r(assigned)}), "kept|4|5|2/2071" + STORE_NONE + "-|0|0|0/0");

    ZroStr moving = failed("moved");
    said();
    const char* storage = moving.dataPointer();
    ZroStr moved(static_cast<ZroStr&&>(moving)), u("old");
    EXPECT_EQ(seq({r(moved), r(moving)}), "moved|5|6|2/6108-|0|0|2/6108");
    u = static_cast<ZroStr&&>(moved);
    u = static_cast<ZroStr&&>(u);
    EXPECT_EQ(seq({r(u), r(moved)}), "moved|5|6|2/6108-|0|0|2/6108");
    EXPECT_EQ(u.dataPointer(), storage);

    ZroStr s("abc");
    // Cut below the text: the last byte kept becomes the end of the text.
    EXPECT_EQ(seq({r(s.setStorage(4), s), r(s.setStorage(10), s), r(s.setStorage(3), s),
                   r(s.setStorage(0), s), r(s.setStorage(5), s)}),
              "1 abc|3|4|0/01 abc|3|10|0/01 ab|2|3|0/01 -|0|0|0/01 |0|5|0/0");
    ZroStr control("ab\x01"
                   "cd");
    EXPECT_EQ(r(control.setStorage(3), control), "1 ab|2|3|0/0");
    ZroStr t("text");
    failAllocation(1);
    EXPECT_EQ(r(t.setStorage(100), t), "0 text|4|5|2/2071" + STORE_NONE);
}

TEST_F(ZroStrTest, Set)
{
    const char withNul[] = {'a', 'b', 'c', '\0', 'd', 'e', 'f'};
    const std::string queue = "QUEUE" + std::string(43, ' ');
    ZroStr s;
    EXPECT_EQ(seq({r(s.set("abcdef", 3), s), r(s.set(withNul, 7), s)}),
              "1 abc|3|4|0/01 abc|3|7|0/0");
    EXPECT_EQ(r(s.set(queue.data(), 48), s), "1 " + queue + "|48|49|0/0");
    EXPECT_EQ(r(s.set(s.dataPointer() + 1, 4), s), "1 UEUE|4|5|0/0"); // from its own text
    EXPECT_EQ(r(s.set(nullptr, 0), s), "1 -|0|0|0/0");
    ZroStr k("keep");
    EXPECT_EQ(r(k.set(nullptr, 5), k), "0 keep|4|5|2/6108" + SET_NULL);
    char field[4] = {'a', 'b', 'c', 'd'};
    refuse(field, 4, 1);
    EXPECT_EQ(r(k.set(field, 4), k), "0 keep|4|5|2/2004" + READ_REFUSED);
    allowAll();
    ZroStr n("keep me");
    failAllocation(1);
    EXPECT_EQ(r(n.set(field, 4), n), "0 keep me|7|8|2/2071" + STORE_NONE);
    // A text of the same storage size is set in place, needing no storage.
    failAllocation(1);
    EXPECT_EQ(r(n.set("1234567", 7), n), "1 1234567|7|8|2/2071");
    failAllocation(0);

    // Unheard, a text of the size there is goes into the storage in place.
    zrecs_set_listener(nullptr, nullptr);
    zrecs_set_pointer_check(nullptr, nullptr);
    ZroStr q("abcd");
    const char* place = q.dataPointer();
    const bool quiet = zrecs_state == 0;
    const auto set = [&q](const char* text, unsigned n) { return q.set(text, n), st(q); };
    EXPECT_EQ(seq({set("wxyz", 4), set(withNul, 5)}), "wxyz|4|5|0/0abc|3|5|0/0");
    if (quiet) { EXPECT_EQ(q.dataPointer(), place); }
    EXPECT_EQ(seq({set("abcdefg", 3), set(withNul, 7)}), "abc|3|4|0/0abc|3|7|0/0");
}

TEST_F(ZroStrTest, CompareAndSearch)
{
    ZroStr none, nul('\0'), a("a"), ab("ab"), abc("abc"), z("z"), high("\xe9t\xe9");
    const ZroStr* order[] = {&none, &a, &ab, &abc, &z, &high};
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(order[i]->compare(*order[j]), i < j ? -1 : i > j ? 1 : 0) << i << j;
    EXPECT_EQ(none.compare(nul) + 2 * nul.compare(none) + 4 * abc.compare(ZroStr("abc")), 0);

    EXPECT_EQ(abc.find(none) + 2 * none.find(none) + 4 * none.find(a) + 8 * abc.find(ab), 11);
    EXPECT_EQ(abc.find(ZroStr("bcd")) + 2 * abc.find(ZroStr("c")) + 4 * ab.find(abc), 2);
    unsigned at = 7;
    EXPECT_EQ(abc.find(none, at) + 2 * a.find(ab, at), 1);
    EXPECT_EQ(at, 7u);
    // Every position starts like the pattern: the search must stay right
    // after it stops trying candidates one by one.
    const std::string as(100, 'a');
    ZroStr text((as + "b" + as).c_str());
    for (const char* found : {"aab", "ab", "b", "baa", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaab"}) {
        unsigned offset = 0;
        EXPECT_EQ(text.find(ZroStr(found)) + 2 * text.find(ZroStr(found), offset), 3) << found;
        EXPECT_EQ(offset, 100u - (std::strchr(found, 'b') - found)) << found;
    }
    const std::string longer = "b" + std::string(101, 'a'); // one more than there are
    for (const char* missing : {"aac", "bb", "abab", longer.c_str()}) {
        unsigned offset = 0;
        EXPECT_EQ(text.find(ZroStr(missing)) + text.find(ZroStr(missing), offset), 0) << missing;
    }
    // From an offset: where the match starts, or past the last place one could.
    const ZroStr twice("abcabc");
    const std::vector<std::vector<unsigned>> from = {
        {90, 1, 99}, {100, 0, 200}, {1, 1, 3}, {4, 0, 4}};
    for (const auto& f : from) {
        unsigned offset = f[0];
        EXPECT_EQ((f[0] < 10 ? twice.find(ZroStr("abc"), offset) : text.find(ZroStr("ab"), offset)),
                  f[1]);
        EXPECT_EQ(offset, f[2]) << f[0];
    }
}

TEST_F(ZroStrTest, ConcatenationAndSubstrings)
{
    ZroStr x("x");
    EXPECT_EQ(seq({r(x + 42L), r(x + (-7L)), r(ZroStr("v=") + 1.5), r(ZroStr("a") + '\0'),
                   r(ZroStr("a") + 'b'), r(x + "yz"), r(x + static_cast<const char*>(nullptr)),
                   r(x + ZroStr("!")), r(ZroStr() + ZroStr())}),
              "x42|3|4|0/0x-7|3|4|0/0v=1.500000|10|11|0/0a|1|2|0/0ab|2|3|0/0xyz|3|4|0/0x|1|2|0/0"
              "x!|2|3|0/0-|0|0|0/0");
    EXPECT_EQ(seq({r(x + LONG_MIN), r(x + LONG_MAX)}),
              "x-9223372036854775808|21|22|0/0x9223372036854775807|20|21|0/0");
    // More than the 19 characters of the number area.
    EXPECT_EQ(seq({r(x + 1e300), r(x + 1e12), r(x + -1e11)}),
              "x***|4|5|0/0x***|4|5|0/0x***|4|5|0/0");
    EXPECT_EQ(r(x + 1e11), "x100000000000.000000|20|21|0/0"); // exactly 19 characters
    ZroStr s("ab");
    s += 'c';
    s += "de";
    s += ZroStr("f");
    s += 7L;
    s += 0.25;
    s += '\0';
    EXPECT_EQ(r(s), "abcdef70.250000|15|16|0/0");
    s += s;
    EXPECT_EQ(r(s), "abcdef70.250000abcdef70.250000|30|31|0/0");
    // Appending takes the codes and exact size of the concatenation.
    ZroStr f = failed("ab"), g = failed("ab"), h = failed("ab"), e('\0');
    f.setStorage(20);
    g.setStorage(20);
    said();
    f += 'z';
    g += static_cast<const char*>(nullptr);
    e += "";
    EXPECT_EQ(seq({r(f), r(g), r(h + "c"), r(e)}), "abz|3|4|0/0ab|2|3|0/0abc|3|4|0/0-|0|0|0/0");

    ZroStr abc("abc");
    EXPECT_EQ(
        seq({r(abc(1, 0)), r(abc(3, 0)), r(abc(0, 3)), r(abc(2, 2)), r(abc(1, 1)), r(abc(2, 1))}),
        "bc|2|3|0/0-|0|0|0/0abc|3|4|0/0-|0|0|0/0b|1|2|0/0c|1|2|0/0");
    // offset + count wraps around 32 bits: still out of range.
    EXPECT_EQ(seq({r(abc(1, 4294967295u)), r(abc(4294967295u, 2)), r(abc(4294967295u, 0)),
                   r(ZroStr()(0, 0)), r(failed("abc")(0, 1))}),
              "-|0|0|0/0-|0|0|0/0-|0|0|0/0-|0|0|0/0a|1|2|0/0" + SET_NULL);
    EXPECT_EQ(failing(1, [&] { return abc(0, 2); }), "-|0|0|1/2071" + NEW_NONE);
    EXPECT_EQ(seq({r(ZroStr("mIxEd 1\xe9").upperCase()), r(ZroStr().upperCase())}),
              "MIXED 1\xe9|8|9|0/0-|0|0|0/0");
}

TEST_F(ZroStrTest, ConcatenationWithoutStorage)
{
    const std::string EMPTY = "-|0|0|1/2071";
    ZroStr a("abc"), d("d");
    EXPECT_EQ(failing(1, [&] { return a + d; }), EMPTY + CAT_NONE);
    EXPECT_EQ(r(a), "abc|3|4|0/0");
    // A text operand works on a copy of the string. Without storage for the
    // copy, the copy warns and the text is added to an empty string; without
    // storage for the text made into a string, the copy is the result;
    // without storage for the concatenation, the result is empty.
    const auto plusText = [&] { return a + "d"; };
    EXPECT_EQ(failing(1, plusText), "d|1|2|0/0" + STORE_NONE);
    EXPECT_EQ(failing(2, plusText), "abc|3|4|0/0" + NEW_NONE);
    EXPECT_EQ(failing(3, plusText), EMPTY + CAT_NONE);
    // += of a text whose string gets no storage appends nothing; += passes
    // the concatenation's warning on and the string ends empty. A number is
    // appended as its text: the text's string, then the concatenation.
    ZroStr t = failed("t"), u("u"), v("v"), b("b"), b2("b");
    EXPECT_EQ(failing(1, [&] { return (t += "uv", t); }), "t|1|2|0/0" + NEW_NONE);
    EXPECT_EQ(failing(2, [&] { return (u += "vw", u); }), EMPTY + CAT_NONE);
    EXPECT_EQ(failing(1, [&] { return (v += 'x', v); }), EMPTY + CAT_NONE);
    EXPECT_EQ(seq({failing(1, [&] { return (b.pasteIn(12L), b); }),
                   failing(2, [&] { return (b2.pasteIn(12L), b2); })}),
              "b|1|2|0/0" + NEW_NONE + EMPTY + CAT_NONE);
    // + of a character concatenates directly; + of a number works on a copy
    // (allocations: the copy, the number's text, the concatenation).
    ZroStr c("c");
    EXPECT_EQ(failing(1, [&] { return c + 'x'; }), EMPTY + CAT_NONE);
    EXPECT_EQ(seq({failing(1, [&] { return c + 5L; }), failing(1, [&] { return c + 2.5; })}),
              "5|1|2|0/0" + STORE_NONE + "2.500000|8|9|0/0" + STORE_NONE);
    EXPECT_EQ(seq({failing(3, [&] { return c + 5L; }), failing(3, [&] { return c + 2.5; })}),
              EMPTY + CAT_NONE + EMPTY + CAT_NONE);
}

// A text into a fixed-width field, with an error object and with the shared
// codes (read back by a copyOut that fits). Unheard, the shared form takes a
// short path for a text that fits: every outcome must be the traced one.
TEST_F(ZroStrTest, FixedWidthCopies)
{
    char field[20];
    char* const f = field;
    char* const wrapping = reinterpret_cast<char*>(UINTPTR_MAX - 1);
    const std::string x40(40, 'x');
    struct Row {
        char* to;
        unsigned length;
        const char* source;
        char pad;
        const char *own, *shared; // "result field codes": the field and one byte past it
    };
    const Row rows[] = {
        {f, 8, "ABC", ' ', "1 ABC     - 0/0", "1 ABC     - 2/6108"},
        {f, 3, "ABC", ' ', "1 ABC- 0/0", "1 ABC- 2/6108"},
        {f, 4, "WXYZ", '*', "1 WXYZ- 0/0", "1 WXYZ- 2/6108"},
        {f, 2, "ABC", ' ', "1 AB- 1/6115", "1 AB- 1/6115"},
        {nullptr, 0, "ABC", ' ', "1 - 0/0", "1 - 1/6115"},
        {f, 0, "", ' ', "1 - 0/0", "1 - 2/6108"},
        {f, 0, "A", ' ', "1 - 0/0", "1 - 1/6115"},
        {f, 4, nullptr, '.', "1 ....- 0/0", "1 ....- 2/6108"}, // no source: an empty text
        {nullptr, 4, "", ' ', "0 ----- 2/6108", "0 ----- 2/6108"},
        {wrapping, 4, "AB", ' ', "0 ----- 2/2146", "0 ----- 2/2004"},
        {f, 3, x40.c_str(), ' ', "1 xxx- 1/6115", "1 xxx- 1/6115"},
        {f, 4, "", '#', "1 ####- 0/0", "1 ####- 2/6108"},
        {f, 17, "0123456789abcdef", '+', "1 0123456789abcdef+- 0/0", "1 0123456789abcdef+- 2/6108"},
        {f, 17, "0123456789abcdefgh", '+', "1 0123456789abcdefg- 1/6115",
         "1 0123456789abcdefg- 1/6115"},
        {f, 16, "0123456789abcdef", '+', "1 0123456789abcdef- 0/0", "1 0123456789abcdef- 2/6108"},
        {f, 17, "Z", '+', "1 Z++++++++++++++++- 0/0", "1 Z++++++++++++++++- 2/6108"},
    };
    std::string heard;
    const auto copy = [&](const Row& row, bool shared) {
        std::memset(field, '-', sizeof field);
        Error e;
        ZroStr probe("AB");
        char out[4];
        ZroStr::copy(nullptr, 1, "", ' '); // shared codes 2/6108
        said();
        const int result = shared ? ZroStr::copy(row.to, row.length, row.source, row.pad)
                                  : ZroStr::copy(row.to, row.length, row.source, e, row.pad);
        heard += said();
        probe.copyOut(out, 4, '*'); // carries the shared codes as they stand
        return std::to_string(result) + " " + std::string(field, row.length + 1) + " " +
               codes(shared ? static_cast<const ZroErr&>(probe) : e);
    };
    for (const Row& row : rows)
        EXPECT_EQ(seq({copy(row, false), "|", copy(row, true)}),
                  std::string(row.own) + "|" + row.shared)
            << &row - rows;
    EXPECT_EQ(heard, CUT + CUT + CUT + CUT + NO_DEST + NO_DEST +
                         " 43:ZroString::copy (error): target buffer error 43:ZroString::copy "
                         "(error): buffer error" +
                         CUT + CUT + CUT + CUT);
    heard.clear();
    const bool quietNow = unobserved();
    for (const Row& row : rows) EXPECT_EQ(copy(row, true), row.shared) << &row - rows;
    SetUp();
    const char source[] = "AB";
    refuse(source, 1, 1);
    Error e;
    const int result = ZroStr::copy(f, 4, source, e, ' ');
    EXPECT_EQ(std::to_string(result) + " " + codes(e) + said(),
              "0 2/2145 43:ZroString::copy (error): source buffer error");
    if (!quietNow) GTEST_SKIP() << "a zrecs trace file is active: the untraced path did not run";
}

TEST_F(ZroStrTest, SharedLockCreationAndCleanUp)
{
    ZroStr ab("AB");
    char field[2];
    ab.copyOut(field, 2, ' '); // the lock exists now
    said();
    ZroStrCleanUp();
    EXPECT_EQ(said(), RELEASING);
    ZroStrCleanUp(); // nothing left to release
    EXPECT_TRUE(events().empty());
    // No storage for the lock: the lock step fails, nothing is copied.
    std::memset(field, '-', 2);
    ab.clearErrorCodes();
    failAllocation(1);
    const int result = ab.copyOut(field, 2, ' ');
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 57", "exit 57 0"}));
    EXPECT_EQ(r(result, ab) + std::string(field, 2), "0 AB|2|3|2/2195--");
    // A later copyOut creates it again.
    ZroStr::copy(nullptr, 1, "", ' '); // shared codes 2/6108
    EXPECT_EQ(r(ab.copyOut(field, 2, ' '), ab), "1 AB|2|3|2/6108" + NO_DEST);
    EXPECT_EQ(std::string(field, 2), "AB");
    ZroStrCleanUp();
    EXPECT_EQ(said(), RELEASING);
}

TEST_F(ZroStrTest, ReadingNumbers)
{
    const auto read = [](const char* text, bool cut) {
        long value = 99;
        ZroStr s(text);
        const unsigned n = cut ? s.cutOut(value) : s.copyOut(value);
        return std::to_string(n) + " " + std::to_string(value) + " " + st(s);
    };
    EXPECT_EQ(read("  -42abc", false) + read("\t+7", false) + read("0x10", false),
              "5 -42   -42abc|8|9|0/03 7 \t+7|3|4|0/01 0 0x10|4|5|0/0");
    EXPECT_EQ(read("9223372036854775807", false) + read("99999999999999999999x", true),
              "19 9223372036854775807 9223372036854775807|19|20|0/0"
              "20 9223372036854775807 x|1|2|0/0");
    EXPECT_EQ(read("-9223372036854775808", true) + read("-9223372036854775809 ", true) +
                  read("-922337203685477580", true),
              "20 -9223372036854775808 -|0|0|0/020 -9223372036854775808  |1|2|0/0"
              "19 -922337203685477580 -|0|0|0/0");
    for (const char* bad : {"+", "abc", "- 5", "", " ", "--1", "/", ":"})
        EXPECT_EQ(read(bad, true), "0 99 " + st(ZroStr(bad))) << bad;
    long value = 5;
    ZroStr seven("7 x");
    failAllocation(1);
    EXPECT_EQ(seven.cutOut(value), 0u);
    EXPECT_EQ(std::to_string(value) + r(seven), "77 x|3|4|2/2071" + STORE_NONE);
}

TEST_F(ZroStrTest, Tokens)
{
    ZroStr s(",,a,b,,c"), token("old");
    const auto cut = [&](ZroStr& from, char delimiter) {
        const unsigned n = from.cutOut(token, delimiter);
        return std::to_string(n) + " " + st(from) + " " + r(token);
    };
    EXPECT_EQ(r(s.copyOut(token, ','), token) + st(s), "3 a|1|2|0/0,,a,b,,c|8|9|0/0");
    s.set(nullptr, 1); // codes 2/6108, replaced by the cut
    said();
    ZroStr only(",,,"), blanks("  a  b"), whole("a,b");
    EXPECT_EQ(seq({cut(s, ','), cut(s, ','), cut(s, ','), cut(s, ','), cut(only, ',')}),
              "4 b,,c|4|5|0/0 a|1|2|0/03 c|1|2|0/0 b|1|2|0/01 -|0|0|0/0 c|1|2|0/0"
              "0 -|0|0|0/0 c|1|2|0/00 ,,,|3|4|0/0 c|1|2|0/0");
    // Blanks after a token stay for the next cut.
    EXPECT_EQ(seq({cut(blanks, ' '), cut(blanks, ' ')}),
              "3   b|3|4|0/0 a|1|2|0/03 -|0|0|0/0 b|1|2|0/0");
    EXPECT_EQ(r(whole.copyOut(token, '\0'), token), "3 a,b|3|4|0/0" + NUL_DELIMITER);
    EXPECT_EQ(cut(whole, '\0'), "3 -|0|0|0/0 a,b|3|4|0/0" + NUL_DELIMITER + NO_STRIP);
    // The information text comes even when there is nothing to take.
    ZroStr emptyText('\0');
    EXPECT_EQ(
        seq({r(ZroStr().copyOut(token, '\0'), token), r(emptyText.copyOut(token, '\0'), token)}),
        "0 a,b|3|4|0/0" + NUL_DELIMITER + "0 a,b|3|4|0/0" + NUL_DELIMITER);

    // Into itself: the string ends as its token.
    ZroStr t("ab,cd"), u("ab,cd"), v(",,,");
    EXPECT_EQ(seq({r(t.copyOut(t, ','), t), r(u.cutOut(u, ','), u), r(v.cutOut(v, ','), v)}),
              "2 ab|2|3|0/03 ab|2|3|0/00 ,,,|3|4|0/0");

    // No storage for the token: it keeps its text; for the rest: the string
    // keeps its text.
    ZroStr w("ab,cd");
    token = ZroStr("old");
    failAllocation(1);
    EXPECT_EQ(cut(w, ','), "0 ab,cd|5|6|0/0 old|3|4|2/2071" + STORE_NONE);
    failAllocation(2);
    EXPECT_EQ(cut(w, ','), "0 ab,cd|5|6|2/2071 ab|2|3|0/0" + STORE_NONE);
    failAllocation(1); // a token of its storage's size is set in place
    EXPECT_EQ(r(w.copyOut(token, ','), token), "2 ab|2|3|0/0");
    failAllocation(0);
}

TEST_F(ZroStrTest, Strip)
{
    ZroStr s = failed("xxab"), all("xxx"), t = failed("ab  "), blanks("   "), kept("  lead");
    said();
    ZroStr axx("axx");
    EXPECT_EQ(seq({r(s.stripLeading('x'), s), r(s.stripLeading('x'), s),
                   r(all.stripLeading('x'), all), r(axx.stripLeading('x'), axx)}),
              "2 ab|2|3|0/00 ab|2|3|0/03 -|0|0|0/00 axx|3|4|0/0");
    EXPECT_EQ(seq({r(t.stripTrailing(' '), t), r(t.stripTrailing(' '), t),
                   r(blanks.stripTrailing(' '), blanks)}),
              "2 ab|2|5|2/61080 ab|2|5|2/61083 |0|4|0/0");
    EXPECT_EQ(ZroStr().stripTrailing(' '), 0u);
    EXPECT_EQ(r(t.stripLeading('\0'), t), "0 ab|2|5|2/6108" + NO_STRIP);
    EXPECT_EQ(r(t.stripTrailing('\0'), t),
              "0 ab|2|5|2/6108 49:ZroString::stripTrailing (information): cannot strip nulls");
    failAllocation(1);
    EXPECT_EQ(r(kept.stripLeading(' '), kept), "0   lead|6|7|2/2071" + STORE_NONE);
}

TEST_F(ZroStrTest, AppendingBytesAndNumbers)
{
    ZroStr s("ab");
    const char bytes[] = {'x', '\0', 'y'};
    EXPECT_EQ(seq({r(s.pasteIn(bytes, 3), s), r(s.pasteIn(nullptr, 0), s)}),
              "1 abx.y|5|6|0/01 abx.y|5|6|0/0");
    EXPECT_EQ(r(s.pasteIn(s.dataPointer(), s.length()), s), "1 abx.yabx.y|10|11|0/0"); // itself
    EXPECT_EQ(r(s.pasteIn(nullptr, 3), s), "0 abx.yabx.y|10|11|2/6108" + PASTE_NULL);
    ZroStr e;
    EXPECT_EQ(r(e.pasteIn("\0\0z", 3), e), "1 ..z|3|4|0/0");
    // The new size would not be a 32-bit number: nothing is read.
    ZroStr t("ab");
    EXPECT_EQ(seq({r(t.pasteIn(bytes, 4294967295u), t), r(t.pasteIn(bytes, 4294967293u), t)}),
              "0 ab|2|3|2/2071" + PASTE_NONE + "0 ab|2|3|2/2071" +
                  PASTE_NONE); // storage 2^32 + 2, 2^32
    t.clearErrorCodes();
    refuse(bytes + 1, 1, 1);
    EXPECT_EQ(r(t.pasteIn(bytes, 3), t), "0 ab|2|3|2/2004" + READ_REFUSED);
    allowAll();
    t.clearErrorCodes();
    failAllocation(1);
    EXPECT_EQ(r(t.pasteIn(bytes, 3), t), "0 ab|2|3|2/2071" + STORE_NONE);
    ZroStr room("abc");
    room.setStorage(6);
    EXPECT_EQ(r(room.pasteIn("de", 2), room), "1 abcde|5|6|0/0");

    ZroStr n("n="), m;
    EXPECT_EQ(seq({r(n.pasteIn(-5L), n), r(m.pasteIn(LONG_MIN), m)}),
              "1 n=-5|4|5|0/01 -9223372036854775808|20|21|0/0");
}

TEST_F(ZroStrTest, OneFloatingConversionIsFormattedAndNothingElse)
{
    struct Row {
        const char* format;
        double value;
        const char* text; // nullptr: "***" and result 0
    };
    const Row rows[] = {
        // One conversion: flags, width, precision of any digits, l or L.
        {"%lf", 1.5, "1.500000"},
        {"%lg", 1.5, "1.5"},
        {"%le", 1.5, "1.500000e+00"},
        {"%Lf", 1.5, "1.500000"},
        {"%LG", 1e-10, "1E-10"},
        {"%Lg", 0.5, "0.5"},
        {"%10.2f", 1.5, "      1.50"},
        {"%.0f", 2.5, "2"},
        {"%.f", 1.5, "2"},
        {"%#.0f", 2.0, "2."},
        {"%.0010f", 1.5, "1.5000000000"},
        {"%0000010.3f", -1.5, "-00001.500"},
        {"<%+07.1f>", -2.5, "<-0002.5>"},
        {"%-8.1e|", 2.5, "2.5e+00 |"},
        {"%+ .2F", 1.0, "+1.00"},
        {"%a", 1.0, "0x1p+0"},
        {"%.2A", 1.0, "0X1.00P+0"},
        {"%E", 0.5, "5.000000E-01"},
        {"%.99999999999g", 0.125, "0.125"},
        {"%.2f", 2.5, "2.50"},
        {"v=%-+12.3e%%", 2.5, "v=+2.500e+00  %"},
        {"%%%.f%%", 1.5, "%2%"},
        {"%19f", 1.5, "           1.500000"},
        {"%.17f", 0.5, "0.50000000000000000"},
        // Infinity and NaN ignore the precision, however large.
        {"%#.40g", -INFINITY, "-inf"},
        {",%-+#2.020g", -NAN, ",-nan"},
        {"%.30f", NAN, "nan"},
        {"%.30E", INFINITY, "INF"},
        // Well formed, but more than 19 characters.
        {"%.30g", 0.1, nullptr},
        {"%f", 1e12, nullptr},
        {"%f", 1e300, nullptr},
    };
    const std::vector<const char*> tooLong = {"%20f",   "%999f",  "%999999999999f", "%.18f",
                                              "a%.17f", "%#.30g", "v=%-+17.3e%%"};
    // Anything else.
    const std::vector<const char*> refused = {
        nullptr, "",     "x",    "%%",   "%",     "%5",   "%.f%", "%s",   "%n",
        "%d",    "%c",   "%p",   "%f%f", "%Lf%n", "%f%s", "%*f",  "%.*f", "%1$f",
        "%'f",   "%lld", "%llf", "%lLf", "%Llf",  "%hf",  "%jf",  "%zf"};
    std::vector<Row> all(std::begin(rows), std::end(rows));
    for (const char* format : tooLong) all.push_back({format, 1.5, nullptr});
    for (const char* format : refused) all.push_back({format, 1.5, nullptr});
    for (const Row& row : all) {
        ZroStr s("v=");
        const std::string text = std::string("v=") + (row.text != nullptr ? row.text : "***");
        EXPECT_EQ(r(s.pasteIn(row.value, row.format), s),
                  (row.text != nullptr ? "1 " : "0 ") + text + "|" + std::to_string(text.size()) +
                      "|" + std::to_string(text.size() + 1) + "|0/0")
            << (row.format != nullptr ? row.format : "(null)");
    }
}

TEST_F(ZroStrTest, ViewsStreamsAndVersion)
{
    ZroStr none, s("abcdef");
    EXPECT_TRUE(none.view().data() != nullptr && none.view().empty());
    s.setStorage(3); // the kept bytes become "ab" and a NUL
    const std::string_view implicit = s;
    EXPECT_EQ(std::string(implicit) + "|" + std::string(ZroStr("x y")), "ab|x y");
    EXPECT_EQ(implicit.data(), s.dataPointer());
    std::ostringstream out;
    out << ZroStr("ab") << '|' << std::setw(5) << std::setfill('.') << ZroStr("cd") << '|' << none;
    EXPECT_EQ(out.str(), "ab|...cd|");

    const unsigned char bytes[] = {0, 1, 2, 255};
    ZroBin bin(bytes, sizeof bytes);
    EXPECT_EQ(std::string(bin.view().begin(), bin.view().end()), std::string("\0\1\2\xff", 4));
    EXPECT_TRUE(bin.view().data() == bin.dataPointer() && bin.view()[3] == 255);
    EXPECT_TRUE(ZroBin().view().empty() && ZroBin().view().begin() == ZroBin().view().end());

    ZroMsg message;
    const char* shown[] = {
        "format \"        \", encoding 546, character set 0, data offset 0 of 0",
        "format \"ZRSTR   \", encoding 546, character set 0, data offset 3 of 7",
        "format \"A\\x22\\x5c\\x01\\xe9   \", encoding 546, character set 0, data offset 3 of 7"};
    const char* formats[] = {nullptr, "ZRSTR", "A\"\\\x01\xe9"};
    for (int i = 0; i < 3; ++i) {
        if (formats[i] != nullptr) {
            ZroStr body("payload");
            message.writeItem(body);
            message.setDataOffset(3);
            message.setFormat(formats[i]);
        }
        std::ostringstream line;
        line << message;
        EXPECT_EQ(line.str(), shown[i]);
    }

    // A body whose format differs from the string format in its last byte
    // only is not read as a string.
    message.setFormat("ZRSTR  !");
    message.setDataOffset(0);
    ZroStr body("kept");
    said();
    EXPECT_EQ(r(message.readItem(body), body),
              "0 kept|4|5|2/6119 45:ZroString::pasteIn (error): wrong message format");
    EXPECT_STREQ(zroi_version(), ZROI_VERSION_STRING);
    EXPECT_EQ(said(), "");
}

// Several threads at once: ZroStr::copyOut(char*, unsigned, char) creates one
// shared lock, and each copy reads its own codes.
namespace {
constexpr int ROUNDS = 20000; // enough that copies without the lock would mix their codes

/// Runs `work(t)` on `n` threads that start together.
void together(int n, const std::function<void(int)>& work)
{
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < n; ++t)
        threads.emplace_back([&, t] {
            while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
            work(t);
        });
    go.store(true, std::memory_order_release);
    for (std::thread& thread : threads) thread.join();
}
} // namespace

using ZroStrThreadTest = ZroTest;

TEST_F(ZroStrThreadTest, ConcurrentCopiesCreateOneLockAndKeepTheirCodes)
{
    ZroStrCleanUp();                   // no shared lock: the threads race to create it
    ZroStr::copy(nullptr, 1, "", ' '); // shared codes 2/6108 to start with
    std::vector<int> errors(6, 0);
    std::vector<unsigned long> allocations(6, 0); // each thread counts its own
    zrecs_set_listener(nullptr, nullptr); // unheard, the threads meet in the copy more often
    together(6, [&](int t) {
        ZroStr s(t % 3 == 0 ? "ABCDEF" : "AB");
        const unsigned long before = zroi_test_allocation_count();
        // A cut gives exactly its warning, no field exactly its failure, a
        // fit whichever pair stands but never a mixture.
        const char* wanted[] = {"1ABCD1/6115", "02/6108", "1AB**1/6115", "1AB**2/6108"};
        for (int round = 0; round < ROUNDS; ++round) {
            char field[4] = {};
            const int result = s.copyOut(t % 3 == 1 ? nullptr : field, 4, '*');
            const std::string got =
                std::to_string(result) + (t % 3 == 1 ? "" : std::string(field, 4)) +
                std::to_string(s.completionCode()) + "/" + std::to_string(s.reasonCode());
            if (got != wanted[t % 3] && (t % 3 != 2 || got != wanted[3])) ++errors[t];
        }
        allocations[t] = zroi_test_allocation_count() - before;
    });
    EXPECT_EQ(errors, std::vector<int>(6, 0));
    // The copies allocate nothing: the one allocation, made by whichever
    // thread came first, is the one shared lock.
    EXPECT_EQ(allocations[0] + allocations[1] + allocations[2] + allocations[3] + allocations[4] +
                  allocations[5],
              1u);
    SetUp(); // listening again
    clearEvents();
    ZroStrCleanUp();
    expectOnlyText(76, "Releasing ZroString resources");
}

TEST_F(ZroStrThreadTest, DirectCopiesBesideLockedCopies)
{
    // The shared-codes copy called directly takes no lock; its code writes
    // race with the locked copies by design, but without a data race.
    std::atomic<int> wrongFields{0};
    zrecs_set_listener(nullptr, nullptr);
    together(4, [&](int t) {
        ZroStr s("XYZ");
        for (int round = 0; round < ROUNDS; ++round) {
            char field[2] = {};
            const int done =
                t % 2 == 0 ? ZroStr::copy(field, 2, "XYZ", ' ') : s.copyOut(field, 2, ' ');
            wrongFields += done == 0 || std::memcmp(field, "XY", 2) != 0;
        }
    });
    EXPECT_EQ(wrongFields.load(), 0);
}

// The allocation seam's controls belong to the thread that calls them: a
// failure planned on one thread neither fails nor counts another's.
TEST_F(ZroStrThreadTest, AllocationFailuresAndCountsStayOnTheirThread)
{
    std::atomic<bool> planned{false};
    unsigned long otherCount = 0;
    int otherFailures = 0;
    std::thread other([&] {
        while (!planned.load(std::memory_order_acquire)) std::this_thread::yield();
        const unsigned long before = zroi_test_allocation_count();
        for (int i = 0; i < 1000; ++i) otherFailures += ZroStr("another thread's").length() == 0;
        otherCount = zroi_test_allocation_count() - before;
    });
    const unsigned long before = zroi_test_allocation_count();
    failAllocation(1, true); // every allocation of this thread from now on
    planned.store(true, std::memory_order_release);
    other.join();
    ZroStr mine("this thread's");
    failAllocation(0);
    EXPECT_EQ(mine.dataPointer(), nullptr);
    expectCodes(mine, 1, 2071);
    EXPECT_EQ(otherFailures * 10000 + otherCount, 1000u);
    EXPECT_EQ(zroi_test_allocation_count() - before, 1u);
}
