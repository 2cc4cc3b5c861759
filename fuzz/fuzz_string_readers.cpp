// The string's readers and editors on texts from the input, each checked
// against a reference written from the documented rules.
//
// A string built from the input (set, bytes with NULs shown as '.', or a
// text) takes up to 32 operations chosen by the input: reading and cutting
// numbers, copying and cutting tokens with a delimiter from the input,
// find, stripLeading and stripTrailing, appending numbers (a double with a
// format taken from the input), bytes and strings, substrings, copies into
// fixed-width fields, upperCase and compare. After each the result, the
// text, the storage size and the codes must be what the reference says. An
// allocation planned to fail must be reported as 2071 (2195 for the shared
// lock) and leave a valid string.
#include <algorithm>
#include <cctype>
#include <climits>
#include <string>

#include "zrofuzz.hpp"

namespace {

using zrofuzz::Environment;
using zrofuzz::Input;

constexpr unsigned kSteps = 32;

std::string textOf(const ZroStr& s)
{
    return s.dataPointer() != nullptr ? std::string(s.dataPointer(), s.length()) : std::string();
}

// What a string holds as the reference sees it.
struct Expected {
    std::string text;
    unsigned size = 0; // storage size
    int32_t completion = 0;
    int32_t reason = 0;

    static Expected of(const ZroStr& s)
    {
        return {textOf(s), s.storageSize(), s.completionCode(), s.reasonCode()};
    }
    // A text kept in storage of exactly its length + 1 (none when empty),
    // codes 0/0: what substrings, cuts and appends leave.
    static Expected exact(const std::string& text)
    {
        return {text, text.empty() ? 0u : static_cast<unsigned>(text.size() + 1), 0, 0};
    }
};

void expectString(const ZroStr& s, const Expected& e)
{
    zrofuzz::checkString(s);
    ZROFUZZ_CHECK(textOf(s) == e.text);
    ZROFUZZ_CHECK(s.storageSize() == e.size);
    ZROFUZZ_CHECK(s.completionCode() == e.completion);
    ZROFUZZ_CHECK(s.reasonCode() == e.reason);
}

bool blank(char c) { return c == '\t' || c == ' '; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// Reading a number: the count read (0: none) and the value, saturated.
unsigned readNumber(const std::string& t, bool hasStorage, long& value)
{
    if (!hasStorage) return 0;
    std::size_t i = 0;
    while (i < t.size() && blank(t[i])) ++i;
    bool negative = i < t.size() && t[i] == '-';
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
    if (i >= t.size() || !digit(t[i])) return 0;
    // The magnitude, held below 2^64 by stopping once it is past the range.
    const unsigned long long limit = static_cast<unsigned long long>(LONG_MAX) + 1;
    unsigned long long magnitude = 0;
    bool beyond = false;
    for (; i < t.size() && digit(t[i]); ++i) {
        if (beyond) continue;
        if (magnitude > limit / 10 + 1) {
            beyond = true;
            continue;
        }
        magnitude = magnitude * 10 + static_cast<unsigned>(t[i] - '0');
        beyond = magnitude > limit;
    }
    if (negative)
        value = beyond || magnitude > static_cast<unsigned long long>(LONG_MAX)
                    ? LONG_MIN
                    : -static_cast<long>(magnitude);
    else
        value = beyond || magnitude > static_cast<unsigned long long>(LONG_MAX)
                    ? LONG_MAX
                    : static_cast<long>(magnitude);
    return static_cast<unsigned>(i);
}

// The first token: skipped + taken, 0 when none.
unsigned firstToken(const std::string& t, bool hasStorage, char delimiter, std::string& token)
{
    if (!hasStorage) return 0;
    std::size_t skipped = 0;
    while (skipped < t.size() && t[skipped] == delimiter) ++skipped;
    if (skipped == t.size()) return 0;
    std::size_t end = t.find(delimiter, skipped);
    if (end == std::string::npos) end = t.size();
    token = t.substr(skipped, end - skipped);
    return static_cast<unsigned>(end);
}

// The documented format rule for pasteIn(double, format): literal text,
// "%%", and exactly one %[flags][width][.precision][l|L]{f,F,e,E,g,G,a,A}
// (width and precision of any number of digits). 0 invalid, 1 double, 2
// long double. `large` is set for a width or precision above 99, which is
// not formatted here (it may be slow): the outcome is then checked loosely.
int formatKind(const char* format, bool& large)
{
    large = false;
    if (format == nullptr) return 0;
    const auto number = [&large](const char*& p) {
        unsigned value = 0;
        for (; digit(*p); ++p)
            if (value <= 99) value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 99) large = true;
    };
    int kind = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        if (kind != 0) return 0;
        while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) ++p;
        number(p);
        if (*p == '.') number(++p);
        kind = *p == 'L' ? 2 : 1;
        if (*p == 'l' || *p == 'L') ++p;
        if (*p == '\0' || std::strchr("fFeEgGaA", *p) == nullptr) return 0;
    }
    return kind;
}

