#include "mcp/http/stateful_http_server_transport.hpp"

#include "mcp/protocol/mcp_error.hpp"
#include "tests/logging/recording_log_handler.hpp"
#include "tests/mcp/io_test_fixture.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

constexpr std::string_view kSession = "session-1";

// Hands out its scripted ids in turn (the last one again when they run out) and counts calls.
class ScriptedSessionIDGenerator final : public SessionIDGenerator {
public:
    explicit ScriptedSessionIDGenerator(std::deque<std::string> ids) : ids_(std::move(ids)) {}
    std::string generateSessionID() override {
        ++calls;
        std::string id = ids_.front();
        if (ids_.size() > 1) ids_.pop_front();
        return id;
    }
    int calls = 0;

private:
    std::deque<std::string> ids_;
};

HTTPHeaders headers(std::optional<std::string> protocolVersion = std::nullopt, bool withSession = true) {
    HTTPHeaders result{
        {"Host", "127.0.0.1:8080"},
        {"Accept", "application/json, text/event-stream"},
        {"Content-Type", "application/json"},
    };
    if (withSession) result.emplace_back("MCP-Session-Id", std::string(kSession));
    if (protocolVersion) result.emplace_back("MCP-Protocol-Version", *protocolVersion);
    return result;
}

HTTPRequest post(std::string body, HTTPHeaders requestHeaders = headers()) {
    return HTTPRequest{"POST", std::move(requestHeaders), std::move(body), "/mcp"};
}

HTTPRequest get(std::optional<std::string> lastEventID = std::nullopt,
                std::optional<std::string> protocolVersion = std::nullopt) {
    HTTPHeaders requestHeaders = headers(std::move(protocolVersion));
    if (lastEventID) requestHeaders.emplace_back("Last-Event-ID", *lastEventID);
    return HTTPRequest{"GET", std::move(requestHeaders), std::nullopt, "/mcp"};
}

std::string initializeBody(std::string_view version, std::string_view id = "1") {
    return R"({"jsonrpc":"2.0","id":)" + std::string(id) +
           R"(,"method":"initialize","params":{"protocolVersion":")" + std::string(version) +
           R"(","capabilities":{},"clientInfo":{"name":"c","version":"1"}}})";
}

std::string request(std::string_view id, std::string_view method = "tools/list") {
    return R"({"jsonrpc":"2.0","id":)" + std::string(id) + R"(,"method":")" + std::string(method) + R"("})";
}

std::string result(std::string_view id) { return R"({"jsonrpc":"2.0","id":)" + std::string(id) + R"(,"result":{}})"; }

std::string notification(int n) {
    return R"({"jsonrpc":"2.0","method":"notifications/progress","params":{"progress":)" + std::to_string(n) +
           R"(,"progressToken":"t"}})";
}

std::string primingEvent(std::string_view id) { return "id: " + std::string(id) + "\ndata: \n\n"; }
std::string messageEvent(std::string_view id, std::string_view message) {
    return "id: " + std::string(id) + "\nevent: message\ndata: " + std::string(message) + "\n\n";
}

// The status and what the client reads: the error's message, or the body.
std::string describe(const HTTPResponse& response) {
    std::string text = std::to_string(response.statusCode());
    if (const auto* error = std::get_if<HTTPResponse::Error>(&response.value())) {
        return text + " " + error->error.errorDescription();
    }
    return text;
}

const HTTPHeaders kStreamHeaders{
    {"Content-Type", "text/event-stream"},
    {"Cache-Control", "no-cache, no-transform"},
    {"Connection", "keep-alive"},
    {"MCP-Session-Id", std::string(kSession)},
};

class StatefulHTTPServerTransportTest : public testing::IOTestFixture {
protected:
    void SetUp() override { make(); }

    void TearDown() override {
        await(transport_->disconnect());
        runReady();
    }

    void make(std::deque<std::string> ids = {std::string(kSession)}, std::optional<std::int64_t> retry = std::nullopt,
              std::optional<logging::Logger> logger = std::nullopt) {
        generator_ = std::make_shared<ScriptedSessionIDGenerator>(std::move(ids));
        transport_ = StatefulHTTPServerTransport::make(io_.get_executor(), generator_, nullptr, retry, std::move(logger));
    }

