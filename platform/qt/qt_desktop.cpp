#include "platform/qt/qt_desktop.hpp"

#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace platform {

namespace {

Rect rect(const QRect& r) {
    return {double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

}  // namespace

std::vector<Screen> QtScreens::screens() {
    std::vector<Screen> result;
    const auto* primary = QGuiApplication::primaryScreen();
    if (primary) result.push_back({rect(primary->geometry()), rect(primary->availableGeometry()), primary->devicePixelRatio()});
    for (const auto* screen : QGuiApplication::screens()) {
        if (screen == primary) continue;
        result.push_back({rect(screen->geometry()), rect(screen->availableGeometry()), screen->devicePixelRatio()});
    }
    return result;
}

Point QtScreens::mouseLocation() {
    const auto position = QCursor::pos();
    return {double(position.x()), double(position.y())};
}

void QtClipboard::setText(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

}  // namespace platform
