#pragma once

#include "app/looking/guide_status.hpp"
#include "app/looking/pointer.hpp"
#include "app/looking/status_panel.hpp"

#include "platform/qt/qt_click_monitor.hpp"
#include "platform/qt/qt_desktop.hpp"
#include "platform/qt/qt_scheduler.hpp"
#include "platform/qt/qt_windows.hpp"
#include "platform/x11/x11_window_system.hpp"
#include "tests/support/x11/qt_x_test.hpp"

#include <QAbstractButton>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace app::test {

// GuidanceX11Test: the ring overlays and the status box wired as the program wires them, with
// real Qt windows on the fixture's X session. The status box's Done ends every ring; its Stop
// Sharing is counted in stops.
class GuidanceX11Test : public test_support::QtXTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // placeOn: a mark's place: a point of the window's content, while it is on screen.
    std::function<std::optional<platform::Point>()> placeOn(platform::WindowID window, platform::Point at);

    std::optional<platform::QtScheduler> main;
    std::optional<platform::QtScreens> screens;
    std::optional<platform::QtClickMonitor> clicks;
    std::optional<platform::QtWindows> windows;
    std::optional<platform::QtClipboard> clipboard;
    std::optional<GuideStatus> status;
    std::optional<Pointer> pointer;
    std::optional<StatusPanel> panel;
    std::optional<platform::X11WindowSystem> windowList;
    int stops = 0;
};

// findButton: a visible button of one of the program's visible windows, found by its text.
QAbstractButton* findButton(const QString& windowTitle, const QString& text);
// centreOf: the button's centre on screen.
platform::Point centreOf(const QAbstractButton* button);

// isRingRed: close to the ring's red.
bool isRingRed(std::uint32_t colour);

}  // namespace app::test