    HTTPResponse handle(HTTPRequest httpRequest) { return await(transport_->handleRequest(std::move(httpRequest))); }

    std::optional<std::string> nextMessage() { return testing::textOf(await(transport_->receive()->next())); }

    // Opens the session with the given version and lets the server answer it.
    void initialize(std::string_view version = "2025-06-18") {
        const auto reply = handle(post(initializeBody(version), headers(std::nullopt, false)));
        ASSERT_EQ(reply.statusCode(), 200);
        nextMessage();
        send(result("1"));
    }

    void send(const std::string& message) { await(transport_->send(message)); }

    static std::shared_ptr<AsyncQueue<std::string>> streamOf(const HTTPResponse& response) {
        const auto* stream = std::get_if<HTTPResponse::Stream>(&response.value());
        return stream ? stream->body : nullptr;
    }

    // Every chunk of a stream up to its end.
    std::vector<std::string> readToEnd(const HTTPResponse& response) {
        std::vector<std::string> chunks;
        const auto stream = streamOf(response);
        if (!stream) ADD_FAILURE() << "not a stream: " << describe(response);
        while (stream) {
            auto chunk = await(stream->next());
            if (!chunk) break;
            chunks.push_back(std::move(*chunk));
        }
        return chunks;
    }

    std::string nextChunk(const HTTPResponse& response) { return await(streamOf(response)->next()).value_or("<end>"); }

    // Starts reading the stream's next chunk and runs what is ready; the read is still
    // pending when the stream has nothing to give yet.
    std::shared_ptr<Outcome<std::optional<std::string>>> startReading(const HTTPResponse& response) {
        auto pending = start(streamOf(response)->next());
        runReady();
        return pending;
    }

    std::shared_ptr<ScriptedSessionIDGenerator> generator_;
    std::shared_ptr<StatefulHTTPServerTransport> transport_;
};

TEST_F(StatefulHTTPServerTransportTest, InitializeOpensTheSessionAndStreamsItsResult) {
    const struct {
        std::string_view version;
        std::vector<std::string> want;
    } kCases[] = {
        {"2025-06-18", {primingEvent("1_1"), messageEvent("1_2", result("1"))}},
        {"2025-03-26", {primingEvent("1_1"), messageEvent("1_2", result("1"))}},
        {"2024-11-05", {messageEvent("1_1", result("1"))}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.version);
        make();
        const auto reply = handle(post(initializeBody(c.version), headers(std::nullopt, false)));
        EXPECT_EQ(reply.statusCode(), 200);
        EXPECT_EQ(reply.headers(), kStreamHeaders);
        EXPECT_EQ(nextMessage(), initializeBody(c.version));
        send(result("1"));
        EXPECT_EQ(readToEnd(reply), c.want);
    }
}

TEST_F(StatefulHTTPServerTransportTest, RefusesASecondInitializeWithoutAskingForAnotherID) {
    initialize();
    const auto again = handle(post(initializeBody("2025-06-18", "2")));
    EXPECT_EQ(describe(again), "400 Invalid Request: Bad Request: Session already initialized");
    EXPECT_EQ(again.headers(), (HTTPHeaders{{"Content-Type", "application/json"}, {"MCP-Session-Id", "session-1"}}));
    EXPECT_EQ(generator_->calls, 1);
}

TEST_F(StatefulHTTPServerTransportTest, RefusesAnInvalidGeneratedSessionIDAndAsksAgainNextTime) {
    for (const std::string bad : {"", "has space", "caf\xC3\xA9", "tab\there", "bell\x07"}) {
        SCOPED_TRACE(bad);
        make({bad, std::string(kSession)});
        const auto refused = handle(post(initializeBody("2025-06-18"), headers(std::nullopt, false)));
        EXPECT_EQ(describe(refused), "500 Internal error: Internal error: Invalid session ID generated");
        EXPECT_EQ(refused.headers(), (HTTPHeaders{{"Content-Type", "application/json"}}));

        const auto opened = handle(post(initializeBody("2025-06-18"), headers(std::nullopt, false)));
        EXPECT_EQ(opened.headers(), kStreamHeaders);
        EXPECT_EQ(generator_->calls, 2);
    }
}

