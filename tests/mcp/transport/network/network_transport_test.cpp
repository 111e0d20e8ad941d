#include "mcp/transport/network/network_transport.hpp"

#include "tests/mcp/io_test_fixture.hpp"
#include "tests/mcp/transport/log_lines.hpp"
#include "tests/mcp/transport/message_text.hpp"
#include "tests/mcp/transport/network/scripted_connection.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <gtest/gtest.h>

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/system/system_error.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace mcp {
namespace {

using Lines = std::vector<std::string>;
using testing::ScriptedConnection;
using Kind = network::ConnectionState::Kind;

const boost::system::error_code kRefused = boost::asio::error::connection_refused;
const boost::system::error_code kReset = boost::asio::error::connection_reset;
const std::string kHeartbeat("\xF0\x9F\x92\x93\xDC\x05\0\0\0\0\0\0", 12);

class NetworkTransportTest : public testing::IOTestFixture {
protected:
    // A read still waiting on the scripted connection holds its coroutine outside the
    // io_context, which can't free it: end it, as a closing socket would.
    void TearDown() override {
        connection_->cancel();
        runReady();
    }

    std::shared_ptr<NetworkTransport> makeTransport(
        NetworkTransport::ReconnectionConfiguration reconnection = NetworkTransport::ReconnectionConfiguration::disabled(),
        NetworkTransport::HeartbeatConfiguration heartbeat = NetworkTransport::HeartbeatConfiguration::disabled(),
        NetworkTransport::BufferConfiguration buffer = NetworkTransport::BufferConfiguration::defaultConfiguration()) {
        return NetworkTransport::make(io_.get_executor(), connection_, log_.logger(), heartbeat, reconnection, buffer);
    }

    // What `operation` throws, as its description (an MCPError's debug description, a system
    // error's message), or "none".
    std::string failureOf(boost::asio::awaitable<void> operation) {
        try {
            await(std::move(operation));
        } catch (const MCPError& error) {
            return error.debugDescription();
        } catch (const boost::system::system_error& error) {
            return error.code().message();
        }
        return "none";
    }

    // The log lines that contain `part`.
    Lines linesWith(std::string_view part) const {
        Lines found;
        for (const auto& line : log_.lines()) {
            if (line.find(part) != std::string::npos) found.push_back(line);
        }
        return found;
    }

    std::shared_ptr<ScriptedConnection> connection_ = std::make_shared<ScriptedConnection>();
    testing::LogLines log_;
};

// Connecting

TEST_F(NetworkTransportTest, ConnectsThroughTheStatesItIsTold) {
    connection_->startScripts = {{{Kind::waiting, boost::asio::error::network_unreachable}, {Kind::preparing, {}},
                                  ScriptedConnection::ready()}};
    auto transport = makeTransport();
    EXPECT_EQ(transport->logger().label(), "test");
    await(transport->connect());
    await(transport->connect());
    EXPECT_EQ(connection_->starts, 1U);
    EXPECT_EQ(log_.lines(), (Lines{"debug Connection waiting: Network is unreachable", "debug Connection preparing...",
                                   "debug Network transport connected successfully"}));
    EXPECT_EQ(NetworkTransport::make(io_.get_executor(), connection_)->logger().label(), "mcp.transport.network");
}

TEST_F(NetworkTransportTest, FailsWithTheLastAttemptsError) {
    const struct {
        std::string_view name;
        NetworkTransport::ReconnectionConfiguration reconnection;
        network::ConnectionState state;
        std::string want;
        std::size_t starts;
        Lines reconnectionLines;
    } cases[] = {
        {"retried, then given up", {true, 2, 1.0}, ScriptedConnection::failed(kRefused), "Connection refused", 3,
         {"debug Attempting reconnection (1/2)...", "debug Attempting reconnection (2/2)..."}},
        {"a multiplier that makes no sense waits no longer", {true, 2, std::nan("")}, ScriptedConnection::failed(kRefused),
         "Connection refused", 3,
         {"debug Attempting reconnection (1/2)...", "debug Attempting reconnection (2/2)..."}},
        {"not retried", NetworkTransport::ReconnectionConfiguration::disabled(), ScriptedConnection::failed(kRefused),
         "Connection refused", 1, {}},
        {"cancelled", NetworkTransport::ReconnectionConfiguration::disabled(), {Kind::cancelled, {}},
         "[-32603] Internal error: Connection cancelled", 1, {}},
        {"no attempt allowed", {true, -1, 1.5}, ScriptedConnection::ready(),
         "[-32603] Internal error: Failed to connect after 0 attempts", 0, {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        log_.clear();
        connection_ = std::make_shared<ScriptedConnection>(std::vector<std::vector<network::ConnectionState>>{{row.state}});
        auto transport = makeTransport(row.reconnection);
        EXPECT_EQ(failureOf(transport->connect()), row.want);
        EXPECT_EQ(connection_->starts, row.starts);
        EXPECT_EQ(linesWith("Attempting"), row.reconnectionLines);
        EXPECT_FALSE(transport->receive()->isFinished()) << "a failed connect leaves the stream open";
    }
}

TEST_F(NetworkTransportTest, CancelledConnectFails) {
    connection_->startScripts = {{{Kind::preparing, {}}}};
    auto transport = makeTransport();
    boost::asio::cancellation_signal signal;
    std::exception_ptr failure;
    bool done = false;
    boost::asio::co_spawn(io_, transport->connect(),
                          boost::asio::bind_cancellation_slot(signal.slot(), [&](std::exception_ptr error) {
                              failure = error;
                              done = true;
                          }));
    runUntil([&] { return !linesWith("preparing").empty(); });
    signal.emit(boost::asio::cancellation_type::terminal);
    runUntil([&] { return done; });
    ASSERT_TRUE(failure) << "a cancelled connect reported success";
    EXPECT_THROW(std::rethrow_exception(failure), boost::system::system_error);
    EXPECT_GE(connection_->cancels, 1U) << "the half-made connection was left running";
}

TEST_F(NetworkTransportTest, DisconnectStopsRetries) {
    connection_->startScripts = {{ScriptedConnection::failed(kRefused)}};
    auto transport = makeTransport({true, 5, 10.0});
    auto connecting = start(transport->connect());
    runUntil([&] { return !linesWith("Attempting reconnection (1/5)").empty(); });
    await(transport->disconnect());
    runUntil([&] { return connecting->done; });
    EXPECT_TRUE(connecting->error);
    EXPECT_EQ(connection_->starts, 1U) << "a retry ran after the disconnect";
    EXPECT_EQ(await(transport->receive()->next()), std::nullopt);
}

TEST_F(NetworkTransportTest, DisconnectsOnlyWhatIsConnected) {
    auto transport = makeTransport();
    await(transport->disconnect());
    EXPECT_FALSE(transport->receive()->isFinished());
    EXPECT_EQ(log_.lines(), Lines{});

    await(transport->connect());
    await(transport->disconnect());
    EXPECT_EQ(await(transport->receive()->next()), std::nullopt);
    EXPECT_EQ(failureOf(transport->send("x")), "[-32603] Internal error: Transport not connected");
    runUntil([&] { return !linesWith("Receive loop stopping normally").empty(); });
    EXPECT_EQ(log_.lines(), (Lines{"debug Network transport connected successfully", "debug Network transport disconnected",
                                   "debug Receive loop stopping normally"}));
}

// Sending

TEST_F(NetworkTransportTest, SendsEachMessageWithALineFeedInOneWrite) {
    auto transport = makeTransport();
    EXPECT_EQ(failureOf(transport->send("early")), "[-32603] Internal error: Transport not connected");
    await(transport->connect());
    await(transport->send("1234567"));
    await(transport->send(""));
    EXPECT_EQ(connection_->sent, (Lines{"1234567\n", "\n"}));
}

TEST_F(NetworkTransportTest, ReconnectsAfterASendFindsTheConnectionReset) {
    const struct {
        std::string_view name;
        boost::system::error_code error;
        bool reconnects;
    } cases[] = {
        {"reset", kReset, true},
        {"not connected", boost::asio::error::not_connected, true},
        {"broken pipe", boost::asio::error::broken_pipe, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        log_.clear();
        connection_ = std::make_shared<ScriptedConnection>();
        connection_->sendErrors = {row.error};
        auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::defaultConfiguration());
        await(transport->connect());
        EXPECT_EQ(failureOf(transport->send("x")), "[-32603] Internal error: Send error: " + row.error.message());
        EXPECT_EQ(linesWith("appears broken").size(), row.reconnects ? 1U : 0U);
        if (row.reconnects) {
            runUntil([&] { return connection_->starts == 2; });
            runUntil([&] { return !linesWith("connected successfully").empty() && linesWith("connected successfully").size() == 2; });
            await(transport->send("after"));
            EXPECT_EQ(connection_->sent.back(), "after\n");
        }
        await(transport->disconnect());
    }
}

// Receiving

TEST_F(NetworkTransportTest, DeliversLinesAndSkipsHeartbeats) {
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::disabled(),
                                   NetworkTransport::HeartbeatConfiguration::disabled(), {100});
    await(transport->connect());
    auto stream = transport->receive();
    for (const std::string& chunk : {std::string("a\nb\n"), std::string("c"), std::string("\n"), kHeartbeat,
                                    kHeartbeat + "{\"id\":1}\n"}) {
        connection_->deliver(chunk);
    }
    Lines messages;
    for (int i = 0; i < 4; ++i) messages.push_back(await(stream->next())->text());
    EXPECT_EQ(messages, (Lines{"a", "b", "c", "{\"id\":1}"}));
    EXPECT_EQ(connection_->lastMaximum, 100U);
    EXPECT_EQ(linesWith("heartbeat"), (Lines{"trace Received heartbeat from peer", "trace Received heartbeat from peer"}));
    EXPECT_EQ(linesWith("Heartbeat timestamp"), (Lines{"trace Heartbeat timestamp: 2001-01-01 00:00:01 +0000",
                                                       "trace Heartbeat timestamp: 2001-01-01 00:00:01 +0000"}));
    EXPECT_EQ(linesWith("Message received"), (Lines{"debug Message received size=1", "debug Message received size=1",
                                                    "debug Message received size=1", "debug Message received size=8"}));
    await(transport->disconnect());
}

// A peer that sends faster than the consumer takes once filled the memory: no more is read
// while the stream holds its capacity of messages, and nothing is lost.
TEST_F(NetworkTransportTest, StopsReadingWhileTheConsumerIsBehind) {
    auto transport = makeTransport();
    await(transport->connect());
    auto stream = transport->receive();
    const std::size_t sent = kIncomingMessageCapacity * 3;
    for (std::size_t i = 0; i < sent; ++i) connection_->deliver("{\"n\":" + std::to_string(i) + "}\n");
    runUntil([&] { return stream->size() == kIncomingMessageCapacity; });
    io_.restart();
    io_.poll();
    EXPECT_EQ(stream->size(), kIncomingMessageCapacity);
    EXPECT_EQ(connection_->receives, kIncomingMessageCapacity);
    for (std::size_t i = 0; i < sent; ++i) {
        EXPECT_EQ(testing::textOf(await(stream->next())), "{\"n\":" + std::to_string(i) + "}");
    }
    await(transport->disconnect());
}

TEST_F(NetworkTransportTest, WarnsOfRepeatedEmptyReadsAndLeavesADeadConnection) {
    auto transport = makeTransport();
    await(transport->connect());
    auto stream = transport->receive();
    for (int i = 0; i < 6; ++i) connection_->deliver(std::string());
    connection_->deliver(std::string("x\n"));
    EXPECT_EQ(testing::textOf(await(stream->next())), "x");
    EXPECT_EQ(linesWith("empty reads"), (Lines{"warning Multiple consecutive empty reads (5), possible connection issue",
                                               "warning Multiple consecutive empty reads (6), possible connection issue"}));

    // Once the connection is no longer ready, the loop ends as on a lost connection.
    connection_->setState({Kind::failed, kReset});
    for (int i = 0; i < 5; ++i) connection_->deliver(std::string());
    try {
        await(stream->next());
        ADD_FAILURE() << "the stream stayed open with nobody reading the connection";
    } catch (const MCPError& error) {
        EXPECT_EQ(error, MCPError::connectionClosed());
    }
    EXPECT_EQ(linesWith("no longer ready"), Lines{"warning Connection no longer ready, exiting receive loop"});
}

TEST_F(NetworkTransportTest, EndsTheStreamWhenThePeerFinishesAndNoRetryIsAllowed) {
    auto transport = makeTransport();
    await(transport->connect());
    auto stream = transport->receive();
    connection_->deliver(network::NetworkConnection::Received{{}, true, {}});
    try {
        await(stream->next());
        ADD_FAILURE() << "the stream ended without an error";
    } catch (const MCPError& error) {
        EXPECT_EQ(error, MCPError::connectionClosed());
    }
    EXPECT_EQ(log_.lines(), (Lines{"debug Network transport connected successfully", "trace Connection completed by peer",
                                   "error Receive error: [-32000] Connection closed"}));
}

TEST_F(NetworkTransportTest, ReconnectsAfterALostConnectionOnTheSameStream) {
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::defaultConfiguration());
    await(transport->connect());
    auto stream = transport->receive();
    connection_->deliver(network::NetworkConnection::Received{{}, true, {}});
    runUntil([&] { return connection_->starts == 2 && linesWith("connected successfully").size() == 2; });
    connection_->deliver(std::string("after\n"));
    EXPECT_EQ(testing::textOf(await(stream->next())), "after");
    EXPECT_EQ(log_.lines(), (Lines{"debug Network transport connected successfully", "trace Connection completed by peer",
                                   "error Receive error: [-32000] Connection closed",
                                   "warning Error during receive, attempting reconnection (1/5)...",
                                   "debug Network transport connected successfully", "debug Message received size=5"}));
    await(transport->disconnect());
}

TEST_F(NetworkTransportTest, ReconnectsOnceWhenSendAndReceiveFailTogether) {
    connection_->sendErrors = {kReset};
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::defaultConfiguration());
    await(transport->connect());
    auto stream = transport->receive();
    EXPECT_NE(failureOf(transport->send("x")), "none");
    connection_->deliver(network::NetworkConnection::Received{{}, false, kReset});
    runUntil([&] { return linesWith("connected successfully").size() == 2; });
    connection_->deliver(std::string("after\n"));
    EXPECT_EQ(testing::textOf(await(stream->next())), "after");
    EXPECT_EQ(connection_->starts, 2U);
    EXPECT_EQ(linesWith("Error during receive"), Lines{});
    await(transport->disconnect());
}

// A second run of attempts once took the connection's state handler from the reconnection,
// which then waited for ever with its flag set, so that every later loss went unnoticed.
TEST_F(NetworkTransportTest, AConnectDuringAReconnectionJoinsIt) {
    // Every start after the first stays in preparation until the test reports it ready.
    connection_->startScripts = {{ScriptedConnection::ready()}, {{Kind::preparing, {}}}};
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::defaultConfiguration());
    await(transport->connect());
    const auto lose = [&] { connection_->deliver(network::NetworkConnection::Received{{}, true, {}}); };
    lose();
    runUntil([&] { return linesWith("Connection preparing").size() == 1; });
    auto joined = start(transport->connect());
    // Runs what is ready: the joining connect gets as far as it goes before anything is reported.
    io_.restart();
    io_.poll();
    connection_->report(ScriptedConnection::ready());
    runUntil([&] { return joined->done; });
    EXPECT_FALSE(joined->error);
    EXPECT_EQ(connection_->starts, 2U);

    lose();
    runUntil([&] { return connection_->starts == 3; });
    connection_->report(ScriptedConnection::ready());
    runUntil([&] { return linesWith("connected successfully").size() == 3; });
    await(transport->disconnect());
}

