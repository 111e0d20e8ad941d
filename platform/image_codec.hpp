#pragma once

#include "platform/frame.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// ImageCodec: scaling and encoding of captured images. Every operation gives none when the
// image can't be processed (no pixels, a size the encoder refuses, out of memory); none
// throws. Any one thread at a time.
class ImageCodec {
public:
    virtual ~ImageCodec() = default;

    // scaled: the image resampled to exactly width × height pixels (both at least 1), with
    // high-quality filtering that averages the pixels it drops when it shrinks.
    virtual std::optional<FrameImage> scaled(const FrameImage& image, int width, int height) = 0;

    // png: the image as a PNG file, without extra metadata.
    virtual std::optional<std::vector<std::uint8_t>> png(const FrameImage& image) = 0;

    // jpeg: the image as a JPEG file at quality (0 smallest … 1 best).
    virtual std::optional<std::vector<std::uint8_t>> jpeg(const FrameImage& image, double quality) = 0;
};

}  // namespace platform
