#include "mcp/http/stateless_http_server_transport.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/initialize.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/server/server.hpp"
#include "tests/mcp/io_test_fixture.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include <gtest/gtest.h>

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/thread_pool.hpp>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

const HTTPHeaders kGoodHeaders{
    {"Host", "127.0.0.1:47293"},
    {"Accept", "application/json"},
    {"Content-Type", "application/json"},
};

HTTPRequest post(std::string body, HTTPHeaders headers = kGoodHeaders) {
    return HTTPRequest{"POST", std::move(headers), std::move(body), "/mcp"};
}

// The status and what the client reads: the error's message, or the body.
std::string describe(const HTTPResponse& response) {
    std::string text = std::to_string(response.statusCode());
    if (const auto* error = std::get_if<HTTPResponse::Error>(&response.value())) {
        return text + " " + error->error.errorDescription();
    }
    if (const auto body = response.bodyData()) text += " " + *body;
    return text;
}

// Counts its calls and lets everything pass.
class CountingPipeline final : public HTTPRequestValidationPipeline {
public:
    std::optional<HTTPResponse> validate(const HTTPRequest&, const HTTPValidationContext& context) const override {
        ++calls;
        lastContext = context;
        return std::nullopt;
    }
    mutable int calls = 0;
    mutable std::optional<HTTPValidationContext> lastContext;
};

class StatelessHTTPServerTransportTest : public testing::IOTestFixture {
protected:
    void SetUp() override { make(); }

    void TearDown() override {
        // A waiting request holds its transport; terminating ends every wait.
        await(transport_->disconnect());
        runReady();
    }

    std::shared_ptr<StatelessHTTPServerTransport> make(
        std::shared_ptr<const HTTPRequestValidationPipeline> pipeline = nullptr) {
        transport_ = StatelessHTTPServerTransport::make(io_.get_executor(), std::move(pipeline));
        return transport_;
    }

    HTTPResponse handle(HTTPRequest request) { return await(transport_->handleRequest(std::move(request))); }

    std::optional<std::string> nextMessage() { return testing::textOf(await(transport_->receive()->next())); }

    std::shared_ptr<StatelessHTTPServerTransport> transport_;
};

TEST_F(StatelessHTTPServerTransportTest, RefusesOtherMethodsWithAllowPOST) {
    for (const std::string_view method : {"GET", "PUT", "DELETE", "OPTIONS"}) {
        SCOPED_TRACE(method);
        const auto response = handle({std::string(method), kGoodHeaders, R"({"jsonrpc":"2.0","method":"x"})", "/mcp"});
        EXPECT_EQ(describe(response), "405 Invalid Request: Method Not Allowed");
        EXPECT_EQ(response.headers(), (HTTPHeaders{{"Content-Type", "application/json"}, {"Allow", "POST"}}));
    }
}

TEST_F(StatelessHTTPServerTransportTest, RefusesBodiesThatAreNotOneMessageBeforeAnyValidatorRuns) {
    const auto pipeline = std::make_shared<CountingPipeline>();
    make(pipeline);
    const HTTPHeaders foreign{{"Host", "evil.example"}, {"Origin", "null"}};
    constexpr std::string_view kEmpty = "400 Parse error: Invalid JSON: Empty request body";
    constexpr std::string_view kNotOneMessage = "400 Parse error: Invalid JSON: Invalid JSON-RPC message";
    const struct {
        std::string_view name;
        std::optional<std::string> body;
        std::string_view want;
    } kCases[] = {
        {"no body", std::nullopt, kEmpty},
        {"empty body", "", kEmpty},
        {"not json", "{", kNotOneMessage},
        {"batch", R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])", kNotOneMessage},
        {"string", R"("x")", kNotOneMessage},
        {"no method, result or error", R"({"jsonrpc":"2.0","id":1})", kNotOneMessage},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto response = handle({"POST", foreign, c.body, "/mcp"});
        EXPECT_EQ(describe(response), c.want);
        EXPECT_EQ(response.headers(), (HTTPHeaders{{"Content-Type", "application/json"}}));
    }
    EXPECT_EQ(pipeline->calls, 0);
}

