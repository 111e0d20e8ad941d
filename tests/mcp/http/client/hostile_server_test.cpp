// The client over its HTTP transport against a server it can't trust: each row of the table
// is one hostile answer, and whatever the server does, the client ends with a clear error in
// bounded time and never writes a header field holding CR, LF or NUL.

#include "mcp/client/client.hpp"
#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/transport/strand_hop.hpp"

#include "net/error.hpp"
#include "tests/mcp/http/client/hostile_http_server.hpp"
#include "tests/mcp/io_test_fixture.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/asio/experimental/awaitable_operators.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/json.hpp>
#include <boost/url/parse.hpp>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::HostileHTTPServer;
using testing::HostileReply;
using testing::HostileRequest;
using ::testing::HasSubstr;

std::string answer(const std::string& id, const std::string& result) {
    return R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":)" + result + "}";
}

std::string initializeAnswer(const std::string& id, const std::string& versionJSON) {
    return answer(id, R"({"protocolVersion":)" + versionJSON +
                          R"(,"capabilities":{"tools":{}},"serverInfo":{"name":"hostile","version":"1"}})");
}

// How the server answers: each hook takes the request's id as JSON text.
struct HostileAnswers {
    // Absent: a sound answer with a supported version.
    std::function<HostileReply(const std::string& id)> initialize;
    // Absent: never answered.
    std::function<HostileReply(const std::string& id)> toolCall;
    // The GETs that resume a stream; absent: 405.
    std::function<HostileReply(const HostileRequest&)> resumption;
};

HostileReply play(const HostileAnswers& answers, const HostileRequest& request) {
    if (request.method == "GET") return answers.resumption ? answers.resumption(request) : HostileReply::status(405);
    boost::system::error_code error;
    const auto message = boost::json::parse(request.body, error);
    if (error || !message.is_object()) return HostileReply::status(400);
    const auto* id = message.as_object().if_contains("id");
    if (id == nullptr) return HostileReply::status(202);
    const std::string idText = boost::json::serialize(*id);
    const auto& method = message.as_object().at("method").as_string();
    if (method == "initialize") {
        if (answers.initialize) return answers.initialize(idText);
        return HostileReply::json(initializeAnswer(idText, R"("2025-06-18")"));
    }
    if (method == "tools/call") return answers.toolCall ? answers.toolCall(idText) : HostileReply::silence();
    return HostileReply::json(answer(idText, "{}"));
}

// A tool result whose text is `text`, as raw bytes.
std::string toolResult(const std::string& id, const std::string& text) {
    return answer(id, R"({"content":[{"type":"text","text":")" + text + R"("}]})");
}

// Bytes no header may ever hold: the received heads, CR LF taken out, keep no CR, LF or NUL
// (the client's JSON bodies are compact, so they hold none either).
void expectNoSplitField(const std::string& received) {
    std::string flattened;
    for (std::size_t at = 0; at < received.size(); ++at) {
        if (received.compare(at, 2, "\r\n") == 0) {
            ++at;
            continue;
        }
        flattened += received[at];
    }
    EXPECT_EQ(flattened.find_first_of(std::string_view("\r\n\0", 3)), std::string::npos) << received;
    EXPECT_EQ(received.find("smuggled"), std::string::npos) << received;
}

class HostileServerTest : public testing::IOTestFixture {
protected:
    std::shared_ptr<HTTPClientTransport> makeTransport(const HostileHTTPServer& server) {
        HTTPClientTransport::Options options;
        options.streaming = false;
        options.maxResumptions = kMaxResumptions;
        return HTTPClientTransport::make(strand_, boost::urls::parse_uri(server.url()).value(), options);
    }

    std::shared_ptr<Client> makeClient() { return std::make_shared<Client>(strand_, "probe", "1.0"); }

    // The text of the error `task` ends with; empty when it succeeds.
    template <class T>
    std::string failureOf(asio::awaitable<T> task) {
        try {
            await(std::move(task));
        } catch (const std::exception& error) {
            return error.what();
        }
        return {};
    }

    static constexpr int kMaxResumptions = 5;
    // The client and its transport share one strand, as programs are told to make them.
    Strand strand_ = strandOf(io_.get_executor());
};

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// A POST's event stream that gives an id to resume from and little else.
std::string primed(const std::string& id) { return "id: " + id + "\nretry: 100\ndata: \n\n"; }

