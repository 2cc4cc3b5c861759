// ZroStr: the string value, its conversions, searches and fixed-width copies,
// and the string subsystem's shared state (copy codes and string lock).
//
// Every string with storage holds a NUL within it, so its text can always
// be found with one bounded scan. Operations that build a new text allocate
// exactly its size once, copy into it and only then release the old storage,
// so an operand may be the string itself or lie inside its storage.
#include "zroi/zrostr.hpp"

#include <atomic>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <ostream>

#include "zroalloc.hpp"
#include "zroframe.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrosem.hpp"
#include "zrolock.hpp"
#include "zroproto.hpp"

ZROI_IDENT("lib/zroi/zrostr")

namespace {

constexpr unsigned FN_COPY = 43;
constexpr unsigned FN_TOKEN = 44;
constexpr unsigned FN_PASTE_IN = 45;
constexpr unsigned FN_SET_STORAGE = 47;
constexpr unsigned FN_STRIP_LEADING = 48;
constexpr unsigned FN_STRIP_TRAILING = 49;
constexpr unsigned FN_LOCK = 57;
constexpr unsigned FN_UNLOCK = 58;
constexpr unsigned FN_CONSTRUCT = 73;
constexpr unsigned FN_CONCATENATE = 74;
constexpr unsigned FN_SET = 75;
constexpr unsigned FN_CLEAN_UP = 76;

// The work area a number is formatted into: at most 19 characters and a NUL.
constexpr unsigned NUMBER_AREA = 20;
// A long is 64 bits here and needs up to 20 characters ("-9223372036854775808");
// its area holds every value, as the 20 bytes held every 32-bit long.
constexpr unsigned LONG_AREA = 21;
// %g without '#' drops trailing zeros, so any precision can give a short
// text. From this one on, a double's every %g text is the same (its exact
// decimal value has at most 767 significant digits, and its exponent never
// reaches the precision), so a larger one is formatted with this one.
constexpr unsigned G_PRECISION_ENOUGH = 1100;

// The shared copy codes: written by the shared-codes copy from any thread,
// read by copyOut(char*, unsigned, char) under the shared string lock.
std::atomic<int32_t> g_copyCompletion{0};
std::atomic<int32_t> g_copyReason{0};
// The shared string lock, created on first use and destroyed by ZroStrCleanUp.
std::atomic<ZroSem*> g_stringLock{nullptr};

char* obtain(std::size_t size) { return static_cast<char*>(zroAllocate(size)); }

// The characters before the first NUL in `size` bytes at `storage`.
unsigned textLength(const char* storage, unsigned size) noexcept
{
    if (storage == nullptr) return 0;
    const void* nul = std::memchr(storage, 0, size);
    return nul != nullptr ? static_cast<unsigned>(static_cast<const char*>(nul) - storage) : size;
}

// Replaces every NUL in `n` bytes at `bytes` by '.'.
void showNuls(char* bytes, std::size_t n) noexcept
{
    char* end = bytes + n;
    while (bytes != end) {
        auto* nul =
            static_cast<char*>(std::memchr(bytes, 0, static_cast<std::size_t>(end - bytes)));
        if (nul == nullptr) break;
        *nul = '.';
        bytes = nul + 1;
    }
}

// An error object with chosen codes: ZroErr's assignment copies both, which
// is how the static copy sets codes on the caller's object.
struct Codes : ZroErr {
    Codes(int32_t completion, int32_t reason) noexcept { setCodes(completion, reason); }
};

unsigned char failOn(ZroErr& error, const char* text, int32_t completion, int32_t reason)
{
    ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_COPY, text);
    error = Codes(completion, reason);
    return 0;
}

unsigned char failShared(const char* text, int32_t completion, int32_t reason)
{
    ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_COPY, text);
    g_copyCompletion.store(completion, std::memory_order_relaxed);
    g_copyReason.store(reason, std::memory_order_relaxed);
    return 0;
}

enum class Fill { Done, Truncated, NoTarget };

// Writes the first min(n, length) characters of `source` into the field and
// pads the rest; `n` is the source's length, counted up to length + 1 only.
Fill fillField(char* target, unsigned length, const char* source, std::size_t n, char pad) noexcept
{
    if (length == 0) return n > 0 ? Fill::Truncated : Fill::Done;
    // Characters or padding are due: they need a field.
    if (target == nullptr) return Fill::NoTarget;
    unsigned m = n < length ? static_cast<unsigned>(n) : length;
    if (m != 0) std::memcpy(target, source, m);
    if (length > m) {
        std::memset(target + m, pad, length - m);
        return Fill::Done;
    }
    return n > length ? Fill::Truncated : Fill::Done;
}

