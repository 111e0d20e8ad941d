#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace eventsource::detail {

// The parser looks at its input 64 bytes at a time and keeps, for each such block, one bit per
// byte: which bytes end a line and which are not ASCII. Each byte is looked at once; the lines
// are then found from the bits, and a line is known to be ASCII (so that it needs no UTF-8
// check) from the bits between its ends.
inline constexpr std::size_t kScanBlockBytes = 64;

// Bit i stands for byte i of the block.
struct BlockMasks {
    // Every CR and LF, and the other bytes from 0x08 to 0x0F (tab among them): those take one
    // comparison per byte to find where CR and LF alone take two, and are rare in an event
    // stream, so the reader checks each byte it finds here.
    std::uint64_t lineEnds;
    // 0x80 or above.
    std::uint64_t nonASCII;
};

// The masks of the kScanBlockBytes bytes at `block`.
inline BlockMasks scanBlock(const char* block) noexcept {
#if defined(__SSE2__)
    // CR (0x0D) and LF (0x0A) both become 0x0F when their low three bits are set.
    const __m128i lowBits = _mm_set1_epi8(0x07);
    const __m128i lineEndClass = _mm_set1_epi8(0x0F);
    std::uint64_t lineEnds = 0;
    std::uint64_t nonASCII = 0;
    for (unsigned part = 0; part != 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + part);
        const __m128i ends = _mm_cmpeq_epi8(_mm_or_si128(bytes, lowBits), lineEndClass);
        lineEnds |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(ends))) << (16 * part);
        nonASCII |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(bytes))) << (16 * part);
    }
    return {lineEnds, nonASCII};
#else
    BlockMasks masks{0, 0};
    for (std::size_t i = 0; i != kScanBlockBytes; ++i) {
        const auto byte = static_cast<unsigned char>(block[i]);
        masks.lineEnds |= static_cast<std::uint64_t>((byte | 0x07) == 0x0F) << i;
        masks.nonASCII |= static_cast<std::uint64_t>(byte >> 7) << i;
    }
    return masks;
#endif
}

// The masks of the `size` bytes at `block`, fewer than kScanBlockBytes; the bits past them are
// clear.
inline BlockMasks scanPartialBlock(const char* block, std::size_t size) noexcept {
    char padded[kScanBlockBytes] = {};
    std::memcpy(padded, block, size);
    return scanBlock(padded);
}

// The bits of the positions from `position` on; none when `position` is past the block.
inline std::uint64_t bitsFrom(std::size_t position) noexcept {
    return position >= kScanBlockBytes ? 0 : ~std::uint64_t{0} << position;
}

}  // namespace eventsource::detail
