#include "mcp/transport/in_memory_transport.hpp"

#include "tests/mcp/coroutine_runner.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <gtest/gtest.h>

#include <boost/asio/this_coro.hpp>

namespace mcp {
namespace {

using boost::asio::awaitable;
using testing::runCoroutine;

/// Awaits `operation` and returns the `MCPError` it throws, or nothing.
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

/// A pair on the current executor, both ends connected.
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
        EXPECT_EQ(co_await incoming->next(), "A");
        EXPECT_EQ(co_await incoming->next(), "B\nC");
        EXPECT_EQ(co_await incoming->next(), "D");

        auto replies = client->receive();
        co_await server->send(R"({"jsonrpc":"2.0","id":1,"result":{}})");
        EXPECT_EQ(co_await replies->next(), R"({"jsonrpc":"2.0","id":1,"result":{}})");
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
        EXPECT_EQ(co_await serverStream->next(), "last");
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
        // The client is not connected: the message is dropped, and the send still succeeds.
        EXPECT_EQ(co_await failureOf([&] { return server->send("lost"); }), std::nullopt);
        co_await client->connect();
        auto stream = client->receive();
        co_await server->send("kept");
        EXPECT_EQ(co_await stream->next(), "kept");

        client.reset();
        EXPECT_EQ(co_await failureOf([&] { return server->send("x"); }), MCPError::internalError("No paired transport"));
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
        EXPECT_EQ(co_await second->next(), "to the newest stream");
        EXPECT_FALSE(first->isFinished());
    });
}

}  // namespace
}  // namespace mcp
