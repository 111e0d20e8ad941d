// The server over a connection that breaks at every step of one exchange in turn: each run
// must end with the error its contract names and leave nothing behind.

#include "mcp/server/server.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/json/json.hpp"
#include "tests/mcp/server_harness.hpp"
#include "tests/mcp/transport/log_lines.hpp"

#include <boost/asio/co_spawn.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;

// The server's end of the in-memory pair, breaking at its operation number `breakAt`: sends and
// received messages are counted together from 0, and that operation fails, as does every one
// after it, the way a dropped connection does. A failed send throws; a failed receive ends the
// stream with the error.
class BreakingTransport final : public Transport, public std::enable_shared_from_this<BreakingTransport> {
public:
    BreakingTransport(asio::any_io_executor executor, std::shared_ptr<InMemoryTransport> inner, std::size_t breakAt)
        : executor_(std::move(executor)), inner_(std::move(inner)), breakAt_(breakAt) {}

    const logging::Logger& logger() const override { return inner_->logger(); }
    asio::awaitable<void> connect() override { return inner_->connect(); }
    asio::awaitable<void> disconnect() override { return inner_->disconnect(); }

    asio::awaitable<void> send(OutgoingMessage message) override {
        if (breaks("send", message.text())) throw std::runtime_error("Connection reset");
        co_await inner_->send(std::move(message));
    }

    std::shared_ptr<MessageStream> receive() override {
        auto stream = MessageStream::make();
        asio::co_spawn(executor_, forward(inner_->receive(), stream), [](std::exception_ptr) {});
        return stream;
    }

    // What the first failed operation was ("send initialize result"), empty while none has.
    const std::string& brokenOperation() const noexcept { return brokenOperation_; }

private:
    asio::awaitable<void> forward(std::shared_ptr<MessageStream> from, std::shared_ptr<MessageStream> to) {
        const auto self = shared_from_this();
        std::exception_ptr end;
        try {
            while (auto message = co_await from->next()) {
                if (breaks("receive", message->text())) {
                    to->finish(std::make_exception_ptr(std::runtime_error("Connection reset")));
                    co_return;
                }
                to->push(std::move(*message));
            }
        } catch (...) {
            end = std::current_exception();
        }
        to->finish(end);
    }

    bool breaks(std::string_view direction, const std::string& message) {
        if (operations_++ < breakAt_) return false;
        if (brokenOperation_.empty()) brokenOperation_ = std::string(direction) + " " + describe(message);
        return true;
    }

    // A message by its method, or as the response it is.
    static std::string describe(const std::string& message) {
        const Value value = parseJSON(message);
        if (const auto* method = value.objectValue()->find("method")) return *method->stringValue();
        return value.objectValue()->contains("error") ? "error response" : "response";
    }

    asio::any_io_executor executor_;
    std::shared_ptr<InMemoryTransport> inner_;
    std::size_t breakAt_;
    std::size_t operations_ = 0;
    std::string brokenOperation_;
};

class ServerOverABrokenConnection : public testing::ServerFixture {
protected:
    void TearDown() override { endRunAndCheckNothingIsLeft(); }

    // Runs the whole exchange against a connection that breaks at operation `breakAt`, as far
    // as it goes; true when the client got every answer.
    bool runExchange(std::size_t breakAt) {
        journal_.clear();
        makeServer();
        addLookingTool();
        transportLogger_ = journal_.logger();
        startServer({}, [&](std::shared_ptr<InMemoryTransport> inMemoryEnd) {
            transport_ = std::make_shared<BreakingTransport>(io_.get_executor(), std::move(inMemoryEnd), breakAt);
            return transport_;
        });
        exchange_ = start(exchange());
        runReady();
        return exchange_->done && !exchange_->error;
    }

    // Stops the server and checks that the run left nothing: no request in progress or
    // awaiting the client, no handler midway, no client still waiting for an answer.
    void endRunAndCheckNothingIsLeft() {
        if (!server_) return;
        await(server_->stop());
        runReady();
        EXPECT_FALSE(server_->isStarted());
        EXPECT_EQ(server_->requestsInProgress(), 0u);
        EXPECT_EQ(server_->requestsAwaitingClient(), 0u);
        EXPECT_EQ(handlersStarted_, handlersFinished_) << "a handler never finished";
        EXPECT_TRUE(exchange_ && exchange_->done) << "the client still waits for an answer";
        server_.reset();
    }

