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

void UiX11Test::clickAt(const QWidget& widget) {
    clickAt(widget.mapToGlobal(widget.rect().center()));
}

void UiX11Test::clickAt(QPoint at) {
    click({double(at.x()), double(at.y())});
}

void UiX11Test::pressKey(const std::string& key) {
    session().runChecked({"xdotool", "key", key});
}

std::string UiX11Test::pasted() {
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

std::vector<std::uint32_t> UiX11Test::windowIds(const QString& title) {
    const auto found = session().run(
        {"xdotool", "search", "--onlyvisible", "--name", "^" + title.toStdString() + "$"});
    std::vector<std::uint32_t> ids;
    std::istringstream text(found.output);
    for (std::uint32_t id = 0; text >> id;) ids.push_back(id);
    return ids;
}

std::optional<QRect> UiX11Test::frameOf(std::uint32_t window) {
    auto* c = x->get();
    const auto geometry = platform::xcbReply(c, xcb_get_geometry(c, window), xcb_get_geometry_reply);
    const auto origin =
        platform::xcbReply(c, xcb_translate_coordinates(c, window, x->root(), 0, 0), xcb_translate_coordinates_reply);
    if (!geometry || !origin) return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

std::optional<std::uint32_t> UiX11Test::activeWindow() {
    const auto active = session().run({"xdotool", "getactivewindow"});
    if (active.exitCode != 0) return std::nullopt;
    return std::uint32_t(std::stoul(active.output));
}

void UiX11Test::askToClose(std::uint32_t window) {
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

void UiX11Test::saveScreen(QRect rect, const std::string& name) {
    // The server gives no pixels for a rectangle that reaches past the screen.
    rect &= QGuiApplication::primaryScreen()->geometry();
    session().saveScreenshot(grab({double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())}),
                             name);
}

bool UiX11Test::moveFocusTo(const QWidget& widget, const std::string& key) {
    // More presses than any window here has widgets to take the focus.
    for (int press = 0; press < 40; ++press) {
        const QWidget* before = QApplication::focusWidget();
        if (before == &widget) return true;
        pressKey(key);
        if (!pumpUntil([&] { return QApplication::focusWidget() != before; })) return false;
    }
    return QApplication::focusWidget() == &widget;
}

}  // namespace app::ui::test
