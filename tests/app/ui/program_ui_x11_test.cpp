// The real program in the X session, as the user meets it: the welcome window of the first run,
// and the tray panel's Try It, which opens the request panel.

#include "app/bridge/host_client.hpp"
#include "app/tray/menu_model.hpp"
#include "app/host/setting_keys.hpp"
#include "app/ui/menu_row.hpp"
#include "app/ui/menu_view.hpp"
#include "tests/app/host/host_fixture.hpp"
#include "tests/app/program_fixture.hpp"
#include "tests/app/ui/ui_x11_fixture.hpp"
#include "tests/support/child_process.hpp"

#include "platform/fake/fake_desktop.hpp"
#include "platform/fake/fixed_process_info.hpp"
#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/ini_settings.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace app::ui::test {
namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;

constexpr const char* kToken = "00112233445566778899aabbccddeeff0011223344556677";

class ProgramUIX11Test : public UIX11Test {
protected:
    void SetUp() override {
        UIX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        port_ = app::testing::freePort();
    }

    void TearDown() override {
        home_.endPrograms();
        UIX11Test::TearDown();
    }

    // firstRunSettings: the port and the token, and nothing about the welcome window.
    void firstRunSettings() {
        platform::IniSettings settings(home_.settingsFile());
        settings.setInt(setting::kPort, port_);
        settings.setString(setting::kToken, kToken);
    }

    bool listening() const {
        try {
            HTTPHostClient({1s, 1s}).probe("http://127.0.0.1:" + std::to_string(port_) + "/mcp");
            return true;
        } catch (const HostUnreachable&) {
            return false;
        }
    }

    // startProgram: the program as the user starts it, once it listens.
    std::unique_ptr<ChildProcess> startProgram() {
        auto program = std::make_unique<ChildProcess>(std::vector<std::string>{test_support::kVantorMCP},
                                                      home_.environment(session().display));
        EXPECT_TRUE(pumpUntil([&] { return listening(); }, 20s)) << "the program should listen";
        return program;
    }

    // programWindows: the frames of the program's shown windows titled exactly title.
    std::vector<QRect> framesTitled(const QString& title) {
        std::vector<QRect> frames;
        for (const auto id : windowIDs(title)) {
            if (const auto frame = frameOf(id)) frames.push_back(*frame);
        }
        return frames;
    }

    // TrayIcon: the program's icon in the tray: its small window inside the tray's.
    struct TrayIcon {
        std::uint32_t window = 0;
        QRect frame;
    };
    // trayIcon: the icon as the window tree lists it, once the tray has taken it in
    // (0x1a00005 "Vantor MCP": ("vantor-mcp" "vantor-mcp")  22x22+0+0  +1577+977).
    std::optional<TrayIcon> trayIcon() {
        const auto tree = session().run({"xwininfo", "-root", "-tree"}).output;
        std::istringstream lines(tree);
        for (std::string line; std::getline(lines, line);) {
            constexpr std::string_view kNameAndClass = R"("Vantor MCP": ("vantor-mcp" "vantor-mcp"))";
            const auto at = line.find(kNameAndClass);
            if (at == std::string::npos) continue;
            unsigned window = 0;
            int width = 0, height = 0, left = 0, top = 0, ignored = 0;
            const auto geometry = line.substr(at + kNameAndClass.size());
            if (std::sscanf(line.c_str(), " %x", &window) != 1 ||
                std::sscanf(geometry.c_str(), " %dx%d+%d+%d +%d+%d", &width, &height, &ignored, &ignored, &left, &top) != 6) {
                continue;
            }
            const auto shown = test_support::shownWindow(x->get(), window);
            if (width <= 48 && height <= 48 && shown && shown->viewable && shown->parent != x->root()) {
                return TrayIcon{window, QRect(left, top, width, height)};
            }
        }
        return std::nullopt;
    }

    // requestPanel: the program's request panel, the large window titled "Vantor MCP".
    std::optional<QRect> requestPanel() {
        const auto id = requestPanelID();
        return id ? frameOf(*id) : std::nullopt;
    }
    std::optional<std::uint32_t> requestPanelID() {
        for (const auto id : windowIDs(QStringLiteral("Vantor MCP"))) {
            if (const auto frame = frameOf(id); frame && frame->width() > 200) return id;
        }
        return std::nullopt;
    }

