#pragma once

#include "platform/qt/qt_overlay_window.hpp"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QRegion>

#include <functional>

// The look shared by the floating windows: colours, the dark rounded background, fonts and
// the painted buttons (no platform chrome, the same on every desktop theme).
namespace platform::detail {

inline const QColor kRingRed{0xFF, 0x3B, 0x30};
inline const QColor kDoneGreen{0x34, 0xC7, 0x59};

// accentColour: the desktop theme's highlight colour.
QColor accentColour();

// overlayFont: the system font at a pixel size and weight (monospaced when asked).
QFont overlayFont(int pixelSize, QFont::Weight weight, bool monospaced = false);

// textLabel: a label of plain text in a font and colour, on no background of its own.
QLabel* textLabel(const QFont& font, const QColor& colour);

// paintBackground: the dark rounded rectangle behind labels and the status box: black at 85 %
// where translucency shows, an opaque near-black where the window is masked instead.
void paintBackground(QPainter& painter, const QRectF& rect, double radius, OverlayLook look);

// roundedRegion: the mask of a rounded rectangle.
QRegion roundedRegion(const QRect& rect, double radius);

// Icon painters: draw into a square of the given side, centred at the origin.
void paintCheckmark(QPainter& painter, double side, const QColor& colour);
void paintCopySymbol(QPainter& painter, double side, const QColor& colour);

// PillButton: a capsule filled with one colour, holding an optional painted icon and a text in
// white. Takes clicks over the whole capsule.
class PillButton final : public QAbstractButton {
public:
    using IconPainter = std::function<void(QPainter&, double side, const QColor&)>;

    PillButton(const QString& text, const QColor& fill, int fontSize, QMargins padding,
               QWidget* parent = nullptr);

    void setIcon(IconPainter icon) { icon_ = std::move(icon); updateGeometry(); update(); }
    // reserveText: the button is sized to fit this text as well, so that it can switch to it
    // without growing.
    void reserveText(const QString& text) { reserved_ = text; updateGeometry(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize contentSize(const QString& text) const;

    QColor fill_;
    QMargins padding_;
    IconPainter icon_;
    QString reserved_;
};

// CircleButton: a circle filled with one colour and a painted icon in its middle.
class CircleButton final : public QAbstractButton {
public:
    CircleButton(int side, const QColor& fill, double iconSide, PillButton::IconPainter icon,
                 QWidget* parent = nullptr);

    QSize sizeHint() const override { return {side_, side_}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int side_;
    QColor fill_;
    double iconSide_;
    PillButton::IconPainter icon_;
};

}  // namespace platform::detail
