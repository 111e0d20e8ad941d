#pragma once

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <system_error>
#include <vector>

namespace platform {

// X11WindowGrabber: reads the pixels of one window. The window is redirected through the
// Composite extension (automatic redirection, which changes nothing on screen), so it keeps
// its whole content in a pixmap of its own even where other windows cover it. Each grab names
// that pixmap afresh (it is replaced whenever the window is resized or mapped again) and reads
// it with MIT-SHM GetImage into a shared-memory segment, or with a plain GetImage where shared
// memory can't be used (a remote server).
//
// Uses the connection it is given from one thread; keeps no reference to anything else.
class X11WindowGrabber {
public:
    // Redirects the window and asks the client to redraw it whole, so that parts that were
    // covered before the redirection are painted into the pixmap too. Throws std::system_error
    // with a CaptureError: extensionMissing without Composite 0.2, windowNotFound when the
    // window doesn't exist, captureFailed for a pixel layout other than 32 bits per pixel
    // least significant byte first.
    X11WindowGrabber(xcb_connection_t* connection, xcb_window_t window);
    // Undoes the redirection and releases the shared memory.
    ~X11WindowGrabber();
    X11WindowGrabber(const X11WindowGrabber&) = delete;
    X11WindowGrabber& operator=(const X11WindowGrabber&) = delete;

    // grab: the window's content, width × height pixels inside a border of borderWidth, as
    // rows of four bytes per pixel (blue, green, red, alpha; alpha is 255 unless the window
    // has depth 32) without padding. None when the server refuses (the window was unmapped or
    // destroyed meanwhile) or the depth has no 32-bit pixel format.
    std::optional<std::vector<std::uint8_t>> grab(int borderWidth, int width, int height,
                                                  int depth);

    bool usesSharedMemory() const { return sharedMemory_; }

private:
    bool attachSegment(std::size_t size);
    void detachSegment();
    bool has32BitPixels(int depth) const;

    xcb_connection_t* connection_;
    xcb_window_t window_;
    bool sharedMemory_ = false;
    std::uint32_t segment_ = 0;  // the MIT-SHM segment id
    void* mapped_ = nullptr;
    std::size_t mappedSize_ = 0;
};

}  // namespace platform
