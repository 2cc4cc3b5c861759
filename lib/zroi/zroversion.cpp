// zroi_version: the version this library was built as.
#include "zroi/zroversion.h"

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zroversion")

extern "C" const char* zroi_version(void) { return ZROI_VERSION_STRING; }
