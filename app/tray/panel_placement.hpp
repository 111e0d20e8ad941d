#pragma once

#include "platform/window_system.hpp"

#include <optional>

namespace app {

// trayPanelOrigin: where the top-left corner of the tray panel goes, given the tray icon's
// frame on screen (none, or an empty frame, when the tray doesn't tell), the panel's size and
// the free area of the icon's screen. The panel is centred on the icon and hangs below it when
// the icon is in the upper half of the screen, above it otherwise (a tray at the bottom edge);
// then it is moved inside the free area, its top-left corner winning when it doesn't fit.
// Without an icon frame it goes to the free area's top-right corner.
platform::Point trayPanelOrigin(std::optional<platform::Rect> icon, double width, double height,
                                platform::Rect available);

}  // namespace app
