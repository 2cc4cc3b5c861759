// Failing operator new on purpose, for tests. The test program replaces
// operator new and new[] (tests/zrotest.cpp) with versions that forward to the
// runtime's, or a sanitizer's, and can be made to throw std::bad_alloc: the
// storage the library obtains with plain new (the tracker's values, the KOTA
// header's record, the channel's record and lists) can then run out. Under
// valgrind, run with --soname-synonyms=somalloc=nouserintercepts.
#ifndef ZROI_TESTS_ZRONEW_HPP
#define ZROI_TESTS_ZRONEW_HPP

#include <new>

/// The `nth` operator new from now (on any thread) throws std::bad_alloc, and
/// every later one too while `persistent`. 0 turns failure off. While a
/// failure is planned, operator new calls are counted.
void zroTestFailNew(unsigned long nth, bool persistent = false);

/// The operator new calls counted so far (only while a failure is planned and
/// not paused).
unsigned long zroTestNewCount();

/// Runs `f` with the `nth` new from now failing (none for 0); true when it
/// threw std::bad_alloc.
template <class F> bool failsAtNew(unsigned long nth, F f)
{
    zroTestFailNew(nth);
    bool threw = false;
    try {
        f();
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    zroTestFailNew(0);
    return threw;
}

/// While an object of this class lives, operator new neither counts nor
/// fails on any thread: for the checks of a test (gtest allocates freely).
class ZroNewPause {
public:
    ZroNewPause();
    ~ZroNewPause();
    ZroNewPause(const ZroNewPause&) = delete;
    ZroNewPause& operator=(const ZroNewPause&) = delete;
};

#endif // ZROI_TESTS_ZRONEW_HPP
