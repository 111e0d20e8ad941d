#pragma once

#include "platform/subscription.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

// Observed<T>: a value that tells its observers when it changes; the models the views follow
// (host status, status box, window share) are made of these. set() notifies only when the new
// value differs from the old one (T's operator==); setAlways() notifies in any case, for
// values whose every write the views must see.
//
// Observers are called on the thread that sets the value, in the order they subscribed, with
// the new value; one that subscribes or unsubscribes during a notification takes effect from
// the next one (an observer removed during a notification is not called any more). Main
// thread only.
template <class T>
class Observed {
public:
    using Observer = std::function<void(const T&)>;

    Observed() = default;
    explicit Observed(T initial) : value_(std::move(initial)) {}
    Observed(const Observed&) = delete;
    Observed& operator=(const Observed&) = delete;

    const T& get() const { return value_; }

    // set: stores value; notifies and returns true when it differs from the stored one.
    bool set(T value) {
        if (value == value_) return false;
        setAlways(std::move(value));
        return true;
    }

    // setAlways: stores value and notifies, even when it equals the stored one.
    void setAlways(T value) {
        value_ = std::move(value);
        notify();
    }

    // subscribe: observer is called after every notifying change until the subscription
    // ends. The subscription may outlive this object.
    Subscription subscribe(Observer observer) {
        const auto id = nextID_++;
        observers_->emplace(id, std::make_shared<Observer>(std::move(observer)));
        return Subscription([weak = std::weak_ptr<Observers>(observers_), id] {
            if (auto observers = weak.lock()) observers->erase(id);
        });
    }

private:
    using Observers = std::map<std::uint64_t, std::shared_ptr<Observer>>;

    void notify() {
        std::vector<std::uint64_t> ids;
        ids.reserve(observers_->size());
        for (const auto& [id, observer] : *observers_) ids.push_back(id);
        // The observer list is looked up anew for each call: an observer may end other
        // subscriptions, or its own, while it runs.
        const auto observers = observers_;
        for (auto id : ids) {
            auto found = observers->find(id);
            if (found == observers->end()) continue;
            auto observer = found->second;
            (*observer)(value_);
        }
    }

    T value_{};
    std::shared_ptr<Observers> observers_ = std::make_shared<Observers>();
    std::uint64_t nextID_ = 0;
};

}  // namespace platform
