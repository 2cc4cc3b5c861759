// The allocation seam: every allocation that may fail without throwing.
//
// The library obtains buffers and string and binary storage only through
// zroAllocate and releases them through zroRelease, so that a test can make
// the n-th allocation fail (zroi_test_fail_allocation) and walk every
// "storage not available" path.
#ifndef ZROI_LIB_ZROALLOC_HPP
#define ZROI_LIB_ZROALLOC_HPP

#include <cstddef>

#include "zroi/zroexport.h"

/// `size` bytes of storage, or nullptr when none is available. Never throws.
void* zroAllocate(std::size_t size) noexcept;
/// Releases storage from zroAllocate; nullptr is ignored.
void zroRelease(void* storage) noexcept;

extern "C" {
/// Test control: the `nth` allocation from now (1 = the next one) fails, and
/// so does every allocation after it while `persistent` is non-zero. 0
/// turns failure off.
ZROI_API void zroi_test_fail_allocation(unsigned long nth, int persistent);
/// Test control: the number of allocations made since the process started.
ZROI_API unsigned long zroi_test_allocation_count(void);
/// Test control: the storage obtained through zroAllocate and not released
/// yet, counted in allocations (the allocation fault sweep checks that a
/// scenario gives back all it took).
ZROI_API unsigned long zroi_test_live_allocations(void);
}

#endif // ZROI_LIB_ZROALLOC_HPP
