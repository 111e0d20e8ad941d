#include "mcp/http/client/http_client_transport.hpp"

#include "mcp/client/client.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "net/error.hpp"
#include "tests/mcp/http/client/transport_fixture.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <boost/url/parse.hpp>

#include <atomic>
#include <cstdint>
#include <functional>

namespace mcp {
namespace {

using test_support::ChunkFeed;
using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;

constexpr std::string_view kPing = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";

Reply json(std::string body, std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("Content-Type", "application/json");
    return Reply{.status = 200, .headers = std::move(headers), .body = std::move(body)};
}

// Answers every challenge with `answer` and counts the calls; hands out a new token each time.
class StubAuthorizer final : public HTTPClientAuthorizer {
public:
    StubAuthorizer(int maxAttempts, bool answer) : maxAttempts_(maxAttempts), answer_(answer) {}

    int maxAuthorizationAttempts() const override { return maxAttempts_; }
    void validateEndpointSecurity(const boost::urls::url&) override {
        if (refuseEndpoint) throw std::runtime_error("endpoint must use https");
    }
    std::optional<std::string> authorizationHeader(const boost::urls::url&) override {
        return "Bearer token-" + std::to_string(challenges.size());
    }
    boost::asio::awaitable<bool> handleChallenge(int status, const net::HeaderMap& headers, const boost::urls::url&,
                                                 std::optional<std::string> operationKey, net::HTTPClient&) override {
        challenges.push_back({status, headers.get("WWW-Authenticate"), std::move(operationKey)});
        co_return answer_;
    }

    struct Challenge {
        int status;
        std::optional<std::string> wwwAuthenticate;
        std::optional<std::string> operationKey;
    };
    std::vector<Challenge> challenges;
    bool refuseEndpoint = false;

private:
    int maxAttempts_;
    bool answer_;
};

// The POST path alone: no standing GET stream beside it.
HTTPClientTransport::Options postOnly() {
    HTTPClientTransport::Options options;
    options.streaming = false;
    return options;
}

class HTTPClientTransportTest : public testing::HTTPClientTransportFixture {
protected:
    std::shared_ptr<HTTPClientTransport> makeTransport(const ScriptedHTTPServer& server,
                                                       HTTPClientTransport::Options options = postOnly()) {
        auto transport = HTTPClientTransport::make(io_.get_executor(),
                                                   boost::urls::parse_uri(server.url("/mcp")).value(), std::move(options));
        await(transport->connect());
        return transport;
    }

    std::string sendFailure(HTTPClientTransport& transport, std::string_view message = kPing) {
        return HTTPClientTransportFixture::sendFailure(transport, message);
    }
};

TEST_F(HTTPClientTransportTest, EachUnsuccessfulStatusFailsTheSendWithItsText) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        const int status = std::stoi(request.header("X-Status").value_or("500"));
        Reply reply{.status = status, .body = "no"};
        if (auto type = request.header("X-Type")) reply.headers.emplace_back("Content-Type", *type);
        return reply;
    });
    struct Case {
        int status;
        const char* contentType;
        bool streaming;
        const char* want;
    };
    constexpr Case kCases[] = {
        {400, nullptr, false, "Bad request"},
        {401, nullptr, false, "Authentication required"},
        {403, nullptr, false, "Access forbidden"},
        {404, nullptr, false, "Endpoint not found"},
        {405, nullptr, false, "Method not allowed"},
        {405, nullptr, true, "Server does not support streaming"},
        {408, nullptr, false, "Request timeout"},
        {429, nullptr, false, "Too many requests"},
        {503, nullptr, false, "Server error: 503"},
        {500, "application/json", false, "Server error: 500"},
        {418, "text/plain", false, "Unexpected HTTP response: 418 (text/plain)"},
        {302, nullptr, false, "Unexpected HTTP response: 302 ()"},
        {307, "text/html", false, "Unexpected HTTP response: 307 (text/html)"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(std::to_string(row.status) + (row.streaming ? " streaming" : ""));
        auto options = postOnly();
        options.streaming = row.streaming;
        options.requestModifier = [row](net::HTTPRequest request) {
            request.headers.set("X-Status", std::to_string(row.status));
            if (row.contentType) request.headers.set("X-Type", row.contentType);
            return request;
        };
        auto transport = makeTransport(server, std::move(options));
        EXPECT_EQ(sendFailure(*transport), row.want);
    }
    EXPECT_EQ(server.requests().size(), std::size(kCases)) << "no status is retried, no redirect followed";
}

