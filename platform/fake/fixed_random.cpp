#include "platform/fake/fixed_random.hpp"

#include "platform/error.hpp"

#include <numeric>
#include <stdexcept>
#include <utility>

namespace platform {

FixedRandom::FixedRandom() : pattern_(256) {
    std::iota(pattern_.begin(), pattern_.end(), std::uint8_t{0});
}

FixedRandom::FixedRandom(std::vector<std::uint8_t> pattern) : pattern_(std::move(pattern)) {
    if (pattern_.empty()) throw std::invalid_argument("FixedRandom needs a non-empty pattern");
}

void FixedRandom::fill(std::span<std::byte> bytes) {
    ++calls_;
    if (std::exchange(failNext_, false)) throw Error("The secure random source failed: scripted failure");
    for (auto& byte : bytes) byte = std::byte{pattern_[position_++ % pattern_.size()]};
}

}  // namespace platform
