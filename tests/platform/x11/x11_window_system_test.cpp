#include "platform/x11/x11_window_system.hpp"

#include "tests/support/x11/x_session.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>
#include <string_view>

namespace platform {
namespace {

using test_support::eventually;
using test_support::TestWindow;
using test_support::TestWindowOptions;

class X11WindowSystemTest : public test_support::XTest {
protected:
    void SetUp() override {
        XTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        windows_.emplace(session().display);
    }

    // xwininfoBounds: the window's absolute position and size as xwininfo reports them.
    Rect xwininfoBounds(const TestWindow& window) {
        const auto output = session().runChecked({"xwininfo", "-id", window.idText()});
        const auto field = [&](std::string_view name) {
            std::smatch match;
            const std::regex pattern(std::string(name) + R"(:\s+(-?\d+))");
            EXPECT_TRUE(std::regex_search(output, match, pattern)) << name << " in " << output;
            return match.empty() ? -1.0 : std::stod(match[1]);
        };
        return Rect{field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                    field("Height")};
    }

    bool onScreen(WindowID id) {
        const auto entry = windows_->window(id);
        return entry && entry->onScreen;
    }

    std::optional<X11WindowSystem> windows_;
};

TEST_F(X11WindowSystemTest, BoundsAreTheClientAreaAsXwininfoReportsIt) {
    const TestWindow window(session(), {.bounds = {200, 150, 320, 240}});
    const auto entry = windows_->window(window.id());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->bounds, xwininfoBounds(window));
    EXPECT_EQ(entry->bounds->width, 320);
    EXPECT_EQ(entry->bounds->height, 240);
    EXPECT_TRUE(entry->onScreen);
    EXPECT_EQ(entry->layer, 0);
    EXPECT_EQ(entry->ownerPID, window.pid());
}

TEST_F(X11WindowSystemTest, MinimizedWindowIsOffScreenButKeepsItsBounds) {
    const TestWindow window(session(), {.bounds = {200, 150, 320, 240}});
    const auto before = windowBounds(*windows_, window.id(), true);
    ASSERT_TRUE(before);

    session().runChecked({"xdotool", "windowminimize", window.idText()});
    ASSERT_TRUE(eventually([&] { return !onScreen(window.id()); }));
    EXPECT_FALSE(windowBounds(*windows_, window.id(), true));
    EXPECT_EQ(windowBounds(*windows_, window.id(), false), before);

    session().runChecked({"xdotool", "windowactivate", window.idText()});
    EXPECT_TRUE(eventually([&] { return onScreen(window.id()); }));
}

TEST_F(X11WindowSystemTest, WindowOnAnotherDesktopIsOffScreen) {
    const TestWindow window(session(), {.bounds = {200, 150, 320, 240}});
    session().runChecked({"xdotool", "set_desktop_for_window", window.idText(), "1"});
    EXPECT_TRUE(eventually([&] { return !onScreen(window.id()); }));
    EXPECT_TRUE(windowBounds(*windows_, window.id(), false));
}

TEST_F(X11WindowSystemTest, DestroyedWindowIsGone) {
    TestWindow window(session(), {.bounds = {200, 150, 320, 240}});
    window.kill();
    ASSERT_TRUE(eventually([&] { return !windows_->window(window.id()); }));
    EXPECT_FALSE(windowBounds(*windows_, window.id(), false));
    EXPECT_FALSE(windows_->windowsAbove(window.id())) << "no list above a window that is gone";
}

TEST_F(X11WindowSystemTest, WindowMovedOverCoversExactlyTheOverlap) {
    const TestWindow below(session(), {.bounds = {100, 100, 400, 300}, .undecorated = true});
    const TestWindow over(session(), {.title = "Over", .bounds = {700, 100, 200, 150},
                                      .color = 0x33CC66, .undecorated = true});
    const auto own = getpid();
    EXPECT_FALSE(isCoveredAt(*windows_, below.id(), own, {300, 250})) << "before the move";

    session().runChecked({"xdotool", "windowmove", over.idText(), "250", "200"});
    const Rect moved{250, 200, 200, 150};
    ASSERT_TRUE(eventually([&] { return windowBounds(*windows_, over.id(), true) == moved; }));

    const auto above = windows_->windowsAbove(below.id());
    ASSERT_TRUE(above);
    const auto entry = std::find_if(above->begin(), above->end(),
                                    [&](const WindowEntry& e) { return e.id == over.id(); });
    ASSERT_NE(entry, above->end());
    EXPECT_EQ(entry->bounds, moved) << "undecorated and borderless: the frame is the content";
    EXPECT_EQ(entry->layer, 0);
    EXPECT_EQ(entry->ownerPID, over.pid());

    const struct {
        std::string_view name;
        Point point;
        bool covered;
    } kCases[] = {
        {"top-left corner", {250, 200}, true},
        {"left edge", {250, 300}, true},
        {"top edge", {300, 200}, true},
        {"last pixel inside", {449, 349}, true},
        {"right edge", {450, 300}, false},
        {"bottom edge", {300, 350}, false},
        {"left of it", {249, 300}, false},
        {"above it", {300, 199}, false},
        {"elsewhere in the window below", {120, 120}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isCoveredAt(*windows_, below.id(), own, c.point), c.covered);
    }
    EXPECT_FALSE(isCoveredAt(*windows_, below.id(), over.pid(), {300, 250}))
        << "a window of the asking program never covers";
    EXPECT_FALSE(isCoveredAt(*windows_, over.id(), own, {300, 250})) << "nothing is over the top one";
}

TEST_F(X11WindowSystemTest, OnlyOrdinaryVisibleWindowsCover) {
    const TestWindow below(session(), {.bounds = {100, 100, 400, 300}, .undecorated = true});
    const struct {
        std::string_view name;
        TestWindowOptions options;
        bool covers;
    } kCases[] = {
        {"opaque", {}, true},
        {"opacity 0.1", {.opacity = 0x19999999}, false},
        {"opacity 0.11", {.opacity = 0x1C28F5C2}, true},
        {"opacity 0", {.opacity = 0}, false},
        {"dialog", {.type = "dialog"}, true},
        {"utility", {.type = "utility"}, true},
        {"dock", {.type = "dock"}, false},
        {"kept above", {.above = true}, false},
        {"override-redirect", {.overrideRedirect = true}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto options = c.options;
        options.bounds = {200, 150, 100, 100};
        options.undecorated = true;
        const TestWindow over(session(), options);
        EXPECT_EQ(isCoveredAt(*windows_, below.id(), getpid(), {250, 200}), c.covers);
    }
}

}  // namespace
}  // namespace platform
