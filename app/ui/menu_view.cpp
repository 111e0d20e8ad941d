#include "app/ui/menu_view.hpp"

#include "app/ui/connect_section.hpp"
#include "app/ui/menu_row.hpp"
#include "app/ui/menu_style.hpp"

#include <QEvent>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace app::ui {

// StatusDot: the 7-pixel dot before the status text, green while the host listens.
class MenuView::StatusDot final : public QWidget {
public:
    explicit StatusDot(QWidget* parent) : QWidget(parent) { setFixedSize(7, 7); }
    void setColour(const QColor& colour) {
        if (colour == colour_) return;
        colour_ = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintDisc(painter, QRectF(rect()), colour_);
    }

private:
    QColor colour_ = kOrange;
};

MenuView::MenuView(MenuModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setFixedWidth(kWidth);
    layout_ = new QVBoxLayout(this);
    layout_->setSpacing(4);
    layout_->setContentsMargins(6, 10, 6, 10);

    header_ = new QWidget(this);
    auto* header = new QHBoxLayout(header_);
    header->setContentsMargins(8, 2, 8, 2);
    // The product's name is a name, not a text to translate.
    name_ = textLabel(QStringLiteral("Vantor MCP"), uiFont(13, QFont::Bold), primaryColour(palette()), false, header_);
    header->addWidget(name_);
    header->addStretch(1);
    dot_ = new StatusDot(header_);
    header->addWidget(dot_, 0, Qt::AlignVCenter);
    statusText_ = textLabel(QString(), uiFont(11), secondaryColour(palette()), false, header_);
    header->addWidget(statusText_);
    layout_->addWidget(header_);
    layout_->addWidget(new MenuDivider(this));

    auto* sharing = new QVBoxLayout;
    sharing->setSpacing(4);
    noShare_ = textLabel(QStringLiteral("No window is shared."), uiFont(12), secondaryColour(palette()), false, this);
    noShare_->setContentsMargins(8, 2, 8, 2);
    sharing->addWidget(noShare_);
    stopSharing_ = new MenuRow(RowIcon{QStringLiteral("stop.fill"), false, false}, QStringLiteral("Stop Sharing"),
                               [this] { model_.stopSharing(); }, nullptr, this);
    sharing->addWidget(stopSharing_);
    tryIt_ = new MenuRow(RowIcon{QStringLiteral("Glyph"), true, true}, QStringLiteral("Try It"),
                         [this] {
                             // The panel gets out of the way of the window picker first.
                             window()->hide();
                             model_.runTryIt();
                         },
                         nullptr, this);
    sharing->addWidget(tryIt_);
    layout_->addLayout(sharing);
    layout_->addWidget(new MenuDivider(this));

    connect_ = new ConnectSection(model_, this);
    layout_->addWidget(connect_);
    layout_->addStretch(1);

    changes_ = model_.subscribe([this] { render(); });
    render();
}

void MenuView::render() {
    const QString status = qText(model_.statusText());
    // One line: what the name, the dot and the margins leave of the width.
    const int room = kWidth - 2 * 6 - 2 * 8 - name_->sizeHint().width() - dot_->width() - 3 * 8;
    statusText_->setText(statusText_->fontMetrics().elidedText(status, Qt::ElideRight, room));
    dot_->setColour(model_.statusColor() == MenuModel::StatusColor::green ? kGreen : kOrange);
    header_->setToolTip(qText(model_.headerTooltip()));

    const auto shareLine = model_.shareLine();
    noShare_->setVisible(!shareLine);
    stopSharing_->setVisible(shareLine.has_value());
    if (shareLine) stopSharing_->setSubtitle(qText(*shareLine));
    const auto& tryResult = model_.tryResult();
    tryIt_->setSubtitle(tryResult ? std::optional<QString>(qText(*tryResult)) : std::nullopt);

    connect_->render();
    fitHeightToContent(*this);
}

bool MenuView::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // Rows that appear, vanish or wrap change the height the content needs.
    if (event->type() == QEvent::LayoutRequest) fitHeightToContent(*this);
    return handled;
}

void MenuView::keyPressEvent(QKeyEvent* event) {
    const auto key = event->key();
    if (event->modifiers() == Qt::NoModifier && (key == Qt::Key_Down || key == Qt::Key_Up)) {
        focusNextPrevChild(key == Qt::Key_Down);
        return;
    }
    QWidget::keyPressEvent(event);
}

void MenuView::paintEvent(QPaintEvent*) {
    // The panel has no frame of the window manager's: a thin edge sets it off the desktop.
    QPainter painter(this);
    painter.setPen(tertiaryColour(palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace app::ui
