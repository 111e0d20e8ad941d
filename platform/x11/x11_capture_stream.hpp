#pragma once

#include "platform/capture_stream.hpp"

#include <memory>
#include <string>
#include <thread>

namespace platform {

// X11CaptureStream: the capture of one X11 window on a thread of its own with a connection of
// its own. The window is redirected through Composite (X11WindowGrabber), so covered parts are
// captured with their own content; DAMAGE tells which ticks have something new.
//
// One tick per minimum frame interval delivers exactly one frame to the sink:
// - the window destroyed: stopped, and the delegate is told windowGone (at once, without
//   waiting for the tick);
// - the window unmapped (minimized, on another desktop) or marked hidden: suspended;
// - something new (damage, a resize, the window shown again, a new configuration, the pointer
//   moving over it): the image, started for the first one and complete after it;
// - nothing new: idle.
// A broken connection ends the stream like a destroyed window, with connectionFailed.
class X11CaptureStream final : public CaptureStream {
public:
    // displayName empty: the DISPLAY of the environment. Nothing happens before start().
    X11CaptureStream(std::string displayName, WindowID window, StreamConfiguration configuration,
                     std::weak_ptr<CaptureDelegate> delegate, FrameSink sink);
    ~X11CaptureStream() override;
    X11CaptureStream(const X11CaptureStream&) = delete;
    X11CaptureStream& operator=(const X11CaptureStream&) = delete;

    // start: connects and sets the capture up on the stream's thread; done then reports
    // connectionFailed, extensionMissing, windowNotFound or captureFailed, or success, after
    // which the first frame follows at once. Throws std::logic_error when called twice.
    void start(Completion done) override;
    // stop: done runs on the stream's thread once the window is no longer redirected, or
    // inside this call when the stream never started or has already ended.
    void stop(Completion done) override;
    // updateConfiguration: done runs on the stream's thread when the next tick uses the new
    // configuration, or inside this call before start() and after the end.
    void updateConfiguration(const StreamConfiguration& configuration, Completion done) override;

private:
    class Session;
    std::shared_ptr<Session> session_;
    std::thread worker_;
};

// X11CaptureFactory: makes X11CaptureStream objects for windows of one X server.
class X11CaptureFactory final : public CaptureFactory {
public:
    // displayName empty: the DISPLAY of the environment.
    explicit X11CaptureFactory(std::string displayName = {});
    std::shared_ptr<CaptureStream> makeStream(WindowID window,
                                              const StreamConfiguration& configuration,
                                              std::weak_ptr<CaptureDelegate> delegate,
                                              FrameSink sink) override;

private:
    std::string displayName_;
};

}  // namespace platform
