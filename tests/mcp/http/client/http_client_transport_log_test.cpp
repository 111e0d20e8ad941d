#include "mcp/http/client/http_client_transport.hpp"

#include "tests/mcp/http/client/transport_fixture.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/url/parse.hpp>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

// What the HTTP client transport logs, record by record: a program reads these lines to see
// what its connection did, so their texts, levels and metadata keys are part of the interface.

namespace mcp {
namespace {

using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;
using Lines = std::vector<std::string>;

Reply events(std::vector<std::string> chunks, std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("Content-Type", "text/event-stream");
    return Reply{.headers = std::move(headers), .chunks = std::move(chunks)};
}

Reply json(std::string body, std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("Content-Type", "application/json");
    return Reply{.headers = std::move(headers), .body = std::move(body)};
}

// Records like a RecordingLogHandler and calls `hook` with each event after recording it.
class HookedLogHandler final : public logging::LogHandler {
public:
    using Hook = std::function<void(const logging::LogEvent&)>;

    HookedLogHandler(logging::testing::Journal journal, std::shared_ptr<Hook> hook)
        : recorder_(std::move(journal)), hook_(std::move(hook)) {}

    using LogHandler::log;
    std::unique_ptr<LogHandler> clone() const override { return std::make_unique<HookedLogHandler>(*this); }
    void log(const logging::LogEvent& event) override {
        recorder_.log(event);
        if (*hook_) (*hook_)(event);
    }
    std::optional<logging::MetadataValue> metadataValue(std::string_view key) const override {
        return recorder_.metadataValue(key);
    }
    void setMetadataValue(std::string_view key, std::optional<logging::MetadataValue> value) override {
        recorder_.setMetadataValue(key, std::move(value));
    }
    logging::Metadata metadata() const override { return recorder_.metadata(); }
    void setMetadata(logging::Metadata metadata) override { recorder_.setMetadata(std::move(metadata)); }
    logging::LogLevel logLevel() const override { return recorder_.logLevel(); }
    void setLogLevel(logging::LogLevel level) override { recorder_.setLogLevel(level); }

private:
    logging::testing::RecordingLogHandler recorder_;
    std::shared_ptr<Hook> hook_;
};

class HTTPClientTransportLogTest : public testing::HTTPClientTransportFixture {};

// The standing stream is read, reopened with its last event id after the announced retry, and
// given up on a 405; then each kind of POST answer; then the disconnect.
TEST_F(HTTPClientTransportLogTest, AWholeExchangeLogsEachStep) {
    std::atomic<int> gets = 0;
    ScriptedHTTPServer server([&](const RecordedRequest& request) {
        if (request.method == "GET") {
            if (gets++ > 0) return Reply{.status = 405};
            return events({"retry: 100\nid: g-1\ndata: {\"jsonrpc\":\"2.0\",\"method\":\"notifications/message\"}\n\n"},
                          {{"MCP-Session-Id", "s-1"}});
        }
        const std::string& body = request.body;
        if (body.find("notifications/initialized") != std::string::npos) return Reply{.status = 202};
        if (body.find("\"initialize\"") != std::string::npos) {
            return json(R"({"jsonrpc":"2.0","id":1,"result":{}})", {{"MCP-Session-Id", "s-1"}});
        }
        if (body.find("tools/list") != std::string::npos) {
            return events({"id: p-1\nevent: message\ndata: {\"jsonrpc\":\"2.0\",\"id\":2,\"result\":{}}\n\n"});
        }
        if (body.find("\"id\":3") != std::string::npos) return events({": nothing yet\n\n"});
        if (body.find("\"id\":4") != std::string::npos) return Reply{.status = 404};
        return json(R"({"jsonrpc":"2.0","id":5,"result":{}})", {{"MCP-Session-Id", "s-2"}});
    });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return logged("⏹️ SSE retry loop exited"); });

