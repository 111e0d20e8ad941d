#include "app/looking/status_panel.hpp"

#include "tests/app/looking/x11_guidance.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::Point;
using platform::Rect;
using test_support::TestWindow;

QAbstractButton* statusButton(const QString& text) {
    return findButton("Vantor MCP Status", text);
}

QWidget* statusWidget() {
    for (auto* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() == "Vantor MCP Status" && widget->isVisible()) return widget;
    }
    return nullptr;
}

// overlappingLabels: the pairs of visible labels of window that are drawn over each other.
std::vector<std::string> overlappingLabels(const QWidget& window) {
    std::vector<const QLabel*> shown;
    for (const auto* label : window.findChildren<QLabel*>()) {
        if (label->isVisibleTo(&window) && !label->text().isEmpty()) shown.push_back(label);
    }
    const auto area = [&](const QLabel* label) { return QRect(label->mapTo(&window, QPoint(0, 0)), label->size()); };
    std::vector<std::string> overlaps;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            if (area(shown[i]).intersects(area(shown[j]))) {
                overlaps.push_back(shown[i]->text().toStdString() + " / " + shown[j]->text().toStdString());
            }
        }
        if (!QRect(QPoint(0, 0), window.size()).contains(area(shown[i]))) {
            overlaps.push_back(shown[i]->text().toStdString() + " / the box's edge");
        }
    }
    return overlaps;
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
    // The box is the program's alone (no window manager places it): once the program has
    // handled all it was sent, the server has the box where the program put it.
    ASSERT_NO_FATAL_FAILURE(settle());
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

// On the main road the hint comes 12 s after the agent started, beside Stop Sharing, under
// whatever message the agent left: at no state or length may the box's texts overlap or be cut
// off unseen. A message longer than two lines ends in an ellipsis.
TEST_F(StatusPanelX11Test, NoTextOverlapsOrIsCutOffUnseen) {
    const std::string longMessage =
        "Open the File menu, then choose Export. In the dialog that opens, pick PDF as the format, type the "
        "customer's name into the file name, and press Save. Fill in the customer name, then save the form.";
    const struct {
        std::string name;
        std::optional<std::string> message;
        bool hint;
    } kCases[] = {
        {"status-box-long-message", longMessage, false},
        {"status-box-hint", std::nullopt, true},
        {"status-box-long-message-and-hint", longMessage, true},
        {"status-box-short-message-and-hint", "Fill in the customer name, then save the form.", true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        status->message().set(c.message);
        status->start("Claude Desktop on the second screen");
        // The hint comes from the model's timer, which changes only this value.
        if (c.hint) status->answeredElsewhere().set(true);
        ASSERT_TRUE(pumpUntil([&] { return box().has_value() && statusWidget() != nullptr; }));
        ASSERT_NO_FATAL_FAILURE(settle());
        auto* widget = statusWidget();
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(box()->height, widget->height());
        EXPECT_EQ(widget->height(), static_cast<int>(panel->window()->fittingHeight())) << "refitted";
        EXPECT_EQ(test_support::clippedLabels(*widget), std::vector<std::string>{});
        EXPECT_EQ(overlappingLabels(*widget), std::vector<std::string>{});
        for (const auto* label : widget->findChildren<QLabel*>()) {
            const auto text = label->text();
            if (c.message && *c.message == longMessage && text.startsWith("Open the File menu")) {
                EXPECT_EQ(text.count('\n'), 1) << "two lines";
                EXPECT_TRUE(text.endsWith(QChar(0x2026))) << text.toStdString();
            }
        }
        const auto frame = *box();
        session().saveScreenshot(grab({frame.x - 10, frame.y - 10, frame.width + 20, frame.height + 20}), c.name);
        status->reset();
        ASSERT_TRUE(pumpUntil([&] { return !box().has_value(); }));
    }
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
    settle();
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
    clickAt(*statusButton("Stop Sharing"));
    EXPECT_TRUE(pumpUntil([&] { return stops == 1; }));
}

TEST_F(StatusPanelX11Test, ClosingWordsShowWithoutButtons) {
    status->finish("All set. Your report is saved.");
    ASSERT_TRUE(pumpUntil([&] { return box().has_value(); }));
    EXPECT_EQ(statusButton("Stop Sharing"), nullptr);
    EXPECT_EQ(statusButton("Done"), nullptr);
    settle();
    const auto frame = *box();
    session().saveScreenshot(grab({frame.x - 10, frame.y - 10, frame.width + 20, frame.height + 20}),
                             "status-box-finished");
}

}  // namespace
}  // namespace app::test
