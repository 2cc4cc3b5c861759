// ZroCnv: byte order and character set conversion of a message's data.
#include "zroi/zrocnv.hpp"

#include <iconv.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>

#include "zroalloc.hpp"
#include "zroframe.hpp"
#include "zroi/zrofields.hpp"
#include "zroi/zromsg.hpp"

ZROI_IDENT("lib/zroi/zrocnv")

namespace {

constexpr unsigned FN_CONVERT = 100;

// A failure text of the converter, whole, as a literal.
#define CONVERT_ERROR(what) "ZroConverter::convert (error): " what

// --- Character sets ------------------------------------------------------------

struct SetName {
    int32_t ccsid;
    const char* iconvName; ///< nullptr: UTF-8, which needs no table
};

constexpr SetName kSetNames[] = {
    {0, "ISO-8859-1"}, {819, "ISO-8859-1"}, {1208, nullptr},   {437, "IBM437"},   {850, "IBM850"},
    {1252, "CP1252"},  {37, "IBM037"},      {273, "IBM273"},   {285, "IBM285"},   {297, "IBM297"},
    {500, "IBM500"},   {1047, "IBM1047"},   {1140, "IBM1140"}, {1141, "IBM1141"}, {1148, "IBM1148"},
};
constexpr int kSetCount = static_cast<int>(sizeof kSetNames / sizeof kSetNames[0]);
constexpr int kUtf8 = 2; ///< index of 1208

int setIndex(int32_t ccsid) noexcept
{
    for (int i = 0; i < kSetCount; ++i)
        if (kSetNames[i].ccsid == ccsid) return i;
    return -1;
}

/// A single-byte set: the code point of each byte (-1: the byte has none),
/// and the bytes sorted by code point for the way back from UTF-8.
struct SetTable {
    bool available = false;
    int32_t codePoint[256];
    uint32_t byCodePoint[256]; ///< code point << 8 | byte, sorted; `mapped` of them
    int mapped = 0;
};

SetTable g_sets[kSetCount];
std::atomic<bool> g_setBuilt[kSetCount];

/// The tables are built on first use, once, under one lock; a thread that
/// finds a table built reads it without the lock. (std::call_once would
/// leave template symbols of the standard library among the exports.)
pthread_mutex_t g_buildLock = PTHREAD_MUTEX_INITIALIZER;

template <class Build> void buildOnce(std::atomic<bool>& built, Build build) noexcept
{
    if (built.load(std::memory_order_acquire)) return;
    pthread_mutex_lock(&g_buildLock);
    if (!built.load(std::memory_order_relaxed)) {
        build();
        built.store(true, std::memory_order_release);
    }
    pthread_mutex_unlock(&g_buildLock);
}

/// One iconv call per byte value, once per set and process.
void buildSet(int index) noexcept
{
    SetTable& set = g_sets[index];
    if (kSetNames[index].iconvName == nullptr) {
        set.available = true;
        return;
    }
    iconv_t cd = iconv_open("UTF-32LE", kSetNames[index].iconvName);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[8] = {};
        char* inp = &in;
        char* outp = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        const uint32_t c = out[0] | out[1] << 8 | static_cast<uint32_t>(out[2]) << 16 |
                           static_cast<uint32_t>(out[3]) << 24;
        // A byte stands for one character below U+10000 or for none: the way
        // into UTF-8 counts on three bytes at the most for each.
        if (r == static_cast<std::size_t>(-1) || inLeft != 0 || outLeft != 4 || c > 0xFFFF) {
            set.codePoint[b] = -1;
            continue;
        }
        set.codePoint[b] = static_cast<int32_t>(c);
        set.byCodePoint[set.mapped++] = c << 8 | static_cast<uint32_t>(b);
    }
    iconv_close(cd);
    std::sort(set.byCodePoint, set.byCodePoint + set.mapped);
    set.available = true;
}

