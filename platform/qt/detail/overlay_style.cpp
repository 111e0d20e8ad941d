#include "platform/qt/detail/overlay_style.hpp"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainterPath>
#include <QPalette>
#include <QPolygon>

#include <algorithm>

namespace platform::detail {

namespace {

// Black at 85 % over a mid-grey desktop, for windows that can't be translucent.
const QColor kOpaqueBackground{0x1C, 0x1C, 0x1E};
constexpr int kBackgroundAlpha = 217;  // 85 % of 255
constexpr int kIconGap = 5;

}  // namespace

QColor accentColour() {
    return QGuiApplication::palette().color(QPalette::Highlight);
}

QFont overlayFont(int pixelSize, QFont::Weight weight, bool monospaced) {
    QFont result = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                              : QGuiApplication::font();
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

QLabel* textLabel(const QFont& font, const QColor& colour) {
    auto* label = new QLabel;
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

void paintBackground(QPainter& painter, const QRectF& rect, double radius, OverlayLook look) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, look == OverlayLook::translucent);
    painter.setPen(Qt::NoPen);
    if (look == OverlayLook::translucent) {
        painter.setBrush(QColor(0, 0, 0, kBackgroundAlpha));
        painter.drawRoundedRect(rect, radius, radius);
    } else {
        // The mask cuts the corners; the whole rectangle is filled so that no pixel inside the
        // mask is left unpainted.
        painter.fillRect(rect, kOpaqueBackground);
    }
    painter.restore();
}

QRegion roundedRegion(const QRect& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void paintCheckmark(QPainter& painter, double side, const QColor& colour) {
    QPen pen(colour, std::max(1.5, side / 6));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double h = side / 2;
    const QPointF points[] = {{-h * 0.8, 0}, {-h * 0.25, h * 0.55}, {h * 0.8, -h * 0.6}};
    painter.drawPolyline(points, 3);
}

void paintCopySymbol(QPainter& painter, double side, const QColor& colour) {
    painter.setPen(QPen(colour, std::max(1.2, side / 9)));
    painter.setBrush(Qt::NoBrush);
    const double h = side / 2;
    const double s = side * 0.62;
    painter.drawRoundedRect(QRectF(-h, -h, s, s), 1.5, 1.5);
    painter.drawRoundedRect(QRectF(h - s, h - s, s, s), 1.5, 1.5);
}

PillButton::PillButton(const QString& text, const QColor& fill, int fontSize, QMargins padding,
                       QWidget* parent)
    : QAbstractButton(parent), fill_(fill), padding_(padding) {
    setText(text);
    setFont(overlayFont(fontSize, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

QSize PillButton::contentSize(const QString& text) const {
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(text);
    if (icon_) width += metrics.height() + kIconGap;
    return {width, metrics.height()};
}

QSize PillButton::sizeHint() const {
    auto content = contentSize(text());
    if (!reserved_.isEmpty()) content = content.expandedTo(contentSize(reserved_));
    return content.grownBy(padding_);
}

void PillButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isDown() ? fill_.darker(120) : fill_);
    const double radius = height() / 2.0;
    painter.drawRoundedRect(QRectF(rect()), radius, radius);

    const auto content = contentSize(text());
    const QFontMetrics metrics(font());
    double x = (width() - content.width()) / 2.0;
    if (icon_) {
        const double side = metrics.height() * 0.8;
        painter.save();
        painter.translate(x + metrics.height() / 2.0, height() / 2.0);
        icon_(painter, side, Qt::white);
        painter.restore();
        x += metrics.height() + kIconGap;
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

CircleButton::CircleButton(int side, const QColor& fill, double iconSide, PillButton::IconPainter icon,
                           QWidget* parent)
    : QAbstractButton(parent), side_(side), fill_(fill), iconSide_(iconSide), icon_(std::move(icon)) {
    setFixedSize(side, side);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void CircleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isDown() ? fill_.lighter(150) : fill_);
    painter.drawEllipse(QRectF(rect()));
    painter.translate(width() / 2.0, height() / 2.0);
    icon_(painter, iconSide_, Qt::white);
}

}  // namespace platform::detail
