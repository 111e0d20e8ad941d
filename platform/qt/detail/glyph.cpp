#include "platform/qt/detail/glyph.hpp"

#include <QPainter>

namespace platform::detail {

namespace {

// The mark's proportions, as parts of its side.
constexpr double kRingWidth = 0.1;
constexpr double kRingDiameter = 0.8;
constexpr double kDotDiameter = 0.25;

}  // namespace

Glyph::Glyph(int side, const QColor& colour, int verticalPadding)
    : side_(side), colour_(colour), padding_(verticalPadding) {
    setFixedSize(side, side + 2 * verticalPadding);
}

void Glyph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = side_;
    const QPointF centre(side / 2, padding_ + side / 2);
    const double ring = side * kRingDiameter;
    painter.setPen(QPen(colour_, side * kRingWidth));
    painter.drawEllipse(centre, ring / 2, ring / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour_);
    const double dot = side * kDotDiameter;
    painter.drawEllipse(centre, dot / 2, dot / 2);
}

}  // namespace platform::detail
