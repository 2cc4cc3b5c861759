// What every fuzz target program shares beyond zrofuzz.hpp: the sanitizer
// options it runs with, also when started by hand to reproduce a finding.

// A hostile reference header may move the cursor, and so extend the
// message, by up to 4 GiB, as documented. Allocations above 256 MiB return
// nothing instead (the library then reports 2071) so that such inputs cost
// no more than others; sizes a bug computes wrongly still meet ASan's checks
// on everything that is allocated.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=256";
}
