#pragma once

#include <cstdint>
#include <span>

namespace platform::detail {

// CursorImage: the pointer's picture as the server gives it: width × height pixels of
// premultiplied ARGB (one 32-bit value each, alpha in the high byte), with its top-left
// corner at (left, top) in the coordinates of the image it is drawn on.
struct CursorImage {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::span<const std::uint32_t> argb;
};

// overlaps: whether any of the cursor lies within an image of width × height.
bool overlaps(const CursorImage& cursor, int width, int height);

// blendCursor: draws the cursor over an image of four bytes per pixel (blue, green, red,
// alpha), clipped to the image; alpha stays as it was.
void blendCursor(std::span<std::uint8_t> bgra, int width, int height, int bytesPerRow,
                 const CursorImage& cursor);

}  // namespace platform::detail
