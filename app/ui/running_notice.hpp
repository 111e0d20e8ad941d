#pragma once

#include "app/tray/menu_bar_icon.hpp"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QSystemTrayIcon;

namespace app::ui {

// TraySketch: a drawing of a desktop panel's tray with the program's icon highlighted among
// other programs' icons, for the notice to show where to look.
class TraySketch final : public QWidget {
public:
    explicit TraySketch(int height, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {240, height_}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int height_;
};

// RunningNoticeView: the notice's content, 380 pixels wide: the icon, "Vantor MCP is running",
// where the icon is, the sketch while it is in a tray, the tip while it is hidden, and "Done",
// the default button (useDialogKeys), which closes the notice, as Escape does.
class RunningNoticeView final : public QWidget {
public:
    explicit RunningNoticeView(MenuBarIcon::Place place, QWidget* parent = nullptr);

    QLabel& sentence() const { return *sentence_; }
    // tip: none while the icon is in a tray.
    QLabel* tip() const { return tip_; }
    TraySketch* sketch() const { return sketch_; }
    QPushButton& doneButton() const { return *done_; }

private:
    QLabel* sentence_ = nullptr;
    QLabel* tip_ = nullptr;
    TraySketch* sketch_ = nullptr;
    QPushButton* done_ = nullptr;
};

// RunningNotice: the notice shown when the user starts the program while it runs. Only one
// exists at a time: showing another closes the one shown, so the text matches where the icon
// is now. Nothing is recorded; the next start shows it again.
//
// Main thread only.
class RunningNotice {
public:
    RunningNotice();
    ~RunningNotice();

    // show: a fresh notice for place, centred, in front and focused.
    void show(MenuBarIcon::Place place);

    // window: the notice shown last, none before the first.
    RunningNoticeView* window() const { return window_.get(); }

private:
    std::unique_ptr<RunningNoticeView> window_;
};

// placeOfIcon: where the tray icon is now: whether the desktop has a tray, whether the icon is
// shown, and where the tray says it is, against the screens.
MenuBarIcon::Place placeOfIcon(const QSystemTrayIcon& icon);

}  // namespace app::ui
