#include "app/looking/guide_status.hpp"

#include <utility>

namespace app {

GuideStatus::GuideStatus(platform::Scheduler& main) : main_(main) {}

GuideStatus::~GuideStatus() {
    if (later_) later_->cancel();
}

bool GuideStatus::visible() const {
    return steps_.get().has_value() || thinking_.get() || finished_.get().has_value();
}

void GuideStatus::start(std::string client) {
    client_.set(std::move(client));
    finished_.set(std::nullopt);
    thinking_.set(true);
    answeredElsewhere_.set(false);
    replaceTimer(main_.after(kAnsweredElsewhereAfter, [this] {
        answeredElsewhere_.set(true);
        // A reset here is the timer's own: it cancels this second timer, which has fired.
        later_ = main_.after(kHideAfterHint, [this] { reset(); });
    }));
    updatePanel();
}

void GuideStatus::reset() {
    replaceTimer(nullptr);
    thinking_.set(false);
    answeredElsewhere_.set(false);
    finished_.set(std::nullopt);
    updatePanel();
}

void GuideStatus::finish(std::optional<std::string> words) {
    replaceTimer(nullptr);
    message_.set(std::nullopt);
    thinking_.set(false);
    answeredElsewhere_.set(false);
    finished_.set(std::move(words));
    replaceTimer(main_.after(kFinishedFor, [this] { reset(); }));
    updatePanel();
}

void GuideStatus::reportSteps(std::optional<Steps> steps) {
    steps_.setAlways(steps);
    updatePanel();
}

platform::Subscription GuideStatus::attachPanel(std::function<void()> update) {
    auto attached = std::make_shared<std::function<void()>>(std::move(update));
    panelUpdate_ = attached;
    return platform::Subscription([this, weak = std::weak_ptr(attached)] {
        if (weak.lock() == panelUpdate_) panelUpdate_.reset();
    });
}

void GuideStatus::updatePanel() {
    // Held for the call: the panel may detach itself while it updates.
    if (auto update = panelUpdate_) (*update)();
}

void GuideStatus::replaceTimer(std::shared_ptr<platform::TimerHandle> timer) {
    if (later_) later_->cancel();
    later_ = std::move(timer);
}

}  // namespace app
