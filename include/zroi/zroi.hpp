// zroi: every public header of the library, layer by layer.
//
// Layers, each built on the ones before it: frame (error state, trace,
// lock, version) -> values (binary, string) -> message (buffer, tracker,
// descriptor, items, header protocol) -> headers (the header frame and one
// class per header, the trigger message) -> options and definitions
// (get-message options, channel definition) -> records as data (field
// tables, conversion).
#ifndef ZROI_ZROI_HPP
#define ZROI_ZROI_HPP

// Frame: the records and codes, the error state every object carries, the
// trace, the lock, the library's version.
#include "zroi/zrodefs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zrosem.hpp"
#include "zroi/zrotrc.hpp"
#include "zroi/zroversion.h"

// Values: the binary value and the counted string.
#include "zroi/zrobin.hpp"
#include "zroi/zrostr.hpp"

// Message: its buffer, its tracker, the message with its descriptor, the
// item and header bases.
#include "zroi/zrocac.hpp"
#include "zroi/zrohdr.hpp"
#include "zroi/zroitm.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zromtr.hpp"

// Headers: the frame they share, one class per header, the trigger message.
#include "zroi/zrodlh.hpp"
#include "zroi/zrohdrframe.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrotrg.hpp"
#include "zroi/zrowih.hpp"

// Options and definitions: get-message options, channel definition.
#include "zroi/zrochl.hpp"
#include "zroi/zrogmo.hpp"
#include "zroi/zrogmo2.hpp"

// Records as data: the field tables, and conversion between byte orders and
// character sets.
#include "zroi/zrocnv.hpp"
#include "zroi/zrofields.hpp"

#endif // ZROI_ZROI_HPP
