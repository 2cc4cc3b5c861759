// Sequences of cache and message operations, each checked against a model.
//
// Two messages and a plain cache take up to 64 operations chosen by the
// input: write, read, moreBytes, resizeBuffer, setDataOffset,
// setMessageLength, clearMessage, useEmptyBuffer and useFullBuffer on
// fuzzer-owned storage, assignment and copy construction between them,
// clearErrorCodes, a tracker setter, and planned allocation failures. A
// model of each cache follows the documented algorithm step by step; after
// every operation the result, the codes, the lengths, the cursor, the buffer
// mode, every byte of the message whose value is defined, and the number of
// allocations made must agree with it, and the invariant data offset <=
// message length <= buffer length must hold.
#include <algorithm>

#include "zrofuzz.hpp"

namespace {

using zrofuzz::Environment;
using zrofuzz::Input;

constexpr unsigned kSteps = 64;
// An operation that would give any buffer more than this is skipped: the
// model says exactly how large buffers become before anything runs.
constexpr unsigned kMaxBuffer = 64 * 1024;
constexpr unsigned kRegion = sizeof zrofuzz::g_refused.refusedRead;
constexpr unsigned kIdLength = sizeof(ZRMD::messageId);

// A cache as the documented algorithms see it.
struct Model {
    unsigned bufferLength = 0;
    unsigned messageLength = 0;
    unsigned dataOffset = 0;
    bool automatic = true;
    const char* user = nullptr; // the adopted user buffer
    bool writesRefused = false; // the user buffer lies in refusedWrite
    std::vector<int16_t> bytes; // the message bytes; -1 where no value is defined
    int32_t completion = 0;
    int32_t reason = 0;

    unsigned dataLength() const { return bufferLength == 0 ? 0 : messageLength - dataOffset; }
};

// Where the bytes of a write come from, or a read goes to.
struct Storage {
    const char* pointer = nullptr;
    bool refused = false;          // the pointer check refuses it
    std::vector<int16_t> expected; // a write source's bytes as the model knows them
};

class Run {
public:
    explicit Run(Input& input) : input_(input), environment_(input)
    {
        std::fill(std::begin(zrofuzz::g_refused.refusedRead),
                  std::end(zrofuzz::g_refused.refusedRead), '\x5a');
    }

    void go()
    {
        for (unsigned step = 0; step < kSteps && !input_.done(); ++step) {
            unsigned op = input_.byte() % 15;
            unsigned target = input_.byte() % 3;
            // Only the object operated on changes; apply() compares it.
            apply(op, target);
        }
    }

private:
    ZroCac& cache(unsigned i) { return i < 2 ? static_cast<ZroCac&>(messages_[i]) : plain_; }

    // ---- The model --------------------------------------------------------

    // The next allocation as the model counts them: false when planned to fail.
    bool allocate() { return !environment_.fails(++predicted_); }

    static bool fail(Model& m, int32_t completion, int32_t reason)
    {
        m.completion = completion;
        m.reason = reason;
        return false;
    }

