// The operations of ZroHdrFrame, compiled by each header class's source for
// its own class:
//
//     #include "zrohdrframe_impl.hpp"
//     ZROI_HEADER_FRAME(ZroWih, ZRWIH, ZRFMT_WORK_INFO_HEADER, FN_PASTE_IN, false);
//
// and, for a class that holds nothing but its record,
//
//     ZROI_HEADER_RECORD_ONLY(ZroWih, kDefaultRecord)
#ifndef ZROI_LIB_ZROHDRFRAME_IMPL_HPP
#define ZROI_LIB_ZROHDRFRAME_IMPL_HPP

#include <type_traits>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zroi/zrohdrframe.hpp"
#include "zroi/zromsg.hpp"
#include "zroproto.hpp"

namespace zrohdrframe {

/// True when the record carries the header flags.
template <class Record, class = void> struct HasFlags : std::false_type {
};
template <class Record>
struct HasFlags<Record, std::void_t<decltype(Record::headerFlags)>> : std::true_type {
};

/// Sets every character of each field to `c`, when compiling too.
template <class... Fields> constexpr void fill(char c, Fields&... fields) noexcept
{
    (..., [c](auto& field) {
        for (char& x : field) x = c;
    }(fields));
}

/// Copies the characters of `text`, a literal as wide as `field`, into it.
template <std::size_t N> constexpr void put(char (&field)[N], const char (&text)[N + 1]) noexcept
{
    for (std::size_t i = 0; i < N; ++i) field[i] = text[i];
}

/// True when the record carries its structure length.
template <class Record, class = void> struct HasLength : std::false_type {
};
template <class Record>
struct HasLength<Record, std::void_t<decltype(Record::strucLength)>> : std::true_type {
};

/// A header's record as its class starts it: the structure id `id`,
/// version `version`, structure length `length` (where it has one),
/// encoding 546, the format and each of the `blank` fields all blanks and
/// every other byte 0.
template <class Record, class... Fields>
constexpr Record startRecord(const char (&id)[sizeof Record::strucId + 1], int32_t version,
                             int32_t length = 0, Fields Record::*... blank) noexcept
{
    Record record{};
    put(record.strucId, id);
    record.version = version;
    if constexpr (HasLength<Record>::value) record.strucLength = length;
    record.encoding = ZRENC_NATIVE;
    fill(' ', record.format, (record.*blank)...);
    return record;
}

} // namespace zrohdrframe

template <class Header, class Record>
unsigned char ZroHdrFrame<Header, Record>::copyOut(ZroMsg& message)
{
    return ZroProtocol::putRecordInFront(*this, message, mutableRecord(), facts().formatName,
                                         ownDescription());
}

template <class Header, class Record>
unsigned char ZroHdrFrame<Header, Record>::pasteIn(ZroMsg& message)
{
    const auto take = [this, &message] {
        return ZroProtocol::takeRecord(*this, message, mutableRecord(), facts(), ownDescription());
    };
    // The frame's entry and exit have nothing to write while nobody listens.
    if (!facts().traced || zrecs_quiet()) return take();
    ZroFrame frame(*this, facts().function);
    return take();
}

template <class Header, class Record> ZroStr ZroHdrFrame<Header, Record>::format() const
{
    return zrofield::textKept(record().format, sizeof record().format);
}

template <class Header, class Record> void ZroHdrFrame<Header, Record>::setFormat(const char* name)
{
    zrofield::setText(mutableRecord().format, sizeof record().format, name, ' ');
}

template <class Header, class Record> int32_t ZroHdrFrame<Header, Record>::headerFlags() const
{
    if constexpr (zrohdrframe::HasFlags<Record>::value)
        return record().headerFlags;
    else
        return 0;
}

template <class Header, class Record>
void ZroHdrFrame<Header, Record>::setHeaderFlags([[maybe_unused]] int32_t value)
{
    if constexpr (zrohdrframe::HasFlags<Record>::value) mutableRecord().headerFlags = value;
}

template <class Header, class Record> char* ZroHdrFrame<Header, Record>::ownDescription() noexcept
{
    return ZroProtocol::own(static_cast<const Header&>(*this), mutableRecord());
}

template <class Header, class Record>
unsigned char ZroHdrFrame<Header, Record>::setBinaryField(void* field, unsigned width,
                                                          const ZroBin& value, unsigned function,
                                                          bool traced, const char* text)
{
    const auto set = [&]() -> unsigned char {
        if (zrofield::setBinary(field, width, value)) return 1;
        return fail(function, text, ZRCC_FAILED, ZRRC_BINARY_DATA_LENGTH_ERROR);
    };
    if (!traced) return set();
    ZroFrame frame(*this, function);
    return set();
}

template <class Header, class Record>
const ZroItemFacts& ZroHdrFrame<Header, Record>::facts() noexcept
{
    return zroHeaderFacts(static_cast<const Header*>(nullptr));
}

// The frame of one header class: its facts (its record's structure id and
// long name, its format name, its pasteIn function number and whether that
// is traced), every operation compiled here, exported as the class's own,
// and the class's destructor, which has nothing to do beyond the frame's.
#define ZROI_HEADER_FRAME(Header, Record, formatName, function, traced)                        \
    static const ZroItemFacts& zroHeaderFacts(const Header*) noexcept                          \
    {                                                                                          \
        static constexpr ZroItemFacts facts =                                                  \
            zroItemFacts<Record##_LONG_NAME>(Record##_STRUC_ID, formatName, function, traced); \
        return facts;                                                                          \
    }                                                                                          \
    template class ZroHdrFrame<Header, Record>;                                                \
    Header::~Header() = default

// The constructor and assignment of a header class that holds nothing but
// its record (and whose record needs no storage of its own): the record
// starts as `defaults`, assignment is the frame's.
#define ZROI_HEADER_RECORD_ONLY(Header, defaults)        \
    Header::Header() noexcept : ZroHdrFrame(defaults) {} \
    void Header::operator=(const Header& other) noexcept { ZroHdrFrame::operator=(other); }

#endif // ZROI_LIB_ZROHDRFRAME_IMPL_HPP
