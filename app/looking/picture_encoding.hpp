#pragma once

#include "platform/frame.hpp"
#include "platform/image_codec.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app {

// PixelSize: a picture's size in whole pixels.
struct PixelSize {
    int width = 0;
    int height = 0;

    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The longest side a picture may have: larger frames are scaled down to it.
inline constexpr int kPictureLongestSide = 1568;
// A PNG larger than this many bytes is sent as JPEG instead.
inline constexpr std::size_t kLargestPNGBytes = 1'000'000;
inline constexpr double kJPEGQuality = 0.85;

// pictureSize: the size of the picture made of a width × height frame: the frame's own size
// when its longest side is at most kPictureLongestSide; otherwise the longest side is exactly
// kPictureLongestSide and the other keeps the aspect ratio, rounded to the nearest pixel (halves
// up) and at least 1. Worked in whole numbers, so the longest side can't come out one pixel
// too long through rounding.
PixelSize pictureSize(int width, int height);

// EncodedPicture: a picture ready to send.
struct EncodedPicture {
    std::vector<std::uint8_t> data;
    std::string mimeType;  // "image/png" or "image/jpeg"
    PixelSize size;
};

// encodePicture: the frame scaled to pictureSize and encoded as PNG, or as JPEG at kJPEGQuality
// when the PNG has more than kLargestPNGBytes bytes (the PNG stays when the JPEG can't be
// written). None when the frame can't be scaled or written as PNG.
std::optional<EncodedPicture> encodePicture(platform::ImageCodec& codec, const platform::FrameImage& frame);

}  // namespace app