TEST_F(HTTPClientTransportTest, AnUnresolvedChallengeReadsAsAnInternalError) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.status = 401}; });
    auto transport = makeTransport(server);
    try {
        await(transport->send(std::string(kPing)));
        FAIL() << "the send succeeded";
    } catch (const MCPError& error) {
        EXPECT_EQ(error.code(), ErrorCode::internalError);
        EXPECT_STREQ(error.what(), "Internal error: Authentication required");
    }
}

TEST_F(HTTPClientTransportTest, PostsTheMessageWithItsHeadersAndKeepsTheSession) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.header("MCP-Session-Id")) return json(R"({"jsonrpc":"2.0","id":2,"result":{}})");
        return json(R"({"jsonrpc":"2.0","id":1,"result":{}})", {{"mcp-session-id", "session-1"}});
    });
    auto options = postOnly();
    options.protocolVersion = "2025-03-26";
    auto transport = makeTransport(server, std::move(options));

    await(transport->send(std::string(kPing)));
    EXPECT_EQ(await(transport->sessionID()), "session-1");
    await(transport->updateNegotiatedProtocolVersion("2025-06-18"));
    await(transport->send(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})"));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/mcp");
    EXPECT_EQ(requests[0].body, kPing);
    EXPECT_EQ(requests[0].header("Accept"), "application/json, text/event-stream");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(requests[0].header("MCP-Protocol-Version"), "2025-03-26");
    EXPECT_EQ(requests[0].header("MCP-Session-Id"), std::nullopt);
    EXPECT_EQ(requests[0].header("Authorization"), std::nullopt);
    EXPECT_EQ(requests[1].header("MCP-Session-Id"), "session-1");
    EXPECT_EQ(requests[1].header("MCP-Protocol-Version"), "2025-06-18");

    auto incoming = transport->receive();
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"jsonrpc":"2.0","id":1,"result":{}})");
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"jsonrpc":"2.0","id":2,"result":{}})");
}

TEST_F(HTTPClientTransportTest, TheClientsHandshakeSetsTheVersionTheServerAnswered) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        const auto message = boost::json::parse(request.body).as_object();
        const auto* id = message.if_contains("id");
        if (!id) return Reply{.status = 202};
        const std::string result = message.at("method") == "initialize"
                                       ? R"({"protocolVersion":"2025-03-26","capabilities":{},)"
                                         R"("serverInfo":{"name":"s","version":"1"}})"
                                       : "{}";
        return json(R"({"jsonrpc":"2.0","id":)" + boost::json::serialize(*id) + R"(,"result":)" + result + "}");
    });
    auto client = std::make_shared<Client>(io_.get_executor(), "probe", "1.0");
    await(client->connect(makeTransport(server)));
    await(client->ping());
    await(client->disconnect());

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u) << "initialize, initialized, ping";
    EXPECT_EQ(requests[2].header("MCP-Protocol-Version"), "2025-03-26");
}

TEST_F(HTTPClientTransportTest, AnExpiredSessionIsForgottenSoTheNextPostGoesWithoutIt) {
    std::atomic<int> answered = 0;
    ScriptedHTTPServer server([&](const RecordedRequest&) {
        if (answered++ == 0) return json(R"({"jsonrpc":"2.0","id":1,"result":{}})", {{"MCP-Session-Id", "old"}});
        return Reply{.status = 404};
    });
    auto transport = makeTransport(server);
    await(transport->send(std::string(kPing)));
    EXPECT_EQ(sendFailure(*transport), "Session expired");
    EXPECT_EQ(await(transport->sessionID()), std::nullopt);
    EXPECT_EQ(sendFailure(*transport), "Endpoint not found");
    EXPECT_EQ(server.requests().at(2).header("MCP-Session-Id"), std::nullopt);
}

