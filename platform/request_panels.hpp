#pragma once

#include "platform/share_grant.hpp"
#include "platform/window_system.hpp"
#include "platform/windows.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// LookAnswer: the user's answer to a request to see a window: choose (share a window for
// grant) or declined ("Not Now", the panel closed, no answer in time).
struct LookAnswer {
    enum class Kind { choose, declined };

    Kind kind = Kind::declined;
    ShareGrant grant = ShareGrant::once;

    static LookAnswer choose(ShareGrant grant) { return {Kind::choose, grant}; }
    static LookAnswer declined() { return {Kind::declined, ShareGrant::once}; }

    friend bool operator==(const LookAnswer&, const LookAnswer&) = default;
};

// RequestViewContent: what the request panel asks. offersKeeping selects the layout: true for a
// named client's request ("Share Once", "Share for 5 Minutes", "Not Now" with the two
// explanatory lines), false for the user's own test ("Not Now" and "Choose Window…").
struct RequestViewContent {
    std::string title;
    std::string reason;
    bool offersKeeping = false;

    friend bool operator==(const RequestViewContent&, const RequestViewContent&) = default;
};

// RequestWindow: the request panel on screen: an ordinary top-level window titled "Vantor MCP"
// with a close button, kept above the other windows, which takes the keyboard focus. It is made
// hidden; destroying it removes it from the screen. Geometry is in the window list's
// coordinates. Main thread only.
class RequestWindow {
public:
    virtual ~RequestWindow() = default;

    // fittingSize: the size its content asks for at its fixed width.
    virtual Size fittingSize() const = 0;
    // contentSize: the size of its content area now, without the window manager's frame.
    virtual Size contentSize() const = 0;
    // setContentSize: gives the content area this size, which the user can't change.
    virtual void setContentSize(Size size) = 0;
    // frame: the window with the frame the window manager draws around it, once it has one.
    virtual Rect frame() const = 0;
    // moveTo: puts the frame's top-left corner at the point; the size doesn't change.
    virtual void moveTo(Point topLeft) = 0;
    // visibleFrame: the part of its screen (else the primary screen) that panels and docks leave
    // free; none when the system reports no screen.
    virtual std::optional<Rect> visibleFrame() const = 0;
    // orderFrontAndFocus: shows the window above the others and gives it the keyboard focus,
    // activating the program if need be.
    virtual void orderFrontAndFocus() = 0;
    // close: takes the window off the screen for good, without reporting a close by the user.
    virtual void close() = 0;
};

// RequestPanels: makes request panels. Main thread only.
class RequestPanels {
public:
    virtual ~RequestPanels() = default;

    // makeRequestPanel: a hidden panel showing content. onAnswer runs with a button's answer
    // each time the user presses one (Return presses the default button, Escape "Not Now");
    // onUserClose runs when the user closes the window (its close button, the window manager),
    // never for close() or the window's destruction. Both run on the main thread and may
    // destroy the window.
    virtual std::unique_ptr<RequestWindow> makeRequestPanel(const RequestViewContent& content,
                                                            std::function<void(LookAnswer)> onAnswer,
                                                            std::function<void()> onUserClose) = 0;
};

}  // namespace platform
