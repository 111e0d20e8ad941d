#include "app/ui/footer_view.hpp"

#include "app/tray/footer.hpp"
#include "app/tray/running_notice_model.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tray/support_mail.hpp"
#include "app/tray/token_reset.hpp"
#include "app/ui/about_dialog.hpp"
#include "app/ui/connect_section.hpp"
#include "app/ui/menu_row.hpp"
#include "app/ui/menu_style.hpp"
#include "app/ui/running_notice.hpp"
#include "app/ui/token_reset_block.hpp"
#include "app/ui/tray_panel.hpp"
#include "app/ui/panel_additions.hpp"
#include "app/ui/update_check.hpp"
#include "tests/app/ui/ui_x11_fixture.hpp"

#include "platform/fake/fixed_process_info.hpp"
#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/qt/qt_desktop.hpp"
#include "platform/qt/qt_scheduler.hpp"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace app::ui::test {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kStoredToken = "000102030405060708090a0b0c0d0e0f1011121314151617";

// The panel as the program makes it, with the footer and the token reset, hanging from a real
// tray icon in the session's tray.
class FooterX11Test : public UIX11Test {
protected:
    void SetUp() override {
        UIX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
        host.apply({.generation = 1, .state = ListenerReport::State::ready});
        settings.setString(setting::kToken, kStoredToken);

        model = std::make_unique<MenuModel>(MenuModel::Dependencies{
            main, host, sharing, [] {}, settings, clipboard, process, random,
            []() -> platform::Task<bool> { co_return false; }, [](auto) { return std::string("12:00"); }});
        panel = std::make_unique<TrayPanel>(*model);
        icon = std::make_unique<QSystemTrayIcon>(
            QIcon(symbolPixmap(QStringLiteral("MenuBarIcon"), QSizeF(22, 22), Qt::black, 1)));
        panel->attach(*icon);
        additions = std::make_unique<PanelAdditions>(PanelAdditions::Dependencies{
            *model, panel->view(), host, settings, random, process, welcome, [this] { ++restarts; },
            [this] { ++quits; }, *icon});
        icon->show();
        ASSERT_NO_FATAL_FAILURE(waitUntilInTray(*icon));
    }

    void TearDown() override {
        additions.reset();
        panel.reset();
        icon.reset();
        model.reset();
        UIX11Test::TearDown();
    }

    void open() {
        panel->open();
        ASSERT_TRUE(pumpUntil([&] { return windowIDs(QStringLiteral("Vantor MCP Menu")).size() == 1; }));
    }

    // shot: saves what the screen shows around rect, within the screen.
    void shot(QRect rect, const std::string& name) {
        saveScreen(rect.adjusted(-8, -8, 8, 8).intersected(QGuiApplication::primaryScreen()->geometry()), name);
    }

    QRect panelFrame() {
        const auto ids = windowIDs(QStringLiteral("Vantor MCP Menu"));
        return ids.size() == 1 ? frameOf(ids.front()).value_or(QRect()) : QRect();
    }

    TokenResetBlock& block() { return additions->resetBlock(); }
    FooterView& footer() { return additions->footer(); }
    AboutDialog& about() { return additions->about(); }
    UpdateCheck& updates() { return additions->updates(); }

    // CountingWelcome: counts the times the setup guide was asked for.
    struct CountingWelcome final : WelcomeShowing {
        void show() override { ++shown; }
        int shown = 0;
    };

    platform::QtScheduler main;
    HostStatus host;
    platform::Observed<std::optional<WindowShare::Sharing>> sharing;
    platform::MemorySettings settings;
    platform::QtClipboard clipboard;
    platform::FixedProcessInfo process{"/usr/bin/vantor-mcp", 4242, "1.4.2"};
    // Bytes other than the stored token's, so that a new token differs from it.
    platform::FixedRandom random{{0xa5, 0x5a, 0x3c}};
    int restarts = 0, quits = 0;
    CountingWelcome welcome;
    std::unique_ptr<MenuModel> model;
    std::unique_ptr<TrayPanel> panel;
    std::unique_ptr<QSystemTrayIcon> icon;
    std::unique_ptr<PanelAdditions> additions;
};

