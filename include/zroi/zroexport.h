// Symbol visibility of libzroi: only what carries ZROI_API is exported.
#ifndef ZROI_ZROEXPORT_H
#define ZROI_ZROEXPORT_H

#if defined(ZROI_BUILDING)
#define ZROI_API __attribute__((visibility("default")))
#else
#define ZROI_API
#endif

#endif // ZROI_ZROEXPORT_H
