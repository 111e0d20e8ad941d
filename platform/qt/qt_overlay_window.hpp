#pragma once

#include "platform/windows.hpp"

#include <QPointer>
#include <QWidget>

namespace platform {

// OverlayLook: how the program's floating windows are drawn. Where a compositor runs they are
// translucent and fade out; on a plain X server they are cut to their shapes with masks, drawn
// opaque, and hidden at once.
enum class OverlayLook { masked, translucent };

// prepareOverlay: makes widget a floating window that the window manager leaves alone
// (override-redirect), stays above the others, never takes the focus and doesn't activate the
// program when shown; clickThrough lets every click pass to the window below.
void prepareOverlay(QWidget& widget, OverlayLook look, const char* title, bool clickThrough);

// QtOverlayWindow: an OverlayWindow over a widget made with prepareOverlay. The widget is
// deleted on a later turn of the event loop when this object goes, since that may happen inside
// one of the widget's own button handlers.
template <class Base>
class QtOverlayWindow : public Base {
public:
    QtOverlayWindow(QWidget* widget, OverlayLook look) : widget_(widget), look_(look) {}
    ~QtOverlayWindow() override {
        if (!widget_) return;
        widget_->hide();
        widget_->deleteLater();
    }
    QtOverlayWindow(const QtOverlayWindow&) = delete;
    QtOverlayWindow& operator=(const QtOverlayWindow&) = delete;

    Rect frame() const override {
        const auto g = widget_->geometry();
        return {double(g.x()), double(g.y()), double(g.width()), double(g.height())};
    }
    void setFrame(Rect frame) override;
    void orderFront() override;
    void fadeOut(Scheduler::Clock::duration duration) override;
    void orderOut() override { widget_->hide(); }

protected:
    QWidget* widget() const { return widget_; }

private:
    QPointer<QWidget> widget_;
    OverlayLook look_;
};

}  // namespace platform
