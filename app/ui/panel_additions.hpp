#pragma once

#include "app/common/host_status.hpp"
#include "app/tray/menu_model.hpp"
#include "app/common/onboarding.hpp"
#include "app/tray/support_mail.hpp"
#include "app/tray/token_reset.hpp"
#include "app/ui/about_dialog.hpp"
#include "app/ui/running_notice.hpp"
#include "app/ui/update_check.hpp"

#include "platform/process_info.hpp"
#include "platform/secure_random.hpp"
#include "platform/settings.hpp"

#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace app::ui {

class FooterView;
class MenuView;
class TokenResetBlock;

// PanelAdditions: what the program adds to the tray panel beyond its state and its connect
// section: the access-token reset under Manual Setup, the footer with the setup guide, the
// update check, the About dialog and Quit; and the running notice for a second start.
//
// Main thread only. Keeps references to everything in its Dependencies, which must outlive it.
class PanelAdditions {
public:
    struct Dependencies {
        MenuModel& model;
        MenuView& view;
        HostStatus& host;
        platform::Settings& settings;
        platform::SecureRandom& random;
        const platform::ProcessInfo& process;
        WelcomeShowing& welcome;
        // Restarts the host with the settings as they are now; returns at once.
        std::function<void()> restartHost;
        // Ends the program.
        std::function<void()> quit;
        // The tray icon, for where the running notice says it is.
        const QSystemTrayIcon& icon;
    };

    explicit PanelAdditions(Dependencies dependencies);
    ~PanelAdditions();

    // showRunningNotice: what a second start of the program shows.
    void showRunningNotice();

    // The parts, for tests.
    FooterView& footer() const { return *footer_; }
    TokenResetBlock& resetBlock() const { return *resetBlock_; }
    AboutDialog& about() const { return *about_; }
    UpdateCheck& updates() { return updates_; }
    RunningNotice& notice() { return notice_; }

private:
    Dependencies dependencies_;
    TokenReset reset_;
    UpdateCheck updates_;
    std::unique_ptr<AboutDialog> about_;
    RunningNotice notice_;
    FooterView* footer_ = nullptr;
    TokenResetBlock* resetBlock_ = nullptr;
};

// currentSupportFacts: the program's version and what the system says of itself and of the
// user's language, read now.
SupportFacts currentSupportFacts(const platform::ProcessInfo& process);

}  // namespace app::ui
