#include "app/ui/running_notice.hpp"

#include "app/tray/running_notice_model.hpp"
#include "app/ui/menu_style.hpp"

#include "platform/qt/qt_dialog_keys.hpp"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <vector>

namespace app::ui {

namespace {

constexpr int kWidth = 380;
constexpr int kSketchHeight = 26;
constexpr int kPlaceholders = 5;
constexpr int kDoneWidth = 200;

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

}  // namespace

TraySketch::TraySketch(int height, QWidget* parent) : QWidget(parent), height_(height) {
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(QString());
}

void TraySketch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar(rect());
    QPainterPath clip;
    clip.addRoundedRect(bar, 7, 7);
    painter.setClipPath(clip);
    painter.fillPath(clip, quaternaryColour(palette()));

    // The tray sits at the panel's end: the program's icon first, then the others'.
    const qreal spacing = 9;
    const QSizeF mark(15, 13);
    const qreal markBox = mark.width() + 6;
    const qreal rowWidth = markBox + kPlaceholders * (12 + spacing);
    qreal x = bar.right() - 10 - rowWidth;
    const qreal middle = bar.center().y();

    const QRectF box(x, middle - (mark.height() + 6) / 2, markBox, mark.height() + 6);
    QColor fill = accentColour(palette());
    fill.setAlphaF(0.3f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(box, 5, 5);
    const auto icon = symbolPixmap(QStringLiteral("MenuBarIcon"), mark, primaryColour(palette()), devicePixelRatioF());
    const QSizeF size = icon.deviceIndependentSize();
    painter.drawPixmap(QPointF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2), icon);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(accentColour(palette()), 1.5));
    painter.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 5, 5);

    x = box.right() + spacing;
    painter.setPen(Qt::NoPen);
    painter.setBrush(tertiaryColour(palette()));
    for (int i = 0; i < kPlaceholders; ++i, x += 12 + spacing) painter.drawRoundedRect(QRectF(x, middle - 6, 12, 12), 3, 3);
}

RunningNoticeView::RunningNoticeView(MenuBarIcon::Place place, QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Vantor MCP"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 22);
    layout->setSpacing(0);

    auto* icon = new QLabel(this);
    icon->setPixmap(appIconPixmap(56, devicePixelRatioF()));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addSpacing(10);
    layout->addWidget(centred(textLabel(qText(RunningNoticeText::kTitle), uiFont(17, QFont::DemiBold),
                                        primaryColour(palette()), false, this)));
    layout->addSpacing(4);
    sentence_ = centred(textLabel(qText(RunningNoticeText::sentence(place)), uiFont(13), secondaryColour(palette()),
                                  true, this));
    layout->addWidget(sentence_);
    if (RunningNoticeText::showsSketch(place)) {
        layout->addSpacing(18);
        sketch_ = new TraySketch(kSketchHeight, this);
        layout->addWidget(sketch_);
    }
    if (const auto tip = RunningNoticeText::tip(place)) {
        layout->addSpacing(14);
        tip_ = centred(textLabel(qText(*tip), uiFont(12), secondaryColour(palette()), true, this));
        layout->addWidget(tip_);
    }
    layout->addSpacing(20);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch(1);
    done_ = new QPushButton(qText(RunningNoticeText::kDone), this);
    makeProminent(*done_, kDoneWidth);
    buttons->addWidget(done_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(done_, &QPushButton::clicked, this, &QWidget::close);
    // "Done" has the focus at first, so that Return presses it; Escape closes the notice.
    done_->setFocus();
    platform::useDialogKeys(*this, done_, nullptr);
    fitHeightToContent(*this);
}

RunningNotice::RunningNotice() = default;
RunningNotice::~RunningNotice() = default;

void RunningNotice::show(MenuBarIcon::Place place) {
    if (window_) window_->close();
    window_ = std::make_unique<RunningNoticeView>(place);
    centreOnScreen(*window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

MenuBarIcon::Place placeOfIcon(const QSystemTrayIcon& icon) {
    MenuBarIcon::TrayState tray;
    tray.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    tray.iconShown = icon.isVisible();
    const QRect frame = icon.geometry();
    if (!frame.isEmpty()) tray.frame = platform::Rect{double(frame.x()), double(frame.y()), double(frame.width()),
                                                      double(frame.height())};
    std::vector<platform::Rect> screens;
    for (const auto* screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        screens.push_back({double(area.x()), double(area.y()), double(area.width()), double(area.height())});
    }
    return MenuBarIcon::place(tray, screens);
}

}  // namespace app::ui
