#include "platform/latest_frame.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace platform {
namespace {

using Clock = LatestFrame::Clock;
using std::chrono::seconds;

// solid: a BGRA image of one colour, 4 bytes per pixel.
FrameImage solid(int width, int height, std::uint32_t bgra = 0xFF204080) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        for (int b = 0; b < 4; ++b) pixels[i + b] = static_cast<std::uint8_t>(bgra >> (8 * b));
    }
    return FrameImage{width, height, width * 4,
                      std::make_shared<const std::vector<std::uint8_t>>(std::move(pixels))};
}

// withPixel: a copy of the image with one pixel's first byte replaced.
FrameImage withPixel(const FrameImage& image, int x, int y, std::uint8_t firstByte) {
    auto pixels = *image.pixels;
    pixels[static_cast<std::size_t>(y) * image.bytesPerRow + static_cast<std::size_t>(x) * 4] = firstByte;
    return FrameImage{image.width, image.height, image.bytesPerRow,
                      std::make_shared<const std::vector<std::uint8_t>>(std::move(pixels))};
}

// withCells: a copy with the first byte of the first `count` sampled cells (24 apart) changed.
FrameImage withCells(const FrameImage& image, int count) {
    auto changed = image;
    for (int i = 0; i < count; ++i) {
        const int cellsPerRow = (image.width + 23) / 24;
        changed = withPixel(changed, (i % cellsPerRow) * 24, (i / cellsPerRow) * 24, 0x00);
    }
    return changed;
}

