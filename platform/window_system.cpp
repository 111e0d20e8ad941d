#include "platform/window_system.hpp"

#include <algorithm>

namespace platform {

namespace {
// A window at or below this opacity is treated as see-through.
constexpr double kCoveringAlpha = 0.1;
}  // namespace

std::optional<Rect> windowBounds(WindowSystem& windows, WindowID id, bool onScreenOnly) {
    const auto entry = windows.window(id);
    if (!entry || !entry->bounds) return std::nullopt;
    if (onScreenOnly && !entry->onScreen) return std::nullopt;
    return entry->bounds;
}

bool isCovered(const WindowEntry& entry, int ownPID, Point point) {
    if (entry.layer != 0) return false;
    if (entry.ownerPID == ownPID) return false;
    if (entry.alpha && !(*entry.alpha > kCoveringAlpha)) return false;
    return entry.bounds && entry.bounds->contains(point);
}

bool isCoveredAt(WindowSystem& windows, WindowID id, int ownPID, Point point) {
    const auto above = windows.windowsAbove(id);
    if (!above) return false;
    return std::any_of(above->begin(), above->end(),
                       [&](const WindowEntry& entry) { return isCovered(entry, ownPID, point); });
}

}  // namespace platform
