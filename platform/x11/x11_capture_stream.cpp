#include "platform/x11/x11_capture_stream.hpp"

#include "platform/x11/detail/window_capture.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace platform {

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

// Session: what the stream object and its thread share. The fields under mutex_ carry the
// requests of the stream's callers to the thread; everything X is on the thread alone.
class X11CaptureStream::Session {
public:
    Session(std::string displayName, WindowID window, StreamConfiguration configuration,
            std::weak_ptr<CaptureDelegate> delegate, FrameSink sink)
        : displayName_(std::move(displayName)),
          window_(window),
          delegate_(std::move(delegate)),
          sink_(std::move(sink)),
          configuration_(configuration),
          wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Session() {
        if (wake_ >= 0) close(wake_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // markStarted: false when the stream was started before.
    bool markStarted() {
        std::lock_guard lock(mutex_);
        if (state_ != State::made) return false;
        state_ = State::starting;
        return true;
    }

    void requestStop(Completion done) {
        {
            std::lock_guard lock(mutex_);
            if (state_ == State::starting || state_ == State::running) {
                stopRequested_ = true;
                if (done) stopWaiters_.push_back(std::move(done));
                done = nullptr;
            }
        }
        wake();
        if (done) done({});
    }

    void requestConfiguration(const StreamConfiguration& configuration, Completion done) {
        {
            std::lock_guard lock(mutex_);
            configuration_ = configuration;
            if (state_ == State::starting || state_ == State::running) {
                configurationChanged_ = true;
                if (done) configurationWaiters_.push_back(std::move(done));
                done = nullptr;
            }
        }
        wake();
        if (done) done({});
    }

    // run: the stream's thread.
    void run(const Completion& started) {
        std::unique_ptr<detail::WindowCapture> capture;
        std::error_code startError;
        try {
            capture = std::make_unique<detail::WindowCapture>(displayName_, window_,
                                                              currentConfiguration());
        } catch (const std::system_error& error) {
            startError = error.code();
        } catch (const Error&) {
            startError = CaptureError::connectionFailed;
        } catch (const std::exception&) {
            startError = CaptureError::captureFailed;
        }
        {
            std::lock_guard lock(mutex_);
            if (!startError) state_ = State::running;
        }
        if (started) started(startError);

        std::optional<CaptureError> endedBy;
        if (capture) endedBy = loop(*capture);
        // Releasing the capture undoes the redirection before anyone hears of the end.
        capture.reset();
        finish(endedBy);
    }

    void wake() {
        if (wake_ < 0) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
    }

private:
    enum class State { made, starting, running, ended };

    StreamConfiguration currentConfiguration() {
        std::lock_guard lock(mutex_);
        return configuration_;
    }

    std::optional<CaptureError> loop(detail::WindowCapture& capture) {
        auto nextTick = Clock::now();
        for (;;) {
            std::vector<Completion> configured;
            std::optional<StreamConfiguration> configuration;
            {
                std::lock_guard lock(mutex_);
                if (stopRequested_) return std::nullopt;
                if (configurationChanged_) configuration = configuration_;
                configurationChanged_ = false;
                configured.swap(configurationWaiters_);
            }
            if (configuration) capture.setConfiguration(*configuration);
            for (auto& done : configured) done({});

            capture.readEvents();
            if (auto ended = capture.ended()) return ended;

            const auto now = Clock::now();
            if (now >= nextTick) {
                auto frame = capture.tick();
                if (auto ended = capture.ended()) return ended;
                if (sink_) sink_(frame);
                const auto interval = std::max<Clock::duration>(
                    capture.configuration().minimumFrameInterval, std::chrono::milliseconds(1));
                nextTick += interval;
                if (nextTick <= now) nextTick = now + interval;
                continue;
            }

            pollfd fds[2] = {{capture.fd(), POLLIN, 0}, {wake_, POLLIN, 0}};
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(nextTick - now).count();
            if (poll(fds, 2, static_cast<int>(wait)) > 0 && (fds[1].revents & POLLIN) != 0) {
                std::uint64_t count = 0;
                [[maybe_unused]] auto taken = read(wake_, &count, sizeof count);
            }
        }
    }

    void finish(std::optional<CaptureError> endedBy) {
        std::vector<Completion> stopWaiters;
        std::vector<Completion> configured;
        bool stopped = false;
        {
            std::lock_guard lock(mutex_);
            state_ = State::ended;
            stopped = stopRequested_;
            stopWaiters.swap(stopWaiters_);
            configured.swap(configurationWaiters_);
        }
        for (auto& done : configured) done({});
        if (endedBy && !stopped) {
            if (sink_) sink_(FrameSample{FrameStatus::stopped, std::nullopt});
            if (const auto delegate = delegate_.lock()) delegate->streamStopped(*endedBy);
        }
        for (auto& done : stopWaiters) done({});
    }

    const std::string displayName_;
    const WindowID window_;
    const std::weak_ptr<CaptureDelegate> delegate_;
    const FrameSink sink_;

    std::mutex mutex_;
    State state_ = State::made;
    StreamConfiguration configuration_;
    bool configurationChanged_ = false;
    bool stopRequested_ = false;
    std::vector<Completion> stopWaiters_;
    std::vector<Completion> configurationWaiters_;

    // Written to wake the thread from its wait for the next tick or the server.
    const int wake_;
};

X11CaptureStream::X11CaptureStream(std::string displayName, WindowID window,
                                   StreamConfiguration configuration,
                                   std::weak_ptr<CaptureDelegate> delegate, FrameSink sink)
    : session_(std::make_shared<Session>(std::move(displayName), window, configuration,
                                         std::move(delegate), std::move(sink))) {}

X11CaptureStream::~X11CaptureStream() {
    session_->requestStop(nullptr);
    if (!worker_.joinable()) return;
    // The last owner may drop the stream inside one of its own callbacks; the thread then
    // finishes on its own, keeping the session alive.
    if (worker_.get_id() == std::this_thread::get_id()) {
        worker_.detach();
    } else {
        worker_.join();
    }
}

void X11CaptureStream::start(Completion done) {
    if (!session_->markStarted()) throw std::logic_error("A capture stream was started twice.");
    worker_ = std::thread([session = session_, done = std::move(done)] { session->run(done); });
}

void X11CaptureStream::stop(Completion done) { session_->requestStop(std::move(done)); }

void X11CaptureStream::updateConfiguration(const StreamConfiguration& configuration,
                                           Completion done) {
    session_->requestConfiguration(configuration, std::move(done));
}

X11CaptureFactory::X11CaptureFactory(std::string displayName)
    : displayName_(std::move(displayName)) {}

std::shared_ptr<CaptureStream> X11CaptureFactory::makeStream(
    WindowID window, const StreamConfiguration& configuration,
    std::weak_ptr<CaptureDelegate> delegate, FrameSink sink) {
    return std::make_shared<X11CaptureStream>(displayName_, window, configuration,
                                              std::move(delegate), std::move(sink));
}

}  // namespace platform
