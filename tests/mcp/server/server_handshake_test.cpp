#include "mcp/server/server.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/http/http_context_providing.hpp"
#include "tests/mcp/server_harness.hpp"

#include <gtest/gtest.h>

#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;

class ServerHandshake : public testing::ServerFixture {};

std::string initializeRequest(int id, std::string_view version) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"initialize","params":{"protocolVersion":")" +
           std::string(version) + R"(","capabilities":{"roots":{}},"clientInfo":{"name":"tester","version":"2.0"}}})";
}

constexpr std::string_view kAlreadyInitialized =
    R"({"error":{"code":-32600,"data":{"detail":"Server is already initialized"},"message":"Invalid Request: Server is already initialized"},)";

TEST_F(ServerHandshake, NegotiatesTheProtocolVersion) {
    const struct {
        std::string_view requested, answered;
    } kCases[] = {
        {"2025-06-18", "2025-06-18"},
        {"1999-01-01", "2025-11-25"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.requested);
        makeServer();
        startServer();
        send(initializeRequest(1, c.requested));
        EXPECT_EQ(nextReply(), R"({"id":1,"jsonrpc":"2.0","result":{"capabilities":{"tools":{}},"protocolVersion":")" +
                                   std::string(c.answered) + R"(","serverInfo":{"name":"probe","version":"1.0"}}})");
        EXPECT_EQ(server_->protocolVersion(), c.answered);
        await(server_->stop());
    }
}

TEST_F(ServerHandshake, AnswersWithTheServersIdentityAndInstructions) {
    server_ = std::make_shared<Server>(io_.get_executor(), "vantor-mcp", "1.2.3", "Vantor MCP", "Call look first.",
                                       Server::Capabilities{.logging = Server::Capabilities::Logging{}});
    startServer();
    send(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})");
    EXPECT_EQ(nextReply(),
              R"({"id":1,"jsonrpc":"2.0","result":{"capabilities":{"logging":{}},"instructions":"Call look first.",)"
              R"("protocolVersion":"2025-11-25","serverInfo":{"name":"vantor-mcp","title":"Vantor MCP","version":"1.2.3"}}})");
}

TEST_F(ServerHandshake, RecordsTheClientAndRefusesASecondInitialize) {
    startServer();
    EXPECT_FALSE(server_->isInitialized());
    send(initializeRequest(1, "2025-06-18"));
    nextReply();
    ASSERT_TRUE(server_->isInitialized());
    EXPECT_EQ(server_->clientInfo(), (ClientInfo{.name = "tester", .version = "2.0"}));
    EXPECT_EQ(server_->clientCapabilities(), ClientCapabilities{.roots = ClientCapabilities::Roots{}});
    EXPECT_EQ(server_->protocolVersion(), "2025-06-18");

    send(R"({"jsonrpc":"2.0","id":2,"method":"initialize","params":{"protocolVersion":"2024-11-05","clientInfo":{"name":"other","version":"1"}}})");
    EXPECT_EQ(nextReply(), std::string(kAlreadyInitialized) + R"("id":2,"jsonrpc":"2.0"})");
    EXPECT_EQ(server_->clientInfo()->name, "tester");
    EXPECT_EQ(server_->protocolVersion(), "2025-06-18");
}

TEST_F(ServerHandshake, GivesTheHookTheClientAndAnswersItsError) {
    std::vector<std::string> calls;
    startServer([&calls](const ClientInfo& info, const ClientCapabilities& capabilities) -> asio::awaitable<void> {
        calls.push_back(info.name + (capabilities.roots ? " with roots" : ""));
        if (calls.size() == 1) throw MCPError::invalidRequest("Not now");
        if (calls.size() == 2) throw std::runtime_error("Still not");
        co_return;
    });
    send(initializeRequest(1, "2025-06-18"));
    EXPECT_EQ(nextReply(),
              R"({"error":{"code":-32600,"data":{"detail":"Not now"},"message":"Invalid Request: Not now"},"id":1,"jsonrpc":"2.0"})");
    EXPECT_FALSE(server_->isInitialized());
    EXPECT_FALSE(server_->clientInfo());
    send(initializeRequest(2, "2025-06-18"));
    EXPECT_EQ(nextReply(),
              R"({"error":{"code":-32603,"data":{"detail":"Still not"},"message":"Internal error: Still not"},"id":2,"jsonrpc":"2.0"})");
    send(initializeRequest(3, "2025-06-18"));
    EXPECT_EQ(nextReply().substr(0, 30), R"({"id":3,"jsonrpc":"2.0","resul)");
    EXPECT_TRUE(server_->isInitialized());
    EXPECT_EQ(calls, (std::vector<std::string>{"tester with roots", "tester with roots", "tester with roots"}));
}

