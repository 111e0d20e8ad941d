// The program started again while it runs, in the X session: the running instance shows its
// notice, the second start ends with status 0, and a start made by the bridge shows nothing.

#include "tests/app/host/host_fixture.hpp"
#include "tests/app/program_fixture.hpp"
#include "tests/app/program_x11.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11/x_session.hpp"

#include "app/bridge/host_client.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;
using test_support::kVantorMCP;
using test_support::ProgramHome;

class SecondStartX11Test : public test_support::XTest {
protected:
    void SetUp() override {
        XTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        port_ = app::testing::freePort();
        home_.configure(port_, "00112233445566778899aabbccddeeff0011223344556677");
    }

    std::vector<std::string> environment() const { return home_.environment(session().display); }

    bool listening() const {
        try {
            app::HTTPHostClient({1s, 1s}).probe("http://127.0.0.1:" + std::to_string(port_) + "/mcp");
            return true;
        } catch (const app::HostUnreachable&) {
            return false;
        }
    }

    // notices: the windows of the program titled "Vantor MCP" (shown ones only, or all) other
    // than its tray icon: its running notices. (Qt's hidden leader window, titled so too, has
    // no class.)
    std::vector<std::string> notices(bool shownOnly) const {
        std::vector<std::string> search{"xdotool", "search", "--name", "^Vantor MCP$"};
        if (shownOnly) search.insert(search.begin() + 2, "--onlyvisible");
        std::istringstream ids(session().run(search).output);
        std::vector<std::string> found;
        for (std::string id; ids >> id;) {
            const auto names = session().run({"xprop", "-id", id, "WM_CLASS"}).output;
            if (names.find(R"("vantor-mcp", "vantor-mcp")") != std::string::npos && !session().inTray(std::stoul(id))) {
                found.push_back(id);
            }
        }
        return found;
    }

    // handledStarts: waits until the program has read what the starts sent to its socket, and
    // has answered a ping after that: a notice it showed for them is then a window the server
    // has (mapped, or waiting for the window manager to map it).
    void handledStarts(pid_t program) const {
        ASSERT_TRUE(test_support::eventually([&] { return home_.startsTaken(); }, 10s))
            << "the program should read its socket " << home_.reopenSocket();
        ASSERT_TRUE(session().answersPing(program)) << "the program should answer after that";
    }

    ProgramHome home_;
    unsigned short port_ = 0;
};

TEST_F(SecondStartX11Test, ShowsTheRunningNoticeInTheFirstAndExits0) {
    ChildProcess program({kVantorMCP}, environment());
    ASSERT_TRUE(test_support::eventually([&] { return listening(); }, 20s)) << "the program should listen";
    ASSERT_TRUE(test_support::eventually([&] { return test_support::trayShowsTheProgram(session()); }))
        << "the program's icon should come into the tray";
    ASSERT_EQ(notices(false), std::vector<std::string>{}) << session().runChecked({"xwininfo", "-root", "-tree"});

    const auto bridgeStart = test_support::runTool({kVantorMCP, "--from-bridge"}, environment());
    EXPECT_EQ(bridgeStart.exitCode, 0);
    ASSERT_NO_FATAL_FAILURE(handledStarts(program.pid()));
    EXPECT_EQ(notices(false), std::vector<std::string>{}) << "a start made by the bridge shows nothing";

    const auto again = test_support::runTool({kVantorMCP}, environment());
    EXPECT_EQ(again.exitCode, 0);
    std::vector<std::string> first;
    EXPECT_TRUE(test_support::eventually([&] { return (first = notices(true)).size() == 1; }))
        << "the running program shows its notice; shown: " << first.size();
    EXPECT_EQ(home_.programs().size(), 1u);
    session().saveScreen("running-notice-second-start");

    // A third start shows a new notice in the place of the first.
    const auto third = test_support::runTool({kVantorMCP}, environment());
    EXPECT_EQ(third.exitCode, 0);
    ASSERT_NO_FATAL_FAILURE(handledStarts(program.pid()));
    std::vector<std::string> shown;
    EXPECT_TRUE(test_support::eventually([&] { return (shown = notices(true)).size() == 1 && shown != first; }))
        << "one notice at a time; shown: " << shown.size();
    EXPECT_EQ(notices(false), shown);
    EXPECT_TRUE(listening());
}

}  // namespace