TEST_F(StatefulHTTPServerTransportTest, AnswersItsOwnRefusalsWithTheSessionID) {
    const auto beforeSession = handle(post(request("1")));
    EXPECT_EQ(describe(beforeSession), "400 Invalid Request: Bad Request: Session not initialized");

    initialize();
    const auto put = handle({"PUT", headers(), request("2"), "/mcp"});
    EXPECT_EQ(describe(put), "405 Invalid Request: Method Not Allowed");
    EXPECT_EQ(put.headers(), (HTTPHeaders{{"Content-Type", "application/json"},
                                          {"MCP-Session-Id", "session-1"},
                                          {"Allow", "GET, POST, DELETE"}}));
    const struct {
        std::string_view name;
        HTTPRequest request;
        std::string_view want;
    } kCases[] = {
        {"empty body", post(""), "400 Parse error: Invalid JSON: Empty request body"},
        {"batch", post("[" + request("2") + "]"), "400 Parse error: Invalid JSON: Invalid JSON-RPC message"},
        {"wrong session", post(request("2"), {{"Accept", "application/json, text/event-stream"},
                                              {"Content-Type", "application/json"},
                                              {"MCP-Session-Id", "other"}}),
         "404 Invalid Request: Not Found: Invalid or expired session ID"},
        {"json only", post(request("2"), {{"Accept", "application/json"}, {"Content-Type", "application/json"}}),
         "406 Invalid Request: Not Acceptable: Client must accept both application/json and text/event-stream"},
        {"reserved id", post(request(R"("_GET_stream")")),
         "400 Invalid Request: Bad Request: Request id _GET_stream is reserved"},
        {"id with line breaks", post(request(R"("1\n\nevent: injected\ndata: x")")),
         "400 Invalid Request: Bad Request: Request id can't hold a line break or NUL"},
        {"id with a carriage return", post(request(R"("1\r")")),
         "400 Invalid Request: Bad Request: Request id can't hold a line break or NUL"},
        {"id with NUL", post(request(R"("1\u0000")")),
         "400 Invalid Request: Bad Request: Request id can't hold a line break or NUL"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto refused = handle(c.request);
        EXPECT_EQ(describe(refused), c.want);
        EXPECT_EQ(refused.headers().at(1), (std::pair<std::string, std::string>{"MCP-Session-Id", "session-1"}));
    }
}

TEST_F(StatefulHTTPServerTransportTest, AcknowledgesNotificationsWithTheSessionHeader) {
    initialize();
    const std::string initialized = R"({"jsonrpc":"2.0","method":"notifications/initialized"})";
    const auto reply = handle(post(initialized));
    EXPECT_EQ(reply.statusCode(), 202);
    EXPECT_EQ(reply.headers(), (HTTPHeaders{{"MCP-Session-Id", "session-1"}}));
    EXPECT_EQ(reply.bodyData(), std::nullopt);
    EXPECT_EQ(nextMessage(), initialized);
}

TEST_F(StatefulHTTPServerTransportTest, PrimesRequestStreamsByTheVersionHeader) {
    initialize();
    const struct {
        std::string_view name;
        std::optional<std::string> version;
        bool primed;
    } kCases[] = {
        {"2025-03-26", "2025-03-26", true},
        {"no header", std::nullopt, true},
        {"2024-11-05", "2024-11-05", false},
    };
    int id = 10;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string requestID = std::to_string(++id);
        const auto reply = handle(post(request(requestID), headers(c.version)));
        nextMessage();
        send(result(requestID));
        const auto chunks = readToEnd(reply);
        ASSERT_EQ(chunks.size(), c.primed ? 2u : 1u);
        EXPECT_NE(chunks.back().find("\nevent: message\ndata: " + result(requestID)), std::string::npos);
        if (c.primed) {
            EXPECT_EQ(chunks.front().substr(chunks.front().find('\n')), "\ndata: \n\n");
        }
    }
}

TEST_F(StatefulHTTPServerTransportTest, CarriesTheRetryIntervalInPrimingEvents) {
    make({std::string(kSession)}, 1500);
    const auto reply = handle(post(initializeBody("2025-06-18"), headers(std::nullopt, false)));
    EXPECT_EQ(nextChunk(reply), "id: 1_1\nretry: 1500\ndata: \n\n");
}

