// Failing operator new on purpose, for tests.
//
// The test program replaces operator new (tests/zrosweep_test.cpp) with one
// that forwards to the runtime's, or a sanitizer's, and that can be made to
// throw std::bad_alloc: the storage the library obtains with plain new (the
// tracker's values, the KOTA header's record) can then be made to fail.
#ifndef ZROI_TESTS_ZRONEW_HPP
#define ZROI_TESTS_ZRONEW_HPP

/// The `nth` operator new from now throws std::bad_alloc, and every later
/// one too while `persistent`. 0 turns failure off.
void zroTestFailNew(unsigned long nth, bool persistent = false);

#endif // ZROI_TESTS_ZRONEW_HPP
