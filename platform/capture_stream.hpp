#pragma once

#include "platform/capture_error.hpp"
#include "platform/frame.hpp"
#include "platform/window_system.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <system_error>

namespace platform {

// StreamConfiguration: how a capture stream delivers its frames. Images are always four bytes
// per pixel, blue, green, red, alpha (FrameImage), of the window's content without frame,
// decorations or shadow.
struct StreamConfiguration {
    // The picture size the stream is asked for, in pixels. A source delivers the window's own
    // pixel size; the two agree whenever the caller computed them from the window's bounds
    // and scale, and a caller that needs the asked-for size rescales.
    int width = 0;
    int height = 0;
    // At most one frame per interval reaches the stream's sink.
    std::chrono::milliseconds minimumFrameInterval{200};
    // The mouse pointer is part of the picture when it lies over the window.
    bool showsCursor = true;

    friend bool operator==(const StreamConfiguration&, const StreamConfiguration&) = default;
};

// streamConfiguration: the configuration of the window share's stream for a picture size in
// pixels (whole numbers, at least 2, as the caller computes them): at most five frames a
// second, the pointer shown.
StreamConfiguration streamConfiguration(double width, double height);

// CaptureDelegate: told when a stream ends by itself. Called on the stream's own thread; an
// implementation hops to its own thread before touching its state, and throws nothing.
class CaptureDelegate {
public:
    virtual ~CaptureDelegate() = default;
    // streamStopped: no more frames will come, for the given CaptureError reason. Not called
    // after stop().
    virtual void streamStopped(std::error_code error) = 0;
};

// FrameSink: receives every frame of a stream, on the stream's own thread, one at a time;
// throws nothing.
using FrameSink = std::function<void(const FrameSample&)>;

// CaptureStream: the capture of one window. Every completion runs once, on the stream's own
// thread (or, where noted, inside the call), with an empty error_code on success.
class CaptureStream {
public:
    using Completion = std::function<void(std::error_code)>;

    // Destroying a stream stops it without telling anyone; it may wait for the frame in
    // progress. Safe on any thread, including inside the stream's own callbacks.
    virtual ~CaptureStream() = default;

    // start: begins capturing; done reports whether the capture could be set up. Call once.
    virtual void start(Completion done) = 0;
    // stop: ends the capture; done runs when its resources are released. Stopping a stream
    // that already ended, or never started, succeeds.
    virtual void stop(Completion done) = 0;
    // updateConfiguration: applies a new configuration from the next frame on, which is a
    // complete frame even when the window didn't change.
    virtual void updateConfiguration(const StreamConfiguration& configuration,
                                     Completion done) = 0;
};

// CaptureFactory: makes capture streams; the program has one.
class CaptureFactory {
public:
    virtual ~CaptureFactory() = default;
    // makeStream: a stream of the window, not yet started. The stream keeps delegate weakly
    // and sink until it is destroyed.
    virtual std::shared_ptr<CaptureStream> makeStream(WindowID window,
                                                      const StreamConfiguration& configuration,
                                                      std::weak_ptr<CaptureDelegate> delegate,
                                                      FrameSink sink) = 0;
};

}  // namespace platform
