#pragma once

#include "platform/frame.hpp"
#include "platform/window_picker.hpp"
#include "platform/window_system.hpp"

#include <optional>
#include <vector>

namespace platform {

// WindowCatalogue: the windows a user may choose to share, each described as the picker hands
// it on, with a picture of its content for the picker's rows. The X11 implementation reads them
// from the window manager; tests script a fake.
class WindowCatalogue {
public:
    struct Entry {
        PickedWindow window;
        // bounds: the window's content area, in window-list coordinates.
        Rect bounds;
    };

    virtual ~WindowCatalogue() = default;

    // list: the windows to offer, most recently stacked first, leaving out those of the
    // excludedPIDs and those of the same application as ownWindow (the program's own).
    // Throws Error when the windows can't be read.
    virtual std::vector<Entry> list(const std::vector<int>& excludedPIDs, std::optional<WindowID> ownWindow) = 0;

    // picture: the window's content now, none when it can't be read.
    virtual std::optional<FrameImage> picture(WindowID id) = 0;
};

}  // namespace platform
