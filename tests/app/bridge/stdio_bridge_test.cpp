#include "app/bridge/stdio_bridge.hpp"

#include "app/bridge/bridge_messages.hpp"
#include "app/host/setting_keys.hpp"
#include "mcp/json/json.hpp"
#include "platform/error.hpp"
#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "tests/app/bridge/client_lines.hpp"
#include "tests/app/bridge/fake_host.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace app {
namespace {

using namespace std::chrono_literals;
using test_support::kInitializeLine;
using test_support::kInitializedLine;
using test_support::kToolsListLine;
using test_support::FakeHost;
using test_support::HostAnswer;
using test_support::HostRequest;

constexpr std::string_view kToken = "0123456789abcdef0123456789abcdef0123456789abcdef";

// FakeLauncher: counts launches and does what the test asks of each.
class FakeLauncher final : public platform::SelfLauncher {
public:
    std::function<void()> onLaunch = [] {};
    int launches = 0;

    void launchDetached() override {
        ++launches;
        onLaunch();
    }
};

// CountingClient: the real HTTP client, counting its probes.
class CountingClient final : public HostClient {
public:
    explicit CountingClient(HostTimeouts timeouts) : client_(timeouts) {}

    HostReply post(const std::string& url, const Headers& headers, const std::string& body) override {
        return client_.post(url, headers, body);
    }
    void probe(const std::string& url) override {
        ++probes;
        client_.probe(url);
    }

    std::atomic<int> probes = 0;

private:
    HTTPHostClient client_;
};

class StdioBridgeTest : public testing::Test {
protected:
    explicit StdioBridgeTest(bool listening = true) : host_(std::make_unique<FakeHost>(listening)) {
        settings_.setString(setting::kToken, kToken);
        usePort(host_->port());
    }

    void usePort(unsigned short port) { settings_.setInt(setting::kPort, port); }

    StdioBridge& bridge() { return bridge_; }
    FakeHost& host() { return *host_; }

    // forward: the lines through forwardLine; what was written.
    std::vector<std::string> forward(std::initializer_list<std::string_view> lines) {
        output_.clear();
        for (auto line : lines) bridge_.forwardLine(line);
        return output_;
    }