    // A tool that tells the client what it is doing and then asks for the client's roots:
    // one notification and one request from the server inside a request from the client. What
    // it fails with goes to `handlerError_`.
    void addLookingTool() {
        handlerError_.clear();
        server_->withMethodHandler<CallTool>([this](CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
            ++handlersStarted_;
            struct Finish {
                int& finished;
                ~Finish() { ++finished; }
            } finish{handlersFinished_};
            std::string failure;
            try {
                co_await server_->log(LogLevel::info, std::nullopt, Value("looking"));
                const auto roots = co_await server_->listRoots();
                co_return CallTool::Result{.content = {Tool::Content::text(roots.at(0).name.value_or(""))}};
            } catch (const std::exception& error) {
                failure = error.what();
            }
            handlerError_ = failure;
            throw std::runtime_error(failure);
        });
    }

    // The client's side: initialize (declaring roots), the initialized notification, a tool
    // call, and the answer to the server's roots request made during it.
    asio::awaitable<void> exchange() {
        co_await client_->send(
            R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{"roots":{}},"clientInfo":{"name":"tester","version":"1"}}})");
        received_.push_back(co_await nextLine());
        co_await client_->send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
        co_await client_->send(R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"look"}})");
        received_.push_back(co_await nextLine());
        const Value rootsRequest = parseJSON(co_await nextLine());
        const std::string id = *rootsRequest.objectValue()->find("id")->stringValue();
        co_await client_->send(R"({"jsonrpc":"2.0","id":")" + id + R"(","result":{"roots":[{"uri":"file:///home/ada","name":"Home"}]}})");
        received_.push_back(co_await nextLine());
    }

    asio::awaitable<std::string> nextLine() {
        auto line = co_await incoming_->next();
        if (!line) throw std::runtime_error("the server's stream ended");
        co_return line->text();
    }

    bool logged(std::string_view line) const {
        const auto lines = journal_.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    testing::LogLines journal_;
    std::shared_ptr<BreakingTransport> transport_;
    std::shared_ptr<Outcome<void>> exchange_;
    std::vector<std::string> received_;
    std::string handlerError_;
    int handlersStarted_ = 0;
    int handlersFinished_ = 0;
};

TEST_F(ServerOverABrokenConnection, EachBreakEndsWithItsErrorAndLeavesNothing) {
    constexpr std::string_view kLoopEnded = "error Fatal error in message handling loop error=Connection reset";
    constexpr std::string_view kAnswerLost = "debug Failed to send response error=Connection reset";
    // One row per operation of the exchange, in order: the operation that breaks, what the
    // server logs of it, and what the tool's handler fails with (the roots request that can no
    // longer be answered waits until `stop`).
    const struct {
        std::string_view operation, logLine, handlerError;
    } kCases[] = {
        {"receive initialize", kLoopEnded, ""},
        {"send response", kAnswerLost, ""},
        {"receive notifications/initialized", kLoopEnded, ""},
        {"receive tools/call", kLoopEnded, ""},
        {"send notifications/message", kAnswerLost, "Connection reset"},
        {"send roots/list", kAnswerLost, "Connection reset"},
        {"receive response", kLoopEnded, "Internal error: Server disconnected"},
        {"send response", kAnswerLost, ""},
    };
    for (std::size_t breakAt = 0;; ++breakAt) {
        SCOPED_TRACE("breaking at operation " + std::to_string(breakAt));
        received_.clear();
        const bool completed = runExchange(breakAt);
        if (breakAt == std::size(kCases)) {
            ASSERT_TRUE(completed) << transport_->brokenOperation();
            break;
        }
        ASSERT_FALSE(completed);
        const auto& want = kCases[breakAt];
        EXPECT_EQ(transport_->brokenOperation(), want.operation);
        endRunAndCheckNothingIsLeft();
        EXPECT_TRUE(logged(want.logLine)) << want.logLine;
        EXPECT_EQ(handlerError_, want.handlerError);
    }
    ASSERT_EQ(received_.size(), 3u);
    EXPECT_EQ(received_[1],
              R"({"jsonrpc":"2.0","method":"notifications/message","params":{"data":"looking","level":"info"}})");
    EXPECT_EQ(received_[2], R"({"id":2,"jsonrpc":"2.0","result":{"content":[{"text":"Home","type":"text"}]}})");
}

}  // namespace
}  // namespace mcp
