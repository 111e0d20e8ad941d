#include "app/looking/pointer.hpp"

#include "tests/app/looking/x11_guidance.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <memory>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::Point;
using platform::Rect;
using test_support::rgb;
using test_support::TestWindow;

constexpr std::uint32_t kWindowColour = 0x3366CC;
constexpr Rect kWindowBounds{200, 150, 400, 300};

Point centre(const Rect& r) {
    return {r.x + r.width / 2, r.y + r.height / 2};
}

// redAround: how many pixels within 14 to 24 of the centre are the ring's red. The ring pulses,
// so its red band lies somewhere in that annulus.
int redAround(const platform::FrameImage& image, Point centreInImage) {
    int red = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const double d = std::hypot(x - centreInImage.x, y - centreInImage.y);
            if (d >= 14 && d <= 24 && isRingRed(rgb(image, x, y))) ++red;
        }
    }
    return red;
}

class PointerX11Test : public GuidanceX11Test {
protected:
    // showTwo: rings at (100, 80) and (300, 200) of the test window, the second with a text.
    void showTwo(const TestWindow& window) {
        ASSERT_TRUE(pointer->show({{"First", std::nullopt, 1, placeOn(window.id(), {100, 80})},
                                   {"Second", "report.pdf", 2, placeOn(window.id(), {300, 200})}}));
        ASSERT_TRUE(pumpUntil([&] { return windowsTitled("Vantor MCP Ring").size() == 2 &&
                                           windowsTitled("Vantor MCP Label").size() == 2; }));
        ASSERT_NO_FATAL_FAILURE(settle());
    }

    // spots: where the two rings must be, from the window's own bounds.
    std::vector<Point> spots(const TestWindow& window) {
        const auto bounds = windowBounds(*windowList, window.id(), true);
        EXPECT_TRUE(bounds);
        return {{bounds->x + 100, bounds->y + 80}, {bounds->x + 300, bounds->y + 200}};
    }
};

TEST_F(PointerX11Test, RingsAreCentredOnTheirSpotsWithLabels30Below) {
    const TestWindow window(session(), {.bounds = kWindowBounds, .color = kWindowColour});
    showTwo(window);
    const auto want = spots(window);
    auto rings = windowsTitled("Vantor MCP Ring");
    auto labels = windowsTitled("Vantor MCP Label");
    std::sort(rings.begin(), rings.end(), [](auto& a, auto& b) { return a.x < b.x; });
    std::sort(labels.begin(), labels.end(), [](auto& a, auto& b) { return a.x < b.x; });
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE("ring " + std::to_string(i + 1));
        EXPECT_EQ(rings[i].width, 68);
        EXPECT_NEAR(centre(rings[i]).x, want[i].x, 1);
        EXPECT_NEAR(centre(rings[i]).y, want[i].y, 1);
        EXPECT_NEAR(labels[i].y, want[i].y + 30, 1);
        EXPECT_NEAR(centre(labels[i]).x, want[i].x, 1);
    }

    const Rect area{want[0].x - 60, want[0].y - 40, 380, 260};
    // The rings paint themselves in their own time: wait for the picture of both.
    platform::FrameImage shot;
    pumpUntil([&] {
        shot = grab(area);
        return std::all_of(want.begin(), want.end(),
                           [&](const Point& spot) { return redAround(shot, {spot.x - area.x, spot.y - area.y}) > 40; });
    });
    session().saveScreenshot(shot, "rings-with-labels");
    for (const auto& spot : want) {
        EXPECT_GT(redAround(shot, {spot.x - area.x, spot.y - area.y}), 40) << "red ring around the spot";
        // The spot itself is left free: the window shows through the ring's middle.
        EXPECT_EQ(rgb(shot, int(spot.x - area.x), int(spot.y - area.y)), kWindowColour);
    }

    pointer->clear();
    ASSERT_TRUE(pumpUntil([&] { return windowsTitled("Vantor MCP Ring").empty(); }));
    // The window under them repaints what they covered in its own time.
    platform::FrameImage after;
    pumpUntil([&] {
        after = grab(area);
        return std::all_of(want.begin(), want.end(),
                           [&](const Point& spot) { return redAround(after, {spot.x - area.x, spot.y - area.y}) == 0; });
    });
    for (const auto& spot : want) {
        EXPECT_EQ(redAround(after, {spot.x - area.x, spot.y - area.y}), 0);
        EXPECT_EQ(rgb(after, int(spot.x - area.x + 19), int(spot.y - area.y)), kWindowColour);
    }
}

