#pragma once

#include <cstddef>
#include <span>

namespace platform {

// SecureRandom: a source of cryptographically secure random bytes.
class SecureRandom {
public:
    virtual ~SecureRandom() = default;
    // fill: overwrites every byte of bytes. Throws platform::Error when the source fails;
    // it never falls back to weaker randomness. Any thread may call it.
    virtual void fill(std::span<std::byte> bytes) = 0;
};

}  // namespace platform
