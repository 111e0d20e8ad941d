#pragma once

#include "platform/activation.hpp"
#include "platform/fake/fake_window_system.hpp"

#include <vector>

namespace platform {

// FakeActivation: records the windows it brought to the front, in order. Like the X11 one,
// it leaves alone a window of its window list that is gone or off screen (minimized): such a
// window stays where it is and isn't recorded.
class FakeActivation final : public Activation {
public:
    explicit FakeActivation(FakeWindowSystem& windows) : windows_(windows) {}

    void activateWindow(WindowID id) override {
        if (windows_.isShown(id)) activated_.push_back(id);
    }

    const std::vector<WindowID>& activated() const { return activated_; }

private:
    FakeWindowSystem& windows_;
    std::vector<WindowID> activated_;
};

}  // namespace platform
