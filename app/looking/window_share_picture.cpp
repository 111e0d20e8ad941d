// The pictures of the shared window: bringing the capture up to date with the window, finding
// a usable frame, and the wait for a still picture.

#include "app/looking/window_share.hpp"

#include "app/common/tool_error.hpp"

#include "platform/sleep.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace app {

namespace {

using namespace std::chrono_literals;

constexpr auto kCheckInterval = 100ms;
// The frame search makes at most this many checks, kCheckInterval apart.
constexpr int kFrameChecks = 40;
// From this check on, a blank, suspended or stopped stream ends the search.
constexpr int kStatusCountsFromCheck = 5;
// From this check on, a frame of any size is taken.
constexpr int kAnySizeFromCheck = 15;
// A frame may differ from the stream's size by this many pixels (the window's border may
// round differently).
constexpr int kSizeTolerance = 2;
// A frame reported longer ago than this is stale: the stream has stopped delivering.
constexpr auto kFreshFrame = 1500ms;
// A window whose size changed by more than this many points gets its capture set up anew.
constexpr double kResizeTolerance = 1;

constexpr auto kStillAfterChange = 1s;
constexpr auto kStillWithoutChange = 1200ms;
constexpr auto kLongestStillWait = 4s;

bool showsImage(platform::FrameStatus status) {
    return status == platform::FrameStatus::complete || status == platform::FrameStatus::idle ||
           status == platform::FrameStatus::started;
}

bool showsNothing(platform::FrameStatus status) {
    return status == platform::FrameStatus::blank || status == platform::FrameStatus::suspended ||
           status == platform::FrameStatus::stopped;
}

}  // namespace

platform::Task<WindowShare::Picture> WindowShare::picture(std::stop_token stop) {
    const auto stream = stream_;
    const auto frames = frames_;
    std::optional<platform::Rect> bounds;
    if (stream && frames && granted()) {
        bounds = platform::windowBounds(windows_, sharing_.get()->window.id, /*onScreenOnly=*/false);
    }
    if (!bounds) {
        endStream();
        deactivatePicker();
        throw ToolError(std::string(kNoWindowSharedText));
    }

    const double scale = backingScale(*bounds).value_or(pixelScale_);
    if (std::abs(bounds->width - windowSize_.width) > kResizeTolerance ||
        std::abs(bounds->height - windowSize_.height) > kResizeTolerance || scale != pixelScale_) {
        windowSize_ = {bounds->width, bounds->height};
        pixelScale_ = scale;
        streamSize_ = streamPixelSize(windowSize_, scale);
        const auto configuration = platform::streamConfiguration(streamSize_.width, streamSize_.height);
        auto update = [stream, configuration](Completion done) {
            stream->updateConfiguration(configuration, std::move(done));
        };
        const auto error = co_await awaitCompletion(std::move(update));
        if (error) throw std::system_error(error);
        // No image of the old size may be used.
        frames->clearBuffer();
    }

    const auto frame = co_await findFrame(*frames, stop);
    if (stream_ != stream || !granted()) throw ToolError(std::string(kNoLongerSharedText));
    if (!frame) throw ToolError(std::string(kNotOnScreenText));

    auto encoded = encodePicture(codec_, *frame);
    if (!encoded) throw ToolError(std::string(kPictureFailedText));
    const auto window = sharing_.get()->window;
    const auto size = encoded->size;
    pictured_ = Pictured{window, main_.now(), size.width / std::max(1.0, windowSize_.width), size};
    ++given_;
    co_return Picture{std::move(encoded->data), std::move(encoded->mimeType), size.width, size.height,
                      window, given_ == 1};
}

platform::Task<std::optional<platform::FrameImage>> WindowShare::findFrame(const platform::LatestFrame& frames,
                                                                          std::stop_token stop) {
    for (int check = 0; check < kFrameChecks; ++check) {
        const auto state = frames.state();
        if (state.status && showsImage(*state.status) && main_.now() - state.reported < kFreshFrame &&
            state.buffer) {
            const bool rightSize = std::abs(state.buffer->width - streamSize_.width) <= kSizeTolerance &&
                                   std::abs(state.buffer->height - streamSize_.height) <= kSizeTolerance;
            if (rightSize || check >= kAnySizeFromCheck) co_return state.buffer;
        } else if (check >= kStatusCountsFromCheck && state.status && showsNothing(*state.status)) {
            co_return std::nullopt;
        }
        co_await platform::sleep(main_, kCheckInterval, stop);
    }
    co_return std::nullopt;
}

platform::Task<void> WindowShare::waitForStillPicture() {
    const auto start = main_.now();
    for (;;) {
        co_await platform::sleep(main_, kCheckInterval);
        const auto now = main_.now();
        const auto frames = frames_;
        if (!frames || now - start >= kLongestStillWait) co_return;
        const auto lastChange = frames->lastChange();
        if (lastChange && *lastChange > start) {
            if (now - *lastChange >= kStillAfterChange) co_return;
        } else if (now - start >= kStillWithoutChange) {
            co_return;
        }
    }
}

std::optional<double> WindowShare::backingScale(const platform::Rect& bounds) {
    const auto screens = screens_.screens();
    const platform::Point centre{bounds.x + bounds.width / 2, bounds.y + bounds.height / 2};
    const auto* screen = platform::screenContaining(screens, centre);
    if (!screen) return std::nullopt;
    return screen->scale;
}

}  // namespace app