TEST_F(HTTPClientTransportTest, AChallengeStillGivesItsSessionID) {
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return Reply{.status = 401, .headers = {{"MCP-Session-Id", "s-401"}}};
    });
    auto transport = makeTransport(server);
    EXPECT_EQ(sendFailure(*transport), "Authentication required");
    EXPECT_EQ(await(transport->sessionID()), "s-401");
    EXPECT_EQ(sendFailure(*transport), "Authentication required");
    EXPECT_EQ(server.requests().at(1).header("MCP-Session-Id"), "s-401");
}

TEST_F(HTTPClientTransportTest, JSONAnswersArriveWholeAndOtherAnswersYieldNothing) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.body == "batch") {
            return Reply{.headers = {{"Content-Type", "application/json; charset=utf-8"}},
                         .body = R"([{"jsonrpc":"2.0","id":1,"result":{}},{"jsonrpc":"2.0","id":2,"result":{}}])"};
        }
        if (request.body == "empty") return json("");
        if (request.body == "html") return Reply{.headers = {{"Content-Type", "text/html"}}, .body = "<p>"};
        return Reply{.status = 202};
    });
    auto transport = makeTransport(server);
    for (const char* message : {"notification", "batch", "html", "empty"}) await(transport->send(std::string(message)));
    await(transport->disconnect());

    std::vector<std::string> received;
    auto incoming = transport->receive();
    while (auto message = await(incoming->next())) received.push_back(message->text());
    EXPECT_EQ(received, (std::vector<std::string>{
                            R"([{"jsonrpc":"2.0","id":1,"result":{}},{"jsonrpc":"2.0","id":2,"result":{}}])", ""}));
}

TEST_F(HTTPClientTransportTest, AnAnswerBeyondTheSizeLimitFailsTheSendClearly) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return json(std::string(2000, ' ') + "{}"); });
    auto options = postOnly();
    options.maxMessageBytes = 1000;
    auto transport = makeTransport(server, std::move(options));
    EXPECT_EQ(sendFailure(*transport), "Response too large: more than 1000 bytes");
}

TEST_F(HTTPClientTransportTest, AChallengeIsAnsweredUpToTheAuthorizersAttemptLimit) {
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return Reply{.status = 401, .headers = {{"WWW-Authenticate", "Basic realm=\"a\""},
                                                {"WWW-Authenticate", "Bearer scope=\"tools\""}}};
    });
    struct Case {
        const char* name;
        int maxAttempts;
        bool answer;
        std::size_t posts;
    };
    for (const auto& row : {Case{"always again", 3, true, 3}, Case{"gives up", 3, false, 1},
                            Case{"one attempt", 1, true, 1}, Case{"no attempts", 0, true, 1}}) {
        SCOPED_TRACE(row.name);
        const auto before = server.requests().size();
        auto authorizer = std::make_shared<StubAuthorizer>(row.maxAttempts, row.answer);
        auto options = postOnly();
        options.authorizer = authorizer;
        auto transport = makeTransport(server, std::move(options));

        EXPECT_EQ(sendFailure(*transport, "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\" tools/call\\n\"}"),
                  "Authentication required");

        const auto requests = server.requests();
        ASSERT_EQ(requests.size() - before, row.posts);
        ASSERT_EQ(authorizer->challenges.size(), row.posts);
        for (std::size_t post = 0; post < row.posts; ++post) {
            EXPECT_EQ(requests[before + post].header("Authorization"), "Bearer token-" + std::to_string(post));
            EXPECT_EQ(authorizer->challenges[post].status, 401);
            EXPECT_EQ(authorizer->challenges[post].operationKey, "tools/call");
            EXPECT_EQ(authorizer->challenges[post].wwwAuthenticate, "Basic realm=\"a\", Bearer scope=\"tools\"");
        }
    }
}

