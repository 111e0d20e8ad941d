#pragma once

#include "platform/window_system.hpp"

#include <vector>

namespace platform {

// Screen: one display as the desktop lays it out, in the window list's coordinates (origin at
// the top-left corner of the primary display, y growing downwards).
struct Screen {
    Rect frame;
    // visibleFrame: the part of the frame that panels and docks leave free for windows.
    Rect visibleFrame;
    // scale: device pixels per point (1 on a plain X server).
    double scale = 1;

    friend bool operator==(const Screen&, const Screen&) = default;
};

// Screens: the displays and the mouse pointer, read fresh at every call. Main thread only.
class Screens {
public:
    virtual ~Screens() = default;

    // screens: every display, the primary one first; empty when the system reports none.
    virtual std::vector<Screen> screens() = 0;

    // mouseLocation: where the pointer is now.
    virtual Point mouseLocation() = 0;
};

// screenContaining: the first of the screens whose frame contains the point, or null.
const Screen* screenContaining(const std::vector<Screen>& screens, Point point);

}  // namespace platform
