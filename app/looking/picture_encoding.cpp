#include "app/looking/picture_encoding.hpp"

#include <algorithm>
#include <utility>

namespace app {

PixelSize pictureSize(int width, int height) {
    const int longest = std::max(width, height);
    if (longest <= kPictureLongestSide) return {width, height};
    const auto fit = [longest](int side) {
        const auto scaled = (2LL * side * kPictureLongestSide + longest) / (2LL * longest);
        return std::max(1, static_cast<int>(scaled));
    };
    return width >= height ? PixelSize{kPictureLongestSide, fit(height)}
                           : PixelSize{fit(width), kPictureLongestSide};
}

std::optional<EncodedPicture> encodePicture(platform::ImageCodec& codec, const platform::FrameImage& frame) {
    const auto size = pictureSize(frame.width, frame.height);
    std::optional<platform::FrameImage> scaled;
    if (size != PixelSize{frame.width, frame.height}) {
        scaled = codec.scaled(frame, size.width, size.height);
        if (!scaled) return std::nullopt;
    }
    const auto& image = scaled ? *scaled : frame;
    auto png = codec.png(image);
    if (!png) return std::nullopt;
    if (png->size() > kLargestPNGBytes) {
        if (auto jpeg = codec.jpeg(image, kJPEGQuality)) {
            return EncodedPicture{std::move(*jpeg), "image/jpeg", size};
        }
    }
    return EncodedPicture{std::move(*png), "image/png", size};
}

}  // namespace app
