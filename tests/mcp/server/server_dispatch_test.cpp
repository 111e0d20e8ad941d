#include "mcp/server/server.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "tests/mcp/server/noting_end.hpp"
#include "tests/mcp/server_harness.hpp"

#include <gtest/gtest.h>

#include <boost/asio/co_spawn.hpp>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;

class ServerDispatch : public testing::ServerFixture {
protected:
    void registerTools() {
        server_->withMethodHandler<CallTool>([](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
            if (params.name == "boom") throw std::runtime_error("boom");
            co_return CallTool::Result{.content = {Tool::Content::text("called " + params.name)}};
        });
        server_->withMethodHandler<ListTools>(
            [](ListTools::Parameters) -> asio::awaitable<ListTools::Result> { co_return ListTools::Result{}; });
    }
};

// errorReply: the error response the server writes for code and detail, under id (its JSON
// text): the message is the code's title, then the detail.
std::string errorReply(int code, std::string_view detail, std::string_view id) {
    const auto title = [code]() -> std::string_view {
        switch (code) {
        case -32700: return "Parse error: Invalid JSON";
        case -32600: return "Invalid Request";
        case -32601: return "Method not found";
        case -32602: return "Invalid params";
        case -32603: return "Internal error";
        default: return "?";
        }
    }();
    const std::string text(detail);
    return R"({"error":{"code":)" + std::to_string(code) + R"(,"data":{"detail":")" + text + R"("},"message":")" +
           std::string(title) + ": " + text + R"("},"id":)" + std::string(id) + R"(,"jsonrpc":"2.0"})";
}

std::string parseErrorWithID(std::string_view id) { return errorReply(-32700, "Invalid message format", id); }

std::string notInitializedWithID(std::string_view id) { return errorReply(-32600, "Server is not initialized", id); }

