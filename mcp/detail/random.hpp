#pragma once

#include <cstdint>
#include <span>

namespace mcp::detail {

// Fills `bytes` from the system's secure random source. Throws `std::runtime_error` when the
// source has nothing to give.
void fillRandomBytes(std::span<unsigned char> bytes);

// A uniformly distributed integer in [0, `bound`) from the secure random source, without the
// bias of a plain remainder: the high half of `bound` × a random 64-bit word, drawn again while
// the low half falls in the short first stretch (Lemire's method). `bound` must not be zero.
std::uint64_t randomBelow(std::uint64_t bound);

}  // namespace mcp::detail
