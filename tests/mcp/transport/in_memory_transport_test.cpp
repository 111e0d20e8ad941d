#include "mcp/transport/in_memory_transport.hpp"

#include "tests/mcp/coroutine_runner.hpp"
#include "tests/mcp/transport/log_lines.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <gtest/gtest.h>

#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

namespace mcp {
namespace {

using boost::asio::awaitable;
using testing::runCoroutine;

// Awaits `operation` and returns the `MCPError` it throws, or nothing.
template <class Operation>
awaitable<std::optional<MCPError>> failureOf(Operation operation) {
    try {
        co_await operation();
    } catch (const MCPError& error) {
        co_return error;
    }
    co_return std::nullopt;
}

struct Ends {
    std::shared_ptr<InMemoryTransport> client;
    std::shared_ptr<InMemoryTransport> server;
};

// A pair on the current executor, both ends connected.
awaitable<Ends> connectedEnds() {
    const auto executor = co_await boost::asio::this_coro::executor;
    auto transports = InMemoryTransport::createConnectedPair(executor);
    Ends ends{std::move(transports.first), std::move(transports.second)};
    co_await ends.client->connect();
    co_await ends.server->connect();
    co_return ends;
}

TEST(InMemoryTransport, LabelsItsLoggers) {
    boost::asio::io_context io;
    auto [client, server] = InMemoryTransport::createConnectedPair(io.get_executor());
    EXPECT_EQ(client->logger().label(), "mcp.transport.in-memory.client");
    EXPECT_EQ(server->logger().label(), "mcp.transport.in-memory.server");
    EXPECT_EQ(InMemoryTransport::make(io.get_executor())->logger().label(), "mcp.transport.in-memory");
}

TEST(InMemoryTransport, DeliversMessagesWholeAndInOrder) {
    runCoroutine([]() -> awaitable<void> {
        // Named copies, not a structured binding: GCC 12 loses those in a coroutine frame.
        const Ends ends = co_await connectedEnds();
        const auto client = ends.client;
        const auto server = ends.server;
        co_await client->connect();
        co_await client->send("A");
        co_await client->send("B\nC");
        auto incoming = server->receive();
        co_await client->send("D");
        EXPECT_EQ(testing::textOf(co_await incoming->next()), "A");
        EXPECT_EQ(testing::textOf(co_await incoming->next()), "B\nC");
        EXPECT_EQ(testing::textOf(co_await incoming->next()), "D");

        auto replies = client->receive();
        co_await server->send(R"({"jsonrpc":"2.0","id":1,"result":{}})");
        EXPECT_EQ(testing::textOf(co_await replies->next()), R"({"jsonrpc":"2.0","id":1,"result":{}})");
    });
}

TEST(InMemoryTransport, DisconnectEndsBothStreams) {
    runCoroutine([]() -> awaitable<void> {
        // Named copies, not a structured binding: GCC 12 loses those in a coroutine frame.
        const Ends ends = co_await connectedEnds();
        const auto client = ends.client;
        const auto server = ends.server;
        auto clientStream = client->receive();
        auto serverStream = server->receive();
        co_await client->send("last");
        co_await client->disconnect();

        EXPECT_EQ(co_await clientStream->next(), std::nullopt);
        EXPECT_EQ(testing::textOf(co_await serverStream->next()), "last");
        try {
            co_await serverStream->next();
            ADD_FAILURE() << "the server's stream ended without an error";
        } catch (const MCPError& error) {
            EXPECT_EQ(error, MCPError::connectionClosed());
        }
        const auto failure = co_await failureOf([&] { return server->send("x"); });
        EXPECT_EQ(failure, MCPError::internalError("Transport not connected"));
        co_await client->disconnect();
    });
}

TEST(InMemoryTransport, RefusesWhatCannotBeDelivered) {
    runCoroutine([]() -> awaitable<void> {
        const auto executor = co_await boost::asio::this_coro::executor;
        auto lone = InMemoryTransport::make(executor);
        EXPECT_EQ(co_await failureOf([&] { return lone->connect(); }),
                  MCPError::internalError("Transport not paired. Use createConnectedPair() to create paired transports."));
        EXPECT_EQ(co_await failureOf([&] { return lone->send("x"); }), MCPError::internalError("Transport not connected"));

        // No structured binding: GCC 12 loses those in a coroutine frame.
        auto transports = InMemoryTransport::createConnectedPair(executor);
        auto client = std::move(transports.first);
        auto server = std::move(transports.second);
        co_await server->connect();
        // The client has not connected yet: it keeps the message for its first stream.
        co_await server->send("early");
        co_await client->connect();
        auto stream = client->receive();
        co_await server->send("kept");
        EXPECT_EQ(testing::textOf(co_await stream->next()), "early");
        EXPECT_EQ(testing::textOf(co_await stream->next()), "kept");

        // Once the client has disconnected, a send to it fails instead of vanishing.
        co_await client->disconnect();
        co_await server->connect();
        EXPECT_EQ(co_await failureOf([&] { return server->send("lost"); }), MCPError::internalError("Peer not connected"));

        client.reset();
        // The last frames of the refused delivery, which hold the client, end on the next turn.
        co_await boost::asio::post(executor, boost::asio::use_awaitable);
        EXPECT_EQ(co_await failureOf([&] { return server->send("x"); }), MCPError::internalError("No paired transport"));
    });
}

TEST(InMemoryTransport, LogsEachStep) {
    runCoroutine([]() -> awaitable<void> {
        const auto executor = co_await boost::asio::this_coro::executor;
        const testing::LogLines log;
        // No structured binding: GCC 12 loses those in a coroutine frame.
        auto transports = InMemoryTransport::createConnectedPair(executor, log.logger());
        auto client = std::move(transports.first);
        auto server = std::move(transports.second);
        co_await client->connect();
        co_await client->connect();
        co_await server->connect();
        co_await client->send("abc");
        co_await server->disconnect();
        EXPECT_EQ(co_await failureOf([&] { return client->send("x"); }), MCPError::internalError("Transport not connected"));
        co_await client->connect();
        EXPECT_EQ(co_await failureOf([&] { return client->send("late"); }), MCPError::internalError("Peer not connected"));
        EXPECT_EQ(log.lines(), (std::vector<std::string>{
                                   "info Transport connected successfully",
                                   "debug Transport already connected",
                                   "info Transport connected successfully",
                                   "debug Sending message size=3",
                                   "debug Message received size=3",
                                   "info Peer transport disconnected",
                                   "info Transport disconnected",
                                   "info Transport connected successfully",
                                   "debug Sending message size=4",
                                   "warning Received message while disconnected",
                               }));
    });
}

TEST(InMemoryTransport, StreamMadeBeforeConnectEndsAtOnce) {
    runCoroutine([]() -> awaitable<void> {
        const auto executor = co_await boost::asio::this_coro::executor;
        // No structured binding: GCC 12 loses those in a coroutine frame.
        auto transports = InMemoryTransport::createConnectedPair(executor);
        auto client = std::move(transports.first);
        auto server = std::move(transports.second);
        auto early = server->receive();
        EXPECT_EQ(co_await early->next(), std::nullopt);
        co_await client->connect();
        co_await server->connect();
        auto first = server->receive();
        auto second = server->receive();
        co_await client->send("to the newest stream");
        EXPECT_EQ(testing::textOf(co_await second->next()), "to the newest stream");
        EXPECT_FALSE(first->isFinished());
    });
}

}  // namespace
}  // namespace mcp
