#include "mcp/detail/random.hpp"

#include <openssl/rand.h>

#include <limits>
#include <stdexcept>

namespace mcp::detail {
namespace {

// GCC's 128-bit integer; __extension__ keeps -Wpedantic quiet about it.
__extension__ using Uint128 = unsigned __int128;

}  // namespace

void fillRandomBytes(std::span<unsigned char> bytes) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        throw std::runtime_error("No random bytes available");
    }
}

std::uint64_t randomBelow(std::uint64_t bound) {
    if (bound == 0) throw std::invalid_argument("randomBelow needs a bound above zero");
    // (2^64 - bound) mod bound, computed without 128-bit arithmetic.
    const std::uint64_t threshold = (0 - bound) % bound;
    while (true) {
        std::uint64_t word = 0;
        fillRandomBytes({reinterpret_cast<unsigned char*>(&word), sizeof word});
        const auto product = static_cast<Uint128>(bound) * word;
        if (static_cast<std::uint64_t>(product) >= threshold) return static_cast<std::uint64_t>(product >> 64);
    }
}

}  // namespace mcp::detail
