#include "app/ui/tray_panel.hpp"

#include "app/tray/panel_placement.hpp"

#include "platform/qt/qt_dialog_keys.hpp"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>

#include <optional>

namespace app::ui {

namespace {

platform::Rect toRect(const QRect& rect) {
    return {double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

}  // namespace

TrayPanel::TrayPanel(MenuModel& model, QObject* parent)
    : QObject(parent), model_(model), view_(std::make_unique<MenuView>(model)) {
    view_->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    view_->setWindowTitle(QStringLiteral("Vantor MCP Menu"));
    // The press that closes the popup isn't passed on: a click on the icon then only closes it.
    view_->setAttribute(Qt::WA_NoMouseReplay);
    view_->installEventFilter(this);
    // Return presses the row that has the focus; Escape closes the panel.
    platform::useDialogKeys(*view_, nullptr, nullptr);
}

TrayPanel::~TrayPanel() {
    view_->removeEventFilter(this);
}

void TrayPanel::attach(QSystemTrayIcon& icon) {
    icon_ = &icon;
    connect(&icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) toggle();
    });
}

void TrayPanel::toggle() {
    if (isOpen()) {
        close();
        return;
    }
    if (closedByIconClick_ && closedAt_.isValid() && closedAt_.elapsed() < kSameClick.count()) return;
    open();
}

void TrayPanel::open() {
    model_.refresh();
    view_->render();
    place();
    // The panel itself takes the keys at first, as a menu opened by a click marks no row: Tab or
    // Down then reaches the first row.
    view_->setFocus(Qt::PopupFocusReason);
    view_->show();
    view_->raise();
    view_->activateWindow();
}

void TrayPanel::close() {
    view_->hide();
}

bool TrayPanel::isOpen() const {
    return view_->isVisible();
}

void TrayPanel::place() {
    std::optional<platform::Rect> iconFrame;
    QScreen* screen = nullptr;
    if (icon_ && !icon_->geometry().isEmpty()) {
        const QRect geometry = icon_->geometry();
        iconFrame = toRect(geometry);
        screen = QGuiApplication::screenAt(geometry.center());
    }
    if (screen == nullptr) screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const auto origin =
        trayPanelOrigin(iconFrame, view_->width(), view_->height(), toRect(screen->availableGeometry()));
    view_->move(int(origin.x), int(origin.y));
}

bool TrayPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_.get()) {
        if (event->type() == QEvent::Hide) {
            closedAt_.start();
            closedByIconClick_ = icon_ && icon_->geometry().contains(QCursor::pos());
        }
        // A panel that grows or shrinks while open stays at the icon and on the screen.
        if (event->type() == QEvent::Resize && view_->isVisible()) place();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace app::ui
