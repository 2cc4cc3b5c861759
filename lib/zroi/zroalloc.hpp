// The allocation seam: every allocation that may fail without throwing.
//
// The library obtains buffers and string and binary storage only through
// zroAllocate and releases them through zroRelease, so that a test can make
// the n-th allocation fail (zroi_test_fail_allocation) and walk every
// "storage not available" path. The test controls count and plan per
// thread: each sees and steers the allocations of the thread that calls it.
#ifndef ZROI_LIB_ZROALLOC_HPP
#define ZROI_LIB_ZROALLOC_HPP

#include <cstddef>

#include "zroi/zroexport.h"

/// `size` bytes of storage, or nullptr when none is available. Never throws.
void* zroAllocate(std::size_t size) noexcept;
/// Releases storage from zroAllocate; nullptr is ignored.
void zroRelease(void* storage) noexcept;

extern "C" {
/// Test control: the calling thread's `nth` allocation from now (1 = the
/// next one) fails, and so does every allocation of that thread after it
/// while `persistent` is non-zero. 0 turns failure off. Other threads
/// allocate as usual.
ZROI_API void zroi_test_fail_allocation(unsigned long nth, int persistent);
/// Test control: the number of allocations the calling thread has made.
ZROI_API unsigned long zroi_test_allocation_count(void);
/// Test control: the storage the calling thread obtained through zroAllocate
/// less what it released, counted in allocations (the allocation fault
/// sweep checks that a scenario gives back all it took).
ZROI_API unsigned long zroi_test_live_allocations(void);
}

#endif // ZROI_LIB_ZROALLOC_HPP
