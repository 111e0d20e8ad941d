#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// FrameStatus: what one frame of a capture stream says about the window. The numbers are part
// of the contract: a source may report a value outside this list, which readers must treat as
// "no image".
enum class FrameStatus : int {
    complete = 0,   // a new image
    idle = 1,       // nothing changed since the last image
    blank = 2,      // nothing to show
    suspended = 3,  // the window is hidden (minimized, on another desktop)
    started = 4,    // the first image of the stream
    stopped = 5,    // the stream has ended
};

// FrameImage: an immutable picture, four bytes per pixel in the order blue, green, red, alpha,
// rows top to bottom, each bytesPerRow long. Copies share the pixels.
struct FrameImage {
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> pixels;
};

// FrameSample: one frame as a capture stream delivers it: its status (absent when the source
// couldn't tell) and, for complete and started frames, its image.
struct FrameSample {
    std::optional<FrameStatus> status;
    std::optional<FrameImage> image;
};

}  // namespace platform
