// The vantor-mcp executable as an AI client runs it, with no display: the choice of role, the
// --stdio bridge against a fake host, and its ends.

#include "tests/app/bridge/client_lines.hpp"
#include "tests/app/bridge/fake_host.hpp"
#include "tests/app/program_fixture.hpp"
#include "tests/support/child_process.hpp"

#include "mcp/json/json.hpp"
#include "platform/instance_lock.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;
using test_support::kInitializeLine;
using test_support::kInitializedLine;
using test_support::kToolsListLine;
using test_support::FakeHost;
using test_support::HostAnswer;
using test_support::HostRequest;
using test_support::kVantorMCP;
using test_support::ProgramHome;
using test_support::ToolResult;

constexpr std::string_view kToken = "0123456789abcdef0123456789abcdef0123456789abcdef";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// threadCount: how many threads the process runs now (0 once it has gone).
std::size_t threadCount(pid_t pid) {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/task", error), end;
         !error && it != end; it.increment(error)) {
        ++count;
    }
    return count;
}

// runBridge: `vantor-mcp <arguments>` with input as its standard input; its output and how it
// ended. Standard error goes with the output when asked.
ToolResult run(const ProgramHome& home, const std::vector<std::string>& arguments, const std::string& input,
               bool withErrors = false, std::chrono::milliseconds timeout = 30s) {
    static int inputs = 0;
    const auto file = home.folder() / ("input-" + std::to_string(++inputs));
    std::ofstream(file) << input;
    std::vector<std::string> argv{"sh", "-c", withErrors ? R"(exec "$0" "$@" <"$IN" 2>&1)" : R"(exec "$0" "$@" <"$IN")",
                                  kVantorMCP};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto environment = home.environment();
    environment.push_back("IN=" + file.string());
    return test_support::runTool(argv, environment, timeout);
}

std::string lines(std::initializer_list<std::string_view> each) {
    std::string text;
    for (auto line : each) (text += line) += '\n';
    return text;
}

class VantorMCP : public testing::Test {
protected:
    void configure(const FakeHost& host) { home_.configure(host.port(), std::string(kToken)); }

    ProgramHome home_;
};

TEST_F(VantorMCP, BridgeWritesExactlyTheRepliesAndEndsWithItsInput) {
    FakeHost host;
    configure(host);
    const auto result = run(home_, {"--stdio"}, lines({kInitializeLine, kInitializedLine, "", kToolsListLine}));

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(linesOf(result.output), (std::vector<std::string>{
                                          R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2025-06-18"}})",
                                          R"({"jsonrpc":"2.0","id":2,"result":{}})",
                                      }));
    const auto posts = host.posts();
    ASSERT_EQ(posts.size(), 3u);
    for (const auto& post : posts) {
        EXPECT_EQ(post.header("x-vantor-mcp-client"), "Claude%20Code");
        EXPECT_EQ(post.header("authorization"), "Bearer " + std::string(kToken));
    }
}

TEST_F(VantorMCP, BridgeTellsTheClientWhenTheProgramWasStartedAnew) {
    FakeHost host;
    configure(host);
    int answered = 0;
    host.setResponder([&](const HostRequest& request) {
        auto answer = test_support::answerLikeTheHost(request);
        answer.launch = ++answered == 1 ? "4F1C0DAE-0000-4000-8000-000000000001" : "4F1C0DAE-0000-4000-8000-000000000002";
        return answer;
    });
    const auto result = run(home_, {"--stdio"}, lines({kInitializeLine, kToolsListLine}));

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(linesOf(result.output), (std::vector<std::string>{
                                          R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2025-06-18"}})",
                                          R"({"jsonrpc":"2.0","id":2,"result":{}})",
                                          R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})",
                                      }));
}

