#pragma once

#include "platform/window_system.hpp"

namespace platform {

// Activation: bringing another program's window to the front, as the user would by clicking
// it, so that what is shown over it lies on the window the user sees.
class Activation {
public:
    virtual ~Activation() = default;

    // activateWindow: raises the window and gives it the input focus, asking the window
    // manager where one runs. Does nothing when the window is gone; never throws. The window
    // manager may take its time, or refuse. Main thread only.
    virtual void activateWindow(WindowId id) = 0;
};

}  // namespace platform
