#pragma once

#include "app/tray/menu_bar_icon.hpp"

#include <optional>
#include <string_view>

namespace app {

// RunningNoticeText: what the notice says when the program is started again while it runs:
// that it runs, where its icon is and, when the icon can't be seen, what the user can do about
// it on a Linux desktop.
struct RunningNoticeText {
    static constexpr std::string_view kTitle = "Vantor MCP is running";
    static constexpr std::string_view kVisible =
        "Its icon is in the system tray of your desktop's panel. Click it to open Vantor MCP.";
    static constexpr std::string_view kNoRoom =
        "Its icon is hidden: your desktop shows no system tray, so there's no room for it.";
    static constexpr std::string_view kTip =
        "To see it, turn on the system tray (notification area) in your panel's settings, or install "
        "a tray or an AppIndicator extension for your desktop.";
    static constexpr std::string_view kDone = "Done";

    // sentence: where the icon is.
    static std::string_view sentence(MenuBarIcon::Place place);
    // tip: how to make the icon seen; none while it is.
    static std::optional<std::string_view> tip(MenuBarIcon::Place place);
    // showsSketch: the drawing of the tray with the icon in it, only while it is there.
    static bool showsSketch(MenuBarIcon::Place place) { return place == MenuBarIcon::Place::visible; }
};

}  // namespace app
