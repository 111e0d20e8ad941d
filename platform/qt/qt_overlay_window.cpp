#include "platform/qt/qt_overlay_window.hpp"

#include <QPropertyAnimation>

#include <chrono>
#include <cmath>

namespace platform {

void prepareOverlay(QWidget& widget, OverlayLook look, const char* title, bool clickThrough) {
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                            Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
    if (clickThrough) flags |= Qt::WindowTransparentForInput;
    widget.setWindowFlags(flags);
    widget.setAttribute(Qt::WA_ShowWithoutActivating);
    widget.setAttribute(Qt::WA_TranslucentBackground, look == OverlayLook::translucent);
    widget.setWindowTitle(QString::fromUtf8(title));
}

template <class Base>
void QtOverlayWindow<Base>::setFrame(Rect frame) {
    // Frames are whole pixels on screen; round, so that a window centred on a spot stays within
    // half a pixel of it.
    widget_->setGeometry(static_cast<int>(std::lround(frame.x)), static_cast<int>(std::lround(frame.y)),
                         static_cast<int>(std::lround(frame.width)), static_cast<int>(std::lround(frame.height)));
}

template <class Base>
void QtOverlayWindow<Base>::orderFront() {
    widget_->setWindowOpacity(1.0);
    widget_->show();
    widget_->raise();
}

template <class Base>
void QtOverlayWindow<Base>::fadeOut(Scheduler::Clock::duration duration) {
    if (look_ == OverlayLook::masked) {
        widget_->hide();
        return;
    }
    auto* fade = new QPropertyAnimation(widget_, "windowOpacity", widget_);
    fade->setDuration(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
    fade->setEndValue(0.0);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

template class QtOverlayWindow<OverlayWindow>;
template class QtOverlayWindow<LabelPanel>;
template class QtOverlayWindow<StatusPanelWindow>;

}  // namespace platform
