#include "app/looking/pointer.hpp"

#include "app/looking/overlay_geometry.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace app {

namespace {

double distance(platform::Point a, platform::Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

platform::Rect grown(platform::Rect rect, double by) {
    return {rect.x - by, rect.y - by, rect.width + 2 * by, rect.height + 2 * by};
}

}  // namespace

// Park: suspends a waiter until wakeWaiters resumes it. A waiter whose coroutine is destroyed
// while parked (its task dropped) is settled here, so that a wake doesn't resume it.
class Pointer::Park {
public:
    explicit Park(std::vector<std::shared_ptr<Waiter>>& waiters) : waiters_(waiters) {}
    Park(const Park&) = delete;
    Park& operator=(const Park&) = delete;
    ~Park() {
        if (waiter_) waiter_->settled = true;
    }

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) {
        waiter_ = std::make_shared<Waiter>(Waiter{handle});
        waiters_.push_back(waiter_);
    }
    void await_resume() const noexcept {}

private:
    std::vector<std::shared_ptr<Waiter>>& waiters_;
    std::shared_ptr<Waiter> waiter_;
};

Pointer::Pointer(platform::Scheduler& main, platform::Screens& screens,
                 platform::ClickMonitor& clicks, platform::Windows& windows,
                 platform::Clipboard& clipboard, GuideStatus& status)
    : main_(main),
      screens_(screens),
      clicks_(clicks),
      windows_(windows),
      clipboard_(clipboard),
      status_(status),
      self_(std::make_shared<Pointer*>(this)) {}

Pointer::~Pointer() {
    if (follower_) follower_->cancel();
}

bool Pointer::show(std::vector<Mark> marks) {
    clear();
    shownCount_ = 0;
    doneCount_ = 0;
    windowLeft_ = false;
    for (auto& mark : marks) {
        const auto point = mark.place ? mark.place() : std::nullopt;
        if (!point) continue;
        shown_.push_back(makeShown(std::move(mark), *point));
    }
    if (shown_.empty()) {
        reportProgress();
        return false;
    }
    shownCount_ = static_cast<int>(shown_.size());
    reportProgress();
    // The monitor reports on the main thread; the click is registered on a later turn, as a
    // task of its own.
    monitor_ = clicks_.addLeftMouseDown([this, register_ = guarded(&Pointer::registerClick)] {
        main_.post(register_);
    });
    follower_ = main_.after(kPassInterval, guarded(&Pointer::followPass));
    return true;
}

platform::Task<bool> Pointer::handled(platform::Scheduler::Clock::duration within) {
    if (shown_.empty()) co_return allDone();
    const auto limit = main_.after(within, guarded(&Pointer::wakeWaiters));
    Park park(waiters_);
    co_await park;
    limit->cancel();
    if (!shown_.empty()) co_return false;
    co_return allDone();
}

void Pointer::clear() {
    if (follower_) {
        follower_->cancel();
        follower_.reset();
    }
    for (const auto& ring : shown_) {
        ring->ring->orderOut();
        ring->label->orderOut();
    }
    shown_.clear();
    stopWatching();
}

void Pointer::end(const std::shared_ptr<Shown>& ring, bool done) {
    const auto found = std::find(shown_.begin(), shown_.end(), ring);
    if (found == shown_.end()) return;
    shown_.erase(found);
    if (done) ++doneCount_;
    fadeOut(ring);
    reportProgress();
}

void Pointer::endAllAsDone() {
    const auto rings = shown_;
    for (const auto& ring : rings) end(ring, true);
    clear();
}

std::shared_ptr<Pointer::Shown> Pointer::makeShown(Mark mark, platform::Point point) {
    auto ring = std::make_shared<Shown>();
    ring->id = ++nextID_;
    ring->start = main_.now();
    ring->point = point;
    ring->ring = windows_.makeRing(ringFrame(point), kRingDiameter);

    const platform::MarkLabelContent content{mark.number, mark.label, mark.text};
    auto onCopy = [weak = std::weak_ptr(self_), id = ring->id, text = mark.text.value_or("")] {
        if (auto self = weak.lock()) (*self)->copied(id, text);
    };
    auto onDone = [weak = std::weak_ptr(self_), id = ring->id] {
        if (auto self = weak.lock()) (*self)->done(id);
    };
    ring->label = windows_.makeLabel(content, std::move(onCopy), std::move(onDone));
    ring->labelSize = ring->label->fittingSize();
    ring->label->setFrame(labelFrame(point, ring->labelSize, screens_.screens()));
    ring->mark = std::move(mark);

    ring->ring->orderFront();
    ring->label->orderFront();
    return ring;
}

