// ZroStr: storage, construction, assignment, comparison, concatenation and
// substrings.
#include <climits>
#include <cstring>
#include <functional>
#include <string>

#include "zroi/zrostr.hpp"
#include "zrotest.hpp"

namespace {
std::string text(const ZroStr& s) { return s.dataPointer() != nullptr ? s.dataPointer() : ""; }

// A string carrying 2/6108, from a failed set.
ZroStr failedString(const char* value)
{
    ZroStr s(value);
    s.set(nullptr, 5);
    return s;
}

const char CONSTRUCT_NO_STORAGE[] = "ZroString::ZroString (warning): storage not available";
const char CONCATENATE_NO_STORAGE[] = "ZroString::concatenate (warning): storage not available";
const char SETSTORAGE_NO_STORAGE[] = "ZroString::setStorage (error): storage not available";
} // namespace

using ZroStrTest = ZroTest;

TEST_F(ZroStrTest, ConstructionFromTextAndCharacters)
{
    ZroStr none(static_cast<const char*>(nullptr)), blank("");
    EXPECT_EQ(none.length(), 0u);
    EXPECT_EQ(none.dataPointer(), nullptr);
    EXPECT_EQ(blank.dataPointer(), nullptr);
    ZroStr nul('\0');
    EXPECT_EQ(nul.length(), 0u);
    EXPECT_EQ(nul.storageSize(), 2u);
    ZroStr x('x');
    EXPECT_EQ(text(x), "x");
    EXPECT_EQ(x.storageSize(), 2u);
    ZroStr abc("abc");
    EXPECT_EQ(abc.length(), 3u);
    EXPECT_EQ(abc.storageSize(), 4u);
    expectCodes(abc, 0, 0);
    expectNoText();
}

TEST_F(ZroStrTest, ConstructionFromBytes)
{
    const char bytes[] = {'a', '\0', 'b'};
    ZroStr shown(bytes, 3);
    EXPECT_EQ(text(shown), "a.b");
    EXPECT_EQ(shown.length(), 3u);
    ZroStr empty(nullptr, 0);
    EXPECT_EQ(empty.dataPointer(), nullptr);
    expectCodes(empty, 0, 0);
    expectNoText();

    ZroStr missing(nullptr, 5);
    expectOnlyText(45, "ZroString::pasteIn (error): null pointer");
    expectCodes(missing, 2, 6108);
    EXPECT_EQ(missing.dataPointer(), nullptr);

    // length + 1 is not a 32-bit number: refused before anything is read.
    clearEvents();
    ZroStr huge(bytes, 4294967295u);
    expectOnlyText(45, "ZroString::pasteIn (error): storage not available");
    expectCodes(huge, 2, 2071);
    EXPECT_EQ(huge.dataPointer(), nullptr);

    clearEvents();
    refuse(bytes + 2, 1, 1);
    ZroStr unreadable(bytes, 3);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    expectCodes(unreadable, 2, 2004);
    EXPECT_EQ(unreadable.dataPointer(), nullptr);
}

TEST_F(ZroStrTest, ConstructionWithoutStorage)
{
    failAllocation(1);
    ZroStr s("abc");
    expectOnlyText(73, CONSTRUCT_NO_STORAGE);
    expectCodes(s, 1, 2071);
    EXPECT_EQ(s.dataPointer(), nullptr);

    clearEvents();
    failAllocation(1);
    ZroStr c('c');
    expectOnlyText(73, CONSTRUCT_NO_STORAGE);
    expectCodes(c, 1, 2071);
    EXPECT_EQ(c.length(), 0u);

    clearEvents();
    failAllocation(1);
    ZroStr bytes("xyz", 3u);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    expectCodes(bytes, 2, 2071);
    EXPECT_EQ(bytes.dataPointer(), nullptr);
}

