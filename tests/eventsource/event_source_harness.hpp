#pragma once

#include "eventsource/event_source.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace eventsource::testing {

namespace asio = boost::asio;
using namespace std::chrono_literals;

inline std::string describe(const std::exception_ptr& error) {
    if (!error) return "none";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    }
}

// One client on a single-threaded io_context, with callbacks that record what they receive.
template <class Connector>
class EventSourceHarness {
public:
    using MakeConnector = std::function<std::shared_ptr<Connector>(boost::asio::any_io_executor)>;

    EventSourceHarness(boost::urls::url url, const MakeConnector& makeConnector, Parser::Limits limits = {})
        : connector(makeConnector(io.get_executor())) {
        source = EventSource::create(io.get_executor(), std::move(url), connector, limits);
        source->onOpen([this]() -> asio::awaitable<void> {
            ++opens;
            co_return;
        });
        source->onMessage([this](const Event& event) -> asio::awaitable<void> {
            events.push_back(event);
            if (afterMessage) co_await afterMessage(event);
        });
        source->onError([this](std::exception_ptr error) -> asio::awaitable<void> {
            errors.push_back(describe(error));
            co_return;
        });
    }

    // Runs the io_context until `done` holds; fails the test after the deadline.
    void runUntil(const std::function<bool()>& done, std::chrono::seconds deadline = 10s) {
        const auto until = std::chrono::steady_clock::now() + deadline;
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) {
                ADD_FAILURE() << "deadline passed";
                return;
            }
            // An io_context that ran out of work stays stopped until restarted.
            if (io.stopped()) io.restart();
            io.run_one_for(10ms);
        }
    }

    // Runs until the connection run has ended: nothing but the harness holds the client then.
    void runUntilTheRunEnds() {
        std::weak_ptr<EventSource> weak = source;
        auto keep = std::move(source);
        keep.reset();
        runUntil([&] { return weak.expired(); });
    }

    ReadyState readyState() {
        std::optional<ReadyState> state;
        asio::co_spawn(io, source->readyState(), [&](std::exception_ptr, ReadyState s) { state = s; });
        runUntil([&] { return state.has_value(); });
        return *state;
    }

    void close() { await(source->close()); }

    void await(asio::awaitable<void> step) {
        bool done = false;
        asio::co_spawn(io, std::move(step), [&](std::exception_ptr) { done = true; });
        runUntil([&] { return done; });
    }

    asio::io_context io;
    std::shared_ptr<Connector> connector;
    std::shared_ptr<EventSource> source;
    int opens = 0;
    std::vector<Event> events;
    std::vector<std::string> errors;
    std::function<asio::awaitable<void>(const Event&)> afterMessage;
};

}  // namespace eventsource::testing
