#include "app/tray/running_notice_model.hpp"

namespace app {

std::string_view RunningNoticeText::sentence(MenuBarIcon::Place place) {
    return place == MenuBarIcon::Place::visible ? kVisible : kNoRoom;
}

std::optional<std::string_view> RunningNoticeText::tip(MenuBarIcon::Place place) {
    if (place == MenuBarIcon::Place::visible) return std::nullopt;
    return kTip;
}

}  // namespace app
