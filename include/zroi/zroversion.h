/* zroi's version: the macros of the headers a program is built with, and
 * zroi_version(), the version of the library it runs with.
 *
 * ```cpp
 * if (std::strcmp(zroi_version(), ZROI_VERSION_STRING) != 0)
 *     std::printf("built with zroi %s, runs with %s\n", ZROI_VERSION_STRING, zroi_version());
 * ```
 *
 * The numbers here are the project's version: CMake reads them from this
 * file, so the SONAME's package version (libzroi.so.1.0.0), the Debian
 * packages and zroi.pc all carry them. The major number is the SONAME's.
 * C and C++.
 */
#ifndef ZROI_ZROVERSION_H
#define ZROI_ZROVERSION_H

#include "zroi/zroexport.h"

#define ZROI_VERSION_MAJOR 1
#define ZROI_VERSION_MINOR 0
#define ZROI_VERSION_PATCH 0

#define ZROI_VERSION_TEXT_(n) #n
#define ZROI_VERSION_TEXT(n) ZROI_VERSION_TEXT_(n)
/* "MAJOR.MINOR.PATCH", e.g. "1.0.0". */
#define ZROI_VERSION_STRING               \
    ZROI_VERSION_TEXT(ZROI_VERSION_MAJOR) \
    "." ZROI_VERSION_TEXT(ZROI_VERSION_MINOR) "." ZROI_VERSION_TEXT(ZROI_VERSION_PATCH)
/* MAJOR * 10000 + MINOR * 100 + PATCH, for #if: 10000 for 1.0.0. */
#define ZROI_VERSION_NUMBER \
    (ZROI_VERSION_MAJOR * 10000 + ZROI_VERSION_MINOR * 100 + ZROI_VERSION_PATCH)

#ifdef __cplusplus
extern "C" {
#endif

/* The version of the libzroi that the program has loaded, as
 * ZROI_VERSION_STRING was when that library was built. */
ZROI_API const char* zroi_version(void);

#ifdef __cplusplus
}
#endif

#endif /* ZROI_ZROVERSION_H */