class Run {
public:
    explicit Run(Input& input) : input_(input), environment_(input) {}

    void go()
    {
        uint8_t plan = input_.byte();
        build(s_);
        model_ = Expected::of(s_);
        const bool planned = (plan & 0x80) != 0;
        if (planned) environment_.planAllocationFailure(1 + plan % 16, (plan & 0x40) != 0);
        for (unsigned step = 0; step < kSteps && !input_.done(); ++step) {
            // With failures planned, each operation starts from clear codes, so
            // that the codes it leaves are its own.
            if (planned) {
                s_.clearErrorCodes();
                model_.completion = model_.reason = 0;
            }
            const Expected previous = model_;
            failed_ = reported_ = false;
            apply(input_.byte() % 17);
            if (failed_) {
                // The failure is reported and the string stays valid: its old
                // text, or empty where an append found no storage.
                ZROFUZZ_CHECK(reported_);
                zrofuzz::checkString(s_);
                const std::string now = textOf(s_);
                ZROFUZZ_CHECK(now == previous.text || now.empty());
                model_ = Expected::of(s_);
            } else {
                expectString(s_, model_);
            }
        }
    }

private:
    // Marks the start of the operation under test.
    void start() { start_ = zroi_test_allocation_count(); }

    // True when an allocation planned to fail was made since start(); then
    // one of `reporters` must carry 2071 (the caller returns at once).
    bool failed(const ZroErr& a, const ZroErr* b = nullptr)
    {
        if (!environment_.failedSince(start_)) return false;
        failed_ = true;
        reported_ = zrofuzz::isStorageFailure(a) || (b != nullptr && zrofuzz::isStorageFailure(*b));
        return true;
    }

    // As failed(), for pasteIn of a number, which makes the number's text
    // into a string and appends that: when the string gets no storage (the
    // first allocation since start()) its warning goes to the trace, nothing
    // is appended, and the codes are those of the concatenation that follows.
    bool failedThroughTemporary(const std::string& before)
    {
        if (!environment_.failedSince(start_)) return false;
        failed_ = true;
        reported_ = zrofuzz::isStorageFailure(s_) ||
                    (environment_.fails(start_ + 1) && textOf(s_) == before &&
                     s_.completionCode() == ZRCC_OK);
        return true;
    }

    // A text from the input: a length byte, then the bytes.
    std::vector<char> text() { return input_.bytes(input_.byte() % 64); }

    void build(ZroStr& s)
    {
        uint8_t how = input_.byte();
        std::vector<char> bytes = text();
        const auto n = static_cast<unsigned>(bytes.size());
        switch (how % 3) {
        case 0: s.set(bytes.data(), n); break; // up to a NUL, maybe with spare storage
        case 1: s = ZroStr(bytes.data(), n); break;
        default:
            bytes.push_back('\0');
            s = ZroStr(bytes.data());
            break;
        }
    }