TEST_F(StatelessHTTPServerTransportTest, DefaultPipelineRefusesBeforeTheServerSeesAnything) {
    const auto headersWith = [](std::string_view name, std::string value) {
        HTTPHeaders headers = kGoodHeaders;
        std::erase_if(headers, [&](const auto& header) { return equalsIgnoringCase(header.first, name); });
        if (!value.empty()) headers.emplace_back(std::string(name), std::move(value));
        return headers;
    };
    const std::string request = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";
    const struct {
        std::string_view name;
        HTTPHeaders headers;
        std::string_view want;
    } kCases[] = {
        {"no Accept", headersWith("Accept", ""),
         "406 Invalid Request: Not Acceptable: Client must accept application/json"},
        {"Accept */*", headersWith("Accept", "*/*"),
         "406 Invalid Request: Not Acceptable: Client must accept application/json"},
        {"text body", headersWith("Content-Type", "text/plain"),
         "415 Invalid Request: Unsupported Media Type: Content-Type must be application/json"},
        {"foreign host", headersWith("Host", "evil.example:47293"),
         "421 Invalid Request: Misdirected Request: Host header not allowed"},
        {"null origin", headersWith("Origin", "null"), "403 Invalid Request: Forbidden: Origin not allowed"},
        {"unsupported version", headersWith("MCP-Protocol-Version", "1999-01-01"),
         "400 Invalid Request: Bad Request: Unsupported protocol version: 1999-01-01. Supported: 2024-11-05, "
         "2025-03-26, 2025-06-18, 2025-11-25"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(handle(post(request, c.headers))), c.want);
    }
    // Nothing reached the server: the stream ends empty once the transport is terminated.
    await(transport_->disconnect());
    EXPECT_EQ(nextMessage(), std::nullopt);
}

TEST_F(StatelessHTTPServerTransportTest, InitializeIsExemptFromTheVersionCheck) {
    const std::string initialize =
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"1999-01-01"}})";
    HTTPHeaders headers = kGoodHeaders;
    headers.emplace_back("MCP-Protocol-Version", "1999-01-01");

    const auto reply = start(transport_->handleRequest(post(initialize, headers)));
    EXPECT_EQ(nextMessage(), initialize);
    await(transport_->send(R"({"jsonrpc":"2.0","id":1,"result":{}})"));
    runUntil([&] { return reply->done; });
    EXPECT_EQ(describe(*reply->value), R"(200 {"jsonrpc":"2.0","id":1,"result":{}})");
}

TEST_F(StatelessHTTPServerTransportTest, TellsTheValidatorsWhatTheMessageIs) {
    const auto pipeline = std::make_shared<CountingPipeline>();
    make(pipeline);
    handle({"post", {}, R"({"jsonrpc":"2.0","method":"initialize"})", std::nullopt});
    ASSERT_TRUE(pipeline->lastContext);
    EXPECT_EQ(pipeline->lastContext->httpMethod, "POST");
    EXPECT_EQ(pipeline->lastContext->sessionID, std::nullopt);
    EXPECT_FALSE(pipeline->lastContext->isInitializationRequest) << "a notification named initialize";
    EXPECT_EQ(pipeline->lastContext->supportedProtocolVersions, Version::supported());

    const auto reply = start(transport_->handleRequest(post(R"({"jsonrpc":"2.0","id":"a","method":"initialize"})")));
    runUntil([&] { return pipeline->calls == 2; });
    EXPECT_TRUE(pipeline->lastContext->isInitializationRequest);
}

