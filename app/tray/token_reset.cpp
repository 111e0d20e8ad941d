#include "app/tray/token_reset.hpp"

#include "app/tray/client_setup.hpp"
#include "app/host/connection_settings.hpp"
#include "app/host/setting_keys.hpp"

#include <utility>

namespace app {

TokenReset::TokenReset(Dependencies dependencies) : dependencies_(std::move(dependencies)) {}

bool TokenReset::shown() const {
    return dependencies_.panel.client() == ClientSetup::otherHTTP;
}

void TokenReset::askReset() {
    confirming_.set(true);
}

void TokenReset::cancelReset() {
    confirming_.set(false);
}

void TokenReset::resetToken() {
    const auto token = makeAccessToken(dependencies_.random);
    dependencies_.settings.setString(setting::kToken, token);
    dependencies_.restartHost();
    dependencies_.panel.noteTokenReset();
    confirming_.set(false);
}

platform::Subscription TokenReset::subscribe(std::function<void()> onChange) {
    return confirming_.subscribe([onChange = std::move(onChange)](bool) { onChange(); });
}

}  // namespace app
