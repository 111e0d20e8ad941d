#pragma once

#include "tests/support/x11/qt_x_test.hpp"

#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app::ui::test {

// UiX11Test: the tray panel and the welcome window as real Qt windows on the fixture's X
// session, with its tray; what these tests do beyond QtXTest: clicks at widgets, keys, the
// clipboard as another program reads it, the focus, and the close button's request.
class UiX11Test : public test_support::QtXTest {
protected:
    // clickAt: moves the pointer to the middle of a widget and clicks the left button there.
    void clickAt(const QWidget& widget);
    void clickAt(QPoint at);
    // pressKey: types a key (xdotool's names: "Return", "Escape") into the focused window.
    void pressKey(const std::string& key);
    // pasted: what the clipboard holds, as another program reads it (xclip).
    std::string pasted();

    // windowIds: the ids of the shown windows titled exactly title.
    std::vector<std::uint32_t> windowIds(const QString& title);
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
};

}  // namespace app::ui::test