TEST_F(StatelessHTTPServerTransportTest, AcknowledgesNotificationsAndClientResponsesAtOnce) {
    const std::string notification = R"({"jsonrpc":"2.0","method":"notifications/initialized"})";
    const std::string clientResponse = R"({"jsonrpc":"2.0","id":"s-1","result":{}})";
    for (const auto& body : {notification, clientResponse}) {
        SCOPED_TRACE(body);
        const auto response = handle(post(body));
        EXPECT_EQ(response.statusCode(), 202);
        EXPECT_TRUE(response.headers().empty());
        EXPECT_EQ(response.bodyData(), std::nullopt);
    }
    EXPECT_EQ(nextMessage(), notification);
    EXPECT_EQ(nextMessage(), clientResponse);
}

TEST_F(StatelessHTTPServerTransportTest, AnswersARequestWithExactlyTheServersBytes) {
    const std::string request = R"({"jsonrpc":"2.0","id":5,"method":"tools/list"})";
    const std::string answer = R"({"id":5,"jsonrpc":"2.0","result":{"tools":[]}})";

    const auto reply = start(transport_->handleRequest({"post", kGoodHeaders, request, std::nullopt}));
    EXPECT_EQ(nextMessage(), request);
    // The server's own traffic has no way to the client here and is dropped.
    await(transport_->send(R"({"jsonrpc":"2.0","method":"notifications/progress","params":{}})"));
    await(transport_->send(R"({"jsonrpc":"2.0","id":"srv-1","method":"roots/list"})"));
    await(transport_->send(R"({"jsonrpc":"2.0","id":6,"result":{}})"));
    await(transport_->send("not json"));
    runReady();
    EXPECT_FALSE(reply->done);

    await(transport_->send(answer));
    runUntil([&] { return reply->done; });
    EXPECT_EQ(reply->value->statusCode(), 200);
    EXPECT_EQ(reply->value->bodyData(), answer);
    EXPECT_EQ(reply->value->headers(), (HTTPHeaders{{"Content-Type", "application/json"}}));
}

TEST_F(StatelessHTTPServerTransportTest, RoutesAResponseByTheIDItIsGivenWithoutReadingIt) {
    // Bytes that name no id of their own: only the given id can take them to their request.
    const std::string answer = "an answer the transport can't read";
    const auto byNumber = start(transport_->handleRequest(post(R"({"jsonrpc":"2.0","id":5,"method":"tools/list"})")));
    const auto byString = start(transport_->handleRequest(post(R"({"jsonrpc":"2.0","id":"a","method":"tools/list"})")));
    nextMessage();
    nextMessage();

    await(transport_->sendResponse(answer, ID(6)));
    runReady();
    EXPECT_FALSE(byNumber->done || byString->done) << "a response nobody waits for is dropped";

    await(transport_->sendResponse(answer + " 5", ID("5")));
    await(transport_->sendResponse(answer + " a", ID("a")));
    runUntil([&] { return byNumber->done && byString->done; });
    EXPECT_EQ(describe(*byNumber->value), "200 " + answer + " 5") << "the string \"5\" names the request 5";
    EXPECT_EQ(describe(*byString->value), "200 " + answer + " a");

    await(transport_->disconnect());
    try {
        await(transport_->sendResponse(answer, ID(5)));
        ADD_FAILURE() << "sent after termination";
    } catch (const MCPError& error) {
        EXPECT_EQ(error.kind(), MCPError::Kind::connectionClosed);
    }
}

TEST_F(StatelessHTTPServerTransportTest, KeepsTheHTTPRequestWhileItsRequestIsServed) {
    const auto request = post(R"({"jsonrpc":"2.0","id":5,"method":"tools/list"})");
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), std::nullopt);

    const auto reply = start(transport_->handleRequest(request));
    nextMessage();
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), request);
    EXPECT_EQ(await(transport_->httpRequestContext(ID("5"))), request);
    EXPECT_EQ(await(transport_->httpRequestContext(ID(6))), std::nullopt);

    await(transport_->send(R"({"jsonrpc":"2.0","id":"5","result":{}})"));
    runUntil([&] { return reply->done; });
    EXPECT_EQ(reply->value->statusCode(), 200);
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), std::nullopt);
}

