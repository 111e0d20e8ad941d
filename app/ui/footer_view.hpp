#pragma once

#include <QWidget>

#include <functional>
#include <string>

namespace app::ui {

class MenuRow;
class MenuView;

// FooterView: the last section of the tray panel: "Setup Guide…", "Check for Updates…" with the
// running version, "About Vantor MCP" and "Quit Vantor MCP" with Ctrl+Q, which works anywhere in
// the panel. Each row closes the panel before its action, so that what it opens is not under
// the popup.
//
// Main thread only.
class FooterView final : public QWidget {
public:
    struct Actions {
        std::function<void()> openSetupGuide;
        std::function<void()> openUpdateCheck;
        std::function<void()> showAbout;
        std::function<void()> quit;
    };

    // version: the running version, shown after "Check for Updates…" (empty: nothing shown).
    FooterView(const std::string& version, Actions actions, QWidget* parent = nullptr);

    // The rows, for tests.
    MenuRow& setupGuideRow() const { return *setupGuide_; }
    MenuRow& updatesRow() const { return *updates_; }
    MenuRow& aboutRow() const { return *about_; }
    MenuRow& quitRow() const { return *quit_; }

private:
    MenuRow* row(const char* title, std::function<void()> action, QWidget* accessory);

    Actions actions_;
    MenuRow* setupGuide_ = nullptr;
    MenuRow* updates_ = nullptr;
    MenuRow* about_ = nullptr;
    MenuRow* quit_ = nullptr;
};

// attachFooter: puts footer, after a divider, at the end of the panel's content.
void attachFooter(MenuView& view, FooterView* footer);

}  // namespace app::ui
