#pragma once

#include "tests/support/child_process.hpp"

#include "platform/frame.hpp"
#include "platform/window_system.hpp"

#include <gtest/gtest.h>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// XSession: the X server the CTest fixture started for the desktop tests (Xvfb with two
// screens, openbox and trayer; see x_session.sh). A test that needs it is registered with
// vantor_add_x11_test, which gives it the variable VANTOR_X_SESSION naming the fixture's
// folder; the session is read from there, never from the developer's own DISPLAY.
struct XSession {
    std::string display;       // ":N"
    std::string artifactsDir;  // where tests leave their screenshots

    // find: the session of the running fixture; none when the test runs outside it.
    static std::optional<XSession> find();

    // environment: this process's environment with DISPLAY set to the session's, for the
    // programs a test starts.
    std::vector<std::string> environment() const;
    // run: runs a tool (xdotool, xwininfo, …) on the session's display.
    ToolResult run(const std::vector<std::string>& argv) const;
    // runChecked: run, failing the test unless the tool exits with 0; returns its output.
    std::string runChecked(const std::vector<std::string>& argv) const;
    // windowsOf: every window, shown or not, that the program pid made (as its _NET_WM_PID says).
    std::vector<std::uint32_t> windowsOf(pid_t pid) const;
    // answersPing: whether the program pid has a window and answers a ping on it within timeout:
    // then it has handled all that reached it before (see answersPing in shown_windows.hpp).
    bool answersPing(pid_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // inTray: whether the window lies in the session's tray (trayer's windows).
    bool inTray(std::uint32_t window) const;
    // saveScreenshot: writes the image as <artifactsDir>/<name>.png; returns the path.
    std::string saveScreenshot(const platform::FrameImage& image, const std::string& name) const;
    // saveScreen: writes what the first screen shows as <artifactsDir>/<name>.png.
    std::string saveScreen(const std::string& name) const;
};

// TestWindowOptions: what vantor_test_window shows; see its source for the meaning.
struct TestWindowOptions {
    std::string title = "Vantor Test Window";
    platform::Rect bounds{100, 100, 400, 300};
    std::uint32_t color = 0x3366CC;       // 0xRRGGBB
    std::uint32_t typedColor = 0xCC6633;  // after the first key press
    std::optional<std::uint32_t> opacity;
    std::string type;
    bool above = false;
    bool undecorated = false;
    bool overrideRedirect = false;
};

// TestWindow: a vantor_test_window process, shown and painted once made; killed on destruction.
class TestWindow {
public:
    // Throws std::runtime_error when the window doesn't appear within a few seconds.
    TestWindow(const XSession& session, const TestWindowOptions& options);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    platform::WindowID id() const { return id_; }
    pid_t pid() const { return process_->pid(); }
    std::string idText() const;
    // kill: ends the process and waits until the server has destroyed its window (the
    // server notices the closed connection in its own time), so that a window of an earlier
    // case never lingers over the next one. Fails the test when the window stays.
    void kill();

private:
    std::string display_;
    std::unique_ptr<ChildProcess> process_;
    platform::WindowID id_ = 0;
    bool killed_ = false;
};

// eventually: whether condition holds within timeout, checked every few milliseconds. For
// states of the X server that no event of ours reports.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(5));

// XTest: the base of tests that need the X session: fails the test when the fixture's session
// can't be read, and parks the pointer in a corner where no test window lies.
class XTest : public testing::Test {
protected:
    void SetUp() override;
    const XSession& session() const { return *session_; }

private:
    std::optional<XSession> session_;
};

}  // namespace test_support
