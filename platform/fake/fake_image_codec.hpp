#pragma once

#include "platform/image_codec.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// FakeImageCodec: an image codec whose results the test sets. Scaling gives an image of the
// asked size in the colour of the source's first pixel; encoding gives pngBytes or jpegBytes
// bytes of 'P' or 'J'. Every call is recorded, e.g. "scaled 1568x980", "png 1568x980",
// "jpeg 1568x980 0.85".
class FakeImageCodec final : public ImageCodec {
public:
    std::optional<FrameImage> scaled(const FrameImage& image, int width, int height) override;
    std::optional<std::vector<std::uint8_t>> png(const FrameImage& image) override;
    std::optional<std::vector<std::uint8_t>> jpeg(const FrameImage& image, double quality) override;

    const std::vector<std::string>& calls() const { return calls_; }

    std::size_t pngBytes = 1000;
    std::size_t jpegBytes = 500;
    bool scaleFails = false;
    bool pngFails = false;
    bool jpegFails = false;

private:
    std::vector<std::string> calls_;
};

}  // namespace platform
