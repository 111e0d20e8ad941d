#include "eventsource/detail/line_ends.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace eventsource::detail {
namespace {

TEST(LineEnds, EachByteSetsTheBitOfItsPosition) {
    constexpr struct {
        const char* name;
        char byte;
        bool lineEnd, nonASCII;
    } kCases[] = {
        {"LF", '\n', true, false},        {"CR", '\r', true, false},          {"tab", '\t', true, false},
        {"0x0F", '\x0F', true, false},    {"0x07", '\x07', false, false},     {"0x10", '\x10', false, false},
        {"letter", 'a', false, false},    {"0x80", '\x80', false, true},      {"0x8D", '\x8D', false, true},
        {"0xFF", '\xFF', false, true},
    };
    for (const auto& c : kCases) {
        for (std::size_t position = 0; position < kScanBlockBytes; ++position) {
            // A line end elsewhere in the block, so that it gets a bit per byte for both.
            const std::size_t other = (position + kScanBlockBytes / 2) % kScanBlockBytes;
            std::string block(kScanBlockBytes, 'x');
            block[position] = c.byte;
            block[other] = '\n';
            const BlockMasks masks = scanBlock(block.data());
            const std::uint64_t bit = std::uint64_t{1} << position;
            EXPECT_EQ(masks.lineEnds, (c.lineEnd ? bit : 0) | std::uint64_t{1} << other) << c.name << " at " << position;
            EXPECT_EQ(masks.nonASCII, c.nonASCII ? bit : 0) << c.name << " at " << position;
        }
    }
}

TEST(LineEnds, BlockWithoutLineEndIsNonASCIIThroughoutWhenOneByteIs) {
    for (std::size_t position = 0; position < kScanBlockBytes; ++position) {
        std::string block(kScanBlockBytes, 'x');
        EXPECT_EQ(scanBlock(block.data()).nonASCII, 0U);
        block[position] = '\xC3';
        const BlockMasks masks = scanBlock(block.data());
        EXPECT_EQ(masks.lineEnds, 0U) << "at " << position;
        EXPECT_EQ(masks.nonASCII, ~std::uint64_t{0}) << "at " << position;
    }
}

TEST(LineEnds, PartialBlockSeesNoByteAfterItsEnd) {
    std::string nonASCII(kScanBlockBytes, '\xFF');
    nonASCII[0] = '\n';
    const std::string lineEnds(kScanBlockBytes, '\n');
    for (std::size_t size = 1; size < kScanBlockBytes; ++size) {
        const std::uint64_t inside = (std::uint64_t{1} << size) - 1;
        EXPECT_EQ(scanPartialBlock(nonASCII.data(), size).nonASCII, inside & ~std::uint64_t{1}) << "size " << size;
        EXPECT_EQ(scanPartialBlock(lineEnds.data(), size).lineEnds, inside) << "size " << size;
    }
    const BlockMasks none = scanPartialBlock(lineEnds.data(), 0);
    EXPECT_EQ(none.lineEnds, 0U);
    EXPECT_EQ(none.nonASCII, 0U);
}

TEST(LineEnds, BitsFromStopAtTheBlockEnd) {
    EXPECT_EQ(bitsFrom(0), ~std::uint64_t{0});
    EXPECT_EQ(bitsFrom(63), std::uint64_t{1} << 63);
    EXPECT_EQ(bitsFrom(64), 0U);
    EXPECT_EQ(bitsFrom(65), 0U);
}

}  // namespace
}  // namespace eventsource::detail
