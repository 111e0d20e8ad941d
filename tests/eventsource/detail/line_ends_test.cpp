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
            std::string block(kScanBlockBytes, 'x');
            block[position] = c.byte;
            const BlockMasks masks = scanBlock(block.data());
            const std::uint64_t bit = std::uint64_t{1} << position;
            EXPECT_EQ(masks.lineEnds, c.lineEnd ? bit : 0) << c.name << " at " << position;
            EXPECT_EQ(masks.nonASCII, c.nonASCII ? bit : 0) << c.name << " at " << position;
        }
    }
}

TEST(LineEnds, PartialBlockSeesNoByteAfterItsEnd) {
    const std::string bytes(kScanBlockBytes, '\xFF');
    const std::string lineEnds(kScanBlockBytes, '\n');
    for (std::size_t size = 0; size < kScanBlockBytes; ++size) {
        const std::uint64_t inside = (std::uint64_t{1} << size) - 1;
        EXPECT_EQ(scanPartialBlock(bytes.data(), size).nonASCII, inside) << "size " << size;
        EXPECT_EQ(scanPartialBlock(lineEnds.data(), size).lineEnds, inside) << "size " << size;
    }
}

TEST(LineEnds, BitsFromStopAtTheBlockEnd) {
    EXPECT_EQ(bitsFrom(0), ~std::uint64_t{0});
    EXPECT_EQ(bitsFrom(63), std::uint64_t{1} << 63);
    EXPECT_EQ(bitsFrom(64), 0U);
    EXPECT_EQ(bitsFrom(65), 0U);
}

}  // namespace
}  // namespace eventsource::detail