TEST_F(NetworkTransportTest, EndsTheStreamWhenReconnectingGivesUp) {
    connection_->startScripts = {{ScriptedConnection::ready()}, {ScriptedConnection::failed(kRefused)}};
    auto transport = makeTransport({true, 1, 1.0});
    await(transport->connect());
    auto stream = transport->receive();
    connection_->deliver(network::NetworkConnection::Received{{}, true, {}});
    try {
        await(stream->next());
        ADD_FAILURE() << "the stream ended without an error";
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), kRefused);
    }
    EXPECT_EQ(connection_->starts, 3U);
    EXPECT_EQ(linesWith("Reconnection failed"), Lines{"error Reconnection failed: Connection refused"});
    EXPECT_EQ(failureOf(transport->send("x")), "[-32603] Internal error: Transport not connected");
}

// Heartbeats and lifetime

TEST_F(NetworkTransportTest, SendsHeartbeatsBetweenMessages) {
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::disabled(), {true, 0.02});
    await(transport->connect());
    runUntil([&] { return connection_->sent.size() >= 3; });
    await(transport->send("{\"id\":1}"));
    runUntil([&] { return connection_->sent.size() >= 6; });
    for (const auto& write : connection_->sent) {
        EXPECT_TRUE(write == "{\"id\":1}\n" || (write.size() == 12 && NetworkTransport::Heartbeat::isHeartbeat(write)))
            << write;
    }
    EXPECT_GE(linesWith("Heartbeat sent").size(), 5U);
    await(transport->disconnect());
}

TEST_F(NetworkTransportTest, ATransportLetGoEndsItsLoopsAndConnection) {
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::defaultConfiguration(), {true, 0.02});
    await(transport->connect());
    auto stream = transport->receive();
    runUntil([&] { return !connection_->sent.empty(); });
    const std::weak_ptr<NetworkTransport> weak = transport;
    transport.reset();
    runUntil([&] { return weak.expired() && connection_->cancels >= 1; });
    EXPECT_EQ(await(stream->next()), std::nullopt);
}

// A heartbeat write that the disconnect cut short once began a two-second pause after every
// pause had been cancelled.
TEST_F(NetworkTransportTest, ADisconnectDuringAHeartbeatLeavesNothingWaiting) {
    connection_->holdSends = true;
    auto transport = makeTransport(NetworkTransport::ReconnectionConfiguration::disabled(), {true, 0.02});
    await(transport->connect());
    runUntil([&] { return connection_->sent.size() == 1; });
    await(transport->disconnect());
    io_.run_for(std::chrono::seconds(1));
    EXPECT_TRUE(io_.stopped()) << "work was left after the disconnect";
}

}  // namespace
}  // namespace mcp
