// The client's message loop and what it does with each message from the server: responses
// settle pending requests, notifications run their handlers, the server's requests are served
// by the method handlers.

#include "mcp/client/client.hpp"

#include "mcp/detail/utf8.hpp"
#include "mcp/handlers/notification_handlers.hpp"
#include "mcp/protocol/detail/error_conversion.hpp"
#include "mcp/protocol/server_message.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/assert.hpp>

#include <chrono>

namespace mcp {

namespace asio = boost::asio;

namespace {

logging::Logger::Metadata idMetadata(const std::optional<ID>& id) {
    return {{"id", id ? id->description() : std::string()}};
}

}  // namespace

// The loop

asio::awaitable<void> Client::receive(std::shared_ptr<Transport> transport, std::shared_ptr<MessageLoop> loop) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto executor = co_await asio::this_coro::executor;
    bool lost = false;
    while (!loop->cancelled) {
        const auto incoming = transport->receive();
        bool receivedAny = false;
        std::exception_ptr streamFailure;
        try {
            // `receive` itself, not `next()`: one coroutine frame less for every message.
            while (auto message = co_await incoming->receive(asio::use_awaitable)) {
                if (loop->cancelled) break;
                receivedAny = true;
                co_await handleIncoming(std::move(*message));
            }
        } catch (...) {
            streamFailure = std::current_exception();
        }
        if (loop->cancelled) break;

        if (streamFailure && detail::isResourceTemporarilyUnavailable(streamFailure)) {
            asio::steady_timer pause(executor, std::chrono::milliseconds(10));
            co_await pause.async_wait(asio::as_tuple(asio::use_awaitable));
            continue;
        }
        if (streamFailure) {
            logger().error("Error in message handling loop", [&streamFailure] {
                return logging::Logger::Metadata{{"error", detail::errorText(streamFailure)}};
            });
            lost = true;
            break;
        }
        // A stream that ends without a single message means the transport has nothing more
        // to give: asking again would only spin.
        if (!receivedAny) {
            lost = true;
            break;
        }
    }
    logger().debug("Client message handling loop task is terminating.");
    // Nothing reads answers any more: the requests still waiting would wait forever.
    if (lost && loop_ == loop) {
        connectionLost_ = true;
        failPendingRequests(MCPError::internalError("Client connection lost"));
    }
    loop->finished->succeed({});
}

asio::awaitable<void> Client::handleIncoming(IncomingMessage incoming) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // Taken out, not copied: a transport that read the message hands on the value it read.
    std::optional<Value> value;
    try {
        value.emplace(std::move(incoming).value());
    } catch (const DecodingError&) {
    }
    auto message = value ? readParsedServerMessage(*value) : std::nullopt;
    if (!message) {
        logger().warning("Unexpected message received by client (not single/batch response or notification)", [&] {
            logging::Logger::Metadata metadata;
            std::string bytes = incoming.holdsText() ? incoming.text() : writeJSON(*value);
            if (detail::isValidUTF8(bytes)) metadata.emplace("message", std::move(bytes));
            return metadata;
        });
        co_return;
    }
    if (auto* batch = std::get_if<BatchResponse>(&*message)) {
        handleBatchResponse(std::move(*batch));
    } else if (auto* response = std::get_if<Response<AnyMethod>>(&*message)) {
        handleResponse(std::move(*response));
    } else if (auto* request = std::get_if<Request<AnyMethod>>(&*message)) {
        handleIncomingRequest(std::move(*request));
    } else {
        co_await handleMessage(std::move(std::get<Message<AnyNotification>>(*message)));
    }
}

// Responses

namespace {

void settle(AnyPendingRequest& pending, Response<AnyMethod>& response) {
    if (auto* error = std::get_if<MCPError>(&response.outcome)) {
        pending.resume(std::make_exception_ptr(std::move(*error)));
    } else {
        pending.resume(std::move(std::get<Value>(response.outcome)));
    }
}

}  // namespace

void Client::handleResponse(Response<AnyMethod> response) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    logger().trace("Processing response", [&response] { return idMetadata(response.id); });
    auto pending = response.id ? removePendingRequest(*response.id) : std::nullopt;
    if (!pending) {
        logger().warning("Attempted to handle response for already removed request",
                         [&response] { return idMetadata(response.id); });
        return;
    }
    settle(*pending, response);
}