TEST_F(ZroStrTest, CopiesKeepStorageSizeAndCodes)
{
    const char field[] = {'a', 'b', 'c', '\0', 'd', 'e', 'f'};
    ZroStr source;
    source.set(field, 7);
    source.set(nullptr, 1); // 2/6108, text kept
    ZroStr copy(source);
    EXPECT_EQ(text(copy), "abc");
    EXPECT_EQ(copy.storageSize(), 7u);
    EXPECT_EQ(std::memcmp(copy.dataPointer(), field, 7), 0);
    expectCodes(copy, 2, 6108);
    ZroStr assigned("zz");
    assigned = source;
    EXPECT_EQ(assigned.storageSize(), 7u);
    expectCodes(assigned, 2, 6108);
    const ZroStr& same = assigned;
    assigned = same;
    EXPECT_EQ(text(assigned), "abc");

    // Without storage: the copy is empty, the assigned string keeps its text.
    clearEvents();
    failAllocation(1);
    ZroStr failedCopy(source);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    expectCodes(failedCopy, 2, 2071);
    EXPECT_EQ(failedCopy.dataPointer(), nullptr);
    ZroStr kept("kept");
    failAllocation(1);
    kept = source;
    expectCodes(kept, 2, 2071);
    EXPECT_EQ(text(kept), "kept");
}

TEST_F(ZroStrTest, SetStorage)
{
    ZroStr s("abc");
    EXPECT_EQ(s.setStorage(4), 1);
    EXPECT_EQ(s.setStorage(10), 1);
    EXPECT_EQ(text(s), "abc");
    EXPECT_EQ(s.storageSize(), 10u);
    // Cut below the text: the last byte kept becomes the end of the text.
    EXPECT_EQ(s.setStorage(3), 1);
    EXPECT_EQ(text(s), "ab");
    EXPECT_EQ(s.storageSize(), 3u);
    EXPECT_EQ(s.setStorage(0), 1);
    EXPECT_EQ(s.dataPointer(), nullptr);
    EXPECT_EQ(s.setStorage(5), 1);
    EXPECT_EQ(s.length(), 0u);
    expectNoText();

    ZroStr t("text");
    failAllocation(1);
    EXPECT_EQ(t.setStorage(100), 0);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    expectCodes(t, 2, 2071);
    EXPECT_EQ(text(t), "text");
    EXPECT_EQ(t.storageSize(), 5u);
}

TEST_F(ZroStrTest, SetFromFields)
{
    ZroStr s;
    EXPECT_EQ(s.set("abcdef", 3), 1);
    EXPECT_EQ(text(s), "abc");
    EXPECT_EQ(s.storageSize(), 4u);
    const char withNul[] = {'a', 'b', 'c', '\0', 'd', 'e', 'f'};
    EXPECT_EQ(s.set(withNul, 7), 1);
    EXPECT_EQ(text(s), "abc");
    EXPECT_EQ(s.storageSize(), 7u);
    std::string queue = "QUEUE" + std::string(43, ' ');
    EXPECT_EQ(s.set(queue.data(), 48), 1);
    EXPECT_EQ(s.length(), 48u);
    EXPECT_EQ(s.storageSize(), 49u);
    EXPECT_EQ(text(s), queue);
    // From its own text.
    EXPECT_EQ(s.set(s.dataPointer() + 1, 4), 1);
    EXPECT_EQ(text(s), "UEUE");
    EXPECT_EQ(s.set(nullptr, 0), 1);
    EXPECT_EQ(s.dataPointer(), nullptr);
    expectNoText();
}

TEST_F(ZroStrTest, SetFailures)
{
    ZroStr s("keep");
    EXPECT_EQ(s.set(nullptr, 5), 0);
    expectOnlyText(75, "ZroString::set (error): null pointer");
    expectCodes(s, 2, 6108);
    EXPECT_EQ(text(s), "keep");

    char field[4] = {'a', 'b', 'c', 'd'};
    refuse(field, 4, 1);
    ZroStr r("keep");
    clearEvents();
    EXPECT_EQ(r.set(field, 4), 0);
    expectOnlyText(62, "ZroError::checkReadPointer (error): buffer error");
    expectCodes(r, 2, 2004);
    EXPECT_EQ(text(r), "keep");
    allowAll();

    ZroStr n("keep me");
    clearEvents();
    failAllocation(1);
    EXPECT_EQ(n.set(field, 4), 0);
    expectOnlyText(47, SETSTORAGE_NO_STORAGE);
    expectCodes(n, 2, 2071);
    EXPECT_EQ(text(n), "keep me");
    // A text of the same storage size is set in place, needing no storage.
    failAllocation(1);
    EXPECT_EQ(n.set("1234567", 7), 1);
    EXPECT_EQ(text(n), "1234567");
}