void Pointer::registerClick() {
    if (shown_.empty()) return;
    const auto mouse = screens_.mouseLocation();
    const auto now = main_.now();
    for (const auto& ring : shown_) {
        if (distance(mouse, ring->point) < kClickRadius) ring->clicked = now;
    }
}

void Pointer::followPass() {
    follower_.reset();
    const auto mouse = screens_.mouseLocation();
    const auto screens = screens_.screens();
    const auto snapshot = shown_;
    for (const auto& ring : snapshot) {
        const auto point = ring->mark.place();
        if (!point) {
            windowLeft_ = true;
            end(ring, false);
            continue;
        }
        // != also catches a coordinate that isn't a number.
        if (point->x != ring->point.x || point->y != ring->point.y) {
            ring->point = *point;
            ring->ring->setFrame(ringFrame(*point));
            ring->label->setFrame(labelFrame(*point, ring->labelSize, screens));
        }
        const auto now = main_.now();
        if (ring->mark.text) {
            if (ring->clicked && distance(mouse, ring->point) > kMovedAwayDistance &&
                !grown(ring->label->frame(), kLabelAreaGrowth).contains(mouse)) {
                end(ring, true);
                continue;
            }
        } else if (ring->clicked && now - *ring->clicked > kClickSettle) {
            end(ring, true);
            continue;
        }
        if (now - ring->start > kRingLifetime) end(ring, false);
    }
    if (shown_.empty()) {
        stopWatching();
        return;
    }
    follower_ = main_.after(kPassInterval, guarded(&Pointer::followPass));
}

void Pointer::fadeOut(const std::shared_ptr<Shown>& ring) {
    ring->ring->fadeOut(kFadeDuration);
    ring->label->fadeOut(kFadeDuration);
    // The timer keeps the ring's windows until they are ordered out.
    main_.after(kFadeDuration, [ring] {
        ring->ring->orderOut();
        ring->label->orderOut();
    });
}

void Pointer::reportProgress() {
    if (shown_.empty()) {
        status_.reportSteps(std::nullopt);
    } else {
        status_.reportSteps(Steps{doneCount_, shownCount_});
    }
}

void Pointer::stopWatching() {
    monitor_.reset();
    reportProgress();
    wakeWaiters();
}

void Pointer::wakeWaiters() {
    // Each waiter runs again on a later turn, so it answers from the state after the
    // operation that woke it (a new show has placed its rings by then).
    for (auto& waiter : std::exchange(waiters_, {})) {
        main_.post([waiter] {
            if (waiter->settled) return;
            waiter->settled = true;
            waiter->handle.resume();
        });
    }
}

bool Pointer::allDone() const {
    return shownCount_ > 0 && doneCount_ == shownCount_;
}

void Pointer::copied(std::uint64_t id, const std::string& text) {
    clipboard_.setText(text);
    if (auto ring = find(id)) ring->clicked = main_.now();
}

void Pointer::done(std::uint64_t id) {
    auto ring = find(id);
    if (!ring) return;
    end(ring, true);
    if (shown_.empty()) clear();
}

std::shared_ptr<Pointer::Shown> Pointer::find(std::uint64_t id) const {
    const auto found = std::find_if(shown_.begin(), shown_.end(),
                                    [id](const auto& ring) { return ring->id == id; });
    return found == shown_.end() ? nullptr : *found;
}

std::function<void()> Pointer::guarded(void (Pointer::*fn)()) {
    return [weak = std::weak_ptr(self_), fn] {
        if (auto self = weak.lock()) ((*self)->*fn)();
    };
}

}  // namespace app