// The source's length as far as the copy needs it: up to length + 1.
std::size_t sourceLength(const char* source, unsigned length) noexcept
{
    return source != nullptr ? strnlen(source, static_cast<std::size_t>(length) + 1) : 0;
}

// The quiet path of a field of a few characters (format names and the like,
// copied several times for every header a message carries): one loop costs
// less than measuring the text and then copying and padding it through three
// library calls. False when the text is longer than the field, which leaves
// the field holding its first `length` characters, as the general path does.
constexpr unsigned SHORT_FIELD = 16;
bool fillShortField(char* target, unsigned length, const char* source, char pad) noexcept
{
    unsigned n = 0;
    if (source != nullptr) {
        for (; n < length && source[n] != '\0'; ++n) target[n] = source[n];
        if (n == length && source[n] != '\0') return false;
    }
    for (; n < length; ++n) target[n] = pad;
    return true;
}

// The first occurrence of the `m` bytes at `pattern` (m > 0) in the `n`
// bytes at `text`, or nullptr. Candidates come from memchr on the pattern's
// first byte, which is fast on ordinary text; after a few false candidates
// the rest goes to memmem, which stays linear whatever the bytes are.
const char* search(const char* text, std::size_t n, const char* pattern, std::size_t m) noexcept
{
    constexpr int FALSE_CANDIDATES = 16;
    const char* end = text + n;
    int misses = 0;
    for (const char* from = text; static_cast<std::size_t>(end - from) >= m;) {
        std::size_t starts = static_cast<std::size_t>(end - from) - m + 1;
        const auto* candidate = static_cast<const char*>(std::memchr(from, pattern[0], starts));
        if (candidate == nullptr) return nullptr;
        if (std::memcmp(candidate + 1, pattern + 1, m - 1) == 0) return candidate;
        from = candidate + 1;
        if (++misses == FALSE_CANDIDATES)
            return static_cast<const char*>(
                memmem(from, static_cast<std::size_t>(end - from), pattern, m));
    }
    return nullptr;
}

// The shared string lock, created under the library lock on first use.
// nullptr when it cannot be created.
ZroSem* sharedStringLock() noexcept
{
    ZroSem* lock = g_stringLock.load(std::memory_order_acquire);
    if (lock != nullptr) return lock;
    if (!zroLockLibrary()) return nullptr;
    lock = g_stringLock.load(std::memory_order_acquire);
    if (lock == nullptr) {
        void* place = zroAllocate(sizeof(ZroSem));
        if (place != nullptr) {
            lock = new (place) ZroSem;
            g_stringLock.store(lock, std::memory_order_release);
        }
    }
    zroUnlockLibrary();
    return lock;
}

// A decimal number in a format, any count of digits; values above `limit`
// come back as limit + 1.
unsigned readNumber(const char*& p, unsigned limit) noexcept
{
    unsigned value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= limit) value = value * 10 + static_cast<unsigned>(*p - '0');
    return value <= limit ? value : limit + 1;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
// The conversion that starts after the '%' at `p`: [flags][width][.precision]
// [l or L] and one of f F e E g G a A. Formats `value` with it into `to`,
// which has room for `room` characters and a NUL, and leaves `p` on the
// conversion letter. The characters formatted; -1 when the conversion is
// not of that form or its text does not fit.
int formatConversion(const char*& p, double value, char* to, unsigned room) noexcept
{
    // The conversion is rebuilt from what was read, so that nothing but
    // these pieces ever reaches snprintf.
    char directive[24] = "%";
    unsigned n = 1;
    static const char FLAGS[] = "-+ #0";
    bool flags[sizeof FLAGS - 1] = {};
    for (const char* flag; *p != '\0' && (flag = std::strchr(FLAGS, *p)) != nullptr; ++p)
        flags[flag - FLAGS] = true;
    for (unsigned i = 0; i < sizeof flags; ++i)
        if (flags[i]) directive[n++] = FLAGS[i];
    // A text is at least as wide as its width, and a finite value's f, e
    // and a text (or any with '#') at least as long as the precision asks:
    // too long for the room. Infinity and NaN ignore the precision.
    const unsigned width = readNumber(p, room);
    if (width > room) return -1;
    int precision = -1;
    if (*p == '.') {
        ++p;
        precision = static_cast<int>(readNumber(p, G_PRECISION_ENOUGH));
    }
    const bool longDouble = *p == 'L';
    if (*p == 'l' || *p == 'L') ++p;
    if (*p == '\0' || std::strchr("fFeEgGaA", *p) == nullptr) return -1;
    const bool trimmed = (*p == 'g' || *p == 'G') && !flags[3];
    if (!trimmed && precision > static_cast<int>(room) && std::isfinite(value)) return -1;
    if (precision > static_cast<int>(G_PRECISION_ENOUGH)) precision = G_PRECISION_ENOUGH;
    if (width > 0)
        n += static_cast<unsigned>(std::snprintf(directive + n, sizeof directive - n, "%u", width));
    if (precision >= 0)
        n += static_cast<unsigned>(
            std::snprintf(directive + n, sizeof directive - n, ".%d", precision));
    if (longDouble) directive[n++] = 'L';
    directive[n++] = *p;
    directive[n] = '\0';
    const int length = longDouble
                           ? std::snprintf(to, room + 1, directive, static_cast<long double>(value))
                           : std::snprintf(to, room + 1, directive, value);
    return length >= 0 && static_cast<unsigned>(length) <= room ? length : -1;
}
#pragma GCC diagnostic pop

