#include "app/ui/menu_style.hpp"

#include "platform/qt/qt_symbol.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>

#include <cmath>

namespace app::ui {

namespace {

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(float(alpha));
    return colour;
}

QString symbolPath(const QString& name) {
    return QStringLiteral(":/vantor/symbols/%1.svg").arg(name);
}

}  // namespace

QFont uiFont(int pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor primaryColour(const QPalette& palette) {
    return palette.color(QPalette::WindowText);
}

QColor secondaryColour(const QPalette& palette) {
    return withAlpha(primaryColour(palette), 0.55);
}

QColor tertiaryColour(const QPalette& palette) {
    return withAlpha(primaryColour(palette), 0.3);
}

QColor quaternaryColour(const QPalette& palette) {
    return withAlpha(primaryColour(palette), 0.12);
}

QColor accentColour(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}

void paintDisc(QPainter& painter, const QRectF& rect, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(rect);
    painter.restore();
}

QPixmap symbolPixmap(const QString& name, QSizeF size, const QColor& colour, qreal pixelRatio) {
    // The artwork is drawn in black as a template: its shape, in whatever colour the row asks.
    return platform::tintedSymbol(symbolPath(name), size, colour, pixelRatio);
}

QPixmap appIconPixmap(int side, qreal pixelRatio) {
    QSvgRenderer renderer(symbolPath(QStringLiteral("AppIcon")));
    if (renderer.isValid()) {
        const int pixels = int(std::ceil(side * pixelRatio));
        QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(pixelRatio);
        return pixmap;
    }
    return QApplication::windowIcon().pixmap(QSize(side, side), pixelRatio);
}

void makeProminent(QPushButton& button, int width) {
    const QColor accent = accentColour(button.palette());
    button.setDefault(true);
    button.setFixedSize(width, 32);
    button.setFont(uiFont(13, QFont::DemiBold));
    button.setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: #ffffff; border: none; "
                                        "border-radius: 7px; padding: 0 16px; }"
                                        "QPushButton:hover { background-color: %2; }"
                                        // The keyboard's focus shows as a light inner edge.
                                        "QPushButton:focus { border: 2px solid rgba(255, 255, 255, 170); }"
                                        "QPushButton:pressed { background-color: %3; }")
                             .arg(accent.name(), accent.lighter(110).name(), accent.darker(115).name()));
}

void fitHeightToContent(QWidget& widget) {
    auto* layout = widget.layout();
    if (layout == nullptr) return;
    layout->activate();
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(widget.width())
                                                   : layout->totalSizeHint().height();
    if (height != widget.height()) widget.setFixedHeight(height);
}

void setTextColour(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    // A label inside a button draws with the button's text role.
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) palette.setColor(role, colour);
    widget.setPalette(palette);
}

QLabel* textLabel(const QString& text, const QFont& font, const QColor& colour, bool wraps, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setWordWrap(wraps);
    setTextColour(*label, colour);
    return label;
}

void centreOnScreen(QWidget& window) {
    const auto* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    window.move(area.x() + (area.width() - window.width()) / 2, area.y() + (area.height() - window.height()) / 2);
}

}  // namespace app::ui
