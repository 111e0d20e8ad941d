#include "app/tray/panel_placement.hpp"

#include <algorithm>

namespace app {

namespace {

// clampInto: start moved so that [start, start + length) lies in [low, high) where it can;
// low wins when it can't.
double clampInto(double start, double length, double low, double high) {
    return std::max(low, std::min(start, high - length));
}

}  // namespace

platform::Point trayPanelOrigin(std::optional<platform::Rect> icon, double width, double height,
                                platform::Rect available) {
    platform::Point origin{available.right() - width, available.y};
    if (icon && icon->width > 0 && icon->height > 0) {
        const double iconMiddle = icon->y + icon->height / 2;
        const bool hangsBelow = iconMiddle < available.y + available.height / 2;
        origin.x = icon->x + icon->width / 2 - width / 2;
        origin.y = hangsBelow ? icon->bottom() : icon->y - height;
    }
    return {clampInto(origin.x, width, available.x, available.right()),
            clampInto(origin.y, height, available.y, available.bottom())};
}

}  // namespace app
