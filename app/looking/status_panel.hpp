#pragma once

#include "app/looking/guide_status.hpp"

#include "platform/scheduler.hpp"
#include "platform/screens.hpp"
#include "platform/subscription.hpp"
#include "platform/windows.hpp"

#include <functional>
#include <memory>
#include <vector>

namespace app {

// statusViewContent: what the status box shows for the model's state. The message goes first
// when it isn't empty; then the closing words (or "Done") when finished, else the first that
// applies of the step count, the hint that the agent may have answered in its own window, and
// the looking line with a spinner. Done comes only with steps, Stop Sharing whenever the box
// isn't showing closing words.
platform::StatusViewContent statusViewContent(const GuideStatus& status);

// statusPanelFrame: where a new status box of the given height goes: at the bottom centre of
// the visible frame of the first screen that contains the mouse (else the primary screen, else
// an empty frame at the origin), 420 wide, its bottom edge 14 above the visible frame's bottom.
platform::Rect statusPanelFrame(const std::vector<platform::Screen>& screens, platform::Point mouse,
                                double height);

// StatusPanel: shows, refits and hides the status box as GuideStatus asks, and keeps its
// content in step with the model. The box exists exactly while the model is visible: made on
// the screen under the mouse when it appears, it stays where it is (or where the user dragged
// it) until it hides; after each update, and each change of its content, its height is
// refitted on the next turn of the main loop, keeping its bottom edge, so it grows and shrinks
// upwards.
//
// Main thread only. Attaches itself to status for its whole life and keeps references to all
// its arguments, which must outlive it.
class StatusPanel {
public:
    static constexpr double kWidth = 420;
    static constexpr double kBottomMargin = 14;

    // onDone and onStopSharing are the actions of the box's two buttons.
    StatusPanel(GuideStatus& status, platform::Windows& windows, platform::Screens& screens,
                platform::Scheduler& main, std::function<void()> onDone,
                std::function<void()> onStopSharing);
    ~StatusPanel();
    StatusPanel(const StatusPanel&) = delete;
    StatusPanel& operator=(const StatusPanel&) = delete;

    // update: hides the box when the model has nothing to show; otherwise schedules a refit of
    // the box on screen, or makes and shows a new one.
    void update();

    // window: the box on screen; null while it is hidden.
    platform::StatusPanelWindow* window() const { return panel_.get(); }

private:
    void showContent();
    // refitSoon: on the next turn, the box takes the height its content asks for, growing
    // or shrinking upwards.
    void refitSoon();

    GuideStatus& status_;
    platform::Windows& windows_;
    platform::Screens& screens_;
    platform::Scheduler& main_;
    std::function<void()> onDone_;
    std::function<void()> onStopSharing_;
    // Shared with the refits scheduled for it, which do nothing once it is gone.
    std::shared_ptr<platform::StatusPanelWindow> panel_;
    std::vector<platform::Subscription> observing_;
    platform::Subscription attached_;
};

}  // namespace app
