#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// Window-list coordinates: pixels of the root window, origin at its top-left corner, y growing
// downwards. X11 needs no flip between this space and the one windows are placed in: both put
// the origin at the top left.
struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    // contains: the left and top edges are inside, the right and bottom edges outside.
    bool contains(Point p) const { return p.x >= x && p.x < right() && p.y >= y && p.y < bottom(); }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// A window as the window system numbers it (an X11 window id).
using WindowID = std::uint32_t;

// WindowEntry: one entry of the window list, with what the checks below read of it. A value
// the window system can't give is absent.
struct WindowEntry {
    WindowID id = 0;
    // bounds: for the window asked about, its content area (the client window without the
    // window manager's frame); for the windows above it, everything they draw over the screen
    // (the frame with its decorations).
    std::optional<Rect> bounds;
    // onScreen: shown now: mapped and viewable, not minimized, on the current desktop.
    bool onScreen = false;
    // layer: 0 for ordinary application windows; 1 for windows that float over them (docks,
    // panels, menus, tooltips, windows kept above, override-redirect windows).
    std::optional<int> layer;
    std::optional<int> ownerPID;
    // alpha: the opacity the window asks the compositor for, 0 to 1.
    std::optional<double> alpha;
};

// WindowSystem: the live window list. Answers are read fresh at every call; nothing is cached,
// so a caller may repeat them at short intervals while the user moves windows. Calls may come
// from any one thread at a time.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // window: the entry of one window, or none when it doesn't exist (any more).
    virtual std::optional<WindowEntry> window(WindowID id) = 0;

    // windowsAbove: the windows shown in front of the given one, nearest first, leaving out
    // desktop backgrounds; none when the list can't be read (the window is gone, the
    // connection failed).
    virtual std::optional<std::vector<WindowEntry>> windowsAbove(WindowID id) = 0;
};

// windowBounds: where the window is; none when it doesn't exist, has no bounds, or when
// onScreenOnly is set and it isn't on screen.
std::optional<Rect> windowBounds(WindowSystem& windows, WindowID id, bool onScreenOnly);

// isCovered: whether one window-list entry hides the point for the process ownPID: it must be
// an ordinary window (layer 0), not one of ownPID's own, not nearly transparent (alpha above
// 0.1), and its bounds must contain the point. A missing owner or alpha doesn't prevent
// covering; a missing layer or bounds does.
bool isCovered(const WindowEntry& entry, int ownPID, Point point);

// isCoveredAt: whether any window in front of the window covers the point, in the sense of
// isCovered. A list that can't be read counts as not covered.
bool isCoveredAt(WindowSystem& windows, WindowID id, int ownPID, Point point);

}  // namespace platform
