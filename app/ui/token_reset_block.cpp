#include "app/ui/token_reset_block.hpp"

#include "app/ui/connect_section.hpp"
#include "app/ui/menu_row.hpp"
#include "app/ui/menu_style.hpp"

#include "platform/error.hpp"
#include "platform/qt/qt_dialog_keys.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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
    // The keyboard's focus moves between the row and the question with them.
    const bool rowFocused = row_->hasFocus();
    const bool questionFocused = confirmation_->isAncestorOf(QApplication::focusWidget());
    if (confirming) {
        row_->setVisible(false);
        confirmation_->setVisible(true);
        if (rowFocused) reset_->setFocus();
    } else {
        row_->setVisible(true);
        // A hidden question takes no keys: Escape closes the panel again once it is gone.
        confirmation_->setVisible(false);
        if (questionFocused) row_->setFocus();
    }
}

void attachTokenReset(ConnectSection& section, TokenResetBlock* block) {
    // The settings row sits in Manual Setup's own column; the block goes right under it.
    auto* manual = section.settingsRow().parentWidget();
    auto* column = manual ? qobject_cast<QVBoxLayout*>(manual->layout()) : nullptr;
    if (column == nullptr) return;
    block->setParent(manual);
    column->addWidget(block);
    // In the panel's window now: there the question's keys are watched.
    platform::useDialogKeys(block->confirmation(), &block->resetButton(), &block->cancelButton());
    block->render();
}

}  // namespace app::ui
