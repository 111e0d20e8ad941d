#include "app/ui/welcome_window.hpp"

#include "app/host/setting_keys.hpp"
#include "app/tray/running_notice_model.hpp"
#include "app/tray/setup_prompt.hpp"
#include "app/program/startup.hpp"
#include "tests/app/ui/ui_x11_fixture.hpp"

#include "platform/fake/fixed_process_info.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/qt/qt_desktop.hpp"
#include "platform/qt/qt_scheduler.hpp"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace app::ui::test {
namespace {

using namespace std::chrono_literals;

const QString kTitle = QStringLiteral("Welcome to Vantor MCP");

class WelcomeWindowX11Test : public UIX11Test {
protected:
    void TearDown() override {
        welcome.reset();
        UIX11Test::TearDown();
    }

    // startProgram: a start of the program as far as the guide goes: a new window seam and the
    // start-up's check of the setting.
    void startProgram() {
        welcome = std::make_unique<WelcomeWindow>(WelcomeModel::Dependencies{
            host, settings, clipboard, process,
            [this]() -> platform::Task<bool> {
                ++tryRuns;
                co_return false;
            },
            [this] { return iconPlace; }});
        startApplication(main, settings, [] {}, *welcome);
    }

    bool shown() { return welcome->view() != nullptr && welcome->view()->isVisible(); }

    // waitUntilSettled: the guide on the screen, focused, where the window manager put it.
    std::uint32_t waitUntilSettled() {
        EXPECT_TRUE(pumpUntil([&] { return shown(); }));
        const auto id = windowID();
        EXPECT_TRUE(pumpUntil([&] { return activeWindow() == id; })) << "in front and focused";
        return id;
    }

    std::uint32_t windowID() {
        std::vector<std::uint32_t> ids;
        EXPECT_TRUE(pumpUntil([&] {
            ids = windowIDs(kTitle);
            return ids.size() == 1;
        })) << "one welcome window on the screen";
        return ids.empty() ? 0 : ids.front();
    }

    platform::QtScheduler main;
    HostStatus host;
    platform::MemorySettings settings;
    platform::QtClipboard clipboard;
    platform::FixedProcessInfo process{"/usr/bin/vantor-mcp"};
    int tryRuns = 0;
    MenuBarIcon::Place iconPlace = MenuBarIcon::Place::visible;
    std::unique_ptr<WelcomeWindow> welcome;
};

TEST_F(WelcomeWindowX11Test, FirstRunOpensItCentredInFrontAndLaterStartsDont) {
    startProgram();
    ASSERT_TRUE(pumpUntil([&] { return shown(); })) << "no \"hasSeenWelcome\": the guide opens";
    const auto id = windowID();
    ASSERT_TRUE(pumpUntil([&] { return activeWindow() == id; })) << "in front and focused";
    const auto frame = frameOf(id);
    ASSERT_TRUE(frame);
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(frame->width(), 520);
    EXPECT_NEAR(frame->center().x(), work.center().x(), 2);
    EXPECT_NEAR(frame->center().y(), work.center().y(), 40) << "centred (the title bar is the window manager's)";
    auto& view = *welcome->view();
    EXPECT_EQ(view.copyButton().text(), "Copy Prompt");
    EXPECT_FALSE(view.statusLabel().isVisible()) << "no status line before anything happened";
    EXPECT_TRUE(view.doneButton().isDefault());
    EXPECT_EQ(view.doneButton().width(), 260) << "a wide default button";
    const auto labels = view.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
        return label->text() == "Vantor MCP lives in your system tray.";
    })) << "the tray, as every other view calls it";
    settle();
    EXPECT_EQ(test_support::clippedLabels(view), std::vector<std::string>{});
    saveScreen(frame->adjusted(-30, -40, 30, 10), "welcome-window");

    // The title bar's close button records that the guide was seen, as Done does.
    askToClose(id);
    ASSERT_TRUE(pumpUntil([&] { return !shown(); }));
    EXPECT_EQ(settings.getBool(setting::kHasSeenWelcome), true);

    startProgram();
    settle();
    EXPECT_EQ(welcome->view(), nullptr) << "a later start opens no guide";
    EXPECT_TRUE(windowIDs(kTitle).empty());
}

TEST_F(WelcomeWindowX11Test, CopyPromptThenTheConnectionAsItHappens) {
    startProgram();
    waitUntilSettled();
    auto& view = *welcome->view();
    clickAt(view.copyButton());
    ASSERT_TRUE(pumpUntil([&] { return view.copyButton().text() == "Copied"; }));
    EXPECT_EQ(pasted(), setupPrompt(process, settings)) << "the same text as the panel's Copy Setup Prompt";
    EXPECT_TRUE(view.statusLabel().isVisible());
    EXPECT_EQ(view.statusLabel().text(), "Waiting for your AI to connect…");

    host.lastClient().set("Claude Code");
    ASSERT_TRUE(pumpUntil([&] { return view.statusLabel().text() == "Connected: Claude Code"; }));
    EXPECT_FALSE(view.copyButton().isVisible());
    EXPECT_TRUE(view.connectedMark().isVisible());
    settle();
    if (const auto frame = frameOf(windowID())) saveScreen(frame->adjusted(-30, -40, 30, 10), "welcome-window-connected");
}