    await(transport->send(R"({"jsonrpc":"2.0","id":1,"method":"initialize"})"));
    await(transport->send(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})"));
    await(transport->send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));
    EXPECT_EQ(sendFailure(*transport, R"({"jsonrpc":"2.0","id":3,"method":"ping"})"),
              "No response to request 3: the event stream ended without it, with no event ID to resume from");
    EXPECT_EQ(sendFailure(*transport, R"({"jsonrpc":"2.0","id":4,"method":"ping"})"), "Session expired");
    await(transport->send(R"({"jsonrpc":"2.0","id":5,"method":"ping"})"));
    await(transport->disconnect());

    EXPECT_EQ(log_.lines(), (Lines{
        "debug HTTP transport connected",
        "debug ⏳ Waiting for session ID to be set (timeout: 0.0s)...",
        "warning ⏱️ Timeout waiting for session ID (0.0s). SSE stream will proceed anyway.",
        "debug 🔄 Starting SSE retry loop isCancelled=false isConnected=true",
        "debug 🔄 SSE retry loop iteration attempt=1 isFirstAttempt=true",
        "debug 📡 Calling connectToEventStream (attempt #1)",
        "debug 🔌 Preparing SSE connection request",
        "info → Connecting to SSE stream (no last event ID to resume from)",
        "debug Starting SSE connection",
        "debug ✓ Initial session ID signal triggered for SSE task",
        "debug Session ID received sessionID=s-1",
        "debug 📥 Starting SSE event processing",
        "trace SSE event received id=g-1 type=message",
        "debug Stored event ID for resumability eventID=g-1",
        "debug SSE retry interval updated retryMs=100",
        "debug ✓ SSE event stream completed eventsProcessed=1 hadData=true",
        "info 🔌 SSE stream closed gracefully, will reconnect attempt=1 willRetryAfter=100ms",
        "debug 🔄 End of retry loop iteration isCancelled=false isConnected=true willContinue=true",
        "debug 🔄 SSE retry loop iteration attempt=2 isFirstAttempt=false",
        "debug ⏳ Waiting before SSE reconnection retryMs=100",
        "debug ✓ Wait complete, reconnecting now",
        "debug 📡 Calling connectToEventStream (attempt #2)",
        "debug 🔌 Preparing SSE connection request",
        "info → Resuming SSE stream with Last-Event-ID lastEventID=g-1",
        "debug Starting SSE connection",
        "debug ⏹️ SSE task cancelled",
        "debug 🔄 End of retry loop iteration isCancelled=true isConnected=true willContinue=false",
        "debug ⏹️ SSE retry loop exited isCancelled=true isConnected=true totalAttempts=2",
        // initialize: a JSON answer repeating the session id
        "debug Session ID received sessionID=s-1",
        "trace Received JSON response size=36",
        // tools/list: an event stream carrying the answer
        "trace Received SSE response, processing in streaming task",
        "debug 📥 Starting SSE event processing",
        "trace SSE event received id=p-1 type=message",
        "debug Stored event ID for resumability eventID=p-1",
        "debug ✓ SSE event stream completed eventsProcessed=1 hadData=true",
        // the notification: 202 without a body
        "warning Unexpected content type: ",
        // ping 3: an event stream that ends without an event
        "trace Received SSE response, processing in streaming task",
        "debug 📥 Starting SSE event processing",
        "debug ✓ SSE event stream completed eventsProcessed=0 hadData=false",
        "debug POST SSE stream closed without data",
        "warning POST SSE stream ended before its response, without an event ID to resume from",
        // ping 4: 404 ends the session
        "warning Session has expired",
        // ping 5: a new session, after the signal was given
        "debug ✗ No continuation to trigger - signal already consumed or SSE task not waiting",
        "debug Session ID received sessionID=s-2",
        "trace Received JSON response size=36",
        "debug HTTP clienttransport disconnected",
    }));
}

// Events already read when the reading stops are dropped, and the end of the stream is still
// logged.
TEST_F(HTTPClientTransportLogTest, AReadStoppedBetweenEventsLogsItsEnd) {
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return events({"id: 1\ndata: {\"n\":1}\n\nid: 2\ndata: {\"n\":2}\n\n"});
    });
    // Disconnects while the first event is logged: the second is read after the stop.
    auto hook = std::make_shared<HookedLogHandler::Hook>();
    HTTPClientTransport::Options options;
    options.sseInitializationTimeout = 0;
    options.logger = logging::Logger("test", HookedLogHandler(journal_, hook));
    auto transport =
        HTTPClientTransport::make(io_.get_executor(), boost::urls::parse_uri(server.url("/mcp")).value(), options);
    bool disconnecting = false;
    *hook = [&](const logging::LogEvent& event) {
        if (disconnecting || event.message.value != "SSE event received") return;
        disconnecting = true;
        // Runs at once: the transport's strand is the running one.
        boost::asio::co_spawn(io_, transport->disconnect(), boost::asio::detached);
    };
    await(transport->connect());
    pollUntil([&] { return logged("⏹️ SSE retry loop exited"); });

    auto lines = log_.lines();
    const auto read = std::find(lines.begin(), lines.end(), "debug 📥 Starting SSE event processing");
    ASSERT_NE(read, lines.end());
    EXPECT_EQ(Lines(read, lines.end()),
              (Lines{"debug 📥 Starting SSE event processing", "trace SSE event received id=1 type=message",
                     "debug HTTP clienttransport disconnected", "debug Stored event ID for resumability eventID=1",
                     "debug ⏹️ SSE processing cancelled eventsProcessed=2",
                     "debug ✓ SSE event stream completed eventsProcessed=2 hadData=true",
                     "info 🔌 SSE stream closed gracefully, will reconnect attempt=1 willRetryAfter=3000ms",
                     "debug 🔄 End of retry loop iteration isCancelled=true isConnected=false willContinue=false",
                     "debug ⏹️ SSE retry loop exited isCancelled=true isConnected=false totalAttempts=1"}));
}

}  // namespace
}  // namespace mcp
