#include "app/tray/menu_model.hpp"

#include "app/host/setting_keys.hpp"
#include "app/tray/setup_prompt.hpp"
#include "tests/app/looking/try_runs.hpp"

#include "platform/fake/fake_desktop.hpp"
#include "platform/fake/fixed_process_info.hpp"
#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace app {
namespace {

using namespace std::chrono_literals;

// A share as the window share records it.
WindowShare::Sharing sharedWith(std::string client, platform::Scheduler::Clock::time_point until) {
    return {.window = {.id = 7, .pid = 70, .app = "Editor", .title = "Notes"}, .until = until, .grant = platform::ShareGrant::fiveMinutes,
            .client = std::move(client)};
}

// The time of day in UTC as hours and minutes, a 24-hour format.
std::string utcTime(platform::Scheduler::WallClock::time_point at) {
    const auto seconds = platform::Scheduler::WallClock::to_time_t(at);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[8];
    std::strftime(text, sizeof text, "%H:%M", &parts);
    return text;
}

class MenuModelTest : public testing::Test {
protected:
    std::unique_ptr<MenuModel> makeModel() {
        return std::make_unique<MenuModel>(MenuModel::Dependencies{
            main, host, sharing, [this] { stopSharing(); }, settings, clipboard, process, random,
            [this] { return runs.run(); }, utcTime});
    }

    // The host records a client as it does when a request names one: the name, then the setting.
    void hostRecords(const std::string& client) {
        host.lastClient().set(client);
        settings.setBool(setting::kHasConnectedClient, true);
        main.runUntilIdle();
    }

    void stopSharing() {
        ++stops;
        sharing.set(std::nullopt);
    }

    platform::VirtualScheduler main;
    HostStatus host;
    platform::Observed<std::optional<WindowShare::Sharing>> sharing;
    int stops = 0;
    platform::MemorySettings settings;
    platform::FakeClipboard clipboard;
    platform::FixedProcessInfo process{"/usr/bin/vantor-mcp"};
    platform::FixedRandom random;
    test::TryRuns runs{main};
    std::unique_ptr<MenuModel> model = makeModel();
};

TEST_F(MenuModelTest, StatusFollowsTheHost) {
    const struct {
        const char* name;
        bool running;
        std::optional<std::string> client;
        const char* status;
        MenuModel::StatusColor colour;
    } kCases[] = {
        {"not started", false, std::nullopt, "Not running", MenuModel::StatusColor::orange},
        {"listening, no client yet", true, std::nullopt, "Ready for your AI", MenuModel::StatusColor::green},
        {"a client connected", true, "Claude Code", "Connected: Claude Code", MenuModel::StatusColor::green},
        {"stopped after a client", false, "Claude Code", "Not running", MenuModel::StatusColor::orange},
    };
    std::uint64_t generation = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        host.apply({.generation = ++generation,
                    .state = c.running ? ListenerReport::State::ready : ListenerReport::State::cancelled});
        host.lastClient().set(c.client);
        EXPECT_EQ(model->statusText(), c.status);
        EXPECT_EQ(model->statusColor(), c.colour);
    }
}

TEST_F(MenuModelTest, TooltipShowsThePortSettingOrTheProblem) {
    const struct {
        const char* name;
        std::optional<std::string> port;
        const char* tooltip;
    } kCases[] = {
        {"no port setting", std::nullopt, "Listening on 127.0.0.1:47293"},
        {"port 0", "0", "Listening on 127.0.0.1:47293"},
        {"port set", "50123", "Listening on 127.0.0.1:50123"},
        {"unreadable port", "many", "Listening on 127.0.0.1:47293"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.port) settings.setString(setting::kPort, *c.port);
        EXPECT_EQ(model->headerTooltip(), c.tooltip);
    }

    host.apply({.generation = 1, .state = ListenerReport::State::failed, .problem = "Port 47293: Address in use"});
    EXPECT_EQ(model->headerTooltip(), "Port 47293: Address in use");
    EXPECT_EQ(model->statusText(), "Not running");
    EXPECT_EQ(model->statusColor(), MenuModel::StatusColor::orange);
}

TEST_F(MenuModelTest, HostChangesAndShareChangesNotifyThePanel) {
    int changes = 0;
    const auto subscription = model->subscribe([&] { ++changes; });
    host.apply({.generation = 1, .state = ListenerReport::State::ready});
    EXPECT_EQ(changes, 1);
    host.lastClient().set("Cursor");
    EXPECT_GE(changes, 2);
    const int before = changes;
    sharing.set(sharedWith("Cursor", main.now() + 30s));
    EXPECT_EQ(changes, before + 1);
}

