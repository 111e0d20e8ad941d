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
    // 0x80 or above. A block without any line end lies inside one line, whose reader needs to
    // know only whether any of its bytes is: then all bits are set when one byte is.
    std::uint64_t nonASCII;
};

// The masks of the kScanBlockBytes bytes at `block`.
inline BlockMasks scanBlock(const char* block) noexcept {
#if defined(__SSE2__)
    // CR (0x0D) and LF (0x0A) both become 0x0F when their low three bits are set.
    const __m128i lowBits = _mm_set1_epi8(0x07);
    const __m128i lineEndClass = _mm_set1_epi8(0x0F);
    __m128i bytes[4];
    __m128i ends[4];
    for (unsigned part = 0; part != 4; ++part) {
        bytes[part] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + part);
        ends[part] = _mm_cmpeq_epi8(_mm_or_si128(bytes[part], lowBits), lineEndClass);
    }
    const auto anyOf = [](const __m128i(&vectors)[4]) {
        return _mm_movemask_epi8(
                   _mm_or_si128(_mm_or_si128(vectors[0], vectors[1]), _mm_or_si128(vectors[2], vectors[3]))) != 0;
    };
    const auto bitPerByte = [](const __m128i(&vectors)[4]) {
        std::uint64_t bits = 0;
        for (unsigned part = 0; part != 4; ++part) {
            bits |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(vectors[part]))) << (16 * part);
        }
        return bits;
    };
    // Most blocks are all ASCII, and those inside a long line hold no line end: one test of
    // all 64 bytes spares them a bit per byte.
    const bool nonASCII = anyOf(bytes);
    if (!anyOf(ends)) return {0, nonASCII ? ~std::uint64_t{0} : 0};
    return {bitPerByte(ends), nonASCII ? bitPerByte(bytes) : 0};
#else
    BlockMasks masks{0, 0};
    for (std::size_t i = 0; i != kScanBlockBytes; ++i) {
        const auto byte = static_cast<unsigned char>(block[i]);
        masks.lineEnds |= static_cast<std::uint64_t>((byte | 0x07) == 0x0F) << i;
        masks.nonASCII |= static_cast<std::uint64_t>(byte >> 7) << i;
    }
    if (masks.lineEnds == 0 && masks.nonASCII != 0) masks.nonASCII = ~std::uint64_t{0};
    return masks;
#endif
}

// The masks of the `size` bytes at `block`, fewer than kScanBlockBytes. The bits past them are
// clear, but for those of the nonASCII mask of a block without line ends (see BlockMasks).
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
