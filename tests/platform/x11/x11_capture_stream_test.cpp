#include "platform/x11/x11_capture_stream.hpp"

#include "platform/latest_frame.hpp"
#include "platform/x11/x11_window_system.hpp"
#include "tests/support/x11/x_session.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test_support::ChildProcess;
using test_support::TestWindow;

// Recorder: the delegate and sink of a stream under test: keeps every frame with its time,
// feeds a LatestFrame, and lets the test wait for what it expects.
class Recorder final : public CaptureDelegate {
public:
    struct Sample {
        FrameSample frame;
        Clock::time_point at;
    };

    FrameSink sink() {
        return [this](const FrameSample& frame) {
            frames.store(frame);
            std::lock_guard lock(mutex_);
            samples_.push_back({frame, Clock::now()});
            changed_.notify_all();
        };
    }

    void streamStopped(std::error_code error) override {
        std::lock_guard lock(mutex_);
        stopped_ = error;
        changed_.notify_all();
    }

    // waitFor: whether the samples satisfy the condition within timeout.
    bool waitFor(const std::function<bool(const std::vector<Sample>&)>& condition,
                 std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return condition(samples_); });
    }

    // mark: where the frames that arrive from now on will begin. Taken before the action a test
    // awaits the effect of, since the frame showing it may come before the action's command has
    // returned.
    std::size_t mark() const {
        std::lock_guard lock(mutex_);
        return samples_.size();
    }

    // waitForFrame: the first frame since `from` (by default: since the call) that satisfies the
    // condition.
    std::optional<FrameSample> waitForFrame(const std::function<bool(const FrameSample&)>& condition,
                                            std::optional<std::size_t> from = std::nullopt,
                                            std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(mutex_);
        std::size_t seen = from.value_or(samples_.size());
        std::optional<FrameSample> found;
        changed_.wait_for(lock, timeout, [&] {
            for (; seen < samples_.size() && !found; ++seen) {
                if (condition(samples_[seen].frame)) found = samples_[seen].frame;
            }
            return found.has_value();
        });
        return found;
    }

    // seenSince: the statuses of the frames since `from`, for a failure's message.
    std::string seenSince(std::size_t from) const {
        static constexpr const char* kNames[] = {"complete", "idle", "blank", "suspended", "started", "stopped"};
        std::lock_guard lock(mutex_);
        std::string seen = "frames seen:";
        for (std::size_t i = from; i < samples_.size(); ++i) {
            const auto status = samples_[i].frame.status;
            seen += ' ';
            seen += status ? kNames[static_cast<int>(*status)] : "no status";
        }
        return seen;
    }

    std::optional<std::error_code> waitForStop(std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return stopped_.has_value(); });
        return stopped_;
    }

    std::vector<Sample> samples() const {
        std::lock_guard lock(mutex_);
        return samples_;
    }

    LatestFrame frames;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Sample> samples_;
    std::optional<std::error_code> stopped_;
};

bool hasStatus(const FrameSample& frame, FrameStatus status) { return frame.status == status; }

// bgra: a colour 0xRRGGBB as the pixel value of an opaque image pixel.
std::uint32_t bgra(std::uint32_t rgb) { return 0xFF000000 | rgb; }

std::size_t countPixels(const FrameImage& image, std::uint32_t value) {
    std::size_t count = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t pixel = 0;
            std::memcpy(&pixel, image.pixels->data() + y * image.bytesPerRow + x * 4, 4);
            if (pixel == value) ++count;
        }
    }
    return count;
}

bool allPixels(const FrameImage& image, std::uint32_t value) {
    return countPixels(image, value) == static_cast<std::size_t>(image.width) * image.height;
}

