#pragma once

#include "app/looking/looking_point.hpp"
#include "app/looking/request_panel.hpp"
#include "app/looking/window_share.hpp"

#include "platform/request_panels.hpp"
#include "platform/task.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    using Spot = PointSpot;
    using Pointed = app::Pointed;
    using Guidance = PointGuidance;

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
    // With guidance, the point flow and Try It can run too; without, only looks.
    Looking(WindowShare& share, RequestPanel& panel, Guidance guidance);
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

    // point: shows the user rings at the spots (1 to 8, in the pixels of the last picture)
    // over the live window, with the window brought to the front and message in the status
    // box for client (its display name; "" for none); with wait, until the user has done
    // them, the share stopped or kPointWaitLimit passed. Throws ToolError with kNoPictureText
    // when no picture younger than kPictureLifetime is at hand, kNoSpotsText for no spots,
    // outsideText for the first spot outside the picture, kPointOffScreenText when the window
    // isn't on screen (no ring then stays). Needs guidance (std::logic_error without).
    platform::Task<Pointed> point(std::vector<Spot> spots, std::optional<std::string> message, bool wait,
                                  std::string client);

    // tryIt: the user's own test: a request without a client, then one ring in the middle of
    // the picture, which is then forgotten. True when a window was shared and pictured; false
    // when the request failed in any way, which is shown nowhere. Needs guidance.
    platform::Task<bool> tryIt();

private:
    platform::Task<WindowShare::Picture> shareAndPicture(platform::PickedContent picked,
                                                         platform::ShareGrant grant, std::string client);

    enum class Placement { offScreen, covered, clear };
    // placementOf: whether the first spot is on screen and clear of other windows, looked at
    // until it is clear, kCoveredChecks times at most.
    platform::Task<Placement> placementOf(Spot spot, WindowShare::Pictured pictured);
    const Guidance& guidance() const;

    WindowShare& share_;
    RequestPanel& panel_;
    std::optional<Guidance> guidance_;
    bool requestOpen_ = false;
};

}  // namespace app
