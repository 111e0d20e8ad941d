#include "app/looking/status_panel.hpp"

#include "tests/app/looking/x11_guidance.hpp"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <exception>
#include <memory>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::Point;
using platform::Rect;
using test_support::TestWindow;

QAbstractButton* statusButton(const QString& text) {
    return findButton("Vantor MCP Status", text);
}

class StatusPanelX11Test : public GuidanceX11Test {
protected:
    std::optional<Rect> box() {
        const auto frames = windowsTitled("Vantor MCP Status");
        if (frames.size() != 1) return std::nullopt;
        return frames.front();
    }
    std::string activeWindow() { return session().run({"xdotool", "getactivewindow"}).output; }
};

TEST_F(StatusPanelX11Test, SitsAtTheBottomCentreOfTheWorkAreaWithoutTakingFocus) {
    const TestWindow window(session(), {.bounds = {200, 150, 400, 300}});
    ASSERT_TRUE(pumpUntil([&] { return activeWindow().find(std::to_string(window.id())) == 0; }));
    const auto active = activeWindow();

    status->message().set("Open the File menu.");
    status->start("Claude");
    ASSERT_TRUE(pumpUntil([&] { return box().has_value(); }));
    pump(200ms);
    const auto frame = *box();
    const auto work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(frame.width, 420);
    EXPECT_EQ(frame.x, work.x() + (work.width() - 420) / 2);
    EXPECT_EQ(frame.bottom(), work.y() + work.height() - 14);
    EXPECT_GE(frame.height, 52);
    EXPECT_EQ(activeWindow(), active) << "the box doesn't take the focus";
    session().saveScreenshot(grab({frame.x - 10, frame.y - 10, frame.width + 20, frame.height + 20}),
                             "status-box-looking");

    // Two lines of message: the box grows upwards, its bottom edge stays.
    status->message().set("Open the File menu, then choose Export. In the dialog that opens, pick PDF "
                          "as the format and press Save.");
    status->start("Claude");
    ASSERT_TRUE(pumpUntil([&] { return box() && box()->height > frame.height; }));
    EXPECT_EQ(box()->bottom(), frame.bottom());
}

TEST_F(StatusPanelX11Test, StepsAdvanceAndDoneEndsEveryRing) {
    const TestWindow window(session(), {.bounds = {200, 150, 400, 300}});
    const auto bounds = *windowBounds(*windowList, window.id(), true);
    const Point first{bounds.x + 100, bounds.y + 80};
    status->client().set("Claude");
    status->message().set("Click Export, then type the file name.");
    ASSERT_TRUE(pointer->show({{"Export", std::nullopt, 1, placeOn(window.id(), {100, 80})},
                               {"File name", "report.pdf", 2, placeOn(window.id(), {300, 200})},
                               {"Save", std::nullopt, 3, placeOn(window.id(), {350, 260})}}));
    auto answer = std::make_shared<std::optional<bool>>();
    platform::spawn(pointer->handled(120s), [answer](std::exception_ptr, std::optional<bool> value) {
        *answer = value;
    });
    ASSERT_TRUE(pumpUntil([&] { return box().has_value(); }));
    ASSERT_NE(statusButton("Done"), nullptr);

    click(first);
    ASSERT_TRUE(pumpUntil([&] { return status->steps().get() == Steps{1, 3}; }, 2s));
    pump(200ms);
    const auto frame = *box();
    session().saveScreenshot(grab({frame.x - 10, frame.y - 10, frame.width + 20, frame.height + 20}),
                             "status-box-steps");

    click(centreOf(statusButton("Done")));
    ASSERT_TRUE(pumpUntil([&] { return answer->has_value(); }));
    EXPECT_EQ(**answer, true);
    EXPECT_EQ(pointer->doneCount(), 3);
    EXPECT_TRUE(pumpUntil([&] { return !box(); }, 1s)) << "no steps and nothing else: the box hides";
    EXPECT_TRUE(windowsTitled("Vantor MCP Ring").empty());
}

TEST_F(StatusPanelX11Test, StopSharingRunsItsAction) {
    status->start("Claude");
    ASSERT_TRUE(pumpUntil([&] { return statusButton("Stop Sharing") != nullptr; }));
    pump(100ms);
    click(centreOf(statusButton("Stop Sharing")));
    EXPECT_TRUE(pumpUntil([&] { return stops == 1; }));
}

TEST_F(StatusPanelX11Test, ClosingWordsShowWithoutButtons) {
    status->finish("All set. Your report is saved.");
    ASSERT_TRUE(pumpUntil([&] { return box().has_value(); }));
    EXPECT_EQ(statusButton("Stop Sharing"), nullptr);
    EXPECT_EQ(statusButton("Done"), nullptr);
    pump(200ms);
    const auto frame = *box();
    session().saveScreenshot(grab({frame.x - 10, frame.y - 10, frame.width + 20, frame.height + 20}),
                             "status-box-finished");
}

}  // namespace
}  // namespace app::test
