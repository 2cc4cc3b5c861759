// The allocation seam and its test control.
#include "zroalloc.hpp"

#include <cstdlib>

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zroalloc")

namespace {
// Each thread counts its own allocations and plans its own failures. The
// counts are plain per-thread integers, not shared atomics: an atomic
// read-modify-write on every allocation and release would cost as much as
// the allocation itself, and a failure planned by a test belongs to the
// thread that runs the scenario, not to whatever other thread allocates
// meanwhile.
struct Counts {
    unsigned long allocations = 0;
    // Storage obtained and not released yet by this thread (storage released
    // by another thread counts against that thread).
    unsigned long live = 0;
    // 0: no failure planned; otherwise the allocation number that fails first.
    unsigned long failAt = 0;
    bool persistent = false;
};
// Initial-exec: the counts sit in the static TLS block and are reached
// directly, not through __tls_get_addr on every allocation. The block is
// a few bytes, well within what the loader keeps for libraries that are
// loaded later with dlopen.
thread_local Counts t_counts __attribute__((tls_model("initial-exec")));
} // namespace

void* zroAllocate(std::size_t size) noexcept
{
    Counts& counts = t_counts;
    const unsigned long number = ++counts.allocations;
    if (__builtin_expect(counts.failAt != 0, 0)) {
        if (number == counts.failAt) return nullptr;
        if (number > counts.failAt && counts.persistent) return nullptr;
    }
    void* storage = std::malloc(size == 0 ? 1 : size);
    if (storage != nullptr) ++counts.live;
    return storage;
}

void zroRelease(void* storage) noexcept
{
    if (storage == nullptr) return;
    --t_counts.live;
    std::free(storage);
}

extern "C" {

void zroi_test_fail_allocation(unsigned long nth, int persistent)
{
    Counts& counts = t_counts;
    counts.persistent = persistent != 0;
    counts.failAt = nth == 0 ? 0 : counts.allocations + nth;
}

unsigned long zroi_test_allocation_count(void) { return t_counts.allocations; }

unsigned long zroi_test_live_allocations(void) { return t_counts.live; }
}
