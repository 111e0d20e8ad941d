#pragma once

#include "platform/observed.hpp"
#include "platform/scheduler.hpp"
#include "platform/subscription.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace app {

// Steps: how many of the rings on screen the user has done, of how many.
struct Steps {
    int done = 0;
    int total = 0;

    friend bool operator==(const Steps&, const Steps&) = default;
};

// GuideStatus: the model of the status box, the small box at the bottom of the screen that
// tells the user what the agent is doing. One instance for the program's life, written by the
// tool flows and the ring overlays, read by the status box. It runs the box's two timers: the
// hint that the agent may have answered in its own window, and the automatic hiding.
//
// The box is visible exactly while steps() is set, thinking() is true or finished() is set.
// Every operation that changes what the box shows ends by asking the attached panel to update
// (show, refit or hide); other changes reach the box through the observed fields alone.
//
// Main thread only. Keeps a reference to the scheduler, which must outlive it.
class GuideStatus {
public:
    static constexpr auto kAnsweredElsewhereAfter = std::chrono::seconds(12);
    static constexpr auto kHideAfterHint = std::chrono::seconds(20);
    static constexpr auto kFinishedFor = std::chrono::seconds(6);

    explicit GuideStatus(platform::Scheduler& main);
    ~GuideStatus();
    GuideStatus(const GuideStatus&) = delete;
    GuideStatus& operator=(const GuideStatus&) = delete;

    // client: the AI client's display name, put before " is looking…" and " may have answered
    // in its own window.". Written by the point flow; writing the same value notifies no one.
    platform::Observed<std::string>& client() { return client_; }
    const platform::Observed<std::string>& client() const { return client_; }
    // message: the agent's one-sentence message, shown as the first line when not empty.
    platform::Observed<std::optional<std::string>>& message() { return message_; }
    const platform::Observed<std::optional<std::string>>& message() const { return message_; }

    // The fields below are for reading and subscribing only: this object writes them, in the
    // operations below (steps through reportSteps).
    platform::Observed<std::optional<Steps>>& steps() { return steps_; }
    const platform::Observed<std::optional<Steps>>& steps() const { return steps_; }
    platform::Observed<bool>& thinking() { return thinking_; }
    const platform::Observed<bool>& thinking() const { return thinking_; }
    platform::Observed<bool>& answeredElsewhere() { return answeredElsewhere_; }
    const platform::Observed<bool>& answeredElsewhere() const { return answeredElsewhere_; }
    // finished: the agent's closing words while they are shown ("" shows as "Done").
    platform::Observed<std::optional<std::string>>& finished() { return finished_; }
    const platform::Observed<std::optional<std::string>>& finished() const { return finished_; }

    // visible: whether the box has something to show.
    bool visible() const;

    // start: the agent is at work for client: the box says it is looking for 12 s, then that it
    // may have answered in its own window for 20 s, then a reset hides it (unless rings are
    // still shown). Replaces the timer of an earlier start or finish.
    void start(std::string client);

    // reset: ends the looking, hint and closing states and their timer; client, message and
    // steps stay as they are.
    void reset();

    // finish: shows the closing words (none: nothing) for 6 s, then resets; clears the message.
    void finish(std::optional<std::string> words);

    // reportSteps: the ring overlays' progress, none when no ring is shown. Notifies even when
    // unchanged, then updates the panel.
    void reportSteps(std::optional<Steps> steps);

    // attachPanel: update is called at the end of every operation that changes what the box
    // shows, until the subscription ends. One panel at a time: a new one replaces the old.
    // The subscription must end before this object is destroyed.
    platform::Subscription attachPanel(std::function<void()> update);

private:
    void updatePanel();
    void replaceTimer(std::shared_ptr<platform::TimerHandle> timer);

    platform::Scheduler& main_;
    platform::Observed<std::string> client_;
    platform::Observed<std::optional<std::string>> message_;
    platform::Observed<std::optional<Steps>> steps_;
    platform::Observed<bool> thinking_{false};
    platform::Observed<bool> answeredElsewhere_{false};
    platform::Observed<std::optional<std::string>> finished_;
    // later: the pending timer of the last start or finish.
    std::shared_ptr<platform::TimerHandle> later_;
    std::shared_ptr<std::function<void()>> panelUpdate_;
};

}  // namespace app
