// ZroStr: the library's string value.
//
// A string owns storage holding a run of single-byte characters ended by a
// NUL; its text is the bytes up to the first NUL. The storage size is kept
// apart from the text's length (it may be larger) and is copied with the
// string. Every text field of a record reaches an application as a ZroStr.
//
// ```cpp
// ZroStr queue("QUEUE.A");
// queue += '.';
// queue += 42L;                        // "QUEUE.A.42"
// char field[48];
// queue.copyOut(field, 48, ' ');       // blank padded, no terminator
// ```
//
// ```cpp
// ZroStr list("a,b,,c"), token;
// while (list.cutOut(token, ',') != 0) {   // "a", "b", "c"
//     std::cout << token << '\n';
// }
// ```
//
// Storage is sized exactly to what each operation needs and never shared;
// the length is found by scanning for the NUL. Failures leave their codes on
// the string (see ZroErr) and never throw; a string always stays a valid,
// NUL-terminated text.
#ifndef ZROI_ZROSTR_HPP
#define ZROI_ZROSTR_HPP

#include <cstddef>
#include <iosfwd>
#include <string_view>

#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"
#include "zroi/zroitm.hpp"

class ZROI_API ZroStr : public ZroItm {
public:
    // Construction and assignment.

    /// An empty string without storage, codes 0/0.
    ZroStr() noexcept = default;
    /// The one-character text `c`, in storage of 2 bytes (also for a NUL `c`,
    /// which gives an empty text). Without storage: empty, 1/2071.
    explicit ZroStr(char c);
    /// A copy of the NUL-terminated `text`; none for nullptr or "". Without
    /// storage: empty with 1/2071.
    ZroStr(const char* text);
    /// As ZroStr(const char*) of the text of `text` up to its first NUL
    /// (the whole of it when it holds none): `ZroStr s(std::string("abc"))`.
    /// An addition for C++ code; without storage: empty with 1/2071.
    explicit ZroStr(std::string_view text);
    /// The `length` bytes at `data` as a text, each NUL byte shown as '.'.
    /// Leaves, on an empty string: 2/6108 (`data` nullptr, `length` > 0),
    /// 2/2004 (not readable), 2/2071 (`length` 4294967295, or no storage).
    ZroStr(const void* data, unsigned length);
    /// Copies `other`'s codes, storage size and all storage bytes. Without
    /// storage: empty with 2/2071.
    ZroStr(const ZroStr& other);
    /// Takes over `other`'s codes and storage; `other` is left empty.
    ZroStr(ZroStr&& other) noexcept;
    ~ZroStr() override;

    /// As the copy constructor; without storage the string keeps its text
    /// and carries 2/2071. Assigning a string to itself changes nothing.
    void operator=(const ZroStr& other);
    /// Takes over `other`'s codes and storage; `other` is left empty.
    void operator=(ZroStr&& other) noexcept;

    /// Resizes the storage to `size` bytes, keeping its leading bytes. When
    /// the kept bytes hold no NUL, the last of them becomes the NUL (the text
    /// is cut to fit). 0 with 2/2071 when no storage is available, the
    /// string unchanged.
    unsigned char setStorage(unsigned size);
    /// The text of at most `length` bytes at `data`, up to a NUL among them.
    /// Storage size `length` when they hold a NUL, else `length` + 1.
    /// `length` 0 empties the string (no storage). 0 with 2/6108 (`data`
    /// nullptr), 2/2004 (not readable) or 2/2071, the string unchanged.
    unsigned char set(const char* data, unsigned length);

    // Inspection.

    /// Characters before the first NUL; 0 without storage.
    unsigned length() const noexcept;
    /// The first character, or nullptr without storage.
    const char* dataPointer() const noexcept { return storage_; }
    /// The bytes of storage held, the NUL included; 0 without storage.
    unsigned storageSize() const noexcept { return size_; }
    /// The text (up to the first NUL) as a view into the storage: empty, with
    /// a non-null data pointer, for a string without storage. Valid until the
    /// string changes or goes. An addition for C++ code, as is the implicit
    /// conversion below, which also gives `std::string(s)`.
    std::string_view view() const noexcept
    {
        return storage_ != nullptr ? std::string_view(storage_, length()) : std::string_view("", 0);
    }
    operator std::string_view() const noexcept { return view(); }
    /// -1, 0 or 1 as the text orders before, equal to or after `other`'s,
    /// bytes compared as unsigned values; a proper prefix orders first.
    short compare(const ZroStr& other) const noexcept;