    // tryItRowCentre: where Try It sits in a panel like the program's, which draws with the same
    // code and fonts as this one, with no window shared and the connect section in any state.
    QPoint tryItRowCentre() {
        platform::VirtualScheduler main;
        HostStatus host;
        platform::Observed<std::optional<WindowShare::Sharing>> sharing;
        platform::MemorySettings settings;
        platform::FakeClipboard clipboard;
        platform::FixedProcessInfo process;
        platform::FixedRandom random;
        MenuModel model({main, host, sharing, {}, settings, clipboard, process, random, {},
                         [](auto) { return std::string(); }});
        MenuView view(model);
        return view.tryItRow().geometry().center();
    }

    // target: a click at a point of another program's window, which the test found at frame.
    static ClickTarget target(std::uint32_t window, QRect frame, QPoint at) {
        return {window, {double(frame.x()), double(frame.y())}, {double(at.x()), double(at.y())}};
    }

    test_support::ProgramHome home_;
    std::uint16_t port_ = 0;
};

TEST_F(ProgramUIX11Test, FirstRunOpensTheWelcomeWindowAndALaterStartDoesnt) {
    firstRunSettings();
    auto program = startProgram();
    ASSERT_TRUE(pumpUntil([&] { return windowIDs(QStringLiteral("Welcome to Vantor MCP")).size() == 1; }, 10s))
        << "no \"hasSeenWelcome\": the welcome window opens";
    const auto id = windowIDs(QStringLiteral("Welcome to Vantor MCP")).front();
    EXPECT_TRUE(pumpUntil([&] { return activeWindow() == id; })) << "in front and focused";

    askToClose(id);
    ASSERT_TRUE(pumpUntil([&] { return windowIDs(QStringLiteral("Welcome to Vantor MCP")).empty(); }));
    EXPECT_TRUE(pumpUntil([&] { return home_.setting(std::string(setting::kHasSeenWelcome)) == "true"; }));

    home_.endPrograms();
    program = startProgram();
    ASSERT_TRUE(pumpUntil([&] { return trayIcon().has_value(); }, 10s)) << "the program is up, with its icon";
    // Once it has answered a ping, a guide it opened at its start is a window the server has,
    // shown or waiting for the window manager.
    ASSERT_TRUE(session().answersPing(program->pid())) << "the program should answer a ping";
    EXPECT_EQ(session().run({"xdotool", "search", "--name", "^Welcome to Vantor MCP$"}).output, "")
        << "a later start opens no guide";
}

TEST_F(ProgramUIX11Test, TryItInThePanelOpensTheRequestPanel) {
    home_.configure(port_, kToken);
    const auto program = startProgram();
    std::optional<TrayIcon> icon;
    ASSERT_TRUE(pumpUntil([&] { return (icon = trayIcon()).has_value(); }, 10s)) << "the icon is in the tray";

    clickOn([&] { return target(icon->window, icon->frame, icon->frame.center()); }, "the program's tray icon");
    std::vector<std::uint32_t> panels;
    ASSERT_TRUE(pumpUntil([&] { return (panels = windowIDs(QStringLiteral("Vantor MCP Menu"))).size() == 1; }))
        << "a click on the icon opens the panel";
    const auto panel = frameOf(panels.front()).value_or(QRect());
    EXPECT_EQ(panel.width(), MenuView::kWidth);

    clickOn([&] { return target(panels.front(), panel, panel.topLeft() + tryItRowCentre()); }, "Try It in the panel");
    std::optional<QRect> request;
    ASSERT_TRUE(pumpUntil([&] { return (request = requestPanel()).has_value(); }, 5s))
        << "Try It asks for a window in the request panel";
    EXPECT_TRUE(framesTitled(QStringLiteral("Vantor MCP Menu")).empty()) << "the panel got out of the way";
    EXPECT_TRUE(session().answersPing(program->pid())) << "the program has painted what it showed";
    saveScreen(request->adjusted(-20, -40, 20, 20), "try-it-request-panel");

    // "Not Now": the test ends without a window; the panel shows no result line then.
    const auto requestID = requestPanelID();
    ASSERT_TRUE(requestID);
    pressKey(*requestID, "Escape");
    EXPECT_TRUE(pumpUntil([&] { return !requestPanel().has_value(); }));
}

}  // namespace
}  // namespace app::ui::test
