// The tray program in the X session, started by the user or by the --stdio bridge, with the
// bridge in front of it as an AI client runs them.

#include "tests/app/bridge/client_lines.hpp"
#include "tests/app/host/host_fixture.hpp"
#include "tests/app/program_fixture.hpp"
#include "tests/app/program_x11.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11/x_session.hpp"

#include "app/bridge/host_client.hpp"
#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;
using test_support::kInitializeLine;
using test_support::kInitializedLine;
using test_support::kToolsListLine;
using test_support::kListChangedLine;
using test_support::ChildProcess;
using test_support::kVantorMCP;
using test_support::ProgramHome;

constexpr std::string_view kToken = "00112233445566778899aabbccddeeff0011223344556677";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The id of a reply line, and whether it is a result.
std::pair<mcp::Value, bool> idAndSuccess(const std::string& line) {
    const auto reply = mcp::parseJSON(line);
    const auto* object = reply.objectValue();
    if (!object || !object->find("id")) return {mcp::Value(), false};
    return {*object->find("id"), object->contains("result")};
}

class ProgramX11Test : public test_support::XTest {
protected:
    void SetUp() override {
        XTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        port_ = app::testing::freePort();
        home_.configure(port_, std::string(kToken));
    }

    std::vector<std::string> environment() const { return home_.environment(session().display); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/mcp"; }

    // listening: whether the program answers on its port.
    bool listening() const {
        try {
            app::HTTPHostClient({1s, 1s}).probe(url());
            return true;
        } catch (const app::HostUnreachable&) {
            return false;
        }
    }

    bool trayShowsTheProgram() const { return test_support::trayShowsTheProgram(session()); }

    // startProgram: the program as the user starts it, once it listens.
    std::unique_ptr<ChildProcess> startProgram() {
        auto program = std::make_unique<ChildProcess>(std::vector<std::string>{kVantorMCP}, environment());
        EXPECT_TRUE(test_support::eventually([&] { return listening(); }, 20s)) << "the program should listen";
        return program;
    }

    // bridge: `vantor-mcp --stdio` with the lines as its whole input; what it wrote.
    test_support::ToolResult bridge(const std::vector<std::string_view>& lines) {
        const auto file = home_.folder() / ("input-" + std::to_string(++inputs_));
        {
            std::ofstream out(file);
            for (auto line : lines) out << line << '\n';
        }
        auto env = environment();
        env.push_back("IN=" + file.string());
        return test_support::runTool({"sh", "-c", R"(exec "$0" --stdio <"$IN")", kVantorMCP}, env, 60s);
    }

    // expectMainRoad: the bridge's answer to initialize, a notification, a blank line and
    // tools/list: exactly two lines, the results for ids 1 and 2.
    void expectMainRoad(const test_support::ToolResult& result) {
        EXPECT_EQ(result.exitCode, 0);
        const auto written = linesOf(result.output);
        ASSERT_EQ(written.size(), 2u) << result.output;
        EXPECT_EQ(idAndSuccess(written[0]), std::make_pair(mcp::Value(1), true)) << written[0];
        EXPECT_EQ(idAndSuccess(written[1]), std::make_pair(mcp::Value(2), true)) << written[1];
        EXPECT_NE(written[0].find(R"("name":"vantor-mcp")"), std::string::npos) << written[0];
        EXPECT_NE(written[1].find(R"("name":"look")"), std::string::npos) << written[1];
    }

    ProgramHome home_;
    unsigned short port_ = 0;
    int inputs_ = 0;
};

TEST_F(ProgramX11Test, ListensShowsItsTrayIconAndServesTheBridge) {
    const auto program = startProgram();
    EXPECT_TRUE(test_support::eventually([&] { return trayShowsTheProgram(); }))
        << "the tray host should show the program's icon";

    expectMainRoad(bridge({kInitializeLine, kInitializedLine, "", kToolsListLine}));
    EXPECT_EQ(home_.setting("hasConnectedClient"), "true") << "the host recorded the client";

    // A second start while it runs ends at once and leaves the first alone.
    const auto again = test_support::runTool({kVantorMCP}, environment());
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(home_.programs().size(), 1u);
    EXPECT_TRUE(listening());
}

TEST_F(ProgramX11Test, PortTakenByAnotherProgramLeavesItRunning) {
    boost::asio::io_context context;
    boost::asio::ip::tcp::acceptor other(context, {boost::asio::ip::address_v4::loopback(), port_});
    ChildProcess program({kVantorMCP}, environment());
    // No port to wait for: the program is up once its event loop answers on a window of its own.
    ASSERT_TRUE(test_support::eventually([&] { return session().answersPing(program.pid(), 1s); }, 20s))
        << "the program should come up: " << (program.wait(0s) ? "it ended" : "it runs, but shows no window");
    EXPECT_TRUE(test_support::eventually([&] { return trayShowsTheProgram(); }))
        << "the tray icon shows all the same; the session's windows: "
        << session().runChecked({"xwininfo", "-root", "-tree"});
    // It runs on, and listens as soon as the port is free and a start by the bridge tells it so.
    other.close();
    EXPECT_EQ(test_support::runTool({kVantorMCP, "--from-bridge"}, environment()).exitCode, 0);
    EXPECT_TRUE(test_support::eventually([&] { return listening(); }, 20s))
        << (program.wait(0s) ? "the program ended" : "the program runs, but doesn't listen");
}

TEST_F(ProgramX11Test, BridgeStartsExactlyOneProgram) {
    ASSERT_TRUE(home_.programs().empty());
    expectMainRoad(bridge({kInitializeLine, kInitializedLine, "", kToolsListLine}));
    EXPECT_EQ(home_.programs().size(), 1u);

    home_.endPrograms();
    ASSERT_FALSE(listening());
    // Two clients at once: each bridge starts a program; one of them stays.
    auto first = std::async(std::launch::async, [&] { return bridge({kInitializeLine, kInitializedLine, "", kToolsListLine}); });
    auto second = bridge({kInitializeLine, kInitializedLine, "", kToolsListLine});
    expectMainRoad(first.get());
    expectMainRoad(second);
    EXPECT_TRUE(test_support::eventually([&] { return home_.programs().size() == 1; }))
        << home_.programs().size() << " programs";
}

TEST_F(ProgramX11Test, BridgeTellsTheClientAfterTheProgramWasRestarted) {
    auto program = startProgram();
    const auto fifo = home_.folder() / "input";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto env = environment();
    env.push_back("IN=" + fifo.string());
    ChildProcess bridge({"sh", "-c", R"(exec "$0" --stdio <"$IN")", kVantorMCP}, env);
    const int input = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(input, 0);
    const auto send = [input](std::string_view line) {
        std::string text(line);
        text += '\n';
        ASSERT_EQ(::write(input, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    };

    send(kInitializeLine);
    const auto initialized = bridge.readLine(20s);
    ASSERT_TRUE(initialized);
    EXPECT_EQ(idAndSuccess(*initialized), std::make_pair(mcp::Value(1), true));

    // The program is gone; the next line starts a new one.
    program.reset();
    ASSERT_FALSE(listening());
    send(kToolsListLine);
    const auto listed = bridge.readLine(30s);
    ASSERT_TRUE(listed);
    EXPECT_EQ(idAndSuccess(*listed), std::make_pair(mcp::Value(2), true));
    EXPECT_EQ(bridge.readLine(5s), std::string(kListChangedLine)) << "after the reply";
    EXPECT_EQ(home_.programs().size(), 1u);

    ::close(input);
    const auto status = bridge.wait(10s);
    ASSERT_TRUE(status) << "the bridge ends with its input";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

// The bridge as an AI app starts it when told nothing else: with HOME and PATH alone (and the
// sanitizer runtime's options of this build), so with no DISPLAY and no XDG variables. PATH
// leads first to the test's own systemctl, which answers as the user's service manager does
// with the environment the desktop session published there. The bridge's lookup is the real
// one; only the manager is the test's.
class BareBridgeX11Test : public ProgramX11Test {
protected:
    void SetUp() override {
        ProgramX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // HOME/.config is where the bridge and a program started by the desktop find the
        // settings without XDG_CONFIG_HOME: the home's settings.
        std::filesystem::create_directory_symlink("config", home_.folder() / ".config");
    }

    std::filesystem::path managerCalls() const { return home_.folder() / "manager-calls"; }
    std::string path() const { return home_.binFolder().string() + ":/usr/bin:/bin"; }

    // sessionManager: the test's systemctl, which knows the test's X session: `systemctl
    // --user show-environment` notes the call in managerCalls() and prints the session's
    // variables as systemd does.
    void sessionManager() const {
        const auto answer = home_.folder() / "manager-output";
        std::ofstream(answer) << "DISPLAY=" << session().display << "\nXDG_RUNTIME_DIR="
                              << (home_.folder() / "runtime").string()
                              << "\nXDG_SESSION_TYPE=x11\nXDG_CURRENT_DESKTOP=$'Openbox test'\n";
        const auto file = home_.binFolder() / "systemctl";
        {
            std::ofstream script(file);
            script << "#!/bin/sh\n"
                   << "[ \"$*\" = '--user show-environment' ] || exit 64\n"
                   << "echo called >>'" << managerCalls().string() << "'\n"
                   << "exec cat '" << answer.string() << "'\n";
        }
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }

    // desktopEnvironment: what the desktop session gives the programs it starts.
    std::vector<std::string> desktopEnvironment() const {
        auto env = sanitizerOptions();
        for (const auto& entry : {"HOME=" + home_.folder().string(), "PATH=" + path(), "DISPLAY=" + session().display,
                                  "XDG_RUNTIME_DIR=" + (home_.folder() / "runtime").string()}) {
            env.push_back(entry);
        }
        return env;
    }

    // bareBridge: `vantor-mcp --stdio` under `env -i`, with the lines as its whole input.
    std::unique_ptr<ChildProcess> bareBridge(const std::vector<std::string_view>& lines) {
        const auto file = home_.folder() / ("input-" + std::to_string(++inputs_));
        {
            std::ofstream out(file);
            for (auto line : lines) out << line << '\n';
        }
        std::vector<std::string> command{"sh", "-c", R"(exec env -i "$@" <"$IN")", "sh",
                                         "HOME=" + home_.folder().string(), "PATH=" + path()};
        for (const auto& option : sanitizerOptions()) command.push_back(option);
        command.push_back(kVantorMCP);
        command.push_back("--stdio");
        return std::make_unique<ChildProcess>(command, std::vector<std::string>{"IN=" + file.string(),
                                                                                "PATH=/usr/bin:/bin"});
    }

    // finish: what the bridge wrote until it ended, and how it ended.
    static test_support::ToolResult finish(ChildProcess& bridge) {
        auto output = bridge.readAll(60s);
        const auto status = bridge.wait(10s);
        return {status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1, std::move(output)};
    }

    int managerCallCount() const {
        std::ifstream in(managerCalls());
        int count = 0;
        for (std::string line; std::getline(in, line);) ++count;
        return count;
    }

private:
    static std::vector<std::string> sanitizerOptions() {
        std::vector<std::string> options;
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) options.push_back(std::string(name) + "=" + value);
        }
        return options;
    }
};

TEST_F(BareBridgeX11Test, StartsTheProgramInTheDesktopSessionTheServiceManagerKnows) {
    sessionManager();
    ASSERT_TRUE(home_.programs().empty());
    auto bridge = bareBridge({kInitializeLine, kInitializedLine, "", kToolsListLine});
    expectMainRoad(finish(*bridge));
    EXPECT_EQ(managerCallCount(), 1);
    EXPECT_EQ(home_.programs().size(), 1u) << "one program, holding the home's lock";
    EXPECT_TRUE(test_support::eventually([&] { return trayShowsTheProgram(); }))
        << "the program shows its icon in the session's tray";
}

TEST_F(BareBridgeX11Test, ReachesTheProgramTheDesktopStarted) {
    sessionManager();
    ChildProcess program({kVantorMCP}, desktopEnvironment());
    ASSERT_TRUE(test_support::eventually([&] { return listening(); }, 20s)) << "the program should listen";
    auto bridge = bareBridge({kInitializeLine, kInitializedLine, "", kToolsListLine});
    expectMainRoad(finish(*bridge));
    EXPECT_EQ(managerCallCount(), 0) << "nothing to start";
    EXPECT_EQ(home_.programs().size(), 1u);
}

}  // namespace
