#pragma once

#include "platform/capture_stream.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

namespace platform {

// solidImage: a width × height image of one colour (0xAARRGGBB).
FrameImage solidImage(int width, int height, std::uint32_t argb = 0xFF3366CC);

// CaptureFailures: one count over every operation of a fake capture and its streams (make,
// start, update, stop), so that a test can fail the n-th of them for n = 0, 1, 2… until a
// sequence succeeds.
struct CaptureFailures {
    // failAt: the index of the operation that fails; none: every one succeeds.
    std::optional<int> failAt;
    // error: what the failing operation reports.
    std::error_code error;
    // operations: how many operations were counted.
    int operations = 0;

    // next: counts one operation; the error it must report, or none.
    std::error_code next();
};

// FakeCaptureStream: a capture stream that does nothing by itself; the test delivers its frames
// and its ends. Everything runs on the test's thread.
class FakeCaptureStream final : public CaptureStream {
public:
    FakeCaptureStream(WindowID window, StreamConfiguration configuration,
                      std::weak_ptr<CaptureDelegate> delegate, FrameSink sink, bool startsAtOnce,
                      std::shared_ptr<CaptureFailures> failures = nullptr);

    // start: completes inside the call when the factory says so or when it is the operation
    // that fails, else waits for completeStart.
    void start(Completion done) override;
    // stop: completes inside the call; later frames still reach the sink if the test emits
    // them, as a real stream's last frames may.
    void stop(Completion done) override;
    // updateConfiguration: completes inside the call with the factory's update error (or the
    // counted failure).
    void updateConfiguration(const StreamConfiguration& configuration, Completion done) override;

    // completeStart: finishes a start that waits; does nothing when none waits.
    void completeStart(std::error_code error = {});
    // emit: one frame to the sink.
    void emit(const FrameSample& sample) const;
    void emit(FrameStatus status, std::optional<FrameImage> image = std::nullopt) const;
    // endByItself: the stream ends without being asked; the delegate is told why.
    void endByItself(std::error_code error) const;

    WindowID window() const { return window_; }
    const StreamConfiguration& configuration() const { return configuration_; }
    // updates: every configuration applied after the first, in order.
    const std::vector<StreamConfiguration>& updates() const { return updates_; }
    bool started() const { return started_; }
    bool startWaits() const { return static_cast<bool>(pendingStart_); }
    int stops() const { return stops_; }

    // updateError: what the next updateConfiguration reports.
    std::error_code updateError;

private:
    WindowID window_;
    StreamConfiguration configuration_;
    std::weak_ptr<CaptureDelegate> delegate_;
    FrameSink sink_;
    bool startsAtOnce_;
    std::shared_ptr<CaptureFailures> failures_;
    Completion pendingStart_;
    std::vector<StreamConfiguration> updates_;
    bool started_ = false;
    int stops_ = 0;
};

// FakeCapture: makes FakeCaptureStream objects and keeps them for the test.
class FakeCapture final : public CaptureFactory {
public:
    std::shared_ptr<CaptureStream> makeStream(WindowID window, const StreamConfiguration& configuration,
                                              std::weak_ptr<CaptureDelegate> delegate,
                                              FrameSink sink) override;

    // streams: every stream made, in order.
    const std::vector<std::shared_ptr<FakeCaptureStream>>& streams() const { return streams_; }
    // last: the newest stream; null when none was made.
    FakeCaptureStream* last() const { return streams_.empty() ? nullptr : streams_.back().get(); }

    // startsAtOnce: streams made from now on complete start() inside the call, with success.
    bool startsAtOnce = true;
    // makeError: when set, makeStream throws it as a std::system_error and makes nothing.
    std::error_code makeError;
    // failures: counts makeStream and every operation of the streams made from now on; a
    // failing makeStream throws like makeError.
    std::shared_ptr<CaptureFailures> failures = std::make_shared<CaptureFailures>();

private:
    std::vector<std::shared_ptr<FakeCaptureStream>> streams_;
};

}  // namespace platform