void Client::handleBatchResponse(std::vector<Response<AnyMethod>> responses) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    logger().trace("Processing batch response",
                   [&responses] { return logging::Logger::Metadata{{"count", std::to_string(responses.size())}}; });
    for (auto& response : responses) {
        auto pending = response.id ? removePendingRequest(*response.id) : std::nullopt;
        if (!pending) {
            logger().warning("Received response in batch for unknown or already handled request ID",
                         [&response] { return idMetadata(response.id); });
            continue;
        }
        settle(*pending, response);
    }
}

// Notifications

asio::awaitable<void> Client::handleMessage(Message<AnyNotification> message) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    logger().trace("Processing notification", [&message] { return logging::Logger::Metadata{{"method", message.method}}; });
    const auto registered = notificationHandlers_.find(message.method);
    if (registered == notificationHandlers_.end()) co_return;
    co_await runNotificationHandlers(registered->second, std::move(message), &logger());
}

void Client::cancelServerRequest(const Message<CancelledNotification>& message) {
    const auto& [requestID, reason] = message.params;
    logger().debug("Received cancellation notification", [&] {
        return logging::Logger::Metadata{{"requestId", requestID ? requestID->description() : "none"},
                                         {"reason", reason.value_or("none")}};
    });
    if (!requestID) return;
    // The server cancels what it asked of the client; the client's own requests have ids of
    // the client's making and are never settled by it.
    auto node = serverRequestTasks_.extract(*requestID);
    if (!node) return;
    node.mapped()->cancelled = true;
    node.mapped()->signal.emit(asio::cancellation_type::terminal);
}

// Requests from the server

void Client::handleIncomingRequest(Request<AnyMethod> request) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // A handler may itself wait for an answer from the server, which the loop reads only
    // after this returns: so each request is served in a task of its own. Registered before
    // the task starts, so that a cancellation read right after the request finds it.
    auto task = std::make_shared<ServerRequestTask>();
    serverRequestTasks_.insert_or_assign(request.id, task);
    const auto slot = task->signal.slot();
    auto serving = serveRequest(std::move(request), std::move(task));
    spawnOnStrand(strand_, std::move(serving), asio::bind_cancellation_slot(slot, [self = shared_from_this()](std::exception_ptr error) {
                      if (!error) return;
                      self->logger().error("Failed to send error response", [&error] {
                          return logging::Logger::Metadata{{"error", detail::errorText(error)}};
                      });
                  }));
}

asio::awaitable<void> Client::serveRequest(Request<AnyMethod> request, std::shared_ptr<ServerRequestTask> task) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const ID id = request.id;
    logger().trace("Processing incoming request from server", [&request] {
        return logging::Logger::Metadata{{"method", request.method}, {"id", request.id.description()}};
    });
    std::optional<Response<AnyMethod>> answer;
    std::exception_ptr failure;
    const auto handler = methodHandlers_.find(request.method);
    const bool handled = handler != methodHandlers_.end();
    if (!handled) {
        logger().warning("No handler registered for method",
                         [&request] { return logging::Logger::Metadata{{"method", request.method}}; });
        answer.emplace(Response<AnyMethod>{id, MCPError::methodNotFound("Unknown method: " + request.method)});
    } else if (!task->cancelled) {
        const auto box = handler->second;
        const HandlerContext context{id, std::nullopt};
        try {
            answer.emplace(co_await box->handle(std::move(request), context));
        } catch (...) {
            failure = std::current_exception();
        }
    }
    const auto entry = serverRequestTasks_.find(id);
    if (entry != serverRequestTasks_.end() && entry->second == task) serverRequestTasks_.erase(entry);
    // The server no longer wants the answer, whether the handler finished or not.
    if (task->cancelled) co_return;

    // An error answer (no handler, or the handler failed) goes once. When the handler's own
    // answer can't be sent, one error answer with the reason follows it. The completion
    // handler logs an error answer that couldn't be sent.
    if (!handled || failure) {
        if (failure) answer.emplace(Response<AnyMethod>{id, detail::toMCPError(failure)});
        co_await sendResponse(*answer);
        co_return;
    }
    std::exception_ptr sendFailure;
    try {
        co_await sendResponse(*answer);
    } catch (...) {
        sendFailure = std::current_exception();
    }
    if (!sendFailure) co_return;
    const Response<AnyMethod> errorAnswer{id, detail::toMCPError(sendFailure)};
    co_await sendResponse(errorAnswer);
}

}  // namespace mcp
