#pragma once

#include <QColor>
#include <QPixmap>
#include <QSizeF>
#include <QString>

namespace platform {

// kGlyphPath: the program's mark (a ring around a dot, with a pointer), the one artwork every
// view that shows the mark draws.
inline const QString kGlyphPath = QStringLiteral(":/vantor/symbols/Glyph.svg");

// tintedSymbol: the SVG artwork at path (drawn in black, as a template) in one colour, fitted
// into size with its aspect ratio kept, for a screen of the given pixel ratio. An artwork that
// can't be read, or an empty size, gives an empty pixmap. GUI thread only.
QPixmap tintedSymbol(const QString& path, QSizeF size, const QColor& colour, qreal pixelRatio);

}  // namespace platform
