// zroi: every public header of the library.
#ifndef ZROI_ZROI_HPP
#define ZROI_ZROI_HPP

#include "zroi/zrobin.hpp"
#include "zroi/zrochl.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zroitm.hpp"
#include "zroi/zrosem.hpp"
#include "zroi/zrostr.hpp"
#include "zroi/zrotrc.hpp"

#endif // ZROI_ZROI_HPP
