#pragma once

#include "app/tray/menu_model.hpp"
#include "app/ui/menu_view.hpp"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <memory>

class QSystemTrayIcon;

namespace app::ui {

// TrayPanel: the panel that drops from the tray icon: a frameless popup holding the MenuView,
// placed at the icon (above it when the tray is at the bottom of the screen) and kept inside
// the screen's free area. Clicking the icon opens it and, while it is open, closes it; a click
// anywhere else, or Escape, closes it too. Without a mouse it works as a menu: Tab and the
// arrow keys move through its rows, Return or Space activates the one that has the focus.
//
// Main thread only. Keeps a reference to the model, which must outlive it.
class TrayPanel final : public QObject {
public:
    // kSameClick: a click on the icon closes the open panel (a popup) on its way in; a click
    // that reaches the icon sooner than this after such a close is taken for the same click
    // and doesn't open the panel again.
    static constexpr std::chrono::milliseconds kSameClick{400};

    explicit TrayPanel(MenuModel& model, QObject* parent = nullptr);
    ~TrayPanel() override;

    // attach: clicks on icon open and close the panel, which hangs from the icon from now on.
    // The icon may be destroyed first.
    void attach(QSystemTrayIcon& icon);

    // toggle: what a click on the icon does: opens the panel, or closes it when it is open.
    void toggle();
    // open: reads the stored state afresh, places the panel and shows it, focused.
    void open();
    void close();
    bool isOpen() const;

    MenuView& view() const { return *view_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    MenuModel& model_;
    std::unique_ptr<MenuView> view_;
    QPointer<QSystemTrayIcon> icon_;
    // When the popup last closed, and whether the pointer was on the icon then: the click on
    // the icon that closes the popup may reach the icon too.
    QElapsedTimer closedAt_;
    bool closedByIconClick_ = false;
};

}  // namespace app::ui
