#include "platform/x11/detail/cursor_blend.hpp"

#include <algorithm>
#include <cstddef>

namespace platform::detail {

bool overlaps(const CursorImage& cursor, int width, int height) {
    return cursor.width > 0 && cursor.height > 0 && cursor.left < width && cursor.top < height &&
           cursor.left + cursor.width > 0 && cursor.top + cursor.height > 0;
}

void blendCursor(std::span<std::uint8_t> bgra, int width, int height, int bytesPerRow,
                 const CursorImage& cursor) {
    if (!overlaps(cursor, width, height)) return;
    if (cursor.argb.size() <
        static_cast<std::size_t>(cursor.width) * static_cast<std::size_t>(cursor.height)) {
        return;
    }
    const int x0 = std::max(0, cursor.left);
    const int y0 = std::max(0, cursor.top);
    const int x1 = std::min(width, cursor.left + cursor.width);
    const int y1 = std::min(height, cursor.top + cursor.height);
    for (int y = y0; y < y1; ++y) {
        if (static_cast<std::size_t>(y) * bytesPerRow + static_cast<std::size_t>(x1) * 4 > bgra.size()) return;
        for (int x = x0; x < x1; ++x) {
            const auto source = cursor.argb[static_cast<std::size_t>(y - cursor.top) * cursor.width +
                                            static_cast<std::size_t>(x - cursor.left)];
            const auto alpha = source >> 24;
            if (alpha == 0) continue;
            auto* pixel = bgra.data() + static_cast<std::size_t>(y) * bytesPerRow +
                          static_cast<std::size_t>(x) * 4;
            // Premultiplied "over": the cursor's channel plus what shows through it.
            for (int channel = 0; channel < 3; ++channel) {
                const auto cursorChannel = (source >> (8 * channel)) & 0xFF;
                pixel[channel] = static_cast<std::uint8_t>(
                    std::min<std::uint32_t>(255, cursorChannel + (pixel[channel] * (255 - alpha) + 127) / 255));
            }
        }
    }
}

}  // namespace platform::detail
