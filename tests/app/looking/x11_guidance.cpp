#include "tests/app/looking/x11_guidance.hpp"

#include "platform/x11/x11_click_source.hpp"
#include "platform/x11/x11_compositor.hpp"

#include <QApplication>
#include <QWidget>

namespace app::test {

void GuidanceX11Test::SetUp() {
    QtXTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    windowList.emplace(session().display);
    main.emplace();
    screens.emplace();
    clicks.emplace(platform::x11ClickSources(session().display));
    ASSERT_TRUE(clicks->available()) << "the X server should report clicks through XInput 2";
    windows.emplace(platform::compositorActive(*x) ? platform::OverlayLook::translucent
                                                    : platform::OverlayLook::masked);
    clipboard.emplace();
    status.emplace(*main);
    pointer.emplace(*main, *screens, *clicks, *windows, *clipboard, *status);
    panel.emplace(*status, *windows, *screens, *main, [this] { pointer->endAllAsDone(); },
                  [this] { ++stops; });
}

void GuidanceX11Test::TearDown() {
    panel.reset();
    pointer.reset();
    status.reset();
    windows.reset();
    clicks.reset();
    main.reset();
    QtXTest::TearDown();
}

std::function<std::optional<platform::Point>()> GuidanceX11Test::placeOn(platform::WindowID window,
                                                                         platform::Point at) {
    return [this, window, at]() -> std::optional<platform::Point> {
        const auto bounds = platform::windowBounds(*windowList, window, /*onScreenOnly=*/true);
        if (!bounds) return std::nullopt;
        return platform::Point{bounds->x + at.x, bounds->y + at.y};
    };
}

QAbstractButton* findButton(const QString& windowTitle, const QString& text) {
    for (auto* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() != windowTitle || !widget->isVisible()) continue;
        for (auto* button : widget->findChildren<QAbstractButton*>()) {
            if (button->text() == text && button->isVisible()) return button;
        }
    }
    return nullptr;
}

platform::Point centreOf(const QAbstractButton* button) {
    const auto p = button->mapToGlobal(button->rect().center());
    return {double(p.x()), double(p.y())};
}

bool isRingRed(std::uint32_t colour) {
    const int r = (colour >> 16) & 0xFF;
    const int g = (colour >> 8) & 0xFF;
    const int b = colour & 0xFF;
    return r > 200 && g < 110 && b < 100;
}

}  // namespace app::test
