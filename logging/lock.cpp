#include "logging/lock.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace logging {

namespace {

// The primitives only fail on a corrupted or misused lock; going on would risk data races.
void requireSuccess(int result, const char* call) noexcept {
    if (result == 0) return;
    std::fprintf(stderr, "fatal: %s failed: %s\n", call, std::strerror(result));
    std::abort();
}

}  // namespace

Lock::Lock() {
    pthread_mutexattr_t attributes;
    requireSuccess(pthread_mutexattr_init(&attributes), "pthread_mutexattr_init");
    requireSuccess(pthread_mutex_init(&mutex_, &attributes), "pthread_mutex_init");
    requireSuccess(pthread_mutexattr_destroy(&attributes), "pthread_mutexattr_destroy");
}

Lock::~Lock() { requireSuccess(pthread_mutex_destroy(&mutex_), "pthread_mutex_destroy"); }

void Lock::lock() noexcept { requireSuccess(pthread_mutex_lock(&mutex_), "pthread_mutex_lock"); }

void Lock::unlock() noexcept {
    requireSuccess(pthread_mutex_unlock(&mutex_), "pthread_mutex_unlock");
}

ReadWriteLock::ReadWriteLock() {
    requireSuccess(pthread_rwlock_init(&rwlock_, nullptr), "pthread_rwlock_init");
}

ReadWriteLock::~ReadWriteLock() {
    requireSuccess(pthread_rwlock_destroy(&rwlock_), "pthread_rwlock_destroy");
}

void ReadWriteLock::lockForReading() noexcept {
    requireSuccess(pthread_rwlock_rdlock(&rwlock_), "pthread_rwlock_rdlock");
}

void ReadWriteLock::lockForWriting() noexcept {
    requireSuccess(pthread_rwlock_wrlock(&rwlock_), "pthread_rwlock_wrlock");
}

void ReadWriteLock::unlock() noexcept {
    requireSuccess(pthread_rwlock_unlock(&rwlock_), "pthread_rwlock_unlock");
}

}  // namespace logging
