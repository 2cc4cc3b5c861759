// The 32-bit layout of the records: compiled with -m32 (syntax only is
// enough). zrodefs.h pins every offset for the pointer width it is compiled
// with; this unit makes sure that the width is 4 bytes and that the channel
// definition then has its full 1840-byte layout.
#include <cstddef>
#include <cstdint>

#include "zroi/zrodefs.h"
#include "zroi/zrofields.hpp"

#if UINTPTR_MAX != 0xFFFFFFFFu
#error "compile this file for a 32-bit target (-m32)"
#endif

static_assert(sizeof(void *) == 4);
static_assert(sizeof(ZRCD) == 1840 && ZRCD_LENGTH == 1840);
static_assert(offsetof(ZRCD, sendExitNameList) == 1524 &&
              offsetof(ZRCD, receiveExitDataList) == 1536 &&
              offsetof(ZRCD, sslPeerNamePointer) == 1680 && offsetof(ZRCD, word1836) == 1836);

// The records without pointers have the same size on every target.
static_assert(sizeof(ZRMD) == 364 && sizeof(ZRDLH) == 172 && sizeof(ZRKIH) == 180 &&
              sizeof(ZRRIH) == 84 && sizeof(ZRTM) == 684 && sizeof(ZRTMC2) == 732 &&
              sizeof(ZRRMH) == 108 && sizeof(ZRWIH) == 120 && sizeof(ZRGMO) == 100);

// The field tables check themselves against these layouts when compiled; with
// 4-byte pointers the channel definition's table has 4-byte pointer fields
// at the record's own offsets and ends exactly at 1840.
constexpr zroi::FieldTable kChannel = zroi::fields<ZRCD>();
static_assert(kChannel.recordLength() == 1840);
static_assert(kChannel[kChannel.size() - 1].offset + kChannel[kChannel.size() - 1].width == 1840);
