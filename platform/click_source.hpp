#pragma once

#include "platform/window_system.hpp"

#include <functional>
#include <memory>

namespace platform {

// ClickSource: the presses of the left mouse button anywhere on the display, outside the
// program's own windows, as a readable file descriptor and a count of what arrived. The owner
// watches fileDescriptor() for input and then calls readClicks(). One thread.
class ClickSource {
public:
    virtual ~ClickSource() = default;

    // fileDescriptor: readable when events have arrived.
    virtual int fileDescriptor() const = 0;

    // readClicks: handles every event that has arrived, without blocking; the number of them
    // that were presses of the left button outside the program's own windows.
    virtual int readClicks() = 0;

    // broken: the source failed; no more clicks will come.
    virtual bool broken() const = 0;
};

// ClickSourceFactory: makes a source that leaves out presses over the windows isOwnWindow
// names. Throws Error when the system can't report clicks.
using ClickSourceFactory = std::function<std::unique_ptr<ClickSource>(std::function<bool(WindowID)> isOwnWindow)>;

}  // namespace platform
