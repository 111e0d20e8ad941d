#include "app/tray/tray_icon.hpp"

#include "tests/support/x11/x_session.hpp"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

namespace app {
namespace {

using namespace std::chrono_literals;

struct Area {
    int x = 0, y = 0, width = 0, height = 0;
};

class TrayIconX11Test : public test_support::XTest {
protected:
    void SetUp() override {
        XTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (QCoreApplication::instance() == nullptr) {
            ::setenv("DISPLAY", session().display.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            static int argc = 1;
            static char name[] = "app_tray_icon_x11_test";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
            QApplication::setApplicationDisplayName(QStringLiteral("Vantor MCP"));
        }
    }

    void pump(std::chrono::milliseconds duration) {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

    // Where the tray shows our icon: the window the tray host embedded, on the screen.
    std::optional<Area> iconArea() {
        const auto tree = session().runChecked({"xwininfo", "-root", "-tree"});
        static const std::regex kLine(R"re(\("app_tray_icon_x11_test" "[^"]*"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re");
        std::smatch match;
        if (!std::regex_search(tree, match, kLine)) return std::nullopt;
        return Area{std::stoi(match[3]), std::stoi(match[4]), std::stoi(match[1]), std::stoi(match[2])};
    }

    // How many of the area's pixels, on the screen, have the sharing icon's orange.
    int orangePixels(const Area& area, const std::string& name) {
        const QImage screen(QString::fromStdString(session().saveScreen(name)));
        int count = 0;
        for (int y = area.y; y < area.y + area.height; ++y) {
            for (int x = area.x; x < area.x + area.width; ++x) {
                const QColor c = screen.pixelColor(x, y);
                if (c.red() > 220 && c.green() > 130 && c.green() < 190 && c.blue() < 60) ++count;
            }
        }
        return count;
    }
};

TEST_F(TrayIconX11Test, ShowsWhetherAWindowIsShared) {
    TrayIcon tray;
    std::optional<Area> area;
    ASSERT_TRUE(test_support::eventually([&] {
        pump(50ms);
        return (area = iconArea()).has_value();
    })) << "the tray host should embed the icon";

    pump(300ms);
    EXPECT_EQ(orangePixels(*area, "tray_icon"), 0) << "nothing shared";

    tray.setSharing(true);
    pump(300ms);
    EXPECT_GT(orangePixels(*area, "tray_icon_sharing"), 20) << "a window is shared";

    tray.setSharing(false);
    pump(300ms);
    EXPECT_EQ(orangePixels(*area, "tray_icon_shared_no_more"), 0) << "sharing ended";
}

}  // namespace
}  // namespace app