// Formats `value` as `format` asks into the area: literal text ("%%" for a
// '%') and exactly one conversion %[flags][width][.precision][l|L]{f,F,e,E,
// g,G,a,A}. The characters formatted, or -1 for any other format (nothing
// that could read another argument or write anywhere is ever used) and when
// the text would not fit.
int formatDouble(char (&area)[NUMBER_AREA], double value, const char* format) noexcept
{
    if (format == nullptr) return -1;
    constexpr unsigned ROOM = NUMBER_AREA - 1;
    unsigned n = 0;
    bool converted = false;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p == '%' && p[1] != '%') {
            ++p;
            if (converted) return -1;
            converted = true;
            const int length = formatConversion(p, value, area + n, ROOM - n);
            if (length < 0) return -1;
            n += static_cast<unsigned>(length);
            continue;
        }
        if (*p == '%') ++p; // "%%"
        if (n == ROOM) return -1;
        area[n++] = *p;
    }
    if (!converted) return -1;
    area[n] = '\0';
    return static_cast<int>(n);
}

// The text a number appender appends: the `n` characters formatted into an
// area of `areaSize` bytes, or "***" when nothing usable was formatted.
struct NumberText {
    const char* text;
    unsigned length;
    bool formatted;
};

NumberText numberText(const char* area, int n, unsigned areaSize) noexcept
{
    if (n >= 1 && static_cast<unsigned>(n) < areaSize)
        return {area, static_cast<unsigned>(n), true};
    return {"***", 3, false};
}

} // namespace

// Construction and assignment.

ZroStr::ZroStr(char c)
{
    char* fresh = obtain(2);
    if (fresh == nullptr) {
        fail(FN_CONSTRUCT, "ZroString::ZroString (warning): storage not available", ZRCC_WARNING,
             ZRRC_STORAGE_NOT_AVAILABLE);
        return;
    }
    fresh[0] = c;
    fresh[1] = '\0';
    adopt(fresh, 2);
}

ZroStr::ZroStr(const char* text)
{
    if (text == nullptr || text[0] == '\0') return;
    std::size_t n = std::strlen(text);
    char* fresh = n < UINT32_MAX ? obtain(n + 1) : nullptr;
    if (fresh == nullptr) {
        fail(FN_CONSTRUCT, "ZroString::ZroString (warning): storage not available", ZRCC_WARNING,
             ZRRC_STORAGE_NOT_AVAILABLE);
        return;
    }
    std::memcpy(fresh, text, n + 1);
    adopt(fresh, static_cast<unsigned>(n + 1));
}

ZroStr::ZroStr(std::string_view text)
{
    const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
    std::size_t n = nul != nullptr
                        ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data())
                        : text.size();
    if (n == 0) return;
    char* fresh = n < UINT32_MAX ? obtain(n + 1) : nullptr;
    if (fresh == nullptr) {
        fail(FN_CONSTRUCT, "ZroString::ZroString (warning): storage not available", ZRCC_WARNING,
             ZRRC_STORAGE_NOT_AVAILABLE);
        return;
    }
    std::memcpy(fresh, text.data(), n);
    fresh[n] = '\0';
    adopt(fresh, static_cast<unsigned>(n + 1));
}

ZroStr::ZroStr(const void* data, unsigned length) { pasteIn(data, length); }

ZroStr::ZroStr(const ZroStr& other) : ZroItm(other) { assign(other); }