TEST(FrameSignature, SamplesOnePixelPerCell) {
    struct Case {
        std::string_view name;
        int width, height, bytesPerRow;
        std::size_t cells;
    };
    const Case kCases[] = {
        {"48 × 48", 48, 48, 48 * 4, 4},
        {"47 × 47", 47, 47, 47 * 4, 4},
        {"49 × 49", 49, 49, 49 * 4, 9},
        {"1 × 1", 1, 1, 4, 1},
        {"wide rows with padding", 30, 2, 30 * 4 + 16, 2},
        {"width 0", 0, 10, 4, 0},
        {"height 0", 10, 0, 40, 0},
        {"fewer bytes per row than pixels", 10, 10, 9, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> pixels(
            static_cast<std::size_t>(std::max(c.bytesPerRow, 1)) * std::max(c.height, 1), 0x7F);
        EXPECT_EQ(frameSignature(pixels, c.width, c.height, c.bytesPerRow).size(), c.cells);
    }
}

TEST(FrameSignature, KeepsTheUpperFiveBitsOfEachByte) {
    // Bytes B, G, R, A of one pixel, read in the machine's (little-endian) order.
    const std::vector<std::uint8_t> pixel = {0x17, 0x2F, 0xFF, 0x08};
    EXPECT_EQ(frameSignature(pixel, 1, 1, 4), std::vector<std::uint32_t>{0x08F82810});
}

TEST(FrameSignature, ReadsTheLastByteOfNarrowPixels) {
    // Two bytes per pixel: the second byte of each sampled pixel counts.
    std::vector<std::uint8_t> pixels(25 * 2, 0);
    pixels[1] = 0xFF;
    pixels[24 * 2 + 1] = 0x0F;
    EXPECT_EQ(frameSignature(pixels, 25, 1, 50), (std::vector<std::uint32_t>{0xF8, 0x08}));
}

TEST(FrameSignature, RefusesBytesThatEndBeforeTheLastRow) {
    const std::vector<std::uint8_t> pixels(48 * 4 * 24, 0);  // rows 0 to 23 of a 48 × 48 image
    EXPECT_TRUE(frameSignature(pixels, 48, 48, 48 * 4).empty());
    EXPECT_TRUE(frameSignature(FrameImage{48, 48, 48 * 4, nullptr}).empty());
}

TEST(FrameSignature, CountsAChangeWhenMoreThanOneCellIn200Differs) {
    // 240 × 240 gives 10 × 10 cells; 480 × 240 gives 200; 480 × 480 gives 400.
    struct Case {
        std::string_view name;
        int width, height, changedCells;
        bool differs;
    };
    const Case kCases[] = {
        {"200 cells, 1 differs", 480, 240, 1, false},
        {"200 cells, 2 differ", 480, 240, 2, true},
        {"400 cells, 2 differ", 480, 480, 2, false},
        {"400 cells, 3 differ", 480, 480, 3, true},
        {"100 cells, 1 differs", 240, 240, 1, true},
        {"nothing differs", 240, 240, 0, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto before = solid(c.width, c.height);
        const auto after = withCells(before, c.changedCells);
        EXPECT_EQ(signaturesDiffer(frameSignature(before), frameSignature(after)), c.differs);
    }
    EXPECT_TRUE(signaturesDiffer({}, {1})) << "another length";
    EXPECT_FALSE(signaturesDiffer({}, {})) << "two empty signatures";
}

TEST(FrameSignature, IgnoresChangesInTheLowThreeBits) {
    const auto before = solid(48, 48, 0xFF808080);
    const auto after = solid(48, 48, 0xFF878787);
    EXPECT_EQ(frameSignature(before), frameSignature(after));
    EXPECT_NE(frameSignature(before), frameSignature(solid(48, 48, 0xFF888888)));
}

// A LatestFrame whose clock the test moves.
class LatestFrameTest : public testing::Test {
protected:
    Clock::time_point now_ = Clock::time_point{} + seconds(1000);
    LatestFrame frames_{[this] { return now_; }};

    void store(std::optional<FrameStatus> status, std::optional<FrameImage> image = std::nullopt) {
        frames_.store(FrameSample{status, std::move(image)});
    }
};

TEST_F(LatestFrameTest, StartsEmpty) {
    const auto state = frames_.state();
    EXPECT_FALSE(state.buffer);
    EXPECT_FALSE(state.status);
    EXPECT_FALSE(state.lastChange);
    EXPECT_LT(state.reported, now_);
}

TEST_F(LatestFrameTest, FirstCompleteFrameStoresItsImageAndCountsAsAChange) {
    const auto image = solid(48, 48);
    store(FrameStatus::complete, image);
    const auto state = frames_.state();
    ASSERT_TRUE(state.buffer);
    EXPECT_EQ(state.buffer->pixels, image.pixels) << "the image itself is kept, not a copy";
    EXPECT_EQ(state.status, FrameStatus::complete);
    EXPECT_EQ(state.reported, now_);
    EXPECT_EQ(state.lastChange, now_);
}

TEST_F(LatestFrameTest, IdleAfterCompleteKeepsTheImageAndMovesReported) {
    const auto image = solid(48, 48);
    store(FrameStatus::started, image);
    const auto changed = now_;
    now_ += seconds(1);
    store(FrameStatus::idle);
    const auto state = frames_.state();
    ASSERT_TRUE(state.buffer);
    EXPECT_EQ(state.buffer->pixels, image.pixels);
    EXPECT_EQ(state.status, FrameStatus::idle);
    EXPECT_EQ(state.reported, now_);
    EXPECT_EQ(state.lastChange, changed);
}

TEST_F(LatestFrameTest, StatusesWithoutAnImageDropTheBuffer) {
    for (const auto status : {FrameStatus::blank, FrameStatus::suspended, FrameStatus::stopped,
                              static_cast<FrameStatus>(9)}) {
        SCOPED_TRACE(static_cast<int>(status));
        store(FrameStatus::complete, solid(48, 48));
        now_ += seconds(1);
        store(status);
        const auto state = frames_.state();
        EXPECT_FALSE(state.buffer);
        EXPECT_EQ(state.status, status);
        EXPECT_EQ(state.reported, now_);
    }
}

TEST_F(LatestFrameTest, SampleWithoutStatusChangesNothing) {
    store(FrameStatus::complete, solid(48, 48));
    const auto before = frames_.state();
    now_ += seconds(1);
    store(std::nullopt, solid(96, 96));
    const auto after = frames_.state();
    EXPECT_EQ(after.buffer->pixels, before.buffer->pixels);
    EXPECT_EQ(after.status, before.status);
    EXPECT_EQ(after.reported, before.reported);
}

TEST_F(LatestFrameTest, CompleteFrameWithoutImageOnlyRecordsItsStatus) {
    const auto image = solid(48, 48);
    store(FrameStatus::complete, image);
    now_ += seconds(1);
    store(FrameStatus::complete);
    const auto state = frames_.state();
    EXPECT_EQ(state.buffer->pixels, image.pixels);
    EXPECT_EQ(state.reported, now_);
    EXPECT_EQ(state.lastChange, now_ - seconds(1));
}

TEST_F(LatestFrameTest, LastChangeMovesOnlyForVisibleChanges) {
    const auto first = solid(480, 240);  // 200 cells
    store(FrameStatus::complete, first);
    const auto start = now_;

    now_ += seconds(1);
    store(FrameStatus::complete, withCells(first, 1));
    EXPECT_EQ(frames_.lastChange(), start) << "1 cell in 200";

    now_ += seconds(1);
    store(FrameStatus::complete, solid(480, 240, 0xFF234383));
    EXPECT_EQ(frames_.lastChange(), start) << "only the low bits changed";

    now_ += seconds(1);
    store(FrameStatus::complete, withCells(first, 2));
    EXPECT_EQ(frames_.lastChange(), now_) << "2 cells in 200";

    now_ += seconds(1);
    store(FrameStatus::complete, solid(240, 240));
    EXPECT_EQ(frames_.lastChange(), now_) << "another size";
}

TEST_F(LatestFrameTest, SignatureOutlivesAnEmptiedBuffer) {
    const auto image = solid(48, 48);
    store(FrameStatus::complete, image);
    const auto changed = now_;
    frames_.clearBuffer();
    store(FrameStatus::suspended);
    now_ += seconds(1);
    store(FrameStatus::complete, image);
    const auto state = frames_.state();
    ASSERT_TRUE(state.buffer);
    EXPECT_EQ(state.lastChange, changed) << "the same picture after a gap is no change";
}

}  // namespace
}  // namespace platform
