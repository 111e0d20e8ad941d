#include "platform/fake/fake_image_codec.hpp"

#include "platform/fake/fake_capture.hpp"

#include <cstdio>
#include <cstring>

namespace platform {

namespace {

std::string sizeText(const FrameImage& image) {
    return std::to_string(image.width) + "x" + std::to_string(image.height);
}

}  // namespace

std::optional<FrameImage> FakeImageCodec::scaled(const FrameImage& image, int width, int height) {
    calls_.push_back("scaled " + std::to_string(width) + "x" + std::to_string(height));
    if (scaleFails || !image.pixels || image.pixels->size() < 4) return std::nullopt;
    std::uint32_t argb = 0;
    std::memcpy(&argb, image.pixels->data(), 4);
    return solidImage(width, height, argb);
}

std::optional<std::vector<std::uint8_t>> FakeImageCodec::png(const FrameImage& image) {
    calls_.push_back("png " + sizeText(image));
    if (pngFails) return std::nullopt;
    return std::vector<std::uint8_t>(pngBytes, 'P');
}

std::optional<std::vector<std::uint8_t>> FakeImageCodec::jpeg(const FrameImage& image, double quality) {
    char qualityText[16];
    std::snprintf(qualityText, sizeof qualityText, "%.2f", quality);
    calls_.push_back("jpeg " + sizeText(image) + " " + qualityText);
    if (jpegFails) return std::nullopt;
    return std::vector<std::uint8_t>(jpegBytes, 'J');
}

}  // namespace platform