    platform::MemorySettings settings_;
    platform::FixedRandom random_;
    std::unique_ptr<FakeHost> host_;
    CountingClient client_{{2s, 2s}};
    FakeLauncher launcher_;
    std::vector<std::string> output_;
    StdioBridge bridge_{{settings_, random_, client_, launcher_, [this](std::string_view line) { output_.emplace_back(line); }},
                        {1ms, 40}};
};

TEST_F(StdioBridgeTest, ForwardsRequestsAndWritesOnlyTheirReplies) {
    std::istringstream input(std::string(kInitializeLine) + "\n" + std::string(kInitializedLine) + "\r\n \t\n" +
                             std::string(kToolsListLine));
    bridge().run(input);

    EXPECT_EQ(output_, (std::vector<std::string>{
                           R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2025-06-18"}})",
                           R"({"jsonrpc":"2.0","id":2,"result":{}})",
                       }));
    const auto posts = host().posts();
    ASSERT_EQ(posts.size(), 3u) << "the blank line is not sent";
    EXPECT_EQ(posts[0].body, kInitializeLine);
    EXPECT_EQ(posts[1].body, kInitializedLine) << "the carriage return is part of the line's end";
    EXPECT_EQ(posts[2].body, kToolsListLine);
    for (const auto& post : posts) {
        SCOPED_TRACE(post.body);
        EXPECT_EQ(post.method, "POST");
        EXPECT_EQ(post.target, "/mcp");
        EXPECT_EQ(post.header("host"), "127.0.0.1:" + std::to_string(host().port()));
        EXPECT_EQ(post.header("authorization"), "Bearer " + std::string(kToken));
        EXPECT_EQ(post.header("content-type"), "application/json");
        EXPECT_EQ(post.header("accept"), "application/json, text/event-stream");
        EXPECT_EQ(post.header("x-vantor-mcp-client"), "Claude%20Code") << "from the initialize line on";
    }
    EXPECT_EQ(posts[0].header("mcp-protocol-version"), std::nullopt) << "none known before the reply";
    EXPECT_EQ(posts[1].header("mcp-protocol-version"), "2025-06-18");
    EXPECT_EQ(posts[2].header("mcp-protocol-version"), "2025-06-18");
    EXPECT_EQ(launcher_.launches, 0);
}

TEST_F(StdioBridgeTest, ClientNameComesFromEachInitialize) {
    forward({R"({"method":"ping","id":0})",
             R"({"id":1,"method":"initialize","params":{"clientInfo":{"name":"Claude Code"}}})",
             R"({"id":2,"method":"tools/list"})",
             R"({"id":3,"method":"initialize","params":{"clientInfo":{"name":"x","title":"Zoë's App"}}})",
             R"({"id":4,"method":"initialize","params":{}})"});
    const auto posts = host().posts();
    ASSERT_EQ(posts.size(), 5u);
    EXPECT_EQ(posts[0].header("x-vantor-mcp-client"), std::nullopt);
    EXPECT_EQ(posts[1].header("x-vantor-mcp-client"), "Claude%20Code");
    EXPECT_EQ(posts[2].header("x-vantor-mcp-client"), "Claude%20Code");
    EXPECT_EQ(posts[3].header("x-vantor-mcp-client"), "Zo%C3%AB%27s%20App");
    EXPECT_EQ(posts[4].header("x-vantor-mcp-client"), "Zo%C3%AB%27s%20App") << "an initialize without a name keeps it";

    forward({R"({"id":5,"method":"initialize","params":{"clientInfo":{"name":""}}})"});
    EXPECT_EQ(host().posts().back().header("x-vantor-mcp-client"), std::nullopt) << "an empty name sends no header";
}

// The token is kept from one post to the next, and read again once the host refuses it.
TEST_F(StdioBridgeTest, ANewTokenIsReadOnceTheOldOneIsRefused) {
    const std::string newToken = "f00dfeedf00dfeedf00dfeedf00dfeedf00dfeedf00dfeed";
    std::string hostToken(kToken);
    host().setResponder([&](const HostRequest& request) {
        if (request.header("authorization") == "Bearer " + hostToken) return test_support::answerLikeTheHost(request);
        return HostAnswer{HostAnswer::Kind::http, 401,
                          R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Missing or wrong access token."},"id":null})"};
    });
    EXPECT_EQ(forward({R"({"id":1,"method":"ping"})"}).size(), 1u);
    hostToken = newToken;
    settings_.setString(setting::kToken, newToken);
    EXPECT_EQ(forward({R"({"id":2,"method":"ping"})"}), std::vector<std::string>{R"({"jsonrpc":"2.0","id":2,"result":{}})"});
    auto posts = host().posts();
    ASSERT_EQ(posts.size(), 3u) << "refused once, then posted again";
    EXPECT_EQ(posts[1].header("authorization"), "Bearer " + std::string(kToken)) << "kept until it failed";
    EXPECT_EQ(posts[2].header("authorization"), "Bearer " + newToken);

    hostToken = "another";
    EXPECT_EQ(forward({R"({"id":3,"method":"ping"})"}),
              std::vector<std::string>{
                  R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Missing or wrong access token."},"id":3})"})
        << "the stored token refused: the refusal is the reply";
    EXPECT_EQ(host().posts().size(), 4u) << "posted once";
    EXPECT_EQ(launcher_.launches, 0);
}

// The program moved to another port: the old one, once it fails, sends the bridge to the
// settings again, and the line reaches the program without a launch.
TEST_F(StdioBridgeTest, ANewPortIsReadOnceTheOldOneFails) {
    const struct {
        std::string_view name;
        std::function<void(std::unique_ptr<FakeHost>&)> leave;
    } kCases[] = {
        {"nothing listens there", [](std::unique_ptr<FakeHost>& old) { old.reset(); }},
        {"another program answers there",
         [](std::unique_ptr<FakeHost>& old) {
             old->setResponder([](const HostRequest&) { return HostAnswer{HostAnswer::Kind::http, 200, "{}", std::nullopt}; });
         }},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        host_ = std::make_unique<FakeHost>();
        usePort(host_->port());
        EXPECT_EQ(forward({R"({"id":1,"method":"ping"})"}).size(), 1u);

        auto moved = std::make_unique<FakeHost>();
        usePort(moved->port());
        c.leave(host_);
        EXPECT_EQ(forward({R"({"id":2,"method":"ping"})"}), std::vector<std::string>{R"({"jsonrpc":"2.0","id":2,"result":{}})"});
        ASSERT_EQ(moved->posts().size(), 1u);
        EXPECT_EQ(moved->posts()[0].header("host"), "127.0.0.1:" + std::to_string(moved->port()));
        host_ = std::move(moved);
    }
    EXPECT_EQ(launcher_.launches, 0);
}

TEST_F(StdioBridgeTest, Replies) {
    const struct {
        std::string_view name;
        HostAnswer answer;
        std::string_view line;
        std::vector<std::string> written;
    } kCases[] = {
        {"202 writes nothing", {HostAnswer::Kind::http, 202, R"({"ignored":true})"}, R"({"id":1,"method":"x"})", {}},
        {"empty body for a request",
         {HostAnswer::Kind::http, 200, ""},
         R"({"id":1,"method":"x"})",
         {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: The answer from )" +
          host().url() + R"( is no JSON-RPC message (HTTP 200)."}})"}},
        {"empty body for a notification", {HostAnswer::Kind::http, 200, ""}, R"({"method":"x"})", {}},
        {"pretty body in one line", {HostAnswer::Kind::http, 200, "{\n  \"id\" : 1,\n  \"result\" : {}\n}\n"},
         R"({"id":1,"method":"x"})", {R"({"id":1,"result":{}})"}},
        {"401 written with the request's id",
         {HostAnswer::Kind::http, 401,
          R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Missing or wrong access token."},"id":null})"},
         R"({"jsonrpc":"2.0","id":3,"method":"tools/list"})",
         {R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Missing or wrong access token."},"id":3})"}},
        {"non-json line posted anyway",
         {HostAnswer::Kind::http, 400, R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"P"},"id":null})"},
         "hello",
         {R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"P"},"id":null})"}},
        {"non-json line answered with no JSON", {HostAnswer::Kind::http, 400, "bad"}, "hello", {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        host().setResponder([&](const HostRequest&) { return c.answer; });
        EXPECT_EQ(forward({c.line}), c.written);
    }
}

