#include "app/tray/welcome_model.hpp"

#include "app/host/setting_keys.hpp"
#include "app/tray/running_notice_model.hpp"
#include "app/tray/setup_prompt.hpp"

#include "platform/error.hpp"

#include <utility>

namespace app {

WelcomeModel::WelcomeModel(Dependencies dependencies) : dependencies_(std::move(dependencies)) {
    hostClient_ = dependencies_.host.lastClient().subscribe([this](const auto&) { changed(); });
}

platform::Subscription WelcomeModel::subscribe(std::function<void()> onChange) {
    return revision_.subscribe([onChange = std::move(onChange)](std::uint64_t) { onChange(); });
}

void WelcomeModel::changed() {
    revision_.setAlways(revision_.get() + 1);
}

bool WelcomeModel::connected() const {
    return dependencies_.host.lastClient().get().has_value();
}

std::string_view WelcomeModel::copyButtonTitle() const {
    return copied_ ? "Copied" : "Copy Prompt";
}

WelcomeModel::StatusLine WelcomeModel::statusLine() const {
    if (connected()) return StatusLine::connected;
    if (copied_) return StatusLine::waiting;
    return StatusLine::none;
}

std::string WelcomeModel::statusText() const {
    switch (statusLine()) {
        case StatusLine::connected:
            return "Connected: " + *dependencies_.host.lastClient().get();
        case StatusLine::waiting:
            return std::string(kWaiting);
        case StatusLine::none:
            break;
    }
    return {};
}

WelcomeModel::TrayNote WelcomeModel::trayNote() const {
    const auto place = dependencies_.iconPlace ? dependencies_.iconPlace() : MenuBarIcon::Place::visible;
    if (place == MenuBarIcon::Place::visible) return {kTrayNote, std::nullopt};
    return {RunningNoticeText::sentence(place), RunningNoticeText::tip(place)};
}

void WelcomeModel::copySetupPrompt() {
    dependencies_.clipboard.setText(setupPrompt(dependencies_.process, dependencies_.settings));
    copied_ = true;
    changed();
}

void WelcomeModel::tryIt() {
    startTryIt(dependencies_.tryIt, [](bool) {});
}

void WelcomeModel::markSeen() {
    try {
        dependencies_.settings.setBool(setting::kHasSeenWelcome, true);
    } catch (const platform::Error&) {
    }
}

}  // namespace app