const SetTable* setTable(int index) noexcept
{
    buildOnce(g_setBuilt[index], [index] { buildSet(index); });
    return g_sets[index].available ? &g_sets[index] : nullptr;
}

/// From one single-byte set to another: the target byte of each source
/// byte, and whether it has no place there (its `to` is then 0).
struct PairTable {
    unsigned char to[256];
    unsigned char hole[256];
    bool total; ///< no holes: every byte has its place
};

PairTable g_pairs[kSetCount][kSetCount];
std::atomic<bool> g_pairBuilt[kSetCount][kSetCount];

void buildPair(int from, int to) noexcept
{
    const SetTable& a = g_sets[from];
    const SetTable& b = g_sets[to];
    PairTable& pair = g_pairs[from][to];
    pair.total = true;
    for (int c = 0; c < 256; ++c) {
        pair.to[c] = 0;
        pair.hole[c] = 1;
        if (a.codePoint[c] >= 0) {
            const uint32_t key = static_cast<uint32_t>(a.codePoint[c]) << 8;
            const uint32_t* hit = std::lower_bound(b.byCodePoint, b.byCodePoint + b.mapped, key);
            if (hit != b.byCodePoint + b.mapped && (*hit >> 8) == (key >> 8)) {
                pair.to[c] = static_cast<unsigned char>(*hit & 0xFF);
                pair.hole[c] = 0;
            }
        }
        if (pair.hole[c]) pair.total = false;
    }
}

/// Both sets must have their tables.
const PairTable& pairTable(int from, int to) noexcept
{
    buildOnce(g_pairBuilt[from][to], [from, to] { buildPair(from, to); });
    return g_pairs[from][to];
}

/// Same characters under two ids (0 and 819 are one set).
bool sameSet(int from, int to) noexcept
{
    return from == to ||
           (kSetNames[from].iconvName != nullptr && kSetNames[to].iconvName != nullptr &&
            std::strcmp(kSetNames[from].iconvName, kSetNames[to].iconvName) == 0);
}

// --- Records -------------------------------------------------------------------

/// How long a record is in the message.
enum class Length : uint8_t { fixed, byVersion, byStrucLength };

struct Record {
    const char* format;
    const char* strucId;
    zroi::FieldTable fields; ///< every field, converted by its kind
    Length length;
    uint32_t fixedLength;
    uint32_t encodingAt; ///< 0: a body, nothing behind it
    uint32_t ccsidAt;
    uint32_t formatAt;
};

const Record kRecords[] = {
    {ZRFMT_DEAD_LETTER_HEADER, ZRDLH_STRUC_ID, zroi::fields<ZRDLH>(), Length::fixed, ZRDLH_LENGTH,
     offsetof(ZRDLH, encoding), offsetof(ZRDLH, codedCharSetId), offsetof(ZRDLH, format)},
    {ZRFMT_KOTA_BRIDGE_HEADER, ZRKIH_STRUC_ID, zroi::fields<ZRKIH>(), Length::byVersion, 0,
     offsetof(ZRKIH, encoding), offsetof(ZRKIH, codedCharSetId), offsetof(ZRKIH, format)},
    {ZRFMT_RPX_BRIDGE_HEADER, ZRRIH_STRUC_ID, zroi::fields<ZRRIH>(), Length::fixed, ZRRIH_LENGTH,
     offsetof(ZRRIH, encoding), offsetof(ZRRIH, codedCharSetId), offsetof(ZRRIH, format)},
    {ZRFMT_REFERENCE_HEADER, ZRRMH_STRUC_ID, zroi::fields<ZRRMH>(), Length::byStrucLength,
     ZRRMH_FIXED_LENGTH, offsetof(ZRRMH, encoding), offsetof(ZRRMH, codedCharSetId),
     offsetof(ZRRMH, format)},
    {ZRFMT_WORK_INFO_HEADER, ZRWIH_STRUC_ID, zroi::fields<ZRWIH>(), Length::fixed, ZRWIH_LENGTH,
     offsetof(ZRWIH, encoding), offsetof(ZRWIH, codedCharSetId), offsetof(ZRWIH, format)},
    {ZRFMT_TRIGGER, ZRTM_STRUC_ID, zroi::fields<ZRTM>(), Length::fixed, ZRTM_LENGTH, 0, 0, 0},
};

