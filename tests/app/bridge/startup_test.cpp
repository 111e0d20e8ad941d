#include "app/program/startup.hpp"

#include "app/host/setting_keys.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {
namespace {

// What the start-up did, in order.
class Steps final : public WelcomeShowing {
public:
    void show() override { taken.push_back("welcome"); }
    std::vector<std::string> taken;
};

TEST(Startup, StartsTheHostAndOpensTheWelcomeWindowOnTheFirstRunOnly) {
    const struct {
        std::string_view name;
        std::optional<std::string_view> hasSeenWelcome;
        std::vector<std::string> steps;
    } kCases[] = {
        {"first run", std::nullopt, {"host", "welcome"}},
        {"seen", "true", {"host"}},
        {"not seen", "false", {"host", "welcome"}},
        {"unreadable value", "maybe", {"host", "welcome"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        platform::VirtualScheduler main;
        platform::MemorySettings settings;
        if (c.hasSeenWelcome) settings.setString(setting::kHasSeenWelcome, *c.hasSeenWelcome);
        Steps steps;

        startApplication(main, settings, [&] { steps.taken.push_back("host"); }, steps);
        EXPECT_EQ(steps.taken, std::vector<std::string>{"host"}) << "the welcome check waits for the main loop";
        main.runUntilIdle();
        EXPECT_EQ(steps.taken, c.steps);
    }
}

}  // namespace
}  // namespace app
