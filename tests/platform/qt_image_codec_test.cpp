#include "platform/qt/qt_image_codec.hpp"

#include "platform/fake/fake_capture.hpp"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string_view>

namespace platform {
namespace {

QImage decode(const std::vector<std::uint8_t>& bytes, const char* format) {
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, format);
    return reader.read();
}

// noiseImage: an image that compresses badly, as a busy window does.
FrameImage noiseImage(int width, int height) {
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(width) * height * 4);
    std::mt19937 random(7);
    for (std::size_t at = 0; at < pixels->size(); ++at) {
        (*pixels)[at] = at % 4 == 3 ? 0xFF : static_cast<std::uint8_t>(random());
    }
    return FrameImage{width, height, width * 4, std::move(pixels)};
}

TEST(QtImageCodec, PNGKeepsSizeAndColourWithoutAnAlphaChannelForOpaqueImages) {
    QtImageCodec codec;
    const auto png = codec.png(solidImage(64, 40, 0xFF3366CC));
    ASSERT_TRUE(png);
    const auto image = decode(*png, "png");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 64);
    EXPECT_EQ(image.height(), 40);
    EXPECT_FALSE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixel(10, 10), 0xFF3366CCu);

    const auto translucent = codec.png(solidImage(8, 8, 0x803366CC));
    ASSERT_TRUE(translucent);
    EXPECT_TRUE(decode(*translucent, "png").hasAlphaChannel());
}

TEST(QtImageCodec, ScalesToExactlyTheAskedSizeAveragingThePixels) {
    // Alternating black and white columns shrink to grey, not to one of the two.
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(200 * 100 * 4);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            const std::uint8_t level = x % 2 == 0 ? 0 : 255;
            auto* p = pixels->data() + (y * 200 + x) * 4;
            p[0] = p[1] = p[2] = level;
            p[3] = 0xFF;
        }
    }
    QtImageCodec codec;
    const auto scaled = codec.scaled(FrameImage{200, 100, 800, pixels}, 50, 25);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->width, 50);
    EXPECT_EQ(scaled->height, 25);
    EXPECT_EQ(scaled->bytesPerRow, 200);
    const auto grey = (*scaled->pixels)[(12 * 50 + 25) * 4];
    EXPECT_GT(grey, 100);
    EXPECT_LT(grey, 155);
}

TEST(QtImageCodec, JPEGIsMuchSmallerThanPNGForABusyWindow) {
    QtImageCodec codec;
    const auto image = noiseImage(400, 300);
    const auto png = codec.png(image);
    const auto jpeg = codec.jpeg(image, 0.85);
    ASSERT_TRUE(png);
    ASSERT_TRUE(jpeg);
    EXPECT_LT(jpeg->size(), png->size());
    const auto decoded = decode(*jpeg, "jpeg");
    EXPECT_EQ(decoded.width(), 400);
    EXPECT_EQ(decoded.height(), 300);
}

TEST(QtImageCodec, RefusesImagesWithoutPixels) {
    QtImageCodec codec;
    const FrameImage empty{};
    const FrameImage short_{10, 10, 40, std::make_shared<std::vector<std::uint8_t>>(100)};
    for (const auto* image : {&empty, &short_}) {
        EXPECT_FALSE(codec.png(*image));
        EXPECT_FALSE(codec.jpeg(*image, 0.85));
        EXPECT_FALSE(codec.scaled(*image, 5, 5));
    }
}

}  // namespace
}  // namespace platform
