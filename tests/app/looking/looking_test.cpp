#include "app/looking/looking.hpp"

#include "tests/app/looking/window_share_fixture.hpp"

#include "app/looking/request_panel.hpp"

#include "platform/fake/fake_request_panels.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::FakeRequestPanels;
using platform::FrameStatus;
using platform::LookAnswer;
using platform::solidImage;
using Picture = WindowShare::Picture;

// The look flow over the window share's fakes, with the request panel played by the tes
class LookingTest : public WindowShareTest {
protected:
    void TearDown() override {
        // A request still open is declined, so that its task ends.
        for (const auto& record : panels.records()) FakeRequestPanels::pressClose(*record);
        main.runUntilIdle();
        WindowShareTest::TearDown();
    }

    std::shared_ptr<Outcome<Picture>> look(const std::string& client = "Claude") {
        auto outcome = run(looking.look(client, "To check the export settings."));
        main.runUntilIdle();
        return outcome;
    }
    FakeRequestPanels::Record& panel() { return *panels.records().back(); }
    void answer(LookAnswer given) {
        FakeRequestPanels::answer(panel(), given);
        main.runUntilIdle();
    }
    void choose() {
        picker.choose(content());
        main.runUntilIdle();
    }
    // deliver: the capture's frames of the window, every 100 ms, until the task is done.
    template <class T>
    void deliver(const std::shared_ptr<Outcome<T>>& outcome) {
        if (!outcome->done && capture.last()) stream().emit(FrameStatus::started, solidImage(800, 500));
        for (int step = 0; !outcome->done && step < 100; ++step) {
            main.advance(100ms);
            if (capture.last()) stream().emit(FrameStatus::idle);
        }
    }
    // shareForFiveMinutes: a look answered "Share for 5 Minutes", to its picture.
    void shareForFiveMinutes(const std::string& client = "Claude") {
        auto first = look(client);
        answer(LookAnswer::choose(platform::ShareGrant::fiveMinutes));
        choose();
        deliver(first);
        ASSERT_TRUE(first->value) << first->errorText();
    }
    bool capturing() const { return capture.last() != nullptr && capture.last()->stops() == 0; }

    FakeRequestPanels panels;
    RequestPanel requests{panels, main};
    Looking looking{share, requests};
};

TEST_F(LookingTest, ShareOnceThenAPickGivesAPictureAndEndsTheCapture) {
    auto outcome = look("Claude");
    ASSERT_EQ(panels.shown().size(), 1u);
    EXPECT_EQ(panel().content, (platform::RequestViewContent{"Claude wants to see a window",
                                                             "To check the export settings.", true}));
    EXPECT_TRUE(looking.requestOpen());

    answer(LookAnswer::choose(platform::ShareGrant::once));
    EXPECT_TRUE(panels.shown().empty());
    EXPECT_TRUE(picker.shown());
    EXPECT_EQ(picker.configuration().excludedPIDs, std::vector<int>{kOwnPID});
    choose();
    EXPECT_FALSE(picker.active()) << "the picker goes as soon as the pick ends";
    ASSERT_NE(capture.last(), nullptr);
    deliver(outcome);

    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_EQ(outcome->value->width, 800);
    EXPECT_EQ(outcome->value->height, 500);
    EXPECT_EQ(outcome->value->window.title, "notes.txt");
    EXPECT_TRUE(outcome->value->titleIsCurrent);
    EXPECT_EQ(stream().stops(), 1) << "nothing is captured after the one picture";
    EXPECT_FALSE(share.sharing().get());
    EXPECT_TRUE(share.pictured()) << "the point flow maps spots with the picture's record";
    EXPECT_FALSE(looking.requestOpen());
}

TEST_F(LookingTest, ASecondLookWhileThePanelIsOpenFailsAtOnceAndTheFirstCompletes) {
    auto first = look("Claude");
    auto second = run(looking.look("Codex", "Another reason."));
    ASSERT_TRUE(second->done) << "no waiting for the open request";
    EXPECT_EQ(second->errorText(), Looking::kAlreadyOpenText);
    EXPECT_EQ(panels.records().size(), 1u) << "no second panel";
    EXPECT_TRUE(panel().visible) << "the open request goes on undisturbed";

    answer(LookAnswer::choose(platform::ShareGrant::once));
    choose();
    deliver(first);
    ASSERT_TRUE(first->value) << first->errorText();
    EXPECT_FALSE(looking.requestOpen());
}

TEST_F(LookingTest, DecliningInAnyWayGivesTheDeclinedText) {
    const struct {
        std::string_view name;
        std::function<void()> decline;
    } kCases[] = {
        {"Not Now", [this] { answer(LookAnswer::declined()); }},
        {"the close button",
         [this] {
             FakeRequestPanels::pressClose(panel());
             main.runUntilIdle();
         }},
        {"a cancelled pick",
         [this] {
             answer(LookAnswer::choose(platform::ShareGrant::fiveMinutes));
             picker.cancel();
             main.runUntilIdle();
         }},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto outcome = look();
        c.decline();
        ASSERT_TRUE(outcome->done);
        EXPECT_EQ(outcome->errorText(), Looking::kDeclinedText);
        EXPECT_FALSE(requests.requestTimedOut());
        EXPECT_EQ(capture.last(), nullptr) << "no capture starts";
        EXPECT_FALSE(picker.active());
        EXPECT_FALSE(looking.requestOpen());
    }
}

