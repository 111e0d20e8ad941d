#include "platform/qt/qt_label_panel.hpp"

#include "platform/qt/detail/clamped_text.hpp"
#include "platform/qt/detail/overlay_style.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace platform {

namespace {

constexpr int kTextWidth = 260;
constexpr int kMaxLines = 2;
constexpr int kCornerRadius = 10;
constexpr int kCopiedMilliseconds = 1500;

QLabel* textLine(const QString& text, const QFont& font, const QColor& colour) {
    auto* label = detail::textLabel(font, colour);
    label->setText(detail::clampLines(text, font, kTextWidth, kMaxLines));
    return label;
}

// Badge: the number in a red circle.
class Badge final : public QWidget {
public:
    explicit Badge(int number) : text_(QString::number(number)) {
        setFixedSize(20, 20);
        setFont(detail::overlayFont(12, QFont::Bold));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(detail::kRingRed);
        painter.drawEllipse(QRectF(rect()));
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text_);
    }

private:
    QString text_;
};

bool shown(const std::optional<std::string>& text) {
    return text && !text->empty();
}

}  // namespace

MarkLabelWidget::MarkLabelWidget(const MarkLabelContent& content, OverlayLook look,
                                 std::function<void()> onCopy, std::function<void()> onDone)
    : look_(look), onCopy_(std::move(onCopy)) {
    auto* row = new QHBoxLayout(this);
    row->setSpacing(8);
    row->setContentsMargins(10, 6, 7, 6);

    if (content.number) row->addWidget(new Badge(*content.number));

    if (shown(content.label) || shown(content.text)) {
        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        if (shown(content.label)) {
            column->addWidget(textLine(QString::fromStdString(*content.label),
                                       detail::overlayFont(13, QFont::DemiBold), Qt::white));
        }
        if (shown(content.text)) {
            column->addWidget(textLine(QString::fromStdString(*content.text),
                                       detail::overlayFont(12, QFont::Normal, /*monospaced=*/true),
                                       QColor(255, 255, 255, 217)));
        }
        row->addLayout(column);
    }

    if (shown(content.text)) {
        copy_ = new detail::PillButton("Copy", detail::accentColour(), 12, QMargins(9, 5, 9, 5));
        copy_->setIcon(detail::paintCopySymbol);
        copy_->reserveText("Copied");
        QObject::connect(copy_, &QAbstractButton::clicked, this, [this] { copyText(); });
        row->addWidget(copy_);
    }

    auto* done = new detail::CircleButton(22, QColor(255, 255, 255, 56), 11, detail::paintCheckmark);
    done->setToolTip("Done");
    done->setAccessibleName("Done");
    QObject::connect(done, &QAbstractButton::clicked, this, [onDone = std::move(onDone)] { onDone(); });
    row->addWidget(done);
}

void MarkLabelWidget::copyText() {
    // The caller puts the text on the clipboard; every Copy starts its own reset.
    showCopied(true);
    if (onCopy_) onCopy_();
    QTimer::singleShot(kCopiedMilliseconds, this, [this] { showCopied(false); });
}

void MarkLabelWidget::showCopied(bool copied) {
    copied_ = copied;
    copy_->setText(copied ? "Copied" : "Copy");
    copy_->setIcon(copied ? detail::PillButton::IconPainter(detail::paintCheckmark)
                          : detail::PillButton::IconPainter(detail::paintCopySymbol));
}

void MarkLabelWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    detail::paintBackground(painter, rect(), kCornerRadius, look_);
}

void MarkLabelWidget::resizeEvent(QResizeEvent*) {
    if (look_ == OverlayLook::masked) setMask(detail::roundedRegion(rect(), kCornerRadius));
}

namespace {

class QtLabelPanel final : public QtOverlayWindow<LabelPanel> {
public:
    using QtOverlayWindow::QtOverlayWindow;

    Size fittingSize() const override {
        const auto size = widget()->sizeHint();
        return {double(size.width()), double(size.height())};
    }
};

}  // namespace

std::unique_ptr<LabelPanel> makeQtLabel(const MarkLabelContent& content, OverlayLook look,
                                        std::function<void()> onCopy, std::function<void()> onDone) {
    auto* widget = new MarkLabelWidget(content, look, std::move(onCopy), std::move(onDone));
    prepareOverlay(*widget, look, "Vantor MCP Label", /*clickThrough=*/false);
    widget->adjustSize();
    return std::make_unique<QtLabelPanel>(widget, look);
}

}  // namespace platform
