#include "platform/qt/detail/clamped_label.hpp"

#include "platform/qt/detail/clamped_text.hpp"

#include <QFontMetrics>
#include <QResizeEvent>

#include <algorithm>

namespace platform::detail {

ClampedLabel::ClampedLabel(const QFont& font, int maxLines, QWidget* parent) : QLabel(parent), maxLines_(maxLines) {
    setFont(font);
    setTextFormat(Qt::PlainText);
    // The label breaks its lines itself: Qt's own wrapping knows no line limit.
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ClampedLabel::setFullText(const QString& text) {
    if (text == full_) return;
    full_ = text;
    setText(shownAt(width()));
    updateGeometry();
}

QString ClampedLabel::shownAt(int width) const {
    if (full_.isEmpty() || width <= 0) return {};
    return clampLines(full_, font(), width, maxLines_);
}

int ClampedLabel::heightForWidth(int width) const {
    if (full_.isEmpty()) return 0;
    const auto lines = std::max<qsizetype>(1, shownAt(width).count(QLatin1Char('\n')) + 1);
    return int(lines) * QFontMetrics(font()).lineSpacing();
}

QSize ClampedLabel::sizeHint() const {
    // As wide as the text on one line: the layout gives it less when it must.
    const int width = QFontMetrics(font()).horizontalAdvance(full_) + 1;
    return {width, heightForWidth(width)};
}

QSize ClampedLabel::minimumSizeHint() const {
    return {QFontMetrics(font()).averageCharWidth() * 4, full_.isEmpty() ? 0 : QFontMetrics(font()).lineSpacing()};
}

void ClampedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (event->size().width() != event->oldSize().width()) setText(shownAt(event->size().width()));
}

}  // namespace platform::detail
