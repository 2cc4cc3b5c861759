// ZroTrc: the static diagnostics of zroi.
//
// Pointer checks ask zrecs whether caller storage may be read or written;
// traceMessage writes one complete diagnostic line to the zrecs trace.
//
//     if (!ZroTrc::checkReadPointer(p, n)) { /* p must not be read */ }
//     ZroTrc::traceMessage(31, 4, "ZroCache::read (error): insufficient data");
#ifndef ZROI_ZROTRC_HPP
#define ZROI_ZROTRC_HPP

#include "zrecs/zrecs.h"
#include "zroi/zroexport.h"

class ZROI_API ZroTrc {
public:
    ZroTrc() = delete;

    /// 1 when zrecs answers that `length` bytes at `p` may be read, else 0.
    /// Calls the per-call hook with 1 first; touches no error state.
    static unsigned char checkReadPointer(const void* p, unsigned length)
    {
        zrecs_hook(1);
        return zrecs_check(p, length, 1) == 0 ? 1 : 0;
    }

    /// 1 when zrecs answers that `length` bytes at `p` may be written, else 0.
    static unsigned char checkWritePointer(const void* p, unsigned length)
    {
        zrecs_hook(1);
        return zrecs_check(p, length, 2) == 0 ? 1 : 0;
    }

    /// Per-call hook with 1, then the text under `component` and `function`.
    static void traceMessage(unsigned short component, unsigned short function, const char* text);

    /// Kept for callers of the old interface; they record nothing.
    static void traceEntry(unsigned component, unsigned function);
    static void traceExit(unsigned component, unsigned function, unsigned reason);
};

#endif // ZROI_ZROTRC_HPP
