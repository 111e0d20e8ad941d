#pragma once

#include "app/tray/client_setup.hpp"
#include "app/common/host_status.hpp"
#include "app/looking/try_it.hpp"
#include "app/looking/window_share.hpp"

#include "platform/clipboard.hpp"
#include "platform/observed.hpp"
#include "platform/process_info.hpp"
#include "platform/scheduler.hpp"
#include "platform/secure_random.hpp"
#include "platform/settings.hpp"
#include "platform/subscription.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// CopyRow: how a copy row looks: its symbol and its title.
struct CopyRow {
    std::string_view symbol;
    std::string_view title;

    friend bool operator==(const CopyRow&, const CopyRow&) = default;
};

// MenuModel: what the tray panel shows and what its rows do, free of any widget: the host's
// state in the header, the window share with Stop Sharing and Try It, and the "Connect Your AI"
// section with the setup prompt and each client's settings. The panel's widgets draw from it
// and call its actions; everything here is tested without them.
//
// Its state lives as long as the panel: copied, showManualSetup, tokenWasReset and tryResult
// start empty or false with every model. The picked client
// ("connectClient") and the section's open state ("connectSection") are kept in the settings;
// "hasConnectedClient" and "port" are only read.
//
// Main thread only. Keeps references to everything in its Dependencies, which must outlive it.
class MenuModel {
public:
    // Formats a moment as a time of day without a date, in the user's short time format.
    using TimeFormat = std::function<std::string(platform::Scheduler::WallClock::time_point)>;

    enum class StatusColor { green, orange };

    static constexpr std::string_view kPromptKey = "prompt";
    static constexpr std::string_view kTryItWorked = "It works. The picture was thrown away.";

    struct Dependencies {
        platform::Scheduler& main;
        HostStatus& host;
        // The window share's record, followed; stopSharing ends the share as the user asked.
        platform::Observed<std::optional<WindowShare::Sharing>>& sharing;
        std::function<void()> stopSharing;
        platform::Settings& settings;
        platform::Clipboard& clipboard;
        const platform::ProcessInfo& process;
        platform::SecureRandom& random;
        TryIt tryIt;
        TimeFormat formatTime;
    };

    explicit MenuModel(Dependencies dependencies);
    MenuModel(const MenuModel&) = delete;
    MenuModel& operator=(const MenuModel&) = delete;

    // subscribe: onChange runs after anything the panel shows may have changed: the model's
    // own state, the host's status, the share. The subscription must end before the model.
    platform::Subscription subscribe(std::function<void()> onChange);

    // refresh: reads the stored state again ("connectSection", "hasConnectedClient"), for when
    // the panel opens; notifies when the section's open state changed. The model also does it
    // by itself a turn after the host records a client, as the host stores the setting then.
    void refresh();

    // ---- header ----
    // statusText: "Connected: <last client>" or "Ready for your AI" while the host listens,
    // "Not running" otherwise.
    std::string statusText() const;
    StatusColor statusColor() const;
    // headerTooltip: the host's problem when it has one, else "Listening on 127.0.0.1:<port>"
    // with the port setting (absent or 0: the default), not the port the host bound.
    std::string headerTooltip() const;

    // ---- sharing ----
    // shareLine: "<client> until <end time>" while a window is shared, the end time rounded
    // up to the next whole minute.
    std::optional<std::string> shareLine() const;
    bool sharing() const;
    // stopSharing: ends the share; nothing else.
    void stopSharing();
    // tryResult: the line under "Try It" after a test that ran through.
    const std::optional<std::string>& tryResult() const { return tryResult_; }
    // runTryIt: starts a test and returns at once; when it ends, tryResult becomes kTryItWorked
    // if it ran through and none otherwise. Every call starts a run of its own. The panel must
    // close itself first, so that it isn't in the way of the window picker.
    void runTryIt();

    // ---- "Connect Your AI" ----
    // connectSectionExpanded: the stored choice ("open" opens, any other non-empty value
    // closes); with none stored, open until some AI client has connected.
    bool connectSectionExpanded() const;
    // setConnectSectionExpanded: stores the user's choice, which rules from then on.
    void setConnectSectionExpanded(bool expanded);
    void toggleConnectSection();

    bool showManualSetup() const { return showManualSetup_; }
    void toggleManualSetup();

    ClientSetup client() const { return client_; }
    // setClient: picks a client and stores the choice; a change clears copied.
    void setClient(ClientSetup client);

    // setupPrompt: the prompt as it would be copied now.
    std::string setupPrompt() const;
    // clientSettings: the picked client's settings as they would be copied now. Throws what
    // ClientSetup::settings throws.
    std::string clientSettings() const;

    // copied: which copy row copied last: kPromptKey, a client's raw value, or none.
    const std::optional<std::string>& copied() const { return copied_; }
    // copyText: puts text on the clipboard and remembers key as copied. No timer clears it:
    // it stays until another copy, a change of client or a token reset.
    void copyText(const std::string& text, std::string key);
    void copySetupPrompt();
    // copyClientSettings: copies the picked client's settings; throws, copying nothing, what
    // clientSettings throws.
    void copyClientSettings();
    CopyRow promptRow() const;
    CopyRow settingsRow() const;

    // tokenWasReset: a new access token was made while this panel lived; the section then asks
    // the user to paste the setup prompt again.
    bool tokenWasReset() const { return tokenWasReset_; }
    // noteTokenReset: a new access token was stored: no copy row shows "Copied" any more, and
    // tokenWasReset stays true for the panel's life.
    void noteTokenReset();

private:
    void changed();
    void readStoredSection();

    Dependencies dependencies_;
    std::optional<std::string> copied_;
    ClientSetup client_ = ClientSetup::claudeCode;
    bool showManualSetup_ = false;
    bool hasConnectedClient_ = false;
    std::string connectSection_;
    bool tokenWasReset_ = false;
    std::optional<std::string> tryResult_;

    platform::Observed<std::uint64_t> revision_{0};
    platform::Subscription hostRunning_;
    platform::Subscription hostProblem_;
    platform::Subscription hostClient_;
    platform::Subscription sharing_;
    // Work posted to the scheduler and test runs still under way hold it weakly: they do
    // nothing once the model is gone.
    std::shared_ptr<MenuModel*> self_;
};

}  // namespace app
