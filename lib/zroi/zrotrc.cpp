// ZroTrc: the trace-text call and the retained no-op trace entry points.
#include "zroi/zrotrc.hpp"

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zrotrc")

void ZroTrc::traceMessage(unsigned short component, unsigned short function, const char* text)
{
    xcsCPInitTerm_e(1);
    xtr_printfFn_e(component, function, 0, text);
}

void ZroTrc::traceEntry(unsigned, unsigned) {}

void ZroTrc::traceExit(unsigned, unsigned, unsigned) {}
