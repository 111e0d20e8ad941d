#include "app/looking/request_panel.hpp"

#include "platform/qt/qt_request_panels.hpp"
#include "tests/app/looking/x11_guidance.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::LookAnswer;
using platform::Rect;

const platform::RequestViewContent kClientRequest{"Claude wants to see a window",
                                                  "To find the export settings you asked about.", true};
const platform::RequestViewContent kTryIt{"Try it: show a window",
                                          "This is a test. Pick any window; its picture is thrown away.", false};

// The request panel on the X session, asked through RequestPanel as the look flow asks it.
class RequestPanelX11Test : public GuidanceX11Test {
protected:
    void SetUp() override {
        GuidanceX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        requests.emplace(panels, *main);
    }
    void TearDown() override {
        // A panel left open is closed, so its request ends.
        for (auto* widget : QApplication::topLevelWidgets()) {
            if (widget->windowTitle() == "Vantor MCP" && widget->isVisible()) widget->close();
        }
        if (started) {
            EXPECT_TRUE(pumpUntil([&] { return answered; }));
        }
        requests.reset();
        GuidanceX11Test::TearDown();
    }

    // present: asks, and waits until the panel is on screen; returns its frame.
    Rect present(const platform::RequestViewContent& content) {
        started = true;
        platform::spawn(requests->present(LookAnswer::declined(), content),
                        [this](std::exception_ptr, std::optional<LookAnswer> given) {
                            answered = true;
                            answer = given;
                        });
        EXPECT_TRUE(pumpUntil([&] { return panelFrame().has_value(); })) << "the panel should appear";
        // Placed: the server has what this process asked for, and the window manager has
        // focused the panel, which it does once it has mapped it where it goes.
        settle();
        EXPECT_TRUE(pumpUntil([&] { return activeWindow() == panelID(); }))
            << "the panel should take the focus; the focus is on " << activeWindow();
        return panelFrame().value_or(Rect{});
    }

    std::optional<Rect> panelFrame() {
        const auto frames = windowsTitled("Vantor MCP");
        if (frames.size() != 1) return std::nullopt;
        return frames.front();
    }
    std::string panelID() {
        return session().run({"xdotool", "search", "--onlyvisible", "--name", "^Vantor MCP$"}).output;
    }
    std::string activeWindow() { return session().run({"xdotool", "getactivewindow"}).output; }

    // focusedButton: the text of the button that has the keyboard focus; empty when none has it.
    static QString focusedButton() {
        const auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
        return button != nullptr ? button->text() : QString();
    }
    // tabTo: presses Tab until the button labelled label has the focus, waiting after each press
    // for the focus to move.
    bool tabTo(const QString& label) {
        for (int press = 0; press < 8 && focusedButton() != label; ++press) {
            const auto before = QApplication::focusWidget();
            session().runChecked({"xdotool", "key", "Tab"});
            if (!pumpUntil([&] { return QApplication::focusWidget() != before; })) return false;
        }
        return focusedButton() == label;
    }

    // labels: the texts of the panel's labels, top to bottom.
    std::vector<QString> labels() {
        std::vector<QString> texts;
        for (auto* widget : QApplication::topLevelWidgets()) {
            if (widget->windowTitle() != "Vantor MCP" || !widget->isVisible()) continue;
            for (auto* label : widget->findChildren<QLabel*>()) texts.push_back(label->text());
        }
        return texts;
    }

