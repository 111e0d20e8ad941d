#include "platform/qt/detail/glyph.hpp"

#include "platform/qt/qt_symbol.hpp"

#include <QPainter>

namespace platform::detail {

Glyph::Glyph(int side, const QColor& colour, int verticalPadding)
    : side_(side), colour_(colour), padding_(verticalPadding) {
    setFixedSize(side, side + 2 * verticalPadding);
}

void Glyph::paintEvent(QPaintEvent*) {
    const QPixmap mark = tintedSymbol(kGlyphPath, QSizeF(side_, side_), colour_, devicePixelRatioF());
    if (mark.isNull()) return;
    const QSizeF size = mark.deviceIndependentSize();
    QPainter painter(this);
    painter.drawPixmap(QPointF((side_ - size.width()) / 2, padding_ + (side_ - size.height()) / 2), mark);
}

}  // namespace platform::detail
