#pragma once

#include "eventsource/stream_connector.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/system/system_error.hpp>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace eventsource::testing {

// One scripted answer: its head, its body in chunks, and how the body ends.
struct Answer {
    enum class End { ends, fails, hangs };

    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers{{"Content-Type", "text/event-stream"}};
    std::vector<std::string> chunks;
    End end = End::ends;
};

// Awaits until the awaiting coroutine is cancelled, then fails as a cancelled read does.
inline boost::asio::awaitable<void> waitForCancellation() {
    boost::asio::steady_timer timer(co_await boost::asio::this_coro::executor, std::chrono::hours(1));
    co_await timer.async_wait(boost::asio::use_awaitable);
}

// Answers each request with the next scripted answer and records the requests; once the
// script is used up, a request waits until it is cancelled.
class ScriptedConnector : public StreamConnector {
public:
    struct Recorded {
        Request request;
        std::chrono::steady_clock::time_point at;
    };

    explicit ScriptedConnector(std::deque<Answer> script) : script_(std::move(script)) {}

    boost::asio::awaitable<std::unique_ptr<StreamResponse>> open(const Request& request) override {
        requests.push_back({request, std::chrono::steady_clock::now()});
        if (held_) {
            gate_.emplace(co_await boost::asio::this_coro::executor, std::chrono::steady_clock::time_point::max());
            co_await gate_->async_wait(boost::asio::as_tuple(boost::asio::use_awaitable));
        }
        // A real connection never answers at once; the callbacks set right after the
        // client's creation are in place before the first answer, as they are with a server.
        co_await boost::asio::post(co_await boost::asio::this_coro::executor, boost::asio::use_awaitable);
        if (script_.empty()) co_await waitForCancellation();
        auto answer = std::move(script_.front());
        script_.pop_front();
        co_return std::make_unique<Response>(std::move(answer));
    }

    // Makes requests wait for release(), so that a test can set the client up first.
    void hold() { held_ = true; }
    void release() {
        held_ = false;
        if (gate_) gate_->cancel();
    }

    std::vector<Recorded> requests;

private:
    class Response : public StreamResponse {
    public:
        explicit Response(Answer answer) : answer_(std::move(answer)) {}

        int status() const override { return answer_.status; }

        std::optional<std::string> header(std::string_view name) const override {
            for (const auto& [key, value] : answer_.headers) {
                if (boost::beast::iequals(key, name)) return value;
            }
            return std::nullopt;
        }

        boost::asio::awaitable<std::optional<std::string>> read() override {
            if (next_ < answer_.chunks.size()) co_return answer_.chunks[next_++];
            if (answer_.end == Answer::End::fails) {
                throw boost::system::system_error(boost::asio::error::connection_reset);
            }
            if (answer_.end == Answer::End::hangs) {
                // Like a real connection, a waiting read ends through cancel() only.
                hang_.emplace(co_await boost::asio::this_coro::executor, std::chrono::steady_clock::time_point::max());
                co_await hang_->async_wait(
                    boost::asio::bind_cancellation_slot(boost::asio::cancellation_slot(), boost::asio::use_awaitable));
            }
            co_return std::nullopt;
        }

        void cancel() override {
            if (hang_) hang_->cancel();
        }

    private:
        Answer answer_;
        std::size_t next_ = 0;
        std::optional<boost::asio::steady_timer> hang_;
    };

    std::deque<Answer> script_;
    bool held_ = false;
    std::optional<boost::asio::steady_timer> gate_;
};

}  // namespace eventsource::testing
