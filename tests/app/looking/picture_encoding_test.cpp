#include "app/looking/picture_encoding.hpp"

#include "platform/fake/fake_capture.hpp"
#include "platform/fake/fake_image_codec.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace app {
namespace {

TEST(PictureSize, TheLongestSideIsAtMost1568AndExactly1568WhenScaledDown) {
    struct Case {
        std::string_view name;
        int width, height;
        PixelSize want;
    };
    const Case kCases[] = {
        {"double-density laptop window", 3136, 1960, {1568, 980}},
        {"an uneven ratio rounds the short side only", 3000, 2001, {1568, 1046}},
        {"portrait", 2001, 3000, {1046, 1568}},
        {"exactly the limit", 1568, 1000, {1568, 1000}},
        {"small", 640, 400, {640, 400}},
        {"one pixel over", 1569, 1569, {1568, 1568}},
        {"a sliver keeps one pixel", 20000, 3, {1568, 1}},
        {"halves round up", 3136, 1961, {1568, 981}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pictureSize(c.width, c.height), c.want);
    }
    // Every size up to a 4K-wide window ends on exactly the limit.
    for (int width = 1569; width <= 4096; ++width) {
        for (const int height : {1, 999, 1567, 1568, width}) {
            const auto size = pictureSize(width, height);
            ASSERT_EQ(size.width, 1568) << width << "x" << height;
            ASSERT_LE(size.height, 1568) << width << "x" << height;
        }
    }
}

TEST(EncodePicture, ScalesLargeFramesThenEncodesAsPNG) {
    platform::FakeImageCodec codec;
    const auto encoded = encodePicture(codec, platform::solidImage(3136, 1960));
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->size, (PixelSize{1568, 980}));
    EXPECT_EQ(encoded->mimeType, "image/png");
    EXPECT_EQ(codec.calls(), (std::vector<std::string>{"scaled 1568x980", "png 1568x980"}));

    platform::FakeImageCodec small;
    ASSERT_TRUE(encodePicture(small, platform::solidImage(640, 400)));
    EXPECT_EQ(small.calls(), (std::vector<std::string>{"png 640x400"}));
}

TEST(EncodePicture, SwitchesToJPEGAboveAMillionBytesOfPNG) {
    struct Case {
        std::string_view name;
        std::size_t pngBytes;
        bool jpegFails;
        std::string_view wantType;
        std::size_t wantBytes;
    };
    const Case kCases[] = {
        {"just under", 999'999, false, "image/png", 999'999},
        {"exactly the limit stays PNG", 1'000'000, false, "image/png", 1'000'000},
        {"one byte over becomes JPEG", 1'000'001, false, "image/jpeg", 500},
        {"a JPEG that can't be written keeps the PNG", 1'000'001, true, "image/png", 1'000'001},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        platform::FakeImageCodec codec;
        codec.pngBytes = c.pngBytes;
        codec.jpegBytes = 500;
        codec.jpegFails = c.jpegFails;
        const auto encoded = encodePicture(codec, platform::solidImage(800, 500));
        ASSERT_TRUE(encoded);
        EXPECT_EQ(encoded->mimeType, c.wantType);
        EXPECT_EQ(encoded->data.size(), c.wantBytes);
        if (c.wantType == "image/jpeg") {
            EXPECT_EQ(codec.calls().back(), "jpeg 800x500 0.85");
        }
    }
}

TEST(EncodePicture, GivesNothingWhenTheFrameCantBeScaledOrWritten) {
    platform::FakeImageCodec unscalable;
    unscalable.scaleFails = true;
    EXPECT_FALSE(encodePicture(unscalable, platform::solidImage(3136, 1960)));

    platform::FakeImageCodec unwritable;
    unwritable.pngFails = true;
    EXPECT_FALSE(encodePicture(unwritable, platform::solidImage(640, 400)));
}

}  // namespace
}  // namespace app
