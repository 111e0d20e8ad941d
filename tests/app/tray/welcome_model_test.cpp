#include "app/tray/welcome_model.hpp"

#include "app/host/setting_keys.hpp"
#include "app/tray/running_notice_model.hpp"
#include "app/tray/setup_prompt.hpp"
#include "tests/app/looking/try_runs.hpp"

#include "platform/fake/fake_desktop.hpp"
#include "platform/fake/fixed_process_info.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace app {
namespace {

class WelcomeModelTest : public testing::Test {
protected:
    platform::VirtualScheduler main;
    HostStatus host;
    platform::MemorySettings settings;
    platform::FakeClipboard clipboard;
    platform::FixedProcessInfo process{"/usr/bin/vantor-mcp"};
    test::TryRuns runs{main};
    WelcomeModel model{{host, settings, clipboard, process, [this] { return runs.run(); }}};
};

TEST_F(WelcomeModelTest, TheTrayNoteSaysWhatTheRunningNoticeSaysWithoutATray) {
    EXPECT_EQ(model.trayNote().sentence, "Vantor MCP lives in your system tray.") << "no place known: in a tray";
    EXPECT_EQ(model.trayNote().tip, std::nullopt);

    auto place = MenuBarIcon::Place::noRoom;
    WelcomeModel placed{{host, settings, clipboard, process, [this] { return runs.run(); }, [&] { return place; }}};
    EXPECT_EQ(placed.trayNote().sentence, RunningNoticeText::kNoRoom);
    EXPECT_EQ(placed.trayNote().tip, RunningNoticeText::kTip);
    place = MenuBarIcon::Place::visible;
    EXPECT_EQ(placed.trayNote().sentence, WelcomeModel::kTrayNote) << "read afresh: a tray came up";
    EXPECT_EQ(placed.trayNote().tip, std::nullopt);
}

TEST_F(WelcomeModelTest, ClosingRecordsThatTheGuideWasSeen) {
    EXPECT_EQ(settings.getBool(setting::kHasSeenWelcome), std::nullopt);
    model.markSeen();
    EXPECT_EQ(settings.getBool(setting::kHasSeenWelcome), true);
    model.markSeen();
    EXPECT_EQ(settings.getBool(setting::kHasSeenWelcome), true);
}

TEST_F(WelcomeModelTest, CopyPromptCopiesThePanelsPromptAndThenWaitsForTheConnection) {
    EXPECT_EQ(model.copyButtonTitle(), "Copy Prompt");
    EXPECT_EQ(model.statusLine(), WelcomeModel::StatusLine::none);
    EXPECT_EQ(model.statusText(), "");
    EXPECT_FALSE(model.connected());

    int changes = 0;
    const auto subscription = model.subscribe([&] { ++changes; });
    model.copySetupPrompt();
    EXPECT_EQ(clipboard.text(), setupPrompt(process, settings));
    EXPECT_EQ(model.copyButtonTitle(), "Copied");
    EXPECT_EQ(model.statusLine(), WelcomeModel::StatusLine::waiting);
    EXPECT_EQ(model.statusText(), "Waiting for your AI to connect…");
    EXPECT_EQ(changes, 1);

    host.lastClient().set("Claude Code");
    EXPECT_EQ(changes, 2) << "the connection shows as it happens";
    EXPECT_TRUE(model.connected());
    EXPECT_EQ(model.statusLine(), WelcomeModel::StatusLine::connected);
    EXPECT_EQ(model.statusText(), "Connected: Claude Code");

    // Closing and opening again keeps the same model, and "Copied" with it.
    model.markSeen();
    EXPECT_TRUE(model.copied());
}

TEST_F(WelcomeModelTest, AClientThatConnectedBeforeShowsAtOnce) {
    host.lastClient().set("Cursor");
    EXPECT_TRUE(model.connected());
    EXPECT_EQ(model.statusText(), "Connected: Cursor");
}

TEST_F(WelcomeModelTest, TryItStartsARunEachTimeAndShowsNoOutcome) {
    int changes = 0;
    const auto subscription = model.subscribe([&] { ++changes; });
    model.tryIt();
    model.tryIt();
    EXPECT_EQ(runs.answers.size(), 2u);
    runs.answers[0].resolve(true);
    runs.answers[1].resolve(false);
    main.runUntilIdle();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(model.statusLine(), WelcomeModel::StatusLine::none);
}

}  // namespace
}  // namespace app
