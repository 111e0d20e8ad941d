#pragma once

#include "platform/window_system.hpp"
#include "platform/x11/x11_connection.hpp"

#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <vector>

namespace platform {

// X11WindowSystem: the window list of an X server, read through its own connection.
//
// A window is named by its client window (the one its program made; the window manager puts it
// in a frame). window() gives the client's content area in root coordinates; it is on screen
// when it is viewable, not marked hidden (_NET_WM_STATE_HIDDEN) and on the current desktop.
//
// windowsAbove() takes the top-level windows stacked over the window's own top-level, mapped
// and drawn, and describes each by its frame's bounds and its client's properties: the layer
// from its kind (override-redirect, _NET_WM_WINDOW_TYPE, _NET_WM_STATE_ABOVE), the owner from
// the X-Resource extension (_NET_WM_PID where the server can't tell) and alpha from
// _NET_WM_WINDOW_OPACITY. Desktop backgrounds are left out.
class X11WindowSystem final : public WindowSystem {
public:
    // Connects to displayName (empty: DISPLAY). Throws Error when the server can't be reached.
    explicit X11WindowSystem(const std::string& displayName = {});

    std::optional<WindowEntry> window(WindowID id) override;
    std::optional<std::vector<WindowEntry>> windowsAbove(WindowID id) override;

private:
    struct Atoms {
        xcb_atom_t wmState;
        xcb_atom_t state;
        xcb_atom_t stateHidden;
        xcb_atom_t stateAbove;
        xcb_atom_t type;
        xcb_atom_t typeDesktop;
        xcb_atom_t typeNormal;
        xcb_atom_t typeDialog;
        xcb_atom_t typeUtility;
        xcb_atom_t opacity;
        xcb_atom_t pid;
        xcb_atom_t desktop;
        xcb_atom_t currentDesktop;
    };
    struct Facts;
    struct FactRequests;

    FactRequests requestFacts(xcb_window_t client) const;
    Facts collectFacts(const FactRequests& requests) const;
    // layerOf: the entry's layer, or none for a desktop background.
    std::optional<int> layerOf(const Facts& facts, bool overrideRedirect) const;
    // topLevelOf: the child of the root that holds the window, and the root.
    std::optional<std::pair<xcb_window_t, xcb_window_t>> topLevelOf(xcb_window_t window) const;
    // clientOf: the window inside a top-level that the window manager manages (the one with
    // WM_STATE); the top-level itself when there is none.
    xcb_window_t clientOf(xcb_window_t topLevel) const;

    X11Connection connection_;
    Atoms atoms_{};
    bool canQueryPIDs_ = false;
};

}  // namespace platform
