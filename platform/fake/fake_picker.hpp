#pragma once

#include "platform/window_picker.hpp"

#include <memory>
#include <string>
#include <vector>

namespace platform {

// FakePicker: a window picker that only records what is asked of it; the test plays the user
// with choose(), cancel() and fail(), from the main thread or from any other (as the real
// picker's callbacks may come). Not thread-safe otherwise: the recorded state is the main
// thread's.
class FakePicker final : public WindowPicker {
public:
    void addObserver(std::weak_ptr<PickerObserver> observer) override;
    void configure(const PickerConfiguration& configuration) override;
    void setActive(bool active) override;
    void present() override;

    // The user's outcomes, told to every live observer whether or not the picker is shown:
    // the real picker's callbacks can come late too.
    void choose(const PickedContent& content) const;
    void cancel() const;
    void fail(const std::string& reason) const;

    bool active() const { return active_; }
    // shown: presented while active and not closed by setActive(false) since.
    bool shown() const { return shown_; }
    int presents() const { return presents_; }
    const PickerConfiguration& configuration() const { return configuration_; }
    std::size_t observers() const;

private:
    std::vector<std::shared_ptr<PickerObserver>> liveObservers() const;

    std::vector<std::weak_ptr<PickerObserver>> observers_;
    PickerConfiguration configuration_;
    bool active_ = false;
    bool shown_ = false;
    int presents_ = 0;
};

}  // namespace platform
