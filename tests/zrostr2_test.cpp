// ZroStr: fixed-width copies, numbers, tokens, searching, editing, appending
// bytes, and the shared string lock.
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zrostr.hpp"
#include "zrotest.hpp"

namespace {
std::string text(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }

// An error object for the static copy.
struct Error : ZroErr {};

// Leaves 2/6108 in the shared copy codes.
void sharedCodesNoDestination() { ZroStr::copy(nullptr, 1, "", ' '); }

const char NO_DESTINATION[] = "static ZroString::copy (error): no destination buffer";
const char TRUNCATED[] = "static ZroString::copy (warning): string truncated";
const char SETSTORAGE_NO_STORAGE[] = "ZroString::setStorage (error): storage not available";
const char NULL_DELIMITER[] =
    "ZroString::copyOut/cutOut (information): null string delimiter is not advised";
const char CANNOT_STRIP_LEADING[] = "ZroString::stripLeading (information): cannot strip nulls";
} // namespace

using ZroStrCopyTest = ZroTest;
using ZroStrNumberTest = ZroTest;
using ZroStrTokenTest = ZroTest;
using ZroStrEditTest = ZroTest;

TEST_F(ZroStrCopyTest, CopyWithErrorObject)
{
    char field[8];
    Error error;
    EXPECT_EQ(ZroStr::copy(field, 8, "ABC", error, ' '), 1);
    EXPECT_EQ(std::string(field, 8), "ABC     ");
    expectCodes(error, 0, 0);
    std::memset(field, '-', 8);
    EXPECT_EQ(ZroStr::copy(field, 3, "ABC", error, ' '), 1);
    EXPECT_EQ(std::string(field, 8), "ABC-----");
    expectCodes(error, 0, 0);
    expectNoText();

    EXPECT_EQ(ZroStr::copy(field, 2, "ABC", error, ' '), 1);
    EXPECT_EQ(std::string(field, 3), "ABC");
    expectOnlyText(43, TRUNCATED);
    expectCodes(error, 1, 6115);

    // Length 0: nothing written or reported, whatever the source.
    Error quiet;
    clearEvents();
    EXPECT_EQ(ZroStr::copy(nullptr, 0, "ABC", quiet, ' '), 1);
    expectNoText();
    expectCodes(quiet, 0, 0);
    // A missing source is an empty text.
    EXPECT_EQ(ZroStr::copy(field, 4, nullptr, quiet, '.'), 1);
    EXPECT_EQ(std::string(field, 4), "....");

    clearEvents();
    EXPECT_EQ(ZroStr::copy(nullptr, 4, "", quiet, ' '), 0);
    expectOnlyText(43, NO_DESTINATION);
    expectCodes(quiet, 2, 6108);
}

TEST_F(ZroStrCopyTest, CopyWithSharedCodes)
{
    char field[4];
    // Length 0 with a text is a cut here.
    EXPECT_EQ(ZroStr::copy(nullptr, 0, "ABC", ' '), 1);
    expectOnlyText(43, TRUNCATED);
    ZroStr probe("AB");
    EXPECT_EQ(probe.copyOut(field, 4, '*'), 1);
    expectCodes(probe, 1, 6115);

    clearEvents();
    EXPECT_EQ(ZroStr::copy(nullptr, 4, "", ' '), 0);
    expectOnlyText(43, NO_DESTINATION);
    EXPECT_EQ(probe.copyOut(field, 4, '*'), 1);
    expectCodes(probe, 2, 6108);

    char refused[4] = {'-', '-', '-', '-'};
    refuse(refused, 4, 2);
    clearEvents();
    EXPECT_EQ(ZroStr::copy(refused, 4, "AB", ' '), 0);
    expectOnlyText(43, "ZroString::copy (error): buffer error");
    EXPECT_EQ(std::string(refused, 4), "----");
    EXPECT_EQ(probe.copyOut(field, 4, '*'), 1);
    expectCodes(probe, 2, 2004);
}

