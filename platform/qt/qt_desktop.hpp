#pragma once

#include "platform/clipboard.hpp"
#include "platform/screens.hpp"

namespace platform {

// QtScreens: the screens as Qt sees them (RandR or Xinerama on X11), the primary one first,
// their visible frames from the window manager's work area, and the pointer's position.
// Qt's coordinates are device-independent pixels, equal to the X server's pixels unless a
// scale factor is set. Main thread only; needs a QGuiApplication.
class QtScreens final : public Screens {
public:
    std::vector<Screen> screens() override;
    Point mouseLocation() override;
};

// QtClipboard: the desktop's clipboard (the CLIPBOARD selection on X11). The program must keep
// running its event loop for others to paste: X11 hands the text over from the owner on request.
class QtClipboard final : public Clipboard {
public:
    void setText(const std::string& text) override;
};

}  // namespace platform