// A line of many socket buffers goes out whole, an answer of megabytes (a picture) comes back
// whole, and the next small answer is read as well.
TEST_F(StdioBridgeTest, LargeLinesAndAnswersPassWhole) {
    const std::string line = R"({"jsonrpc":"2.0","id":1,"method":"x","params":{"pad":")" + std::string(800'000, 'l') + R"("}})";
    const std::string answer = R"({"jsonrpc":"2.0","id":1,"result":{"pad":")" + std::string(3'000'000, 'a') + R"("}})";
    host().setResponder([&](const HostRequest&) { return HostAnswer{HostAnswer::Kind::http, 200, answer}; });
    const auto written = forward({line});
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written[0] == answer) << "an answer of " << written[0].size() << " bytes";
    ASSERT_EQ(host().posts().size(), 1u);
    EXPECT_TRUE(host().posts()[0].body == line) << "a line of " << host().posts()[0].body.size() << " bytes";

    host().setResponder(test_support::answerLikeTheHost);
    EXPECT_EQ(forward({R"({"id":2,"method":"x"})"}), std::vector<std::string>{R"({"jsonrpc":"2.0","id":2,"result":{}})"});
}

// JSON-RPC answers neither notifications nor responses, not even when the host refuses them.
TEST_F(StdioBridgeTest, NotificationsAndResponsesGetNoLineWhateverTheAnswer) {
    constexpr std::string_view kLines[] = {
        R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
        R"({"jsonrpc":"2.0","id":4,"result":{}})",
        R"({"jsonrpc":"2.0","id":5,"error":{"code":-1,"message":"no"}})",
    };
    for (const int status : {200, 400, 401, 500}) {
        host().setResponder([&](const HostRequest&) {
            return HostAnswer{HostAnswer::Kind::http, status,
                              R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: no"},"id":null})"};
        });
        for (const auto line : kLines) {
            SCOPED_TRACE(std::to_string(status) + " " + std::string(line));
            EXPECT_EQ(forward({line}), std::vector<std::string>{});
        }
    }
    EXPECT_EQ(host().posts().size(), 4 * std::size(kLines)) << "all of them posted";
}

