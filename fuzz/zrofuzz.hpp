// Shared pieces of the fuzz targets.
//
// A target reads its choices from the input with Input, runs the library
// inside an Environment (which may listen to the trace, refuse chosen
// storage and plan an allocation failure, as the input says) and stops with
// ZROFUZZ_CHECK when a result disagrees with what the library promises: a
// broken promise is a finding just as a crash is.
//
// Targets that read an item from a message build it with messageFrom():
//
//     extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
//     {
//         zrofuzz::Input input(data, size);
//         zrofuzz::Environment environment(input);
//         zrofuzz::FuzzMessage message(input);   // format, encoding, data from the input
//         ZroDlh header;
//         message->readItem(header);
//         ...
//     }
//
// and a header class gets its whole target from fuzzHeader<H>() below.
#ifndef ZROI_FUZZ_ZROFUZZ_HPP
#define ZROI_FUZZ_ZROFUZZ_HPP

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "zrecs/zrecs.h"
#include "zroalloc.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zrofields.hpp"
#include "zroi/zrohdr.hpp"
#include "zroi/zromsg.hpp"

namespace zrofuzz {

[[noreturn]] inline void broken(const char* file, int line, const char* what)
{
    std::fprintf(stderr, "%s:%d: broken promise: %s\n", file, line, what);
    std::abort();
}

#define ZROFUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : zrofuzz::broken(__FILE__, __LINE__, #condition))

// ---- Reading choices from the input ----------------------------------------

/// The input read front to back. Past its end every read gives zeros, so
/// that any input, however short, is a complete run.
class Input {
public:
    Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | byte() << 8); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | static_cast<uint32_t>(u16()) << 16; }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    bool done() const { return at_ >= size_; }
    std::size_t left() const { return size_ - at_; }

    /// Up to `n` bytes, fewer at the end of the input.
    std::vector<char> bytes(std::size_t n)
    {
        std::size_t take = n < left() ? n : left();
        std::vector<char> out(data_ + at_, data_ + at_ + take);
        at_ += take;
        return out;
    }
    /// Everything not read yet.
    std::vector<char> rest() { return bytes(left()); }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// ---- The format names and structure ids of the library ---------------------

/// Every format name of zrodefs.h.
inline const char* const kFormats[] = {
    ZRFMT_NONE,
    ZRFMT_STRING,
    ZRFMT_DEAD_LETTER_HEADER,
    ZRFMT_KOTA_BRIDGE_HEADER,
    ZRFMT_RPX_BRIDGE_HEADER,
    ZRFMT_TRIGGER,
    ZRFMT_REFERENCE_HEADER,
    ZRFMT_WORK_INFO_HEADER,
};
constexpr unsigned kFormatCount = sizeof kFormats / sizeof kFormats[0];

// ---- The environment of one run ---------------------------------------------

/// Storage that the pointer check refuses while a check is installed:
/// reading from refusedRead and writing into refusedWrite.
struct RefusedStorage {
    char refusedRead[4096];
    char refusedWrite[4096];
};
inline RefusedStorage g_refused;

inline bool overlaps(const void* start, std::size_t length, const char* region, std::size_t size)
{
    auto begin = reinterpret_cast<std::uintptr_t>(start);
    auto from = reinterpret_cast<std::uintptr_t>(region);
    return length != 0 && begin < from + size && from < begin + length;
}

/// What the input chose for a run: a listener that checks the trace, a
/// pointer check that refuses g_refused, and allocation failures planned
/// later by the target. Installed for the lifetime of the object.
class Environment {
public:
    enum Mode : uint8_t { Quiet = 0, Listen = 1, Check = 2, ListenAndCheck = 3 };

