#include "app/looking/window_share.hpp"

#include "tests/app/looking/window_share_fixture.hpp"
#include "tests/app/looking/x11_guidance.hpp"

#include "platform/qt/detail/window_picker_dialog.hpp"
#include "platform/qt/qt_image_codec.hpp"
#include "platform/qt/qt_window_picker.hpp"
#include "platform/x11/x11_capture_stream.hpp"
#include "platform/x11/x11_window_catalogue.hpp"

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::detail::WindowPickerDialog;
using test_support::TestWindow;
using Outcome = WindowShare::Pick::Outcome;

constexpr std::uint32_t kWindowColour = 0x3366CC;

// WindowShareX11Test: the window share as the program wires it, with the picker dialog, the
// X11 capture and the Qt codec, on the fixture's X session.
class WindowShareX11Test : public GuidanceX11Test {
protected:
    void SetUp() override {
        GuidanceX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        catalogue.emplace(session().display, *windowList);
        picker.emplace(*catalogue);
        capture.emplace(session().display);
        share.emplace(WindowShare::Services{.main = *main,
                                            .picker = *picker,
                                            .capture = *capture,
                                            .windows = *windowList,
                                            .screens = *screens,
                                            .codec = codec,
                                            .pointer = *pointer,
                                            .status = *status,
                                            .ownPID = getpid()});
    }

    void TearDown() override {
        share.reset();
        picker.reset();
        capture.reset();
        catalogue.reset();
        GuidanceX11Test::TearDown();
    }

    // dialog: the picker dialog on screen, or null.
    static WindowPickerDialog* dialog() {
        for (auto* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->windowTitle() == WindowPickerDialog::kTitle) {
                return dynamic_cast<WindowPickerDialog*>(widget);
            }
        }
        return nullptr;
    }

    // focusDialog: waits until the picker dialog is shown and has the keyboard.
    void focusDialog() {
        ASSERT_TRUE(pumpUntil([] { return dialog() != nullptr; }));
        const auto id = std::to_string(dialog()->winId());
        ASSERT_TRUE(pumpUntil([&] {
            const auto active = session().run({"xdotool", "getactivewindow"}).output;
            return active.substr(0, active.find('\n')) == id;
        }, 5s)) << "the picker dialog should take the focus";
    }

    // pickByTyping: picks the window through the dialog: types part of its title, then Return.
    std::optional<platform::PickedContent> pickByTyping(const std::string& typed) {
        auto pick = run(share->pick());
        focusDialog();
        session().runChecked({"xdotool", "type", "--delay", "30", typed});
        session().runChecked({"xdotool", "key", "Return"});
        EXPECT_TRUE(pumpUntil([&] { return pick->done; }, 5s));
        if (!pick->done || !pick->value) return std::nullopt;
        EXPECT_EQ(pick->value->outcome, Outcome::window);
        return pick->value->picked;
    }

    // askToClose: what the window manager's close button does: _NET_CLOSE_WINDOW to the root.
    void askToClose(xcb_window_t window) {
        auto* c = x->get();
        const auto atom = platform::xcbReply(c, xcb_intern_atom(c, 0, 17, "_NET_CLOSE_WINDOW"), xcb_intern_atom_reply);
        ASSERT_TRUE(atom);
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atom->atom;
        message.data.data32[0] = XCB_CURRENT_TIME;
        message.data.data32[1] = 2;  // from a pager or other direct user action
        xcb_send_event(c, 0, x->root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(c);
    }

    // picture: a picture of the shared window, decoded.
    QImage picture() {
        auto taken = run(share->picture());
        EXPECT_TRUE(pumpUntil([&] { return taken->done; }, 6s));
        if (!taken->done || taken->error) {
            ADD_FAILURE() << "no picture: " << taken->errorText();
            return {};
        }
        EXPECT_EQ(taken->value->mimeType, "image/png");
        auto image = QImage::fromData(taken->value->data.data(), static_cast<int>(taken->value->data.size()), "PNG");
        EXPECT_EQ(image.width(), taken->value->width);
        EXPECT_EQ(image.height(), taken->value->height);
        return image;
    }

    std::optional<platform::X11WindowCatalogue> catalogue;
    std::optional<platform::QtWindowPicker> picker;
    std::optional<platform::X11CaptureFactory> capture;
    platform::QtImageCodec codec;
    std::optional<WindowShare> share;
};

