#pragma once

#include "platform/window_catalogue.hpp"
#include "platform/window_system.hpp"
#include "platform/x11/x11_connection.hpp"

#include <optional>
#include <string>
#include <vector>

namespace platform {

// X11WindowCatalogue: the windows a user may choose to share: the other programs' ordinary
// windows shown now, from the window manager's client list (_NET_CLIENT_LIST_STACKING), the
// most recently stacked first. Ordinary means a normal or dialog window (or one of no declared
// type), not a dock, desktop, menu or the like, and on screen as window() of the window list
// says (mapped, not minimized, on the current desktop).
//
// Each is described as the picker hands it on: its owner by the window list, the application's
// name from the class part of WM_CLASS, the running process's name from /proc/<pid>/comm, the
// title from _NET_WM_NAME (UTF-8), else WM_NAME.
//
// Uses its own connection and the window list it is given, from one thread at a time.
class X11WindowCatalogue final : public WindowCatalogue {
public:
    // Connects to displayName (empty: DISPLAY). Throws Error when the server can't be reached.
    X11WindowCatalogue(const std::string& displayName, WindowSystem& windows);

    // list: the windows to offer, leaving out those of the excludedPIDs and those of the same
    // application class as ownWindow (the program's own, even where no owner is known).
    // Throws Error when the window manager keeps no client list or the connection broke.
    std::vector<Entry> list(const std::vector<int>& excludedPIDs, std::optional<WindowID> ownWindow) override;

    // picture: the window's content now, none when it can't be read. Covered parts show
    // their own content once the window has painted them.
    std::optional<FrameImage> picture(WindowID id) override;

private:
    struct Atoms {
        xcb_atom_t clientList;
        xcb_atom_t type;
        xcb_atom_t typeNormal;
        xcb_atom_t typeDialog;
        xcb_atom_t name;
        xcb_atom_t utf8String;
    };

    // applicationClass: the class part of the window's WM_CLASS; "" when none.
    std::string applicationClass(xcb_window_t window) const;
    std::string title(xcb_window_t window) const;
    bool ordinary(xcb_window_t window) const;

    X11Connection connection_;
    WindowSystem& windows_;
    Atoms atoms_{};
};

}  // namespace platform
