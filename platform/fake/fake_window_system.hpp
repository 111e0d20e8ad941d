#pragma once

#include "platform/window_system.hpp"

#include <map>
#include <optional>
#include <vector>

namespace platform {

// FakeWindowSystem: a window list given as a table that the test edits as the user would
// move, hide and close windows. Main thread only.
class FakeWindowSystem final : public WindowSystem {
public:
    std::optional<WindowEntry> window(WindowId id) override;
    std::optional<std::vector<WindowEntry>> windowsAbove(WindowId id) override;

    // put: adds the entry, or replaces the one with its id.
    void put(const WindowEntry& entry) { windows_[entry.id] = entry; }
    // close: the window no longer exists.
    void close(WindowId id);
    // move: new bounds for an existing window.
    void move(WindowId id, Rect bounds);
    // setOnScreen: minimizes the window (false) or shows it again (true).
    void setOnScreen(WindowId id, bool onScreen);
    // setAbove: the windows in front of id, nearest first; none makes the list unreadable.
    void setAbove(WindowId id, std::optional<std::vector<WindowEntry>> above);

    // isShown: whether the window exists and is on screen; not counted as a read.
    bool isShown(WindowId id) const {
        const auto found = windows_.find(id);
        return found != windows_.end() && found->second.onScreen;
    }

    // reads: how many times window() was asked.
    int reads() const { return reads_; }

private:
    std::map<WindowId, WindowEntry> windows_;
    std::map<WindowId, std::optional<std::vector<WindowEntry>>> above_;
    int reads_ = 0;
};

}  // namespace platform
