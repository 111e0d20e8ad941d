#pragma once

#include "app/looking/guide_status.hpp"
#include "app/looking/picture_encoding.hpp"
#include "app/looking/pointer.hpp"

#include "platform/capture_stream.hpp"
#include "platform/image_codec.hpp"
#include "platform/latest_frame.hpp"
#include "platform/observed.hpp"
#include "platform/one_shot.hpp"
#include "platform/scheduler.hpp"
#include "platform/screens.hpp"
#include "platform/share_grant.hpp"
#include "platform/task.hpp"
#include "platform/window_picker.hpp"
#include "platform/window_system.hpp"
#include "platform/windows.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace app {

// streamPixelSize: the pixel size of a stream for a window of the given size in points at
// scale pixels per point: each side rounded to the nearest whole pixel (halves away from zero)
// and at least 2.
PixelSize streamPixelSize(platform::Size points, double scale);

// WindowShare: the program's one window-sharing object. It brings up the window picker and
// hands back what the user did there; it captures exactly one window at a time; it keeps the
// grant that says until when, and for which client, that window stays shared (30 seconds for
// one picture, five minutes when the user chose so); it ends the capture when the grant runs
// out, when the user stops sharing or when the stream ends by itself; and it makes the
// pictures of the shared window that the agent receives.
//
// A share is present in sharing() from the moment its capture stream is made until it ends;
// the tray's panel and label follow it. Everything else is plain state.
//
// Main thread only. Keeps references to every service it is given, which must outlive it; it
// registers with the picker once and for its whole life.
class WindowShare {
public:
    using Clock = platform::Scheduler::Clock;

    // How long the user has to choose a window in the picker.
    static constexpr auto kPickLimit = std::chrono::seconds(180);
    // How long a window stays shared for one picture ("Share Once").
    static constexpr auto kSingleUseGrant = std::chrono::seconds(30);
    // How long a window stays shared when the user keeps it shared ("Share for 5 Minutes").
    static constexpr auto kKeptGrant = std::chrono::seconds(300);

    // The texts the agent receives when sharing or a picture fails.
    static constexpr std::string_view kSingleWindowsText =
        "Vantor MCP shows single windows; choose a window in the picker.";
    static constexpr std::string_view kNotOnScreenText =
        "The window isn't on screen: it's closed, minimized or on another desktop. Ask the user "
        "to bring it back, then call look again.";
    static constexpr std::string_view kNoWindowSharedText = "No window is shared.";
    static constexpr std::string_view kNoLongerSharedText = "The window is no longer shared.";
    static constexpr std::string_view kPictureFailedText = "The picture of the window couldn't be made.";

    // Window: the shared window as it was when it was picked.
    struct Window {
        platform::WindowID id = 0;
        // pid: the owning process; 0 when unknown.
        int pid = 0;
        // app: the application's name; its process name, then the title, when it gives none.
        std::string app;
        std::string title;

        friend bool operator==(const Window&, const Window&) = default;
    };

    // Sharing: the record of the running share.
    struct Sharing {
        Window window;
        // until: when the grant ends.
        Clock::time_point until;
        // grant: a single-use or a five-minute grant.
        platform::ShareGrant grant = platform::ShareGrant::once;
        // client: the display name of the client that asked; "" when none.
        std::string client;

        friend bool operator==(const Sharing&, const Sharing&) = default;
    };

    // Pick: what became of a pick.
    struct Pick {
        enum class Outcome { window, cancelled, timedOut, failed };

        Outcome outcome = Outcome::cancelled;
        // picked: what the user chose; present exactly for Outcome::window.
        std::optional<platform::PickedContent> picked;

        static Pick chosen(platform::PickedContent content) { return {Outcome::window, std::move(content)}; }
        static Pick ended(Outcome outcome) { return {outcome, std::nullopt}; }
    };

    // Picture: what a look returns.
    struct Picture {
        std::vector<std::uint8_t> data;
        std::string mimeType;  // "image/png" or "image/jpeg"
        int width = 0;
        int height = 0;
        Window window;
        // titleIsCurrent: the first picture since the window was shared, whose title was read
        // at that moment; false for every later one.
        bool titleIsCurrent = false;
    };

    // Pictured: the record of the last picture, with which spots in it are mapped back onto
    // the live window.
    struct Pictured {
        Window window;
        Clock::time_point at;
        // scale: picture pixels per window point.
        double scale = 1;
        PixelSize size;

        friend bool operator==(const Pictured&, const Pictured&) = default;
    };

    // Services: what the share works with.
    struct Services {
        platform::Scheduler& main;
        platform::WindowPicker& picker;
        platform::CaptureFactory& capture;
        platform::WindowSystem& windows;
        platform::Screens& screens;
        platform::ImageCodec& codec;
        // pointer and status: cleared and reset when the user stops sharing.
        Pointer& pointer;
        GuideStatus& status;
        // ownPID: this program's process, whose windows the picker never offers.
        int ownPID = 0;
        // frameClock: the clock the frames' arrival is measured on; the one main.now() follows.
        platform::LatestFrame::Now frameClock = platform::LatestFrame::Clock::now;
    };

    explicit WindowShare(Services services);
    ~WindowShare();
    WindowShare(const WindowShare&) = delete;
    WindowShare& operator=(const WindowShare&) = delete;

