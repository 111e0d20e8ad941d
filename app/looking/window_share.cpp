#include "app/looking/window_share.hpp"

#include "app/common/tool_error.hpp"

#include "platform/capture_error.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace app {

namespace {

std::string firstNonEmpty(std::initializer_list<const std::string*> texts) {
    for (const auto* text : texts) {
        if (!text->empty()) return *text;
    }
    return {};
}

}  // namespace

PixelSize streamPixelSize(platform::Size points, double scale) {
    const auto side = [scale](double length) { return std::max(2, static_cast<int>(std::lround(length * scale))); };
    return {side(points.width), side(points.height)};
}

// PickerEvents: the share's observer of the picker. The picker may call it on any thread; each
// outcome goes on to the main thread, where it ends the pick that waits, if any.
class WindowShare::PickerEvents final : public platform::PickerObserver {
public:
    PickerEvents(platform::Scheduler& main, std::weak_ptr<WindowShare*> share)
        : main_(main), share_(std::move(share)) {}

    void pickerCancelled() override { deliver(Pick::ended(Pick::Outcome::cancelled)); }
    void pickerChose(platform::PickedContent content) override { deliver(Pick::chosen(std::move(content))); }
    // The reason is dropped: the agent's text for a failed pick is fixed.
    void pickerFailed(std::string) override { deliver(Pick::ended(Pick::Outcome::failed)); }

private:
    void deliver(Pick outcome) {
        main_.post([share = share_, outcome = std::move(outcome)]() mutable {
            if (const auto self = share.lock()) (*self)->finishPick(std::move(outcome));
        });
    }

    platform::Scheduler& main_;
    std::weak_ptr<WindowShare*> share_;
};

// StreamEvents: the delegate of one capture stream. It tells the main thread which stream
// ended, by its generation, so that the end of a stream that has since been replaced changes
// nothing.
class WindowShare::StreamEvents final : public platform::CaptureDelegate {
public:
    StreamEvents(platform::Scheduler& main, std::weak_ptr<WindowShare*> share, std::uint64_t generation)
        : main_(main), share_(std::move(share)), generation_(generation) {}

    void streamStopped(std::error_code error) override {
        const bool byUser = error == platform::CaptureError::stoppedByUser;
        main_.post([share = share_, generation = generation_, byUser] {
            if (const auto self = share.lock()) (*self)->streamEnded(generation, byUser);
        });
    }

private:
    platform::Scheduler& main_;
    std::weak_ptr<WindowShare*> share_;
    std::uint64_t generation_;
};

WindowShare::WindowShare(Services services)
    : main_(services.main),
      picker_(services.picker),
      capture_(services.capture),
      windows_(services.windows),
      screens_(services.screens),
      codec_(services.codec),
      pointer_(services.pointer),
      status_(services.status),
      ownPID_(services.ownPID),
      frameClock_(std::move(services.frameClock)),
      self_(std::make_shared<WindowShare*>(this)),
      pickerEvents_(std::make_shared<PickerEvents>(main_, self_)) {
    picker_.addObserver(pickerEvents_);
}

WindowShare::~WindowShare() {
    if (pickLimit_) pickLimit_->cancel();
    if (expiry_) expiry_->cancel();
    if (stream_) stream_->stop([stream = stream_](std::error_code) {});
}

platform::Task<WindowShare::Pick> WindowShare::pick() {
    picker_.configure(platform::PickerConfiguration{
        .singleWindow = true, .excludedPIDs = {ownPID_}, .maximumStreams = 1});
    picker_.setActive(true);
    platform::OneShot<Pick> outcome(main_);
    presentPicker(outcome);
    Pick result = co_await outcome;
    if (!picking_) deactivatePicker();
    co_return result;
}

void WindowShare::presentPicker(platform::OneShot<Pick> waiter) {
    finishPick(Pick::ended(Pick::Outcome::cancelled));
    picking_ = std::move(waiter);
    pickLimit_ = main_.after(kPickLimit, guarded([](WindowShare& share) {
        share.finishPick(Pick::ended(Pick::Outcome::timedOut));
    }));
    picker_.present();
}

void WindowShare::finishPick(Pick outcome) {
    if (pickLimit_) {
        pickLimit_->cancel();
        pickLimit_.reset();
    }
    if (picking_) {
        picking_->resolve(std::move(outcome));
        picking_.reset();
    }
}

