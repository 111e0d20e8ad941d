#include "app/ui/spinner.hpp"

#include "app/ui/menu_style.hpp"

#include <QPainter>

#include <algorithm>

namespace app::ui {

Spinner::Spinner(int side, QWidget* parent) : QWidget(parent), side_(side) {
    setFixedSize(side, side);
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double pen = std::max(1.5, side_ / 7.0);
    painter.setPen(QPen(tertiaryColour(palette()), pen));
    const QRectF circle = QRectF(rect()).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    painter.drawEllipse(circle);
    painter.setPen(QPen(secondaryColour(palette()), pen, Qt::SolidLine, Qt::RoundCap));
    // Qt counts angles in sixteenths of a degree, counter-clockwise.
    painter.drawArc(circle, -angle_ * 16, 100 * 16);
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void Spinner::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}

}  // namespace app::ui
