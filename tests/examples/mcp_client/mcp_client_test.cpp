// The example client run as its users run it: against the example servers over stdio and
// over HTTP (with and without sessions), and against the program's own host with its token.
#include "app/host/serve_request.hpp"
#include "app/tools/tool_dispatcher.hpp"
#include "tests/app/host/host_fixture.hpp"
#include "tests/support/child_process.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> environment() {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) entries.emplace_back(*entry);
    return entries;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

test_support::ToolResult runClient(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), MCP_CLIENT_PATH);
    return test_support::runTool(arguments, environment(), 60s);
}

// An example server started on a free port; its first line names the address it listens on.
class ExampleServer {
public:
    explicit ExampleServer(const char* path) : process_({path, "0"}, environment()) {
        const auto line = process_.readLine(30s);
        const std::string_view prefix = "Listening on ";
        if (line && line->starts_with(prefix)) url_ = line->substr(prefix.size());
    }
    const std::string& url() const { return url_; }

private:
    test_support::ChildProcess process_;
    std::string url_;
};

TEST(ExampleClient, CallsAToolOfAServerItStartsOverStdio) {
    const auto run = runClient({"--call", "echo", "--arguments", R"({"text":"hi"})", "--", STDIO_SERVER_PATH});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(linesOf(run.output), ElementsAre("server: stdio-server-example", "tool: echo",
                                                 R"(result: [{"type":"text","text":"hi"}])"));
}

TEST(ExampleClient, EndsAServerThatOutlivesItsInput) {
    // The server answers, then stays after its input has ended: the client ends it with
    // SIGTERM, or with SIGKILL when it ignores that, and ends itself as usual.
    const struct {
        const char* name;
        const char* script;
    } kCases[] = {
        {"ends on SIGTERM", R"("$0"; exec sleep 600)"},
        {"ignores SIGTERM", R"(trap '' TERM; "$0"; exec sleep 600)"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto run = runClient({"--call", "echo", "--arguments", R"({"text":"hi"})", "--", "sh", "-c", c.script,
                                    STDIO_SERVER_PATH});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_THAT(linesOf(run.output), ElementsAre("server: stdio-server-example", "tool: echo",
                                                     R"(result: [{"type":"text","text":"hi"}])"));
    }
}

TEST(ExampleClient, SpeaksToServersWithAndWithoutSessionsOneClientAfterAnother) {
    const struct {
        const char* name;
        const char* path;
        std::vector<std::string> lines;
    } kCases[] = {
        // Every request after initialize carries the session id, and the answers come as event
        // streams: the server refuses the rest otherwise.
        {"with sessions", STATEFUL_HTTP_SERVER_PATH,
         {"server: stateful-http-server-example", "tool: echo", "tool: progress",
          R"(result: [{"type":"text","text":"hi"}])"}},
        {"without sessions", STATELESS_HTTP_SERVER_PATH,
         {"server: stateless-http-server-example", "tool: echo", R"(result: [{"type":"text","text":"hi"}])"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const ExampleServer server(c.path);
        ASSERT_FALSE(server.url().empty()) << "the server never said where it listens";
        // One client after another: each makes its own handshake with the same server.
        for (const char* client : {"first client", "second client"}) {
            SCOPED_TRACE(client);
            const auto run = runClient({"--call", "echo", "--arguments", R"({"text":"hi"})", server.url()});
            EXPECT_EQ(run.exitCode, 0) << run.output;
            EXPECT_EQ(linesOf(run.output), c.lines);
        }
    }
}

TEST(ExampleClient, RefusesWrongUsage) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"--token"}, {"--arguments", "{}", "http://127.0.0.1:1/mcp"},
          {"--call", "echo", "--arguments", "[1]", "http://127.0.0.1:1/mcp"},
          {"--client-id", "id", "http://127.0.0.1:1/mcp"},
          {"--token", "t", "--client-id", "id", "--client-secret", "s", "http://127.0.0.1:1/mcp"},
          {"--token", "t", "--", STDIO_SERVER_PATH}}) {
        const auto run = runClient(arguments);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(arguments) << run.output;
    }
}

// Answers every tool call with the tool's name, as the program's tools would with text.
class NamingDispatcher final : public app::ToolDispatcher {
public:
    platform::Task<std::vector<mcp::Tool::Content>> callTool(std::string name, mcp::ValueObject,
                                                              std::optional<std::string>) override {
        co_return std::vector<mcp::Tool::Content>{mcp::Tool::Content::text("called " + name)};
    }
};

class ExampleClientAgainstTheHost : public app::testing::HostFixture {
protected:
    test_support::ToolResult runAgainstHost(std::vector<std::string> arguments) {
        arguments.push_back("http://127.0.0.1:" + std::to_string(port) + "/mcp");
        return pump(std::async(std::launch::async, [arguments] { return runClient(arguments); }));
    }

    NamingDispatcher tools;
    app::ServingContext context{main, status, settings, tools, "1.0"};
};

TEST_F(ExampleClientAgainstTheHost, ListsTheProgramsThreeToolsWithTheToken) {
    const auto host = startServing(context);
    const auto run = runAgainstHost({"--token", std::string(app::testing::kToken), "--call", "finish"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(linesOf(run.output), ElementsAre("server: vantor-mcp", "tool: look", "tool: point", "tool: finish",
                                                 R"(result: [{"type":"text","text":"called finish"}])"));

    const auto refused = runAgainstHost({"--token", "wrong"});
    EXPECT_EQ(refused.exitCode, 1) << refused.output;
    EXPECT_THAT(refused.output, ::testing::Not(HasSubstr("tool:")));
}

}  // namespace