TEST_F(ServerHandshake, TwoInitializesAtOnceCannotBothSucceed) {
    testing::Gate gate;
    startServer([&gate](const ClientInfo&, const ClientCapabilities&) -> asio::awaitable<void> { co_await gate.wait(); });
    send(initializeRequest(1, "2025-06-18"));
    runUntil([&] { return gate.waiting() == 1; });
    send(initializeRequest(2, "2024-11-05"));
    EXPECT_EQ(nextReply(), std::string(kAlreadyInitialized) + R"("id":2,"jsonrpc":"2.0"})");
    gate.release();
    EXPECT_EQ(nextReply().substr(0, 30), R"({"id":1,"jsonrpc":"2.0","resul)");
    EXPECT_EQ(server_->protocolVersion(), "2025-06-18");
    EXPECT_EQ(gate.waiting(), 1);
}

// Cancellation of the client's requests.
class ServerCancellation : public testing::ServerFixture {
protected:
    void SetUp() override {
        makeServer();
        addToolHandler();
        startServer();
    }

    // The handler takes the context, so that the server asks an HTTP transport for the request
    // behind each call (LineBeforeContextTransport below steps in there).
    void addToolHandler() {
        server_->withMethodHandler<CallTool>([this](CallTool::Parameters params,
                                                    const HandlerContext&) -> asio::awaitable<CallTool::Result> {
            started_.push_back(params.name);
            struct Finish {
                std::vector<std::string>& finished;
                std::string name;
                ~Finish() { finished.push_back(name); }
            } finish{finished_, params.name};
            if (params.name == "stubborn") {
                // Finishes its work whatever the client says.
                try {
                    co_await gates_[params.name].wait();
                } catch (const boost::system::system_error&) {
                }
            } else {
                co_await gates_[params.name].wait();
            }
            co_return CallTool::Result{.content = {Tool::Content::text(params.name)}};
        });
    }

    void call(int id, std::string_view name) {
        send(R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"tools/call","params":{"name":")" +
             std::string(name) + R"("}})");
        runUntil([&] { return gates_[std::string(name)].waiting() == 1; });
    }

    void cancel(std::string_view params) {
        send(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":)" + std::string(params) + "}");
    }

    void awaitFinished(std::string_view name) {
        runUntil([&] { return std::find(finished_.begin(), finished_.end(), name) != finished_.end(); });
    }

    static std::string result(int id, std::string_view text) {
        return R"({"id":)" + std::to_string(id) + R"(,"jsonrpc":"2.0","result":{"content":[{"text":")" + std::string(text) +
               R"(","type":"text"}]}})";
    }

    std::map<std::string, testing::Gate> gates_;
    std::vector<std::string> started_;
    std::vector<std::string> finished_;
};

TEST_F(ServerCancellation, ACancelledRequestIsNotAnswered) {
    call(9, "slow");
    cancel(R"({"requestId":9,"reason":"changed my mind"})");
    awaitFinished("slow");
    send(R"({"jsonrpc":"2.0","id":10,"method":"ping"})");
    EXPECT_EQ(nextReply(), R"({"id":10,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{});
    EXPECT_EQ(server_->requestsInProgress(), 0u);
}

TEST_F(ServerCancellation, AHandlerThatFinishesAnywayIsAnswered) {
    call(9, "stubborn");
    cancel(R"({"requestId":9})");
    EXPECT_EQ(nextReply(), result(9, "stubborn"));
}

TEST_F(ServerCancellation, ACancellationWithoutOrForAnotherRequestChangesNothing) {
    call(9, "slow");
    cancel("{}");
    cancel(R"({"requestId":10})");
    cancel(R"({"requestId":"9"})");
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{});
    gates_["slow"].release();
    EXPECT_EQ(nextReply(), result(9, "slow"));
}

