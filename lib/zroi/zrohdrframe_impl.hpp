// The operations of ZroHdrFrame, compiled by each header class's source for
// its own class:
//
//     #include "zrohdrframe_impl.hpp"
//     ZROI_HEADER_FRAME(ZroWih, ZRWIH, kFacts);  // kFacts: the class's ZroItemFacts
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

} // namespace zrohdrframe

template <class Header, class Record>
unsigned char ZroHdrFrame<Header, Record>::copyOut(ZroMsg& message)
{
    return ZroProtocol::putRecordInFront(static_cast<Header&>(*this), message, mutableRecord(),
                                         facts().formatName);
}

template <class Header, class Record>
unsigned char ZroHdrFrame<Header, Record>::pasteIn(ZroMsg& message)
{
    const auto take = [this, &message] {
        return ZroProtocol::takeRecord(static_cast<Header&>(*this), message, mutableRecord(),
                                       facts());
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

// The frame of one header class: its facts, and every operation compiled
// here, exported as the class's own.
#define ZROI_HEADER_FRAME(Header, Record, itemFacts)                                        \
    static const ZroItemFacts& zroHeaderFacts(const Header*) noexcept { return itemFacts; } \
    template class ZroHdrFrame<Header, Record>

#endif // ZROI_LIB_ZROHDRFRAME_IMPL_HPP