// Nothing listens, and there is no desktop session to start the program in: the bridge has
// no display and the user no service manager (the home's). A request is answered at once with
// the reason, a notification with nothing, and no program is started.
TEST_F(VantorMCP, BridgeWithoutADesktopSessionAnswersRequestsWithTheReasonAtOnce) {
    FakeHost nothingListens(false);
    configure(nothingListens);
    auto environment = home_.environment();
    environment.push_back("IN=" + (home_.folder() / "request").string());
    std::ofstream(home_.folder() / "request") << R"({"jsonrpc":"2.0","id":7,"method":"tools/list"})" << '\n';
    test_support::ChildProcess request({"sh", "-c", R"(exec "$0" --stdio <"$IN")", kVantorMCP}, environment);
    // No program is started, so nothing is probed (StdioBridgeWithoutProgramTest.
    // ProgramThatCantBeStarted counts the probes): the answer comes as soon as the bridge has
    // asked the manager. How soon that is depends on the machine, so it is recorded, not
    // checked.
    const auto started = std::chrono::steady_clock::now();
    const auto answer = request.readLine(60s);
    ASSERT_TRUE(answer);
    RecordProperty("answeredAfterMs", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                           std::chrono::steady_clock::now() - started)
                                                           .count()));
    EXPECT_EQ(mcp::parseJSON(*answer),
              mcp::parseJSON(R"({"jsonrpc":"2.0","id":7,"error":{"code":-32000,"message":"Vantor MCP isn't )"
                             R"(reachable: no desktop session was found to start it in (no DISPLAY in the )"
                             R"(environment the AI app gave it, nor in the user's service manager); start )"
                             R"(Vantor MCP from your desktop once."}})"));
    const auto status = request.wait(10s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);

    const auto notification = run(home_, {"--stdio"}, lines({kInitializedLine}));
    EXPECT_EQ(notification.exitCode, 0);
    EXPECT_EQ(notification.output, "") << "nothing for a notification";
    EXPECT_TRUE(home_.programs().empty());
}

TEST_F(VantorMCP, BridgeEndsWhenTheProcessThatStartedItHasGone) {
    // This test adopts the orphaned bridge, as a user's service manager or a terminal does: its
    // parent becomes this process, not pid 1.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    FakeHost host;
    configure(host);

    // The client: a shell that starts the bridge in the background on its own input (which
    // this test holds open), tells its pid and waits.
    test_support::ChildProcess client(
        {"sh", "-c", R"(exec 3<&0; "$0" --stdio <&3 >/dev/null 3<&- & echo $!; exec sleep 600 3<&-)", kVantorMCP},
        home_.environment());
    const auto line = client.readLine(10s);
    ASSERT_TRUE(line);
    const pid_t bridge = std::stoi(*line);

    // The bridge has read its parent once its watchdog thread runs; killing the parent before
    // then would hand the watchdog the new parent as the first one it sees.
    const auto started = std::chrono::steady_clock::now() + 20s;
    while (threadCount(bridge) < 2 && std::chrono::steady_clock::now() < started) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_GE(threadCount(bridge), 2u) << "the bridge's watchdog never started";
    // Still running while its parent lives.
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(::kill(bridge, 0), 0);

    client.kill();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(bridge, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    if (ended == 0) {
        ::kill(bridge, SIGKILL);
        ::waitpid(bridge, &status, 0);
        FAIL() << "the bridge still ran 10 s after its parent had gone";
    }
    ASSERT_EQ(ended, bridge);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(VantorMCP, ExactlyTheStdioArgumentChoosesTheBridge) {
    const struct {
        std::string_view name;
        std::vector<std::string> arguments;
        bool bridge;
    } kCases[] = {
        {"alone", {"--stdio"}, true},
        {"after another", {"x", "--stdio"}, true},
        {"before another", {"--stdio", "x"}, true},
        {"none", {}, false},
        {"with a value", {"--stdio=1"}, false},
        {"one dash", {"-stdio"}, false},
        {"upper case", {"--STDIO"}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        // Without a display the program says so and fails; the bridge reads its empty input
        // and ends quietly.
        const auto result = run(home_, c.arguments, "", true);
        if (c.bridge) {
            EXPECT_EQ(result.exitCode, 0);
            EXPECT_EQ(result.output, "");
        } else {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_NE(result.output.find("vantor-mcp: there is no display"), std::string::npos) << result.output;
        }
    }
}

TEST_F(VantorMCP, SecondStartEndsAtOnce) {
    const auto held = platform::InstanceLock::tryAcquire(home_.lockFile());
    ASSERT_TRUE(held);
    const auto result = run(home_, {}, "", true);
    EXPECT_EQ(result.exitCode, 0) << "another instance runs: nothing to do";
    EXPECT_EQ(result.output, "");
}

}  // namespace