TEST_F(ZroStrCopyTest, SharedCodesCopyGivesTheSameWithoutListener)
{
    // Nobody listening, a text that fits is copied on a short path; every
    // outcome must be the one the checked path gives.
    auto run = []() {
        std::vector<std::string> seen;
        char field[4] = {'-', '-', '-', '-'};
        char* wrapping = reinterpret_cast<char*>(UINTPTR_MAX - 1);
        ZroStr probe("AB");
        auto note = [&](unsigned char result) {
            char out[4];
            probe.copyOut(out, 4, '*'); // carries the shared codes as they stand
            seen.push_back(std::to_string(result) + "|" + std::string(field, 4) + "|" +
                           std::to_string(probe.completionCode()) + "/" +
                           std::to_string(probe.reasonCode()));
        };
        sharedCodesNoDestination();
        note(ZroStr::copy(field, 4, "AB", ' '));
        note(ZroStr::copy(field, 4, "WXYZ", '*'));
        note(ZroStr::copy(field, 4, "ABCDE", ' '));
        sharedCodesNoDestination();
        note(ZroStr::copy(field, 4, nullptr, '.'));
        note(ZroStr::copy(field, 0, "", ' '));
        note(ZroStr::copy(field, 0, "A", ' '));
        note(ZroStr::copy(wrapping, 4, "AB", ' '));
        note(ZroStr::copy(nullptr, 4, "", ' '));
        note(ZroStr::copy(field, 3, std::string(40, 'x').c_str(), ' '));
        note(ZroStr::copy(field, 4, "", '#'));
        return seen;
    };
    const std::vector<std::string> traced = run();
    EXPECT_EQ(traced, (std::vector<std::string>{"1|AB  |2/6108", "1|WXYZ|2/6108", "1|ABCD|1/6115",
                                                "1|....|2/6108", "1|....|2/6108", "1|....|1/6115",
                                                "0|....|2/2004", "0|....|2/6108", "1|xxx.|1/6115",
                                                "1|####|1/6115"}));

    zrecs_set_listener(nullptr, nullptr);
    zrecs_set_pointer_check(nullptr, nullptr);
    const bool quietNow = zrecs_state == 0;
    EXPECT_EQ(run(), traced);
    if (!quietNow) GTEST_SKIP() << "a zrecs trace file is active: the untraced path did not run";
}

TEST_F(ZroStrCopyTest, SharedLockCreationAndCleanUp)
{
    ZroStr ab("AB");
    char field[2];
    ab.copyOut(field, 2, ' '); // the lock exists now
    clearEvents();
    ZroStrCleanUp();
    expectOnlyText(76, "Releasing ZroString resources");
    EXPECT_TRUE(records().empty());
    clearEvents();
    ZroStrCleanUp(); // nothing left to release
    EXPECT_TRUE(events().empty());

    // No storage for the lock: the lock step fails, nothing is copied.
    std::memset(field, '-', 2);
    ab.clearErrorCodes();
    failAllocation(1);
    EXPECT_EQ(ab.copyOut(field, 2, ' '), 0);
    expectCodes(ab, 2, 2195);
    EXPECT_EQ(std::string(field, 2), "--");
    EXPECT_EQ(records(), (std::vector<std::string>{"entry 57", "exit 57 0"}));
    expectNoText();

    // A later copyOut creates it again.
    clearEvents();
    EXPECT_EQ(ab.copyOut(field, 2, ' '), 1);
    EXPECT_EQ(std::string(field, 2), "AB");
    clearEvents();
    ZroStrCleanUp();
    expectOnlyText(76, "Releasing ZroString resources");
}

