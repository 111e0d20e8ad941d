#pragma once

// RequestContext<T>: the handle of a request sent to the peer: its id, and the task that ends
// with the peer's answer.
//
//     auto request = makeRequest<ListTools>(ID::random(), {});
//     auto context = co_await client->send(std::move(request));
//     log(context.requestID);
//     ListTools::Result tools = co_await context.value();

#include "mcp/protocol/id.hpp"
#include "mcp/transport/shared_result.hpp"

#include <boost/asio/awaitable.hpp>

#include <memory>

namespace mcp {

template <class T>
struct RequestContext {
    // The id under which the request was sent.
    ID requestID;
    // Ends once the request is settled: by its answer, a failed send, a cancellation or the
    // sender's disconnect.
    std::shared_ptr<SharedResult<T>> requestTask;

    // Waits for the outcome: the result, or the error that settled the request. May be
    // awaited any number of times, from any executor, with the same outcome; cancelling the
    // awaiting coroutine does not end the wait.
    boost::asio::awaitable<T> value() const { return requestTask->value(); }
};

}  // namespace mcp