TEST_F(ServerDispatch, AnswersEachMessageAsTheProtocolSays) {
    const bool strict = true;
    const struct {
        std::string_view name;
        bool strict;
        std::vector<std::string_view> lines;
        std::vector<std::string> replies;
    } kCases[] = {
        {"ping", !strict, {R"({"jsonrpc":"2.0","id":1,"method":"ping"})"}, {R"({"id":1,"jsonrpc":"2.0","result":{}})"}},
        {"ping with params", !strict, {R"({"jsonrpc":"2.0","id":1,"method":"ping","params":[]})"}, {R"({"id":1,"jsonrpc":"2.0","result":{}})"}},
        {"unknown method", !strict, {R"({"jsonrpc":"2.0","id":2,"method":"foo"})"},
         {errorReply(-32601, "Unknown method: foo", "2")}},
        {"empty method", !strict, {R"({"jsonrpc":"2.0","id":2,"method":""})"},
         {errorReply(-32601, "Unknown method: ", "2")}},
        {"tool call", !strict, {R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"look"}})"},
         {R"({"id":3,"jsonrpc":"2.0","result":{"content":[{"text":"called look","type":"text"}]}})"}},
        {"no params where they are required", !strict, {R"({"jsonrpc":"2.0","id":4,"method":"tools/call"})"},
         {errorReply(-32602, "Missing required params field", "4")}},
        {"params that don't fit", !strict, {R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":{"arguments":{}}})"},
         {errorReply(-32602, "Invalid params field", "4")}},
        {"handler throws", !strict, {R"({"jsonrpc":"2.0","id":5,"method":"tools/call","params":{"name":"boom"}})"},
         {errorReply(-32603, "boom", "5")}},
        {"not JSON", !strict, {"not json"}, {parseErrorWithID("null")}},
        {"integer id", !strict, {R"({"id":7})"}, {parseErrorWithID("7")}},
        {"whole id", !strict, {R"({"id":7.0,"x":1})"}, {parseErrorWithID("7")}},
        {"string id", !strict, {R"({"id":"abc"})"}, {parseErrorWithID(R"("abc")")}},
        {"fractional id", !strict, {R"({"id":1.5})"}, {parseErrorWithID("null")}},
        {"null id", !strict, {R"({"id":null})"}, {parseErrorWithID("null")}},
        {"boolean id", !strict, {R"({"id":true})"}, {parseErrorWithID("null")}},
        {"no id", !strict, {R"({"jsonrpc":"2.0"})"}, {parseErrorWithID("null")}},
        {"not an object", !strict, {"42"}, {parseErrorWithID("null")}},
        {"old JSON-RPC", !strict, {R"({"jsonrpc":"1.0","id":"abc","method":"ping"})"}, {parseErrorWithID(R"("abc")")}},
        {"result and method make a response", !strict, {R"({"jsonrpc":"2.0","id":5,"result":{},"method":"ping"})"}, {}},
        {"response to no request", !strict, {R"({"jsonrpc":"2.0","id":99,"error":{"code":-32600,"message":"x"}})"}, {}},
        {"unknown notification", !strict, {R"({"jsonrpc":"2.0","method":"notifications/unknown"})"}, {}},
        {"batch", !strict,
         {R"([{"jsonrpc":"2.0","id":1,"method":"ping"},{"jsonrpc":"2.0","method":"notifications/initialized"},{"jsonrpc":"2.0","id":2,"method":"foo"}])"},
         {R"([{"id":1,"jsonrpc":"2.0","result":{}},)" + errorReply(-32601, "Unknown method: foo", "2") + "]"}},
        {"batch keeps the order of its requests", !strict,
         {R"([{"jsonrpc":"2.0","id":"b","method":"tools/call","params":{"name":"x"}},{"jsonrpc":"2.0","id":"a","method":"ping"}])"},
         {R"([{"id":"b","jsonrpc":"2.0","result":{"content":[{"text":"called x","type":"text"}]}},{"id":"a","jsonrpc":"2.0","result":{}}])"}},
        {"batch of notifications", !strict,
         {R"([{"jsonrpc":"2.0","method":"notifications/initialized"},{"jsonrpc":"2.0","method":"notifications/cancelled","params":{}}])"}, {}},
        {"empty batch", !strict, {"[]"},
         {errorReply(-32600, "Batch array must not be empty", "null")}},
        {"batch with an item that is no message", !strict, {R"([{"jsonrpc":"2.0","id":1,"method":"ping"},1])"}, {parseErrorWithID("null")}},
        {"batch with a response", !strict, {R"([{"jsonrpc":"2.0","id":1,"result":{}}])"}, {parseErrorWithID("null")}},
        {"batch item with an empty method", !strict, {R"([{"jsonrpc":"2.0","id":4,"method":""}])"},
         {"[" + errorReply(-32600, "Invalid batch item format", "4") + "]"}},
        {"strict: request before initialize", strict, {R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})"}, {notInitializedWithID("1")}},
        {"strict: unknown method before initialize", strict, {R"({"jsonrpc":"2.0","id":"x","method":"foo"})"}, {notInitializedWithID(R"("x")")}},
        {"strict: ping before initialize", strict, {R"({"jsonrpc":"2.0","id":1,"method":"ping"})"}, {R"({"id":1,"jsonrpc":"2.0","result":{}})"}},
        {"strict: notification before initialize", strict, {R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}})"}, {}},
        {"strict: initialized notification is no handshake", strict,
         {R"({"jsonrpc":"2.0","method":"notifications/initialized"})", R"({"jsonrpc":"2.0","id":3,"method":"tools/list"})"},
         {notInitializedWithID("3")}},
        {"strict: request after initialize", strict,
         {R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})",
          R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})"},
         {R"({"id":1,"jsonrpc":"2.0","result":{"capabilities":{"tools":{}},"protocolVersion":"2025-06-18","serverInfo":{"name":"probe","version":"1.0"}}})",
          R"({"id":2,"jsonrpc":"2.0","result":{"tools":[]}})"}},
        {"strict: batch before initialize", strict,
         {R"([{"jsonrpc":"2.0","id":1,"method":"tools/list"},{"jsonrpc":"2.0","id":2,"method":"ping"}])"},
         {"[" + notInitializedWithID("1") + R"(,{"id":2,"jsonrpc":"2.0","result":{}}])"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        makeServer(c.strict ? Server::Configuration::strictConfiguration() : Server::Configuration::defaultConfiguration());
        registerTools();
        startServer();
        for (const auto line : c.lines) send(line);
        EXPECT_EQ(repliesBeforeSentinel(), c.replies);
        await(server_->stop());
    }
}