    // Concatenation and substrings. A result, or the appended string, gets
    // the codes of the concatenation: 0/0, or 1/2071 and empty without storage.
    // A text operand is first made into a string, which warns (1/2071,
    // "ZroString::ZroString") when it gets no storage and then adds nothing;
    // + of a text or a number works on a copy of this string, made as the
    // copy constructor makes it.

    ZroStr operator+(const ZroStr& other) const;
    ZroStr operator+(char c) const;
    ZroStr operator+(const char* text) const;
    /// Followed by the decimal text of `value`.
    ZroStr operator+(long value) const;
    /// Followed by `value` formatted "%f"; "***" when that needs more than 19
    /// characters (from 10^12, or -10^11 for negative values).
    ZroStr operator+(double value) const;
    void operator+=(const ZroStr& other);
    void operator+=(char c);
    void operator+=(const char* text);
    void operator+=(long value);
    void operator+=(double value);

    /// The `count` characters from `offset` (0-based); `count` 0 runs to the
    /// end. Empty (no storage) when the range does not lie within the text.
    /// Codes 0/0; without storage: empty with 1/2071.
    ZroStr operator()(unsigned offset, unsigned count) const;

    // Fixed-width fields.

    /// Copies `source` into the field of `length` bytes at `target`: at most
    /// `length` characters (no NUL), the rest `pad`. Result 1, also when the
    /// text was cut (1/6115 on `error`) and always for `length` 0. Result 0
    /// with, on `error`: 2/2146 (target not writable), 2/2145 (source not
    /// readable), 2/6108 (characters or padding but no `target`).
    static unsigned char copy(char* target, unsigned length, const char* source, ZroErr& error,
                              char pad);
    /// The same, but `source` is not checked, `length` 0 with a non-empty
    /// `source` is a cut, and the codes go to the string subsystem's shared
    /// copy codes: 2/2004 (target not writable), 2/6108, 1/6115.
    static unsigned char copy(char* target, unsigned length, const char* source, char pad);
    /// The text into the field of `length` bytes at `buffer`, as the shared-
    /// codes copy does, under the shared string lock; the string then
    /// carries the shared copy codes as they stand (also 0/0). 0 with 2/2195
    /// when the lock cannot be created, taken or released.
    unsigned char copyOut(char* buffer, unsigned length, char pad);

    // Numbers and tokens.

    /// Reads a decimal number at the start: tabs and blanks, one optional
    /// sign, digits. The count of characters read, or 0 (`value` untouched)
    /// when no digit follows. Values beyond the range of long are stored as
    /// LONG_MAX or LONG_MIN.
    unsigned copyOut(long& value) const;
    /// As copyOut(long&), then removes what was read: the string keeps the
    /// rest in storage of exactly its length + 1 (none when empty), codes
    /// 0/0. 0 with 2/2071 and the string unchanged (`value` set) when no
    /// storage is left.
    unsigned cutOut(long& value);
    /// The first token: skips a run of `delimiter`, then `token` becomes the
    /// characters up to the next `delimiter` or the end (codes 0/0, storage
    /// exactly its length + 1). The count of characters skipped and taken,
    /// or 0 (`token` untouched) when none is left. A NUL `delimiter` makes
    /// the whole text the token and writes an information text. 0 with
    /// 2/2071 on `token` when it can get no storage.
    unsigned copyOut(ZroStr& token, char delimiter) const;
    /// As copyOut(token, delimiter), then removes the token from the string
    /// and, unless `delimiter` is a blank or NUL, the run of `delimiter`
    /// after it. The count of characters removed, or 0 with the string
    /// unchanged. The string keeps the rest in exact storage, codes 0/0; 0
    /// with 2/2071 and the string unchanged when no storage is left.
    unsigned cutOut(ZroStr& token, char delimiter);

    // Searching and editing.

    /// 1 when `pattern` occurs in the text (always for an empty pattern).
    unsigned char find(const ZroStr& pattern) const noexcept;
    /// Searches from `offset`. 1 with `offset` at the match (unchanged for an
    /// empty pattern); 0 with `offset` unchanged when the pattern cannot fit
    /// from `offset`, else 0 with `offset` = length - pattern length + 1.
    unsigned char find(const ZroStr& pattern, unsigned& offset) const noexcept;
    /// Removes the leading run of `c`; the count removed. The rest is kept
    /// in exact storage with codes 0/0. A NUL `c` changes nothing (0 and an
    /// information text). 0 with 2/2071, unchanged, when no storage is left.
    unsigned stripLeading(char c);
    /// Cuts the trailing run of `c` in place; the count removed. Storage and
    /// codes are unchanged. A NUL `c` changes nothing (0, information text).
    unsigned stripTrailing(char c);
    /// A copy (codes and storage included) with lower-case letters upper-
    /// cased as the current locale classifies them.
    ZroStr upperCase() const;

