#pragma once

#include "platform/window_system.hpp"

namespace platform {

// Activation: bringing another program's window to the front, as the user would by clicking
// it, so that what is shown over it lies on the window the user sees.
class Activation {
public:
    virtual ~Activation() = default;

    // activateWindow: raises the window and gives it the input focus, asking the window
    // manager where one runs. Does nothing when the window is gone, or isn't shown (minimized,
    // or on another desktop): bringing it back is the user's choice, and whoever asked learns
    // that it is off screen. Never throws. The window manager may take its time, or refuse.
    // Main thread only.
    virtual void activateWindow(WindowID id) = 0;
};

}  // namespace platform
