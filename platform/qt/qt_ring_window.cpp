#include "platform/qt/qt_ring_window.hpp"

#include "platform/qt/detail/overlay_style.hpp"

#include <QEasingCurve>
#include <QPainter>
#include <QRegion>

namespace platform {

namespace {

constexpr double kSmallest = 0.92;
constexpr double kLargest = 1.12;
constexpr int kSwingMilliseconds = 600;
// The circle's outline lies this far inside the ring's outer size: half the white stroke.
constexpr double kInset = 3;
constexpr double kWhiteStroke = 6;
constexpr double kRedStroke = 3.5;

}  // namespace

RingWidget::RingWidget(double diameter, OverlayLook look) : diameter_(diameter), look_(look) {
    // One loop swells and shrinks; each half eases in and out.
    pulse_.setStartValue(0.0);
    pulse_.setEndValue(1.0);
    pulse_.setDuration(2 * kSwingMilliseconds);
    pulse_.setLoopCount(-1);
    QObject::connect(&pulse_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        const double swing = t < 0.5 ? 2 * t : 2 * (1 - t);
        setScale(kSmallest + (kLargest - kSmallest) * QEasingCurve(QEasingCurve::InOutSine).valueForProgress(swing));
    });
}

void RingWidget::showEvent(QShowEvent*) {
    pulse_.start();
}

void RingWidget::hideEvent(QHideEvent*) {
    pulse_.stop();
}

void RingWidget::setScale(double scale) {
    scale_ = scale;
    updateMask();
    update();
}

void RingWidget::resizeEvent(QResizeEvent*) {
    updateMask();
}

void RingWidget::updateMask() {
    if (look_ != OverlayLook::masked) return;
    // The white stroke's band at the current scale, a pixel wider on each side.
    const double radius = (diameter_ / 2 - kInset) * scale_;
    const double half = kWhiteStroke / 2 * scale_ + 1;
    const QPointF centre(width() / 2.0, height() / 2.0);
    const auto disc = [&](double r) {
        return QRegion(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r).toAlignedRect(), QRegion::Ellipse);
    };
    setMask(disc(radius + half).subtracted(disc(radius - half)));
}

void RingWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = diameter_ / 2 - kInset;
    painter.translate(width() / 2.0, height() / 2.0);
    painter.scale(scale_, scale_);
    painter.setBrush(Qt::NoBrush);
    if (look_ == OverlayLook::translucent) {
        // The shadow: black at 35 %, a little below the ring and softened over 3 points.
        for (int step = 3; step >= 1; --step) {
            QColor shade(0, 0, 0, static_cast<int>(0.35 * 255 / 3));
            painter.setPen(QPen(shade, kWhiteStroke + 2 * step));
            painter.drawEllipse(QPointF(0, 1), radius, radius);
        }
    } else {
        // Behind the mask's edge pixels: white, so that the band reads as one ring.
        painter.setPen(QPen(Qt::white, kWhiteStroke + 2));
        painter.drawEllipse(QPointF(0, 0), radius, radius);
    }
    painter.setPen(QPen(Qt::white, kWhiteStroke));
    painter.drawEllipse(QPointF(0, 0), radius, radius);
    painter.setPen(QPen(detail::kRingRed, kRedStroke));
    painter.drawEllipse(QPointF(0, 0), radius, radius);
}

std::unique_ptr<OverlayWindow> makeQtRing(Rect frame, double diameter, OverlayLook look) {
    auto* widget = new RingWidget(diameter, look);
    prepareOverlay(*widget, look, "Vantor MCP Ring", /*clickThrough=*/true);
    auto window = std::make_unique<QtOverlayWindow<OverlayWindow>>(widget, look);
    window->setFrame(frame);
    return window;
}

}  // namespace platform