TEST_F(LookingTest, NoAnswerFromThePanelOrThePickerGivesTheTimeOutText) {
    const struct {
        std::string_view name;
        std::function<void()> wait;
    } kCases[] = {
        {"the panel's five minutes", [this] { main.advance(RequestPanel::kTimeout); }},
        {"the picker's three minutes",
         [this] {
             answer(LookAnswer::choose(platform::ShareGrant::once));
             main.advance(WindowShare::kPickLimit);
         }},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto outcome = look();
        c.wait();
        ASSERT_TRUE(outcome->done);
        EXPECT_EQ(outcome->errorText(), Looking::kTimedOutText);
        EXPECT_EQ(capture.last(), nullptr);
        EXPECT_FALSE(looking.requestOpen());
    }
}

TEST_F(LookingTest, TheTimeOutFlagOfAnEarlierRequestDoesNotTurnALaterDeclineIntoATimeOut) {
    auto first = look();
    main.advance(RequestPanel::kTimeout);
    ASSERT_EQ(first->errorText(), Looking::kTimedOutText);
    auto second = look();
    answer(LookAnswer::declined());
    EXPECT_EQ(second->errorText(), Looking::kDeclinedText);
}

TEST_F(LookingTest, APickerFailureGivesItsText) {
    auto outcome = look();
    answer(LookAnswer::choose(platform::ShareGrant::once));
    picker.fail("no X connection");
    main.runUntilIdle();
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->errorText(), Looking::kPickerFailedText);
    EXPECT_FALSE(picker.active());
}

TEST_F(LookingTest, AStandingShareOfTheSameClientGivesAPictureWithoutAPanel) {
    shareForFiveMinutes("Claude");
    ASSERT_EQ(panels.records().size(), 1u);
    ASSERT_TRUE(share.sharing().get());
    EXPECT_TRUE(share.sharing().get()->grant == platform::ShareGrant::fiveMinutes);

    main.advance(10s);
    auto again = look("Claude");
    deliver(again);
    ASSERT_TRUE(again->value) << again->errorText();
    EXPECT_EQ(panels.records().size(), 1u) << "no panel, no picker";
    EXPECT_EQ(picker.presents(), 1);
    EXPECT_FALSE(again->value->titleIsCurrent);
    EXPECT_TRUE(capturing()) << "the five-minute share goes on";
}

TEST_F(LookingTest, AStandingShareOfAnotherClientDoesNotCount) {
    shareForFiveMinutes("Claude");
    auto other = look("Codex");
    ASSERT_EQ(panels.records().size(), 2u);
    EXPECT_EQ(panel().content.title, "Codex wants to see a window");
    EXPECT_TRUE(panel().content.offersKeeping) << "\"Share for 5 Minutes\" is offered again";
    answer(LookAnswer::declined());
    EXPECT_EQ(other->errorText(), Looking::kDeclinedText);
    EXPECT_TRUE(capturing()) << "a declined request leaves the running share alone";
}

TEST_F(LookingTest, AStandingShareThatEndsOrFailsLeadsToARequest) {
    const struct {
        std::string_view name;
        std::function<void()> spoil;
    } kCases[] = {
        {"it expires during the still-picture wait",
         [this] { main.advance(WindowShare::kKeptGrant - 1s); }},
        {"its window is gone", [this] { windowList.close(kWindowID); }},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        windowList.put(platform::WindowEntry{.id = kWindowID, .bounds = kWindowBounds, .onScreen = true,
                                             .layer = 0, .ownerPID = 777});
        shareForFiveMinutes("Claude");
        const auto panelsBefore = panels.records().size();
        c.spoil();
        auto again = look("Claude");
        for (int step = 0; step < 60 && panels.records().size() == panelsBefore; ++step) main.advance(100ms);
        ASSERT_EQ(panels.records().size(), panelsBefore + 1) << "the user is asked";
        EXPECT_FALSE(again->done) << "no error for the agent";
        answer(LookAnswer::declined());
        EXPECT_EQ(again->errorText(), Looking::kDeclinedText);
        share.endStream();
    }
}

TEST_F(LookingTest, AnErrorAfterShareForFiveMinutesLeavesNoCaptureRunning) {
    const struct {
        std::string_view name;
        platform::Rect window;
        std::size_t streams;
    } kCases[] = {
        {"sharing fails: the window has no size", {100, 80, 0, 0}, 0},
        {"the picture fails: no frame comes", kWindowBounds, 1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        windowList.move(kWindowID, c.window);
        auto outcome = look();
        answer(LookAnswer::choose(platform::ShareGrant::fiveMinutes));
        picker.choose(content(c.window));
        for (int step = 0; step < 100 && !outcome->done; ++step) main.advance(100ms);
        ASSERT_TRUE(outcome->done);
        EXPECT_EQ(outcome->errorText(), WindowShare::kNotOnScreenText);
        EXPECT_EQ(capture.streams().size(), c.streams);
        EXPECT_FALSE(share.sharing().get()) << "no share left";
        EXPECT_FALSE(capturing()) << "no capture left running";
        EXPECT_FALSE(picker.active());
        EXPECT_FALSE(looking.requestOpen());
    }
}

TEST_F(LookingTest, ACaptureThatCantBeMadePassesItsErrorOnUnchanged) {
    capture.makeError = std::make_error_code(std::errc::io_error);
    auto outcome = look();
    answer(LookAnswer::choose(platform::ShareGrant::fiveMinutes));
    choose();
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->errorText(), std::system_error(capture.makeError).what());
    EXPECT_FALSE(share.sharing().get());
    EXPECT_FALSE(picker.active());
}

TEST_F(LookingTest, TheUsersOwnTestOffersNoFiveMinuteShare) {
    auto outcome = run(looking.request("Try it: show a window", "This is a tes", std::nullopt));
    main.runUntilIdle();
    EXPECT_FALSE(panel().content.offersKeeping);
    answer(LookAnswer::choose(platform::ShareGrant::once));
    choose();
    deliver(outcome);
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_FALSE(share.sharing().get());
}

}  // namespace
}  // namespace app::test