TEST_F(FooterX11Test, FooterRowsOpenTheGuideTheUpdateCheckAndAbout) {
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(footer().setupGuideRow().title(), "Setup Guide\u2026");
    EXPECT_EQ(footer().updatesRow().title(), "Check for Updates\u2026");
    EXPECT_EQ(footer().aboutRow().title(), "About Vantor MCP");
    EXPECT_EQ(footer().quitRow().title(), "Quit Vantor MCP");
    EXPECT_TRUE(footer().isVisible());
    const auto labels = footer().findChildren<QLabel*>();
    const auto has = [&](const QString& text) {
        return std::any_of(labels.begin(), labels.end(), [&](QLabel* label) { return label->text() == text; });
    };
    EXPECT_TRUE(has("1.4.2")) << "the version stands after Check for Updates";
    EXPECT_TRUE(has("Ctrl+Q"));
    shot(panelFrame(), "panel-footer");

    clickAt(footer().setupGuideRow());
    EXPECT_TRUE(pumpUntil([&] { return welcome.shown == 1; }));
    EXPECT_TRUE(pumpUntil([&] { return !panel->isOpen(); })) << "the panel gets out of the way";

    ASSERT_NO_FATAL_FAILURE(open());
    clickAt(footer().updatesRow());
    ASSERT_TRUE(pumpUntil([&] { return updates().message() && updates().message()->isVisible(); }));
    // The panel closes on its own once the message takes the focus: opened before that, it
    // would close under the next click.
    EXPECT_TRUE(pumpUntil([&] { return !panel->isOpen(); })) << "the panel gets out of the way";
    EXPECT_EQ(updates().message()->text().toStdString(), footer::updateMessage("1.4.2"));
    EXPECT_NE(updates().message()->text().indexOf("Vantor MCP 1.4.2"), -1);
    updates().message()->close();

    ASSERT_NO_FATAL_FAILURE(open());
    clickAt(footer().aboutRow());
    ASSERT_TRUE(pumpUntil([&] { return about().isVisible(); }));
    settle();
    const QString credits = about().credits().text();
    EXPECT_NE(credits.indexOf("support@vantormcp.app"), -1);
    EXPECT_NE(credits.indexOf("mailto:support@vantormcp.app?subject=Vantor%20MCP%201.4.2%20%28%3F%29&amp;body="), -1);
    EXPECT_NE(credits.indexOf("https://vantormcp.app/"), -1);
    EXPECT_NE(credits.indexOf("Your AI sees only the window you pick"), -1);
    shot(about().frameGeometry(), "about-dialog");
    about().close();
}

TEST_F(FooterX11Test, CtrlQQuitsFromAnywhereInThePanel) {
    ASSERT_NO_FATAL_FAILURE(open());
    pressKey(panel->view(), "ctrl+q");
    EXPECT_TRUE(pumpUntil([&] { return quits == 1; }));
}

TEST_F(FooterX11Test, ResetInThePanelStoresANewTokenAndShowsTheNote) {
    model->setClient(ClientSetup::otherHTTP);
    if (!model->showManualSetup()) model->toggleManualSetup();
    ASSERT_NO_FATAL_FAILURE(open());
    auto& resetBlock = block();
    ASSERT_TRUE(resetBlock.isVisible()) << "the reset shows for Other app (HTTP)";
    EXPECT_EQ(resetBlock.resetRow().title(), "Reset Access Token\u2026");
    EXPECT_EQ(resetBlock.resetRow().toolTip(), "Disconnects every AI app until you give it the new settings");

    // Escape answers the question, and leaves the panel open.
    clickAt(resetBlock.resetRow());
    ASSERT_TRUE(pumpUntil([&] { return resetBlock.confirmation().isVisible(); }));
    shot(panelFrame(), "panel-token-reset");
    pressKey(panel->view(), "Escape");
    ASSERT_TRUE(pumpUntil([&] { return !resetBlock.confirmation().isVisible(); }));
    EXPECT_TRUE(panel->isOpen());
    EXPECT_EQ(settings.getString(setting::kToken), kStoredToken);
    EXPECT_EQ(restarts, 0);
    EXPECT_FALSE(model->tokenWasReset());

    // The row is back: the panel fits itself to it and may move; click where the row ends up.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    ASSERT_TRUE(pumpUntil([&] { return panelFrame() == panel->view().geometry(); }));
    clickAt(resetBlock.resetRow());
    ASSERT_TRUE(pumpUntil([&] { return resetBlock.confirmation().isVisible(); }));
    pressKey(panel->view(), "Return");
    ASSERT_TRUE(pumpUntil([&] { return restarts == 1; }));
    EXPECT_NE(settings.getString(setting::kToken), kStoredToken);
    EXPECT_TRUE(model->tokenWasReset());
    EXPECT_TRUE(pumpUntil([&] { return resetBlock.resetRow().isVisible(); }));
    const auto labels = panel->view().findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return label->isVisible() &&
               label->text() == "New access token created. Paste the setup prompt into your AI apps again.";
    }));

    model->setClient(ClientSetup::cursor);
    EXPECT_TRUE(pumpUntil([&] { return !resetBlock.isVisible(); })) << "only Other app (HTTP) shows the reset";
}

