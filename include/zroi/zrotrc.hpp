// ZroTrc: the static diagnostics of zroi.
//
// Pointer checks ask zrecs whether caller storage may be read or written;
// traceMessage writes one complete diagnostic line to the zrecs trace.
//
// ```cpp
// const char* p = "text";
// unsigned n = 4;
// if (!ZroTrc::checkReadPointer(p, n)) { /* p must not be read */ }
// ZroTrc::traceMessage(31, 4, "ZroCache::read (error): insufficient data");
// ```
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
        return check(p, length, 1);
    }

    /// 1 when zrecs answers that `length` bytes at `p` may be written, else 0.
    static unsigned char checkWritePointer(const void* p, unsigned length)
    {
        return check(p, length, 2);
    }

    /// Per-call hook with 1, then the text under `component` and `function`.
    static void traceMessage(unsigned short component, unsigned short function, const char* text);

    /// Kept for callers of the old interface; they record nothing.
    static void traceEntry(unsigned component, unsigned function);
    static void traceExit(unsigned component, unsigned function, unsigned reason);

private:
    /// The hook with 1, then the check in `mode`: with nobody listening and
    /// no check installed both are the default answer, asked inline after
    /// one look at the zrecs state.
    static unsigned char check(const void* p, unsigned length, unsigned mode)
    {
        if (zrecs_quiet()) return zrecs_default_answer(p, length) == 0 ? 1 : 0;
        xcsCPInitTerm_e(1);
        return xcsCheckPointer_e(p, length, mode) == 0 ? 1 : 0;
    }
};

#endif // ZROI_ZROTRC_HPP
