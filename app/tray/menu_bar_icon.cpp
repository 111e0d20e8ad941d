#include "app/tray/menu_bar_icon.hpp"

#include <algorithm>

namespace app {

namespace {

bool overlaps(const platform::Rect& a, const platform::Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

}  // namespace

MenuBarIcon::Place MenuBarIcon::place(const TrayState& tray, const std::vector<platform::Rect>& screens) {
    if (!tray.trayAvailable || !tray.iconShown) return Place::noRoom;
    if (!tray.frame) return Place::visible;
    const auto onScreen = std::any_of(screens.begin(), screens.end(),
                                      [&](const platform::Rect& screen) { return overlaps(screen, *tray.frame); });
    return onScreen ? Place::visible : Place::noRoom;
}

}  // namespace app
