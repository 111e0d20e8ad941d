#pragma once

#include "app/common/onboarding.hpp"
#include "platform/scheduler.hpp"
#include "platform/settings.hpp"

#include <functional>

// The program's start-up.
namespace app {

// startApplication: the program's start-up steps, in this order, none waiting for another:
// startHost runs at once (it only starts the host, whose listener reports to HostStatus
// later); then, on a later turn of the main loop, the welcome window opens unless the setting
// "hasSeenWelcome" is true (a store that can't be read counts as a first run). Main thread;
// keeps references to main, settings and welcome until the queued check has run.
void startApplication(platform::Scheduler& main, platform::Settings& settings,
                      const std::function<void()>& startHost, WelcomeShowing& welcome);

}  // namespace app
