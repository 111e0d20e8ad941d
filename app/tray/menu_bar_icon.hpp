#pragma once

#include "platform/window_system.hpp"

#include <optional>
#include <vector>

namespace app {

// MenuBarIcon: where the program's tray icon ended up, for the notice shown when the program
// is started again while it runs. Linux desktops have no camera housing to hide an icon
// behind; what they can lack is a system tray: without one the icon has no place at all.
struct MenuBarIcon {
    enum class Place {
        // The icon is in a tray on a screen.
        visible,
        // No tray shows it: the desktop has none, or its tray lies off every screen.
        noRoom,
    };

    // TrayState: what the desktop tells of the icon. frame is absent when the tray doesn't
    // say where its icons are (trays speaking the StatusNotifier protocol).
    struct TrayState {
        bool trayAvailable = false;
        bool iconShown = false;
        std::optional<platform::Rect> frame;
    };

    // place: noRoom without a tray or while the icon isn't shown; with a frame, visible when it
    // overlaps one of the screens (in the desktop's coordinates) and noRoom otherwise; without
    // a frame, visible, as the tray has taken the icon.
    static Place place(const TrayState& tray, const std::vector<platform::Rect>& screens);
};

}  // namespace app