    // sharing: the running share, for reading and subscribing; it changes only through the
    // operations below.
    platform::Observed<std::optional<Sharing>>& sharing() { return sharing_; }
    const platform::Observed<std::optional<Sharing>>& sharing() const { return sharing_; }
    // stoppedByUser: when the user last stopped sharing; never cleared.
    std::optional<Clock::time_point> stoppedByUser() const { return stoppedByUser_; }
    // pictured: the record of the last picture, until the next picture, stop() or
    // forgetPicture().
    const std::optional<Pictured>& pictured() const { return pictured_; }
    // forgetPicture: drops the record of the last picture (the agent finished).
    void forgetPicture() { pictured_.reset(); }
    // given: the pictures made since the window was shared.
    int given() const { return given_; }

    // pick: shows the picker, set up for single windows of other programs, and waits for what
    // the user does there: the chosen window, a cancel, the picker's failure, or kPickLimit
    // passing without a choice. A later pick ends this one as cancelled. The picker is made
    // inactive when the pick ends, unless a later pick has taken it over.
    platform::Task<Pick> pick();

    // finishPick: ends the pick in progress with outcome, and its time limit. An outcome that
    // comes while no pick waits is dropped, together with what it carries.
    void finishPick(Pick outcome);

    // share: captures the window of picked, for kKeptGrant when grant is five minutes and
    // kSingleUseGrant otherwise, on behalf of client ("" when none); an earlier share ends
    // first. Returns once the capture runs. Throws ToolError with kSingleWindowsText when
    // picked holds no window, with kNotOnScreenText when the window has no size or is gone, or
    // when the share was stopped or replaced while the capture started; throws the capture's
    // std::system_error when it can't be made or started (the share then ends, and the picker
    // is made inactive).
    platform::Task<void> share(platform::PickedContent picked, platform::ShareGrant grant, std::string client);

    // hasStandingShare: whether a five-minute share of client (exactly that name) is running
    // and its grant hasn't run out. A single-use share never counts.
    bool hasStandingShare(const std::string& client) const;

    // endStream: ends the capture and the share record at once (the capture's own stop
    // completes later, unawaited). The last picture, the picker and a waiting pick stay.
    void endStream();

    // stop: the user's "Stop Sharing": ends the share for good, makes the picker inactive,
    // forgets the last picture, removes every ring and resets the status box.
    void stop();

    // deactivatePicker: makes the picker inactive; whoever ends sharing for good calls it.
    void deactivatePicker();

    // picture: a picture of the shared window, from the capture's newest frame, at most
    // kPictureLongestSide on its longest side, as PNG or, when that is too large, as JPEG.
    // When the window changed its size or moved to a screen of another scale, the capture is
    // first set up anew and only a frame of the new size is taken. Waits up to about 4 s for
    // a usable frame. Throws ToolError with kNoWindowSharedText (no share, its grant ran out,
    // or the window is gone; the share then ends), kNoLongerSharedText (the share ended or was
    // replaced meanwhile), kNotOnScreenText (no usable frame) or kPictureFailedText; the
    // capture's std::system_error when it can't be set up anew; platform::Cancelled when stop
    // is triggered while it waits.
    platform::Task<Picture> picture(std::stop_token stop = {});

    // waitForStillPicture: returns once the window's picture has stopped changing (1 s after
    // its last change, or 1.2 s when it didn't change), after at most about 4 s, or after
    // the first 0.1 s when nothing is captured. Never fails.
    platform::Task<void> waitForStillPicture();

    // The capture's geometry, as last set up.
    PixelSize streamSize() const { return streamSize_; }
    platform::Size windowSize() const { return windowSize_; }
    double pixelScale() const { return pixelScale_; }

private:
    class PickerEvents;
    class StreamEvents;
    using Completion = platform::CaptureStream::Completion;

    void presentPicker(platform::OneShot<Pick> waiter);
    void armExpiry(Clock::time_point until);
    void streamEnded(std::uint64_t generation, bool byUser);
    bool granted() const;
    std::optional<double> backingScale(const platform::Rect& bounds);
    platform::Task<std::optional<platform::FrameImage>> findFrame(const platform::LatestFrame& frames,
                                                                 std::stop_token stop);
    // awaitCompletion: starts an operation of the capture stream and waits on the main thread
    // for its completion, which may come on any thread.
    platform::Task<std::error_code> awaitCompletion(std::function<void(Completion)> begin);
    // guarded: fn, run only while this object lives.
    std::function<void()> guarded(std::function<void(WindowShare&)> fn) const;

    platform::Scheduler& main_;
    platform::WindowPicker& picker_;
    platform::CaptureFactory& capture_;
    platform::WindowSystem& windows_;
    platform::Screens& screens_;
    platform::ImageCodec& codec_;
    Pointer& pointer_;
    GuideStatus& status_;
    const int ownPID_;
    const platform::LatestFrame::Now frameClock_;

    platform::Observed<std::optional<Sharing>> sharing_;
    std::optional<Clock::time_point> stoppedByUser_;
    std::optional<Pictured> pictured_;
    int given_ = 0;

    std::shared_ptr<platform::CaptureStream> stream_;
    std::shared_ptr<platform::LatestFrame> frames_;
    std::shared_ptr<StreamEvents> streamEvents_;
    // Every stream gets a new generation; an event of an older one is ignored.
    std::uint64_t streamGeneration_ = 0;
    PixelSize streamSize_;
    platform::Size windowSize_;
    double pixelScale_ = 2;

    std::optional<platform::OneShot<Pick>> picking_;
    std::shared_ptr<platform::TimerHandle> pickLimit_;
    std::shared_ptr<platform::TimerHandle> expiry_;

    // Work that outlives a call (posted callbacks, timers) holds this weakly.
    std::shared_ptr<WindowShare*> self_;
    std::shared_ptr<PickerEvents> pickerEvents_;
};

}  // namespace app
