#pragma once

#include "platform/secure_random.hpp"

#include <cstdint>
#include <vector>

namespace platform {

// FixedRandom: SecureRandom that writes a known sequence: byte i of all bytes handed out so
// far (counting across calls) is pattern[i % pattern.size()]; the default pattern is
// 0, 1, ..., 255. failNext() makes the next fill throw platform::Error, as a failing
// source would.
class FixedRandom final : public SecureRandom {
public:
    FixedRandom();
    explicit FixedRandom(std::vector<std::uint8_t> pattern);

    void fill(std::span<std::byte> bytes) override;

    void failNext() { failNext_ = true; }
    // calls: the number of fill calls, failed ones included.
    int calls() const { return calls_; }

private:
    std::vector<std::uint8_t> pattern_;
    std::size_t position_ = 0;
    bool failNext_ = false;
    int calls_ = 0;
};

}  // namespace platform
