#include "app/ui/welcome_view.hpp"

#include "app/ui/menu_style.hpp"
#include "app/ui/spinner.hpp"

#include "platform/error.hpp"
#include "platform/qt/qt_dialog_keys.hpp"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>

namespace app::ui {

namespace {

// The default button spans half the window: the one step left is to close it.
constexpr int kDoneWidth = 260;

// RingIcon: the third step's icon, a red ring like the ones drawn over the user's window.
class RingIcon final : public QWidget {
public:
    explicit RingIcon(QWidget* parent) : QWidget(parent) { setFixedSize(22, 22); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        constexpr double kLine = 3;
        painter.setPen(QPen(kRed, kLine));
        painter.drawEllipse(QRectF(rect()).adjusted(kLine / 2, kLine / 2, -kLine / 2, -kLine / 2));
    }
};

QLabel* pixmapLabel(const QPixmap& pixmap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// One step: its icon in a 36-pixel column, the title over the detail, then the trailing
// controls, if any.
QWidget* stepRow(QWidget* icon, const QString& title, const QString& detail, QWidget* trailing, QWidget* parent) {
    auto* step = new QWidget(parent);
    auto* row = new QHBoxLayout(step);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    icon->setParent(step);
    icon->setFixedWidth(36);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(textLabel(title, uiFont(13, QFont::DemiBold), primaryColour(step->palette()), false, step));
    texts->addWidget(textLabel(detail, uiFont(12), secondaryColour(step->palette()), true, step));
    row->addLayout(texts, 1);
    if (trailing != nullptr) {
        row->addSpacing(12);
        trailing->setParent(step);
        row->addWidget(trailing, 0, Qt::AlignVCenter);
    }
    return step;
}

}  // namespace

WelcomeView::WelcomeView(WelcomeModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      model_(model) {
    setWindowTitle(QStringLiteral("Welcome to Vantor MCP"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedWidth(kWidth);
    const qreal ratio = devicePixelRatioF();

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(44, 36, 44, 28);
    page->setSpacing(0);

    auto* icon = pixmapLabel(appIconPixmap(96, ratio), this);
    icon->setFixedSize(96, 96);
    page->addWidget(icon, 0, Qt::AlignHCenter);
    page->addSpacing(8);
    page->addWidget(textLabel(QStringLiteral("Welcome to Vantor MCP"), uiFont(26, QFont::Bold), primaryColour(palette()),
                              false, this),
                    0, Qt::AlignHCenter);
    page->addSpacing(4);
    auto* tagline = textLabel(QStringLiteral("Show your AI agent one window, and let it show you where to click."),
                              uiFont(13), secondaryColour(palette()), true, this);
    tagline->setAlignment(Qt::AlignHCenter);
    page->addWidget(tagline);
    page->addSpacing(30);

    // Step 1, with its button or, once an AI app has connected, a green checkmark.
    auto* trailing = new QWidget;
    auto* trailingRow = new QHBoxLayout(trailing);
    trailingRow->setContentsMargins(0, 0, 0, 0);
    copyButton_ = new QPushButton(trailing);
    connect(copyButton_, &QPushButton::clicked, this, [this] {
        try {
            model_.copySetupPrompt();
        } catch (const platform::Error& error) {
            QToolTip::showText(copyButton_->mapToGlobal(copyButton_->rect().bottomLeft()),
                               QStringLiteral("Couldn't copy: %1").arg(QString::fromUtf8(error.what())), copyButton_);
        }
    });
    trailingRow->addWidget(copyButton_);
    connectedMark_ =
        pixmapLabel(symbolPixmap(QStringLiteral("checkmark.circle.fill"), QSizeF(20, 20), kGreen, ratio), trailing);
    trailingRow->addWidget(connectedMark_);
    page->addWidget(stepRow(pixmapLabel(symbolPixmap(QStringLiteral("cpu"), QSizeF(22, 22), kBlue, ratio), nullptr),
                            QStringLiteral("Connect your AI"), QStringLiteral("Paste the setup prompt into your AI agent."),
                            trailing, this));

    // The status line stands close under step 1, indented to its texts; it takes no room while
    // there is nothing to say.
    statusLine_ = new QWidget(this);
    auto* status = new QHBoxLayout(statusLine_);
    status->setContentsMargins(52, 8, 0, 0);
    status->setSpacing(6);
    spinner_ = new Spinner(10, statusLine_);
    status->addWidget(spinner_, 0, Qt::AlignVCenter);
    statusText_ = textLabel(QString(), uiFont(11), secondaryColour(palette()), false, statusLine_);
    status->addWidget(statusText_, 1);
    page->addWidget(statusLine_);
    page->addSpacing(22);

    tryItButton_ = new QPushButton(QStringLiteral("Try It"));
    connect(tryItButton_, &QPushButton::clicked, this, [this] { model_.tryIt(); });
    page->addWidget(stepRow(pixmapLabel(symbolPixmap(QStringLiteral("Glyph"), QSizeF(28, 28), kPink, ratio), nullptr),
                            QStringLiteral("Show it a window"),
                            QStringLiteral("When it asks, you pick the window it may see. Nothing else on your screen is "
                                           "shared."),
                            tryItButton_, this));
    page->addSpacing(22);

    auto* ring = new QWidget;
    auto* ringColumn = new QHBoxLayout(ring);
    ringColumn->setContentsMargins(0, 0, 0, 0);
    ringColumn->addWidget(new RingIcon(ring), 0, Qt::AlignCenter);
    page->addWidget(stepRow(ring, QStringLiteral("It points, you click"),
                            QStringLiteral("A ring on your screen shows where it means. It can't click or type itself."),
                            nullptr, this));

    page->addSpacing(24);
    page->addStretch(1);

    // Where the program is once the guide is closed: the icon in the tray, or, without a tray,
    // that it can't be seen and what to do about it.
    trayNote_ = new QWidget(this);
    auto* noteRow = new QHBoxLayout(trayNote_);
    noteRow->setContentsMargins(0, 0, 0, 0);
    noteRow->setSpacing(6);
    noteRow->addWidget(pixmapLabel(
        symbolPixmap(QStringLiteral("MenuBarIcon"), QSizeF(15, 13), secondaryColour(palette()), ratio), trayNote_));
    trayText_ = textLabel(QString(), uiFont(12), secondaryColour(palette()), false, trayNote_);
    noteRow->addWidget(trayText_);
    page->addWidget(trayNote_, 0, Qt::AlignHCenter);
    noTray_ = new QWidget(this);
    auto* noTray = new QVBoxLayout(noTray_);
    noTray->setContentsMargins(0, 0, 0, 0);
    noTray->setSpacing(6);
    noTraySentence_ = textLabel(QString(), uiFont(12), secondaryColour(palette()), true, noTray_);
    noTrayTip_ = textLabel(QString(), uiFont(12), secondaryColour(palette()), true, noTray_);
    for (auto* label : {noTraySentence_, noTrayTip_}) {
        label->setAlignment(Qt::AlignHCenter);
        noTray->addWidget(label);
    }
    page->addWidget(noTray_);
    page->addSpacing(14);

    doneButton_ = new QPushButton(QStringLiteral("Done"), this);
    makeProminent(*doneButton_, kDoneWidth);
    connect(doneButton_, &QPushButton::clicked, this, &QWidget::close);
    page->addWidget(doneButton_, 0, Qt::AlignHCenter);
    // Escape closes the guide as its close button does.
    platform::useDialogKeys(*this, doneButton_, nullptr);

    changes_ = model_.subscribe([this] { render(); });
    render();
}

void WelcomeView::render() {
    const bool connected = model_.connected();
    copyButton_->setText(qText(model_.copyButtonTitle()));
    copyButton_->setVisible(!connected);
    connectedMark_->setVisible(connected);
    const auto line = model_.statusLine();
    statusLine_->setVisible(line != WelcomeModel::StatusLine::none);
    spinner_->setVisible(line == WelcomeModel::StatusLine::waiting);
    statusText_->setText(qText(model_.statusText()));
    const auto tray = model_.trayNote();
    trayNote_->setVisible(!tray.tip);
    noTray_->setVisible(tray.tip.has_value());
    (tray.tip ? noTraySentence_ : trayText_)->setText(qText(tray.sentence));
    noTrayTip_->setText(qText(tray.tip.value_or("")));
    fitHeightToContent(*this);
}

void WelcomeView::present() {
    // The tray may have come or gone since the guide was last shown.
    render();
    // Opened afresh, the guide has its default button focused: Return presses "Done".
    if (!isVisible()) doneButton_->setFocus();
    if (!placed_) {
        placed_ = true;
        fitHeightToContent(*this);
        if (auto* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
    }
    show();
    raise();
    activateWindow();
}

void WelcomeView::closeEvent(QCloseEvent* event) {
    model_.markSeen();
    QWidget::closeEvent(event);
}

}  // namespace app::ui