class X11CaptureStreamTest : public test_support::XTest {
protected:
    // startCapture: a running stream of the window, its first frame received.
    std::shared_ptr<CaptureStream> startCapture(WindowID window, bool showsCursor = true) {
        auto configuration = streamConfiguration(2, 2);
        configuration.showsCursor = showsCursor;
        X11CaptureFactory factory(session().display);
        auto stream = factory.makeStream(window, configuration, recorder_, recorder_->sink());
        std::promise<std::error_code> started;
        stream->start([&](std::error_code error) { started.set_value(error); });
        auto result = started.get_future();
        EXPECT_EQ(result.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(result.get(), std::error_code{});
        EXPECT_TRUE(recorder_->waitFor([](const auto& samples) { return !samples.empty(); }));
        return stream;
    }

    void type(const TestWindow& window) {
        session().runChecked({"xdotool", "key", "--window", window.idText(), "a"});
    }

    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(X11CaptureStreamTest, FirstFrameIsStartedWithTheWholeWindowThenIdle) {
    const TestWindow window(session(), {.bounds = {100, 100, 320, 240}, .color = 0x3366CC});
    const auto stream = startCapture(window.id());

    const auto first = recorder_->samples().front().frame;
    ASSERT_EQ(first.status, FrameStatus::started);
    ASSERT_TRUE(first.image);
    EXPECT_EQ(first.image->width, 320);
    EXPECT_EQ(first.image->height, 240);
    EXPECT_EQ(first.image->bytesPerRow, 320 * 4);
    session().saveScreenshot(*first.image, "capture-first-frame");
    EXPECT_TRUE(allPixels(*first.image, bgra(0x3366CC)));
    EXPECT_TRUE(recorder_->waitForFrame([](const auto& f) { return hasStatus(f, FrameStatus::idle); }))
        << "a still window gives idle frames";

    std::promise<void> stopped;
    stream->stop([&](std::error_code error) {
        EXPECT_FALSE(error);
        stopped.set_value();
    });
    EXPECT_EQ(stopped.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(recorder_->waitForStop(300ms)) << "the delegate hears only of ends by themselves";
}

TEST_F(X11CaptureStreamTest, CoveredHalfIsCapturedWithItsOwnColour) {
    const TestWindow window(session(), {.bounds = {100, 100, 400, 300}, .color = 0xCC3333,
                                        .undecorated = true});
    const TestWindow cover(session(), {.title = "Cover", .bounds = {300, 100, 200, 300},
                                       .color = 0x33CC33, .undecorated = true});
    X11WindowSystem windows(session().display);
    ASSERT_TRUE(test_support::eventually(
        [&] { return isCoveredAt(windows, window.id(), getpid(), {350, 200}); }));
    session().saveScreen("screen-right-half-covered");

    // Started while covered: the capture still gets the covered half.
    const auto stream = startCapture(window.id());
    const auto whole = recorder_->waitForFrame(
        [](const FrameSample& f) { return f.image && allPixels(*f.image, bgra(0xCC3333)); }, 0);
    ASSERT_TRUE(whole) << "no frame showed the window's own colour all over";
    session().saveScreenshot(*whole->image, "capture-covered-right-half");

    // Covered after the start: a new full frame still shows only the window's colour.
    session().runChecked({"xdotool", "windowmove", cover.idText(), "100", "100"});
    ASSERT_TRUE(test_support::eventually(
        [&] { return isCoveredAt(windows, window.id(), getpid(), {150, 200}); }));
    session().saveScreen("screen-left-half-covered");
    const auto reconfigured = recorder_->mark();
    std::promise<void> configured;
    stream->updateConfiguration(streamConfiguration(400, 300), [&](std::error_code) { configured.set_value(); });
    EXPECT_EQ(configured.get_future().wait_for(5s), std::future_status::ready);
    const auto full = recorder_->waitForFrame([](const auto& f) { return hasStatus(f, FrameStatus::complete); },
                                              reconfigured);
    ASSERT_TRUE(full && full->image) << "a new configuration gives a complete frame; "
                                     << recorder_->seenSince(reconfigured);
    session().saveScreenshot(*full->image, "capture-covered-left-half");
    EXPECT_TRUE(allPixels(*full->image, bgra(0xCC3333)));
}

TEST_F(X11CaptureStreamTest, TypingGivesACompleteFrameAndMovesLastChange) {
    const TestWindow window(session(), {.bounds = {100, 100, 320, 240}, .color = 0x3366CC,
                                        .typedColor = 0xCC6633});
    const auto stream = startCapture(window.id());
    ASSERT_TRUE(recorder_->waitForFrame([](const auto& f) { return hasStatus(f, FrameStatus::idle); }));
    const auto before = recorder_->frames.lastChange();
    ASSERT_TRUE(before);

    const auto typing = recorder_->mark();
    type(window);
    const auto typed = recorder_->waitForFrame(
        [](const FrameSample& f) {
            return hasStatus(f, FrameStatus::complete) && f.image && allPixels(*f.image, bgra(0xCC6633));
        },
        typing);
    ASSERT_TRUE(typed) << "no complete frame in the typed colour; " << recorder_->seenSince(typing);
    session().saveScreenshot(*typed->image, "capture-after-typing");
    const auto state = recorder_->frames.state();
    ASSERT_TRUE(state.lastChange);
    EXPECT_GT(*state.lastChange, *before);
    ASSERT_TRUE(state.buffer);
    EXPECT_TRUE(allPixels(*state.buffer, bgra(0xCC6633)));
}

TEST_F(X11CaptureStreamTest, DeliversAtMostFiveFramesASecond) {
    const TestWindow window(session(), {.bounds = {100, 100, 320, 240}});
    const auto stream = startCapture(window.id());
    // Keep the window changing 25 times a second for longer than the count runs. The typist
    // must end by itself: killed between a key's press and release it would leave the key
    // down, repeating into the next test's window.
    ChildProcess typist({"xdotool", "key", "--window", window.idText(), "--delay", "40",
                         "--repeat", "90", "a"},
                        session().environment());
    const auto start = Clock::now();
    recorder_->waitFor([](const auto&) { return false; }, 3s);
    EXPECT_TRUE(typist.wait(10s));
    std::size_t frames = 0;
    std::size_t images = 0;
    for (const auto& sample : recorder_->samples()) {
        if (sample.at < start || sample.at > start + 3s) continue;
        ++frames;
        if (sample.frame.image) ++images;
    }
    EXPECT_LE(frames, 16u) << "3 s at 5 frames a second, plus one at the edge";
    EXPECT_GE(frames, 13u) << "one frame per tick, changed or not";
    EXPECT_GE(images, 5u) << "the changing window gave new images";
}

TEST_F(X11CaptureStreamTest, MinimizedWindowIsSuspendedUntilShownAgain) {
    const TestWindow window(session(), {.bounds = {100, 100, 320, 240}});
    const auto stream = startCapture(window.id());

    const auto minimizing = recorder_->mark();
    session().runChecked({"xdotool", "windowminimize", window.idText()});
    ASSERT_TRUE(recorder_->waitForFrame([](const auto& f) { return hasStatus(f, FrameStatus::suspended); },
                                        minimizing))
        << recorder_->seenSince(minimizing);
    EXPECT_FALSE(recorder_->frames.state().buffer) << "a suspended frame empties the holder";

    const auto showing = recorder_->mark();
    session().runChecked({"xdotool", "windowactivate", window.idText()});
    const auto shown = recorder_->waitForFrame([](const auto& f) { return hasStatus(f, FrameStatus::complete); },
                                               showing);
    ASSERT_TRUE(shown && shown->image) << "the window shown again gives a complete frame; "
                                       << recorder_->seenSince(showing);
    EXPECT_TRUE(allPixels(*shown->image, bgra(0x3366CC)));
}

TEST_F(X11CaptureStreamTest, KilledWindowEndsTheStreamAndTellsTheDelegate) {
    TestWindow window(session(), {.bounds = {100, 100, 320, 240}});
    const auto stream = startCapture(window.id());
    window.kill();
    const auto stopped = recorder_->waitForStop(2s);
    ASSERT_TRUE(stopped) << "the delegate wasn't told";
    EXPECT_EQ(*stopped, CaptureError::windowGone);
    const auto samples = recorder_->samples();
    EXPECT_EQ(samples.back().frame.status, FrameStatus::stopped);
    EXPECT_FALSE(recorder_->frames.state().buffer);

    bool done = false;
    stream->stop([&](std::error_code error) { done = !error; });
    EXPECT_TRUE(done) << "stopping an ended stream completes at once";
}

TEST_F(X11CaptureStreamTest, StartFailsForAWindowThatDoesNotExist) {
    TestWindow window(session(), {.bounds = {100, 100, 50, 50}});
    const auto id = window.id();
    window.kill();
    X11WindowSystem windows(session().display);
    ASSERT_TRUE(test_support::eventually([&] { return !windows.window(id); }));

    auto stream = X11CaptureFactory(session().display)
                      .makeStream(id, streamConfiguration(50, 50), recorder_, recorder_->sink());
    std::promise<std::error_code> started;
    stream->start([&](std::error_code error) { started.set_value(error); });
    auto result = started.get_future();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(result.get(), CaptureError::windowNotFound);
    EXPECT_TRUE(recorder_->samples().empty());
    EXPECT_THROW(stream->start(nullptr), std::logic_error);
}

TEST_F(X11CaptureStreamTest, PointerOverTheWindowIsPartOfThePicture) {
    const TestWindow window(session(), {.bounds = {100, 100, 320, 240}, .color = 0x3366CC,
                                        .undecorated = true});
    const auto stream = startCapture(window.id());
    ASSERT_TRUE(recorder_->waitForFrame([](const auto& f) { return hasStatus(f, FrameStatus::idle); }));

    const auto moving = recorder_->mark();
    session().runChecked({"xdotool", "mousemove", "260", "220"});
    const auto withPointer = recorder_->waitForFrame(
        [](const FrameSample& f) {
            return hasStatus(f, FrameStatus::complete) && f.image && !allPixels(*f.image, bgra(0x3366CC));
        },
        moving);
    ASSERT_TRUE(withPointer) << "no frame showed the pointer; " << recorder_->seenSince(moving);
    session().saveScreenshot(*withPointer->image, "capture-with-pointer");
    EXPECT_GT(countPixels(*withPointer->image, bgra(0x3366CC)), 320u * 240u * 9 / 10)
        << "the pointer covers a small spot only";
}

}  // namespace
}  // namespace platform
