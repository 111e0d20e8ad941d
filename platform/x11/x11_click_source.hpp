#pragma once

#include "platform/click_source.hpp"
#include "platform/window_system.hpp"
#include "platform/x11/x11_connection.hpp"

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// X11ClickSource: the presses of the left mouse button anywhere on the display, read from
// XInput 2 raw button events on the root window through a connection of its own. Raw events
// come whichever window gets the click, so the source learns of clicks delivered to other
// programs; a press made while the pointer is over one of the program's own windows (as the
// given predicate tells) is left out. A window that lets clicks through to the one below it
// (an empty input shape) isn't under the pointer in this sense.
//
// The owner watches fileDescriptor() for input and then calls readClicks(). One thread.
class X11ClickSource final : public ClickSource {
public:
    // isOwnWindow: whether a window belongs to this program. Connects to displayName (empty:
    // DISPLAY). Throws Error when the server can't be reached or lacks XInput 2.
    X11ClickSource(const std::string& displayName, std::function<bool(WindowID)> isOwnWindow);

    // fileDescriptor: readable when events have arrived.
    int fileDescriptor() const override;

    // readClicks: handles every event that has arrived, without blocking; the number of them
    // that were presses of the left button outside the program's own windows.
    int readClicks() override;

    // broken: the connection failed; no more clicks will come.
    bool broken() const override { return connection_.broken(); }

private:
    bool pointerOverOwnWindow() const;

    X11Connection connection_;
    std::function<bool(WindowID)> isOwnWindow_;
    std::uint8_t inputOpcode_ = 0;
};

// x11ClickSources: makes X11ClickSources on displayName (empty: DISPLAY).
ClickSourceFactory x11ClickSources(std::string displayName);

}  // namespace platform
