#pragma once

#include <functional>
#include <utility>

namespace platform {

// Subscription: keeps a registration (an observer, a monitor) alive for as long as it lives.
// Destroying or resetting it runs the cancel function once; moving it transfers that duty.
// Thread: the cancel function runs on the thread that destroys or resets the subscription.
class [[nodiscard]] Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    // reset: ends the registration now; does nothing when it has already ended.
    void reset() {
        if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
    }

    explicit operator bool() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

}  // namespace platform
