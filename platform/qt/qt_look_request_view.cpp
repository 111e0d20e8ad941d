#include "platform/qt/qt_look_request_view.hpp"

#include "platform/qt/detail/clamped_text.hpp"
#include "platform/qt/detail/glyph.hpp"
#include "platform/qt/detail/overlay_style.hpp"
#include "platform/qt/qt_dialog_keys.hpp"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <utility>

namespace platform {

namespace {

constexpr int kSidePadding = 22;
constexpr int kTopPadding = 6;
constexpr int kBottomPadding = 20;
constexpr int kSpacing = 10;
constexpr int kTextWidth = LookRequestView::kWidth - 2 * kSidePadding;
constexpr int kButtonHeight = 30;

QLabel* centredText(const QString& text, int pixelSize, QFont::Weight weight, bool secondary) {
    const auto palette = QGuiApplication::palette();
    auto* label = detail::textLabel(detail::overlayFont(pixelSize, weight),
                                    palette.color(secondary ? QPalette::PlaceholderText : QPalette::WindowText));
    label->setText(text);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFixedWidth(kTextWidth);
    return label;
}

// clampedText: a label of at most maxLines lines, cut off with an ellipsis.
QLabel* clampedText(const std::string& text, int pixelSize, QFont::Weight weight, int maxLines) {
    const auto font = detail::overlayFont(pixelSize, weight);
    return centredText(detail::clampLines(QString::fromStdString(text), font, kTextWidth, maxLines), pixelSize,
                       weight, false);
}

// wrappedText: a secondary line that wraps onto as many lines as it needs.
QLabel* wrappedText(const QString& text, int pixelSize) {
    auto* label = centredText(text, pixelSize, QFont::Normal, true);
    label->setWordWrap(true);
    return label;
}

}  // namespace

LookRequestView::LookRequestView(const RequestViewContent& content, std::function<void(LookAnswer)> onAnswer,
                                 QWidget* parent)
    : QWidget(parent), onAnswer_(std::move(onAnswer)) {
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(kSpacing);
    column->setContentsMargins(kSidePadding, kTopPadding, kSidePadding, kBottomPadding);
    column->setSizeConstraint(QLayout::SetNoConstraint);
    column->addWidget(new detail::Glyph(34, detail::accentColour(), 3), 0, Qt::AlignHCenter);
    column->addWidget(clampedText(content.title, 15, QFont::Bold, kTitleLines), 0, Qt::AlignHCenter);
    column->addWidget(clampedText(content.reason, 13, QFont::Normal, kReasonLines), 0, Qt::AlignHCenter);

    auto button = [this](const QString& label, LookAnswer answer) {
        auto* pushButton = new QPushButton(label);
        pushButton->setFont(detail::overlayFont(13, QFont::Normal));
        pushButton->setMinimumHeight(kButtonHeight);
        pushButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        QObject::connect(pushButton, &QPushButton::clicked, this, [this, answer] {
            // The answer may end the panel, and this view with it; the call works on a copy.
            auto answered = onAnswer_;
            if (answered) answered(answer);
        });
        return pushButton;
    };
    QPushButton* defaultButton = nullptr;
    QPushButton* notNow = button(tr("Not Now"), LookAnswer::declined());
    auto* buttons = new QWidget;
    if (content.offersKeeping) {
        column->addWidget(wrappedText(tr("You choose which one. It sees only that window, and it can't click or type."),
                                      12),
                          0, Qt::AlignHCenter);
        auto* stack = new QVBoxLayout(buttons);
        stack->setContentsMargins(0, 6, 0, 0);
        stack->setSpacing(8);
        defaultButton = button(tr("Share Once"), LookAnswer::choose(ShareGrant::once));
        stack->addWidget(defaultButton);
        stack->addWidget(button(tr("Share for 5 Minutes"), LookAnswer::choose(ShareGrant::fiveMinutes)));
        stack->addWidget(notNow);
        column->addWidget(buttons);
        column->addWidget(wrappedText(tr("For 5 minutes, it can look again after each step without asking."), 11),
                          0, Qt::AlignHCenter);
    } else {
        auto* row = new QHBoxLayout(buttons);
        row->setContentsMargins(0, 6, 0, 0);
        row->setSpacing(10);
        defaultButton = button(tr("Choose Window\u2026"), LookAnswer::choose(ShareGrant::once));
        row->addWidget(notNow, 1);
        row->addWidget(defaultButton, 1);
        column->addWidget(buttons);
    }
    defaultButton->setDefault(true);
    // The panel opens with the default button focused, so that Return answers with it until
    // the user moves the focus (Tab) to another button.
    defaultButton->setFocus();
    useDialogKeys(*this, defaultButton, notNow);
}

int LookRequestView::fittingHeight() const {
    return layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(kWidth) : layout()->totalSizeHint().height();
}

}  // namespace platform
