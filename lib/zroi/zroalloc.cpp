// The allocation seam and its test control.
#include "zroalloc.hpp"

#include <atomic>
#include <cstdlib>

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zroalloc")

namespace {
std::atomic<unsigned long> g_allocations{0};
// Storage handed out and not released yet.
std::atomic<unsigned long> g_live{0};
// 0: no failure planned; otherwise the allocation number that fails first.
std::atomic<unsigned long> g_fail_at{0};
std::atomic<bool> g_fail_persistent{false};
} // namespace

void* zroAllocate(std::size_t size) noexcept
{
    unsigned long number = g_allocations.fetch_add(1, std::memory_order_relaxed) + 1;
    unsigned long failAt = g_fail_at.load(std::memory_order_relaxed);
    if (__builtin_expect(failAt != 0, 0)) {
        if (number == failAt) return nullptr;
        if (number > failAt && g_fail_persistent.load(std::memory_order_relaxed)) return nullptr;
    }
    void* storage = std::malloc(size == 0 ? 1 : size);
    if (storage != nullptr) g_live.fetch_add(1, std::memory_order_relaxed);
    return storage;
}

void zroRelease(void* storage) noexcept
{
    if (storage == nullptr) return;
    g_live.fetch_sub(1, std::memory_order_relaxed);
    std::free(storage);
}

extern "C" {

void zroi_test_fail_allocation(unsigned long nth, int persistent)
{
    g_fail_persistent.store(persistent != 0, std::memory_order_relaxed);
    g_fail_at.store(nth == 0 ? 0 : g_allocations.load(std::memory_order_relaxed) + nth,
                    std::memory_order_relaxed);
}

unsigned long zroi_test_allocation_count(void)
{
    return g_allocations.load(std::memory_order_relaxed);
}

unsigned long zroi_test_live_allocations(void) { return g_live.load(std::memory_order_relaxed); }
}
