#pragma once

#include "app/tray/menu_model.hpp"
#include "app/tray/token_reset.hpp"

#include "platform/subscription.hpp"

#include <QWidget>

class QPushButton;

namespace app::ui {

class ConnectSection;
class MenuRow;

// TokenResetBlock: the access-token reset under Manual Setup, there only while "Other app
// (HTTP)" is picked: the row "Reset Access Token…" or, in its place, the inline confirmation
// with "Cancel" (Escape) and "Reset" (the default button: Return while no button has the
// focus). A reset that fails shows why at the block.
//
// Main thread only. Keeps references to both models, which must outlive it.
class TokenResetBlock final : public QWidget {
public:
    TokenResetBlock(MenuModel& panel, TokenReset& reset, QWidget* parent = nullptr);

    // render: brings the block in line with the models.
    void render();

    // The parts, for tests.
    MenuRow& resetRow() const { return *row_; }
    QWidget& confirmation() const { return *confirmation_; }
    QPushButton& cancelButton() const { return *cancel_; }
    QPushButton& resetButton() const { return *reset_; }

private:
    void reset();

    MenuModel& panel_;
    TokenReset& model_;
    MenuRow* row_ = nullptr;
    QWidget* confirmation_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* reset_ = nullptr;
    platform::Subscription panelChanges_;
    platform::Subscription resetChanges_;
};

// attachTokenReset: puts block under the settings row of the section's Manual Setup, and gives
// its question the keys of a dialog there (useDialogKeys).
void attachTokenReset(ConnectSection& section, TokenResetBlock* block);

}  // namespace app::ui