platform::Task<void> WindowShare::share(platform::PickedContent picked, platform::ShareGrant grant, std::string client) {
    endStream();
    if (picked.includedWindows.empty()) throw ToolError(std::string(kSingleWindowsText));
    const auto& first = picked.includedWindows.front();
    const Window window{first.id, first.pid, firstNonEmpty({&first.appName, &first.processName, &first.title}),
                        first.title};

    pixelScale_ = std::max(1.0, picked.pointPixelScale);
    platform::Size size{picked.contentRect.width, picked.contentRect.height};
    if (size.width <= 0 || size.height <= 0) {
        const auto bounds = platform::windowBounds(windows_, window.id, /*onScreenOnly=*/false);
        if (!bounds) {
            windowSize_ = {};
            throw ToolError(std::string(kNotOnScreenText));
        }
        size = {bounds->width, bounds->height};
    }
    windowSize_ = size;
    if (!(size.width > 0 && size.height > 0)) throw ToolError(std::string(kNotOnScreenText));
    streamSize_ = streamPixelSize(size, pixelScale_);

    auto frames = std::make_shared<platform::LatestFrame>(frameClock_);
    const auto generation = streamGeneration_ + 1;
    auto events = std::make_shared<StreamEvents>(main_, self_, generation);
    // The sink holds the frame holder for as long as the stream may deliver.
    auto sink = [frames](const platform::FrameSample& sample) { frames->store(sample); };
    auto stream = capture_.makeStream(window.id, platform::streamConfiguration(streamSize_.width, streamSize_.height),
                                      events, std::move(sink));
    stream_ = stream;
    frames_ = std::move(frames);
    streamEvents_ = std::move(events);
    streamGeneration_ = generation;

    const auto until = main_.now() + (grant == platform::ShareGrant::fiveMinutes ? Clock::duration(kKeptGrant)
                                                                                  : Clock::duration(kSingleUseGrant));
    sharing_.set(Sharing{window, until, grant, std::move(client)});
    given_ = 0;

    auto start = [stream](Completion done) { stream->start(std::move(done)); };
    const auto error = co_await awaitCompletion(std::move(start));
    if (error) {
        if (stream_ == stream) {
            endStream();
            deactivatePicker();
        }
        throw std::system_error(error);
    }
    // Stopped or replaced while the capture started: whoever did it has ended this stream.
    if (stream_ != stream) throw ToolError(std::string(kNotOnScreenText));
    armExpiry(until);
}

bool WindowShare::hasStandingShare(const std::string& client) const {
    const auto& share = sharing_.get();
    return share && share->grant == platform::ShareGrant::fiveMinutes && share->client == client && share->until > main_.now();
}

void WindowShare::endStream() {
    if (expiry_) {
        expiry_->cancel();
        expiry_.reset();
    }
    if (auto stream = std::exchange(stream_, nullptr)) {
        // The completion keeps the stream until its stop is done, so that its last owner lets
        // go of it on the stream's own thread and the main thread never waits for it.
        stream->stop([stream](std::error_code) {});
    }
    frames_.reset();
    streamEvents_.reset();
    sharing_.set(std::nullopt);
}

void WindowShare::stop() {
    stoppedByUser_ = main_.now();
    endStream();
    deactivatePicker();
    pictured_.reset();
    pointer_.clear();
    status_.message().set(std::nullopt);
    status_.reset();
}

void WindowShare::deactivatePicker() { picker_.setActive(false); }

void WindowShare::armExpiry(Clock::time_point until) {
    if (expiry_) expiry_->cancel();
    expiry_ = main_.after(until - main_.now(), guarded([](WindowShare& share) {
        share.expiry_.reset();
        share.endStream();
        share.deactivatePicker();
    }));
}

void WindowShare::streamEnded(std::uint64_t generation, bool byUser) {
    if (!stream_ || generation != streamGeneration_) return;
    if (byUser) {
        stop();
        return;
    }
    endStream();
    deactivatePicker();
}

bool WindowShare::granted() const {
    const auto& share = sharing_.get();
    return share && share->until > main_.now();
}

platform::Task<std::error_code> WindowShare::awaitCompletion(std::function<void(Completion)> begin) {
    platform::OneShot<std::error_code> outcome(main_);
    auto done = [&main = main_, outcome](std::error_code error) {
        main.post([outcome, error]() mutable { outcome.resolve(error); });
    };
    begin(std::move(done));
    co_return co_await outcome;
}

std::function<void()> WindowShare::guarded(std::function<void(WindowShare&)> fn) const {
    return [weak = std::weak_ptr<WindowShare*>(self_), fn = std::move(fn)] {
        if (const auto self = weak.lock()) fn(**self);
    };
}

}  // namespace app
