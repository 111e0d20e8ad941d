#pragma once

#include "platform/window_system.hpp"

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace platform {

// FakeWindowSystem: a window list given as a table that the test edits as the user would
// move, hide and close windows. Main thread only.
class FakeWindowSystem final : public WindowSystem {
public:
    std::optional<WindowEntry> window(WindowID id) override;
    std::optional<std::vector<WindowEntry>> windowsAbove(WindowID id) override;

    // put: adds the entry, or replaces the one with its id.
    void put(const WindowEntry& entry) { windows_[entry.id] = entry; }
    // close: the window no longer exists.
    void close(WindowID id);
    // move: new bounds for an existing window.
    void move(WindowID id, Rect bounds);
    // setOnScreen: minimizes the window (false) or shows it again (true).
    void setOnScreen(WindowID id, bool onScreen);
    // setAbove: the windows in front of id, nearest first; none makes the list unreadable.
    void setAbove(WindowID id, std::optional<std::vector<WindowEntry>> above);

    // isShown: whether the window exists and is on screen; not counted as a read.
    bool isShown(WindowID id) const {
        const auto found = windows_.find(id);
        return found != windows_.end() && found->second.onScreen;
    }

    // changeAfter: the next `reads` calls of window() answer from the table as it stands; change
    // then edits it before the call after them answers. It plays a window that leaves the screen,
    // or comes back, between two looks of the code under test, within a single turn.
    void changeAfter(int reads, std::function<void(FakeWindowSystem&)> change);

    // reads: how many times window() was asked.
    int reads() const { return reads_; }

private:
    struct PendingChange {
        int dueAt = 0;
        std::function<void(FakeWindowSystem&)> change;
    };

    std::optional<PendingChange> pending_;
    std::map<WindowID, WindowEntry> windows_;
    std::map<WindowID, std::optional<std::vector<WindowEntry>>> above_;
    int reads_ = 0;
};

}  // namespace platform