TEST_F(HTTPClientTransportTest, ARefusedEndpointSendsNothing) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return json("{}"); });
    auto authorizer = std::make_shared<StubAuthorizer>(3, true);
    authorizer->refuseEndpoint = true;
    auto options = postOnly();
    options.authorizer = authorizer;
    auto transport = makeTransport(server, std::move(options));
    EXPECT_EQ(sendFailure(*transport), "Authorization flow failed: endpoint must use https");
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HTTPClientTransportTest, TheOperationKeyIsTheTrimmedMethodOfARequestOrNotificationSentAsText) {
    struct Case {
        const char* message;
        std::optional<std::string> want;
    };
    const Case cases[] = {
        {R"({"jsonrpc":"2.0","id":1,"method":" tools/call\n"})", "tools/call"},
        {R"({"jsonrpc":"2.0","method":"notifications/initialized"})", "notifications/initialized"},
        {R"({"jsonrpc":"2.0","id":1,"result":{}})", std::nullopt},
        {R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])", std::nullopt},
        {R"({"jsonrpc":"2.0","id":1,"method":"  "})", std::nullopt},
        {R"({"method":7})", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const auto& [message, want] : cases) {
        SCOPED_TRACE(message);
        EXPECT_EQ(HTTPClientTransport::operationKey(OutgoingMessage::outlineOf(message).method), want);
    }
}

TEST_F(HTTPClientTransportTest, AnAnswerIsReadOnceOnItsWayToTheClientAndWhatTheClientSendsNever) {
    std::atomic<bool> asEventStream = false;
    ScriptedHTTPServer server([&](const RecordedRequest& request) {
        const auto message = boost::json::parse(request.body).as_object();
        const auto* id = message.if_contains("id");
        if (!id) return Reply{.status = 202};
        const std::string result = message.at("method") == "initialize"
                                       ? R"({"protocolVersion":"2025-06-18","capabilities":{},)"
                                         R"("serverInfo":{"name":"s","version":"1"}})"
                                       : "{}";
        const std::string answer = R"({"jsonrpc":"2.0","id":)" + boost::json::serialize(*id) + R"(,"result":)" + result + "}";
        if (!asEventStream) return json(answer);
        return Reply{.headers = {{"Content-Type", "text/event-stream"}}, .body = "id: e1\ndata: " + answer + "\n\n"};
    });
    auto client = std::make_shared<Client>(io_.get_executor(), "probe", "1.0");
    await(client->connect(makeTransport(server)));
    const struct {
        std::string_view name;
        bool eventStream;
        std::function<boost::asio::awaitable<void>()> exchange;
        std::uint64_t wantReads;
    } kCases[] = {
        {"a JSON answer", false, [&] { return client->ping(); }, 1},
        {"an event-stream answer", true, [&] { return client->ping(); }, 1},
        {"a notification, answered with nothing", false, [&] { return client->notifyRootsChanged(); }, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        asEventStream = c.eventStream;
        const auto before = jsonReadCount();
        await(c.exchange());
        EXPECT_EQ(jsonReadCount() - before, c.wantReads);
    }
    await(client->disconnect());
}

TEST_F(HTTPClientTransportTest, SendingNeedsAConnectionAndEndsWithTheDisconnect) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return json("{}"); });
    auto transport =
        HTTPClientTransport::make(io_.get_executor(), boost::urls::parse_uri(server.url("/mcp")).value(), postOnly());
    EXPECT_EQ(sendFailure(*transport), "Transport not connected");
    EXPECT_TRUE(server.requests().empty());

    await(transport->connect());
    await(transport->connect());
    await(transport->disconnect());
    await(transport->disconnect());
    EXPECT_EQ(sendFailure(*transport), "Transport not connected");
    EXPECT_THROW(await(transport->connect()), MCPError);
}

TEST_F(HTTPClientTransportTest, DisconnectCancelsASendWaitingForASlowAnswer) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.delay = std::chrono::seconds(10)}; });
    auto transport = makeTransport(server);
    auto sending = start(transport->send(std::string(kPing)));
    pollUntil([&] { return server.requests().size() == 1; });

    const auto disconnectedAt = std::chrono::steady_clock::now();
    auto disconnecting = start(transport->disconnect());
    runUntil([&] { return sending->done && disconnecting->done; });
    EXPECT_LT(std::chrono::steady_clock::now() - disconnectedAt, std::chrono::milliseconds(100));
    try {
        std::rethrow_exception(sending->error);
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), net::Error::cancelled);
    }
    EXPECT_EQ(await(transport->receive()->next()), std::nullopt);
}

}  // namespace
}  // namespace mcp