TEST_F(StdioBridgeTest, AnIDThatIsNoStringOrNumberIsRefusedUnderIDNull) {
    const std::vector<std::string> refused{std::string(kBadIDLine)};
    for (const auto line : {R"({"jsonrpc":"2.0","id":[1],"method":"tools/list"})", R"({"id":{"a":1},"method":"x"})",
                            R"({"id":true,"method":"x"})", R"({"id":1.5,"method":"x"})", R"({"id":[1],"result":{}})"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(forward({line}), refused);
    }
    EXPECT_TRUE(host().posts().empty());
    EXPECT_EQ(forward({R"({"id":7.0,"method":"x"})"}), std::vector<std::string>{R"({"jsonrpc":"2.0","id":7.0,"result":{}})"})
        << "a whole number written with a point is an id, and is posted";
}

// Another server on the program's port: what it says never reaches the client as a reply.
TEST_F(StdioBridgeTest, AnAnswerThatIsNotTheProgramsBecomesAnError) {
    const std::string html = "<!DOCTYPE html>\n<html>\n<body>It works!</body>\n</html>\n";
    const auto unreachable = [](std::string_view id, const std::string& reason) {
        return R"({"jsonrpc":"2.0","id":)" + std::string(id) +
               R"(,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: )" + reason + R"("}})";
    };
    const struct {
        std::string_view name;
        HostAnswer answer;
        std::string reason;
    } kCases[] = {
        {"a web page, without the launch header", {HostAnswer::Kind::http, 200, html, std::nullopt},
         "Another program answers at " + host().url() + " (HTTP 200)."},
        {"a JSON reply, without the launch header",
         {HostAnswer::Kind::http, 200, R"({"jsonrpc":"2.0","id":1,"result":{}})", std::nullopt},
         "Another program answers at " + host().url() + " (HTTP 200)."},
        {"a web page with the launch header", {HostAnswer::Kind::http, 404, html},
         "The answer from " + host().url() + " is no JSON-RPC message (HTTP 404)."},
        {"a JSON array", {HostAnswer::Kind::http, 200, "[1,2]"},
         "The answer from " + host().url() + " is no JSON-RPC message (HTTP 200)."},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        host().setResponder([&](const HostRequest&) { return c.answer; });
        EXPECT_EQ(forward({R"({"jsonrpc":"2.0","id":"r1","method":"tools/list"})", R"({"method":"notifications/x"})",
                           "not json"}),
                  std::vector<std::string>{unreachable(R"("r1")", c.reason)})
            << "one error line for the request, nothing for the others";
    }
    EXPECT_EQ(launcher_.launches, 0);
}

// A port beyond 65535 must not wrap around to another program's port with the token.
TEST_F(StdioBridgeTest, APortOutOfRangeSendsNothingAnywhere) {
    const auto wrapped = std::to_string(host().port() + 65536);
    settings_.setString(setting::kPort, wrapped);
    const std::string problem = wrapped + " is not a valid port (use 1–65535).";
    EXPECT_EQ(forward({R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})", R"({"method":"notifications/x"})"}),
              std::vector<std::string>{R"({"jsonrpc":"2.0","id":1,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: )" +
                                       problem + R"("}})"});
    EXPECT_TRUE(host().requests().empty()) << "the listener on the wrapped-around port got nothing";
    EXPECT_EQ(launcher_.launches, 0);

    settings_.setString(setting::kPort, "47517x");
    EXPECT_EQ(forward({R"({"id":2,"method":"x"})"}),
              std::vector<std::string>{R"({"jsonrpc":"2.0","id":2,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: 47517x is not a valid port (use 1–65535)."}})"});
}