TEST_F(ZroStrNumberTest, ReadingNumbers)
{
    long value = 99;
    EXPECT_EQ(ZroStr("  -42abc").copyOut(value), 5u);
    EXPECT_EQ(value, -42);
    EXPECT_EQ(ZroStr("\t+7").copyOut(value), 3u);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(ZroStr("0x10").copyOut(value), 1u);
    EXPECT_EQ(value, 0);
    for (const char* bad : {"+", "abc", "- 5", "", " ", "--1"}) {
        value = 99;
        EXPECT_EQ(ZroStr(bad).copyOut(value), 0u) << bad;
        EXPECT_EQ(value, 99) << bad;
    }
    EXPECT_EQ(ZroStr().copyOut(value), 0u);
    EXPECT_EQ(value, 99);
    expectNoText();
}

TEST_F(ZroStrTokenTest, CommaTokens)
{
    ZroStr s(",,a,b,,c"), token("old");
    EXPECT_EQ(s.copyOut(token, ','), 3u);
    EXPECT_EQ(text(token), "a");
    EXPECT_EQ(text(s), ",,a,b,,c");

    s.set(nullptr, 1); // codes 2/6108, replaced by the cut
    clearEvents();
    EXPECT_EQ(s.cutOut(token, ','), 4u);
    EXPECT_EQ(text(token), "a");
    EXPECT_EQ(token.storageSize(), 2u);
    EXPECT_EQ(text(s), "b,,c");
    EXPECT_EQ(s.storageSize(), 5u);
    expectCodes(s, 0, 0);
    EXPECT_EQ(s.cutOut(token, ','), 3u);
    EXPECT_EQ(text(token), "b");
    EXPECT_EQ(text(s), "c");
    EXPECT_EQ(s.cutOut(token, ','), 1u);
    EXPECT_EQ(text(token), "c");
    EXPECT_EQ(s.dataPointer(), nullptr);
    EXPECT_EQ(s.cutOut(token, ','), 0u);
    EXPECT_EQ(text(token), "c");

    ZroStr only(",,,");
    EXPECT_EQ(only.cutOut(token, ','), 0u);
    EXPECT_EQ(text(only), ",,,");
    EXPECT_EQ(text(token), "c");
    expectNoText();
}

TEST_F(ZroStrTokenTest, BlankAndNulDelimiters)
{
    ZroStr s("  a  b"), token;
    EXPECT_EQ(s.cutOut(token, ' '), 3u);
    EXPECT_EQ(text(token), "a");
    EXPECT_EQ(text(s), "  b");
    EXPECT_EQ(s.cutOut(token, ' '), 3u);
    EXPECT_EQ(text(token), "b");
    EXPECT_EQ(s.dataPointer(), nullptr);
    expectNoText();

    ZroStr whole("a,b");
    EXPECT_EQ(whole.copyOut(token, '\0'), 3u);
    expectOnlyText(44, NULL_DELIMITER);
    EXPECT_EQ(text(token), "a,b");
    clearEvents();
    EXPECT_EQ(whole.cutOut(token, '\0'), 3u);
    EXPECT_EQ(texts(), (std::vector<std::string>{NULL_DELIMITER, CANNOT_STRIP_LEADING}));
    EXPECT_EQ(textFunctions(), (std::vector<unsigned>{44, 48}));
    EXPECT_EQ(whole.dataPointer(), nullptr);
    // The information text comes even when there is nothing to take.
    clearEvents();
    EXPECT_EQ(ZroStr().copyOut(token, '\0'), 0u);
    expectOnlyText(44, NULL_DELIMITER);
}

TEST_F(ZroStrTokenTest, TokensWithoutStorage)
{
    ZroStr s("ab,cd"), token("old");
    failAllocation(1);
    EXPECT_EQ(s.cutOut(token, ','), 0u);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    expectCodes(token, 2, 2071);
    EXPECT_EQ(text(token), "old");
    EXPECT_EQ(text(s), "ab,cd");
    expectCodes(s, 0, 0);

    // The token gets its storage, the rest of the string does not.
    clearEvents();
    failAllocation(2);
    EXPECT_EQ(s.cutOut(token, ','), 0u);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    EXPECT_EQ(text(token), "ab");
    EXPECT_EQ(text(s), "ab,cd");
    expectCodes(s, 2, 2071);
}

