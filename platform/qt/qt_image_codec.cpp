#include "platform/qt/qt_image_codec.hpp"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

bool hasPixels(const FrameImage& image) {
    return image.pixels && image.width > 0 && image.height > 0 && image.bytesPerRow >= image.width * 4 &&
           image.pixels->size() >= static_cast<std::size_t>(image.bytesPerRow) * image.height;
}

bool allOpaque(const FrameImage& image) {
    for (int y = 0; y < image.height; ++y) {
        const auto* row = image.pixels->data() + static_cast<std::size_t>(y) * image.bytesPerRow;
        for (int x = 0; x < image.width; ++x) {
            if (row[x * 4 + 3] != 0xFF) return false;
        }
    }
    return true;
}

static_assert(std::endian::native == std::endian::little,
              "frames are blue, green, red, alpha in memory, which is Qt's ARGB32 only on little-endian machines");

// view: a QImage over the frame's own bytes (blue, green, red, alpha in memory is Qt's 32-bit
// ARGB on a little-endian machine); valid while image lives. Opaque images become RGB32, so
// that encoders leave the alpha channel out.
QImage view(const FrameImage& image, bool opaque) {
    return QImage(image.pixels->data(), image.width, image.height, image.bytesPerRow,
                  opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
}

std::optional<std::vector<std::uint8_t>> encode(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return std::nullopt;
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image) || bytes.isEmpty()) return std::nullopt;
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

std::optional<FrameImage> QtImageCodec::scaled(const FrameImage& image, int width, int height) {
    if (!hasPixels(image) || width < 1 || height < 1) return std::nullopt;
    auto result = view(image, false)
                      .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32);
    if (result.isNull()) return std::nullopt;
    const int rowBytes = width * 4;
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(rowBytes) * height);
    for (int y = 0; y < height; ++y) {
        std::memcpy(pixels->data() + static_cast<std::size_t>(y) * rowBytes, result.constScanLine(y), rowBytes);
    }
    return FrameImage{width, height, rowBytes, std::move(pixels)};
}

std::optional<std::vector<std::uint8_t>> QtImageCodec::png(const FrameImage& image) {
    if (!hasPixels(image)) return std::nullopt;
    // -1: the writer's default compression.
    return encode(view(image, allOpaque(image)), "png", -1);
}

std::optional<std::vector<std::uint8_t>> QtImageCodec::jpeg(const FrameImage& image, double quality) {
    if (!hasPixels(image)) return std::nullopt;
    const int percent = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100));
    return encode(view(image, true), "jpeg", percent);
}

}  // namespace platform