    void apply(unsigned op)
    {
        const std::string t = model_.text;
        const bool stored = s_.dataPointer() != nullptr;
        switch (op) {
        case 0:
        case 1: { // copyOut(long&), cutOut(long&)
            const long sentinel = static_cast<long>(input_.u32()) * 977;
            long value = sentinel;
            long expectedValue = sentinel;
            unsigned expected = readNumber(t, stored, expectedValue);
            start();
            unsigned read = op == 0 ? s_.copyOut(value) : s_.cutOut(value);
            if (failed(s_)) return;
            ZROFUZZ_CHECK(read == expected);
            ZROFUZZ_CHECK(value == (expected != 0 ? expectedValue : sentinel));
            if (op == 1 && read != 0) model_ = Expected::exact(t.substr(read));
            break;
        }
        case 2:
        case 3: { // copyOut(token, delimiter), cutOut(token, delimiter)
            char delimiter = static_cast<char>(input_.byte());
            ZroStr token;
            build(token);
            Expected tokenBefore = Expected::of(token);
            std::string expectedToken;
            unsigned expected = firstToken(t, stored, delimiter, expectedToken);
            start();
            unsigned result = op == 2 ? s_.copyOut(token, delimiter) : s_.cutOut(token, delimiter);
            if (failed(token, &s_)) return;
            if (expected == 0) {
                ZROFUZZ_CHECK(result == 0);
                expectString(token, tokenBefore);
                break;
            }
            expectString(token, Expected::exact(expectedToken));
            if (op == 2) {
                ZROFUZZ_CHECK(result == expected);
                break;
            }
            std::size_t removed = expected;
            if (delimiter != ' ' && delimiter != '\0')
                while (removed < t.size() && t[removed] == delimiter) ++removed;
            ZROFUZZ_CHECK(result == removed);
            model_ = Expected::exact(t.substr(removed));
            break;
        }
        case 4: { // cutOut with the string as its own token: it ends as the token
            char delimiter = static_cast<char>(input_.byte());
            std::string expectedToken;
            unsigned expected = firstToken(t, stored, delimiter, expectedToken);
            start();
            unsigned result = s_.cutOut(s_, delimiter);
            if (failed(s_)) return;
            ZROFUZZ_CHECK((result == 0) == (expected == 0));
            if (result != 0) model_ = Expected::exact(expectedToken);
            break;
        }
        case 5: { // find
            ZroStr pattern;
            build(pattern);
            if (pattern.reasonCode() != 0) return;
            const std::string p = textOf(pattern);
            unsigned offset = input_.byte() % 2 == 0 ? input_.byte() : input_.u32();
            const unsigned start = offset;
            unsigned char found = s_.find(pattern, offset);
            ZROFUZZ_CHECK(s_.find(pattern) == (p.empty() || t.find(p) != std::string::npos));
            if (p.empty()) {
                ZROFUZZ_CHECK(found == 1 && offset == start);
            } else if (p.size() > t.size() || start > t.size() - p.size()) {
                ZROFUZZ_CHECK(found == 0 && offset == start);
            } else {
                std::size_t at = t.find(p, start);
                if (at == std::string::npos)
                    ZROFUZZ_CHECK(found == 0 && offset == t.size() - p.size() + 1);
                else
                    ZROFUZZ_CHECK(found == 1 && offset == at);
            }
            break;
        }
        case 6: { // stripLeading
            char c = static_cast<char>(input_.byte() % 3 == 0 ? ' ' : input_.byte());
            std::size_t run = 0;
            if (c != '\0')
                while (run < t.size() && t[run] == c) ++run;
            start();
            unsigned result = s_.stripLeading(c);
            if (failed(s_)) return;
            ZROFUZZ_CHECK(result == run);
            if (run != 0) model_ = Expected::exact(t.substr(run));
            break;
        }
        case 7: { // stripTrailing: in place, storage and codes kept
            char c = static_cast<char>(input_.byte() % 3 == 0 ? ' ' : input_.byte());
            std::size_t end = t.size();
            if (c != '\0')
                while (end > 0 && t[end - 1] == c) --end;
            ZROFUZZ_CHECK(s_.stripTrailing(c) == t.size() - end);
            model_.text = t.substr(0, end);
            break;
        }
        case 8: { // pasteIn(double, format)
            double value = 0;
            uint8_t how = input_.byte();
            if (how % 2 == 0) {
                uint32_t low = input_.u32();
                uint64_t bits = static_cast<uint64_t>(input_.u32()) << 32 | low;
                std::memcpy(&value, &bits, sizeof value);
            } else {
                value = static_cast<double>(input_.i32()) / (1 + input_.byte());
            }
            std::vector<char> format = input_.bytes(input_.byte() % 24);
            format.push_back('\0');
            const char* f = how % 7 == 0 ? nullptr : format.data();
            // What the documented rule gives.
            std::string appended = "***";
            bool formatted = false;
            bool large = false;
            const int kind = formatKind(f, large);
            if (kind != 0 && !large) {
                char area[64];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
                int n = kind == 1
                            ? std::snprintf(area, sizeof area, f, value)
                            : std::snprintf(area, sizeof area, f, static_cast<long double>(value));
#pragma GCC diagnostic pop
                if (n >= 1 && n <= 19) {
                    appended.assign(area, static_cast<std::size_t>(n));
                    formatted = true;
                }
            }
            start();
            unsigned char result = s_.pasteIn(value, f);
            if (failedThroughTemporary(t)) return;
            if (kind != 0 && large) {
                // "***" and 0, or at most 19 characters and 1.
                const std::string now = textOf(s_);
                ZROFUZZ_CHECK(now.compare(0, t.size(), t) == 0);
                const std::string added = now.substr(t.size());
                ZROFUZZ_CHECK(result == 1 ? !added.empty() && added.size() <= 19 : added == "***");
                model_ = Expected::exact(now);
                break;
            }
            ZROFUZZ_CHECK(result == (formatted ? 1 : 0));
            model_ = Expected::exact(t + appended);
            break;
        }
        case 9: { // pasteIn(long)
            long value =
                static_cast<long>(static_cast<uint64_t>(input_.u32()) << 32 | input_.u32());
            start();
            unsigned char result = s_.pasteIn(value);
            if (failedThroughTemporary(t)) return;
            ZROFUZZ_CHECK(result == 1);
            model_ = Expected::exact(t + std::to_string(value));
            break;
        }
        case 10: { // pasteIn(bytes): NULs shown as '.', storage exactly the new length + 1
            std::vector<char> bytes = text();
            start();
            unsigned char result = s_.pasteIn(bytes.data(), static_cast<unsigned>(bytes.size()));
            if (failed(s_)) return;
            ZROFUZZ_CHECK(result == 1);
            if (!bytes.empty()) {
                std::replace(bytes.begin(), bytes.end(), '\0', '.');
                model_.text = t + std::string(bytes.begin(), bytes.end());
                model_.size = static_cast<unsigned>(model_.text.size() + 1);
            }
            break;
        }
        case 11: { // substring
            unsigned offset = input_.byte() % 2 == 0 ? input_.byte() : input_.u32();
            unsigned count = input_.byte() % 2 == 0 ? input_.byte() : input_.u32();
            start();
            ZroStr part = s_(offset, count);
            if (failed(part)) return;
            std::string expected;
            std::size_t n = t.size();
            if (count == 0 && offset < n) count = static_cast<unsigned>(n - offset);
            if (count != 0 && offset <= n && count <= n - offset)
                expected = t.substr(offset, count);
            expectString(part, Expected::exact(expected));
            break;
        }
        case 12: { // fixed-width fields
            unsigned length = input_.byte() % 80;
            char pad = static_cast<char>(input_.byte());
            std::unique_ptr<char[]> field(new char[std::max(length, 1u)]);
            std::string expected = t.substr(0, length);
            expected.resize(length, pad);
            bool cut = t.size() > length;
            ZroBin error;
            ZROFUZZ_CHECK(ZroStr::copy(field.get(), length, s_.dataPointer(), error, pad) == 1);
            ZROFUZZ_CHECK(std::string(field.get(), length) == expected);
            ZROFUZZ_CHECK(error.reasonCode() == (cut && length != 0 ? ZRRC_DATA_TRUNCATED : 0));
            std::fill(field.get(), field.get() + length, '\x01');
            start();
            unsigned char result = s_.copyOut(field.get(), length, pad);
            if (environment_.failedSince(start_)) {
                // No storage for the shared lock: 2/2195 and nothing copied.
                failed_ = true;
                reported_ = result == 0 && s_.completionCode() == ZRCC_FAILED &&
                            s_.reasonCode() == ZRRC_LOCK_FAILED;
                return;
            }
            ZROFUZZ_CHECK(result == 1);
            ZROFUZZ_CHECK(std::string(field.get(), length) == expected);
            if (cut) ZROFUZZ_CHECK(s_.completionCode() == 1 && s_.reasonCode() == 6115);
            // The string carries the shared copy codes, whatever they were.
            model_.completion = s_.completionCode();
            model_.reason = s_.reasonCode();
            break;
        }
        case 13: { // upperCase: a copy, codes and storage included
            start();
            ZroStr upper = s_.upperCase();
            if (failed(upper)) return;
            std::string expected = t;
            for (char& c : expected)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            expectString(upper, {expected, model_.size, model_.completion, model_.reason});
            break;
        }
        case 14: { // set
            std::vector<char> bytes = text();
            const auto n = static_cast<unsigned>(bytes.size());
            start();
            unsigned char result = s_.set(bytes.data(), n);
            if (failed(s_)) return;
            ZROFUZZ_CHECK(result == 1);
            auto nul = std::find(bytes.begin(), bytes.end(), '\0');
            model_.text.assign(bytes.begin(), nul);
            model_.size = n == 0 ? 0 : (nul != bytes.end() ? n : n + 1);
            break;
        }
        case 15: { // appending a string
            ZroStr other;
            build(other);
            if (other.reasonCode() != 0) return;
            std::string o = textOf(other);
            start();
            if (input_.byte() % 2 == 0) {
                s_ += other;
            } else {
                ZroStr joined = s_ + other;
                s_ = joined;
            }
            if (failed(s_)) return;
            model_ = Expected::exact(t + o);
            break;
        }
        default: { // compare
            ZroStr other;
            build(other);
            if (other.reasonCode() != 0) return;
            std::string o = textOf(other);
            int order = std::memcmp(t.data(), o.data(), std::min(t.size(), o.size()));
            if (order == 0) order = t.size() < o.size() ? -1 : (t.size() > o.size() ? 1 : 0);
            ZROFUZZ_CHECK(s_.compare(other) == (order < 0 ? -1 : (order > 0 ? 1 : 0)));
            break;
        }
        }
    }

    Input& input_;
    Environment environment_;
    ZroStr s_;
    Expected model_;
    unsigned long start_ = 0;
    bool failed_ = false;   // an allocation planned to fail was made
    bool reported_ = false; // and the operation reported it
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    Input input(data, size);
    Run run(input);
    run.go();
    return 0;
}