// Return presses the button that has the focus, as in any Linux dialog: "Done" at first, the one
// Tab moved to later. Escape closes the guide as its close button does.
TEST_F(WelcomeWindowX11Test, ReturnPressesTheFocusedButtonDoneAtFirstAndEscapeCloses) {
    startProgram();
    waitUntilSettled();
    auto& view = *welcome->view();
    EXPECT_TRUE(view.doneButton().hasFocus()) << "opened with its default button focused";
    ASSERT_TRUE(moveFocusTo(view.tryItButton()));
    pressKey("Return");
    ASSERT_TRUE(pumpUntil([&] { return tryRuns == 1; })) << "Return on Try It runs the test";
    EXPECT_TRUE(shown()) << "and leaves the guide open";
    pressKey("space");
    ASSERT_TRUE(pumpUntil([&] { return tryRuns == 2; })) << "Space presses the focused button too";

    pressKey("Escape");
    ASSERT_TRUE(pumpUntil([&] { return !shown(); })) << "Escape closes the guide";
    EXPECT_EQ(settings.getBool(setting::kHasSeenWelcome), true);

    welcome->show();
    waitUntilSettled();
    EXPECT_TRUE(view.doneButton().hasFocus()) << "shown again, Done has the focus again";
    pressKey("Return");
    ASSERT_TRUE(pumpUntil([&] { return !shown(); })) << "Return presses Done";
    EXPECT_EQ(tryRuns, 2);
}

TEST_F(WelcomeWindowX11Test, WithoutATrayItSaysWhatTheRunningNoticeSays) {
    iconPlace = MenuBarIcon::Place::noRoom;
    startProgram();
    const auto id = waitUntilSettled();
    auto& view = *welcome->view();
    EXPECT_FALSE(view.trayNoteLabel().isVisible()) << "no word of a tray the desktop doesn't have";
    ASSERT_TRUE(view.noTraySentence().isVisible());
    EXPECT_EQ(view.noTraySentence().text().toStdString(), RunningNoticeText::kNoRoom);
    ASSERT_TRUE(view.noTrayTip().isVisible());
    EXPECT_EQ(view.noTrayTip().text().toStdString(), RunningNoticeText::kTip);
    EXPECT_EQ(test_support::clippedLabels(view), std::vector<std::string>{});
    if (const auto frame = frameOf(id)) saveScreen(frame->adjusted(-30, -40, 30, 10), "welcome-window-no-tray");

    // A tray that came up since: shown again, the guide points to it.
    pressKey("Escape");
    ASSERT_TRUE(pumpUntil([&] { return !shown(); }));
    iconPlace = MenuBarIcon::Place::visible;
    welcome->show();
    ASSERT_TRUE(pumpUntil([&] { return shown(); }));
    EXPECT_TRUE(view.trayNoteLabel().isVisible());
    EXPECT_EQ(view.trayNoteLabel().text(), "Vantor MCP lives in your system tray.");
    EXPECT_FALSE(view.noTraySentence().isVisible());
}

TEST_F(WelcomeWindowX11Test, EscapeClosesItAndShowingAgainKeepsItsState) {
    startProgram();
    waitUntilSettled();
    auto& view = *welcome->view();
    clickAt(view.copyButton());
    ASSERT_TRUE(pumpUntil([&] { return view.copyButton().text() == "Copied"; }));

    pressKey(*welcome->view(), "Escape");
    ASSERT_TRUE(pumpUntil([&] { return !shown(); })) << "Escape closes the guide";
    EXPECT_EQ(settings.getBool(setting::kHasSeenWelcome), true);

    // The panel's "Setup Guide…" shows the same window again, as it was; twice is still one.
    // (Qt gives a closed window a new X window when it is shown again; the widget stays.)
    welcome->show();
    welcome->show();
    ASSERT_TRUE(pumpUntil([&] { return shown(); }));
    EXPECT_EQ(welcome->view(), &view);
    EXPECT_NE(windowID(), 0u);
    EXPECT_EQ(view.copyButton().text(), "Copied");
}

TEST_F(WelcomeWindowX11Test, TryItStartsATestEachTime) {
    startProgram();
    waitUntilSettled();
    auto& tryIt = welcome->view()->tryItButton();
    clickAt(tryIt);
    ASSERT_TRUE(pumpUntil([&] { return tryRuns == 1; }));
    clickAt(tryIt);
    ASSERT_TRUE(pumpUntil([&] { return tryRuns == 2; }));
    EXPECT_TRUE(shown()) << "the guide stays open";
}

}  // namespace
}  // namespace app::ui::test
