#pragma once

#include <pthread.h>

#include <functional>
#include <mutex>

namespace logging {

// Lock: a mutex for code around the logging facade. Not copyable; share it by reference.
// A failing lock or unlock call means the process state is broken: it stops the process.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void lock() noexcept;
    void unlock() noexcept;

    // Runs `body` holding the lock and returns its result. When `body` throws, the lock is
    // released before the exception reaches the caller.
    template <std::invocable F>
    decltype(auto) withLock(F&& body) {
        const std::lock_guard<Lock> guard(*this);
        return std::invoke(std::forward<F>(body));
    }

private:
    pthread_mutex_t mutex_;
};

// ReadWriteLock: many readers at once or one writer alone. Not copyable; share it by reference.
// Failing lock calls stop the process, as for Lock.
class ReadWriteLock {
public:
    ReadWriteLock();
    ~ReadWriteLock();
    ReadWriteLock(const ReadWriteLock&) = delete;
    ReadWriteLock& operator=(const ReadWriteLock&) = delete;

    void lockForReading() noexcept;
    void lockForWriting() noexcept;
    // Releases the lock taken by either of the two calls above.
    void unlock() noexcept;

    // Runs `body` under the shared (reading) lock and returns its result; unlocks on throw.
    template <std::invocable F>
    decltype(auto) withReaderLock(F&& body) {
        lockForReading();
        const Unlocker unlocker{*this};
        return std::invoke(std::forward<F>(body));
    }

    // Runs `body` under the exclusive (writing) lock and returns its result; unlocks on throw.
    template <std::invocable F>
    decltype(auto) withWriterLock(F&& body) {
        lockForWriting();
        const Unlocker unlocker{*this};
        return std::invoke(std::forward<F>(body));
    }

private:
    struct Unlocker {
        ReadWriteLock& lock;
        ~Unlocker() { lock.unlock(); }
    };

    pthread_rwlock_t rwlock_;
};

}  // namespace logging
