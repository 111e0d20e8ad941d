#pragma once

#include "tests/support/x11/qt_x_test.hpp"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace app::ui::test {

// UIX11Test: the tray panel and the welcome window as real Qt windows on the fixture's X
// session, with its tray; what these tests do beyond QtXTest: clicks at widgets, keys, the
// clipboard as another program reads it, the focus, and the close button's request.
class UIX11Test : public test_support::QtXTest {
protected:
    // waitUntilInTray: waits until the session's tray has taken the icon in and shows it where
    // the icon says it is; until then its place is the corner Qt made it at. A fatal failure,
    // saying where the icon's window was, when that doesn't come (ASSERT_NO_FATAL_FAILURE).
    void waitUntilInTray(const QSystemTrayIcon& icon);
    // clickIcon: clicks the icon where the tray shows it.
    void clickIcon(const QSystemTrayIcon& icon);
    // pressKey: types a key (xdotool's names: "Return", "Escape", "ctrl+q") once the keyboard
    // reaches window: a top-level widget of this process, or an X window of another program.
    // A popup of this process takes the keyboard as it shows; any other window once the window
    // manager gave it the focus (and Qt heard of it). Fails the test, saying which window had
    // the focus, when that doesn't come.
    void pressKey(const QWidget& window, const std::string& key);
    void pressKey(std::uint32_t window, const std::string& key);
    // pressKey: types a key to the popup or window of this process that has the keyboard now.
    void pressKey(const std::string& key);
    // pasted: what the clipboard holds, as another program reads it (xclip).
    std::string pasted();

    // windowIDs: the ids of the shown windows titled exactly title.
    std::vector<std::uint32_t> windowIDs(const QString& title);
    // frameOf: a window's place on the screen, as the X server has it.
    std::optional<QRect> frameOf(std::uint32_t window);
    // activeWindow: the window that has the focus, as the window manager says.
    std::optional<std::uint32_t> activeWindow();
    // askToClose: sends the window the request its title bar's close button sends.
    void askToClose(std::uint32_t window);

    // saveScreen: what the screen shows in rect (cut to the screen), as <artifacts>/<name>.png.
    void saveScreen(QRect rect, const std::string& name);

    // moveFocusTo: presses key ("Tab", "Down") until widget has the keyboard focus, waiting
    // after each press for the focus to move; false when it never gets there.
    bool moveFocusTo(const QWidget& widget, const std::string& key = "Tab");

private:
    void pressKeyWhen(std::uint32_t window, const std::string& key, const std::function<bool()>& reached);
};

}  // namespace app::ui::test
