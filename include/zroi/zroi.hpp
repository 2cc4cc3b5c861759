// zroi: every public header of the library.
#ifndef ZROI_ZROI_HPP
#define ZROI_ZROI_HPP

#include "zroi/zrocac.hpp"
#include "zroi/zrodefs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zrotrc.hpp"

#endif // ZROI_ZROI_HPP