// Return presses the button that has the focus, as in a Linux dialog: the question's default,
// Reset, answers it only while no button has the focus.
TEST_F(FooterX11Test, ReturnInTheResetQuestionPressesTheFocusedButton) {
    model->setClient(ClientSetup::otherHTTP);
    if (!model->showManualSetup()) model->toggleManualSetup();
    open();
    auto& resetBlock = block();
    clickAt(resetBlock.resetRow());
    ASSERT_TRUE(pumpUntil([&] { return resetBlock.confirmation().isVisible(); }));
    ASSERT_TRUE(moveFocusTo(resetBlock.cancelButton()));
    pressKey("Return");
    ASSERT_TRUE(pumpUntil([&] { return !resetBlock.confirmation().isVisible(); })) << "Return on Cancel cancels";
    EXPECT_EQ(settings.getString(setting::kToken), kStoredToken) << "the token is kept";
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(panel->isOpen());

    // From the keyboard alone: the focus is back on the row, which asks again; the question
    // comes with Reset focused, and Space presses it.
    EXPECT_TRUE(resetBlock.resetRow().hasFocus());
    pressKey("Return");
    ASSERT_TRUE(pumpUntil([&] { return resetBlock.confirmation().isVisible(); }));
    EXPECT_TRUE(resetBlock.resetButton().hasFocus());
    pressKey("space");
    ASSERT_TRUE(pumpUntil([&] { return restarts == 1; }));
    EXPECT_NE(settings.getString(setting::kToken), kStoredToken);
}

class RunningNoticeX11Test : public UIX11Test {
protected:
    RunningNotice notice;
};

TEST_F(RunningNoticeX11Test, SaysWhereTheIconIsAndShowsOneNoticeAtATime) {
    QSystemTrayIcon icon(QIcon(symbolPixmap(QStringLiteral("MenuBarIcon"), QSizeF(22, 22), Qt::black, 1)));
    icon.show();
    ASSERT_NO_FATAL_FAILURE(waitUntilInTray(icon));
    const auto place = placeOfIcon(icon);
    EXPECT_EQ(place, MenuBarIcon::Place::visible) << "the session has a tray";

    notice.show(place);
    ASSERT_TRUE(pumpUntil([&] { return windowIDs(QStringLiteral("Vantor MCP")).size() == 1; }));
    auto* shown = notice.window();
    EXPECT_EQ(shown->sentence().text().toStdString(), RunningNoticeText::kVisible);
    EXPECT_NE(shown->sketch(), nullptr);
    EXPECT_EQ(shown->tip(), nullptr);
    EXPECT_EQ(shown->width(), 380);
    settle();
    saveScreen(shown->frameGeometry().adjusted(-4, -4, 4, 4), "running-notice");

    // Without a tray the notice says so, and what to do; a second notice replaces the first.
    notice.show(MenuBarIcon::Place::noRoom);
    ASSERT_TRUE(pumpUntil([&] { return notice.window()->isVisible(); }));
    EXPECT_TRUE(pumpUntil([&] { return windowIDs(QStringLiteral("Vantor MCP")).size() == 1; }));
    shown = notice.window();
    EXPECT_EQ(shown->sentence().text().toStdString(), RunningNoticeText::kNoRoom);
    ASSERT_NE(shown->tip(), nullptr);
    EXPECT_EQ(shown->tip()->text().toStdString(), RunningNoticeText::kTip);
    EXPECT_EQ(shown->sketch(), nullptr);
    saveScreen(shown->frameGeometry().adjusted(-4, -4, 4, 4), "running-notice-no-tray");

    pressKey(*notice.window(), "Return");
    EXPECT_TRUE(pumpUntil([&] { return !notice.window()->isVisible(); })) << "Return presses Done";
}

}  // namespace
}  // namespace app::ui::test
