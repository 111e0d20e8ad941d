#include "platform/session/desktop_session.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace platform {
namespace {

// What an AI app passes to the servers it starts, unless told otherwise.
const Environment kBareEnvironment{{"HOME", "/home/ada"}, {"LOGNAME", "ada"}, {"PATH", "/usr/bin:/bin"},
                                   {"SHELL", "/bin/bash"}, {"TERM", "xterm"},    {"USER", "ada"}};

// What a desktop session publishes in the user's service manager.
const Environment kManagerEnvironment{{"DISPLAY", ":0"},
                                      {"XAUTHORITY", "/run/user/1000/.mutter-Xwaylandauth.X1"},
                                      {"WAYLAND_DISPLAY", "wayland-0"},
                                      {"XDG_RUNTIME_DIR", "/run/user/1000"},
                                      {"XDG_CURRENT_DESKTOP", "GNOME"},
                                      {"XDG_CONFIG_HOME", "/home/ada/elsewhere"},
                                      {"PATH", "/usr/local/bin:/usr/bin"}};

const SessionFolders kFolders{"/home/ada/.config", "/run/user/1000"};

Environment with(Environment environment, const Environment& changes) {
    for (const auto& [name, value] : changes) environment.insert_or_assign(name, value);
    return environment;
}

TEST(DesktopSessionEnvironment, FindsTheSessionWhereTheBridgeHasNone) {
    const struct {
        const char* name;
        Environment own;
        Environment manager;
        SessionFolders folders;
        bool asksManager;
        std::optional<Environment> want;
    } kCases[] = {
        {"the session from the manager, the bridge's own variables first", kBareEnvironment, kManagerEnvironment,
         kFolders, true,
         with(kBareEnvironment, {{"DISPLAY", ":0"},
                                 {"XAUTHORITY", "/run/user/1000/.mutter-Xwaylandauth.X1"},
                                 {"WAYLAND_DISPLAY", "wayland-0"},
                                 {"XDG_RUNTIME_DIR", "/run/user/1000"},
                                 {"XDG_CURRENT_DESKTOP", "GNOME"},
                                 {"XDG_CONFIG_HOME", "/home/ada/.config"}})},
        {"a display of its own: the manager isn't asked", with(kBareEnvironment, {{"DISPLAY", ":5"}}),
         kManagerEnvironment, kFolders, false,
         with(kBareEnvironment,
              {{"DISPLAY", ":5"}, {"XDG_RUNTIME_DIR", "/run/user/1000"}, {"XDG_CONFIG_HOME", "/home/ada/.config"}})},
        {"an empty display counts as none", with(kBareEnvironment, {{"DISPLAY", ""}}), {{"DISPLAY", ":0"}}, kFolders,
         true,
         with(kBareEnvironment,
              {{"DISPLAY", ":0"}, {"XDG_RUNTIME_DIR", "/run/user/1000"}, {"XDG_CONFIG_HOME", "/home/ada/.config"}})},
        {"the bridge's runtime folder stays", with(kBareEnvironment, {{"XDG_RUNTIME_DIR", "/tmp/mine"}}),
         {{"DISPLAY", ":0"}, {"XDG_RUNTIME_DIR", "/run/user/1000"}}, kFolders, true,
         with(kBareEnvironment,
              {{"DISPLAY", ":0"}, {"XDG_RUNTIME_DIR", "/tmp/mine"}, {"XDG_CONFIG_HOME", "/home/ada/.config"}})},
        {"the session's runtime folder before the system's", kBareEnvironment,
         {{"DISPLAY", ":0"}, {"XDG_RUNTIME_DIR", "/tmp/session"}}, kFolders, true,
         with(kBareEnvironment,
              {{"DISPLAY", ":0"}, {"XDG_RUNTIME_DIR", "/tmp/session"}, {"XDG_CONFIG_HOME", "/home/ada/.config"}})},
        {"no runtime folder anywhere", kBareEnvironment, {{"DISPLAY", ":0"}}, {"/home/ada/.config", std::nullopt}, true,
         with(kBareEnvironment, {{"DISPLAY", ":0"}, {"XDG_CONFIG_HOME", "/home/ada/.config"}})},
        {"a Wayland session without X", kBareEnvironment, {{"WAYLAND_DISPLAY", "wayland-0"}}, kFolders, true,
         std::nullopt},
        {"no manager", kBareEnvironment, {}, kFolders, true, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<Environment> asked;
        const auto found = desktopSessionEnvironment(c.own, c.folders, [&](const Environment& environment) {
            asked.push_back(environment);
            return c.manager;
        });
        EXPECT_EQ(found, c.want);
        ASSERT_EQ(asked.size(), c.asksManager ? 1u : 0u);
        if (c.asksManager) {
            // The manager is found through the user's bus in the runtime folder.
            auto expected = c.own;
            if (!isSet(expected, "XDG_RUNTIME_DIR") && c.folders.systemRuntime) {
                expected.insert_or_assign("XDG_RUNTIME_DIR", c.folders.systemRuntime->string());
            }
            EXPECT_EQ(asked.front(), expected);
        }
    }
}

}  // namespace
}  // namespace platform
