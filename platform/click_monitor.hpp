#pragma once

#include "platform/subscription.hpp"

#include <functional>

namespace platform {

// ClickMonitor: notices the user's left mouse-button presses anywhere on the desktop, in the
// windows of other programs. Presses on the program's own windows are not reported, and the
// event itself isn't handed on: a handler reads the pointer's position when it needs it.
class ClickMonitor {
public:
    virtual ~ClickMonitor() = default;

    // addLeftMouseDown: calls handler on the main thread, once for every left-button press,
    // until the returned subscription ends. An empty subscription means the system offers no
    // such monitor; handler is then never called. Main thread only.
    virtual Subscription addLeftMouseDown(std::function<void()> handler) = 0;
};

}  // namespace platform
