#pragma once

#include "platform/request_panels.hpp"
#include "platform/scheduler.hpp"
#include "platform/task.hpp"

#include <chrono>
#include <memory>

namespace app {

// requestPanelOrigin: where the top-left corner of a panel of the given frame size goes in a
// screen's visible frame: centred in it, then moved inside it. A panel wider than the visible
// frame gets its left edge on the frame's left edge; one taller gets its top edge on the
// frame's top edge.
platform::Point requestPanelOrigin(platform::Size frame, platform::Rect visible);

// fitAndPlace: gives the panel the size its content asks for (when that is positive both ways
// and differs from its size now), then places it as requestPanelOrigin says on its screen; a
// panel without a screen stays where it is.
void fitAndPlace(platform::RequestWindow& panel);

// RequestPanel: asks the user, in a panel of its own, whether an AI app may see a window, and
// waits for exactly one answer: the button the user pressed, or the caller's fallback when the
// user closes the panel or nobody answers within kTimeout. requestTimedOut() tells the two
// fallbacks apart: the time-out sets it, and only the caller clears it.
//
// Main thread only. Keeps references to panels and main, which must outlive it; it must
// outlive the requests it presents.
class RequestPanel {
public:
    static constexpr std::chrono::seconds kTimeout{300};

    RequestPanel(platform::RequestPanels& panels, platform::Scheduler& main);
    RequestPanel(const RequestPanel&) = delete;
    RequestPanel& operator=(const RequestPanel&) = delete;

    // present: shows a panel with content, in front and focused, and gives the user's answer or
    // fallback. Never throws. Each call opens a panel of its own; dropping the task before it
    // ends takes its panel off the screen.
    platform::Task<platform::LookAnswer> present(platform::LookAnswer fallback,
                                                 platform::RequestViewContent content);

    // requestTimedOut: whether a time-out has answered since the caller last cleared it.
    bool requestTimedOut() const { return *timedOut_; }
    void clearRequestTimedOut() { *timedOut_ = false; }

private:
    class OpenRequest;

    platform::RequestPanels& panels_;
    platform::Scheduler& main_;
    // Shared with the time-outs of open requests.
    std::shared_ptr<bool> timedOut_ = std::make_shared<bool>(false);
};

}  // namespace app