// A line longer than the host takes is refused under its id without being posted, and the
// bridge goes on with the next line.
TEST_F(StdioBridgeTest, ALineTooLargeIsRefusedUnderItsID) {
    const std::string padding(StdioBridge::kLineLimit + 1000, 'x');
    const std::string large = R"({"jsonrpc":"2.0","method":"tools/call","params":{"pad":")" + padding + R"("},"id":9})";
    const std::string largeNotification = R"({"jsonrpc":"2.0","method":"n","params":{"pad":")" + padding + R"("}})";
    std::istringstream input(large + "\n" + largeNotification + "\n" + std::string(kToolsListLine) + "\n");
    bridge().run(input);
    EXPECT_EQ(output_, (std::vector<std::string>{
                           R"({"jsonrpc":"2.0","id":9,"error":{"code":-32600,"message":"Invalid Request: The message is too large: )" +
                               std::to_string(large.size()) + " bytes, and Vantor MCP takes at most " +
                               std::to_string(StdioBridge::kLineLimit) + R"(."}})",
                           R"({"jsonrpc":"2.0","id":2,"result":{}})",
                       }));
    ASSERT_EQ(host().posts().size(), 1u);
    EXPECT_EQ(host().posts()[0].body, kToolsListLine);

    output_.clear();
    forward({large});
    EXPECT_EQ(output_.size(), 1u) << "the same through forwardLine";
    EXPECT_EQ(host().posts().size(), 1u);
}

TEST_F(StdioBridgeTest, ToldToFetchToolsAgainWhenTheProgramWasStartedAnew) {
    std::string launch = "A";
    bool sendLaunch = true;
    host().setResponder([&](const HostRequest& request) {
        auto answer = test_support::answerLikeTheHost(request);
        answer.launch = sendLaunch ? std::optional(launch) : std::nullopt;
        return answer;
    });
    const std::string changed(kToolsListChangedLine);

    EXPECT_EQ(forward({R"({"id":1,"method":"x"})"}).size(), 1u) << "the first launch id seen";
    EXPECT_EQ(forward({R"({"id":2,"method":"x"})"}).size(), 1u) << "the same one";
    launch = "B";
    EXPECT_EQ(forward({R"({"id":3,"method":"x"})"}),
              (std::vector<std::string>{R"({"jsonrpc":"2.0","id":3,"result":{}})", changed}))
        << "the reply first, then the notice";
    sendLaunch = false;
    EXPECT_EQ(forward({R"({"id":4,"method":"x"})"}).size(), 1u) << "no header: nothing forgotten";
    sendLaunch = true;
    EXPECT_EQ(forward({R"({"id":5,"method":"x"})"}).size(), 1u) << "still B";
    launch = "C";
    EXPECT_EQ(forward({R"({"method":"notifications/x"})"}), (std::vector<std::string>{changed}))
        << "after a 202 too";
}

class StdioBridgeWithoutProgramTest : public StdioBridgeTest {
protected:
    StdioBridgeWithoutProgramTest() : StdioBridgeTest(false) {}

    std::string unreachable(std::string_view id, std::string_view reason) {
        return R"({"jsonrpc":"2.0","id":)" + std::string(id) +
               R"(,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: )" + std::string(reason) + R"("}})";
    }
};

