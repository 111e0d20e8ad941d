#include "app/ui/tray_panel.hpp"

#include "app/host/setting_keys.hpp"
#include "app/tray/setup_prompt.hpp"
#include "app/ui/connect_section.hpp"
#include "app/ui/menu_row.hpp"
#include "app/ui/menu_style.hpp"
#include "app/ui/short_time.hpp"
#include "tests/app/ui/ui_x11_fixture.hpp"

#include "platform/fake/fixed_process_info.hpp"
#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/qt/qt_desktop.hpp"
#include "platform/qt/qt_scheduler.hpp"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QScreen>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace app::ui::test {
namespace {

using namespace std::chrono_literals;

// The panel as the program makes it, hanging from a real tray icon in the session's tray.
class TrayPanelX11Test : public UIX11Test {
protected:
    void SetUp() override {
        UIX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
            << "the session's tray should be up";
        host.apply({.generation = 1, .state = ListenerReport::State::ready});
    }

    void TearDown() override {
        panel.reset();
        icon.reset();
        model.reset();
        UIX11Test::TearDown();
    }

    // start: the model, the panel and the icon, with the settings as the test left them.
    void start() {
        model = std::make_unique<MenuModel>(MenuModel::Dependencies{
            main, host, sharing, [this] { sharing.set(std::nullopt); }, settings, clipboard, process, random,
            [this]() -> platform::Task<bool> {
                ++tryRuns;
                co_return true;
            },
            shortLocalTime});
        panel = std::make_unique<TrayPanel>(*model);
        icon = std::make_unique<QSystemTrayIcon>(
            QIcon(symbolPixmap(QStringLiteral("MenuBarIcon"), QSizeF(22, 22), Qt::black, 1)));
        panel->attach(*icon);
        icon->show();
        ASSERT_NO_FATAL_FAILURE(waitUntilInTray(*icon));
    }

    void openByClickingTheIcon() {
        clickIcon(*icon);
        ASSERT_TRUE(pumpUntil([&] { return panel->isOpen(); })) << "a click on the icon opens the panel";
        ASSERT_TRUE(pumpUntil([&] { return windowIDs(QStringLiteral("Vantor MCP Menu")).size() == 1; }));
    }

    QRect panelFrame() {
        const auto ids = windowIDs(QStringLiteral("Vantor MCP Menu"));
        if (ids.size() != 1) return {};
        return frameOf(ids.front()).value_or(QRect());
    }

    ConnectSection& connect() { return panel->view().connectSection(); }

    void shareFiveMinutesWithClaude() {
        sharing.set(WindowShare::Sharing{.window = {.id = 1, .pid = 2, .app = "Editor", .title = "Notes"},
                                         .until = main.now() + 300s,
                                         .grant = platform::ShareGrant::fiveMinutes,
                                         .client = "Claude"});
    }

    platform::QtScheduler main;
    HostStatus host;
    platform::Observed<std::optional<WindowShare::Sharing>> sharing;
    platform::MemorySettings settings;
    platform::QtClipboard clipboard;
    platform::FixedProcessInfo process{"/usr/bin/vantor-mcp"};
    platform::FixedRandom random;
    int tryRuns = 0;
    std::unique_ptr<MenuModel> model;
    std::unique_ptr<TrayPanel> panel;
    std::unique_ptr<QSystemTrayIcon> icon;
};

TEST_F(TrayPanelX11Test, ClickingTheTrayIconOpensAndClosesThePanel) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    const QRect frame = panelFrame();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(frame.width(), 320);
    EXPECT_TRUE(work.contains(frame)) << "the panel stays on the screen's free area";
    // The session's tray sits at the bottom of the screen: the panel stands above the icon.
    EXPECT_LE(frame.bottom(), icon->geometry().top());
    EXPECT_EQ(panel->view().statusLabel().text(), "Ready for your AI");
    EXPECT_TRUE(connect().promptRow().isVisible()) << "a fresh installation shows Connect Your AI open";
    saveScreen(frame.adjusted(-8, -8, 8, 8), "menu-panel-expanded");