TEST_F(StatelessHTTPServerTransportTest, HandsTheServerTheValueItReadAndKeepsTheBodyAsItCame) {
    // Spaced out, so that what the server is handed tells the body's text from the value read
    // from it, which writes back compact.
    const auto notification = post(R"({ "jsonrpc": "2.0", "method": "notifications/initialized" })");
    const auto request = post(R"({ "jsonrpc": "2.0", "id": 5, "method": "tools/list" })");

    EXPECT_EQ(handle(notification).statusCode(), 202);
    EXPECT_EQ(nextMessage(), R"({"jsonrpc":"2.0","method":"notifications/initialized"})");

    const auto reply = start(transport_->handleRequest(request));
    EXPECT_EQ(nextMessage(), R"({"jsonrpc":"2.0","id":5,"method":"tools/list"})");
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), request) << "the body is the handler's to read as it came";
    await(transport_->send(R"({"jsonrpc":"2.0","id":5,"result":{}})"));
    runUntil([&] { return reply->done; });
    EXPECT_EQ(describe(*reply->value), R"(200 {"jsonrpc":"2.0","id":5,"result":{}})");
}

TEST_F(StatelessHTTPServerTransportTest, PairsConcurrentRequestsByTheirIDs) {
    const auto first = start(transport_->handleRequest(post(R"({"jsonrpc":"2.0","id":1,"method":"a"})")));
    const auto second = start(transport_->handleRequest(post(R"({"jsonrpc":"2.0","id":"two","method":"b"})")));
    nextMessage();
    nextMessage();
    await(transport_->send(R"({"jsonrpc":"2.0","id":"two","result":"B"})"));
    await(transport_->send(R"({"jsonrpc":"2.0","id":1,"error":{"code":-32601,"message":"Method not found"}})"));
    runUntil([&] { return first->done && second->done; });
    EXPECT_EQ(describe(*first->value),
              R"(200 {"jsonrpc":"2.0","id":1,"error":{"code":-32601,"message":"Method not found"}})");
    EXPECT_EQ(describe(*second->value), R"(200 {"jsonrpc":"2.0","id":"two","result":"B"})");
}

TEST_F(StatelessHTTPServerTransportTest, RefusesASecondRequestWithTheSameIDWhileTheFirstWaits) {
    const auto firstRequest = post(R"({"jsonrpc":"2.0","id":7,"method":"a"})");
    const auto first = start(transport_->handleRequest(firstRequest));
    nextMessage();

    const auto duplicate = handle(post(R"({"jsonrpc":"2.0","id":"7","method":"b"})"));
    EXPECT_EQ(describe(duplicate), "400 Invalid Request: Bad Request: Duplicate request id");
    EXPECT_EQ(await(transport_->httpRequestContext(ID(7))), firstRequest);

    await(transport_->send(R"({"jsonrpc":"2.0","id":7,"result":"first"})"));
    runUntil([&] { return first->done; });
    EXPECT_EQ(describe(*first->value), R"(200 {"jsonrpc":"2.0","id":7,"result":"first"})");

    // Once answered, the id may be used again.
    const auto again = start(transport_->handleRequest(post(R"({"jsonrpc":"2.0","id":7,"method":"c"})")));
    EXPECT_EQ(nextMessage(), R"({"jsonrpc":"2.0","id":7,"method":"c"})");
    await(transport_->send(R"({"jsonrpc":"2.0","id":7,"result":"again"})"));
    runUntil([&] { return again->done; });
    EXPECT_EQ(again->value->statusCode(), 200);
}

