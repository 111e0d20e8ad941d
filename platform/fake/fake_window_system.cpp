#include "platform/fake/fake_window_system.hpp"

namespace platform {

std::optional<WindowEntry> FakeWindowSystem::window(WindowID id) {
    if (pending_ && reads_ == pending_->dueAt) {
        auto change = std::move(pending_->change);
        pending_.reset();
        change(*this);
    }
    ++reads_;
    const auto found = windows_.find(id);
    if (found == windows_.end()) return std::nullopt;
    return found->second;
}

std::optional<std::vector<WindowEntry>> FakeWindowSystem::windowsAbove(WindowID id) {
    if (!windows_.contains(id)) return std::nullopt;
    const auto found = above_.find(id);
    if (found == above_.end()) return std::vector<WindowEntry>{};
    return found->second;
}

void FakeWindowSystem::changeAfter(int reads, std::function<void(FakeWindowSystem&)> change) {
    pending_ = PendingChange{reads_ + reads, std::move(change)};
}

void FakeWindowSystem::close(WindowID id) {
    windows_.erase(id);
    above_.erase(id);
}

void FakeWindowSystem::move(WindowID id, Rect bounds) {
    if (const auto found = windows_.find(id); found != windows_.end()) found->second.bounds = bounds;
}

void FakeWindowSystem::setOnScreen(WindowID id, bool onScreen) {
    if (const auto found = windows_.find(id); found != windows_.end()) found->second.onScreen = onScreen;
}

void FakeWindowSystem::setAbove(WindowID id, std::optional<std::vector<WindowEntry>> above) {
    above_[id] = std::move(above);
}

}  // namespace platform
