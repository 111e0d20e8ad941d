#include "platform/qt/qt_symbol.hpp"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace platform {

QPixmap tintedSymbol(const QString& path, QSizeF size, const QColor& colour, qreal pixelRatio) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid() || size.isEmpty()) return {};
    const QSizeF fitted = renderer.defaultSize().toSizeF().scaled(size, Qt::KeepAspectRatio);
    const QSize pixels(int(std::ceil(fitted.width() * pixelRatio)), int(std::ceil(fitted.height() * pixelRatio)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    // The artwork gives the shape; the colour is the caller's.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(pixelRatio);
    return pixmap;
}

}  // namespace platform
