#include "platform/fake/fake_desktop.hpp"

#include <utility>

namespace platform {

FakeDesktop::FakeDesktop() : screens_{{{0, 0, 1600, 1000}, {0, 0, 1600, 976}, 1}} {}

Subscription FakeDesktop::addLeftMouseDown(std::function<void()> handler) {
    if (!monitorAvailable_) return {};
    ++*monitorCount_;
    auto observing = std::make_shared<Subscription>(
        clicks_.subscribe([handler = std::move(handler)](std::uint64_t) { handler(); }));
    return Subscription([weak = std::weak_ptr(monitorCount_), observing] {
        observing->reset();
        if (auto count = weak.lock()) --*count;
    });
}

void FakeDesktop::click(Point at) {
    mouse_ = at;
    clicks_.setAlways(clicks_.get() + 1);
}

}  // namespace platform
