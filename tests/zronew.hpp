// Failing operator new on purpose, for tests.
//
// The test program replaces operator new and operator new[] (tests/zrotest.cpp)
// with versions that forward to the runtime's, or to a sanitizer's, so that
// every tool still pairs each new with its delete, and that can be made to
// throw std::bad_alloc: the storage the library obtains with plain new (the
// tracker's values, the KOTA header's record, the channel's record and
// lists) can then be made to run out.
//
//     zroTestFailNew(2);                 // the 2nd operator new from now throws
//     EXPECT_THROW(ZroMtr copy(tracker), std::bad_alloc);
//     zroTestFailNew(0);
//
// Under valgrind, run with --soname-synonyms=somalloc=nouserintercepts, or
// valgrind's own new stands in front of these and nothing fails.
#ifndef ZROI_TESTS_ZRONEW_HPP
#define ZROI_TESTS_ZRONEW_HPP

/// The `nth` operator new from now (on any thread) throws std::bad_alloc, and
/// every later one too while `persistent`. 0 turns failure off. While a
/// failure is planned, operator new calls are counted.
void zroTestFailNew(unsigned long nth, bool persistent = false);

/// The operator new calls counted so far (only while a failure is planned and
/// not paused).
unsigned long zroTestNewCount();

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
