// ZroSem: a recursive lock over a POSIX mutex.
#include "zroi/zrosem.hpp"

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zrosem")

namespace {
// Bit 0 of the flags keeps the destructor from destroying the mutex.
constexpr uint32_t KEEP_MUTEX = 1;
} // namespace

ZroSem::ZroSem() noexcept : flags_(0)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex_, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

ZroSem::~ZroSem()
{
    if ((flags_ & KEEP_MUTEX) == 0) pthread_mutex_destroy(&mutex_);
}

unsigned char ZroSem::lock() noexcept { return pthread_mutex_lock(&mutex_) == 0 ? 1 : 0; }

// A recursive mutex checks its owner, so an unlock by a thread that does not
// hold it is refused (EPERM) rather than undefined.
unsigned char ZroSem::unlock() noexcept { return pthread_mutex_unlock(&mutex_) == 0 ? 1 : 0; }
