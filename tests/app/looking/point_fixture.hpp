#pragma once

#include "tests/app/looking/window_share_fixture.hpp"

#include "app/looking/looking.hpp"
#include "app/looking/request_panel.hpp"

#include "platform/fake/fake_activation.hpp"
#include "platform/fake/fake_request_panels.hpp"

#include <chrono>
#include <memory>

namespace app::test {

// PointTest: the look and point flows over the window share's fakes, with the request panel
// and the user's clicks played by the test.
class PointTest : public WindowShareTest {
protected:
    void TearDown() override {
        // A request still open is declined, and rings still shown go, so that their tasks end.
        for (const auto& record : panels.records()) platform::FakeRequestPanels::pressClose(*record);
        pointer.clear();
        main.runUntilIdle();
        WindowShareTest::TearDown();
    }

    // takePicture: shares the test window (for grant) and takes its first
    // picture, 800 × 500 pixels of the window's 800 × 500 points; a single-use capture then
    // ends, as after "Share Once".
    void takePicture(platform::ShareGrant grant, const std::string& client = "Claude") {
        startShare(grant, client);
        stream().emit(platform::FrameStatus::started, platform::solidImage(800, 500));
        auto picture = run(share.picture());
        main.runUntilIdle();
        ASSERT_TRUE(picture->value) << picture->errorText();
        if (grant == platform::ShareGrant::once) share.endStream();
    }

    // deliver: the capture's frames, every 100 ms, until the task is done (20 s at most).
    template <class T>
    void deliver(const std::shared_ptr<Outcome<T>>& outcome) {
        for (int step = 0; !outcome->done && step < 200; ++step) {
            main.advance(std::chrono::milliseconds(100));
            if (capture.last() && capture.last()->stops() == 0) stream().emit(platform::FrameStatus::idle);
        }
    }

    // clickRing: the user clicks ring number index (from 0) and lets the click settle.
    void clickRing(std::size_t index) {
        desktop.click(pointer.shown().at(index)->point);
        main.advance(std::chrono::milliseconds(500));
    }

    platform::FakeRequestPanels panels;
    RequestPanel requests{panels, main};
    platform::FakeActivation activation{windowList};
    Looking looking{share, requests, Looking::Guidance{main, windowList, activation, pointer, status, kOwnPID}};
};

}  // namespace app::test
