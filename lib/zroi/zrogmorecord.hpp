// What ZroGmo (the 80-byte record) and ZroGmo3 (the 100-byte record) share:
// the record template and the sync point rules of the options field.
#ifndef ZROI_LIB_ZROGMORECORD_HPP
#define ZROI_LIB_ZROGMORECORD_HPP

#include <cstddef>
#include <cstdint>

#include "zroi/zrodefs.h"

namespace zrogmo {

/// The template every new record starts from. A version-2 record is its
/// first 80 bytes. The version field says 1 here and is always overwritten
/// with the class's version supported.
///
/// The template is a constant, laid down when the library is loaded: no
/// construction fills it, so threads constructing their first objects at the
/// same time have nothing to race on and need no "built" mark or barrier.
constexpr ZRGMO makeTemplate()
{
    ZRGMO record{};
    for (std::size_t i = 0; i < ZRSTRUC_ID_WIDTH; ++i) record.strucId[i] = ZRGMO_STRUC_ID[i];
    record.version = ZRGMO_VERSION_1;
    // options, the three words after it, the resolved queue name and the
    // message token are all zero.
    record.word72 = 3;
    for (char& c : record.text76) c = ' ';
    record.word96 = -1;
    return record;
}

constexpr ZRGMO kTemplate = makeTemplate();

/// 1 when `options` holds either participation bit.
constexpr unsigned char participates(int32_t options)
{
    return (options & (ZRGMO_SYNC_POINT | ZRGMO_SYNC_POINT_ALTERNATE)) != 0 ? 1 : 0;
}

/// `options` with participation set (`participate` non-zero) or refused;
/// bits other than the three sync point bits are kept.
constexpr int32_t withParticipation(int32_t options, unsigned char participate)
{
    if (participate != 0)
        return (options | ZRGMO_SYNC_POINT) & ~(ZRGMO_NO_SYNC_POINT | ZRGMO_SYNC_POINT_ALTERNATE);
    return (options | ZRGMO_NO_SYNC_POINT) & ~(ZRGMO_SYNC_POINT | ZRGMO_SYNC_POINT_ALTERNATE);
}

} // namespace zrogmo

#endif // ZROI_LIB_ZROGMORECORD_HPP
