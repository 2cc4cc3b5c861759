// Platform entry: what happens when the library is loaded and unloaded, the
// library lock, and the table of clean-up entries run at unload.
//
// The dynamic loader runs the load and unload hooks below; they call
// DllMain with reason 1 and 0, so that the library has one entry point
// whatever the platform.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "zroframe.hpp"
#include "zroi/zrosem.hpp"
#include "zrolock.hpp"

ZROI_IDENT("lib/zroi/posix/zromain")

namespace {

enum : unsigned long { PROCESS_DETACH = 0, PROCESS_ATTACH = 1 };

pthread_mutex_t g_libraryLock;
// Set when the library lock is initialised and never reset: a second attach
// notification must not initialise it again.
std::atomic<int32_t> g_initialised{0};
// True while the library lock may be used: from its initialisation to its
// deletion at unload.
std::atomic<bool> g_usable{false};
std::atomic<unsigned long> g_initialisations{0};

// The clean-up entries, in the order they run at unload. Libraries of the
// middleware export those they have; this one exports only ZroStrCleanUp.
const char* const CLEAN_UP_TABLE[] = {"ZroMgrCleanUp", "ZroQueCleanUp", "ZroStrCleanUp"};

// Any object of the library: dladdr on its address names the library file.
const char g_anchor = 0;

void initialiseLibraryLock()
{
    if (g_initialised.load(std::memory_order_acquire) != 0) return;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&g_libraryLock, &attributes);
    pthread_mutexattr_destroy(&attributes);
    g_initialisations.fetch_add(1, std::memory_order_relaxed);
    g_usable.store(true, std::memory_order_release);
    g_initialised.store(1, std::memory_order_release);
}

void deleteLibraryLock()
{
    if (!g_usable.exchange(false, std::memory_order_acq_rel)) return;
    pthread_mutex_destroy(&g_libraryLock);
}

// Looks each name of the table up among this library's own exports and calls
// the functions found. A symbol of the same name in another object (the
// application, a dependency) is not this library's and is left alone.
void runCleanUpEntries()
{
    Dl_info self;
    if (dladdr(&g_anchor, &self) == 0 || self.dli_fname == nullptr) return;
    void* handle = dlopen(self.dli_fname, RTLD_NOLOAD | RTLD_LAZY);
    if (handle == nullptr) return;
    for (const char* name : CLEAN_UP_TABLE) {
        void* entry = dlsym(handle, name);
        if (entry == nullptr) continue;
        Dl_info owner;
        if (dladdr(entry, &owner) == 0 || owner.dli_fbase != self.dli_fbase) continue;
        reinterpret_cast<void (*)()>(entry)();
    }
    dlclose(handle);
}

void* moduleBase()
{
    Dl_info self;
    return dladdr(&g_anchor, &self) != 0 ? self.dli_fbase : nullptr;
}

__attribute__((constructor)) void onLoad() { DllMain(moduleBase(), PROCESS_ATTACH, nullptr); }

__attribute__((destructor)) void onUnload() { DllMain(moduleBase(), PROCESS_DETACH, nullptr); }

} // namespace

extern "C" int DllMain(void* module, unsigned long reason, void* reserved)
{
    static_cast<void>(module);
    static_cast<void>(reserved);
    if (reason == PROCESS_ATTACH) {
        initialiseLibraryLock();
    } else if (reason == PROCESS_DETACH) {
        // The lock goes first: no clean-up entry may use it.
        deleteLibraryLock();
        runCleanUpEntries();
    }
    // Thread attach and detach (2, 3) need nothing.
    return 1;
}

bool zroLockLibrary() noexcept
{
    if (!g_usable.load(std::memory_order_acquire)) return false;
    return pthread_mutex_lock(&g_libraryLock) == 0;
}

void zroUnlockLibrary() noexcept { pthread_mutex_unlock(&g_libraryLock); }

extern "C" unsigned long zroi_test_library_lock_initialisations(void)
{
    return g_initialisations.load(std::memory_order_relaxed);
}
