#include "app/tray/tray_icon.hpp"

#include "tests/support/x11/shown_windows.hpp"
#include "tests/support/x11/x_session.hpp"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
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

    // Where the tray shows our icon: the window the tray host took in (Qt maps it only then),
    // on the screen; none before.
    std::optional<Area> iconArea() {
        const auto tree = session().runChecked({"xwininfo", "-root", "-tree"});
        static const std::regex kLine(R"re((0x[0-9a-f]+) [^\n]*\("app_tray_icon_x11_test" )re");
        xcb_connection_t* connection = xcb_connect(session().display.c_str(), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        std::optional<Area> found;
        for (std::sregex_iterator match(tree.begin(), tree.end(), kLine), end; match != end && !found; ++match) {
            const auto window = static_cast<xcb_window_t>(std::stoul((*match)[1], nullptr, 16));
            const auto shown = test_support::shownWindow(connection, window);
            if (shown && shown->viewable && shown->parent != root && shown->width <= 48 && shown->height <= 48) {
                found = Area{shown->x, shown->y, shown->width, shown->height};
            }
        }
        xcb_disconnect(connection);
        return found;
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

    // The tray repaints the icon in its own time: each look waits for the picture it expects.
    const auto shows = [&](const std::string& what, const std::string& name, const std::function<bool(int)>& expected) {
        int orange = 0;
        const bool shown = test_support::eventually([&] {
            pump(50ms);
            return expected(orange = orangePixels(*area, name));
        });
        EXPECT_TRUE(shown) << what << ": the icon has " << orange << " orange pixels (the screen is in " << name
                           << ".png)";
    };
    shows("nothing shared", "tray_icon", [](int orange) { return orange == 0; });

    tray.setSharing(true);
    shows("a window is shared", "tray_icon_sharing", [](int orange) { return orange > 20; });

    tray.setSharing(false);
    shows("sharing ended", "tray_icon_shared_no_more", [](int orange) { return orange == 0; });
}

}  // namespace
}  // namespace app
