#include "tests/app/ui/ui_x11_fixture.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <future>
#include <sstream>
#include <string_view>

namespace app::ui::test {

using namespace std::chrono_literals;

namespace {

platform::Point point(QPoint at) {
    return {double(at.x()), double(at.y())};
}

// trayIconWindow: the window Qt made for the icon in the tray: a top-level widget of its own
// (one per icon) at the icon's place.
const QWidget* trayIconWindow(const QSystemTrayIcon& icon) {
    for (const auto* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("QSystemTrayIconSys") &&
            widget->mapToGlobal(QPoint(0, 0)) == icon.geometry().topLeft()) {
            return widget;
        }
    }
    return nullptr;
}

}  // namespace

void UIX11Test::waitUntilInTray(const QSystemTrayIcon& icon) {
    std::string seen = "no window for the icon";
    const bool inTray = pumpUntil(
        [&] {
            const auto* window = trayIconWindow(icon);
            if (window == nullptr) return false;
            const auto shown = test_support::shownWindow(x->get(), std::uint32_t(window->winId()));
            seen = test_support::describeWindow(x->get(), std::uint32_t(window->winId())) + "; the icon says " +
                   std::to_string(icon.geometry().x()) + "," + std::to_string(icon.geometry().y());
            return shown && shown->viewable && shown->parent != x->root() &&
                   QPoint(shown->x, shown->y) == icon.geometry().topLeft();
        },
        10s);
    ASSERT_TRUE(inTray) << "the tray should take the icon in: " << seen;
}

void UIX11Test::clickIcon(const QSystemTrayIcon& icon) {
    clickOn(
        [&] {
            const auto* window = trayIconWindow(icon);
            return ClickTarget{window ? std::uint32_t(window->winId()) : 0u, point(icon.geometry().topLeft()),
                               point(icon.geometry().center())};
        },
        "the tray icon");
}

void UIX11Test::pressKey(const QWidget& window, const std::string& key) {
    const auto id = std::uint32_t(window.winId());
    pressKeyWhen(id, key, [&] {
        if (window.windowType() == Qt::Popup) return QApplication::activePopupWidget() == &window;
        return test_support::focusedWindow(x->get()) == id && QGuiApplication::focusWindow() == window.windowHandle();
    });
}

void UIX11Test::pressKey(std::uint32_t window, const std::string& key) {
    pressKeyWhen(window, key, [&] { return test_support::focusedWindow(x->get()) == window; });
}

void UIX11Test::pressKey(const std::string& key) {
    const QWidget* window = QApplication::activePopupWidget();
    if (!window) window = QApplication::activeWindow();
    ASSERT_NE(window, nullptr) << "no window of this program has the keyboard for " << key;
    pressKey(*window, key);
}

void UIX11Test::pressKeyWhen(std::uint32_t window, const std::string& key, const std::function<bool()>& reached) {
    if (!pumpUntil(reached)) {
        const auto focus = test_support::focusedWindow(x->get());
        ADD_FAILURE() << "the key " << key << " wouldn't reach " << test_support::describeWindow(x->get(), window)
                      << ": the focus is on "
                      << (focus ? test_support::describeWindow(x->get(), *focus) : std::string("no window"));
        return;
    }
    session().runChecked({"xdotool", "key", key});
}

std::string UIX11Test::pasted() {
    // xclip asks this process for the text: the event loop must turn while it waits.
    auto paste = std::async(std::launch::async, [this] {
        return session().run({"xclip", "-o", "-selection", "clipboard"});
    });
    if (!pumpUntil([&] { return paste.wait_for(0s) == std::future_status::ready; }, 5s)) {
        ADD_FAILURE() << "xclip didn't get the clipboard's text";
    }
    const auto result = paste.get();
    EXPECT_EQ(result.exitCode, 0);
    return result.output;
}

std::vector<std::uint32_t> UIX11Test::windowIDs(const QString& title) {
    const auto found = session().run(
        {"xdotool", "search", "--onlyvisible", "--name", "^" + title.toStdString() + "$"});
    std::vector<std::uint32_t> ids;
    std::istringstream text(found.output);
    for (std::uint32_t id = 0; text >> id;) ids.push_back(id);
    return ids;
}

std::optional<QRect> UIX11Test::frameOf(std::uint32_t window) {
    const auto shown = test_support::shownWindow(x->get(), window);
    if (!shown) return std::nullopt;
    return QRect(shown->x, shown->y, shown->width, shown->height);
}

std::optional<std::uint32_t> UIX11Test::activeWindow() {
    const auto active = session().run({"xdotool", "getactivewindow"});
    if (active.exitCode != 0) return std::nullopt;
    return std::uint32_t(std::stoul(active.output));
}

void UIX11Test::askToClose(std::uint32_t window) {
    constexpr std::string_view kNames[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW"};
    const auto atoms = x->atoms(kNames);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atoms[0];
    message.data.data32[0] = atoms[1];
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x->get(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(x->get());
}

void UIX11Test::saveScreen(QRect rect, const std::string& name) {
    // The server gives no pixels for a rectangle that reaches past the screen.
    rect &= QGuiApplication::primaryScreen()->geometry();
    session().saveScreenshot(grab({double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())}),
                             name);
}

bool UIX11Test::moveFocusTo(const QWidget& widget, const std::string& key) {
    // More presses than any window here has widgets to take the focus.
    for (int press = 0; press < 40; ++press) {
        const QWidget* before = QApplication::focusWidget();
        if (before == &widget) return true;
        pressKey(*widget.window(), key);
        if (!pumpUntil([&] { return QApplication::focusWidget() != before; })) return false;
    }
    return QApplication::focusWidget() == &widget;
}

}  // namespace app::ui::test
