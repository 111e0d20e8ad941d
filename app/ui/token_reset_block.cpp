#include "app/ui/token_reset_block.hpp"

#include "app/ui/connect_section.hpp"
#include "app/ui/menu_row.hpp"
#include "app/ui/menu_style.hpp"

#include "platform/error.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QToolTip>
#include <QVBoxLayout>

namespace app::ui {

TokenResetBlock::TokenResetBlock(MenuModel& panel, TokenReset& tokenReset, QWidget* parent)
    : QWidget(parent), panel_(panel), model_(tokenReset) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    row_ = new MenuRow(std::nullopt, qText(TokenReset::kRowTitle), [this] { model_.askReset(); }, nullptr, this);
    row_->setToolTip(qText(TokenReset::kRowHelp));
    layout->addWidget(row_);

    confirmation_ = new QWidget(this);
    auto* confirm = new QVBoxLayout(confirmation_);
    confirm->setContentsMargins(8, 4, 8, 4);
    confirm->setSpacing(6);
    confirm->addWidget(textLabel(qText(TokenReset::kQuestion), uiFont(13, QFont::DemiBold),
                                 primaryColour(palette()), false, confirmation_));
    confirm->addWidget(
        textLabel(qText(TokenReset::kExplanation), uiFont(11), secondaryColour(palette()), true, confirmation_));
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->addStretch(1);
    cancel_ = new QPushButton(qText(TokenReset::kCancel), confirmation_);
    reset_ = new QPushButton(qText(TokenReset::kReset), confirmation_);
    // A destructive action: drawn in red, as the system would draw it.
    QPalette destructive = reset_->palette();
    destructive.setColor(QPalette::ButtonText, kRed);
    reset_->setPalette(destructive);
    reset_->setDefault(true);
    buttons->addWidget(cancel_);
    buttons->addWidget(reset_);
    confirm->addLayout(buttons);
    layout->addWidget(confirmation_);
    connect(cancel_, &QPushButton::clicked, this, [this] { model_.cancelReset(); });
    connect(reset_, &QPushButton::clicked, this, [this] { reset(); });

    // The shortcuts beat the popup's own Escape (which would close the panel) while the
    // confirmation shows.
    const auto bind = [this](QKeySequence key, QPushButton* button) {
        auto* shortcut = new QShortcut(key, confirmation_);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    };
    bind(QKeySequence(Qt::Key_Escape), cancel_);
    bind(QKeySequence(Qt::Key_Return), reset_);
    bind(QKeySequence(Qt::Key_Enter), reset_);

    panelChanges_ = panel_.subscribe([this] { render(); });
    resetChanges_ = model_.subscribe([this] { render(); });
    render();
}

void TokenResetBlock::reset() {
    try {
        model_.resetToken();
    } catch (const platform::Error& error) {
        QToolTip::showText(reset_->mapToGlobal(reset_->rect().bottomLeft()),
                           QStringLiteral("Couldn't reset the token: %1").arg(QString::fromUtf8(error.what())), reset_);
    }
}

void TokenResetBlock::render() {
    setVisible(model_.shown());
    const bool confirming = model_.confirming();
    row_->setVisible(!confirming);
    // Hidden shortcuts don't fire: Escape closes the panel again once the question is gone.
    confirmation_->setVisible(confirming);
}

void attachTokenReset(ConnectSection& section, TokenResetBlock* block) {
    // The settings row sits in Manual Setup's own column; the block goes right under it.
    auto* manual = section.settingsRow().parentWidget();
    auto* column = manual ? qobject_cast<QVBoxLayout*>(manual->layout()) : nullptr;
    if (column == nullptr) return;
    block->setParent(manual);
    column->addWidget(block);
    block->render();
}

}  // namespace app::ui
