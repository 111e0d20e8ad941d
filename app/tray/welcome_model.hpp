#pragma once

#include "app/common/host_status.hpp"
#include "app/looking/try_it.hpp"
#include "app/tray/menu_bar_icon.hpp"

#include "platform/clipboard.hpp"
#include "platform/observed.hpp"
#include "platform/process_info.hpp"
#include "platform/settings.hpp"
#include "platform/subscription.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// WelcomeModel: what the first-run guide shows and what its buttons do, free of any widget:
// copying the setup prompt, the connection as it happens, Try It, and remembering that the
// guide was seen. One model lives as long as the window, so "Copied" and the waiting line stay
// across closing and opening it again.
//
// Main thread only. Keeps references to everything in its Dependencies, which must outlive it.
class WelcomeModel {
public:
    enum class StatusLine {
        // Nothing yet: the line takes no room.
        none,
        // The prompt was copied and no AI client has connected: a spinner and kWaiting.
        waiting,
        // An AI client has connected: "Connected: <name>".
        connected,
    };

    static constexpr std::string_view kWaiting = "Waiting for your AI to connect…";
    static constexpr std::string_view kTrayNote = "Vantor MCP lives in your system tray.";

    // TrayNote: where the user finds the program once the guide is closed.
    struct TrayNote {
        std::string_view sentence;
        // tip: how to make the icon seen; none while the tray shows it.
        std::optional<std::string_view> tip;
    };

    struct Dependencies {
        HostStatus& host;
        platform::Settings& settings;
        platform::Clipboard& clipboard;
        const platform::ProcessInfo& process;
        TryIt tryIt;
        // iconPlace: where the tray icon is now; none counts as in a tray.
        std::function<MenuBarIcon::Place()> iconPlace = {};
    };

    explicit WelcomeModel(Dependencies dependencies);
    WelcomeModel(const WelcomeModel&) = delete;
    WelcomeModel& operator=(const WelcomeModel&) = delete;

    // subscribe: onChange runs after anything the window shows may have changed. The
    // subscription must end before the model.
    platform::Subscription subscribe(std::function<void()> onChange);

    // connected: an AI client has connected since the program started: the first step shows a
    // checkmark in place of its button.
    bool connected() const;
    // copyButtonTitle: "Copied" once the prompt was copied here, else "Copy Prompt".
    std::string_view copyButtonTitle() const;
    bool copied() const { return copied_; }
    StatusLine statusLine() const;
    // statusText: the status line's text; empty for StatusLine::none.
    std::string statusText() const;
    // trayNote: kTrayNote while the tray shows the icon; on a desktop without a tray, what the
    // running notice says there, as nothing of the program is seen once the guide is closed.
    // Read afresh at each call.
    TrayNote trayNote() const;

    // copySetupPrompt: puts the setup prompt on the clipboard; from then on the button says
    // "Copied" for the rest of the run. Throws platform::Error, copying nothing, when the
    // settings can't be read.
    void copySetupPrompt();
    // tryIt: starts a test and returns; its outcome is shown by the test's own panels only.
    void tryIt();
    // markSeen: the window was closed: later starts don't open it any more ("hasSeenWelcome").
    // A store that can't be written is left as it is: the guide then comes again next start.
    void markSeen();

private:
    void changed();

    Dependencies dependencies_;
    bool copied_ = false;
    platform::Observed<std::uint64_t> revision_{0};
    platform::Subscription hostClient_;
};

}  // namespace app
