#pragma once

// RequestContext<T>: the handle of a request sent to the peer: its id, and the task that ends
// with the peer's answer.
//
//     auto request = makeRequest<ListTools>(ID::random(), {});
//     auto context = co_await client->send(std::move(request));
//     log(context.requestID);
//     ListTools::Result tools = co_await context.value();
//     // or give up after a while: the request is cancelled when the timer wins.
//     auto first = co_await (context.value() || timer.async_wait(use_awaitable));

#include "mcp/protocol/id.hpp"
#include "mcp/async/shared_result.hpp"

#include <boost/asio/awaitable.hpp>

#include <functional>
#include <memory>

namespace mcp {

template <class T>
struct RequestContext {
    // The id under which the request was sent.
    ID requestID;
    // Ends once the request is settled: by its answer, a failed send, a cancellation or the
    // sender's disconnect.
    std::shared_ptr<SharedResult<T>> requestTask;
    // Gives the request up: settles it with `CancellationError` and tells the peer. Called
    // when a coroutine awaiting `value()` is cancelled; absent, such a cancellation is ignored.
    std::function<void()> abandon;

    // Waits for the outcome: the result, or the error that settled the request. May be
    // awaited any number of times, from any executor, with the same outcome. Cancelling the
    // awaiting coroutine the way Asio cancels an operation (terminal or partial, as `||`
    // does) calls `abandon`, which ends the wait at once with `CancellationError`.
    boost::asio::awaitable<T> value() const {
        if (!abandon) return requestTask->value();
        return requestTask->value(abandon);
    }
};

}  // namespace mcp