TEST_F(ZroStrTest, Compare)
{
    ZroStr none, nul('\0'), a("a"), ab("ab"), abc("abc"), z("z"), high("\xe9t\xe9");
    EXPECT_EQ(none.compare(nul), 0);
    EXPECT_EQ(nul.compare(none), 0);
    EXPECT_EQ(none.compare(a), -1);
    EXPECT_EQ(a.compare(none), 1);
    EXPECT_EQ(ab.compare(abc), -1);
    EXPECT_EQ(abc.compare(ab), 1);
    EXPECT_EQ(abc.compare(ZroStr("abc")), 0);
    EXPECT_EQ(high.compare(z), 1);
    EXPECT_EQ(z.compare(high), -1);
}

TEST_F(ZroStrTest, Operators)
{
    ZroStr x("x");
    EXPECT_EQ(text(x + 42L), "x42");
    EXPECT_EQ(text(x + (-7L)), "x-7");
    EXPECT_EQ(text(ZroStr("v=") + 1.5), "v=1.500000");
    EXPECT_EQ(text(ZroStr("a") + '\0'), "a");
    EXPECT_EQ(text(ZroStr("a") + 'b'), "ab");
    EXPECT_EQ(text(x + "yz"), "xyz");
    EXPECT_EQ(text(x + static_cast<const char*>(nullptr)), "x");
    EXPECT_EQ(text(x + ZroStr("!")), "x!");
    EXPECT_EQ(text(ZroStr() + ZroStr()), "");
    EXPECT_EQ((ZroStr() + ZroStr()).dataPointer(), nullptr);
    EXPECT_EQ(text(x + LONG_MIN), "x-9223372036854775808");
    EXPECT_EQ(text(x + LONG_MAX), "x9223372036854775807");
    // More than the 19 characters of the number area.
    EXPECT_EQ(text(x + 1e300), "x***");
    EXPECT_EQ(text(x + 1e12), "x***");
    EXPECT_EQ(text(x + -1e11), "x***");
    EXPECT_EQ(text(x + 1e11), "x100000000000.000000"); // exactly 19 characters

    ZroStr s("ab");
    s += 'c';
    s += "de";
    s += ZroStr("f");
    s += 7L;
    s += 0.25;
    EXPECT_EQ(text(s), "abcdef70.250000");
    s += s;
    EXPECT_EQ(text(s), "abcdef70.250000abcdef70.250000");
    EXPECT_EQ(s.storageSize(), s.length() + 1);
    expectNoText();
}

TEST_F(ZroStrTest, AppendingTakesTheCodesAndSizeOfTheConcatenation)
{
    ZroStr s = failedString("ab");
    s.setStorage(20);
    expectCodes(s, 2, 6108);
    s += 'z';
    expectCodes(s, 0, 0);
    EXPECT_EQ(text(s), "abz");
    EXPECT_EQ(s.storageSize(), 4u);

    ZroStr t = failedString("ab");
    t.setStorage(20);
    t += static_cast<const char*>(nullptr);
    expectCodes(t, 0, 0);
    EXPECT_EQ(t.storageSize(), 3u);

    ZroStr u = failedString("ab");
    ZroStr sum = u + "c";
    expectCodes(sum, 0, 0);
}