    clickIcon(*icon);
    ASSERT_TRUE(pumpUntil([&] { return !panel->isOpen(); })) << "a click on the icon closes the open panel";
    QElapsedTimer closed;
    closed.start();
    ASSERT_NO_FATAL_FAILURE(settle());
    EXPECT_FALSE(panel->isOpen()) << "the same click doesn't open it again";

    // A later click opens it: one that comes once the panel's time for the same click is over
    // (the panel closed before the test saw it).
    pumpUntil([&] { return closed.hasExpired(TrayPanel::kSameClick.count()); });
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    pressKey(panel->view(), "Escape");
    EXPECT_TRUE(pumpUntil([&] { return !panel->isOpen(); }));
}

TEST_F(TrayPanelX11Test, CollapsedOnceAClientHasConnected) {
    settings.setBool(setting::kHasConnectedClient, true);
    host.lastClient().set("Claude Code");
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    EXPECT_EQ(panel->view().statusLabel().text(), "Connected: Claude Code");
    EXPECT_FALSE(connect().promptRow().isVisible());
    saveScreen(panelFrame().adjusted(-8, -8, 8, 8), "menu-panel-collapsed");

    clickAt(connect().header());
    ASSERT_TRUE(pumpUntil([&] { return connect().promptRow().isVisible(); }));
    EXPECT_EQ(settings.getString(setting::kConnectSection), "open");
    EXPECT_TRUE(panelFrame().height() > 0 &&
                QGuiApplication::primaryScreen()->availableGeometry().contains(panelFrame()))
        << "the taller panel still fits the screen";
}

TEST_F(TrayPanelX11Test, CopySetupPromptPutsThePromptOnTheClipboard) {
    settings.setString(setting::kToken, std::string(48, 'e'));
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    auto& row = connect().promptRow();
    ASSERT_EQ(row.title(), "Copy Setup Prompt");
    clickAt(row);
    ASSERT_TRUE(pumpUntil([&] { return row.title() == "Copied"; }));
    const auto text = pasted();
    EXPECT_EQ(text, setupPrompt(process, settings));
    EXPECT_EQ(text.find(std::string(48, 'e')), std::string::npos) << "the prompt never holds the token";
}

TEST_F(TrayPanelX11Test, ManualSetupCopiesTheSettingsOfThePickedApp) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    clickAt(connect().manualSetupRow());
    auto& picker = connect().clientPicker();
    ASSERT_TRUE(pumpUntil([&] { return picker.isVisible(); }));

    clickAt(picker);
    auto* list = picker.view();
    ASSERT_TRUE(pumpUntil([&] { return list->isVisible(); })) << "the app list opens";
    const int vsCode = picker.findText(QStringLiteral("VS Code"));
    ASSERT_GE(vsCode, 0);
    const QRect item = list->visualRect(picker.model()->index(vsCode, 0));
    clickAt(*list->viewport(), item.center());
    ASSERT_TRUE(pumpUntil([&] { return model->client() == ClientSetup::vsCode; }));
    EXPECT_TRUE(panel->isOpen()) << "picking an app keeps the panel open";
    EXPECT_EQ(settings.getString(setting::kConnectClient), "vsCode");
    settle();
    saveScreen(panelFrame().adjusted(-8, -8, 8, 8), "menu-panel-manual-setup");

    auto& copy = connect().settingsRow();
    clickAt(copy);
    ASSERT_TRUE(pumpUntil([&] { return copy.title() == "Copied"; }));
    EXPECT_EQ(pasted(), "{\n"
                        "  \"servers\" : {\n"
                        "    \"vantor-mcp\" : {\n"
                        "      \"args\" : [\n"
                        "        \"--stdio\"\n"
                        "      ],\n"
                        "      \"command\" : \"/usr/bin/vantor-mcp\",\n"
                        "      \"type\" : \"stdio\"\n"
                        "    }\n"
                        "  }\n"
                        "}");
}

