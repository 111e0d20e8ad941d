#pragma once

#include "platform/qt/qt_overlay_window.hpp"

#include <QVariantAnimation>
#include <QWidget>

#include <memory>

namespace platform {

// RingWidget: the pulsing ring around a spot: a white circle with a red one on it, swelling
// from 0.92 to 1.12 of its size and shrinking back, 0.6 s each way, for as long as it is
// shown. Where there is no compositor the window is cut to the ring's current outline, so the
// spot in its middle and everything around it stay visible.
class RingWidget final : public QWidget {
public:
    // diameter: the ring's outer size before the pulse.
    RingWidget(double diameter, OverlayLook look);

    // scale: the pulse's current scale.
    double scale() const { return scale_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setScale(double scale);
    void updateMask();

    double diameter_;
    OverlayLook look_;
    double scale_ = 0.92;
    QVariantAnimation pulse_;
};

// makeQtRing: a click-through ring window titled "Vantor MCP Ring" at frame, hidden.
std::unique_ptr<OverlayWindow> makeQtRing(Rect frame, double diameter, OverlayLook look);

}  // namespace platform
