#include "app/ui/menu_row.hpp"

#include "app/ui/menu_style.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <utility>

namespace app::ui {

namespace {

constexpr int kDisc = 26;
constexpr QSizeF kSymbolSize{13, 13};
constexpr QSizeF kMarkSize{15, 13};

// The hover background of rows and headers: the text colour, faintly, in a rounded rectangle;
// also on the row that has the keyboard focus, as a menu marks its current item.
void paintHover(QWidget& widget, QPainter& painter) {
    if (!widget.underMouse() && !widget.hasFocus()) return;
    QColor fill = primaryColour(widget.palette());
    fill.setAlphaF(0.1f);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(widget.rect()), 6, 6);
}

void makeHoverable(QAbstractButton& button) {
    button.setAttribute(Qt::WA_Hover);
    button.setCursor(Qt::PointingHandCursor);
    // The keyboard reaches every row (Tab, the arrow keys), a click gives no focus: as in a menu.
    button.setFocusPolicy(Qt::TabFocus);
    button.setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

}  // namespace

// IconDisc: a row's icon, centred in its disc.
class MenuRow::IconDisc final : public QWidget {
public:
    explicit IconDisc(RowIcon icon, QWidget* parent) : QWidget(parent), icon_(std::move(icon)) {
        setFixedSize(kDisc, kDisc);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setIcon(RowIcon icon) {
        icon_ = std::move(icon);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintDisc(painter, QRectF(rect()), icon_.prominent ? accentColour(palette()) : quaternaryColour(palette()));
        const QColor colour = icon_.prominent ? QColor(Qt::white) : primaryColour(palette());
        const auto symbol = symbolPixmap(icon_.name, icon_.isMark ? kMarkSize : kSymbolSize, colour, devicePixelRatioF());
        const QSizeF size = symbol.deviceIndependentSize();
        painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), symbol);
    }

private:
    RowIcon icon_;
};

Chevron::Chevron(QWidget* parent) : QWidget(parent) {
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Chevron::setExpanded(bool expanded) {
    if (expanded == expanded_) return;
    expanded_ = expanded;
    update();
}

void Chevron::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const auto symbol = symbolPixmap(QStringLiteral("chevron.right"), QSizeF(12, 12), secondaryColour(palette()),
                                     devicePixelRatioF());
    const QSizeF size = symbol.deviceIndependentSize();
    painter.translate(width() / 2.0, height() / 2.0);
    if (expanded_) painter.rotate(90);
    painter.drawPixmap(QPointF(-size.width() / 2, -size.height() / 2), symbol);
}

MenuRow::MenuRow(std::optional<RowIcon> icon, const QString& title, std::function<void()> action,
                 QWidget* accessory, QWidget* parent)
    : QAbstractButton(parent) {
    makeHoverable(*this);
    setText(title);
    auto* row = new QHBoxLayout(this);
    row->setSpacing(10);
    const int vertical = icon ? 4 : 5;
    row->setContentsMargins(8, vertical, 8, vertical);
    if (icon) {
        icon_ = new IconDisc(*icon, this);
        row->addWidget(icon_, 0, Qt::AlignVCenter);
    }
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    title_ = textLabel(title, uiFont(13), primaryColour(palette()), false, this);
    subtitle_ = textLabel(QString(), uiFont(11), secondaryColour(palette()), true, this);
    subtitle_->hide();
    // The labels are part of the button: clicks and hovering over them are the row's.
    title_->setAttribute(Qt::WA_TransparentForMouseEvents);
    subtitle_->setAttribute(Qt::WA_TransparentForMouseEvents);
    texts->addWidget(title_);
    texts->addWidget(subtitle_);
    row->addLayout(texts, 1);
    row->addSpacing(8);
    if (accessory != nullptr) {
        accessory->setParent(this);
        accessory->setAttribute(Qt::WA_TransparentForMouseEvents);
        row->addWidget(accessory, 0, Qt::AlignVCenter);
    }
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action) action();
    });
}

void MenuRow::setIcon(const RowIcon& icon) {
    if (icon_ != nullptr) icon_->setIcon(icon);
}

void MenuRow::setTitle(const QString& title) {
    setText(title);
    title_->setText(title);
}

QString MenuRow::title() const {
    return title_->text();
}

void MenuRow::setSubtitle(const std::optional<QString>& subtitle) {
    subtitle_->setText(subtitle.value_or(QString()));
    subtitle_->setVisible(subtitle.has_value());
}

std::optional<QString> MenuRow::subtitle() const {
    if (subtitle_->isHidden()) return std::nullopt;
    return subtitle_->text();
}

void MenuRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintHover(*this, painter);
}

CollapsibleSectionHeader::CollapsibleSectionHeader(const QString& title, std::function<void()> action,
                                                   QWidget* parent)
    : QAbstractButton(parent) {
    makeHoverable(*this);
    setText(title);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    auto* label = textLabel(title, uiFont(13, QFont::DemiBold), secondaryColour(palette()), false, this);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(label);
    row->addStretch(1);
    chevron_ = new Chevron(this);
    row->addWidget(chevron_, 0, Qt::AlignVCenter);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action) action();
    });
}

void CollapsibleSectionHeader::setExpanded(bool expanded) {
    chevron_->setExpanded(expanded);
}

bool CollapsibleSectionHeader::expanded() const {
    return chevron_->expanded();
}

void CollapsibleSectionHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintHover(*this, painter);
}

MenuDivider::MenuDivider(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
}

void MenuDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = primaryColour(palette());
    line.setAlphaF(0.15f);
    painter.setPen(QPen(line, 1));
    const double y = height() / 2.0;
    painter.drawLine(QPointF(8, y), QPointF(width() - 8, y));
}

}  // namespace app::ui
