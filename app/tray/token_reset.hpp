#pragma once

#include "app/tray/menu_model.hpp"

#include "platform/observed.hpp"
#include "platform/secure_random.hpp"
#include "platform/settings.hpp"
#include "platform/subscription.hpp"

#include <functional>
#include <string_view>

namespace app {

// TokenReset: the panel's reset of the access token, shown under Manual Setup while "Other app
// (HTTP)" is picked. "Reset Access Token…" asks for an inline confirmation; "Reset" stores a new
// random token and restarts the host, which from then on refuses the old one; "Cancel" changes
// nothing. Clients started with --stdio keep working: once the old token is refused, their
// bridge reads the new one and posts the request again.
//
// Main thread only. Keeps references to everything in its Dependencies, which must outlive it.
class TokenReset {
public:
    static constexpr std::string_view kRowTitle = "Reset Access Token\u2026";
    static constexpr std::string_view kRowHelp = "Disconnects every AI app until you give it the new settings";
    static constexpr std::string_view kQuestion = "Reset the access token?";
    static constexpr std::string_view kExplanation =
        "Every connected AI app is disconnected until you give it the new settings.";
    static constexpr std::string_view kCancel = "Cancel";
    static constexpr std::string_view kReset = "Reset";

    struct Dependencies {
        MenuModel& panel;
        platform::Settings& settings;
        platform::SecureRandom& random;
        // Restarts the host, which reads the port and the token again; returns at once.
        std::function<void()> restartHost;
    };

    explicit TokenReset(Dependencies dependencies);

    // shown: the block is part of the panel: "Other app (HTTP)" is the picked client.
    bool shown() const;
    // confirming: the confirmation stands in place of the row. Kept while another client is
    // picked, so it shows again with "Other app (HTTP)".
    bool confirming() const { return confirming_.get(); }

    void askReset();
    void cancelReset();
    // resetToken: stores a new token under "token", restarts the host (without waiting for
    // it), and tells the panel, which forgets what it copied and asks the user to paste the
    // settings again; the confirmation closes. Throws platform::Error, changing nothing, when
    // no token can be made or stored.
    void resetToken();

    // subscribe: onChange runs after confirming changed.
    platform::Subscription subscribe(std::function<void()> onChange);

private:
    Dependencies dependencies_;
    platform::Observed<bool> confirming_{false};
};

}  // namespace app