TEST_F(StatelessHTTPServerTransportTest, TerminatingFailsWaitingRequestsAndEndsTheStream) {
    const auto reply = start(transport_->handleRequest(post(R"({"jsonrpc":"2.0","id":1,"method":"slow"})")));
    nextMessage();
    const auto serverReading = start(transport_->receive()->next());

    await(transport_->disconnect());
    runUntil([&] { return reply->done && serverReading->done; });
    EXPECT_EQ(describe(*reply->value), "500 Internal error: Error processing request: Connection closed");
    EXPECT_EQ(reply->value->headers(), (HTTPHeaders{{"Content-Type", "application/json"}}));
    EXPECT_FALSE(serverReading->error);
    EXPECT_EQ(serverReading->value.value(), std::nullopt) << "the server's stream ends";
    EXPECT_EQ(await(transport_->httpRequestContext(ID(1))), std::nullopt);

    for (const std::string_view method : {"POST", "GET"}) {
        SCOPED_TRACE(method);
        const auto refused = handle({std::string(method), kGoodHeaders, R"({"jsonrpc":"2.0","method":"x"})", "/mcp"});
        EXPECT_EQ(describe(refused), "404 Invalid Request: Not Found: Transport has been terminated");
    }
    try {
        await(transport_->send(R"({"jsonrpc":"2.0","id":1,"result":{}})"));
        ADD_FAILURE() << "sent after termination";
    } catch (const MCPError& error) {
        EXPECT_EQ(error.kind(), MCPError::Kind::connectionClosed);
    }
    await(transport_->disconnect());
}

TEST_F(StatelessHTTPServerTransportTest, ConnectsOnlyOnce) {
    await(transport_->connect());
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt == 0 ? "second connect" : "after termination");
        try {
            await(transport_->connect());
            ADD_FAILURE() << "connected again";
        } catch (const MCPError& error) {
            EXPECT_EQ(std::string(error.what()), "Internal error: Transport already started");
        }
        await(transport_->disconnect());
    }
}

TEST_F(StatelessHTTPServerTransportTest, LogsNowhereUnderItsOwnLabelByDefault) {
    EXPECT_EQ(transport_->logger().label(), "mcp.transport.http.server.stateless");
    EXPECT_EQ(transport_->logger().logLevel(), logging::LogLevel::critical);
}

// A server as the program runs it: tools/list names one tool after the path of the HTTP
// request its handler was given, so each reply shows which request the handler saw.
std::shared_ptr<Server> makeServer(const boost::asio::any_io_executor& executor) {
    auto server = std::make_shared<Server>(executor, "probe", "1.0", std::nullopt, std::nullopt,
                                           Server::Capabilities{.tools = Server::Capabilities::Tools{}});
    server->withMethodHandler<ListTools>(
        [](ListTools::Parameters, const Server::HandlerContext& context) -> boost::asio::awaitable<ListTools::Result> {
            ListTools::Result result;
            result.tools.push_back(Tool{.name = context.httpContext ? context.httpContext->path.value_or("") : ""});
            co_return result;
        });
    return server;
}

// The request id and the first tool's name in a tools/list reply.
std::pair<std::int64_t, std::string> idAndToolName(const std::string& body) {
    const Value reply = parseJSON(body);
    const Value* id = reply.objectValue()->find("id");
    const Value* tools = reply.objectValue()->find("result")->objectValue()->find("tools");
    return {id->intValue().value_or(-1), *tools->arrayValue()->front().objectValue()->find("name")->stringValue()};
}

// Serves one HTTP request the way the program does: a fresh transport and server for it.
boost::asio::awaitable<HTTPResponse> serveWithFreshServer(HTTPRequest request) {
    const auto executor = co_await boost::asio::this_coro::executor;
    auto transport = StatelessHTTPServerTransport::make(executor);
    auto server = makeServer(executor);
    co_await server->start(transport);
    auto response = co_await transport->handleRequest(std::move(request));
    co_await server->stop();
    co_return response;
}

class StatelessHTTPServerTransportWithServerTest : public testing::IOTestFixture {};

