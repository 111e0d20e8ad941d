#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <string_view>

class QLabel;
class QPainter;
class QPushButton;
class QWidget;

// The look of the tray panel and the welcome window: fonts in pixels, the theme's colours at the
// strengths the rows use, and the bundled symbols. Sizes are Qt's device-independent pixels.
namespace app::ui {

// qText: UTF-8 text as a QString.
inline QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// uiFont: the system font at a pixel size and weight.
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal);

// The theme's text colour at decreasing strengths, and its accent (highlight) colour.
QColor primaryColour(const QPalette& palette);
QColor secondaryColour(const QPalette& palette);
QColor tertiaryColour(const QPalette& palette);
QColor quaternaryColour(const QPalette& palette);
QColor accentColour(const QPalette& palette);

inline const QColor kGreen{0x34, 0xC7, 0x59};
inline const QColor kOrange{0xFF, 0x95, 0x00};
inline const QColor kBlue{0x00, 0x7A, 0xFF};
inline const QColor kPink{0xFF, 0x2D, 0x55};
inline const QColor kRed{0xFF, 0x3B, 0x30};

// paintDisc: a filled circle in rect, smoothed.
void paintDisc(QPainter& painter, const QRectF& rect, const QColor& colour);

// symbolPixmap: the bundled symbol or mark of that name ("checkmark", "doc.on.doc", "Glyph", …)
// drawn in one colour, fitted into size with its aspect ratio kept, for a screen of the given
// pixel ratio. A name that isn't bundled gives an empty pixmap.
QPixmap symbolPixmap(const QString& name, QSizeF size, const QColor& colour, qreal pixelRatio);

// appIconPixmap: the program's icon at a square side: the bundled artwork, else the
// application's window icon.
QPixmap appIconPixmap(int side, qreal pixelRatio);

// textLabel: a label of plain text in a font and colour; wrapping ones grow as tall as they need.
QLabel* textLabel(const QString& text, const QFont& font, const QColor& colour, bool wraps = false,
                  QWidget* parent = nullptr);

// makeProminent: the look of a window's default button: filled with the accent colour, its
// text white and semibold, at a fixed width. The button is made the default one as well.
void makeProminent(QPushButton& button, int width);

// fitHeightToContent: gives a widget of fixed width the height its layout needs at that width
// (wrapping labels included).
void fitHeightToContent(QWidget& widget);

// setTextColour: the colour a label draws its text in.
void setTextColour(QWidget& widget, const QColor& colour);

// centreOnScreen: moves a window so that it stands in the middle of the primary screen's free area.
void centreOnScreen(QWidget& window);

}  // namespace app::ui