const Record* recordOf(const char* format) noexcept
{
    for (const Record& r : kRecords)
        if (std::memcmp(r.format, format, ZRFMT_WIDTH) == 0) return &r;
    return nullptr;
}

// --- Byte order ----------------------------------------------------------------

/// The byte order of an encoding: 1 normal, 2 reversed, 0 neither.
int byteOrder(int32_t encoding) noexcept
{
    const int digit = encoding & 0xF;
    return digit == 1 || digit == 2 ? digit : 0;
}

uint32_t load(const unsigned char* p, bool normal) noexcept
{
    return normal ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                  : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

void store(unsigned char* p, uint32_t v, bool normal) noexcept
{
    for (int i = 0; i < 4; ++i) p[normal ? 3 - i : i] = static_cast<unsigned char>(v >> (8 * i));
}

// --- UTF-8 ---------------------------------------------------------------------

/// Writes `c`, a code point below U+10000, as UTF-8; gives the end.
unsigned char* putUtf8(unsigned char* out, uint32_t c) noexcept
{
    if (c < 0x80) {
        *out++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<unsigned char>(0xC0 | c >> 6);
        *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<unsigned char>(0xE0 | c >> 12);
        *out++ = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    return out;
}

/// The code point at `p` (`left` bytes), or -1 for a sequence that is not
/// UTF-8 (overlong forms and surrogates included); `used` its bytes.
int32_t getUtf8(const unsigned char* p, std::size_t left, std::size_t& used) noexcept
{
    const unsigned char b = p[0];
    uint32_t c;
    uint32_t least;
    if (b < 0x80) {
        used = 1;
        return b;
    } else if (b >= 0xC2 && b < 0xE0) {
        used = 2, c = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b < 0xF0) {
        used = 3, c = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b < 0xF5) {
        used = 4, c = b & 0x07, least = 0x10000;
    } else {
        return -1;
    }
    if (left < used) return -1;
    for (std::size_t i = 1; i < used; ++i) {
        if ((p[i] & 0xC0) != 0x80) return -1;
        c = c << 6 | (p[i] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return -1;
    return static_cast<int32_t>(c);
}

} // namespace

// --- The walk ------------------------------------------------------------------

/// One conversion: reads the message's data, writes the converted data into
/// the converter's scratch storage, and reports the first fault.
struct ZroCnvWalk {
    ZroCnv& cnv;
    const unsigned char* in;
    std::size_t size;
    std::size_t used = 0; ///< bytes of scratch written
    bool targetNormal = false;
    int32_t targetEncoding = 0;
    int32_t targetCcsid = 0;
    int targetSet = 0;
    bool deferred = false; ///< the rest from deferredAt on is converted in place
    std::size_t deferredAt = 0;
    const PairTable* deferredMap = nullptr;

    unsigned char* out() { return reinterpret_cast<unsigned char*>(cnv.scratch_); }

    unsigned char fail(const char* text, int32_t reason)
    {
        return cnv.fail(FN_CONVERT, text, ZRCC_FAILED, reason);
    }

    /// Room for `more` bytes after `used`.
    bool reserve(std::size_t more)
    {
        const std::size_t need = used + more;
        if (need <= cnv.capacity_) return true;
        if (need > 0xFFFFFFFFu) return false;
        std::size_t grown = std::max<std::size_t>(need, cnv.capacity_ * 2);
        if (grown > 0xFFFFFFFFu) grown = need;
        auto* storage = static_cast<char*>(zroAllocate(grown));
        if (storage == nullptr) return false;
        if (used != 0) std::memcpy(storage, cnv.scratch_, used);
        zroRelease(cnv.scratch_);
        cnv.scratch_ = storage;
        cnv.capacity_ = grown;
        return true;
    }

    unsigned char noStorage()
    {
        return fail(CONVERT_ERROR("storage not available"), ZRRC_STORAGE_NOT_AVAILABLE);
    }

    /// The table from set `from` to set `to`, or nullptr when the two are
    /// one set and bytes are copied.
    static const PairTable* mapping(int from, int to)
    {
        return sameSet(from, to) ? nullptr : &pairTable(from, to);
    }

    /// Every byte through a table without holes, eight at a time (`dst` may
    /// be `src`).
    static void mapTotal(const unsigned char* src, unsigned char* dst, std::size_t n,
                         const unsigned char* to)
    {
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t word;
            std::memcpy(&word, src + i, 8);
            uint64_t mapped = 0;
            for (unsigned k = 0; k < 64; k += 8) mapped |= uint64_t(to[(word >> k) & 0xFF]) << k;
            std::memcpy(dst + i, &mapped, 8);
        }
        for (; i < n; ++i) dst[i] = to[src[i]];
    }

    /// `n` bytes of single-byte text through `map` (see mapping()); false
    /// when one of them has no place in the target set.
    static bool mapBytes(const unsigned char* src, unsigned char* dst, std::size_t n,
                         const PairTable* map)
    {
        if (map == nullptr) {
            if (n != 0) std::memcpy(dst, src, n);
            return true;
        }
        if (map->total) {
            mapTotal(src, dst, n, map->to);
            return true;
        }
        unsigned bad = 0;
        for (std::size_t i = 0; i < n; ++i) {
            bad |= map->hole[src[i]];
            dst[i] = map->to[src[i]];
        }
        return bad == 0;
    }

    /// A record's character set: supported and single-byte, or a failure.
    int recordSet(int32_t ccsid, bool& ok)
    {
        const int set = setIndex(ccsid);
        ok = false;
        if (set < 0 || setTable(set) == nullptr)
            return fail(CONVERT_ERROR("unsupported character set"), ZRRC_CONVERT_CCSID_ERROR);
        if (set == kUtf8 || targetSet == kUtf8)
            return fail(CONVERT_ERROR("character set not single-byte for a record"),
                        ZRRC_CONVERT_CCSID_ERROR);
        ok = true;
        return set;
    }

    /// The string body: all the rest, as text.
    unsigned char text(std::size_t at, int32_t ccsid)
    {
        const int from = setIndex(ccsid);
        if (from < 0 || setTable(from) == nullptr)
            return fail(CONVERT_ERROR("unsupported character set"), ZRRC_CONVERT_CCSID_ERROR);
        const std::size_t n = size - at;
        if (n == 0) return 1;
        const unsigned char* src = in + at;
        const int to = targetSet;
        if (from != kUtf8 && to != kUtf8) {
            const PairTable* map = mapping(from, to);
            if (map == nullptr || map->total) {
                defer(at, map);
                return 1;
            }
            if (!reserve(n)) return noStorage();
            if (!mapBytes(src, out() + used, n, mapping(from, to))) return badCharacter();
            used += n;
            return 1;
        }
        if (from == kUtf8 && to == kUtf8) {
            // Checked, so that the result is UTF-8 as the target says.
            for (std::size_t i = 0, step = 0; i < n; i += step)
                if (getUtf8(src + i, n - i, step) < 0) return badCharacter();
            if (!reserve(n)) return noStorage();
            std::memcpy(out() + used, src, n);
            used += n;
            return 1;
        }
        if (to == kUtf8) {
            // Characters of these sets lie below U+10000: at most 3 bytes each.
            if (!reserve(3 * n)) return noStorage();
            const SetTable& set = g_sets[from];
            unsigned char* o = out() + used;
            for (std::size_t i = 0; i < n; ++i) {
                const int32_t c = set.codePoint[src[i]];
                if (c < 0) return badCharacter();
                o = putUtf8(o, static_cast<uint32_t>(c));
            }
            used = static_cast<std::size_t>(o - out());
            return 1;
        }
        // From UTF-8 into a single-byte set: never longer.
        if (!reserve(n)) return noStorage();
        const SetTable& set = g_sets[to];
        unsigned char* o = out() + used;
        for (std::size_t i = 0, step = 0; i < n; i += step) {
            const int32_t c = getUtf8(src + i, n - i, step);
            if (c < 0) return badCharacter();
            const uint32_t key = static_cast<uint32_t>(c) << 8;
            const uint32_t* hit =
                std::lower_bound(set.byCodePoint, set.byCodePoint + set.mapped, key);
            if (hit == set.byCodePoint + set.mapped || (*hit >> 8) != static_cast<uint32_t>(c))
                return badCharacter();
            *o++ = static_cast<unsigned char>(*hit & 0xFF);
        }
        used = static_cast<std::size_t>(o - out());
        return 1;
    }

    unsigned char badCharacter()
    {
        return fail(CONVERT_ERROR("character not in the target character set"),
                    ZRRC_CONVERT_CHARACTER_ERROR);
    }

    /// The rest from `at` on: converted in place through `map` once all
    /// before it has converted (nothing to do for no map), not in scratch.
    void defer(std::size_t at, const PairTable* map)
    {
        deferred = true;
        deferredAt = at;
        deferredMap = map;
    }

    /// The data's length once converted.
    std::size_t convertedSize() const { return used + (deferred ? size - deferredAt : 0); }

    /// The rest as it stands.
    void copyRest(std::size_t at) { defer(at, nullptr); }

    /// Converts the record at `at`; on success `length` is its length and
    /// `next*` describe the item behind it (for a header).
    unsigned char record(const Record& r, std::size_t at, int32_t encoding, int32_t ccsid,
                         std::size_t& length, int32_t& nextEncoding, int32_t& nextCcsid,
                         char* nextFormat, bool& nextKnown)
    {
        const int order = byteOrder(encoding);
        if (order == 0)
            return fail(CONVERT_ERROR("unsupported encoding"), ZRRC_CONVERT_ENCODING_ERROR);
        const bool normal = order == 1;
        bool ok;
        const int from = recordSet(ccsid, ok);
        if (!ok) return 0;
        const PairTable* toNative = mapping(from, 0); // names are compared in set 0
        const PairTable* toTarget = mapping(from, targetSet);
        const std::size_t left = size - at;
        const unsigned char* src = in + at;

        // The structure id, read in the record's own set.
        unsigned char id[ZRSTRUC_ID_WIDTH];
        if (left < sizeof id || !mapBytes(src, id, sizeof id, toNative) ||
            std::memcmp(id, r.strucId, sizeof id) != 0)
            return fail(CONVERT_ERROR("wrong structure id"), ZRRC_STRUC_ID_ERROR);

        switch (r.length) {
        case Length::fixed: length = r.fixedLength; break;
        case Length::byVersion: {
            if (left < 8) return fail(CONVERT_ERROR("insufficient data"), ZRRC_INSUFFICIENT_DATA);
            const auto version = static_cast<int32_t>(load(src + 4, normal));
            if (version == ZRKIH_VERSION_1)
                length = ZRKIH_LENGTH_1;
            else if (version == ZRKIH_VERSION_2)
                length = ZRKIH_LENGTH_2;
            else
                return fail(CONVERT_ERROR("wrong version"), ZRRC_WRONG_VERSION);
            break;
        }
        case Length::byStrucLength: {
            if (left < r.fixedLength)
                return fail(CONVERT_ERROR("insufficient data"), ZRRC_INSUFFICIENT_DATA);
            const auto strucLength =
                static_cast<int32_t>(load(src + offsetof(ZRRMH, strucLength), normal));
            if (strucLength < ZRRMH_FIXED_LENGTH)
                return fail(CONVERT_ERROR("structure length error"), ZRRC_STRUC_LENGTH_ERROR);
            length = static_cast<uint32_t>(strucLength);
            break;
        }
        }
        if (left < length) return fail(CONVERT_ERROR("insufficient data"), ZRRC_INSUFFICIENT_DATA);

        if (!reserve(length)) return noStorage();
        unsigned char* dst = out() + used;
        for (const zroi::Field& f : r.fields) {
            if (f.offset + f.width > length) continue; // a version-1 KOTA header
            switch (f.kind) {
            case zroi::FieldKind::integer:
                for (uint32_t k = f.offset; k < f.offset + f.width; k += 4)
                    store(dst + k, load(src + k, normal), targetNormal);
                break;
            case zroi::FieldKind::text:
                if (!mapBytes(src + f.offset, dst + f.offset, f.width, toTarget))
                    return badCharacter();
                break;
            case zroi::FieldKind::binary:
            case zroi::FieldKind::pointer: // in no record of a message
                std::memcpy(dst + f.offset, src + f.offset, f.width);
                break;
            }
        }

        if (r.length == Length::byStrucLength) {
            // The variable parts: bytes that no part claims stay as they are.
            std::memcpy(dst + r.fixedLength, src + r.fixedLength, length - r.fixedLength);
            for (unsigned part = 0; part < 4; ++part) {
                const std::size_t at2 = offsetof(ZRRMH, sourceEnvironmentLength) + 8 * part;
                const auto n = static_cast<int32_t>(load(src + at2, normal));
                const auto offset = static_cast<int32_t>(load(src + at2 + 4, normal));
                if (n == 0) continue;
                if (n < 0 || offset < ZRRMH_FIXED_LENGTH ||
                    static_cast<int64_t>(offset) + n > static_cast<int64_t>(length))
                    return fail(CONVERT_ERROR("structure length error"), ZRRC_STRUC_LENGTH_ERROR);
                if (!mapBytes(src + offset, dst + offset, static_cast<std::size_t>(n), toTarget))
                    return badCharacter();
            }
        }

        nextKnown = false;
        if (r.encodingAt != 0) {
            nextEncoding = static_cast<int32_t>(load(src + r.encodingAt, normal));
            nextCcsid = static_cast<int32_t>(load(src + r.ccsidAt, normal));
            nextKnown = mapBytes(src + r.formatAt, reinterpret_cast<unsigned char*>(nextFormat),
                                 ZRFMT_WIDTH, toNative) &&
                        (recordOf(nextFormat) != nullptr ||
                         std::memcmp(nextFormat, ZRFMT_STRING, ZRFMT_WIDTH) == 0 ||
                         std::memcmp(nextFormat, ZRFMT_NONE, ZRFMT_WIDTH) == 0);
            if (nextKnown) {
                // The item behind it will be in the target form.
                store(dst + r.encodingAt, static_cast<uint32_t>(targetEncoding), targetNormal);
                store(dst + r.ccsidAt, static_cast<uint32_t>(targetCcsid), targetNormal);
            }
        }
        used += length;
        return 1;
    }
};

ZroCnv::~ZroCnv() { zroRelease(scratch_); }

unsigned char ZroCnv::encodingSupported(int32_t encoding) noexcept
{
    return byteOrder(encoding) != 0 ? 1 : 0;
}

unsigned char ZroCnv::characterSetSupported(int32_t characterSet) noexcept
{
    const int set = setIndex(characterSet);
    return set >= 0 && setTable(set) != nullptr ? 1 : 0;
}

unsigned char ZroCnv::characterSetSingleByte(int32_t characterSet) noexcept
{
    return characterSetSupported(characterSet) && setIndex(characterSet) != kUtf8 ? 1 : 0;
}

unsigned char ZroCnv::convert(ZroMsg& message, int32_t encoding, int32_t characterSet)
{
    ZroFrame frame(*this, FN_CONVERT);
    ZroCnvWalk walk{*this, reinterpret_cast<const unsigned char*>(message.dataPointer()),
                    message.dataLength()};
    walk.targetEncoding = encoding;
    walk.targetCcsid = characterSet;
    walk.targetNormal = byteOrder(encoding) == 1;
    if (byteOrder(encoding) == 0)
        return walk.fail(CONVERT_ERROR("unsupported encoding"), ZRRC_CONVERT_ENCODING_ERROR);
    walk.targetSet = setIndex(characterSet);
    // Format names are compared in set 0, which every record set maps to.
    if (walk.targetSet < 0 || setTable(walk.targetSet) == nullptr || setTable(0) == nullptr)
        return walk.fail(CONVERT_ERROR("unsupported character set"), ZRRC_CONVERT_CCSID_ERROR);
    if (walk.size != 0 && !checkWritePointer(walk.in, static_cast<unsigned>(walk.size))) return 0;

    // The item at the data offset, as the descriptor describes it.
    int32_t itemEncoding = message.encoding();
    int32_t itemCcsid = message.characterSet();
    char format[ZRFMT_WIDTH];
    std::memcpy(format, message.descriptor().format, ZRFMT_WIDTH);
    std::size_t at = 0;
    bool firstKnown = true;
    bool unknown = false;
    for (bool first = true;; first = false) {
        if (std::memcmp(format, ZRFMT_STRING, ZRFMT_WIDTH) == 0) {
            if (!walk.text(at, itemCcsid)) return 0;
            break;
        }
        if (std::memcmp(format, ZRFMT_NONE, ZRFMT_WIDTH) == 0) {
            walk.copyRest(at);
            break;
        }
        const Record* r = recordOf(format);
        if (r == nullptr) {
            // Left as it was, still described by what stands in front of it.
            walk.copyRest(at);
            firstKnown = !first;
            unknown = true;
            break;
        }
        std::size_t length = 0;
        bool nextKnown = false;
        if (!walk.record(*r, at, itemEncoding, itemCcsid, length, itemEncoding, itemCcsid, format,
                         nextKnown))
            return 0;
        at += length;
        if (r->encodingAt == 0) {
            // A trigger message is a body: what follows it stays as it is.
            walk.copyRest(at);
            break;
        }
        if (!nextKnown) {
            walk.copyRest(at);
            unknown = true;
            break;
        }
    }

    // Everything converted: now the message changes.
    const std::size_t converted = walk.convertedSize();
    if (converted != walk.size) {
        const std::size_t total = message.dataOffset() + converted;
        if (!message.automaticBuffer() && total > message.bufferLength())
            return walk.fail(CONVERT_ERROR("insufficient buffer"), ZRRC_INSUFFICIENT_BUFFER);
        if (total > 0xFFFFFFFFu) return walk.noStorage();
        if (!message.setMessageLength(static_cast<unsigned>(total))) {
            setCodes(message.completionCode(), message.reasonCode());
            return 0;
        }
    }
    auto* data = reinterpret_cast<unsigned char*>(message.dataPointer());
    if (walk.used != 0) std::memcpy(data, scratch_, walk.used);
    if (walk.deferred && walk.deferredMap != nullptr)
        ZroCnvWalk::mapTotal(data + walk.deferredAt, data + walk.deferredAt,
                             walk.size - walk.deferredAt, walk.deferredMap->to);
    if (firstKnown) {
        message.setEncoding(encoding);
        message.setCharacterSet(characterSet);
    }
    if (unknown) {
        ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_CONVERT,
                             "ZroConverter::convert (warning): unknown format");
        setCodes(ZRCC_WARNING, ZRRC_CONVERT_FORMAT_UNKNOWN);
    }
    return 1;
}
