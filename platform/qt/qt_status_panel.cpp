#include "platform/qt/qt_status_panel.hpp"

#include "platform/qt/detail/clamped_label.hpp"
#include "platform/qt/detail/glyph.hpp"
#include "platform/qt/detail/overlay_style.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <utility>

namespace platform {

namespace {

constexpr int kMinimumHeight = 52;
constexpr int kCornerRadius = 14;
constexpr int kMaxMessageLines = 2;

// A text that wraps onto at most two lines; the rest is cut off with an ellipsis.
detail::ClampedLabel* makeLine(const QFont& font, const QColor& colour) {
    auto* label = new detail::ClampedLabel(font, kMaxMessageLines);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

// Spinner: a small turning arc, while shown.
class Spinner final : public QWidget {
public:
    Spinner() {
        setFixedSize(12, 12);
        turn_.setStartValue(0);
        turn_.setEndValue(360);
        turn_.setDuration(900);
        turn_.setLoopCount(-1);
        QObject::connect(&turn_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    }

protected:
    void showEvent(QShowEvent*) override { turn_.start(); }
    void hideEvent(QHideEvent*) override { turn_.stop(); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 255, 255, 191), 2, Qt::SolidLine, Qt::RoundCap));
        const int start = -turn_.currentValue().toInt() * 16;
        painter.drawArc(QRectF(1, 1, 10, 10), start, 270 * 16);
    }

private:
    QVariantAnimation turn_;
};

// CheckCircle: the green circle with a check mark before the closing words.
class CheckCircle final : public QWidget {
public:
    CheckCircle() { setFixedSize(15, 15); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(detail::kDoneGreen);
        painter.drawEllipse(QRectF(rect()));
        painter.translate(width() / 2.0, height() / 2.0);
        detail::paintCheckmark(painter, 8, Qt::white);
    }
};

QWidget* row(std::initializer_list<QWidget*> items, int minimumHeight = 0) {
    auto* container = new QWidget;
    auto* layout = new QHBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    // The last item, the text, takes the width left, so that it wraps only where it must.
    for (auto* item : items) layout->addWidget(item, item == *std::rbegin(items) ? 1 : 0, Qt::AlignVCenter);
    container->setMinimumHeight(minimumHeight);
    return container;
}

}  // namespace

StatusWidget::StatusWidget(OverlayLook look, std::function<void()> onDone,
                           std::function<void()> onStopSharing)
    : look_(look) {
    setFixedWidth(kWidth);
    setMinimumHeight(kMinimumHeight);

    message_ = makeLine(detail::overlayFont(13, QFont::DemiBold), Qt::white);
    finished_ = makeLine(detail::overlayFont(13, QFont::DemiBold), Qt::white);
    finishedRow_ = row({new CheckCircle, finished_});
    spinner_ = new Spinner;
    statusLine_ = makeLine(detail::overlayFont(12, QFont::Normal), QColor(255, 255, 255, 191));
    statusRow_ = row({spinner_, statusLine_}, 16);

    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(message_);
    column->addWidget(finishedRow_);
    column->addWidget(statusRow_);

    done_ = new detail::PillButton("Done", detail::accentColour(), 12, QMargins(10, 5, 10, 5));
    stopSharing_ = new detail::PillButton("Stop Sharing", QColor(255, 255, 255, 51), 12, QMargins(10, 5, 10, 5));
    QObject::connect(done_, &QAbstractButton::clicked, this, [onDone = std::move(onDone)] { onDone(); });
    QObject::connect(stopSharing_, &QAbstractButton::clicked, this,
                     [onStopSharing = std::move(onStopSharing)] { onStopSharing(); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 9, 12, 9);
    layout->setSpacing(10);
    layout->addWidget(new detail::Glyph(20, Qt::white), 0, Qt::AlignVCenter);
    layout->addLayout(column, 1);
    layout->addSpacing(6 - layout->spacing());
    layout->addWidget(done_, 0, Qt::AlignVCenter);
    layout->addWidget(stopSharing_, 0, Qt::AlignVCenter);
}

void StatusWidget::showContent(const StatusViewContent& content) {
    message_->setVisible(content.message.has_value());
    message_->setFullText(QString::fromStdString(content.message.value_or("")));
    finishedRow_->setVisible(content.finished.has_value());
    finished_->setFullText(QString::fromStdString(content.finished.value_or("")));
    statusRow_->setVisible(!content.finished);
    spinner_->setVisible(content.spinner);
    statusLine_->setFullText(QString::fromStdString(content.statusLine));
    done_->setVisible(content.showsDone);
    stopSharing_->setVisible(content.showsStopSharing);
    update();
}

int StatusWidget::fittingHeight() const {
    auto* box = layout();
    box->invalidate();
    box->activate();
    const int height = box->hasHeightForWidth() ? box->totalHeightForWidth(kWidth) : box->totalSizeHint().height();
    return std::max(kMinimumHeight, height);
}

void StatusWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    detail::paintBackground(painter, rect(), kCornerRadius, look_);
}

void StatusWidget::resizeEvent(QResizeEvent*) {
    if (look_ == OverlayLook::masked) setMask(detail::roundedRegion(rect(), kCornerRadius));
}

// The window manager doesn't move override-redirect windows: the box moves itself.
void StatusWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_ = event->position().toPoint();
}

void StatusWidget::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_) move(event->globalPosition().toPoint() - *dragOffset_);
}

void StatusWidget::mouseReleaseEvent(QMouseEvent*) {
    dragOffset_.reset();
}

namespace {

class QtStatusPanel final : public QtOverlayWindow<StatusPanelWindow> {
public:
    QtStatusPanel(StatusWidget* widget, OverlayLook look) : QtOverlayWindow(widget, look), status_(widget) {}

    void show(const StatusViewContent& content) override { status_->showContent(content); }
    double fittingHeight() const override { return status_->fittingHeight(); }

private:
    StatusWidget* status_;
};

}  // namespace

std::unique_ptr<StatusPanelWindow> makeQtStatusPanel(OverlayLook look, std::function<void()> onDone,
                                                     std::function<void()> onStopSharing) {
    auto* widget = new StatusWidget(look, std::move(onDone), std::move(onStopSharing));
    prepareOverlay(*widget, look, "Vantor MCP Status", /*clickThrough=*/false);
    return std::make_unique<QtStatusPanel>(widget, look);
}

}  // namespace platform