TEST_F(ServerDispatch, NamesTheRequestEachAnswerIsFor) {
    const struct {
        std::string_view name;
        std::string_view line;
        std::vector<std::string> want;
    } kCases[] = {
        {"answer", R"({"jsonrpc":"2.0","id":3,"method":"ping"})", {"3"}},
        {"error answer", R"({"jsonrpc":"2.0","id":"x","method":"nope"})", {"x"}},
        {"unreadable message with an id", R"({"id":7})", {"7"}},
        {"not JSON", "not json", {"-"}},
        {"batch", R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])", {"-"}},
        {"notification", R"({"jsonrpc":"2.0","method":"notifications/initialized"})", {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> noted;
        makeServer();
        startServer({}, [&noted](std::shared_ptr<InMemoryTransport> end) {
            return std::make_shared<testing::NotingEnd>(std::move(end), noted);
        });
        send(c.line);
        repliesBeforeSentinel();
        auto want = c.want;
        want.push_back("sentinel");
        EXPECT_EQ(noted, want);
        await(server_->stop());
    }
}

// The server's end of an in-memory pair that hands the server each message as the value read
// from its text, as a transport that reads messages to route them does.
class ReadingEnd final : public Transport {
public:
    ReadingEnd(asio::any_io_executor executor, std::shared_ptr<InMemoryTransport> inner)
        : executor_(std::move(executor)), inner_(std::move(inner)) {}

    const logging::Logger& logger() const override { return inner_->logger(); }
    asio::awaitable<void> connect() override { return inner_->connect(); }
    asio::awaitable<void> disconnect() override { return inner_->disconnect(); }
    asio::awaitable<void> send(OutgoingMessage message) override { return inner_->send(std::move(message)); }
    std::shared_ptr<MessageStream> receive() override {
        auto stream = MessageStream::make();
        asio::co_spawn(executor_, forwardRead(inner_->receive(), stream), [](std::exception_ptr) {});
        return stream;
    }

private:
    static asio::awaitable<void> forwardRead(std::shared_ptr<MessageStream> from, std::shared_ptr<MessageStream> to) {
        std::exception_ptr end;
        try {
            while (auto message = co_await from->next()) to->push(std::move(*message).value());
        } catch (...) {
            end = std::current_exception();
        }
        to->finish(end);
    }

    asio::any_io_executor executor_;
    std::shared_ptr<InMemoryTransport> inner_;
};

TEST_F(ServerDispatch, AnswersAMessageHandedAsAValueAsItAnswersItsText) {
    constexpr struct {
        std::string_view name, line;
    } kCases[] = {
        {"request", R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"look"}})"},
        {"failing request", R"({"jsonrpc":"2.0","id":"b","method":"tools/call","params":{"name":"boom"}})"},
        {"notification", R"({"jsonrpc":"2.0","method":"notifications/initialized"})"},
        {"response", R"({"jsonrpc":"2.0","id":99,"result":{}})"},
        {"batch", R"([{"jsonrpc":"2.0","id":1,"method":"ping"},{"jsonrpc":"2.0","id":2,"method":"foo"}])"},
        {"invalid message with an id", R"({"jsonrpc":"2.0","id":7})"},
    };
    const auto repliesTo = [this](std::string_view line, const ServerEnd& serverEnd) {
        makeServer();
        registerTools();
        startServer({}, serverEnd);
        send(line);
        auto replies = repliesBeforeSentinel();
        await(server_->stop());
        return replies;
    };
    const ServerEnd reading = [this](std::shared_ptr<InMemoryTransport> end) {
        return std::make_shared<ReadingEnd>(io_.get_executor(), std::move(end));
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(repliesTo(c.line, reading), repliesTo(c.line, {}));
    }
}

TEST_F(ServerDispatch, ServesToolCallsWithoutInitializeWhenNotStrict) {
    makeServer();
    registerTools();
    startServer();
    send(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"look"}})");
    EXPECT_EQ(nextReply(), R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":"called look","type":"text"}]}})");
    EXPECT_FALSE(server_->isInitialized());
}

TEST_F(ServerDispatch, PassesTheRequestsIDToTheHandler) {
    makeServer();
    std::vector<std::string> seen;
    server_->withMethodHandler<ListTools>(
        [&seen](ListTools::Parameters, const HandlerContext& context) -> asio::awaitable<ListTools::Result> {
            seen.push_back(context.id.description() + (context.httpContext ? " over HTTP" : ""));
            co_return ListTools::Result{};
        });
    startServer();
    send(R"({"jsonrpc":"2.0","id":"first","method":"tools/list"})");
    send(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})");
    nextReply();
    nextReply();
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "2"}));
}

TEST_F(ServerDispatch, ASlowHandlerDoesNotHoldUpLaterMessages) {
    makeServer();
    testing::Gate gate;
    server_->withMethodHandler<CallTool>([&gate](CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
        co_await gate.wait();
        co_return CallTool::Result{.content = {Tool::Content::text("slow")}};
    });
    startServer();
    send(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"slow"}})");
    send(R"({"jsonrpc":"2.0","id":2,"method":"ping"})");
    EXPECT_EQ(nextReply(), R"({"id":2,"jsonrpc":"2.0","result":{}})");
    gate.release();
    EXPECT_EQ(nextReply(), R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":"slow","type":"text"}]}})");
}

TEST_F(ServerDispatch, RunsNotificationHandlersInOrderPastOneThatFails) {
    makeServer();
    std::vector<std::string> calls;
    server_->onNotification<InitializedNotification>([&calls](Message<InitializedNotification>) -> asio::awaitable<void> {
        calls.push_back("first");
        throw std::runtime_error("first failed");
        co_return;
    });
    server_->onNotification<InitializedNotification>([&calls](Message<InitializedNotification>) -> asio::awaitable<void> {
        calls.push_back("second");
        co_return;
    });
    startServer();
    send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{});
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
}

TEST_F(ServerDispatch, ALaterHandlerForAMethodReplacesTheEarlierOne) {
    makeServer();
    server_->withMethodHandler<ListTools>(
        [](ListTools::Parameters) -> asio::awaitable<ListTools::Result> { co_return ListTools::Result{.nextCursor = "first"}; });
    server_->withMethodHandler<ListTools>(
        [](ListTools::Parameters) -> asio::awaitable<ListTools::Result> { co_return ListTools::Result{.nextCursor = "second"}; });
    startServer();
    send(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})");
    EXPECT_EQ(nextReply(), R"({"id":1,"jsonrpc":"2.0","result":{"nextCursor":"second","tools":[]}})");
}

}  // namespace
}  // namespace mcp
