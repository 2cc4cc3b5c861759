// Compiled with -m32 only (never linked): proves the record layouts of
// zrodefs.h on a 32-bit target, where every record must match the
// middleware's byte layout exactly. The header's static_asserts carry the
// proof; this unit makes sure it is a 32-bit compile that checks them.
//
//     g++ -m32 -std=c++17 -fsyntax-only tests/layout32/zrodefs32.cpp -Iinclude
#include "zroi/zrodefs.h"

static_assert(sizeof(void*) == 4, "this unit must be compiled for a 32-bit target (-m32)");
static_assert(sizeof(int32_t) == 4, "records keep 4-byte integers");
