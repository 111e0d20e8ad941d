#include "platform/x11/detail/cursor_blend.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace platform::detail {
namespace {

constexpr int kWidth = 4;
constexpr int kHeight = 3;

std::vector<std::uint8_t> grey() {
    return std::vector<std::uint8_t>(kWidth * kHeight * 4, 0x80);
}

std::uint32_t pixelAt(const std::vector<std::uint8_t>& image, int x, int y) {
    const auto* p = image.data() + (y * kWidth + x) * 4;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

TEST(CursorBlend, DrawsPremultipliedPixelsClippedToTheImage) {
    // A 2 × 2 cursor: opaque red, transparent, half-transparent white (premultiplied), opaque blue.
    const std::vector<std::uint32_t> cursor = {0xFFFF0000, 0x00000000, 0x80808080, 0xFF0000FF};
    struct Case {
        std::string_view name;
        int left, top;
        std::vector<std::pair<std::pair<int, int>, std::uint32_t>> want;
    };
    const Case kCases[] = {
        {"inside", 1, 1, {{{1, 1}, 0x80FF0000}, {{2, 1}, 0x80808080}, {{1, 2}, 0x80C0C0C0}, {{2, 2}, 0x800000FF}}},
        {"over the top-left corner", -1, -1, {{{0, 0}, 0x800000FF}, {{1, 0}, 0x80808080}}},
        {"over the bottom-right corner", 3, 2, {{{3, 2}, 0x80FF0000}, {{2, 2}, 0x80808080}}},
        {"outside", 4, 0, {{{3, 0}, 0x80808080}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto image = grey();
        blendCursor(image, kWidth, kHeight, kWidth * 4, CursorImage{c.left, c.top, 2, 2, cursor});
        for (const auto& [at, want] : c.want) {
            EXPECT_EQ(pixelAt(image, at.first, at.second), want) << "at " << at.first << "," << at.second;
        }
    }
}

TEST(CursorBlend, IgnoresACursorWithTooFewPixels) {
    auto image = grey();
    const std::vector<std::uint32_t> cursor = {0xFFFF0000};
    blendCursor(image, kWidth, kHeight, kWidth * 4, CursorImage{0, 0, 2, 2, cursor});
    EXPECT_EQ(image, grey());
}

}  // namespace
}  // namespace platform::detail