TEST_F(StatefulHTTPServerTransportTest, SharesOneEventCounterAmongStreams) {
    initialize("2024-11-05");  // event 1_1
    const auto two = handle(post(request("2"), headers("2025-06-18")));
    const auto three = handle(post(request("3"), headers("2025-06-18")));
    send(result("2"));
    send(result("3"));
    EXPECT_EQ(readToEnd(two), (std::vector{primingEvent("2_2"), messageEvent("2_4", result("2"))}));
    EXPECT_EQ(readToEnd(three), (std::vector{primingEvent("3_3"), messageEvent("3_5", result("3"))}));
}

TEST_F(StatefulHTTPServerTransportTest, SendsTheServersOwnMessagesToTheStandingStreamOnly) {
    initialize();  // events 1_1, 1_2
    send(notification(0));  // 3: stored, no stream open
    const auto requestStream = handle(post(request("2")));  // 2_4
    const auto standing = handle(get());                     // _GET_stream_5
    EXPECT_EQ(standing.headers(), kStreamHeaders);
    EXPECT_EQ(nextChunk(standing), primingEvent("_GET_stream_5")) << "earlier messages are not sent";

    const std::string serverRequest = R"({"jsonrpc":"2.0","id":"s1","method":"roots/list"})";
    send(serverRequest);
    send(notification(1));
    send(notification(2));
    send(result("2"));
    EXPECT_EQ(nextChunk(standing), messageEvent("_GET_stream_6", serverRequest));
    EXPECT_EQ(nextChunk(standing), messageEvent("_GET_stream_7", notification(1)));
    EXPECT_EQ(nextChunk(standing), messageEvent("_GET_stream_8", notification(2)));
    EXPECT_EQ(readToEnd(requestStream), (std::vector{primingEvent("2_4"), messageEvent("2_9", result("2"))}));

    const auto second = handle(get());
    EXPECT_EQ(describe(second), "409 Invalid Request: Conflict: Only one SSE stream is allowed per session");
    EXPECT_EQ(second.headers().at(1), (std::pair<std::string, std::string>{"MCP-Session-Id", "session-1"}));
}

TEST_F(StatefulHTTPServerTransportTest, CarriesWhatTheServerSendsWhileServingARequestOnItsStreamUntilAStandingOneOpens) {
    initialize();                                            // 1_1, 1_2
    const auto requestStream = handle(post(request("2")));  // 2_3
    nextMessage();
    const std::string serverRequest = R"({"jsonrpc":"2.0","id":"s1","method":"sampling/createMessage"})";
    const auto sendRelated = [&](const std::string& message, const ID& relatedRequestID) {
        await(transport_->sendRelated(message, relatedRequestID));
    };
    sendRelated(notification(1), ID(2));        // 2_4
    sendRelated(serverRequest, ID(2));          // 2_5
    sendRelated(notification(2), ID("9"));      // _GET_stream_6: no such request in flight
    const auto standing = handle(get());        // _GET_stream_7
    EXPECT_EQ(nextChunk(standing), primingEvent("_GET_stream_7")) << "nothing stored for it is sent";
    sendRelated(notification(3), ID("2"));      // _GET_stream_8: the standing stream comes first
    send(result("2"));                          // 2_9
    sendRelated(notification(4), ID(2));        // _GET_stream_10: the request has been answered

    EXPECT_EQ(readToEnd(requestStream),
              (std::vector{primingEvent("2_3"), messageEvent("2_4", notification(1)), messageEvent("2_5", serverRequest),
                           messageEvent("2_9", result("2"))}));
    EXPECT_EQ(nextChunk(standing), messageEvent("_GET_stream_8", notification(3)));
    EXPECT_EQ(nextChunk(standing), messageEvent("_GET_stream_10", notification(4)));
}