TEST_F(ServerCancellation, AReusedIDStaysCancellable) {
    call(5, "first");
    call(5, "second");
    gates_["first"].release();
    EXPECT_EQ(nextReply(), result(5, "first"));
    cancel(R"({"requestId":5})");
    awaitFinished("second");
    gates_["second"].release();
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{});
}

// The server's end of the in-memory pair, as an HTTP transport: when the server asks for the
// HTTP request behind a chosen JSON-RPC request (after taking it in, before running its
// handler), it first delivers a line of its own to the server and answers only once `handled`
// says the server has dealt with it. A cancellation can so arrive between the two steps.
class LineBeforeContextTransport final : public Transport, public HTTPContextProviding {
public:
    LineBeforeContextTransport(std::shared_ptr<InMemoryTransport> inner, ID id, std::string line,
                               std::function<bool()> handled)
        : inner_(std::move(inner)), id_(std::move(id)), line_(std::move(line)), handled_(std::move(handled)) {}

    const logging::Logger& logger() const override { return inner_->logger(); }
    asio::awaitable<void> connect() override { return inner_->connect(); }
    asio::awaitable<void> disconnect() override { return inner_->disconnect(); }
    asio::awaitable<void> send(OutgoingMessage message) override { return inner_->send(std::move(message)); }
    std::shared_ptr<MessageStream> receive() override { return incoming_ = inner_->receive(); }

    asio::awaitable<std::optional<HTTPRequest>> httpRequestContext(const ID& id) override {
        if (!(id == id_) || line_.empty()) co_return std::nullopt;
        incoming_->push(std::exchange(line_, {}));
        const auto executor = co_await asio::this_coro::executor;
        for (int turn = 0; turn < 1000 && !handled_(); ++turn) co_await asio::post(executor, asio::use_awaitable);
        co_return std::nullopt;
    }

private:
    std::shared_ptr<InMemoryTransport> inner_;
    ID id_;
    std::string line_;
    std::function<bool()> handled_;
    std::shared_ptr<MessageStream> incoming_;
};

// A cancellation that the server reads after taking in a request but before its handler runs.
class ServerCancellationBeforeTheHandler : public ServerCancellation {
protected:
    void SetUp() override {}

    // Starts the server behind a LineBeforeContextTransport that delivers `line` before request 9
    // gets its context, and `handled` tells when the server has dealt with it.
    void startWithLineBeforeRequestNine(std::string line, std::function<bool()> handled) {
        makeServer();
        addToolHandler();
        startServer({}, [&](std::shared_ptr<InMemoryTransport> inMemoryEnd) {
            return std::make_shared<LineBeforeContextTransport>(std::move(inMemoryEnd), ID(9), std::move(line),
                                                                std::move(handled));
        });
    }
};

TEST_F(ServerCancellationBeforeTheHandler, ACancelledRequestNeverRunsItsHandler) {
    startWithLineBeforeRequestNine(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":9}})",
                                   [this] { return server_->requestsInProgress() == 0; });
    send(R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":{"name":"slow"}})");
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{});
    EXPECT_EQ(started_, std::vector<std::string>{}) << "the handler of a cancelled request ran";
    EXPECT_EQ(server_->requestsInProgress(), 0u);
}

TEST_F(ServerCancellationBeforeTheHandler, ACancellationOfAnotherRequestLetsTheHandlerRun) {
    startWithLineBeforeRequestNine(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":8}})",
                                   [this] { return server_->requestsInProgress() == 1; });
    call(8, "other");
    send(R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":{"name":"slow"}})");
    runUntil([&] { return gates_["slow"].waiting() == 1; });
    EXPECT_EQ(started_, (std::vector<std::string>{"other", "slow"}));
    gates_["slow"].release();
    EXPECT_EQ(nextReply(), result(9, "slow"));
    awaitFinished("other");
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{}) << "the cancelled request 8 is not answered";
}

}  // namespace
}  // namespace mcp
