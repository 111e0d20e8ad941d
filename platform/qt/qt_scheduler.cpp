#include "platform/qt/qt_scheduler.hpp"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <utility>

namespace platform {

namespace {

class QtTimerHandle final : public TimerHandle {
public:
    explicit QtTimerHandle(QTimer* timer) : timer_(timer) {}

    void cancel() override {
        if (!timer_) return;
        timer_->stop();
        timer_->deleteLater();
        timer_.clear();
    }

private:
    QPointer<QTimer> timer_;
};

// QTimer counts whole milliseconds in an int: round up, so that a timer never fires before
// its delay has passed on now(), and cap at the longest interval it takes (about 24 days).
int timerInterval(Scheduler::Clock::duration delay) {
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(delay).count();
    return static_cast<int>(std::clamp<decltype(milliseconds)>(milliseconds, 0, INT_MAX));
}

}  // namespace

QtScheduler::QtScheduler() : anchor_(std::make_unique<QObject>()) {}

QtScheduler::~QtScheduler() = default;

void QtScheduler::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(anchor_.get(), [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

std::shared_ptr<TimerHandle> QtScheduler::after(Clock::duration delay, std::function<void()> fn) {
    auto* timer = new QTimer(anchor_.get());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fn = std::move(fn)] {
        timer->deleteLater();
        fn();
    });
    timer->start(timerInterval(delay));
    return std::make_shared<QtTimerHandle>(timer);
}

Scheduler::Clock::time_point QtScheduler::now() const {
    return Clock::now();
}

Scheduler::WallClock::time_point QtScheduler::wallNow() const {
    return WallClock::now();
}

}  // namespace platform
