#pragma once

#include "app/request_panel.hpp"
#include "app/window_share.hpp"

#include "platform/request_panels.hpp"
#include "platform/task.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace app {

// Looking: what the look tool does between the agent's call and the picture it gets back.
// Without a question when the same client still holds a five-minute share; otherwise by asking
// the user in the request panel, letting them choose a window in the picker, sharing it and
// taking its first picture; or not at all, with the text the agent receives. At most one
// request is open in the whole program at a time.
//
// Main thread only. Keeps references to share and panel, which must outlive it and every task
// it returns.
class Looking {
public:
    using Answer = platform::LookAnswer;

    // The texts the agent receives when no picture comes of a request.
    static constexpr std::string_view kAlreadyOpenText =
        "Another Vantor MCP request is already open. Wait for the user to answer it.";
    static constexpr std::string_view kDeclinedText =
        "The user chose not to show a window. Don't ask again unless they tell you to.";
    static constexpr std::string_view kTimedOutText =
        "Nobody answered within five minutes, so the window closed. This isn't a refusal: the user may be "
        "away from their computer. Tell them the request is waiting and ask again when they're back.";
    static constexpr std::string_view kPickerFailedText =
        "The system couldn't show its window picker. Try once more; if it fails again, tell the user to quit "
        "Vantor MCP and open it again.";

    Looking(WindowShare& share, RequestPanel& panel);
    Looking(const Looking&) = delete;
    Looking& operator=(const Looking&) = delete;

    // look: a picture of a window the user shows client (its display name), asked with reason.
    // A five-minute share that client holds gives a fresh picture at once, once the window has
    // become still; when that share has ended meanwhile or its picture fails, the user is
    // asked instead. Throws what request() throws.
    platform::Task<WindowShare::Picture> look(std::string client, std::string reason);

    // request: asks the user under title, with reason, to share a window with client (none for
    // the user's own test, which offers no five-minute share), and gives the first picture of
    // the window chosen. After "Share Once" or "Choose Window…" the capture ends with that
    // picture; after "Share for 5 Minutes" it goes on. Throws ToolError with kAlreadyOpenText
    // at once when a request is open; kDeclinedText when the user declines, closes the panel or
    // cancels the pick; kTimedOutText when the panel or the picker gets no answer in time;
    // kPickerFailedText when the picker fails. When sharing or the picture fails, the capture
    // is ended, the picker made inactive and the window share's error passed on unchanged.
    platform::Task<WindowShare::Picture> request(std::string title, std::string reason,
                                                 std::optional<std::string> client);

    // requestTitle: the heading of a client's request: "<client> wants to see a window".
    static std::string requestTitle(const std::string& client);

    // requestOpen: whether a request is under way (panel, picker, start of sharing, picture).
    bool requestOpen() const { return requestOpen_; }

private:
    platform::Task<WindowShare::Picture> shareAndPicture(platform::PickedContent picked, bool keep,
                                                         std::string client);

    WindowShare& share_;
    RequestPanel& panel_;
    bool requestOpen_ = false;
};

}  // namespace app