TEST_F(ZroStrTest, ConcatenationWithoutStorage)
{
    // Runs `op` with its n-th allocation failing and checks the one text it
    // writes and the string it leaves (`expected` nullptr: empty, without
    // storage, 1/2071; otherwise that text with 0/0).
    const auto failing = [this](unsigned long n, const std::function<ZroStr()>& op,
                                unsigned function, const char* trace, const char* expected) {
        clearEvents();
        failAllocation(n);
        const ZroStr result = op();
        expectOnlyText(function, trace);
        if (expected == nullptr) {
            expectCodes(result, 1, 2071);
            EXPECT_EQ(result.dataPointer(), nullptr);
        } else {
            expectCodes(result, 0, 0);
            EXPECT_EQ(text(result), expected);
        }
    };
    ZroStr a("abc"), d("d");
    const auto plusString = [&] { return a + d; };
    failing(1, plusString, 74, CONCATENATE_NO_STORAGE, nullptr);
    expectCodes(a, 0, 0);
    EXPECT_EQ(text(a), "abc");

    // A text operand works on a copy of the string. Without storage for the
    // copy, the copy warns through setStorage and the text is then added to
    // an empty string (the result carries the codes of that concatenation);
    // without storage for the text made into a string, the copy is the
    // result; without storage for the concatenation, the result is empty.
    const auto plusText = [&] { return a + "d"; };
    failing(1, plusText, 47, SETSTORAGE_NO_STORAGE, "d");
    failing(2, plusText, 73, CONSTRUCT_NO_STORAGE, "abc");
    failing(3, plusText, 74, CONCATENATE_NO_STORAGE, nullptr);

    // += of a text whose string gets no storage appends nothing: the string
    // takes the codes of its concatenation with an empty text. += passes the
    // concatenation's warning on, and the string ends empty.
    const auto append = [](ZroStr& s, const char* more) {
        return [&s, more] {
            s += more;
            return std::move(s);
        };
    };
    ZroStr t = failedString("t"), u("u"), v("v");
    failing(1, append(t, "uv"), 73, CONSTRUCT_NO_STORAGE, "t");
    failing(2, append(u, "vw"), 74, CONCATENATE_NO_STORAGE, nullptr);
    const auto appendCharacter = [&] {
        v += 'x';
        return std::move(v);
    };
    failing(1, appendCharacter, 74, CONCATENATE_NO_STORAGE, nullptr);

    // A number is appended as its text: the text's string, then the
    // concatenation.
    const auto pasteNumber = [](ZroStr& s) {
        return [&s] {
            EXPECT_EQ(s.pasteIn(12L), 1);
            return std::move(s);
        };
    };
    ZroStr b("b"), b2("b");
    failing(1, pasteNumber(b), 73, CONSTRUCT_NO_STORAGE, "b");
    failing(2, pasteNumber(b2), 74, CONCATENATE_NO_STORAGE, nullptr);

    // + of a character concatenates directly; + of a number works on a copy
    // (allocations: the copy, the number's text, the concatenation).
    ZroStr c("c");
    const auto plusCharacter = [&] { return c + 'x'; };
    const auto plusLong = [&] { return c + 5L; };
    const auto plusDouble = [&] { return c + 2.5; };
    failing(1, plusCharacter, 74, CONCATENATE_NO_STORAGE, nullptr);
    failing(1, plusLong, 47, SETSTORAGE_NO_STORAGE, "5");
    failing(1, plusDouble, 47, SETSTORAGE_NO_STORAGE, "2.500000");
    failing(3, plusLong, 74, CONCATENATE_NO_STORAGE, nullptr);
    failing(3, plusDouble, 74, CONCATENATE_NO_STORAGE, nullptr);
}

TEST_F(ZroStrTest, Substrings)
{
    ZroStr abc("abc");
    EXPECT_EQ(text(abc(1, 0)), "bc");
    EXPECT_EQ(abc(3, 0).dataPointer(), nullptr);
    EXPECT_EQ(text(abc(0, 3)), "abc");
    EXPECT_EQ(abc(2, 2).dataPointer(), nullptr);
    EXPECT_EQ(text(abc(1, 1)), "b");
    EXPECT_EQ(abc(1, 1).storageSize(), 2u);
    // offset + count wraps around 32 bits: still out of range.
    EXPECT_EQ(abc(1, 4294967295u).dataPointer(), nullptr);
    EXPECT_EQ(abc(4294967295u, 2).dataPointer(), nullptr);
    EXPECT_EQ(abc(4294967295u, 0).dataPointer(), nullptr);
    EXPECT_EQ(ZroStr()(0, 0).dataPointer(), nullptr);
    ZroStr failed = failedString("abc");
    expectCodes(failed(0, 1), 0, 0);

    clearEvents();
    failAllocation(1);
    ZroStr none = abc(0, 2);
    expectOnlyText(73, CONSTRUCT_NO_STORAGE);
    expectCodes(none, 1, 2071);
    EXPECT_EQ(none.dataPointer(), nullptr);
}

TEST_F(ZroStrTest, MovesTakeTheStorage)
{
    ZroStr s = failedString("moved");
    const char* storage = s.dataPointer();
    ZroStr t(static_cast<ZroStr&&>(s));
    EXPECT_EQ(t.dataPointer(), storage);
    expectCodes(t, 2, 6108);
    EXPECT_EQ(s.dataPointer(), nullptr);
    ZroStr u("old");
    u = static_cast<ZroStr&&>(t);
    EXPECT_EQ(u.dataPointer(), storage);
    u = static_cast<ZroStr&&>(u);
    EXPECT_EQ(text(u), "moved");
}
