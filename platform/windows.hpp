#pragma once

#include "platform/scheduler.hpp"
#include "platform/window_system.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

// OverlayWindow: a borderless window that floats above the other programs' windows on every
// desktop, never takes the keyboard focus and never activates the program. Frames are in the
// window list's coordinates. It is made hidden; destroying it removes it from the screen.
// Main thread only.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;

    virtual Rect frame() const = 0;
    // setFrame: moves and sizes the window; its content is laid out anew but not re-measured.
    virtual void setFrame(Rect frame) = 0;
    // orderFront: shows the window above the others, or raises it when it is shown already.
    virtual void orderFront() = 0;
    // fadeOut: starts fading the window out over duration, where the desktop can show
    // translucency; elsewhere it hides it at once. The caller still calls orderOut afterwards.
    virtual void fadeOut(Scheduler::Clock::duration duration) = 0;
    // orderOut: hides the window at once.
    virtual void orderOut() = 0;
};

// MarkLabelContent: what a ring's label shows. A caption or text counts as shown only when it
// is present and not empty; the Copy button comes with a shown text, the Done button always.
struct MarkLabelContent {
    std::optional<int> number;
    std::optional<std::string> label;
    std::optional<std::string> text;
};

// LabelPanel: the label beside a ring; it takes clicks on its buttons.
class LabelPanel : public OverlayWindow {
public:
    // fittingSize: the size its content asks for.
    virtual Size fittingSize() const = 0;
};

// StatusViewContent: what the status box shows, worked out from the status-box model.
struct StatusViewContent {
    // message: the first line; absent when there is nothing to say.
    std::optional<std::string> message;
    // finished: the closing line, shown beside a check mark in place of the status line.
    std::optional<std::string> finished;
    // statusLine: the progress line under the message (may be empty); not shown when finished.
    std::string statusLine;
    // spinner: a small activity indicator goes before the status line.
    bool spinner = false;
    bool showsDone = false;
    bool showsStopSharing = false;

    friend bool operator==(const StatusViewContent&, const StatusViewContent&) = default;
};

// StatusPanelWindow: the status box at the bottom of the screen; the user can drag it by its
// background, and its buttons act on the first click.
class StatusPanelWindow : public OverlayWindow {
public:
    // show: lays out content within the current frame; the frame doesn't change.
    virtual void show(const StatusViewContent& content) = 0;
    // fittingHeight: the height the content last shown asks for at the panel's width.
    virtual double fittingHeight() const = 0;
};

// Windows: makes the program's floating windows. Each is made hidden; the maker keeps no
// reference to it. The callbacks run on the main thread, when the user presses the button,
// for as long as the window lives. Main thread only.
class Windows {
public:
    virtual ~Windows() = default;

    // makeRing: the pulsing ring around a spot, diameter across (before the pulse), drawn in
    // the centre of frame. Clicks go through it to the window underneath.
    virtual std::unique_ptr<OverlayWindow> makeRing(Rect frame, double diameter) = 0;

    // makeLabel: the label of a ring. onCopy runs when Copy is pressed (the label then shows
    // "Copied" for a moment; putting the text on the clipboard is the caller's), onDone when
    // Done is pressed.
    virtual std::unique_ptr<LabelPanel> makeLabel(const MarkLabelContent& content,
                                                  std::function<void()> onCopy,
                                                  std::function<void()> onDone) = 0;

    // makeStatusPanel: the status box, with the actions of its Done and Stop Sharing buttons.
    virtual std::unique_ptr<StatusPanelWindow> makeStatusPanel(std::function<void()> onDone,
                                                               std::function<void()> onStopSharing) = 0;
};

}  // namespace platform