TEST_F(PointerX11Test, AClickGoesThroughTheRingAndEndsIt) {
    const TestWindow window(session(), {.bounds = kWindowBounds, .color = kWindowColour});
    // Listen for the clicks the test window receives (it doesn't ask for them itself).
    const std::uint32_t mask = XCB_EVENT_MASK_BUTTON_PRESS;
    xcb_change_window_attributes(x->get(), window.id(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x->get());
    showTwo(window);
    const auto want = spots(window);
    ASSERT_TRUE(status->visible());
    ASSERT_TRUE(panel->window());

    click(want[0]);
    ASSERT_TRUE(pumpUntil([&] { return pointer->shown().size() == 1; }, 2s));
    EXPECT_EQ(pointer->shown()[0]->mark.number, 2);
    EXPECT_EQ(status->steps().get(), (Steps{1, 2}));
    EXPECT_EQ(windowsTitled("Vantor MCP Ring").size(), 1u);

    bool reached = false;
    while (platform::XCBPtr<xcb_generic_event_t> event{xcb_poll_for_event(x->get())}) {
        if ((event->response_type & 0x7F) != XCB_BUTTON_PRESS) continue;
        const auto* press = reinterpret_cast<const xcb_button_press_event_t*>(event.get());
        reached = reached || (press->event == window.id() && press->detail == 1);
    }
    EXPECT_TRUE(reached) << "the click reached the window under the ring";
}

TEST_F(PointerX11Test, ClicksOnTheProgramsOwnWindowsDontCount) {
    const TestWindow window(session(), {.bounds = kWindowBounds, .color = kWindowColour});
    showTwo(window);
    const auto want = spots(window);
    // On the first label, 40 below its ring's centre: near enough to mark the ring, were it a
    // click in the shared window.
    click({want[0].x, want[0].y + 40});
    // Then a click in the shared window, at the second ring: clicks reach the rings in order,
    // so once that one is registered, the first would be too, had it counted.
    click(want[1]);
    ASSERT_TRUE(pumpUntil([&] { return pointer->shown().size() == 2 && pointer->shown()[1]->clicked; }, 2s))
        << "the click in the shared window registers";
    EXPECT_FALSE(pointer->shown()[0]->clicked) << "the click on the label doesn't count for the ring above it";
}

TEST_F(PointerX11Test, CopyPutsExactlyTheTextOnTheClipboard) {
    const TestWindow window(session(), {.bounds = kWindowBounds, .color = kWindowColour});
    showTwo(window);
    auto* copy = findButton("Vantor MCP Label", "Copy");
    ASSERT_NE(copy, nullptr);
    click(centreOf(copy));
    ASSERT_TRUE(pumpUntil([&] { return copy->text() == "Copied"; }));
    // A click on the program's own label isn't a click on a ring.
    ASSERT_NO_FATAL_FAILURE(settle());
    EXPECT_EQ(pointer->shown().size(), 2u);
    EXPECT_FALSE(pointer->shown()[0]->clicked);

    // xclip asks this process for the text: keep the event loop turning while it waits.
    auto paste = std::async(std::launch::async, [&] {
        return session().run({"xclip", "-o", "-selection", "clipboard"});
    });
    ASSERT_TRUE(pumpUntil([&] { return paste.wait_for(0s) == std::future_status::ready; }, 5s));
    const auto pasted = paste.get();
    EXPECT_EQ(pasted.exitCode, 0);
    EXPECT_EQ(pasted.output, "report.pdf");

    EXPECT_TRUE(pumpUntil([&] { return copy->text() == "Copy"; }, 2500ms)) << "Copied for 1.5 s";
    // Copied counts as the click: moving away ends the ring.
    session().runChecked({"xdotool", "mousemove", "1500", "900"});
    EXPECT_TRUE(pumpUntil([&] { return pointer->shown().size() == 1; }, 2s));
}

TEST_F(PointerX11Test, RingsAndLabelsFollowTheWindow) {
    const TestWindow window(session(), {.bounds = kWindowBounds, .color = kWindowColour});
    showTwo(window);
    const auto before = spots(window);
    session().runChecked({"xdotool", "windowmove", window.idText(), "500", "300"});
    ASSERT_TRUE(pumpUntil([&] { return spots(window)[0].x != before[0].x; }));
    const auto after = spots(window);
    ASSERT_TRUE(pumpUntil([&] {
        auto rings = windowsTitled("Vantor MCP Ring");
        return std::any_of(rings.begin(), rings.end(), [&](const Rect& r) {
            return std::abs(centre(r).x - after[0].x) <= 1 && std::abs(centre(r).y - after[0].y) <= 1;
        });
    }, 1s));
    auto labels = windowsTitled("Vantor MCP Label");
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const Rect& r) {
        return std::abs(r.y - (after[1].y + 30)) <= 1 && std::abs(centre(r).x - after[1].x) <= 1;
    }));
}

TEST_F(PointerX11Test, MinimizingTheWindowEndsTheRingsUndone) {
    const TestWindow window(session(), {.bounds = kWindowBounds, .color = kWindowColour});
    showTwo(window);
    auto answer = std::make_shared<std::optional<bool>>();
    platform::spawn(pointer->handled(120s), [answer](std::exception_ptr, std::optional<bool> value) {
        *answer = value;
    });
    session().runChecked({"xdotool", "windowminimize", window.idText()});
    ASSERT_TRUE(pumpUntil([&] { return answer->has_value(); }));
    EXPECT_EQ(**answer, false);
    EXPECT_EQ(pointer->doneCount(), 0);
    EXPECT_TRUE(pumpUntil([&] { return windowsTitled("Vantor MCP Ring").empty(); }, 1s));
    EXPECT_FALSE(status->visible());
}

}  // namespace
}  // namespace app::test
