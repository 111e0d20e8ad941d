#include "platform/capture_stream.hpp"

#include <cmath>

namespace platform {

StreamConfiguration streamConfiguration(double width, double height) {
    return StreamConfiguration{
        .width = static_cast<int>(std::lround(width)),
        .height = static_cast<int>(std::lround(height)),
        .minimumFrameInterval = std::chrono::milliseconds(200),
        .showsCursor = true,
    };
}

}  // namespace platform
