#pragma once

#include "app/tray/menu_model.hpp"

#include "platform/subscription.hpp"

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace app::ui {

class ConnectSection;
class MenuRow;

// MenuView: the tray panel's content, 320 pixels wide and as tall as what it shows: the header
// with the host's state, the sharing section with Stop Sharing and Try It, and the "Connect
// Your AI" section. It redraws whenever the model says something changed, and fits its height
// to its content.
//
// Main thread only. Keeps a reference to the model, which must outlive it.
class MenuView final : public QWidget {
public:
    static constexpr int kWidth = 320;

    explicit MenuView(MenuModel& model, QWidget* parent = nullptr);

    // render: brings every part in line with the model and fits the height.
    void render();

    // The parts, for the panel's tests.
    QLabel& statusLabel() const { return *statusText_; }
    QWidget& header() const { return *header_; }
    QLabel& noShareLabel() const { return *noShare_; }
    MenuRow& stopSharingRow() const { return *stopSharing_; }
    MenuRow& tryItRow() const { return *tryIt_; }
    ConnectSection& connectSection() const { return *connect_; }

protected:
    bool event(QEvent* event) override;
    // keyPressEvent: Down and Up move the focus to the next and the previous row, as in a menu.
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class StatusDot;

    MenuModel& model_;
    QVBoxLayout* layout_ = nullptr;
    QWidget* header_ = nullptr;
    QLabel* name_ = nullptr;
    StatusDot* dot_ = nullptr;
    QLabel* statusText_ = nullptr;
    QLabel* noShare_ = nullptr;
    MenuRow* stopSharing_ = nullptr;
    MenuRow* tryIt_ = nullptr;
    ConnectSection* connect_ = nullptr;
    platform::Subscription changes_;
};

}  // namespace app::ui
