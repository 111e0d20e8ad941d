#pragma once

// ScriptedConnection: a NetworkConnection that plays a script. Each start reports the states
// of the next entry of `startScripts` (the last entry again once they run out); reads return
// what the test hands over with `deliver`, waiting until it does; sends are recorded, and
// fail with the next error of `sendErrors`, or with `holdSends` wait until the connection is
// cancelled. Every call is counted.

#include "mcp/transport/async_queue.hpp"
#include "mcp/transport/network/network_connection.hpp"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace mcp::testing {

class ScriptedConnection final : public network::NetworkConnection {
public:
    using Kind = network::ConnectionState::Kind;

    static network::ConnectionState ready() { return {Kind::ready, {}}; }
    static network::ConnectionState failed(boost::system::error_code error) { return {Kind::failed, error}; }

    explicit ScriptedConnection(std::vector<std::vector<network::ConnectionState>> scripts = {{ready()}})
        : startScripts(std::move(scripts)) {}

    network::ConnectionState state() const override { return state_; }
    void setStateHandler(StateHandler handler) override { handler_ = std::move(handler); }

    void start(boost::asio::any_io_executor executor) override {
        executor_ = std::move(executor);
        const auto& script = startScripts[std::min(starts, startScripts.size() - 1)];
        ++starts;
        for (const auto& state : script) report(state);
    }

    void cancel() override {
        ++cancels;
        reads_->finish();
        reads_ = AsyncQueue<Received>::make();
        heldSends_->finish();
        heldSends_ = AsyncQueue<int>::make();
        report({Kind::cancelled, {}});
    }

    boost::asio::awaitable<boost::system::error_code> send(std::string_view bytes) override {
        sent.emplace_back(bytes);
        if (holdSends) {
            const auto held = heldSends_;
            co_await held->next();
            co_return boost::asio::error::operation_aborted;
        }
        if (sendErrors.empty()) co_return boost::system::error_code();
        const auto error = sendErrors.front();
        sendErrors.pop_front();
        co_return error;
    }

    boost::asio::awaitable<Received> receive(std::size_t, std::size_t maximum) override {
        lastMaximum = maximum;
        ++receives;
        const auto reads = reads_;
        auto received = co_await reads->next();
        if (!received) co_return Received{{}, false, boost::asio::error::operation_aborted};
        co_return std::move(*received);
    }

    // Hands `received` to the current (or next) read of the current start.
    void deliver(Received received) { reads_->push(std::move(received)); }
    void deliver(std::string bytes) { deliver(Received{std::move(bytes), false, {}}); }

    // Tells the current start's watcher of `state`, as a connection that moves on does.
    void report(network::ConnectionState state) {
        state_ = state;
        if (handler_ && executor_) boost::asio::post(executor_, [handler = handler_, state] { handler(state); });
    }

    // Changes the state without telling anyone, as a connection does after its handler is gone.
    void setState(network::ConnectionState state) { state_ = state; }

    std::vector<std::vector<network::ConnectionState>> startScripts;
    std::deque<boost::system::error_code> sendErrors;
    std::vector<std::string> sent;
    std::size_t starts = 0;
    std::size_t cancels = 0;
    std::size_t lastMaximum = 0;
    std::size_t receives = 0;
    bool holdSends = false;

private:
    network::ConnectionState state_;
    StateHandler handler_;
    boost::asio::any_io_executor executor_;
    std::shared_ptr<AsyncQueue<Received>> reads_ = AsyncQueue<Received>::make();
    std::shared_ptr<AsyncQueue<int>> heldSends_ = AsyncQueue<int>::make();
};

}  // namespace mcp::testing