TEST_F(StdioBridgeWithoutProgramTest, StartsTheProgramAndPostsAgain) {
    launcher_.onLaunch = [this] { host().listen(); };
    EXPECT_EQ(forward({kInitializeLine}).size(), 1u);
    EXPECT_EQ(launcher_.launches, 1);
    EXPECT_EQ(host().posts().size(), 1u) << "the line reaches the program once";
    EXPECT_GE(client_.probes, 1);
    EXPECT_EQ(forward({kToolsListLine}).size(), 1u);
    EXPECT_EQ(launcher_.launches, 1) << "once it runs, no more launches";
}

TEST_F(StdioBridgeWithoutProgramTest, RequestGetsAnErrorAfterTheProbes) {
    const auto reason = "The program was started but doesn't answer at " + host().url() + ".";
    EXPECT_EQ(forward({R"({"jsonrpc":"2.0","id":7,"method":"tools/list"})"}),
              (std::vector<std::string>{unreachable("7", reason)}));
    EXPECT_EQ(launcher_.launches, 1);
    EXPECT_EQ(client_.probes, 40);

    EXPECT_EQ(forward({R"({"jsonrpc":"2.0","id":null,"method":"tools/list"})"}),
              (std::vector<std::string>{unreachable("null", reason)}));
    EXPECT_EQ(forward({R"({"jsonrpc":"2.0","method":"notifications/initialized"})", "not json"}),
              std::vector<std::string>{})
        << "nothing for lines without an id";
    EXPECT_EQ(launcher_.launches, 4) << "every line tries again";

    // The next line is handled normally once the program listens.
    host().listen();
    EXPECT_EQ(forward({R"({"jsonrpc":"2.0","id":8,"method":"tools/list"})"}),
              (std::vector<std::string>{R"({"jsonrpc":"2.0","id":8,"result":{}})"}));
}

TEST_F(StdioBridgeWithoutProgramTest, ProgramThatCantBeStarted) {
    launcher_.onLaunch = [] { throw platform::Error("Can't start vantor-mcp: No such file or directory"); };
    EXPECT_EQ(forward({R"({"id":"a","method":"x"})", R"({"method":"x"})"}),
              (std::vector<std::string>{unreachable(R"("a")", "Can't start vantor-mcp: No such file or directory")}));
    EXPECT_EQ(client_.probes, 0);
}

TEST_F(StdioBridgeTest, OtherFailuresAreReportedWithoutALaunch) {
    const auto where = "127.0.0.1:" + std::to_string(host().port());
    const struct {
        std::string_view name;
        HostAnswer::Kind kind;
        std::string reason;
    } kCases[] = {
        {"no answer in time", HostAnswer::Kind::silence, "The request to " + where + " timed out."},
        {"connection closed", HostAnswer::Kind::hangUp, "The connection to " + where + " failed (end of stream)."},
        {"no HTTP", HostAnswer::Kind::garbage, "The connection to " + where + " failed (bad version)."},
    };
    CountingClient quick({200ms, 200ms});
    StdioBridge bridge({settings_, random_, quick, launcher_, [this](std::string_view line) { output_.emplace_back(line); }},
                       {1ms, 40});
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        host().setResponder([&](const HostRequest&) { return HostAnswer{c.kind}; });
        output_.clear();
        bridge.forwardLine(R"({"id":1,"method":"x"})");
        EXPECT_EQ(output_, (std::vector<std::string>{
                               R"({"jsonrpc":"2.0","id":1,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: )" +
                               c.reason + R"("}})"}));
    }
    EXPECT_EQ(launcher_.launches, 0);
}

TEST_F(StdioBridgeTest, TokenThatCantBeMadeIsReported) {
    platform::MemorySettings empty;
    empty.setInt(setting::kPort, host().port());
    random_.failNext();
    StdioBridge bridge({empty, random_, client_, launcher_, [this](std::string_view line) { output_.emplace_back(line); }});
    bridge.forwardLine(R"({"id":1,"method":"x"})");
    ASSERT_EQ(output_.size(), 1u);
    EXPECT_TRUE(output_[0].starts_with(R"({"jsonrpc":"2.0","id":1,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: )"))
        << output_[0];
    EXPECT_TRUE(host().posts().empty());
}

}  // namespace
}  // namespace app
