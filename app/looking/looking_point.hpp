#pragma once

#include "app/looking/guide_status.hpp"
#include "app/looking/pointer.hpp"
#include "app/looking/window_share.hpp"

#include "platform/activation.hpp"
#include "platform/scheduler.hpp"
#include "platform/window_system.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The point flow's own types and texts; the flow itself is Looking::point (app/looking.hpp).
namespace app {

// PointSpot (Looking::Spot): one spot to point at, in the pixels of the last picture, counted
// from its top-left corner.
struct PointSpot {
    double x = 0;
    double y = 0;
    // label: the short caption next to the ring.
    std::optional<std::string> label;
    // text: what the user must enter, shown with a Copy button.
    std::optional<std::string> text;

    friend bool operator==(const PointSpot&, const PointSpot&) = default;
};

// Pointed (Looking::Pointed): what became of one point call.
struct Pointed {
    // note: the warning that another window seems to cover the first spot.
    std::optional<std::string> note;
    // done: absent when the call didn't wait; else whether the user did every ring in time.
    std::optional<bool> done;
    // stopped: the user stopped sharing while the call waited.
    bool stopped = false;
    // picture: a fresh picture taken after the user finished, while a five-minute share runs.
    std::optional<WindowShare::Picture> picture;
};

// PointGuidance: what the point flow works with besides the window share. The references must
// outlive the Looking that holds them.
struct PointGuidance {
    platform::Scheduler& main;
    platform::WindowSystem& windows;
    platform::Activation& activation;
    Pointer& pointer;
    GuideStatus& status;
    // ownPID: this program's process, whose windows never count as covering a spot.
    int ownPID = 0;
};

// How long a picture serves for pointing after it was taken.
inline constexpr auto kPictureLifetime = std::chrono::seconds(600);
// The covered check of the first spot: at most this many looks, this far apart.
inline constexpr int kCoveredChecks = 12;
inline constexpr auto kCoveredCheckInterval = std::chrono::milliseconds(100);
// How long a point call waits for the user's clicks.
inline constexpr auto kPointWaitLimit = std::chrono::seconds(120);

// The texts the agent receives when a point call can't be done.
inline constexpr std::string_view kNoPictureText = "There's no picture to point at. Call look first.";
inline constexpr std::string_view kNoSpotsText = "Missing x and y";
inline constexpr std::string_view kPointOffScreenText =
    "The window isn't on screen: it's closed, minimized or on another desktop. Ask the user to bring it "
    "back, then call point again.";

// Try It: the user's own test, a request without a client and one ring in the picture's middle.
inline constexpr std::string_view kTryItTitle = "Try it: show a window";
inline constexpr std::string_view kTryItReason = "This is a test. Pick any window; its picture is thrown away.";
inline constexpr std::string_view kTryItLabel = "Your AI can point here";

// outsideText: the text for a spot that lies outside a picture of the given size. The
// coordinates are written as whole numbers, cut toward zero ("12.9" reads "12", "-0.5" reads
// "0"); a coordinate beyond the 64-bit range is written in full, without an exponent.
std::string outsideText(const PointSpot& spot, PixelSize size);

// coveredNote: the note for a first spot that another window seems to cover, naming the window
// by its title, or by its app's name when the title is empty.
std::string coveredNote(const WindowShare::Window& window);

// screenPointOf: where a pixel of a picture lies on screen now: the pictured window's bounds
// (on screen only) plus the pixel divided by the picture's scale; none while the window isn't
// on screen.
std::optional<platform::Point> screenPointOf(platform::WindowSystem& windows, platform::Point pixel,
                                             const WindowShare::Pictured& pictured);

}  // namespace app
