#pragma once

#include "platform/activation.hpp"

#include <vector>

namespace platform {

// FakeActivation: records the windows it was asked to bring to the front, in order.
class FakeActivation final : public Activation {
public:
    void activateWindow(WindowId id) override { activated_.push_back(id); }

    const std::vector<WindowId>& activated() const { return activated_; }

private:
    std::vector<WindowId> activated_;
};

}  // namespace platform
