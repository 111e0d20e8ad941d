#pragma once

#include "platform/capture_error.hpp"
#include "platform/capture_stream.hpp"
#include "platform/frame.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_window_grabber.hpp"

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform::detail {

// WindowCapture: the X side of one capture stream: its connection, the window's redirection,
// its DAMAGE object and what the last frame showed. Used only on the stream's thread.
class WindowCapture {
public:
    // Connects and sets the capture up. Throws std::system_error with a CaptureError.
    WindowCapture(const std::string& displayName, xcb_window_t window,
                  const StreamConfiguration& configuration);
    ~WindowCapture();
    WindowCapture(const WindowCapture&) = delete;
    WindowCapture& operator=(const WindowCapture&) = delete;

    // fd: readable when the server has sent something; readEvents() then takes it in.
    int fd() const;
    const StreamConfiguration& configuration() const { return configuration_; }
    // setConfiguration: the next frame is a full one, whatever changed.
    void setConfiguration(const StreamConfiguration& configuration);

    // readEvents: takes in what the server sent (damage, destruction) without blocking.
    void readEvents();
    // ended: why the capture can't go on (the window was destroyed, the connection broke);
    // none while it can.
    std::optional<CaptureError> ended() const;
    // tick: the frame for now (see X11CaptureStream). Meaningless once ended() is set.
    FrameSample tick();

private:
    struct Cursor;
    std::optional<Cursor> readCursor(xcb_window_t root, int windowWidth, int windowHeight);

    X11Connection connection_;
    xcb_window_t window_;
    StreamConfiguration configuration_;
    std::unique_ptr<X11WindowGrabber> grabber_;
    std::uint32_t damage_ = 0;
    std::uint8_t damageNotify_ = 0;
    xcb_atom_t state_ = XCB_ATOM_NONE;
    xcb_atom_t stateHidden_ = XCB_ATOM_NONE;
    bool canReadCursor_ = false;

    bool gone_ = false;
    bool first_ = true;
    // fresh_: something changed since the last image, or there has been none yet.
    bool fresh_ = true;
    int lastWidth_ = 0;
    int lastHeight_ = 0;
    // Where the pointer was drawn in the last frame; none when it wasn't over the window.
    std::optional<std::uint64_t> lastCursor_;
};

}  // namespace platform::detail