    bool resize(Model& m, unsigned length)
    {
        if (!m.automatic) return fail(m, ZRCC_FAILED, ZRRC_BUFFER_NOT_RESIZABLE);
        if (length == m.bufferLength) return true;
        if (length < m.messageLength) {
            m.completion = ZRCC_WARNING;
            m.reason = ZRRC_DATA_TRUNCATED;
        }
        if (length == 0) {
            m.bufferLength = m.messageLength = m.dataOffset = 0;
            m.bytes.clear();
            return true;
        }
        // Beyond the largest buffer the run allows, the operation is skipped:
        // the simulation stops here and the caller sees tooLarge().
        largest_ = std::max(largest_, length);
        if (tooLarge()) return false;
        if (!allocate()) return fail(m, ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        const unsigned keep = std::min(m.messageLength, length);
        m.dataOffset = m.bufferLength != 0 ? std::min(m.dataOffset, length) : 0;
        m.bufferLength = length;
        m.messageLength = keep;
        m.bytes.resize(keep);
        return true;
    }

    bool tooLarge() const { return largest_ > kMaxBuffer; }

    bool grow(Model& m, unsigned length)
    {
        if (length <= m.bufferLength - m.dataOffset) return true;
        if (!m.automatic) return fail(m, ZRCC_FAILED, ZRRC_INSUFFICIENT_BUFFER);
        const unsigned doubled = m.bufferLength * 2u;
        const unsigned needed = m.dataOffset + length;
        const unsigned target = std::max(doubled, needed);
        if (length > target - m.dataOffset) return fail(m, ZRCC_FAILED, ZRRC_STORAGE_NOT_AVAILABLE);
        return resize(m, target);
    }

    bool setMessageLength(Model& m, unsigned length)
    {
        if (length > m.bufferLength && !resize(m, length)) return false;
        m.messageLength = length;
        m.bytes.resize(length, -1);
        m.dataOffset = std::min(m.dataOffset, length);
        return true;
    }

    bool setDataOffset(Model& m, unsigned offset)
    {
        if (offset > m.messageLength && !setMessageLength(m, offset)) return false;
        m.dataOffset = offset;
        return true;
    }

    bool write(Model& m, unsigned length, const Storage& from)
    {
        if (length > m.bufferLength - m.dataOffset && !grow(m, length)) return false;
        if (length == 0) return true;
        if (from.pointer == nullptr) return fail(m, ZRCC_FAILED, ZRRC_NULL_POINTER);
        if (from.refused || (m.writesRefused && environment_.checking()))
            return fail(m, ZRCC_FAILED, ZRRC_BUFFER_ERROR);
        m.bytes.resize(std::max<std::size_t>(m.bytes.size(), m.dataOffset + length), -1);
        std::copy(from.expected.begin(), from.expected.begin() + length,
                  m.bytes.begin() + m.dataOffset);
        m.dataOffset += length;
        m.messageLength = std::max(m.messageLength, m.dataOffset);
        return true;
    }

    bool read(Model& m, unsigned length, const Storage& to, std::vector<int16_t>& expected)
    {
        if (length > m.dataLength()) return fail(m, ZRCC_FAILED, ZRRC_INSUFFICIENT_DATA);
        if (length == 0) return true;
        if (to.pointer == nullptr) return fail(m, ZRCC_FAILED, ZRRC_NULL_POINTER);
        if (to.refused) return fail(m, ZRCC_FAILED, ZRRC_BUFFER_ERROR);
        expected.assign(m.bytes.begin() + m.dataOffset, m.bytes.begin() + m.dataOffset + length);
        m.dataOffset += length;
        return true;
    }

    bool useBuffer(Model& m, const char* buffer, unsigned length, bool full, bool readRefused,
                   bool writesRefused)
    {
        if (length == 0) {
            if (!m.automatic) {
                m.bufferLength = 0;
                m.automatic = true;
                m.user = nullptr;
                m.writesRefused = false;
            }
            m.messageLength = m.dataOffset = 0;
            m.bytes.clear();
            return true;
        }
        if (buffer == nullptr) return fail(m, ZRCC_FAILED, ZRRC_NULL_POINTER);
        if (readRefused) return fail(m, ZRCC_FAILED, ZRRC_BUFFER_ERROR);
        m.bufferLength = length;
        m.automatic = false;
        m.user = buffer;
        m.writesRefused = writesRefused;
        m.messageLength = m.dataOffset = 0;
        m.bytes.clear();
        if (full) {
            m.messageLength = length;
            m.bytes.assign(buffer, buffer + length);
        }
        return true;
    }

    // ZroCac::operator=, `m` from `source` (a different cache).
    void assign(Model& m, const Model& source)
    {
        m.completion = source.completion;
        m.reason = source.reason;
        const unsigned total = source.messageLength;
        if (m.bufferLength < total && m.automatic) resize(m, total);
        if (m.bufferLength < total) {
            m.completion = ZRCC_WARNING;
            m.reason = ZRRC_DATA_TRUNCATED;
        }
        // Both buffers exist whenever something is copied: a cache with a
        // message has a buffer.
        const unsigned copied = std::min(m.bufferLength, total);
        m.bytes.assign(source.bytes.begin(), source.bytes.begin() + copied);
        m.messageLength = copied;
        m.dataOffset = std::min(m.dataOffset, copied);
        setDataOffset(m, source.dataOffset);
    }

    // ZroMsg::operator=: the most severe of the source's codes and those of
    // the cache copy (the tracker copy cannot fail in a message).
    void assignMessage(Model& m, const Model& source)
    {
        const int32_t completion = source.completion;
        const int32_t reason = source.reason;
        assign(m, source);
        if (m.completion <= completion) {
            m.completion = completion;
            m.reason = reason;
        }
    }

    // ---- Choices ------------------------------------------------------------

    unsigned length(const Model& m)
    {
        switch (input_.byte() % 8) {
        case 0:
        case 1: return input_.byte();
        case 2: return input_.u16() & 0x7fffu;
        case 3: return m.bufferLength - m.dataOffset;
        case 4: return m.bufferLength - m.dataOffset + 1;
        case 5: return m.dataLength();
        case 6: return m.dataLength() + 1;
        default: return UINT32_MAX - input_.byte();
        }
    }

    // Heap storage of exactly `length` bytes (one byte for lengths no
    // operation may touch), so that ASan sees every byte past it.
    char* owned(unsigned length)
    {
        heap_.emplace_back(new char[std::max(1u, length <= kMaxBuffer ? length : 1u)]);
        return heap_.back().get();
    }

    Storage source(unsigned length, const ZroCac& cache, const Model& m)
    {
        Storage from;
        unsigned kind = input_.byte() % 8;
        if (kind == 5) return from; // no data
        if (kind == 6 && length <= kRegion) {
            from.pointer = zrofuzz::g_refused.refusedRead;
            from.refused = environment_.checking();
            from.expected.assign(from.pointer, from.pointer + length);
            return from;
        }
        if (kind == 7 && m.bufferLength != 0 && length <= m.messageLength) {
            // Part of the cache's own message, which growth must not lose.
            unsigned at = input_.byte() % (m.messageLength - length + 1);
            from.pointer = cache.bufferPointer() + at;
            from.expected.assign(m.bytes.begin() + at, m.bytes.begin() + at + length);
            return from;
        }
        char* bytes = owned(length);
        if (length <= kMaxBuffer) {
            std::vector<char> given = input_.bytes(length);
            std::fill(bytes, bytes + length, '\x3c');
            std::copy(given.begin(), given.end(), bytes);
            from.expected.assign(bytes, bytes + length);
        }
        from.pointer = bytes;
        return from;
    }

    Storage destination(unsigned length)
    {
        Storage to;
        unsigned kind = input_.byte() % 8;
        if (kind == 6) return to; // no destination
        if (kind == 7 && environment_.checking() && length <= kRegion) {
            to.pointer = zrofuzz::g_refused.refusedWrite;
            to.refused = true;
            return to;
        }
        to.pointer = owned(length);
        return to;
    }

    // ---- One operation --------------------------------------------------------

    void apply(unsigned op, unsigned t)
    {
        ZroCac& c = cache(t);
        Model next = models_[t];
        predicted_ = zroi_test_allocation_count();
        largest_ = 0;
        bool expected = true;
        unsigned char result = 1;
        bool countAllocations = true;

        switch (op) {
        case 0: { // write
            unsigned n = length(next);
            Storage from = source(n, c, next);
            expected = write(next, n, from);
            if (tooLarge()) return;
            result = c.write(n, from.pointer);
            break;
        }
        case 1: { // read
            unsigned n = length(next);
            Storage to = destination(n);
            std::vector<int16_t> bytes;
            expected = read(next, n, to, bytes);
            char* pointer = const_cast<char*>(to.pointer);
            result = c.read(n, pointer);
            ZROFUZZ_CHECK(pointer == to.pointer); // the caller's pointer is not moved
            if (result == 1)
                for (unsigned i = 0; i < bytes.size(); ++i)
                    ZROFUZZ_CHECK(bytes[i] < 0 || to.pointer[i] == static_cast<char>(bytes[i]));
            break;
        }
        case 2: { // moreBytes
            unsigned n = length(next);
            expected = grow(next, n);
            if (tooLarge()) return;
            result = c.moreBytes(n);
            if (result == 1) ZROFUZZ_CHECK(c.bufferLength() - c.dataOffset() >= n);
            break;
        }
        case 3: { // resizeBuffer
            unsigned n = length(next);
            expected = resize(next, n);
            if (tooLarge()) return;
            result = c.resizeBuffer(n);
            break;
        }
        case 4: { // setDataOffset
            unsigned n = length(next);
            expected = setDataOffset(next, n);
            if (tooLarge()) return;
            result = c.setDataOffset(n);
            break;
        }
        case 5: { // setMessageLength
            unsigned n = length(next);
            expected = setMessageLength(next, n);
            if (tooLarge()) return;
            result = c.setMessageLength(n);
            break;
        }
        case 6: // clearMessage
            c.clearMessage();
            next.messageLength = next.dataOffset = 0;
            next.bytes.clear();
            break;
        case 7:
        case 8: { // useEmptyBuffer, useFullBuffer
            bool full = op == 8;
            unsigned n = input_.byte() % 4 == 0 ? 0 : input_.u16() % 8192;
            const char* buffer = nullptr;
            bool readRefused = false;
            bool writesRefused = false;
            unsigned kind = input_.byte() % 8;
            if (kind == 6 && environment_.checking() && n <= kRegion) {
                buffer = zrofuzz::g_refused.refusedRead;
                readRefused = true;
            } else if (kind == 7 && n <= kRegion - writeUsed_) {
                // A part of refusedWrite no other cache uses: writes into it are refused.
                char* slice = zrofuzz::g_refused.refusedWrite + writeUsed_;
                writeUsed_ += n;
                std::vector<char> given = input_.bytes(n);
                std::fill(slice, slice + n, '\x77');
                std::copy(given.begin(), given.end(), slice);
                buffer = slice;
                writesRefused = true;
            } else if (kind != 5) {
                char* fresh = owned(n);
                std::vector<char> given = input_.bytes(n);
                std::fill(fresh, fresh + n, '\x66');
                std::copy(given.begin(), given.end(), fresh);
                buffer = fresh;
            }
            expected = useBuffer(next, buffer, n, full, readRefused, writesRefused);
            result = full ? c.useFullBuffer(buffer, n) : c.useEmptyBuffer(buffer, n);
            if (result == 1 && n != 0) ZROFUZZ_CHECK(c.bufferPointer() == buffer);
            break;
        }
        case 9: { // assignment, also of an object to itself
            unsigned s = input_.byte() % 3;
            bool asMessages = t < 2 && s < 2 && input_.byte() % 2 == 0;
            if (s != t) {
                if (asMessages) {
                    assignMessage(next, models_[s]);
                    countAllocations = false; // the tracker copy makes binaries
                } else {
                    assign(next, models_[s]);
                }
            }
            if (tooLarge()) return;
            if (asMessages) {
                messages_[t] = messages_[s];
                if (s != t)
                    ZROFUZZ_CHECK(std::memcmp(&messages_[t].descriptor(),
                                              &messages_[s].descriptor(), sizeof(ZRMD)) == 0);
            } else {
                c = cache(s);
            }
            break;
        }
        case 10: { // copy construction, checked and dropped
            Model copy;
            if (t < 2) {
                assignMessage(copy, models_[t]);
                if (tooLarge()) return;
                ZroMsg made(messages_[t]);
                check(made, copy, 1, 1);
                ZROFUZZ_CHECK(
                    std::memcmp(&made.descriptor(), &messages_[t].descriptor(), sizeof(ZRMD)) == 0);
                countAllocations = false;
            } else {
                assign(copy, models_[t]);
                if (tooLarge()) return;
                ZroCac made(plain_);
                check(made, copy, 1, 1);
            }
            break;
        }
        case 11: { // plan allocation failures
            uint8_t plan = input_.byte();
            environment_.planAllocationFailure(plan % 8, (plan & 0x80) != 0);
            predicted_ = zroi_test_allocation_count();
            break;
        }
        case 12: // clearErrorCodes
            c.clearErrorCodes();
            next.completion = next.reason = 0;
            break;
        case 13: { // a tracker setter of a message, through the shared codes
            if (t == 2) return;
            unsigned n = input_.byte() % 4 == 0 ? kIdLength : input_.byte() % 40;
            std::vector<char> id = input_.bytes(n);
            id.resize(n, '\x11');
            ZroBin value(id.data(), n);
            if (value.reasonCode() != 0) return; // no storage for the binary itself
            predicted_ = zroi_test_allocation_count();
            ZRMD before = messages_[t].descriptor();
            expected = n == 0 || n == kIdLength;
            if (!expected) {
                next.completion = ZRCC_FAILED;
                next.reason = ZRRC_BINARY_DATA_LENGTH_ERROR;
            }
            result = messages_[t].setMessageId(value);
            const unsigned char* now = messages_[t].descriptor().messageId;
            if (!expected)
                ZROFUZZ_CHECK(std::memcmp(now, before.messageId, kIdLength) == 0);
            else if (n == 0)
                ZROFUZZ_CHECK(
                    std::all_of(now, now + kIdLength, [](unsigned char b) { return b == 0; }));
            else
                ZROFUZZ_CHECK(std::memcmp(now, id.data(), kIdLength) == 0);
            break;
        }
        default: { // the getters of the derived values agree (checked in compare)
            ZroBin id = messages_[t % 2].messageId();
            countAllocations = false;
            ZROFUZZ_CHECK(id.dataLength() == kIdLength || zrofuzz::isStorageFailure(id));
            if (id.dataLength() == kIdLength)
                ZROFUZZ_CHECK(std::memcmp(id.dataPointer(), messages_[t % 2].descriptor().messageId,
                                          kIdLength) == 0);
            return;
        }
        }

        check(c, next, result, expected ? 1 : 0);
        if (countAllocations) ZROFUZZ_CHECK(zroi_test_allocation_count() == predicted_);
        models_[t] = next;
    }

    static void check(const ZroCac& c, const Model& m, unsigned char result, unsigned char expected)
    {
        ZROFUZZ_CHECK(result == expected);
        zrofuzz::checkCache(c);
        ZROFUZZ_CHECK(c.completionCode() == m.completion);
        ZROFUZZ_CHECK(c.reasonCode() == m.reason);
        ZROFUZZ_CHECK(c.bufferLength() == m.bufferLength);
        ZROFUZZ_CHECK(c.messageLength() == m.messageLength);
        ZROFUZZ_CHECK(c.dataOffset() == m.dataOffset);
        ZROFUZZ_CHECK((c.automaticBuffer() != 0) == m.automatic);
        if (!m.automatic) ZROFUZZ_CHECK(c.bufferPointer() == m.user);
        ZROFUZZ_CHECK(m.bytes.size() == m.messageLength);
        for (unsigned i = 0; i < m.messageLength; ++i)
            ZROFUZZ_CHECK(m.bytes[i] < 0 || c.bufferPointer()[i] == static_cast<char>(m.bytes[i]));
    }

    Input& input_;
    Environment environment_;
    // Storage the caches may point at outlives them: declared first.
    std::vector<std::unique_ptr<char[]>> heap_;
    unsigned writeUsed_ = 0;
    ZroMsg messages_[2];
    ZroCac plain_;
    Model models_[3];
    unsigned long predicted_ = 0;
    unsigned largest_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    Input input(data, size);
    Run run(input);
    run.go();
    return 0;
}
