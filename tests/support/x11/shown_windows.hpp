#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// What the X server shows, read straight from it: for the desktop tests' waits (a window is
// where the test will click, has the keyboard) and for their failure messages, which say
// what was there instead. Every call is a round trip on the given connection.

// ShownWindow: a window as the server has it.
struct ShownWindow {
    xcb_window_t parent = XCB_WINDOW_NONE;
    bool viewable = false;  // mapped, and every ancestor too
    int x = 0, y = 0;       // its top-left corner on the root
    int width = 0, height = 0;
};

// shownWindow: none when the window is gone.
std::optional<ShownWindow> shownWindow(xcb_connection_t* connection, xcb_window_t window);

// windowsUnderPointer: the windows that hold the pointer, from the root's child down to the
// deepest; a click goes to the last of them (or the nearest above it that takes clicks).
std::vector<xcb_window_t> windowsUnderPointer(xcb_connection_t* connection, xcb_window_t root);

// focusedWindow: the window that has the keyboard focus, none for PointerRoot or None.
std::optional<xcb_window_t> focusedWindow(xcb_connection_t* connection);

// describeWindow: "0x1a00003 "Vantor MCP Menu" 320x410+1272+558 viewable, in 0x400012", or
// "0x1a00003 (gone)".
std::string describeWindow(xcb_connection_t* connection, xcb_window_t window);

// insideWindowOfClass: whether an ancestor of window (up to the root) has the WM_CLASS class
// ("Trayer": the window lies in the session's tray).
bool insideWindowOfClass(xcb_connection_t* connection, xcb_window_t window, const std::string& className);

// answersPing: whether the program that made the windows answers, within timeout, a
// _NET_WM_PING sent now to each of them (a window the toolkit made for itself may not answer). A Qt program answers it on its main thread, in order with the rest of its
// events: once it has, it has handled whatever reached its event loop before the ping, and the
// X server has every request (a window shown, one closed) that handling made. For checks that
// something did NOT happen, which no event of their own announces. Uses a connection of its own.
bool answersPing(const std::string& display, const std::vector<xcb_window_t>& windows,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace test_support
