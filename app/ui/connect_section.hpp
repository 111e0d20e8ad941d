#pragma once

#include "app/tray/menu_model.hpp"

#include <QWidget>

class QComboBox;
class QLabel;

namespace app::ui {

class Chevron;
class CollapsibleSectionHeader;
class MenuRow;

// ConnectSection: the panel's "Connect Your AI" section: its header, the row that copies the
// setup prompt and, under "Manual Setup", the picker of AI apps with the picked app's hint and
// the row that copies its settings. It draws what the model says and hands clicks to it.
//
// Main thread only. Keeps a reference to the model, which must outlive it.
class ConnectSection final : public QWidget {
public:
    explicit ConnectSection(MenuModel& model, QWidget* parent = nullptr);

    // render: brings every part in line with the model.
    void render();

    // The parts, for the panel's tests.
    MenuRow& promptRow() const { return *promptRow_; }
    MenuRow& manualSetupRow() const { return *manualRow_; }
    MenuRow& settingsRow() const { return *settingsRow_; }
    QComboBox& clientPicker() const { return *picker_; }
    CollapsibleSectionHeader& header() const { return *header_; }

protected:
    // eventFilter: the picker of AI apps leaves Up and Down to the panel, which moves through
    // its rows with them; Return or Space opens its list, where the arrows choose.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void copy(const std::function<void()>& copyAction, QWidget& row);

    MenuModel& model_;
    CollapsibleSectionHeader* header_ = nullptr;
    QWidget* body_ = nullptr;
    MenuRow* promptRow_ = nullptr;
    QWidget* resetNote_ = nullptr;
    MenuRow* manualRow_ = nullptr;
    Chevron* manualChevron_ = nullptr;
    QWidget* manualBlock_ = nullptr;
    QComboBox* picker_ = nullptr;
    QLabel* hint_ = nullptr;
    MenuRow* settingsRow_ = nullptr;
};

}  // namespace app::ui
