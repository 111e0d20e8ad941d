#include "platform/fake/fake_picker.hpp"

namespace platform {

void FakePicker::addObserver(std::weak_ptr<PickerObserver> observer) {
    observers_.push_back(std::move(observer));
}

void FakePicker::configure(const PickerConfiguration& configuration) { configuration_ = configuration; }

void FakePicker::setActive(bool active) {
    active_ = active;
    if (!active) shown_ = false;
}

void FakePicker::present() {
    ++presents_;
    if (!active_) {
        fail("The picker isn't active.");
        return;
    }
    shown_ = true;
}

void FakePicker::choose(const PickedContent& content) const {
    for (const auto& observer : liveObservers()) observer->pickerChose(content);
}

void FakePicker::cancel() const {
    for (const auto& observer : liveObservers()) observer->pickerCancelled();
}

void FakePicker::fail(const std::string& reason) const {
    for (const auto& observer : liveObservers()) observer->pickerFailed(reason);
}

std::size_t FakePicker::observers() const { return liveObservers().size(); }

std::vector<std::shared_ptr<PickerObserver>> FakePicker::liveObservers() const {
    std::vector<std::shared_ptr<PickerObserver>> live;
    for (const auto& weak : observers_) {
        if (auto observer = weak.lock()) live.push_back(std::move(observer));
    }
    return live;
}

}  // namespace platform
