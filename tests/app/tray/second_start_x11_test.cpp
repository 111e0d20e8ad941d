// The program started again while it runs, in the X session: the running instance shows its
// notice, the second start ends with status 0, and a start made by the bridge shows nothing.

#include "tests/app/host/host_fixture.hpp"
#include "tests/app/program_fixture.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11/x_session.hpp"

#include "app/bridge/host_client.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
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

    // windowsNamedLikeTheProgram: the shown windows titled "Vantor MCP": the tray icon's and
    // the notices.
    std::size_t windowsNamedLikeTheProgram() const {
        const auto found = session().run({"xdotool", "search", "--onlyvisible", "--name", "^Vantor MCP$"});
        std::istringstream ids(found.output);
        std::size_t count = 0;
        for (std::string id; ids >> id;) ++count;
        return count;
    }

    ProgramHome home_;
    unsigned short port_ = 0;
};

TEST_F(SecondStartX11Test, ShowsTheRunningNoticeInTheFirstAndExits0) {
    ChildProcess program({kVantorMCP}, environment());
    ASSERT_TRUE(test_support::eventually([&] { return listening(); }, 20s)) << "the program should listen";
    // The tray takes the icon in its own time.
    std::this_thread::sleep_for(500ms);
    const auto before = windowsNamedLikeTheProgram();

    const auto bridgeStart = test_support::runTool({kVantorMCP, "--from-bridge"}, environment());
    EXPECT_EQ(bridgeStart.exitCode, 0);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(windowsNamedLikeTheProgram(), before) << "a start made by the bridge shows nothing";

    const auto again = test_support::runTool({kVantorMCP}, environment());
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(test_support::eventually([&] { return windowsNamedLikeTheProgram() == before + 1; }))
        << "the running program shows its notice";
    EXPECT_EQ(home_.programs().size(), 1u);
    session().saveScreen("running-notice-second-start");

    const auto third = test_support::runTool({kVantorMCP}, environment());
    EXPECT_EQ(third.exitCode, 0);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(windowsNamedLikeTheProgram(), before + 1) << "one notice at a time";
    EXPECT_TRUE(listening());
}

}  // namespace
