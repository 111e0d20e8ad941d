#pragma once

#include "platform/image_codec.hpp"

namespace platform {

// QtImageCodec: scaling with QImage's smooth transformation (area averaging when it shrinks)
// and encoding with QImageWriter's PNG and JPEG writers. An image whose pixels are all opaque is
// encoded without an alpha channel. Needs no display; any one thread at a time.
class QtImageCodec final : public ImageCodec {
public:
    std::optional<FrameImage> scaled(const FrameImage& image, int width, int height) override;
    std::optional<std::vector<std::uint8_t>> png(const FrameImage& image) override;
    std::optional<std::vector<std::uint8_t>> jpeg(const FrameImage& image, double quality) override;
};

}  // namespace platform
