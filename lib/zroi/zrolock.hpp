// The library lock: one recursive lock for the whole library, initialised
// when the library is loaded and deleted when it is unloaded.
//
// It guards only the creation of class-wide locks (ZroSem objects created on
// first use): test for the object, take the library lock, test again,
// create, release. It is never taken while a ZroSem is held.
#ifndef ZROI_LIB_ZROLOCK_HPP
#define ZROI_LIB_ZROLOCK_HPP

#include "zroi/zroexport.h"

/// Takes the library lock. False, without waiting, when the lock is not
/// usable: before the load entry initialised it or after unload deleted it.
bool zroLockLibrary() noexcept;
/// Releases the library lock taken by zroLockLibrary.
void zroUnlockLibrary() noexcept;

extern "C" {
/// Test control: how many times the library lock has been initialised in
/// this load of the library (1 after a normal load).
ZROI_API unsigned long zroi_test_library_lock_initialisations(void);
}

#endif // ZROI_LIB_ZROLOCK_HPP