TEST_F(TrayPanelX11Test, SharingSectionStopsTheShareAndRunsTryIt) {
    ASSERT_NO_FATAL_FAILURE(start());
    shareFiveMinutesWithClaude();
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    auto& stop = panel->view().stopSharingRow();
    ASSERT_TRUE(stop.isVisible());
    ASSERT_TRUE(stop.subtitle());
    EXPECT_TRUE(stop.subtitle()->startsWith("Claude until ")) << stop.subtitle()->toStdString();
    EXPECT_FALSE(panel->view().noShareLabel().isVisible());

    clickAt(stop);
    ASSERT_TRUE(pumpUntil([&] { return panel->view().noShareLabel().isVisible(); }));
    EXPECT_FALSE(stop.isVisible());

    clickAt(panel->view().tryItRow());
    ASSERT_TRUE(pumpUntil([&] { return tryRuns == 1; }));
    EXPECT_TRUE(pumpUntil([&] { return !panel->isOpen(); })) << "the panel gets out of the picker's way";
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    EXPECT_EQ(panel->view().tryItRow().subtitle(), QStringLiteral("It works. The picture was thrown away."));
}

// Under LANG=C.UTF-8 the locale's short time format carries seconds: the share's end is read
// in hours and minutes all the same.
TEST_F(TrayPanelX11Test, TheSharesEndShowsNoSecondsInTheCLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale::c());
    ASSERT_NO_FATAL_FAILURE(start());
    shareFiveMinutesWithClaude();
    ASSERT_NO_FATAL_FAILURE(openByClickingTheIcon());
    auto& stop = panel->view().stopSharingRow();
    ASSERT_TRUE(stop.subtitle());
    const QString line = *stop.subtitle();
    QLocale::setDefault(saved);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^Claude until \d\d:\d\d$)")).match(line).hasMatch())
        << line.toStdString();
    EXPECT_EQ(test_support::clippedLabels(panel->view()), std::vector<std::string>{});
    saveScreen(panelFrame().adjusted(-8, -8, 8, 8), "menu-panel-sharing-c-locale");
}

// Without a mouse the panel works as a menu: the arrows and Tab move through its rows, Return or
// Space activates the focused one, and Down on the list of apps moves on instead of changing it.
TEST_F(TrayPanelX11Test, WithoutAMouseTheKeysMoveThroughTheRowsAsInAMenu) {
    start();
    openByClickingTheIcon();
    auto& view = panel->view();
    EXPECT_EQ(QApplication::focusWidget(), &view) << "opened by a click, no row is marked";

    ASSERT_TRUE(moveFocusTo(view.tryItRow(), "Down")) << "Down reaches the first row";
    ASSERT_TRUE(moveFocusTo(connect().manualSetupRow(), "Down"));
    const bool manualShown = model->showManualSetup();
    pressKey("Return");
    ASSERT_TRUE(pumpUntil([&] { return model->showManualSetup() != manualShown; })) << "Return activates the row";
    if (!model->showManualSetup()) {
        pressKey("space");
        ASSERT_TRUE(pumpUntil([&] { return model->showManualSetup(); })) << "Space activates it too";
    }

    const auto client = model->client();
    auto& picker = connect().clientPicker();
    ASSERT_TRUE(pumpUntil([&] { return picker.isVisible(); }));
    ASSERT_TRUE(moveFocusTo(picker, "Tab")) << "Tab reaches the rows and the list alike";
    pressKey("Down");
    ASSERT_TRUE(pumpUntil([&] { return QApplication::focusWidget() == &connect().settingsRow(); }))
        << "Down moves on to the next row";
    EXPECT_EQ(model->client(), client) << "and leaves the chosen app as it was";
    pressKey("Up");
    ASSERT_TRUE(pumpUntil([&] { return QApplication::focusWidget() == &picker; }));
    EXPECT_EQ(model->client(), client);
    saveScreen(panelFrame().adjusted(-8, -8, 8, 8), "menu-panel-keyboard");

    ASSERT_TRUE(moveFocusTo(connect().settingsRow(), "Down"));
    pressKey("Return");
    EXPECT_TRUE(pumpUntil([&] { return connect().settingsRow().title() == "Copied"; }));
    EXPECT_TRUE(panel->isOpen());
}

}  // namespace
}  // namespace app::ui::test