    explicit Environment(uint8_t mode) : mode_(static_cast<Mode>(mode & 3))
    {
        if (listening()) zrecs_set_listener(&Environment::listen, this);
        if (checking()) zrecs_set_pointer_check(&Environment::check, nullptr);
    }
    explicit Environment(Input& input) : Environment(input.byte()) {}
    ~Environment()
    {
        zroi_test_fail_allocation(0, 0);
        zrecs_set_listener(nullptr, nullptr);
        zrecs_set_pointer_check(nullptr, nullptr);
        // Every entry record had its exit record.
        ZROFUZZ_CHECK(depth_ == 0);
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    bool listening() const { return (mode_ & Listen) != 0; }
    /// True while g_refused is refused by the pointer check.
    bool checking() const { return (mode_ & Check) != 0; }

    /// The `nth` allocation from now fails (and every later one when
    /// `persistent`); 0 plans none.
    void planAllocationFailure(unsigned nth, bool persistent)
    {
        zroi_test_fail_allocation(nth, persistent ? 1 : 0);
        failAt_ = nth == 0 ? 0 : zroi_test_allocation_count() + nth;
        persistent_ = persistent;
    }
    /// Whether allocation number `number` (as zroi_test_allocation_count
    /// counts) is planned to fail.
    bool fails(unsigned long number) const
    {
        return failAt_ != 0 && (number == failAt_ || (persistent_ && number > failAt_));
    }
    /// Whether a planned failure has happened by now.
    bool failed() const { return failAt_ != 0 && zroi_test_allocation_count() >= failAt_; }
    /// Whether an allocation planned to fail was made after allocation
    /// number `before`, up to now.
    bool failedSince(unsigned long before) const
    {
        const unsigned long now = zroi_test_allocation_count();
        for (unsigned long n = before + 1; n <= now; ++n)
            if (fails(n)) return true;
        return false;
    }
    unsigned texts() const { return texts_; }
    const char* lastText() const { return lastText_; }

private:
    static void listen(const zrecs_event* event, void* context)
    {
        auto* self = static_cast<Environment*>(context);
        switch (event->kind) {
        case ZRECS_ENTRY:
            ZROFUZZ_CHECK(event->component == ZRO_TRACE_COMPONENT);
            ZROFUZZ_CHECK(self->depth_ < kDepth);
            self->stack_[self->depth_++] = event->function;
            break;
        case ZRECS_EXIT:
            ZROFUZZ_CHECK(self->depth_ > 0);
            ZROFUZZ_CHECK(self->stack_[--self->depth_] == event->function);
            break;
        case ZRECS_TEXT: {
            ZROFUZZ_CHECK(event->component == ZRO_TRACE_COMPONENT);
            ZROFUZZ_CHECK(event->text != nullptr);
            std::size_t n = std::strlen(event->text);
            ZROFUZZ_CHECK(n > 0 && n < sizeof self->lastText_);
            std::memcpy(self->lastText_, event->text, n + 1);
            ++self->texts_;
            break;
        }
        default: break;
        }
    }

    static int check(const void* start, unsigned length, unsigned mode, void*)
    {
        if (zrecs_default_pointer_check(start, length, mode, nullptr) != 0) return 1;
        if (mode == 1 && overlaps(start, length, g_refused.refusedRead, 4096)) return 1;
        if (mode == 2 && overlaps(start, length, g_refused.refusedWrite, 4096)) return 1;
        return 0;
    }

    static constexpr unsigned kDepth = 16;
    Mode mode_;
    unsigned stack_[kDepth] = {};
    unsigned depth_ = 0;
    unsigned texts_ = 0;
    char lastText_[256] = {};
    unsigned long failAt_ = 0;
    bool persistent_ = false;
};

// ---- A message built from the input ------------------------------------------

/// A message whose descriptor and data come from the input:
///
///   byte 0   format: kFormats[b % (kFormatCount + 1)]; the value kFormatCount
///            takes the next 8 bytes as the format name
///   byte 1   bits 0-1: encoding, 546 unless 3 (then 4 bytes follow);
///            bit 2: the data in a user buffer (useFullBuffer) of exactly its
///            size instead of the automatic buffer; bit 3: a coded character
///            set follows (4 bytes, else 0); bit 4: a data offset follows
///            (2 bytes, taken modulo the data length + 1)
///   the rest the message data.
///
/// A user buffer is the object's own heap copy, so reading past the data
/// is caught by ASan. The message is built before any planned failure.
class FuzzMessage {
public:
    explicit FuzzMessage(Input& input)
    {
        uint8_t format = input.byte();
        uint8_t flags = input.byte();
        char name[ZRFMT_WIDTH + 1] = {};
        if (format % (kFormatCount + 1) == kFormatCount) {
            std::vector<char> raw = input.bytes(ZRFMT_WIDTH);
            std::copy(raw.begin(), raw.end(), name);
            // Into the field as they are: setFormat would stop at a NUL.
            std::memcpy(message_.descriptor().format, name, ZRFMT_WIDTH);
        } else {
            message_.setFormat(kFormats[format % (kFormatCount + 1)]);
        }
        message_.setEncoding((flags & 3) == 3 ? input.i32() : ZRENC_NATIVE);
        message_.setCharacterSet((flags & 8) != 0 ? input.i32() : 0);
        uint16_t offset = (flags & 16) != 0 ? input.u16() : 0;
        data_ = input.rest();
        const auto n = static_cast<unsigned>(data_.size());
        if ((flags & 4) != 0 && n != 0) {
            user_.reset(new char[n]);
            std::memcpy(user_.get(), data_.data(), n);
            ZROFUZZ_CHECK(message_.useFullBuffer(user_.get(), n) == 1);
        } else {
            ZROFUZZ_CHECK(message_.write(n, data_.data()) == 1);
        }
        ZROFUZZ_CHECK(message_.setDataOffset(offset % (n + 1)) == 1);
        ZROFUZZ_CHECK(message_.completionCode() == 0);
    }
    FuzzMessage(const FuzzMessage&) = delete;
    FuzzMessage& operator=(const FuzzMessage&) = delete;

