#include "app/looking/overlay_geometry.hpp"

#include <algorithm>

namespace app {

platform::Rect ringFrame(platform::Point spot) {
    return {spot.x - kRingWindowSize / 2, spot.y - kRingWindowSize / 2, kRingWindowSize, kRingWindowSize};
}

platform::Rect labelFrame(platform::Point spot, platform::Size size,
                          const std::vector<platform::Screen>& screens) {
    platform::Rect frame{spot.x - size.width / 2, spot.y + kLabelGap, size.width, size.height};
    const auto* screen = platform::screenContaining(screens, spot);
    if (!screen) return frame;
    const auto& bounds = screen->frame;
    frame.x = std::max(bounds.x + kLabelScreenMargin,
                       std::min(frame.x, bounds.right() - size.width - kLabelScreenMargin));
    if (frame.bottom() > bounds.bottom() - kLabelScreenMargin) {
        frame.y = spot.y - kLabelGap - size.height;
    }
    return frame;
}

}  // namespace app
