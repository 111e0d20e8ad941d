#include "logging/lock.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace logging {
namespace {

TEST(Lock, WithLockReturnsTheResultAndUnlocksOnThrow) {
    Lock lock;
    EXPECT_EQ(lock.withLock([] { return 7; }), 7);
    EXPECT_THROW(lock.withLock([]() -> int { throw std::runtime_error("body failed"); }),
                 std::runtime_error);
    // Still locked, this would never return.
    std::thread([&] {
        lock.lock();
        lock.unlock();
    }).join();
}

TEST(ReadWriteLock, ReadersShareWritersUnlockOnThrow) {
    ReadWriteLock lock;
    lock.withReaderLock([&] {
        // A second reader gets in while the first holds the lock.
        std::thread([&] { EXPECT_EQ(lock.withReaderLock([] { return 1; }), 1); }).join();
    });
    EXPECT_THROW(lock.withWriterLock([] { throw std::runtime_error("body failed"); }),
                 std::runtime_error);
    std::thread([&] { EXPECT_EQ(lock.withWriterLock([] { return 2; }), 2); }).join();
}

}  // namespace
}  // namespace logging
