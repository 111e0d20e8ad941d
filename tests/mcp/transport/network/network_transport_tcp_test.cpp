// The network transport over real TCP connections to a peer listening on 127.0.0.1.

#include "mcp/transport/network/network_transport.hpp"
#include "mcp/transport/network/tcp_connection.hpp"

#include "tests/mcp/io_test_fixture.hpp"
#include "tests/mcp/transport/log_lines.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <gtest/gtest.h>

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/system/system_error.hpp>

#include <chrono>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using asio::ip::tcp;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kHeartbeat("\xF0\x9F\x92\x93\xDC\x05\0\0\0\0\0\0", 12);

class NetworkTransportTCPTest : public testing::IOTestFixture {
protected:
    NetworkTransportTCPTest() { listen(0); }

    // Listens on 127.0.0.1 at `port` (0: any free port, kept for a later listen).
    void listen(unsigned short port) {
        acceptor_.emplace(io_);
        const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
        acceptor_->open(endpoint.protocol());
        acceptor_->set_option(tcp::acceptor::reuse_address(true));
        acceptor_->bind(endpoint);
        acceptor_->listen();
        port_ = acceptor_->local_endpoint().port();
    }

    std::shared_ptr<NetworkTransport> makeTransport(
        NetworkTransport::ReconnectionConfiguration reconnection,
        NetworkTransport::HeartbeatConfiguration heartbeat = NetworkTransport::HeartbeatConfiguration::disabled()) {
        return NetworkTransport::make(io_.get_executor(), network::TCPConnection::dial("127.0.0.1", std::to_string(port_)),
                                      log_.logger(), heartbeat, reconnection);
    }

    asio::awaitable<tcp::socket> accept() { co_return co_await acceptor_->async_accept(asio::use_awaitable); }

    static asio::awaitable<void> write(tcp::socket& socket, std::string bytes) {
        co_await asio::async_write(socket, asio::buffer(bytes), asio::use_awaitable);
    }

    // True when `lines` holds each of `wanted` in this order, other lines between them.
    static bool inOrder(const Lines& lines, const Lines& wanted) {
        auto next = wanted.begin();
        for (const auto& line : lines) {
            if (next != wanted.end() && line == *next) ++next;
        }
        return next == wanted.end();
    }

    std::optional<tcp::acceptor> acceptor_;
    unsigned short port_ = 0;
    testing::LogLines log_;
};

TEST_F(NetworkTransportTCPTest, DeliversAMessageWrittenRightAfterAHeartbeat) {
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::disabled());
    auto accepted = start(accept());
    await(transport->connect());
    runUntil([&] { return accepted->done; });
    auto peer = std::move(*accepted->value);
    const std::string withMarker = "{\"jsonrpc\":\"2.0\",\"method\":\"note\",\"params\":{\"text\":\"\xF0\x9F\x92\x93 beats\"}}";
    await(write(peer, kHeartbeat + "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n" + withMarker + "\n"));
    auto stream = transport->receive();
    EXPECT_EQ(testing::textOf(await(stream->next())), "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}");
    EXPECT_EQ(testing::textOf(await(stream->next())), withMarker);
    await(transport->disconnect());
}

TEST_F(NetworkTransportTCPTest, ServesAConnectionThatAListenerAccepted) {
    tcp::socket client(io_);
    auto accepted = start(accept());
    await(client.async_connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port_), asio::use_awaitable));
    runUntil([&] { return accepted->done; });
    auto transport = NetworkTransport::make(io_.get_executor(), network::TCPConnection::accepted(std::move(*accepted->value)),
                                            log_.logger(), NetworkTransport::HeartbeatConfiguration::disabled(),
                                            NetworkTransport::ReconnectionConfiguration::disabled());
    await(transport->connect());
    await(write(client, "hello\n"));
    EXPECT_EQ(testing::textOf(await(transport->receive()->next())), "hello");
    await(transport->send("reply"));
    std::string reply(6, '\0');
    await([&]() -> asio::awaitable<void> { co_await asio::async_read(client, asio::buffer(reply), asio::use_awaitable); }());
    EXPECT_EQ(reply, "reply\n");
    await(transport->disconnect());
    // Nothing can dial an accepted connection again.
    EXPECT_THROW(await(transport->connect()), MCPError);
}

TEST_F(NetworkTransportTCPTest, ReconnectsToAPeerThatListensAgain) {
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::defaultConfiguration());
    auto accepted = start(accept());
    await(transport->connect());
    runUntil([&] { return accepted->done; });
    auto stream = transport->receive();
    {
        auto peer = std::move(*accepted->value);
        await(write(peer, "first\n"));
        EXPECT_EQ(testing::textOf(await(stream->next())), "first");
        acceptor_.reset();
    }
    // The peer comes back 1.5 s later on the same port.
    asio::steady_timer away(io_, std::chrono::milliseconds(1500));
    await(away.async_wait(asio::use_awaitable));
    listen(port_);
    auto peer = await(accept());
    await(write(peer, "second\n"));
    EXPECT_EQ(testing::textOf(await(stream->next())), "second");
    EXPECT_TRUE(inOrder(log_.lines(), {
                                          "debug Network transport connected successfully",
                                          "debug Message received size=5",
                                          "trace Connection completed by peer",
                                          "error Receive error: [-32000] Connection closed",
                                          "warning Error during receive, attempting reconnection (1/5)...",
                                          "debug Connection preparing...",
                                          "error Connection failed: Connection refused",
                                          "debug Attempting reconnection (1/5)...",
                                          "debug Network transport connected successfully",
                                          "debug Message received size=6",
                                      }))
        << ::testing::PrintToString(log_.lines());
    await(transport->disconnect());
}

TEST_F(NetworkTransportTCPTest, EndsTheStreamWhenThePeerNeverComesBack) {
    auto transport = makeTransport({true, 2, 1.0});
    auto accepted = start(accept());
    await(transport->connect());
    runUntil([&] { return accepted->done; });
    auto stream = transport->receive();
    acceptor_.reset();
    accepted->value.reset();
    try {
        await(stream->next());
        ADD_FAILURE() << "the stream ended without an error";
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), asio::error::connection_refused);
    }
    EXPECT_TRUE(inOrder(log_.lines(), {"warning Error during receive, attempting reconnection (1/2)...",
                                       "debug Attempting reconnection (1/2)...", "debug Attempting reconnection (2/2)...",
                                       "error Reconnection failed: Connection refused"}))
        << ::testing::PrintToString(log_.lines());
}

TEST_F(NetworkTransportTCPTest, SendsHeartbeatsAtTheConfiguredInterval) {
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::disabled(), {true, 0.2});
    auto accepted = start(accept());
    const auto connected = Clock::now();
    await(transport->connect());
    runUntil([&] { return accepted->done; });
    auto peer = std::move(*accepted->value);
    std::vector<Clock::time_point> arrivals;
    for (int i = 0; i < 3; ++i) {
        std::string frame(12, '\0');
        await([&]() -> asio::awaitable<void> {
            co_await asio::async_read(peer, asio::buffer(frame), asio::use_awaitable);
        }());
        arrivals.push_back(Clock::now());
        EXPECT_TRUE(NetworkTransport::Heartbeat::from(frame)) << "not a heartbeat frame";
    }
    EXPECT_GE(arrivals[0] - connected, std::chrono::milliseconds(900)) << "the first heartbeat waits a second";
    EXPECT_GE(arrivals[2] - arrivals[1], std::chrono::milliseconds(150));
    await(transport->disconnect());
}

}  // namespace
}  // namespace mcp
