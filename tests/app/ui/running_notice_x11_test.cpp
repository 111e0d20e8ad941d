#include "app/ui/running_notice.hpp"

#include "tests/app/ui/ui_x11_fixture.hpp"

#include <QPushButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace app::ui::test {
namespace {

using namespace std::chrono_literals;

using RunningNoticeLookX11Test = UIX11Test;

// The notice's one step is to close it: a wide, prominent default button, and no text cut.
TEST_F(RunningNoticeLookX11Test, DoneIsAWideDefaultButtonAndNoTextIsCut) {
    RunningNotice notice;
    for (const auto place : {MenuBarIcon::Place::visible, MenuBarIcon::Place::noRoom}) {
        notice.show(place);
        ASSERT_TRUE(pumpUntil([&] { return notice.window() != nullptr && notice.window()->isVisible(); }));
        settle();
        const auto* shown = notice.window();
        EXPECT_TRUE(shown->doneButton().isDefault());
        EXPECT_EQ(shown->doneButton().width(), 200);
        EXPECT_EQ(test_support::clippedLabels(*shown), std::vector<std::string>{});
    }
    saveScreen(notice.window()->frameGeometry().adjusted(-4, -4, 4, 4), "running-notice-done");
}

// Escape closes the notice, as it closes the panel and the picker; Return presses Done, which
// has the focus when the notice opens.
TEST_F(RunningNoticeLookX11Test, EscapeClosesTheNoticeAndDoneHasTheFocus) {
    RunningNotice notice;
    for (const char* key : {"Escape", "Return"}) {
        SCOPED_TRACE(key);
        notice.show(MenuBarIcon::Place::noRoom);
        ASSERT_TRUE(pumpUntil([&] { return notice.window() != nullptr && notice.window()->isActiveWindow(); }));
        EXPECT_TRUE(notice.window()->doneButton().hasFocus());
        pressKey(key);
        EXPECT_TRUE(pumpUntil([&] { return !notice.window()->isVisible(); }));
    }
}

}  // namespace
}  // namespace app::ui::test
