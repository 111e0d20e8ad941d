#include "platform/latest_frame.hpp"

#include <cstddef>
#include <cstring>
#include <utility>

namespace platform {

namespace {
constexpr int kCellSize = 24;
constexpr std::uint32_t kSignificantBits = 0xF8F8F8F8;
// A change is visible when more than one sampled cell in this many differs.
constexpr std::size_t kCellsPerChange = 200;
}  // namespace

std::vector<std::uint32_t> frameSignature(std::span<const std::uint8_t> pixels, int width,
                                          int height, int bytesPerRow) {
    if (pixels.empty() || width <= 0 || height <= 0 || bytesPerRow <= 0) return {};
    const auto rowBytes = static_cast<std::size_t>(bytesPerRow);
    const auto bytesPerPixel = rowBytes / static_cast<std::size_t>(width);
    if (bytesPerPixel == 0) return {};
    // The last sampled row must lie inside the bytes; a short buffer gives no signature rather
    // than a read past its end.
    const auto lastRow = static_cast<std::size_t>((height - 1) / kCellSize * kCellSize);
    const auto lastByte = lastRow * rowBytes + static_cast<std::size_t>(width - 1) / kCellSize *
                                                   kCellSize * bytesPerPixel + bytesPerPixel;
    if (pixels.size() < lastByte) return {};

    std::vector<std::uint32_t> signature;
    signature.reserve(static_cast<std::size_t>(width / kCellSize + 1) *
                      static_cast<std::size_t>(height / kCellSize + 1));
    for (int y = 0; y < height; y += kCellSize) {
        for (int x = 0; x < width; x += kCellSize) {
            const auto offset = static_cast<std::size_t>(y) * rowBytes +
                                static_cast<std::size_t>(x) * bytesPerPixel;
            if (bytesPerPixel >= 4) {
                std::uint32_t value = 0;
                std::memcpy(&value, pixels.data() + offset, sizeof value);
                signature.push_back(value & kSignificantBits);
            } else {
                signature.push_back(pixels[offset + bytesPerPixel - 1] & kSignificantBits);
            }
        }
    }
    return signature;
}

std::vector<std::uint32_t> frameSignature(const FrameImage& image) {
    if (!image.pixels) return {};
    return frameSignature(*image.pixels, image.width, image.height, image.bytesPerRow);
}

bool signaturesDiffer(const std::vector<std::uint32_t>& before,
                      const std::vector<std::uint32_t>& after) {
    if (before.size() != after.size()) return true;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i]) ++differing;
    }
    return before.size() < kCellsPerChange * differing;
}

LatestFrame::LatestFrame(Now now) : now_(std::move(now)) {}

void LatestFrame::store(const FrameSample& sample) {
    if (!sample.status) return;
    std::lock_guard lock(mutex_);
    const auto at = now_();
    status_ = sample.status;
    reported_ = at;
    switch (*sample.status) {
    case FrameStatus::complete:
    case FrameStatus::started: {
        if (!sample.image) return;
        buffer_ = sample.image;
        auto signature = frameSignature(*sample.image);
        if (signaturesDiffer(sample_, signature)) lastChange_ = at;
        sample_ = std::move(signature);
        return;
    }
    case FrameStatus::idle:
        return;
    default:
        buffer_.reset();
        return;
    }
}

LatestFrame::State LatestFrame::state() const {
    std::lock_guard lock(mutex_);
    return State{buffer_, status_, reported_, lastChange_};
}

void LatestFrame::clearBuffer() {
    std::lock_guard lock(mutex_);
    buffer_.reset();
}

std::optional<LatestFrame::Clock::time_point> LatestFrame::lastChange() const {
    std::lock_guard lock(mutex_);
    return lastChange_;
}

}  // namespace platform