TEST_F(WindowShareX11Test, TheDialogListsOtherProgramsWindowsButNoneOfOursAndEscapeCancels) {
    const TestWindow target(session(), {.title = "Picker Target 7", .bounds = {200, 150, 400, 300}});
    QWidget own;
    own.setWindowTitle("Vantor MCP Own Window");
    own.resize(300, 200);
    own.show();
    ASSERT_TRUE(pumpUntil([&] { return !windowsTitled("Vantor MCP Own Window").empty(); }));

    auto pick = run(share->pick());
    focusDialog();
    const auto rows = dialog()->shownRows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), QString("VantorTestWindow: Picker Target 7")), rows.end());
    for (const auto& row : rows) {
        EXPECT_FALSE(row.contains("Vantor MCP Own Window")) << row.toStdString();
        EXPECT_FALSE(row.contains(WindowPickerDialog::kTitle)) << row.toStdString();
    }
    session().saveScreen("window-picker");

    session().runChecked({"xdotool", "key", "Escape"});
    ASSERT_TRUE(pumpUntil([&] { return pick->done; }));
    EXPECT_EQ(pick->value->outcome, Outcome::cancelled);
    EXPECT_FALSE(dialog());

    // The window manager's close button asks the same way.
    auto closed = run(share->pick());
    focusDialog();
    askToClose(static_cast<xcb_window_t>(dialog()->winId()));
    ASSERT_TRUE(pumpUntil([&] { return closed->done; }));
    EXPECT_EQ(closed->value->outcome, Outcome::cancelled);
    EXPECT_FALSE(dialog());
}

// A minimized window is open but not offered: the dialog says so in place of an empty list
// (what it says for a filter that matches nothing is the picker's own test).
TEST_F(WindowShareX11Test, AnEmptyListSaysWhyWhenTheOnlyOtherWindowIsMinimized) {
    const TestWindow minimized(session(), {.title = "Picker Minimized 3", .bounds = {200, 150, 400, 300}});
    session().runChecked({"xdotool", "windowminimize", "--sync", minimized.idText()});
    ASSERT_TRUE(test_support::eventually([&] { return !platform::windowBounds(*windowList, minimized.id(), true); }))
        << "minimized: no longer on screen";

    auto pick = run(share->pick());
    focusDialog();
    const auto rows = dialog()->shownRows();
    for (const auto& row : rows) EXPECT_FALSE(row.contains("Picker Minimized 3")) << row.toStdString();
    if (rows.empty()) {
        EXPECT_EQ(dialog()->emptyText().toStdString(), WindowPickerDialog::kNoWindows);
        session().saveScreen("window-picker-only-minimized");
    } else {
        ADD_FAILURE() << "another window of the session is on screen: " << rows.front().toStdString();
    }

    session().runChecked({"xdotool", "key", "Escape"});
    ASSERT_TRUE(pumpUntil([&] { return pick->done; }));
    EXPECT_EQ(pick->value->outcome, Outcome::cancelled);
}

TEST_F(WindowShareX11Test, TypingPartOfTheTitleAndReturnPicksThatWindow) {
    const TestWindow target(session(), {.title = "Picker Target 9", .bounds = {200, 150, 400, 300}});
    // Made last, so it is stacked on top and listed first.
    const TestWindow other(session(), {.title = "Picker Other", .bounds = {700, 150, 300, 200}});

    const auto picked = pickByTyping("target 9");
    ASSERT_TRUE(picked);
    ASSERT_EQ(picked->includedWindows.size(), 1u);
    const auto& window = picked->includedWindows.front();
    EXPECT_EQ(window.id, target.id());
    EXPECT_EQ(window.pid, target.pid());
    EXPECT_EQ(window.appName, "VantorTestWindow");
    EXPECT_EQ(window.title, "Picker Target 9");
    EXPECT_EQ(picked->contentRect, platform::windowBounds(*windowList, target.id(), true));
    EXPECT_EQ(picked->pointPixelScale, 1);
    EXPECT_FALSE(dialog());
}

TEST_F(WindowShareX11Test, PicturesFollowTheWindowAndItsEndEndsTheShare) {
    TestWindow target(session(), {.title = "Picker Target 11", .bounds = {200, 150, 400, 300}, .color = kWindowColour});
    const auto picked = pickByTyping("Target 11");
    ASSERT_TRUE(picked);
    auto shared = run(share->share(*picked, platform::ShareGrant::fiveMinutes, "Claude"));
    ASSERT_TRUE(pumpUntil([&] { return shared->done; }));
    ASSERT_FALSE(shared->error) << shared->errorText();

    const auto first = picture();
    ASSERT_EQ(first.size(), QSize(400, 300));
    for (const auto& at : {QPoint(0, 0), QPoint(200, 150), QPoint(399, 299)}) {
        EXPECT_EQ(first.pixel(at) & 0xFFFFFF, kWindowColour) << at.x() << "," << at.y();
    }

    session().runChecked({"xdotool", "windowsize", target.idText(), "500", "350"});
    ASSERT_TRUE(pumpUntil([&] {
        const auto bounds = platform::windowBounds(*windowList, target.id(), false);
        return bounds && bounds->width == 500 && bounds->height == 350;
    }));
    const auto resized = picture();
    EXPECT_EQ(resized.size(), QSize(500, 350));
    EXPECT_EQ(resized.pixel(450, 320) & 0xFFFFFF, kWindowColour);

    target.kill();
    EXPECT_TRUE(pumpUntil([&] { return !share->sharing().get(); }, 3s)) << "the share ends with its window";
    EXPECT_FALSE(share->stoppedByUser());
}

}  // namespace
}  // namespace app::test
