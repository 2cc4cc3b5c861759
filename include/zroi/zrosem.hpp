// ZroSem: a lock for class-wide state, and the library's entry point.
//
// A ZroSem is a recursive lock: the thread that holds it may take it again,
// and must release it as often as it took it.
//
// ```cpp
// static ZroSem lock;
// lock.lock();
// // ... one thread at a time ...
// lock.unlock();
// ```
//
// DllMain is the entry point through which the library learns that it has
// been loaded (reason 1) or is being unloaded (reason 0); the library's own
// load and unload hooks call it. Applications have no need to call it.
#ifndef ZROI_ZROSEM_HPP
#define ZROI_ZROSEM_HPP

#include <pthread.h>

#include <cstdint>

#include "zroi/zroexport.h"

class ZROI_API ZroSem {
public:
    /// A free lock. Bit 0 of the flags is cleared.
    ZroSem() noexcept;
    /// Destroys the lock unless bit 0 of the flags is set (nothing in the
    /// library sets it). The lock must be free.
    ~ZroSem();
    ZroSem(const ZroSem&) = delete;
    ZroSem& operator=(const ZroSem&) = delete;

    /// Takes the lock, waiting as long as it takes; the holding thread may
    /// take it again. 1 once it is held (0 only if the system refuses, for
    /// example when one thread holds it too many times over).
    unsigned char lock() noexcept;
    /// Releases one level of the calling thread's hold. 1 when released;
    /// 0 when the calling thread does not hold the lock.
    unsigned char unlock() noexcept;

private:
    pthread_mutex_t mutex_;
    uint32_t flags_;
};

/// The library's entry point. `reason`: 1 process attach (initialises the
/// library lock once), 0 process detach (deletes the library lock, then
/// calls the clean-up entries "ZroMgrCleanUp", "ZroQueCleanUp" and
/// "ZroStrCleanUp" that the library exports), 2 and 3 thread attach and
/// detach (nothing). `module` and `reserved` are not used. Always 1.
extern "C" ZROI_API int DllMain(void* module, unsigned long reason, void* reserved);

#endif // ZROI_ZROSEM_HPP