TEST_F(ZroStrEditTest, FindAmongManyFalseStarts)
{
    // Every position starts like the pattern: the search must stay right
    // after it stops trying candidates one by one.
    std::string as(100, 'a');
    ZroStr text((as + "b" + as).c_str());
    for (const char* found : {"aab", "ab", "b", "baa", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaab"}) {
        EXPECT_EQ(text.find(ZroStr(found)), 1) << found;
        unsigned offset = 0;
        EXPECT_EQ(text.find(ZroStr(found), offset), 1) << found;
        EXPECT_EQ(offset, 100u - (std::strchr(found, 'b') - found)) << found;
    }
    const std::string longer = "b" + std::string(101, 'a'); // one more than there are
    for (const char* missing : {"aac", "bb", "abab", longer.c_str()}) {
        EXPECT_EQ(text.find(ZroStr(missing)), 0) << missing;
        unsigned offset = 0;
        EXPECT_EQ(text.find(ZroStr(missing), offset), 0) << missing;
    }
    // A match may not run past the end of the text.
    EXPECT_EQ(ZroStr("abc").find(ZroStr("bcd")), 0);
    unsigned offset = 90;
    EXPECT_EQ(text.find(ZroStr("ab"), offset), 1);
    EXPECT_EQ(offset, 99u);
    offset = 100;
    EXPECT_EQ(text.find(ZroStr("ab"), offset), 0);
    EXPECT_EQ(offset, 200u);
}

TEST_F(ZroStrEditTest, AppendingBytes)
{
    ZroStr s("ab");
    const char bytes[] = {'x', '\0', 'y'};
    EXPECT_EQ(s.pasteIn(bytes, 3), 1);
    EXPECT_EQ(text(s), "abx.y");
    EXPECT_EQ(s.length(), 5u);
    EXPECT_EQ(s.storageSize(), 6u);
    EXPECT_EQ(s.pasteIn(nullptr, 0), 1);
    EXPECT_EQ(text(s), "abx.y");
    // From its own text.
    EXPECT_EQ(s.pasteIn(s.dataPointer(), s.length()), 1);
    EXPECT_EQ(text(s), "abx.yabx.y");
    expectNoText();

    EXPECT_EQ(s.pasteIn(nullptr, 3), 0);
    expectOnlyText(45, "ZroString::pasteIn (error): null pointer");
    expectCodes(s, 2, 6108);

    // The new size would not be a 32-bit number: nothing is read.
    ZroStr t("ab");
    clearEvents();
    EXPECT_EQ(t.pasteIn(bytes, 4294967295u), 0);
    expectOnlyText(45, "ZroString::pasteIn (error): storage not available");
    expectCodes(t, 2, 2071);
    EXPECT_EQ(text(t), "ab");
    clearEvents();
    EXPECT_EQ(t.pasteIn(bytes, 4294967293u), 0); // 2 + n + 1 = 2^32
    expectOnlyText(45, "ZroString::pasteIn (error): storage not available");

    ZroStr r("ab");
    refuse(bytes + 1, 1, 1);
    clearEvents();
    EXPECT_EQ(r.pasteIn(bytes, 3), 0);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    expectCodes(r, 2, 2004);
    EXPECT_EQ(text(r), "ab");
    allowAll();

    clearEvents();
    failAllocation(1);
    EXPECT_EQ(r.pasteIn(bytes, 3), 0);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    expectCodes(r, 2, 2071);
    EXPECT_EQ(text(r), "ab");
}

TEST_F(ZroStrEditTest, Strip)
{
    ZroStr s("xxab");
    s.set(nullptr, 1);
    clearEvents();
    EXPECT_EQ(s.stripLeading('x'), 2u);
    EXPECT_EQ(text(s), "ab");
    EXPECT_EQ(s.storageSize(), 3u);
    expectCodes(s, 0, 0);
    EXPECT_EQ(s.stripLeading('x'), 0u);
    ZroStr all("xxx");
    EXPECT_EQ(all.stripLeading('x'), 3u);
    EXPECT_EQ(all.dataPointer(), nullptr);

    ZroStr t("ab  ");
    t.set(nullptr, 1);
    clearEvents();
    EXPECT_EQ(t.stripTrailing(' '), 2u);
    EXPECT_EQ(text(t), "ab");
    EXPECT_EQ(t.storageSize(), 5u);
    expectCodes(t, 2, 6108);
    EXPECT_EQ(t.stripTrailing(' '), 0u);
    EXPECT_EQ(ZroStr().stripTrailing(' '), 0u);
    ZroStr blanks("   ");
    EXPECT_EQ(blanks.stripTrailing(' '), 3u);
    EXPECT_EQ(blanks.length(), 0u);
    expectNoText();

    EXPECT_EQ(t.stripLeading('\0'), 0u);
    expectOnlyText(48, CANNOT_STRIP_LEADING);
    clearEvents();
    EXPECT_EQ(t.stripTrailing('\0'), 0u);
    expectOnlyText(49, "ZroString::stripTrailing (information): cannot strip nulls");
    EXPECT_EQ(text(t), "ab");
    expectCodes(t, 2, 6108);

    ZroStr kept("  lead");
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(kept.stripLeading(' '), 0u);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    expectCodes(kept, 2, 2071);
    EXPECT_EQ(text(kept), "  lead");
}

TEST_F(ZroStrTokenTest, TokenIntoItself)
{
    ZroStr s("ab,cd");
    EXPECT_EQ(s.copyOut(s, ','), 2u);
    EXPECT_EQ(text(s), "ab");
    ZroStr t("ab,cd");
    EXPECT_EQ(t.cutOut(t, ','), 3u);
    EXPECT_EQ(text(t), "ab");
}

TEST_F(ZroStrNumberTest, AppendingNumbers)
{
    ZroStr n("n=");
    EXPECT_EQ(n.pasteIn(-5L), 1);
    EXPECT_EQ(text(n), "n=-5");
    ZroStr m;
    EXPECT_EQ(m.pasteIn(LONG_MIN), 1);
    EXPECT_EQ(text(m), "-9223372036854775808");
    ZroStr f;
    EXPECT_EQ(f.pasteIn(2.5, "%.2f"), 1);
    EXPECT_EQ(text(f), "2.50");
    ZroStr g("[");
    EXPECT_EQ(g.pasteIn(2.5, "v=%-+12.3e%%"), 1); // 15 characters in all
    EXPECT_EQ(text(g), "[v=+2.500e+00  %");
    EXPECT_EQ(g.pasteIn(2.5, "v=%-+17.3e%%"), 0); // 20 characters: one too many
    EXPECT_EQ(text(g), "[v=+2.500e+00  %***");
    ZroStr h;
    EXPECT_EQ(h.pasteIn(-2.5, "<%+07.1f>"), 1);
    EXPECT_EQ(text(h), "<-0002.5>");
    ZroStr l;
    EXPECT_EQ(l.pasteIn(0.5, "%Lg"), 1);
    EXPECT_EQ(text(l), "0.5");
    ZroStr a;
    EXPECT_EQ(a.pasteIn(1.0, "%a"), 1);
    EXPECT_EQ(text(a), "0x1p+0");
    ZroStr big;
    EXPECT_EQ(big.pasteIn(1e300), 0);
    EXPECT_EQ(text(big), "***");
    ZroStr wide;
    EXPECT_EQ(wide.pasteIn(1.0, "%999f"), 0);
    EXPECT_EQ(text(wide), "***");
    expectNoText();
}