TEST_F(StatelessHTTPServerTransportWithServerTest, ServesARequestThroughTheServer) {
    const auto response = await(serveWithFreshServer(post(R"({"jsonrpc":"2.0","id":3,"method":"tools/list"})")));
    EXPECT_EQ(response.statusCode(), 200);
    EXPECT_EQ(response.headers(), (HTTPHeaders{{"Content-Type", "application/json"}}));
    EXPECT_EQ(idAndToolName(*response.bodyData()), std::make_pair(std::int64_t{3}, std::string("/mcp")));

    const auto unknown = await(serveWithFreshServer(post(R"({"jsonrpc":"2.0","id":4,"method":"nope"})")));
    EXPECT_EQ(unknown.statusCode(), 200) << "the server's own error replies are JSON-RPC responses";
    EXPECT_NE(unknown.bodyData()->find("-32601"), std::string::npos) << *unknown.bodyData();

    const auto notification = await(serveWithFreshServer(post(R"({"jsonrpc":"2.0","method":"notifications/initialized"})")));
    EXPECT_EQ(notification.statusCode(), 202);
}

TEST_F(StatelessHTTPServerTransportWithServerTest, StoppingTheServerEndsTheTransport) {
    auto transport = StatelessHTTPServerTransport::make(io_.get_executor());
    auto server = std::make_shared<Server>(io_.get_executor(), "probe", "1.0");
    // A handler that waits until the test lets it go, like a tool waiting for the user.
    boost::asio::steady_timer userAnswers(io_, std::chrono::hours(1));
    bool handlerStarted = false;
    server->withMethodHandler<ListTools>(
        [&](ListTools::Parameters) -> boost::asio::awaitable<ListTools::Result> {
            handlerStarted = true;
            co_await userAnswers.async_wait(boost::asio::use_awaitable);
            co_return ListTools::Result{};
        });
    await(server->start(transport));

    const auto reply = start(transport->handleRequest(post(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})")));
    runUntil([&] { return handlerStarted; });
    await(server->stop());
    runUntil([&] { return reply->done; });
    EXPECT_EQ(describe(*reply->value), "500 Internal error: Error processing request: Connection closed");
    EXPECT_EQ(describe(await(transport->handleRequest(post(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})")))),
              "404 Invalid Request: Not Found: Transport has been terminated");
    userAnswers.cancel();
    runReady();
}

TEST(StatelessHTTPServerTransportConcurrency, AnswersEachOfManyConcurrentRequestsExactlyOnce) {
    constexpr int kRequests = 200;
    boost::asio::thread_pool pool(4);
    std::mutex mutex;
    std::vector<std::vector<std::string>> replies(kRequests);
    std::vector<std::string> failures;
    int finished = 0;
    std::promise<void> allFinished;

    const auto record = [&](int i, std::optional<std::string> reply) {
        std::lock_guard lock(mutex);
        if (reply) {
            replies[i].push_back(std::move(*reply));
        } else {
            failures.push_back("request " + std::to_string(i) + " failed");
        }
        if (++finished == kRequests) allFinished.set_value();
    };
    for (int i = 0; i < kRequests; ++i) {
        HTTPRequest request = post(R"({"jsonrpc":"2.0","id":)" + std::to_string(i) + R"(,"method":"tools/list"})");
        request.path = "/mcp/" + std::to_string(i);
        auto serve = [request = std::move(request), i, &record]() -> boost::asio::awaitable<void> {
            const auto response = co_await serveWithFreshServer(request);
            record(i, response.statusCode() == 200 ? response.bodyData() : std::nullopt);
        };
        boost::asio::co_spawn(pool, std::move(serve), [&record, i](std::exception_ptr error) {
            if (error) record(i, std::nullopt);
        });
    }
    const bool inTime = allFinished.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    if (!inTime) pool.stop();
    pool.join();
    ASSERT_TRUE(inTime) << "not every request was answered";
    EXPECT_TRUE(failures.empty()) << failures.front();
    for (int i = 0; i < kRequests; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(replies[i].size(), 1u);
        EXPECT_EQ(idAndToolName(replies[i].front()), std::make_pair(std::int64_t{i}, "/mcp/" + std::to_string(i)));
    }
}

}  // namespace
}  // namespace mcp
