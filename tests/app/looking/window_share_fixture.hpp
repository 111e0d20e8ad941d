#pragma once

#include "app/looking/guide_status.hpp"
#include "app/looking/pointer.hpp"
#include "app/looking/window_share.hpp"

#include "platform/fake/fake_capture.hpp"
#include "platform/fake/fake_desktop.hpp"
#include "platform/fake/fake_image_codec.hpp"
#include "platform/fake/fake_picker.hpp"
#include "platform/fake/fake_window_system.hpp"
#include "platform/fake/fake_windows.hpp"
#include "platform/fake/virtual_scheduler.hpp"
#include "platform/task.hpp"
#include "tests/support/outcome.hpp"

#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace app::test {

using test_support::Outcome;

// run: starts the task at once; its outcome lands in the returned slot when it ends.
template <class T>
std::shared_ptr<Outcome<T>> run(platform::Task<T> task) {
    auto outcome = std::make_shared<Outcome<T>>();
    if constexpr (std::is_void_v<T>) {
        platform::spawn(std::move(task), [outcome](std::exception_ptr error) {
            outcome->done = true;
            outcome->error = error;
            if (!error) outcome->value.emplace();
        });
    } else {
        platform::spawn(std::move(task), [outcome](std::exception_ptr error, std::optional<T> value) {
            outcome->done = true;
            outcome->error = error;
            outcome->value = std::move(value);
        });
    }
    return outcome;
}

// The window the tests share: 800 × 500 points at (100, 80) on the fake desktop's one screen.
inline constexpr platform::WindowID kWindowID = 0x1200007;
inline constexpr platform::Rect kWindowBounds{100, 80, 800, 500};
inline constexpr int kOwnPID = 4242;

// WindowShareTest: a window share over fakes in virtual time: the picker, the capture, the
// window list, the screens and the codec are the test's to script.
class WindowShareTest : public testing::Test {
protected:
    WindowShareTest() {
        windowList.put(platform::WindowEntry{.id = kWindowID, .bounds = kWindowBounds, .onScreen = true,
                                             .layer = 0, .ownerPID = 777});
        desktop.setScreens({platform::Screen{{0, 0, 1600, 1000}, {0, 0, 1600, 976}, 1}});
    }

    // content: what the picker gives for the test window.
    static platform::PickedContent content(platform::Rect rect = kWindowBounds, double scale = 1) {
        return platform::PickedContent{
            .includedWindows = {platform::PickedWindow{kWindowID, 777, "Editor", "editor", "notes.txt"}},
            .contentRect = rect,
            .pointPixelScale = scale};
    }

    // startShare: shares the test window and lets the start complete.
    void startShare(platform::ShareGrant grant, const std::string& client = "Claude") {
        auto outcome = run(share.share(content(), grant, client));
        main.runUntilIdle();
        ASSERT_TRUE(outcome->done);
        ASSERT_FALSE(outcome->error) << outcome->errorText();
    }

    platform::FakeCaptureStream& stream() { return *capture.last(); }

    // Whatever a test did, stopping the share leaves nothing behind: no share, no timer, no
    // stream that wasn't stopped, no picker.
    void TearDown() override {
        share.stop();
        // A ring's fade-out is the one timer that ends by itself, shortly after.
        main.advance(Pointer::kFadeDuration);
        EXPECT_FALSE(share.sharing().get()) << "a share outlived stop()";
        EXPECT_FALSE(picker.active()) << "the picker outlived stop()";
        for (const auto& made : capture.streams()) EXPECT_GE(made->stops(), 1) << "a stream was never stopped";
        EXPECT_EQ(main.pendingTimers(), 0u) << "a timer outlived stop()";
    }

    platform::VirtualScheduler main;
    platform::FakePicker picker;
    platform::FakeCapture capture;
    platform::FakeWindowSystem windowList;
    platform::FakeDesktop desktop;
    platform::FakeWindows windows;
    platform::FakeClipboard clipboard;
    platform::FakeImageCodec codec;
    GuideStatus status{main};
    Pointer pointer{main, desktop, desktop, windows, clipboard, status};
    WindowShare share{WindowShare::Services{
        .main = main,
        .picker = picker,
        .capture = capture,
        .windows = windowList,
        .screens = desktop,
        .codec = codec,
        .pointer = pointer,
        .status = status,
        .ownPID = kOwnPID,
        .frameClock = [this] { return main.now(); },
    }};
};

}  // namespace app::test
