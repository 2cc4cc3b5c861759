// Platform entry: what happens when the library is loaded and unloaded, the
// library lock, and the table of clean-up entries run at unload.
//
// The dynamic loader runs the load and unload hooks below; they call
// DllMain with reason 1 and 0, so that the library has one entry point
// whatever the platform.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
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

using CleanUpEntry = void (*)();
constexpr std::size_t CLEAN_UP_COUNT = sizeof CLEAN_UP_TABLE / sizeof CLEAN_UP_TABLE[0];
// What the table's names are among this library's own exports, in table
// order; nullptr for a name it does not export.
CleanUpEntry g_cleanUpEntries[CLEAN_UP_COUNT] = {};

// Looks each name of the table up among this library's own exports, at load.
// A library's exports cannot change while it stays loaded, so what is found
// now is what unload calls. Looking up at unload would mean reopening a
// library that the loader is finalising, and the loader would then run its
// initialisers again. A symbol of the same name in another object (the
// application, a dependency) is not this library's and is left alone.
void findCleanUpEntries()
{
    Dl_info self;
    if (dladdr(&g_anchor, &self) == 0 || self.dli_fname == nullptr) return;
    // The library's initialisers are running: reopening it runs none of them
    // again. The extra handle is closed at once, so that it does not keep the
    // library loaded.
    void* handle = dlopen(self.dli_fname, RTLD_NOLOAD | RTLD_LAZY);
    if (handle == nullptr) return;
    for (std::size_t i = 0; i < CLEAN_UP_COUNT; ++i) {
        void* entry = dlsym(handle, CLEAN_UP_TABLE[i]);
        Dl_info owner;
        if (entry == nullptr || dladdr(entry, &owner) == 0 || owner.dli_fbase != self.dli_fbase)
            continue;
        g_cleanUpEntries[i] = reinterpret_cast<CleanUpEntry>(entry);
    }
    dlclose(handle);
}

void runCleanUpEntries()
{
    for (CleanUpEntry entry : g_cleanUpEntries)
        if (entry != nullptr) entry();
}

void* moduleBase()
{
    Dl_info self;
    return dladdr(&g_anchor, &self) != 0 ? self.dli_fbase : nullptr;
}

__attribute__((constructor)) void onLoad()
{
    findCleanUpEntries();
    DllMain(moduleBase(), PROCESS_ATTACH, nullptr);
}

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