    // closeThroughWindowManager: what the panel's close button does: the window manager asks
    // the window to close.
    void closeThroughWindowManager(const std::string& id) {
        const std::string_view name = "_NET_CLOSE_WINDOW";
        const auto atom = x->atoms(std::span(&name, 1)).front();
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = static_cast<xcb_window_t>(std::stoul(id));
        event.type = atom;
        event.data.data32[0] = XCB_CURRENT_TIME;
        event.data.data32[1] = 2;
        xcb_send_event(x->get(), 0, x->root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(x->get());
    }

    platform::QtRequestPanels panels;
    std::optional<RequestPanel> requests;
    bool started = false;
    bool answered = false;
    std::optional<LookAnswer> answer;
};

TEST_F(RequestPanelX11Test, AppearsCentredFocusedAndReturnSharesOnce) {
    const auto frame = present(kClientRequest);
    EXPECT_EQ(frame.width, 380);
    const auto work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(frame.x + frame.width / 2, work.x() + work.width() / 2.0, 1);
    // The window manager's title bar sits above the content, within the centred frame.
    EXPECT_NEAR(frame.y + frame.height / 2, work.y() + work.height() / 2.0, 30);
    ASSERT_TRUE(pumpUntil([&] { return activeWindow() == panelID(); })) << "the panel takes the focus";
    session().saveScreenshot(grab({frame.x - 20, frame.y - 40, frame.width + 40, frame.height + 60}),
                             "request-panel-client");

    session().runChecked({"xdotool", "key", "Return"});
    ASSERT_TRUE(pumpUntil([&] { return answered; }));
    EXPECT_EQ(answer, LookAnswer::choose(platform::ShareGrant::once));
    EXPECT_FALSE(requests->requestTimedOut());
    EXPECT_TRUE(pumpUntil([&] { return !panelFrame(); })) << "the panel goes with the answer";
}

// Return presses the button that has the focus, as in any Linux dialog, and the default one only
// while no button has it; Space presses the focused button. Moving the focus to "Not Now" and
// pressing Return must never share the window.
TEST_F(RequestPanelX11Test, ReturnPressesTheFocusedButtonAndTheDefaultOneOnlyWhenNoButtonHasIt) {
    const struct {
        const char* name;
        platform::RequestViewContent content;
        // focus: the button Tab moves to; empty to take the focus from every button.
        QString focus;
        const char* key;
        LookAnswer want;
    } kCases[] = {
        {"Tab to Not Now, Return", kClientRequest, "Not Now", "Return", LookAnswer::declined()},
        {"Tab to Share for 5 Minutes, Return", kClientRequest, "Share for 5 Minutes", "Return",
         LookAnswer::choose(platform::ShareGrant::fiveMinutes)},
        {"Tab to Not Now, Space", kClientRequest, "Not Now", "space", LookAnswer::declined()},
        {"no button focused, Return", kClientRequest, "", "Return", LookAnswer::choose(platform::ShareGrant::once)},
        {"the test: Tab to Not Now, Return", kTryIt, "Not Now", "Return", LookAnswer::declined()},
        {"the test: no button focused, Return", kTryIt, "", "Return", LookAnswer::choose(platform::ShareGrant::once)},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        answered = false;
        answer.reset();
        present(c.content);
        ASSERT_TRUE(pumpUntil([&] { return activeWindow() == panelID(); }));
        const QString defaultLabel = c.content.offersKeeping ? "Share Once" : "Choose Window\u2026";
        EXPECT_EQ(focusedButton(), defaultLabel) << "the default button has the focus at first";
        if (c.focus.isEmpty()) {
            QApplication::focusWidget()->clearFocus();
            ASSERT_TRUE(pumpUntil([] { return focusedButton().isEmpty(); }));
        } else {
            ASSERT_TRUE(tabTo(c.focus));
        }
        session().runChecked({"xdotool", "key", c.key});
        ASSERT_TRUE(pumpUntil([&] { return answered; }));
        EXPECT_EQ(answer, c.want);
        ASSERT_TRUE(pumpUntil([&] { return !panelFrame(); }));
    }
}

TEST_F(RequestPanelX11Test, TheTestLayoutChoosesAWindowOnReturn) {
    const auto frame = present(kTryIt);
    EXPECT_EQ(frame.width, 380);
    ASSERT_TRUE(pumpUntil([&] { return activeWindow() == panelID(); }));
    session().saveScreenshot(grab({frame.x - 20, frame.y - 40, frame.width + 40, frame.height + 60}),
                             "request-panel-try-it");
    session().runChecked({"xdotool", "key", "Return"});
    ASSERT_TRUE(pumpUntil([&] { return answered; }));
    EXPECT_EQ(answer, LookAnswer::choose(platform::ShareGrant::once));
}

TEST_F(RequestPanelX11Test, EscapeDeclinesInEitherLayout) {
    for (const auto& content : {kClientRequest, kTryIt}) {
        SCOPED_TRACE(content.title);
        answered = false;
        present(content);
        ASSERT_TRUE(pumpUntil([&] { return activeWindow() == panelID(); }));
        session().runChecked({"xdotool", "key", "Escape"});
        ASSERT_TRUE(pumpUntil([&] { return answered; }));
        EXPECT_EQ(answer, LookAnswer::declined());
        ASSERT_TRUE(pumpUntil([&] { return !panelFrame(); }));
    }
}

TEST_F(RequestPanelX11Test, ClosingThePanelDeclinesWithoutTheTimeOutFlag) {
    present(kClientRequest);
    const auto id = panelID();
    ASSERT_FALSE(id.empty());
    closeThroughWindowManager(id);
    ASSERT_TRUE(pumpUntil([&] { return answered; }));
    EXPECT_EQ(answer, LookAnswer::declined());
    EXPECT_FALSE(requests->requestTimedOut());
    EXPECT_TRUE(pumpUntil([&] { return !panelFrame(); }));
}

// A panel minimized by the window manager would keep its request waiting unseen for five
// minutes. The session's window manager offers minimizing even to utility windows: the panel
// comes back at once, still asking.
TEST_F(RequestPanelX11Test, ComesBackWhenMinimized) {
    present(kClientRequest);
    const auto id = panelID();
    ASSERT_FALSE(id.empty());
    const auto type = session().run({"xprop", "-id", id, "_NET_WM_WINDOW_TYPE"}).output;
    EXPECT_NE(type.find("_NET_WM_WINDOW_TYPE_UTILITY"), std::string::npos)
        << "a utility window, which most window managers give no minimize button: " << type;

    // The test's thread turns the panel's event loop: the panel can't come back before
    // xdotool has seen it minimized.
    session().runChecked({"xdotool", "windowminimize", "--sync", id});
    EXPECT_FALSE(panelFrame().has_value()) << "minimized for a moment";
    EXPECT_TRUE(pumpUntil([&] { return panelFrame().has_value(); })) << "the panel is back on screen";
    EXPECT_FALSE(answered) << "the request still waits";
}

TEST_F(RequestPanelX11Test, ALongTitleAndReasonAreCutToTheirLines) {
    std::string reason;
    for (int i = 0; i < 60; ++i) reason += "The agent explains at length why it needs to see the window. ";
    const auto frame =
        present({"Claude wants to see a window, and it says so in a title far too long to fit in three lines "
                 "of the panel, however wide the letters come out on this desktop",
                 reason, true});
    const auto texts = labels();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0].count('\n') + 1, 3) << texts[0].toStdString();
    EXPECT_TRUE(texts[0].endsWith(QChar(0x2026)));
    EXPECT_EQ(texts[1].count('\n') + 1, 6) << texts[1].toStdString();
    EXPECT_TRUE(texts[1].endsWith(QChar(0x2026)));
    const auto work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LT(frame.height, work.height()) << "the cut text keeps the panel on the screen";
    session().saveScreenshot(grab({frame.x - 20, frame.y - 40, frame.width + 40, frame.height + 60}),
                             "request-panel-long-reason");
}

}  // namespace
}  // namespace app::test
