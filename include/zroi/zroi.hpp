// zroi: every public header of the library.
#ifndef ZROI_ZROI_HPP
#define ZROI_ZROI_HPP

#include "zroi/zrobin.hpp"
#include "zroi/zrocac.hpp"
#include "zroi/zrochl.hpp"
#include "zroi/zrocnv.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zrodlh.hpp"
#include "zroi/zroerr.hpp"
#include "zroi/zrofields.hpp"
#include "zroi/zrogmo.hpp"
#include "zroi/zrogmo2.hpp"
#include "zroi/zrohdr.hpp"
#include "zroi/zroitm.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zromtr.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrosem.hpp"
#include "zroi/zrostr.hpp"
#include "zroi/zrotrc.hpp"
#include "zroi/zrotrg.hpp"
#include "zroi/zroversion.h"
#include "zroi/zrowih.hpp"

#endif // ZROI_ZROI_HPP
