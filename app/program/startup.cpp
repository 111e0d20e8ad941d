#include "app/program/startup.hpp"

#include "app/host/setting_keys.hpp"

#include "platform/error.hpp"

namespace app {

namespace {

bool hasSeenWelcome(platform::Settings& settings) {
    try {
        return settings.getBool(setting::kHasSeenWelcome).value_or(false);
    } catch (const platform::Error&) {
        return false;
    }
}

}  // namespace

void startApplication(platform::Scheduler& main, platform::Settings& settings,
                      const std::function<void()>& startHost, WelcomeShowing& welcome) {
    startHost();
    main.post([&settings, &welcome] {
        if (!hasSeenWelcome(settings)) welcome.show();
    });
}

}  // namespace app
