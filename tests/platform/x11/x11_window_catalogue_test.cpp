#include "platform/x11/x11_window_catalogue.hpp"

#include "platform/x11/x11_window_system.hpp"
#include "tests/support/x11/x_session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

using test_support::eventually;
using test_support::TestWindow;

constexpr char kTestClass[] = "VantorTestWindow";

class X11WindowCatalogueTest : public test_support::XTest {
protected:
    void SetUp() override {
        XTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        windows_.emplace(session().display);
        catalogue_.emplace(session().display, *windows_);
    }

    // titles: the titles of the test windows on offer, in the catalogue's order.
    std::vector<std::string> titles(const std::vector<int>& excludedPIDs = {},
                                     std::optional<WindowID> ownWindow = std::nullopt) {
        std::vector<std::string> shown;
        for (const auto& entry : catalogue_->list(excludedPIDs, ownWindow)) {
            if (entry.window.appName == kTestClass) shown.push_back(entry.window.title);
        }
        return shown;
    }

    std::optional<X11WindowSystem> windows_;
    std::optional<X11WindowCatalogue> catalogue_;
};

TEST_F(X11WindowCatalogueTest, DescribesEachOrdinaryWindowAsThePickerHandsItOn) {
    const TestWindow window(session(), {.title = "Catalogue Näme", .bounds = {200, 150, 320, 240}});
    const auto entries = catalogue_->list({}, std::nullopt);
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const auto& entry) { return entry.window.id == window.id(); });
    ASSERT_NE(found, entries.end());
    EXPECT_EQ(found->window.pid, window.pid());
    EXPECT_EQ(found->window.appName, kTestClass);
    // The kernel keeps the first 15 bytes of a process's name.
    EXPECT_EQ(found->window.processName, "vantor_test_win");
    EXPECT_EQ(found->window.title, "Catalogue Näme");
    EXPECT_EQ(found->bounds, windowBounds(*windows_, window.id(), true));
}

TEST_F(X11WindowCatalogueTest, ListsTheMostRecentlyStackedFirstAndOnlyOrdinaryWindowsOnScreen) {
    const TestWindow first(session(), {.title = "Catalogue First", .bounds = {100, 100, 200, 150}});
    const TestWindow second(session(), {.title = "Catalogue Second", .bounds = {400, 100, 200, 150}});
    const TestWindow dock(session(), {.title = "Catalogue Dock", .bounds = {0, 900, 300, 40}, .type = "dock"});
    const TestWindow utility(session(), {.title = "Catalogue Utility", .bounds = {700, 100, 200, 150}, .type = "utility"});
    const TestWindow hidden(session(), {.title = "Catalogue Hidden", .bounds = {700, 400, 200, 150}});
    session().runChecked({"xdotool", "windowminimize", "--sync", hidden.idText()});
    EXPECT_EQ(titles(), (std::vector<std::string>{"Catalogue Second", "Catalogue First"}));

    session().runChecked({"xdotool", "windowraise", first.idText()});
    EXPECT_TRUE(eventually([&] {
        return titles() == std::vector<std::string>{"Catalogue First", "Catalogue Second"};
    })) << "raising a window puts it first";
}

TEST_F(X11WindowCatalogueTest, LeavesOutTheExcludedProcessesAndTheProgramsOwnClass) {
    const TestWindow first(session(), {.title = "Catalogue Mine", .bounds = {100, 100, 200, 150}});
    const TestWindow second(session(), {.title = "Catalogue Theirs", .bounds = {400, 100, 200, 150}});
    EXPECT_EQ(titles({first.pid()}), std::vector<std::string>{"Catalogue Theirs"});
    // Both windows share one application class: naming one as the program's own leaves out both.
    EXPECT_TRUE(titles({}, second.id()).empty());
}

TEST_F(X11WindowCatalogueTest, PicturesAWindowInItsOwnColour) {
    const TestWindow window(session(), {.bounds = {200, 150, 120, 80}, .color = 0x44AA22});
    const auto picture = catalogue_->picture(window.id());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 120);
    EXPECT_EQ(picture->height, 80);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, picture->pixels->data() + (40 * 120 + 60) * 4, 4);
    EXPECT_EQ(pixel & 0xFFFFFF, 0x44AA22u);
    EXPECT_FALSE(catalogue_->picture(0x7FFFFFF)) << "a window that doesn't exist has no picture";
}

}  // namespace
}  // namespace platform