ZroStr::ZroStr(ZroStr&& other) noexcept
    : ZroItm(other), storage_(other.storage_), size_(other.size_)
{
    other.storage_ = nullptr;
    other.size_ = 0;
}

ZroStr::~ZroStr()
{
    if (storage_ != nullptr) zroRelease(storage_);
}

void ZroStr::operator=(const ZroStr& other)
{
    if (&other == this) return;
    ZroItm::operator=(other);
    assign(other);
}

void ZroStr::operator=(ZroStr&& other) noexcept
{
    if (&other == this) return;
    ZroItm::operator=(other);
    adopt(other.storage_, other.size_);
    other.storage_ = nullptr;
    other.size_ = 0;
}

unsigned char ZroStr::assign(const ZroStr& other)
{
    if (&other == this) return 1;
    if (other.size_ == 0) {
        adopt(nullptr, 0);
        return 1;
    }
    if (other.size_ == size_) {
        std::memcpy(storage_, other.storage_, size_);
        return 1;
    }
    char* fresh = obtain(other.size_);
    if (fresh == nullptr)
        return fail(FN_SET_STORAGE, "ZroString::setStorage (error): storage not available",
                    ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
    std::memcpy(fresh, other.storage_, other.size_);
    adopt(fresh, other.size_);
    return 1;
}

unsigned char ZroStr::setStorage(unsigned size)
{
    if (size == size_) return 1;
    if (size == 0) {
        adopt(nullptr, 0);
        return 1;
    }
    char* fresh = obtain(size);
    if (fresh == nullptr)
        return fail(FN_SET_STORAGE, "ZroString::setStorage (error): storage not available",
                    ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
    unsigned keep = size_ < size ? size_ : size;
    if (keep != 0) std::memcpy(fresh, storage_, keep);
    // Keep a NUL within the storage: new storage starts as an empty text, and
    // a cut that kept no NUL ends the text on the last byte kept.
    if (size_ == 0)
        fresh[0] = '\0';
    else if (size < size_ && std::memchr(fresh, 0, size) == nullptr)
        fresh[size - 1] = '\0';
    adopt(fresh, size);
    return 1;
}

unsigned char ZroStr::set(const char* data, unsigned length)
{
    // Storage of the size the text needs, while nobody listens and no
    // pointer check is installed: the check is the default answer and the
    // copy goes into the storage already there (a header's texts read
    // again). Anything else, a string without storage first of all, takes
    // the full path.
    if (size_ != 0 && zrecs_quiet() && zrecs_default_answer(data, length) == 0 &&
        zrobytes::putText(storage_, size_, data, length))
        return 1;
    if (length == 0) {
        adopt(nullptr, 0);
        return 1;
    }
    if (data == nullptr)
        return fail(FN_SET, "ZroString::set (error): null pointer", ZRCC_FAILED, ZRRC_NULL_POINTER);
    if (!checkReadPointer(data, length)) return 0;
    bool hasNul = std::memchr(data, 0, length) != nullptr;
    if (!hasNul && length == UINT32_MAX)
        return fail(FN_SET_STORAGE, "ZroString::setStorage (error): storage not available",
                    ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
    unsigned size = hasNul ? length : length + 1;
    if (size == size_) {
        std::memmove(storage_, data, length);
    } else {
        char* fresh = obtain(size);
        if (fresh == nullptr)
            return fail(FN_SET_STORAGE, "ZroString::setStorage (error): storage not available",
                        ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        std::memcpy(fresh, data, length);
        adopt(fresh, size);
    }
    if (!hasNul) storage_[length] = '\0';
    return 1;
}

void ZroStr::adopt(char* storage, unsigned size) noexcept
{
    if (storage_ != nullptr) zroRelease(storage_);
    storage_ = storage;
    size_ = size;
}

unsigned char ZroStr::setExactly(const char* text, unsigned n)
{
    if (n == 0) {
        adopt(nullptr, 0);
    } else if (n + 1 == size_) {
        std::memmove(storage_, text, n);
        storage_[n] = '\0';
    } else {
        char* fresh = obtain(static_cast<std::size_t>(n) + 1);
        if (fresh == nullptr)
            return fail(FN_SET_STORAGE, "ZroString::setStorage (error): storage not available",
                        ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        std::memcpy(fresh, text, n);
        fresh[n] = '\0';
        adopt(fresh, n + 1);
    }
    setCodes(ZRCC_OK, ZRRC_NONE);
    return 1;
}

unsigned char ZroStr::keepFrom(unsigned offset, unsigned length)
{
    if (storage_ == nullptr) return setExactly(nullptr, 0);
    return setExactly(storage_ + offset, length - offset);
}

// Inspection.

unsigned ZroStr::length() const noexcept { return textLength(storage_, size_); }

short ZroStr::compare(const ZroStr& other) const noexcept
{
    // strcmp orders bytes as unsigned values and a proper prefix first.
    int order = std::strcmp(storage_ != nullptr ? storage_ : "",
                            other.storage_ != nullptr ? other.storage_ : "");
    return static_cast<short>(order < 0 ? -1 : (order > 0 ? 1 : 0));
}

// Concatenation and substrings.

ZroStr ZroStr::concatenate(const char* a, std::size_t na, const char* b, std::size_t nb)
{
    ZroStr joined;
    if (na == 0 && nb == 0) return joined;
    // The storage size, total + 1, must be a 32-bit number.
    char* fresh = na < UINT32_MAX && nb < UINT32_MAX - na ? obtain(na + nb + 1) : nullptr;
    if (fresh == nullptr) {
        joined.fail(FN_CONCATENATE, "ZroString::concatenate (warning): storage not available",
                    ZRCC_WARNING, ZRRC_STORAGE_NOT_AVAILABLE);
        return joined;
    }
    if (na != 0) std::memcpy(fresh, a, na);
    if (nb != 0) std::memcpy(fresh + na, b, nb);
    fresh[na + nb] = '\0';
    joined.adopt(fresh, static_cast<unsigned>(na + nb + 1));
    return joined;
}

void ZroStr::append(const char* text, std::size_t n)
{
    // What `*this = concatenate(storage_, length(), text, n)` gives, put
    // together in place: the joined text in exact storage with codes 0/0,
    // or, without storage, an empty string with the concatenation's warning.
    // The text may lie in this string's storage, which goes only at the end.
    const std::size_t na = length();
    if (na == 0 && n == 0) {
        adopt(nullptr, 0);
        setCodes(ZRCC_OK, ZRRC_NONE);
        return;
    }
    char* fresh = na < UINT32_MAX && n < UINT32_MAX - na ? obtain(na + n + 1) : nullptr;
    if (fresh == nullptr) {
        adopt(nullptr, 0);
        fail(FN_CONCATENATE, "ZroString::concatenate (warning): storage not available",
             ZRCC_WARNING, ZRRC_STORAGE_NOT_AVAILABLE);
        return;
    }
    if (na != 0) std::memcpy(fresh, storage_, na);
    if (n != 0) std::memcpy(fresh + na, text, n);
    fresh[na + n] = '\0';
    adopt(fresh, static_cast<unsigned>(na + n + 1));
    setCodes(ZRCC_OK, ZRRC_NONE);
}

ZroStr ZroStr::operator+(const ZroStr& other) const
{
    return concatenate(storage_, length(), other.storage_, other.length());
}

ZroStr ZroStr::operator+(char c) const
{
    return concatenate(storage_, length(), &c, c != '\0' ? 1 : 0);
}

// A text or a number is added to a copy of the string, so that a copy
// without storage, or a text without storage, reports itself as it does
// anywhere else; the result carries the codes of the final concatenation.
ZroStr ZroStr::operator+(const char* text) const
{
    ZroStr result(*this);
    result += text;
    return result;
}

ZroStr ZroStr::operator+(long value) const
{
    ZroStr result(*this);
    result.pasteIn(value);
    return result;
}

ZroStr ZroStr::operator+(double value) const
{
    ZroStr result(*this);
    result.pasteIn(value, "%f");
    return result;
}

void ZroStr::operator+=(const ZroStr& other) { append(other.storage_, other.length()); }

void ZroStr::operator+=(char c) { append(&c, c != '\0' ? 1 : 0); }

void ZroStr::operator+=(const char* text)
{
    // Through a string made from the text: without storage for it, that
    // string warns ("ZroString::ZroString"), nothing is appended, and the
    // codes are those of the concatenation with an empty text.
    const ZroStr operand(text);
    append(operand.storage_, operand.length());
}

void ZroStr::operator+=(long value) { pasteIn(value); }

void ZroStr::operator+=(double value) { pasteIn(value, "%f"); }

ZroStr ZroStr::operator()(unsigned offset, unsigned count) const
{
    ZroStr part;
    unsigned n = length();
    if (count == 0) {
        if (offset >= n) return part;
        count = n - offset;
    }
    // offset + count > n, without computing the sum.
    if (offset > n || count > n - offset) return part;
    char* fresh = obtain(static_cast<std::size_t>(count) + 1);
    if (fresh == nullptr) {
        part.fail(FN_CONSTRUCT, "ZroString::ZroString (warning): storage not available",
                  ZRCC_WARNING, ZRRC_STORAGE_NOT_AVAILABLE);
        return part;
    }
    std::memcpy(fresh, storage_ + offset, count);
    fresh[count] = '\0';
    part.adopt(fresh, count + 1);
    return part;
}

// Fixed-width fields.

unsigned char ZroStr::copy(char* target, unsigned length, const char* source, ZroErr& error,
                           char pad)
{
    if (target != nullptr && length != 0 && !ZroTrc::checkWritePointer(target, length))
        return failOn(error, "ZroString::copy (error): target buffer error", ZRCC_FAILED,
                      ZRRC_TARGET_BUFFER_ERROR);
    if (source != nullptr && !ZroTrc::checkReadPointer(source, 1))
        return failOn(error, "ZroString::copy (error): source buffer error", ZRCC_FAILED,
                      ZRRC_SOURCE_BUFFER_ERROR);
    if (length == 0) return 1;
    switch (fillField(target, length, source, sourceLength(source, length), pad)) {
    case Fill::NoTarget:
        return failOn(error, "static ZroString::copy (error): no destination buffer", ZRCC_FAILED,
                      ZRRC_NULL_POINTER);
    case Fill::Truncated:
        failOn(error, "static ZroString::copy (warning): string truncated", ZRCC_WARNING,
               ZRRC_DATA_TRUNCATED);
        return 1;
    case Fill::Done: break;
    }
    return 1;
}

unsigned char ZroStr::copy(char* target, unsigned length, const char* source, char pad)
{
    // While nobody listens and no pointer check is installed, a field that
    // the default check accepts and a text that fits need nothing but the
    // copy: there is no event to report and the shared codes stay as they are.
    if (zrecs_quiet() && target != nullptr && zrecs_default_answer(target, length) == 0) {
        if (length <= SHORT_FIELD && fillShortField(target, length, source, pad)) return 1;
        const std::size_t n = sourceLength(source, length);
        if (n <= length) {
            if (n != 0) std::memcpy(target, source, n);
            if (length > n) std::memset(target + n, pad, length - n);
            return 1;
        }
    }
    if (target != nullptr && length != 0 && !ZroTrc::checkWritePointer(target, length))
        return failShared("ZroString::copy (error): buffer error", ZRCC_FAILED, ZRRC_BUFFER_ERROR);
    switch (fillField(target, length, source, sourceLength(source, length), pad)) {
    case Fill::NoTarget:
        return failShared("static ZroString::copy (error): no destination buffer", ZRCC_FAILED,
                          ZRRC_NULL_POINTER);
    case Fill::Truncated:
        failShared("static ZroString::copy (warning): string truncated", ZRCC_WARNING,
                   ZRRC_DATA_TRUNCATED);
        return 1;
    case Fill::Done: break;
    }
    return 1;
}

unsigned char ZroStr::copyOut(char* buffer, unsigned length, char pad)
{
    ZroSem* lock = nullptr;
    {
        ZroStepFrame step(FN_LOCK);
        lock = sharedStringLock();
        if (lock != nullptr && lock->lock() != 0)
            step.report(1);
        else
            lock = nullptr;
    }
    if (lock == nullptr) {
        setCodes(ZRCC_FAILED, ZRRC_LOCK_FAILED);
        return 0;
    }
    // Copy and read the shared codes under the lock, so that no other
    // copyOut's codes come in between.
    unsigned char result = copy(buffer, length, storage_, pad);
    setCodes(g_copyCompletion.load(std::memory_order_relaxed),
             g_copyReason.load(std::memory_order_relaxed));
    unsigned char released = 0;
    {
        ZroStepFrame step(FN_UNLOCK);
        released = lock->unlock();
        step.report(released);
    }
    if (released == 0) {
        setCodes(ZRCC_FAILED, ZRRC_LOCK_FAILED);
        return 0;
    }
    return result;
}

// Numbers and tokens.

unsigned ZroStr::copyOut(long& value) const
{
    if (storage_ == nullptr) return 0;
    const char* text = storage_;
    unsigned i = 0;
    while (WhiteSpace(text[i])) ++i;
    bool negative = text[i] == '-';
    if (negative || text[i] == '+') ++i;
    if (text[i] < '0' || text[i] > '9') return 0;
    // Accumulate the magnitude without overflow, saturating at the largest
    // magnitude the sign allows.
    const unsigned long limit =
        negative ? static_cast<unsigned long>(LONG_MAX) + 1 : static_cast<unsigned long>(LONG_MAX);
    unsigned long magnitude = 0;
    for (; text[i] >= '0' && text[i] <= '9'; ++i) {
        auto digit = static_cast<unsigned long>(text[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (!negative)
        value = static_cast<long>(magnitude);
    else
        value = magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude);
    return i;
}

unsigned ZroStr::cutOut(long& value)
{
    unsigned read = copyOut(value);
    if (read == 0) return 0;
    return keepFrom(read, length()) != 0 ? read : 0;
}

unsigned ZroStr::copyOut(ZroStr& token, char delimiter) const
{
    unsigned length = 0;
    return firstToken(token, delimiter, length);
}

unsigned ZroStr::firstToken(ZroStr& token, char delimiter, unsigned& length) const
{
    if (delimiter == '\0')
        ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_TOKEN,
                             "ZroString::copyOut/cutOut (information): null string delimiter is "
                             "not advised");
    if (storage_ == nullptr) return 0;
    length = textLength(storage_, size_);
    unsigned skipped = 0;
    while (skipped < length && storage_[skipped] == delimiter) ++skipped;
    if (skipped == length) return 0;
    const char* start = storage_ + skipped;
    const void* end = std::memchr(start, delimiter, length - skipped);
    unsigned taken = end != nullptr ? static_cast<unsigned>(static_cast<const char*>(end) - start)
                                    : length - skipped;
    if (token.setExactly(start, taken) == 0) return 0;
    return skipped + taken;
}

unsigned ZroStr::cutOut(ZroStr& token, char delimiter)
{
    if (&token == this) {
        // The string is its own token: it ends as the token.
        ZroStr first;
        unsigned removed = cutOut(first, delimiter);
        if (removed != 0)
            *this = static_cast<ZroStr&&>(first);
        else if (first.reasonCode() != ZRRC_NONE)
            setCodes(first.completionCode(), first.reasonCode()); // the token's storage failure
        return removed;
    }
    unsigned length = 0;
    unsigned removed = firstToken(token, delimiter, length);
    if (removed == 0) return 0;
    if (delimiter == '\0') {
        ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_STRIP_LEADING,
                             "ZroString::stripLeading (information): cannot strip nulls");
    } else if (delimiter != ' ') {
        // The delimiters after the token go with it, as stripLeading would.
        while (removed < length && storage_[removed] == delimiter) ++removed;
    }
    return keepFrom(removed, length) != 0 ? removed : 0;
}

// Searching and editing.

unsigned char ZroStr::find(const ZroStr& pattern) const noexcept
{
    // One pass over the string, without measuring it first: candidates come
    // from strchr, which stops at the NUL, and strncmp stops there too. After
    // a few false candidates strstr, linear whatever the bytes, takes over.
    constexpr int FALSE_CANDIDATES = 16;
    if (pattern.storage_ == nullptr || pattern.storage_[0] == '\0') return 1;
    if (storage_ == nullptr) return 0;
    const char* wanted = pattern.storage_;
    const std::size_t rest = std::strlen(wanted + 1);
    const char* from = storage_;
    for (int misses = 0; misses < FALSE_CANDIDATES; ++misses) {
        const char* candidate = std::strchr(from, wanted[0]);
        if (candidate == nullptr) return 0;
        if (std::strncmp(candidate + 1, wanted + 1, rest) == 0) return 1;
        from = candidate + 1;
    }
    return std::strstr(from, wanted) != nullptr ? 1 : 0;
}

unsigned char ZroStr::find(const ZroStr& pattern, unsigned& offset) const noexcept
{
    unsigned wanted = pattern.length();
    if (wanted == 0) return 1;
    unsigned n = length();
    // offset + wanted > n, without computing the sum.
    if (wanted > n || offset > n - wanted) return 0;
    const char* match = search(storage_ + offset, n - offset, pattern.storage_, wanted);
    if (match == nullptr) {
        offset = n - wanted + 1;
        return 0;
    }
    offset = static_cast<unsigned>(match - storage_);
    return 1;
}

unsigned ZroStr::stripLeading(char c)
{
    if (c == '\0') {
        ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_STRIP_LEADING,
                             "ZroString::stripLeading (information): cannot strip nulls");
        return 0;
    }
    if (storage_ == nullptr || storage_[0] != c) return 0;
    unsigned run = 1;
    while (storage_[run] == c) ++run;
    return keepFrom(run, run + textLength(storage_ + run, size_ - run)) != 0 ? run : 0;
}

unsigned ZroStr::stripTrailing(char c)
{
    if (c == '\0') {
        ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_STRIP_TRAILING,
                             "ZroString::stripTrailing (information): cannot strip nulls");
        return 0;
    }
    unsigned n = length();
    unsigned end = n;
    while (end > 0 && storage_[end - 1] == c) --end;
    if (end < n) storage_[end] = '\0';
    return n - end;
}

ZroStr ZroStr::upperCase() const
{
    ZroStr upper(*this);
    for (char* p = upper.storage_; p != nullptr && *p != '\0'; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return upper;
}

// Appending numbers and bytes.

unsigned char ZroStr::pasteIn(long value)
{
    char area[LONG_AREA];
    NumberText number = numberText(area, std::snprintf(area, sizeof area, "%ld", value), LONG_AREA);
    *this += number.text;
    return number.formatted ? 1 : 0;
}

unsigned char ZroStr::pasteIn(double value, const char* format)
{
    char area[NUMBER_AREA];
    NumberText number = numberText(area, formatDouble(area, value, format), NUMBER_AREA);
    *this += number.text;
    return number.formatted ? 1 : 0;
}

unsigned char ZroStr::pasteIn(const void* data, unsigned length)
{
    if (length == 0) return 1;
    if (data == nullptr)
        return fail(FN_PASTE_IN, "ZroString::pasteIn (error): null pointer", ZRCC_FAILED,
                    ZRRC_NULL_POINTER);
    if (!checkReadPointer(data, length)) return 0;
    unsigned n = this->length();
    // The new storage size, n + length + 1, must be a 32-bit number.
    if (length >= UINT32_MAX - n)
        return fail(FN_PASTE_IN, "ZroString::pasteIn (error): storage not available", ZRCC_FAILED,
                    ZRRC_STORAGE_NOT_AVAILABLE);
    unsigned size = n + length + 1;
    if (size == size_) {
        std::memmove(storage_ + n, data, length);
    } else {
        char* fresh = obtain(size);
        if (fresh == nullptr)
            return fail(FN_SET_STORAGE, "ZroString::setStorage (error): storage not available",
                        ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        if (n != 0) std::memcpy(fresh, storage_, n);
        std::memcpy(fresh + n, data, length);
        adopt(fresh, size);
    }
    showNuls(storage_ + n, length);
    storage_[n + length] = '\0';
    return 1;
}

// Free functions.

unsigned char WhiteSpace(char c) { return c == '\t' || c == ' ' ? 1 : 0; }

extern "C" void ZroStrCleanUp(void)
{
    ZroSem* lock = g_stringLock.exchange(nullptr, std::memory_order_acq_rel);
    if (lock == nullptr) return;
    ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_CLEAN_UP, "Releasing ZroString resources");
    lock->~ZroSem();
    zroRelease(lock);
}

// ---- The string as a message body -----------------------------------------

namespace {
constexpr auto kStringTexts = zroCheckTexts("ZroString");
constexpr ZroItemFacts kStringFacts{nullptr, ZRFMT_STRING, kStringTexts, FN_PASTE_IN};
} // namespace

unsigned char ZroStr::copyOut(ZroMsg& message)
{
    return ZroProtocol::replaceText(*this, message, storage_, size_, ZRFMT_STRING);
}

unsigned char ZroStr::pasteIn(ZroMsg& message)
{
    // The format check has something to say only when it fails.
    if (std::memcmp(message.descriptor().format, ZRFMT_STRING, 8) != 0 &&
        !ZroProtocol::checkAtDataOffset(*this, message, kStringFacts))
        return 0;
    const unsigned n = message.dataLength();
    if (size_ < n) {
        if (!setStorage(n)) return 0;
        storage_[0] = '\0';
    }
    if (n == 0) return 1;
    char* into = storage_;
    if (!message.read(n, into)) return ZroProtocol::takeCodes(*this, message);
    if (storage_[n - 1] == '\0') return 1;
    // The bytes need a terminator after them. Without room for it the
    // string is emptied so that it stays a valid text.
    if (size_ < n + 1u && (n == UINT32_MAX || !setStorage(n + 1))) {
        storage_[0] = '\0';
        if (n == UINT32_MAX)
            return fail(FN_SET_STORAGE, "ZroString::setStorage (error): storage not available",
                        ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        return 0;
    }
    storage_[n] = '\0';
    return 1;
}

std::ostream& operator<<(std::ostream& out, const ZroStr& text) { return out << text.view(); }
