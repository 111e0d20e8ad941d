#pragma once

#include "platform/frame.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace platform {

// frameSignature: a grid sample of an image for cheap change detection: the pixel at the top
// left of every 24 × 24 block, row by row, left to right, with the 3 low bits of every byte
// cleared so that tiny colour changes don't count. With 4 or more bytes per pixel a value is
// the pixel's first 4 bytes read as one 32-bit number in the machine's byte order; with fewer,
// the pixel's last byte. Bytes per pixel is bytesPerRow ÷ width.
//
// Returns an empty list when there are no pixels, width or height isn't positive, a pixel has
// no whole byte, or the bytes end before the last row does.
std::vector<std::uint32_t> frameSignature(std::span<const std::uint8_t> pixels, int width,
                                          int height, int bytesPerRow);
std::vector<std::uint32_t> frameSignature(const FrameImage& image);

// signaturesDiffer: whether two signatures show a visible change: they differ in length, or
// more than one value in 200 differs.
bool signaturesDiffer(const std::vector<std::uint32_t>& before,
                      const std::vector<std::uint32_t>& after);

// LatestFrame: the newest frame of one capture stream: the newest image that may be shown, the
// status and arrival time of the newest frame, and when the picture last changed visibly.
// Nothing else is kept per frame, so a stream may run for hours without growing anything.
//
// store() runs on the stream's thread; the readers on the main thread. One mutex guards every
// field and is held for the signature of one frame, the only per-frame work.
class LatestFrame {
public:
    using Clock = std::chrono::steady_clock;
    // Any thread may call it: store() reads it on the stream's thread.
    using Now = std::function<Clock::time_point()>;

    // State: a consistent copy of the fields, taken under the lock. The image shares its
    // pixels with the holder's, so a newer frame replacing it doesn't disturb the copy.
    struct State {
        std::optional<FrameImage> buffer;
        std::optional<FrameStatus> status;
        Clock::time_point reported;
        std::optional<Clock::time_point> lastChange;
    };

    explicit LatestFrame(Now now = Clock::now);
    LatestFrame(const LatestFrame&) = delete;
    LatestFrame& operator=(const LatestFrame&) = delete;

    // store: records one frame. A sample without a status is ignored entirely. Otherwise the
    // status and its arrival time are stored; a complete or started frame with an image
    // replaces the image and moves lastChange when its signature differs (signaturesDiffer)
    // from the last stored one; idle keeps the image; any other status drops it.
    void store(const FrameSample& sample);

    State state() const;
    // clearBuffer: drops the image (after a reconfiguration, so that no image of the old size
    // is used); the signature stays, so the next image is compared with the last one seen.
    void clearBuffer();
    std::optional<Clock::time_point> lastChange() const;

private:
    Now now_;
    mutable std::mutex mutex_;
    std::optional<FrameImage> buffer_;
    std::optional<FrameStatus> status_;
    // The clock's epoch stands for "never": far enough in the past, and safe to subtract from
    // now (time_point::min() would overflow). It only counts once a status is present.
    Clock::time_point reported_{};
    std::optional<Clock::time_point> lastChange_;
    std::vector<std::uint32_t> sample_;
};

}  // namespace platform
