#pragma once

// ServerFixture: a server on one end of an in-memory pair, and the other end, through which a
// test talks to it as a client would: it writes JSON-RPC lines and reads the server's replies
// (written with sorted keys, so they compare as text).
//
//     startServer();
//     send(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
//     EXPECT_EQ(nextReply(), R"({"id":1,"jsonrpc":"2.0","result":{}})");

#include "mcp/transport/async_queue.hpp"
#include "mcp/transport/in_memory_transport.hpp"
#include "mcp/server/server.hpp"
#include "tests/mcp/io_test_fixture.hpp"

#include <boost/asio/awaitable.hpp>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mcp::testing {

// Holds handlers until the test lets them go: a handler awaits `wait()`, and each `release()`
// lets the handler that has waited longest go on (or the next to come, when none waits). Each
// waiter waits on a queue of its own, since a queue has one receiver. Cancelling a handler's
// task ends its wait with `operation_aborted`.
class Gate {
public:
    boost::asio::awaitable<void> wait() {
        ++waiting_;
        if (releasedAhead_ > 0) {
            --releasedAhead_;
            co_return;
        }
        auto turn = AsyncQueue<int>::make();
        turns_.push_back(turn);
        try {
            co_await turn->next();
        } catch (...) {
            std::erase(turns_, turn);
            throw;
        }
    }
    void release() {
        if (turns_.empty()) {
            ++releasedAhead_;
            return;
        }
        turns_.front()->push(0);
        turns_.pop_front();
    }
    // How many handlers have reached the gate so far.
    int waiting() const noexcept { return waiting_; }

private:
    std::deque<std::shared_ptr<AsyncQueue<int>>> turns_;
    int releasedAhead_ = 0;
    int waiting_ = 0;
};

class ServerFixture : public IOTestFixture {
protected:
    void TearDown() override {
        if (server_) await(server_->stop());
    }

    // A server named "probe" at version "1.0" that declares the tools capability.
    std::shared_ptr<Server> makeServer(Server::Configuration configuration = Server::Configuration::defaultConfiguration()) {
        server_ = std::make_shared<Server>(io_.get_executor(), "probe", "1.0", std::nullopt, std::nullopt,
                                           Server::Capabilities{.tools = Server::Capabilities::Tools{}}, configuration);
        return server_;
    }

    // The server's end as the server sees it: the in-memory end itself, or a test transport
    // around it.
    using ServerEnd = std::function<std::shared_ptr<Transport>(std::shared_ptr<InMemoryTransport>)>;

    // Connects the client end and starts the server (made by `makeServer` first, if need be)
    // on the other, or on what `serverEnd` makes of it.
    void startServer(Server::InitializeHook initializeHook = {}, const ServerEnd& serverEnd = {}) {
        if (!server_) makeServer();
        auto [client, inMemoryEnd] = InMemoryTransport::createConnectedPair(io_.get_executor(), transportLogger_);
        client_ = client;
        serverEnd_ = inMemoryEnd;
        await(client_->connect());
        incoming_ = client_->receive();
        std::shared_ptr<Transport> transport = serverEnd_;
        if (serverEnd) transport = serverEnd(serverEnd_);
        await(server_->start(std::move(transport), std::move(initializeHook)));
    }

    void send(std::string_view line) { await(client_->send(std::string(line))); }

    // The next message the server wrote.
    std::string nextReply() {
        auto reply = await(incoming_->next());
        if (!reply) throw std::runtime_error("the server's stream ended");
        return reply->text();
    }

    // Sends a ping with the id "sentinel" and returns what the server wrote before its
    // answer. Notifications, responses and batches are handled one after another, so
    // anything they write comes before the answer.
    std::vector<std::string> repliesBeforeSentinel() {
        send(R"({"jsonrpc":"2.0","id":"sentinel","method":"ping"})");
        std::vector<std::string> replies;
        for (auto reply = nextReply(); reply != kSentinelReply; reply = nextReply()) replies.push_back(reply);
        return replies;
    }

    static constexpr std::string_view kSentinelReply = R"({"id":"sentinel","jsonrpc":"2.0","result":{}})";

    // The logger of both transport ends, and so of the server; none logs nowhere.
    std::optional<logging::Logger> transportLogger_;
    std::shared_ptr<Server> server_;
    std::shared_ptr<InMemoryTransport> client_;
    std::shared_ptr<InMemoryTransport> serverEnd_;
    std::shared_ptr<MessageStream> incoming_;
};

}  // namespace mcp::testing