TEST_F(StatefulHTTPServerTransportTest, KeepsWhatTheServerSendsWhileServingARequestWhoseStreamClosedForItsResume) {
    initialize();                                            // 1_1, 1_2
    const auto requestStream = handle(post(request("3")));  // 3_3
    nextMessage();
    await(transport_->closeSSEStream("3"));
    await(transport_->sendRelated(notification(1), ID(3)));  // 3_4, stored only
    EXPECT_EQ(readToEnd(requestStream), (std::vector{primingEvent("3_3")}));

    const auto resumed = handle(get("3_3"));
    EXPECT_EQ(nextChunk(resumed), messageEvent("3_4", notification(1)));
    EXPECT_EQ(nextChunk(resumed), primingEvent("3_5"));
    send(result("3"));
    EXPECT_EQ(readToEnd(resumed), (std::vector{messageEvent("3_6", result("3"))}));
}

TEST_F(StatefulHTTPServerTransportTest, OpensAStandingStreamWithoutPrimingForOldClients) {
    initialize();
    const auto standing = handle(get(std::nullopt, "2024-11-05"));
    const auto first = startReading(standing);
    EXPECT_FALSE(first->done);
    send(notification(1));
    runUntil([&] { return first->done; });
    EXPECT_EQ(first->value, messageEvent("_GET_stream_3", notification(1)));
}

TEST_F(StatefulHTTPServerTransportTest, ResumingTheStandingStreamReplaysThenPrimesAndFinishesTheOldOne) {
    initialize();  // 1_1, 1_2
    const auto standing = handle(get());  // _GET_stream_3
    EXPECT_EQ(nextChunk(standing), primingEvent("_GET_stream_3"));
    send(notification(1));  // 4
    send(notification(2));  // 5

    const auto resumed = handle(get("_GET_stream_3"));
    EXPECT_EQ(resumed.headers(), kStreamHeaders);
    EXPECT_EQ(nextChunk(resumed), messageEvent("_GET_stream_4", notification(1)));
    EXPECT_EQ(nextChunk(resumed), messageEvent("_GET_stream_5", notification(2)));
    EXPECT_EQ(nextChunk(resumed), primingEvent("_GET_stream_6"));

    // The replaced reply gets what was sent to it before, then ends.
    EXPECT_EQ(readToEnd(standing), (std::vector{messageEvent("_GET_stream_4", notification(1)),
                                                messageEvent("_GET_stream_5", notification(2))}));
    send(notification(3));
    EXPECT_EQ(nextChunk(resumed), messageEvent("_GET_stream_7", notification(3)));

    const auto fromLast = handle(get("_GET_stream_7"));
    EXPECT_EQ(nextChunk(fromLast), primingEvent("_GET_stream_8"));
    EXPECT_EQ(nextChunk(resumed), "<end>");
}

TEST_F(StatefulHTTPServerTransportTest, RefusesAnUnknownLastEventIDAndKeepsTheStandingStream) {
    initialize();
    const auto standing = handle(get());
    nextChunk(standing);
    for (const std::string lastEventID : {"nope", "", "_GET_stream_99"}) {
        SCOPED_TRACE(lastEventID);
        const auto refused = handle(get(lastEventID));
        EXPECT_EQ(describe(refused), "400 Invalid Request: Invalid Last-Event-ID");
        EXPECT_EQ(refused.headers().at(1), (std::pair<std::string, std::string>{"MCP-Session-Id", "session-1"}));
    }
    send(notification(1));
    EXPECT_EQ(nextChunk(standing), messageEvent("_GET_stream_4", notification(1)));
}

TEST_F(StatefulHTTPServerTransportTest, FinishesAResumedRequestStreamThatAlreadyHoldsItsResponse) {
    initialize();  // 1_1, 1_2
    const auto reply = handle(post(request("3")));  // 3_3
    EXPECT_EQ(nextChunk(reply), primingEvent("3_3"));
    await(transport_->closeSSEStream("3"));
    EXPECT_EQ(nextChunk(reply), "<end>");

    send(result("3"));  // 3_4, stored only
    EXPECT_EQ(readToEnd(handle(get("3_3"))), (std::vector{messageEvent("3_4", result("3")), primingEvent("3_5")}));
    // Resuming after the response itself: nothing more will ever come, so the reply ends too.
    EXPECT_EQ(readToEnd(handle(get("3_4"))), (std::vector{primingEvent("3_6")}));
}

