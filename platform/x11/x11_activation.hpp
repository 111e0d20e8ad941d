#pragma once

#include "platform/activation.hpp"
#include "platform/x11/x11_connection.hpp"

#include <string>

namespace platform {

// X11Activation: brings windows to the front through the window manager's _NET_ACTIVE_WINDOW
// request (sent as a pager would, so that focus-stealing rules let it through); where no
// EWMH window manager runs, it raises the window and sets the focus itself. A window that
// isn't viewable, or that the window manager marks hidden, gets no request: asked to activate
// a minimized window, window managers restore it. Has its own connection.
class X11Activation final : public Activation {
public:
    // Connects to displayName (empty: DISPLAY). Throws Error when the server can't be reached.
    explicit X11Activation(const std::string& displayName = {});

    void activateWindow(WindowID id) override;

private:
    bool windowManagerRuns() const;
    bool markedHidden(WindowID id) const;

    X11Connection connection_;
    xcb_atom_t activeWindow_ = XCB_ATOM_NONE;
    xcb_atom_t supportingCheck_ = XCB_ATOM_NONE;
    xcb_atom_t state_ = XCB_ATOM_NONE;
    xcb_atom_t stateHidden_ = XCB_ATOM_NONE;
};

}  // namespace platform