TEST_F(HostileServerTest, EveryHostileAnswerEndsInAClearErrorAndNoFieldIsEverSplit) {
    struct Case {
        const char* name;
        HostileAnswers answers;
        // Whether the handshake fails; else the tool call does.
        bool failsConnect;
        const char* want;
    };
    const Case kCases[] = {
        {"a protocol version carrying a smuggled request",
         {.initialize =
              [](const std::string& id) {
                  return HostileReply::json(initializeAnswer(
                      id, R"("2025-06-18\r\n\r\nGET /smuggled/admin HTTP/1.1\r\nHost: gateway\r\n\r\n")"));
              }},
         true,
         "The server answered with a protocol version, which this client does not support"},
        {"a protocol version the client does not speak",
         {.initialize = [](const std::string& id) { return HostileReply::json(initializeAnswer(id, R"("1999-01-01")")); }},
         true,
         R"(The server answered with protocol version "1999-01-01", which this client does not support)"},
        {"an answer that is not UTF-8",
         {.toolCall = [](const std::string& id) { return HostileReply::json(toolResult(id, "\xff")); }},
         false,
         "the answer does not hold it (a message that could not be read was dropped)"},
        {"an answer holding a raw NUL",
         {.toolCall = [](const std::string& id) { return HostileReply::json(toolResult(id, std::string("a\0b", 3))); }},
         false,
         "the answer does not hold it (a message that could not be read was dropped)"},
        {"an answer nested deeper than the reader takes",
         {.toolCall = [](const std::string& id) { return HostileReply::json(answer(id, nested(600))); }},
         false,
         "the answer does not hold it (a message that could not be read was dropped)"},
        {"an answer for an id the client never sent",
         {.toolCall = [](const std::string&) { return HostileReply::json(toolResult(R"("someone-else")", "hi")); }},
         false,
         "the answer does not hold it"},
        {"an answer of no message at all",
         {.toolCall = [](const std::string&) { return HostileReply::status(202); }},
         false,
         "the answer holds no message"},
        {"an event stream that ends without the answer or an event id",
         {.toolCall =
              [](const std::string&) {
                  return HostileReply::eventStream(R"(data: {"jsonrpc":"2.0","method":"notifications/progress"})"
                                                   "\n\n");
              }},
         false,
         "the event stream ended without it, with no event ID to resume from"},
        {"an event stream whose answer can't be read",
         {.toolCall =
              [](const std::string& id) { return HostileReply::eventStream("data: " + answer(id, nested(600)) + "\n\n"); }},
         false,
         "the event stream ended without it, with no event ID to resume from (a message that could not be read "
         "was dropped)"},
        {"an event stream resumed for ever, with a new event id every time",
         {.toolCall = [](const std::string&) { return HostileReply::eventStream(primed("e")); },
          .resumption =
              [](const HostileRequest& request) {
                  return HostileReply::eventStream(primed(request.header("Last-Event-ID").value_or("") + "+"));
              }},
         false,
         "the event stream was resumed 5 times without bringing it"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        HostileHTTPServer server([&](const HostileRequest& request) { return play(test.answers, request); });
        auto client = makeClient();
        auto transport = makeTransport(server);
        if (test.failsConnect) {
            EXPECT_THAT(failureOf(client->connect(transport)), HasSubstr(test.want));
            EXPECT_FALSE(client->connection()) << "the connection is let go";
        } else {
            await(client->connect(transport));
            EXPECT_THAT(failureOf(client->callTool("look")), HasSubstr(test.want));
            EXPECT_EQ(client->pendingRequestCount(), 0u);
        }
        await(client->disconnect());
        expectNoSplitField(server.received());
    }
}

TEST_F(HostileServerTest, AFieldHoldingCRLFOrNULNeverLeavesTheTransport) {
    HostileHTTPServer server([](const HostileRequest&) { return HostileReply::status(202); });
    auto transport = makeTransport(server);
    await(transport->connect());
    for (const std::string& version : {std::string("2025-06-18\r\nX-Injected: 1"), std::string("2025-06-18\0x", 12)}) {
        await(transport->updateNegotiatedProtocolVersion(version));
        try {
            await(transport->send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));
            ADD_FAILURE() << "the send went out";
        } catch (const boost::system::system_error& error) {
            EXPECT_EQ(error.code(), net::Error::unsafeHeader);
        }
    }
    await(transport->disconnect());
    EXPECT_EQ(server.received(), "") << "nothing was written";
}

TEST_F(HostileServerTest, ACallThatLosesARaceWithATimerIsCancelledOnce) {
    HostileHTTPServer server([](const HostileRequest& request) { return play({}, request); });
    auto client = makeClient();
    await(client->connect(makeTransport(server)));

    using asio::experimental::awaitable_operators::operator||;
    auto race = [](std::shared_ptr<Client> racer) -> asio::awaitable<bool> {
        asio::steady_timer timer(co_await asio::this_coro::executor, std::chrono::milliseconds(20));
        auto call = racer->callTool("look");
        const auto first = co_await (std::move(call) || timer.async_wait(asio::use_awaitable));
        co_return first.index() == 1;
    };
    EXPECT_TRUE(await(race(client))) << "the timer ends the race";

    const auto cancellations = [&] {
        auto requests = server.requests();
        std::erase_if(requests, [](const HostileRequest& request) {
            return request.body.find("notifications/cancelled") == std::string::npos;
        });
        return requests;
    };
    pollUntil([&] { return cancellations().size() == 1; });
    EXPECT_EQ(client->pendingRequestCount(), 0u);
    await(client->ping());
    await(client->disconnect());
    ASSERT_EQ(cancellations().size(), 1u);
    const auto requests = server.requests();
    const auto call = std::find_if(requests.begin(), requests.end(), [](const HostileRequest& request) {
        return request.body.find("tools/call") != std::string::npos;
    });
    ASSERT_NE(call, requests.end());
    const auto notice = boost::json::parse(cancellations()[0].body).as_object();
    EXPECT_EQ(notice.at("params").as_object().at("requestId"), boost::json::parse(call->body).as_object().at("id"));
}

}  // namespace
}  // namespace mcp
