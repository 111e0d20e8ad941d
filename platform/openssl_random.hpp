#pragma once

#include "platform/secure_random.hpp"

namespace platform {

// OpenSSLRandom: SecureRandom from OpenSSL's RAND_bytes (the system's entropy behind a DRBG).
class OpenSSLRandom final : public SecureRandom {
public:
    void fill(std::span<std::byte> bytes) override;
};

}  // namespace platform
