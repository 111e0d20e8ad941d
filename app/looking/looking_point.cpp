#include "app/looking/looking.hpp"

#include "app/common/tool_error.hpp"

#include "platform/sleep.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace app {

namespace {

// wholeNumberText: the number cut toward zero, without a decimal point or an exponent.
std::string wholeNumberText(double value) {
    const double whole = std::trunc(value);
    // Both bounds are exact doubles; the upper one is 2^63 itself, just out of range.
    if (whole >= -9223372036854775808.0 && whole < 9223372036854775808.0) {
        return std::to_string(static_cast<std::int64_t>(whole));
    }
    if (std::isnan(whole)) return "0";
    if (std::isinf(whole)) return whole < 0 ? "-inf" : "inf";
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", whole);
    return text;
}

}  // namespace

std::string outsideText(const PointSpot& spot, PixelSize size) {
    return "The spot " + wholeNumberText(spot.x) + ", " + wholeNumberText(spot.y) +
           " is outside the picture, which is " + std::to_string(size.width) + " \u00D7 " +
           std::to_string(size.height) + " pixels. x and y count from its top left corner.";
}

std::string coveredNote(const WindowShare::Window& window) {
    const auto& name = window.title.empty() ? window.app : window.title;
    return "Another window seems to lie over that spot, so the ring may be on the wrong window. If the user "
           "doesn't see it where you mean, ask them to click the window \"" +
           name + "\" to bring it to the front, then point again.";
}

std::optional<platform::Point> screenPointOf(platform::WindowSystem& windows, platform::Point pixel,
                                             const WindowShare::Pictured& pictured) {
    const auto bounds = platform::windowBounds(windows, pictured.window.id, true);
    if (!bounds) return std::nullopt;
    return platform::Point{bounds->x + pixel.x / pictured.scale, bounds->y + pixel.y / pictured.scale};
}

Looking::Looking(WindowShare& share, RequestPanel& panel, Guidance guidance)
    : share_(share), panel_(panel), guidance_(guidance) {}

const Looking::Guidance& Looking::guidance() const {
    if (!guidance_) throw std::logic_error("Looking: the point flow needs its guidance");
    return *guidance_;
}

platform::Task<Pointed> Looking::point(std::vector<Spot> spots, std::optional<std::string> message, bool wait,
                                       std::string client) {
    const auto& guide = guidance();
    // A copy: the rings follow the window of this picture even when a later look replaces it.
    const auto pictured = share_.pictured();
    if (!pictured || guide.main.now() - pictured->at >= kPictureLifetime) throw ToolError(std::string(kNoPictureText));
    if (spots.empty()) throw ToolError(std::string(kNoSpotsText));
    for (const auto& spot : spots) {
        // Written so that a NaN coordinate counts as outside too.
        const bool inside = spot.x >= 0 && spot.y >= 0 && spot.x <= pictured->size.width &&
                            spot.y <= pictured->size.height;
        if (!inside) throw ToolError(outsideText(spot, pictured->size));
    }

    guide.activation.activateWindow(pictured->window.id);
    auto placing = placementOf(spots.front(), *pictured);
    const auto placement = co_await std::move(placing);

    std::vector<Pointer::Mark> marks;
    marks.reserve(spots.size());
    for (std::size_t index = 0; index < spots.size(); ++index) {
        const auto& spot = spots[index];
        auto place = [&windows = guide.windows, pixel = platform::Point{spot.x, spot.y}, record = *pictured] {
            return screenPointOf(windows, pixel, record);
        };
        std::optional<int> number;
        if (spots.size() > 1) number = static_cast<int>(index) + 1;
        marks.push_back(Pointer::Mark{spot.label, spot.text, number, std::move(place)});
    }

    guide.status.client().set(client);
    guide.status.message().set(std::move(message));
    const bool shown = guide.pointer.show(std::move(marks));
    if (placement == Placement::offScreen || !shown) {
        // No ring may stay over a window the agent is told isn't there.
        if (shown) guide.pointer.clear();
        throw ToolError(std::string(kPointOffScreenText));
    }

    Pointed pointed;
    if (placement == Placement::covered) pointed.note = coveredNote(pictured->window);
    if (!wait) co_return pointed;

    const auto start = guide.main.now();
    pointed.done = co_await guide.pointer.handled(kPointWaitLimit);
    if (const auto stopped = share_.stoppedByUser(); stopped && *stopped > start) {
        pointed.stopped = true;
        co_return pointed;
    }
    if (!client.empty()) guide.status.start(client);
    // The rings went with the window: the agent hears why at once, not on its next call.
    if (guide.pointer.windowLeft()) throw ToolError(std::string(kPointOffScreenText));
    if (*pointed.done && share_.hasStandingShare(client)) {
        co_await share_.waitForStillPicture();
        if (share_.hasStandingShare(client)) {
            try {
                pointed.picture = co_await share_.picture();
            } catch (const std::exception&) {
                // The agent can look again; a failed extra picture is not its concern.
            }
        }
    }
    co_return pointed;
}

platform::Task<Looking::Placement> Looking::placementOf(Spot spot, WindowShare::Pictured pictured) {
    const auto& guide = guidance();
    auto state = Placement::offScreen;
    for (int check = 0; check < kCoveredChecks; ++check) {
        if (check > 0) co_await platform::sleep(guide.main, kCoveredCheckInterval);
        const auto point = screenPointOf(guide.windows, {spot.x, spot.y}, pictured);
        if (!point) {
            state = Placement::offScreen;
        } else if (platform::isCoveredAt(guide.windows, pictured.window.id, guide.ownPID, *point)) {
            state = Placement::covered;
        } else {
            co_return Placement::clear;
        }
    }
    co_return state;
}

platform::Task<bool> Looking::tryIt() {
    std::optional<WindowShare::Picture> picture;
    try {
        std::string title(kTryItTitle);
        std::string reason(kTryItReason);
        auto asking = request(std::move(title), std::move(reason), std::nullopt);
        picture = co_await std::move(asking);
    } catch (const std::exception&) {
        co_return false;
    }
    try {
        std::vector<Spot> spots{Spot{picture->width * 0.5, picture->height * 0.5, std::string(kTryItLabel), {}}};
        auto pointing = point(std::move(spots), std::nullopt, false, "");
        co_await std::move(pointing);
    } catch (const std::exception&) {
        // The ring is only a demonstration: whatever keeps it from showing, the test ran.
    }
    share_.forgetPicture();
    co_return true;
}

}  // namespace app