    ZroMsg& operator*() { return message_; }
    ZroMsg* operator->() { return &message_; }
    /// The data as the input gave it.
    const std::vector<char>& data() const { return data_; }

private:
    // The user buffer outlives the message that uses it.
    std::unique_ptr<char[]> user_;
    ZroMsg message_;
    std::vector<char> data_;
};

/// The cache's promises, true after every operation.
inline void checkCache(const ZroCac& cache)
{
    ZROFUZZ_CHECK(cache.dataOffset() <= cache.messageLength());
    ZROFUZZ_CHECK(cache.messageLength() <= cache.bufferLength());
    ZROFUZZ_CHECK((cache.bufferLength() == 0) == (cache.bufferPointer() == nullptr));
    ZROFUZZ_CHECK(cache.dataLength() == cache.messageLength() - cache.dataOffset());
    ZROFUZZ_CHECK(
        cache.dataPointer() ==
        (cache.bufferPointer() != nullptr ? cache.bufferPointer() + cache.dataOffset() : nullptr));
}

/// A string's promises: no storage means size 0; storage holds a NUL.
inline void checkString(const ZroStr& s)
{
    ZROFUZZ_CHECK((s.dataPointer() == nullptr) == (s.storageSize() == 0));
    if (s.dataPointer() != nullptr)
        ZROFUZZ_CHECK(std::memchr(s.dataPointer(), 0, s.storageSize()) != nullptr);
    ZROFUZZ_CHECK(s.length() < s.storageSize() || s.storageSize() == 0);
}

/// Every field of the object's record, read in place through its field
/// table: a text lies within its field, holds no NUL and, when its getter
/// trims, ends in no blank. A header's format, through its virtual getter,
/// is the format field's text.
template <class T> void checkFields(const T& object)
{
    const void* record = &object.record();
    for (const zroi::Field& field : zroi::fields<T>()) {
        if (field.kind == zroi::FieldKind::text) {
            const std::string_view text = zroi::fieldText(field, record);
            ZROFUZZ_CHECK(text.size() <= field.width);
            ZROFUZZ_CHECK(text.find('\0') == std::string_view::npos);
            ZROFUZZ_CHECK(!field.trimmed || text.empty() || text.back() != ' ');
        } else if (field.kind == zroi::FieldKind::integer) {
            int32_t value = 0;
            std::memcpy(&value, static_cast<const char*>(record) + field.offset, sizeof value);
            ZROFUZZ_CHECK(zroi::fieldInteger(field, record) == value);
        }
    }
    if constexpr (std::is_base_of<ZroHdr, T>::value) {
        const ZroStr format = object.format();
        checkString(format);
        ZROFUZZ_CHECK(std::string_view(format.dataPointer(), format.length()) ==
                          zroi::fieldText(*zroi::fields<T>().find("format"), record) ||
                      format.completionCode() != 0);
    }
}

/// The bytes of a message from the start of its buffer to its length.
inline std::vector<char> messageBytes(const ZroCac& cache)
{
    const char* start = cache.bufferPointer();
    return start != nullptr ? std::vector<char>(start, start + cache.messageLength())
                            : std::vector<char>();
}

/// A reason code is one the library gives for an allocation that failed.
inline bool isStorageFailure(const ZroErr& object)
{
    return object.reasonCode() == ZRRC_STORAGE_NOT_AVAILABLE &&
           (object.completionCode() == ZRCC_FAILED || object.completionCode() == ZRCC_WARNING);
}

inline void checkSameCodes(const ZroErr& a, const ZroErr& b)
{
    ZROFUZZ_CHECK(a.completionCode() == b.completionCode() && a.reasonCode() == b.reasonCode());
}

/// The reason of the first check at the data offset that fails: 6107 for a
/// structure id not at the cursor (or fewer than 4 bytes), 6106 for an
/// encoding other than 546, 6119 for another format; 0 when all pass.
inline int32_t firstFailingCheck(const ZroMsg& message, const char* strucId, const char* formatName)
{
    if (message.dataLength() < ZRSTRUC_ID_WIDTH ||
        std::memcmp(message.dataPointer(), strucId, ZRSTRUC_ID_WIDTH) != 0)
        return ZRRC_STRUC_ID_ERROR;
    if (message.encoding() != ZRENC_NATIVE) return ZRRC_ENCODING_ERROR;
    if (std::memcmp(message.descriptor().format, formatName, ZRFMT_WIDTH) != 0)
        return ZRRC_FORMAT_ERROR;
    return 0;
}

// ---- A whole header target ----------------------------------------------------

/// A format name as a message's format field holds it: the text up to
/// its first NUL, blank padded to 8 characters.
inline std::string padded(const ZroStr& name)
{
    std::string text = name.dataPointer() != nullptr ? name.dataPointer() : "";
    text.resize(ZRFMT_WIDTH, ' ');
    return text;
}

/// What a header target knows of its class.
struct HeaderFacts {
    const char* strucId;
    const char* formatName;
    unsigned length; ///< of every record of the class; 0 when it varies
    /// The header's own length may move the data offset past the data,
    /// which then extends the message (the reference header's structure
    /// length), so that the data read stays a prefix of the message.
    bool extends = false;
};

/// The message still begins with `data`: equal, or extended beyond it when
/// the header may extend the message.
inline bool keeps(const ZroCac& message, const std::vector<char>& data, bool extends)
{
    // Compared in place: an extended message may be large, and its bytes
    // past the data have no defined value.
    const unsigned length = message.messageLength();
    if (length != data.size() && !(extends && length > data.size())) return false;
    return data.empty() || std::memcmp(message.bufferPointer(), data.data(), data.size()) == 0;
}

/// Does nothing: the default of a header target's class-specific steps.
struct Nothing {
    template <class... Any> void operator()(Any&&...) const {}
};

/// Always true: the default of writable below.
struct Always {
    template <class Header> bool operator()(const Header&) const { return true; }
};

/// The target of a header class:
///
///   byte 0   the Environment; byte 1 a planned allocation failure (bit 7
///            set: the (1 + b % 8)th allocation of the read fails, every
///            later one too with bit 6); byte 2 bit 0: read a second time
///            from the same place into the same object
///   then     what `prepare(header, input)` reads (a version, say), then
///            the FuzzMessage.
///
/// The read must fail exactly as the checks at the data offset say, in
/// their order, leaving the cursor and the description of the message as
/// they were; after them a class-specific failure is completion 2 with a
/// reason (or the 2071 of a planned failure). A read that succeeds moves
/// the cursor past the header and hands the header's description to the
/// message (by the length of the class, when it has one). Reading never
/// changes the data. A header read successfully and `writable` is then
/// written into a fresh message, read back and written again: both writes
/// give the same bytes. `inspect(header, message)` runs
/// after every read (the getters of the class, say).
template <class Header, class Prepare = Nothing, class Inspect = Nothing, class Writable = Always>
int fuzzHeader(const uint8_t* data, std::size_t size, const HeaderFacts& facts,
               Prepare prepare = {}, Inspect inspect = {}, Writable writable = {})
{
    Input input(data, size);
    Environment environment(input);
    const uint8_t plan = input.byte();
    const uint8_t twice = input.byte() & 1;
    Header header;
    prepare(header, input);
    FuzzMessage message(input);

    const std::vector<char> whole = messageBytes(*message);
    const unsigned offset = message->dataOffset();
    const ZRMD described = message->descriptor();
    const int32_t failing = firstFailingCheck(*message, facts.strucId, facts.formatName);
    const int32_t completion = header.completionCode();
    const int32_t reason = header.reasonCode();

    if ((plan & 0x80) != 0) environment.planAllocationFailure(1 + plan % 8, (plan & 0x40) != 0);
    const unsigned long start = zroi_test_allocation_count();
    unsigned char result = message->readItem(header);
    const bool injected = environment.failedSince(start);
    environment.planAllocationFailure(0, false);
    checkCache(*message);
    checkSameCodes(*message, header);
    ZROFUZZ_CHECK(keeps(*message, whole, facts.extends));
    inspect(header, *message);
    if (failing != 0 || result == 0) {
        ZROFUZZ_CHECK(result == 0 && header.completionCode() == ZRCC_FAILED);
        if (failing != 0) {
            ZROFUZZ_CHECK(header.reasonCode() == failing);
            ZROFUZZ_CHECK(message->dataOffset() == offset);
        }
        ZROFUZZ_CHECK(header.reasonCode() != 0);
        if (injected) ZROFUZZ_CHECK(isStorageFailure(header) || failing != 0);
        ZROFUZZ_CHECK(std::memcmp(&message->descriptor(), &described, sizeof(ZRMD)) == 0);
        return 0;
    }
    // Read: the codes stay, the cursor moved past the header, the message
    // describes what follows it.
    ZROFUZZ_CHECK(header.completionCode() == completion && header.reasonCode() == reason);
    const unsigned length = message->dataOffset() - offset;
    ZROFUZZ_CHECK(length >= ZRSTRUC_ID_WIDTH);
    if (!facts.extends) ZROFUZZ_CHECK(length <= whole.size() - offset);
    if (facts.length != 0) ZROFUZZ_CHECK(length == facts.length);
    ZROFUZZ_CHECK(message->encoding() == header.encoding());
    ZROFUZZ_CHECK(message->characterSet() == header.characterSet());
    ZROFUZZ_CHECK(std::memcmp(message->descriptor().format, padded(header.format()).data(),
                              ZRFMT_WIDTH) == 0);

    if (twice != 0) {
        // The same object again from the same place: whatever its record now
        // says (a version read from the input, say), the rules hold.
        ZROFUZZ_CHECK(message->setDataOffset(offset) == 1);
        std::memcpy(&message->descriptor(), &described, sizeof(ZRMD));
        header.clearErrorCodes();
        unsigned char again = message->readItem(header);
        checkCache(*message);
        checkSameCodes(*message, header);
        ZROFUZZ_CHECK(keeps(*message, whole, facts.extends));
        ZROFUZZ_CHECK(again == 1 || header.completionCode() == ZRCC_FAILED);
        inspect(header, *message);
        return 0;
    }

    if (!writable(header)) return 0;
    ZroMsg out;
    ZROFUZZ_CHECK(out.writeItem(header) == 1);
    checkCache(out);
    const unsigned written = out.messageLength();
    ZROFUZZ_CHECK(out.dataOffset() == written && written >= ZRSTRUC_ID_WIDTH);
    if (facts.length != 0) ZROFUZZ_CHECK(written == facts.length);
    ZROFUZZ_CHECK(out.formatIs(facts.formatName) && out.encoding() == ZRENC_NATIVE &&
                  out.characterSet() == 0);
    // The header now describes what followed it in `out`: nothing, in a new message.
    ZROFUZZ_CHECK(header.format().compare(ZRFMT_NONE) == 0 && header.encoding() == ZRENC_NATIVE &&
                  header.characterSet() == 0);
    Header second(header);
    second.clearErrorCodes();
    ZROFUZZ_CHECK(out.setDataOffset(0) == 1);
    ZROFUZZ_CHECK(out.readItem(second) == 1);
    ZROFUZZ_CHECK(out.dataOffset() == written);
    ZroMsg again;
    ZROFUZZ_CHECK(again.writeItem(second) == 1);
    ZROFUZZ_CHECK(messageBytes(again) == messageBytes(out));
    return 0;
}

} // namespace zrofuzz

#endif // ZROI_FUZZ_ZROFUZZ_HPP