TEST_F(StatefulHTTPServerTransportTest, ResumedRequestStreamTakesTheOldOnesPlaceUntilTheResponse) {
    initialize();
    const auto reply = handle(post(request("3")));  // 3_3
    nextMessage();
    const auto resumed = handle(get("3_3"));
    EXPECT_EQ(nextChunk(resumed), primingEvent("3_4"));
    EXPECT_EQ(readToEnd(reply), (std::vector{primingEvent("3_3")})) << "the replaced reply ends";
    send(result("3"));
    EXPECT_EQ(readToEnd(resumed), (std::vector{messageEvent("3_5", result("3"))}));
}

TEST_F(StatefulHTTPServerTransportTest, KeepsOnlyTheNewestEventsForResumption) {
    initialize();
    const auto standing = handle(get());  // _GET_stream_3
    const auto total = StatefulHTTPServerTransport::kMaxStoredEvents;
    for (std::size_t i = 0; i < total; ++i) send(notification(static_cast<int>(i)));  // 4 .. 1003

    EXPECT_EQ(describe(handle(get("_GET_stream_3"))), "400 Invalid Request: Invalid Last-Event-ID");
    // Exactly as many as the store holds are kept: the oldest of them still resumes.
    const auto oldestKept = handle(get("_GET_stream_4"));
    EXPECT_EQ(nextChunk(oldestKept), messageEvent("_GET_stream_5", notification(1)));
    const auto lastKept = "_GET_stream_" + std::to_string(total + 2);
    const auto resumed = handle(get(lastKept));
    EXPECT_EQ(nextChunk(resumed), messageEvent("_GET_stream_" + std::to_string(total + 3),
                                               notification(static_cast<int>(total - 1))));
}

TEST_F(StatefulHTTPServerTransportTest, RefusesASecondRequestWithTheIDOfOneInFlight) {
    initialize();
    const auto first = handle(post(request("7")));
    nextMessage();
    await(transport_->closeSSEStream("7"));  // still in flight with the server
    for (const std::string id : {"7", R"("7")"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(describe(handle(post(request(id)))), "400 Invalid Request: Bad Request: Duplicate request id");
    }
    send(result("7"));
    const auto again = handle(post(request("7")));
    EXPECT_EQ(again.statusCode(), 200);
    EXPECT_EQ(nextMessage(), request("7"));
}

TEST_F(StatefulHTTPServerTransportTest, StreamsAResponseToTheRequestOfTheIDItIsGivenWithoutReadingIt) {
    initialize();
    const auto reply = handle(post(request("5")));
    nextMessage();
    // Bytes that name no id of their own: only the given id can take them to their stream.
    const std::string answer = "an answer the transport can't read";
    await(transport_->sendResponse(answer, ID("5")));
    const auto chunks = readToEnd(reply);
    ASSERT_FALSE(chunks.empty());
    EXPECT_TRUE(chunks.back().ends_with("\nevent: message\ndata: " + answer + "\n\n")) << chunks.back();
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), std::nullopt) << "the request is over";

    await(transport_->disconnect());
    try {
        await(transport_->sendResponse(answer, ID(6)));
        ADD_FAILURE() << "sent after termination";
    } catch (const MCPError& error) {
        EXPECT_EQ(error.kind(), MCPError::Kind::connectionClosed);
    }
}

TEST_F(StatefulHTTPServerTransportTest, KeepsTheHTTPRequestWhileItsStreamIsOpen) {
    initialize();
    const auto httpRequest = post(request("5"));
    const auto reply = handle(httpRequest);
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), httpRequest);
    EXPECT_EQ(await(transport_->httpRequestContext(ID("5"))), httpRequest);
    send(result("5"));
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), std::nullopt);
}