TEST_F(MenuModelTest, ShareLineRoundsTheEndUpToTheMinute) {
    EXPECT_FALSE(model->sharing());
    EXPECT_EQ(model->shareLine(), std::nullopt);

    // The virtual wall clock starts at midnight.
    const struct {
        const char* name;
        std::chrono::milliseconds endsAfter;
        const char* line;
    } kCases[] = {
        {"on the minute", 14h + 3min, "Claude until 14:03"},
        {"a second past", 14h + 3min + 1s, "Claude until 14:04"},
        {"a millisecond past", 14h + 3min + 1ms, "Claude until 14:04"},
        {"a second before", 14h + 2min + 59s, "Claude until 14:03"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        sharing.set(sharedWith("Claude", main.now() + c.endsAfter));
        EXPECT_TRUE(model->sharing());
        EXPECT_EQ(model->shareLine(), c.line);
    }

    // The line follows the clock: the share's end stays where it is as time passes.
    main.advance(1h);
    EXPECT_EQ(model->shareLine(), "Claude until 14:03");
}

TEST_F(MenuModelTest, StopSharingOnlyStopsTheShare) {
    sharing.set(sharedWith("Claude", main.now() + 300s));
    model->stopSharing();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(model->sharing());
    EXPECT_EQ(model->shareLine(), std::nullopt);
    EXPECT_EQ(model->tryResult(), std::nullopt);
    EXPECT_EQ(model->copied(), std::nullopt);
}

TEST_F(MenuModelTest, ConnectSectionOpensUntilAClientConnectsThenFollowsTheUsersChoice) {
    int changes = 0;
    const auto subscription = model->subscribe([&] { ++changes; });
    EXPECT_TRUE(model->connectSectionExpanded()) << "a fresh installation";

    hostRecords("Claude Code");
    EXPECT_FALSE(model->connectSectionExpanded()) << "closes by itself once a client connected";
    EXPECT_GE(changes, 1);

    model->toggleConnectSection();
    EXPECT_TRUE(model->connectSectionExpanded());
    EXPECT_EQ(settings.getString(setting::kConnectSection), "open");
    hostRecords("Cursor");
    EXPECT_TRUE(model->connectSectionExpanded()) << "the user's choice wins over connections";

    model->toggleConnectSection();
    EXPECT_FALSE(model->connectSectionExpanded());
    EXPECT_EQ(settings.getString(setting::kConnectSection), "closed");
    EXPECT_FALSE(makeModel()->connectSectionExpanded()) << "the choice is kept";
}

TEST_F(MenuModelTest, ConnectSectionReadsTheStoredChoice) {
    const struct {
        const char* name;
        std::optional<std::string> section;
        bool connected;
        bool expanded;
    } kCases[] = {
        {"fresh", std::nullopt, false, true},
        {"connected, never chosen", "", true, false},
        {"open and connected", "open", true, true},
        {"closed, never connected", "closed", false, false},
        {"an unknown value closes", "wide", false, false},
        {"letter case counts", "Open", false, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        platform::MemorySettings store;
        if (c.section) store.setString(setting::kConnectSection, *c.section);
        store.setBool(setting::kHasConnectedClient, c.connected);
        const MenuModel fresh({main, host, sharing, {}, store, clipboard, process, random, {}, utcTime});
        EXPECT_EQ(fresh.connectSectionExpanded(), c.expanded);
    }
}

TEST_F(MenuModelTest, RefreshOnOpeningSeesAConnectionMadeMeanwhile) {
    settings.setBool(setting::kHasConnectedClient, true);
    EXPECT_TRUE(model->connectSectionExpanded());
    model->refresh();
    EXPECT_FALSE(model->connectSectionExpanded());
}

TEST_F(MenuModelTest, CopyingTheSetupPromptPutsItOnTheClipboard) {
    settings.setString(setting::kToken, std::string(48, 'f'));
    EXPECT_EQ(model->promptRow(), (CopyRow{"doc.on.doc", "Copy Setup Prompt"}));
    model->copySetupPrompt();
    EXPECT_EQ(clipboard.text(), setupPrompt(process, settings));
    EXPECT_EQ(clipboard.text().find(std::string(48, 'f')), std::string::npos);
    EXPECT_EQ(model->copied(), "prompt");
    EXPECT_EQ(model->promptRow(), (CopyRow{"checkmark", "Copied"}));
    EXPECT_EQ(model->settingsRow(), (CopyRow{"doc.on.doc", "Copy Settings"}));

    // No timer takes "Copied" back.
    main.advance(1h);
    EXPECT_EQ(model->promptRow(), (CopyRow{"checkmark", "Copied"}));
}

TEST_F(MenuModelTest, CopiedStaysUntilAnotherCopyOrAnotherClient) {
    model->copySetupPrompt();
    model->copyClientSettings();
    EXPECT_EQ(model->copied(), "claudeCode");
    EXPECT_EQ(model->promptRow().title, "Copy Setup Prompt");
    EXPECT_EQ(model->settingsRow(), (CopyRow{"checkmark", "Copied"}));
    EXPECT_EQ(clipboard.text(), "claude mcp add --scope user vantor-mcp -- '/usr/bin/vantor-mcp' --stdio");

    model->setClient(ClientSetup::claudeCode);
    EXPECT_EQ(model->copied(), "claudeCode") << "picking the same client changes nothing";

    model->setClient(ClientSetup::cursor);
    EXPECT_EQ(model->copied(), std::nullopt);
    EXPECT_EQ(model->promptRow().title, "Copy Setup Prompt");
    EXPECT_EQ(model->settingsRow().title, "Copy Settings");
}

TEST_F(MenuModelTest, ATokenResetClearsCopiedAndStaysNoted) {
    model->setClient(ClientSetup::otherHTTP);
    model->copyClientSettings();
    int changes = 0;
    const auto subscription = model->subscribe([&] { ++changes; });
    EXPECT_FALSE(model->tokenWasReset());
    model->noteTokenReset();
    EXPECT_EQ(model->copied(), std::nullopt) << "the copied settings held the old token";
    EXPECT_EQ(model->settingsRow().title, "Copy Settings");
    EXPECT_TRUE(model->tokenWasReset());
    EXPECT_EQ(changes, 1);
    model->copySetupPrompt();
    EXPECT_TRUE(model->tokenWasReset()) << "the note stays for the panel's life";
    EXPECT_FALSE(makeModel()->tokenWasReset());
}

TEST_F(MenuModelTest, SettingsAreThoseOfThePickedClient) {
    model->setClient(ClientSetup::vsCode);
    model->copyClientSettings();
    EXPECT_EQ(clipboard.text(), ClientSetup(ClientSetup::vsCode).settings(process, settings, random));
    EXPECT_EQ(model->copied(), "vsCode");

    model->setClient(ClientSetup::otherHTTP);
    model->copyClientSettings();
    EXPECT_EQ(clipboard.text(), "URL: http://127.0.0.1:47293/mcp\nHeader: Authorization: Bearer " +
                                    *settings.getString(setting::kToken));
}

TEST_F(MenuModelTest, PickedClientIsKeptAcrossRuns) {
    EXPECT_EQ(model->client(), ClientSetup::claudeCode);
    model->setClient(ClientSetup::windsurf);
    EXPECT_EQ(settings.getString(setting::kConnectClient), "windsurf");
    EXPECT_EQ(makeModel()->client(), ClientSetup::windsurf);

    settings.setString(setting::kConnectClient, "notAClient");
    EXPECT_EQ(makeModel()->client(), ClientSetup::claudeCode);
}

TEST_F(MenuModelTest, ManualSetupStartsClosedWithEveryPanel) {
    EXPECT_FALSE(model->showManualSetup());
    model->toggleManualSetup();
    EXPECT_TRUE(model->showManualSetup());
    EXPECT_FALSE(makeModel()->showManualSetup());
    model->toggleManualSetup();
    EXPECT_FALSE(model->showManualSetup());
}

TEST_F(MenuModelTest, TryItShowsTheOutcomeOfTheRunThatEndsLast) {
    int changes = 0;
    const auto subscription = model->subscribe([&] { ++changes; });
    model->runTryIt();
    ASSERT_EQ(runs.answers.size(), 1u);
    EXPECT_EQ(model->tryResult(), std::nullopt) << "nothing until the run ends";

    runs.answers[0].resolve(true);
    main.runUntilIdle();
    EXPECT_EQ(model->tryResult(), "It works. The picture was thrown away.");
    EXPECT_EQ(changes, 1);

    // Two runs at once: each sets the result when it ends; a declined run clears it.
    model->runTryIt();
    model->runTryIt();
    ASSERT_EQ(runs.answers.size(), 3u);
    runs.answers[2].resolve(true);
    main.runUntilIdle();
    EXPECT_EQ(model->tryResult(), "It works. The picture was thrown away.");
    runs.answers[1].resolve(false);
    main.runUntilIdle();
    EXPECT_EQ(model->tryResult(), std::nullopt);
}

TEST_F(MenuModelTest, TryItThatThrowsCountsAsNotWorked) {
    MenuModel failing({main, host, sharing, {}, settings, clipboard, process, random,
                       []() -> platform::Task<bool> {
                           throw std::runtime_error("no picker");
                           co_return true;
                       },
                       utcTime});
    failing.runTryIt();
    main.runUntilIdle();
    EXPECT_EQ(failing.tryResult(), std::nullopt);
}

TEST_F(MenuModelTest, RunEndingAfterThePanelIsGoneChangesNothing) {
    model->runTryIt();
    model.reset();
    runs.answers[0].resolve(true);
    main.runUntilIdle();
    host.lastClient().set("Claude");
    main.runUntilIdle();
}

}  // namespace
}  // namespace app
