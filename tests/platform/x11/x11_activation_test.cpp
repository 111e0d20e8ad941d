#include "platform/x11/x11_activation.hpp"

#include "tests/support/x11/x_session.hpp"

#include "platform/x11/x11_window_system.hpp"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

using test_support::eventually;
using test_support::TestWindow;

class X11ActivationTest : public test_support::XTest {
protected:
    void SetUp() override {
        XTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        windows_.emplace(session().display);
        activation_.emplace(session().display);
    }

    // inFront: no other window covers the point of the window (docks and panels aside).
    bool inFront(WindowID id, Point point = kOverlap) { return !isCoveredAt(*windows_, id, 0, point); }

    // Where the two windows of a test overlap.
    static constexpr Point kOverlap{300, 250};

    // isActive: the window manager names the window as the active one.
    bool isActive(WindowID id) {
        const auto active = session().run({"xdotool", "getactivewindow"});
        return active.exitCode == 0 && active.output.find_first_of("0123456789") == 0 &&
               std::stoul(active.output) == id;
    }

    std::optional<X11WindowSystem> windows_;
    std::optional<X11Activation> activation_;
};

TEST_F(X11ActivationTest, ACoveredWindowComesToTheFrontWithTheFocus) {
    const TestWindow lower(session(), {.title = "Lower", .bounds = {200, 150, 320, 240}});
    const TestWindow upper(session(), {.title = "Upper", .bounds = {260, 200, 320, 240}});
    ASSERT_TRUE(eventually([&] { return !inFront(lower.id()); })) << "the later window lies over the first";

    activation_->activateWindow(lower.id());
    EXPECT_TRUE(eventually([&] { return inFront(lower.id()); }));
    EXPECT_TRUE(eventually([&] { return isActive(lower.id()); }));
}

TEST_F(X11ActivationTest, AMinimizedWindowStaysMinimized) {
    const TestWindow minimized(session(), {.title = "Minimized", .bounds = {200, 150, 320, 240}});
    const TestWindow other(session(), {.title = "Other", .bounds = {600, 150, 320, 240}});
    session().runChecked({"xdotool", "windowminimize", "--sync", minimized.idText()});
    const auto onScreen = [&] { return windows_->window(minimized.id()).value().onScreen; };
    ASSERT_TRUE(eventually([&] { return !onScreen(); }));

    activation_->activateWindow(minimized.id());
    // The window manager handles requests in order: once the later one is done, so is any
    // restoring the first would have caused.
    activation_->activateWindow(other.id());
    ASSERT_TRUE(eventually([&] { return isActive(other.id()); }));
    EXPECT_FALSE(onScreen());
}

TEST_F(X11ActivationTest, AWindowThatIsGoneIsLeftAlone) {
    TestWindow window(session(), {.bounds = {200, 150, 320, 240}});
    const auto id = window.id();
    window.kill();
    activation_->activateWindow(id);
    activation_->activateWindow(0x7fffff0);
    // The connection still answers: nothing of the failed requests broke it.
    const TestWindow other(session(), {.bounds = {200, 150, 320, 240}});
    const TestWindow cover(session(), {.bounds = {260, 200, 320, 240}});
    ASSERT_TRUE(eventually([&] { return !inFront(other.id()); }));
    activation_->activateWindow(other.id());
    EXPECT_TRUE(eventually([&] { return inFront(other.id()); }));
}

}  // namespace
}  // namespace platform
