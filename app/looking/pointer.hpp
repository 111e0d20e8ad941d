#pragma once

#include "app/looking/guide_status.hpp"

#include "platform/click_monitor.hpp"
#include "platform/clipboard.hpp"
#include "platform/scheduler.hpp"
#include "platform/screens.hpp"
#include "platform/subscription.hpp"
#include "platform/task.hpp"
#include "platform/windows.hpp"

#include <coroutine>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace app {

// Pointer: the rings that show the user where to act in the shared window. For every spot a
// pulsing ring is drawn around it, with a label under it (a number, a caption, a text to enter
// with a Copy button, and a Done button). The rings follow the window as it moves, end by
// themselves once the user has acted, and a caller can wait until every ring is handled. The
// status box is told how many rings are done.
//
// A ring ends as done when:
// - it has no text, and more than 0.35 s have passed since the last left click within 60 of
//   its centre;
// - it has a text (even an empty one), was clicked or its text copied, and the mouse is more
//   than 160 from its centre and off its label (grown by 16 on every side);
// - its label's Done, or the status box's Done, is pressed.
// It ends undone when its spot can no longer be placed, or when it has been shown for 180 s.
// Passes over the rings run every 0.1 s while any is shown; nothing runs while none is.
//
// One set of rings at a time for the whole program. Main thread only. Keeps references to all
// its arguments, which must outlive it.
class Pointer {
public:
    // Mark: one spot to ring.
    struct Mark {
        std::optional<std::string> label;
        // text: what the user must enter; present (even empty) selects the text rule above.
        std::optional<std::string> text;
        std::optional<int> number;
        // place: the spot's current point on screen, or none once it can't be placed (the
        // window left the screen). Called when the ring is made and at every pass.
        std::function<std::optional<platform::Point>()> place;
    };

    // Shown: one ring on screen.
    struct Shown {
        std::uint64_t id = 0;
        Mark mark;
        platform::Scheduler::Clock::time_point start;
        // clicked: the last click on or near the ring, or the last Copy of its text.
        std::optional<platform::Scheduler::Clock::time_point> clicked;
        platform::Point point;
        std::unique_ptr<platform::OverlayWindow> ring;
        std::unique_ptr<platform::LabelPanel> label;
        platform::Size labelSize;
    };

    static constexpr double kClickRadius = 60;
    static constexpr double kMovedAwayDistance = 160;
    static constexpr double kLabelAreaGrowth = 16;
    static constexpr auto kClickSettle = std::chrono::milliseconds(350);
    static constexpr auto kRingLifetime = std::chrono::seconds(180);
    static constexpr auto kPassInterval = std::chrono::milliseconds(100);
    static constexpr auto kFadeDuration = std::chrono::milliseconds(250);

    Pointer(platform::Scheduler& main, platform::Screens& screens, platform::ClickMonitor& clicks,
            platform::Windows& windows, platform::Clipboard& clipboard, GuideStatus& status);
    ~Pointer();
    Pointer(const Pointer&) = delete;
    Pointer& operator=(const Pointer&) = delete;

    // show: replaces whatever rings were shown (at once, without fading; their waiters wake)
    // with rings for the marks that can be placed, in order; a mark that can't gets no ring and
    // the others keep their numbers. Returns whether at least one ring was placed.
    bool show(std::vector<Mark> marks);

    // handled: suspends until no ring is left or within has passed, whichever comes first;
    // true when every ring of the last show ended as done. On time-out the rings stay. Any
    // wake (the last ring ending, a clear, a new show, the time limit of any waiter) wakes
    // every waiter, each of which answers from the state when it runs again.
    platform::Task<bool> handled(platform::Scheduler::Clock::duration within);

    // clear: removes every ring at once, stops watching clicks and wakes every waiter. The
    // counts of the last show stay, for the waiters.
    void clear();

    // end: ends one ring, counting it as done when asked; its windows fade out. Does nothing
    // for a ring that has ended already.
    void end(const std::shared_ptr<Shown>& ring, bool done);

    // endAllAsDone: the status box's Done: ends every ring as done, in order, then clears.
    void endAllAsDone();

    // shown: the rings on screen, in the order of their marks.
    const std::vector<std::shared_ptr<Shown>>& shown() const { return shown_; }
    int shownCount() const { return shownCount_; }
    int doneCount() const { return doneCount_; }
    // windowLeft: a ring of the last show ended because its spot could no longer be placed:
    // the window left the screen.
    bool windowLeft() const { return windowLeft_; }

private:
    struct Waiter {
        std::coroutine_handle<> handle;
        bool settled = false;
    };
    class Park;

    std::shared_ptr<Shown> makeShown(Mark mark, platform::Point point);
    void registerClick();
    void followPass();
    void fadeOut(const std::shared_ptr<Shown>& ring);
    void reportProgress();
    void stopWatching();
    void wakeWaiters();
    bool allDone() const;
    void copied(std::uint64_t id, const std::string& text);
    void done(std::uint64_t id);
    std::shared_ptr<Shown> find(std::uint64_t id) const;
    // guarded: a function that runs fn unless this object is gone by then.
    std::function<void()> guarded(void (Pointer::*fn)());

    platform::Scheduler& main_;
    platform::Screens& screens_;
    platform::ClickMonitor& clicks_;
    platform::Windows& windows_;
    platform::Clipboard& clipboard_;
    GuideStatus& status_;

    std::vector<std::shared_ptr<Shown>> shown_;
    int shownCount_ = 0;
    int doneCount_ = 0;
    bool windowLeft_ = false;
    std::uint64_t nextID_ = 0;
    platform::Subscription monitor_;
    std::shared_ptr<platform::TimerHandle> follower_;
    std::vector<std::shared_ptr<Waiter>> waiters_;
    // Work that outlives a call (posted clicks and wakes, label buttons) holds this weakly.
    std::shared_ptr<Pointer*> self_;
};

}  // namespace app