    // Appending numbers and bytes.

    /// Appends the decimal text of `value` as += of that text does (the codes
    /// become those of the concatenation: 0/0, or 1/2071 and empty without
    /// storage; a text that gets no string appends nothing). 1.
    unsigned char pasteIn(long value);
    /// Appends `value` formatted by `format`: literal text and exactly one
    /// conversion %[flags][width][.precision][l or L]{f,F,e,E,g,G,a,A}, "%%"
    /// as a literal '%', at most 19 characters formatted in all. Anything
    /// else (also a missing format, or one that could read another argument
    /// or write anywhere: %s, %n, %d, *, two conversions) appends "***" and
    /// gives 0, as does a text longer than 19 characters; such a format is
    /// never used. Codes as +=.
    unsigned char pasteIn(double value, const char* format = "%f");
    /// Appends `length` bytes at `data`, each NUL byte as '.'. 1 (also for
    /// `length` 0, `data` not looked at); 0 with 2/6108 (`data` nullptr),
    /// 2/2004 (not readable) or 2/2071 (length not representable, or no
    /// storage), the string unchanged.
    unsigned char pasteIn(const void* data, unsigned length);

    // The string as a message item.

    /// Replaces the message's data by the text (without NUL), format
    /// "ZRSTR   ", encoding 546, character set 0. 0 on failure with the
    /// message's codes (the message is then cleared).
    unsigned char copyOut(ZroMsg& message) override;
    /// Takes all data from the message's data offset to its end as the text
    /// (up to a NUL among it); the data offset then stands at the end. No
    /// data keeps the text. 0 with 2/6119 (format not "ZRSTR   "), 2/2071
    /// (no storage) or the message's codes when the read fails.
    unsigned char pasteIn(ZroMsg& message) override;

protected:
    /// As operator= without touching the codes; 1, or 0 with 2/2071.
    unsigned char assign(const ZroStr& other);

    // The seam of the library's item protocol: a class of the library
    // derived from ZroStr that reads a header's texts into strings in place
    // writes into the storage of `text` (dataPointer, storageSize bytes).
    static char* storageOf(ZroStr& text) noexcept { return text.storage_; }

private:
    /// A new string holding the `na` bytes at `a` then the `nb` bytes at `b`.
    static ZroStr concatenate(const char* a, std::size_t na, const char* b, std::size_t nb);
    /// Appends `n` bytes at `text` as += does: exact new storage, codes of
    /// the concatenation.
    void append(const char* text, std::size_t n);
    /// copyOut(token, delimiter), also giving the length of the text.
    unsigned firstToken(ZroStr& token, char delimiter, unsigned& length) const;
    /// Keeps the text from `offset` of a text of `length` characters, in
    /// exact storage, codes 0/0. 0 with 2/2071 and nothing changed on failure.
    unsigned char keepFrom(unsigned offset, unsigned length);
    /// Makes the text the `n` bytes at `text` in storage of exactly n + 1
    /// (none for 0), codes 0/0. 0 with 2/2071 and nothing changed on failure.
    unsigned char setExactly(const char* text, unsigned n);
    /// Replaces the storage by `storage` of `size` bytes (nullptr, 0: none).
    void adopt(char* storage, unsigned size) noexcept;

    char* storage_ = nullptr;
    unsigned size_ = 0;
};

/// Writes the text (view()), as for a std::string_view: the stream's width
/// and fill apply. For diagnostics in C++ code; the string is not changed.
ZROI_API std::ostream& operator<<(std::ostream& out, const ZroStr& text);

/// 1 for a tab or a blank, the white space of the number readers; else 0.
ZROI_API unsigned char WhiteSpace(char c);

/// Releases the string subsystem's shared lock, if it exists, writing
/// "Releasing ZroString resources". Called by name when the library unloads.
extern "C" ZROI_API void ZroStrCleanUp(void);

#endif // ZROI_ZROSTR_HPP