TEST_F(StatefulHTTPServerTransportTest, HandsTheServerTheValueItReadAndKeepsTheBodyAsItCame) {
    initialize();
    // Spaced out, so that what the server is handed tells the body's text from the value read
    // from it, which writes back compact.
    EXPECT_EQ(handle(post(R"({ "jsonrpc": "2.0", "method": "notifications/initialized" })")).statusCode(), 202);
    EXPECT_EQ(nextMessage(), R"({"jsonrpc":"2.0","method":"notifications/initialized"})");

    const auto httpRequest = post(R"({ "jsonrpc": "2.0", "id": 5, "method": "tools/list" })");
    const auto reply = handle(httpRequest);
    EXPECT_EQ(reply.statusCode(), 200);
    EXPECT_EQ(nextMessage(), R"({"jsonrpc":"2.0","id":5,"method":"tools/list"})");
    EXPECT_EQ(await(transport_->httpRequestContext(ID(5))), httpRequest)
        << "the body is the handler's to read as it came";
    send(result("5"));
    EXPECT_EQ(readToEnd(reply), (std::vector<std::string>{primingEvent("5_3"), messageEvent("5_4", result("5"))}));
}

TEST_F(StatefulHTTPServerTransportTest, DeleteEndsTheSessionAndEveryStream) {
    initialize();
    const auto standing = handle(get());
    const auto pending = handle(post(request("2")));
    nextMessage();

    const auto deleted = handle({"DELETE", headers(), std::nullopt, "/mcp"});
    EXPECT_EQ(deleted.statusCode(), 200);
    EXPECT_EQ(deleted.headers(), (HTTPHeaders{{"MCP-Session-Id", "session-1"}}));
    EXPECT_EQ(deleted.bodyData(), std::nullopt);
    EXPECT_EQ(readToEnd(standing).size(), 1u);
    EXPECT_EQ(readToEnd(pending).size(), 1u);
    EXPECT_EQ(nextMessage(), std::nullopt) << "the server's stream ends";

    for (const auto& later : {post(request("3")), get(), get("_GET_stream_3"), HTTPRequest{"DELETE", headers(), {}, {}}}) {
        SCOPED_TRACE(later.method);
        const auto refused = handle(later);
        EXPECT_EQ(describe(refused), "404 Invalid Request: Not Found: Session has been terminated");
        EXPECT_EQ(refused.headers(), (HTTPHeaders{{"Content-Type", "application/json"}, {"MCP-Session-Id", "session-1"}}));
    }
    try {
        send(result("2"));
        ADD_FAILURE() << "sent after termination";
    } catch (const MCPError& error) {
        EXPECT_EQ(error.kind(), MCPError::Kind::connectionClosed);
    }
}

TEST_F(StatefulHTTPServerTransportTest, ConnectsOnlyOnce) {
    await(transport_->connect());
    try {
        await(transport_->connect());
        ADD_FAILURE() << "connected again";
    } catch (const MCPError& error) {
        EXPECT_EQ(std::string(error.what()), "Internal error: Transport already started");
    }
}

TEST_F(StatefulHTTPServerTransportTest, LogsTheSessionsCourse) {
    const auto journal = logging::testing::makeJournal();
    make({"bad id", std::string(kSession)}, std::nullopt,
         logging::Logger("test", logging::testing::RecordingLogHandler(journal)));
    await(transport_->connect());
    handle(post(initializeBody("2025-06-18"), headers(std::nullopt, false)));
    initialize();
    handle(post(request("2")));
    await(transport_->closeSSEStream("2"));
    send(result("2"));
    send(notification(1));
    send("not json");
    await(transport_->disconnect());

    std::vector<std::string> lines;
    for (const auto& received : *journal) {
        std::string line = std::string(logging::rawValue(received.event.level)) + " " + received.event.message.value;
        for (const auto& [key, value] : received.event.metadata.value_or(logging::Metadata{})) {
            line += " " + key + "=" + value.description();
        }
        lines.push_back(std::move(line));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "debug Stateful HTTP server transport started",
                         "error Generated session ID contains invalid characters",
                         "info Session initialized sessionID=session-1",
                         "debug No active stream for request, message stored for replay requestID=2",
                         "debug No standalone GET stream connected, message stored for replay",
                         "warning Could not classify outgoing message for routing",
                         "info Terminating session sessionID=session-1",
                     }));
}

TEST_F(StatefulHTTPServerTransportTest, LogsNowhereUnderItsOwnLabelByDefault) {
    EXPECT_EQ(transport_->logger().label(), "mcp.transport.http.server.stateful");
    EXPECT_EQ(transport_->logger().logLevel(), logging::LogLevel::critical);
}

}  // namespace
}  // namespace mcp
