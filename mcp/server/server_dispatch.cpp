// The server's receive loop and the dispatch of single requests, notifications and responses.

#include "mcp/server/server.hpp"
#include "mcp/server/server_batch.hpp"

#include "mcp/handlers/notification_handlers.hpp"
#include "mcp/http/http_context_providing.hpp"
#include "mcp/json/json.hpp"
#include "mcp/json/try_decode.hpp"
#include "mcp/protocol/detail/error_conversion.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/assert.hpp>

#include <chrono>

namespace mcp {

namespace asio = boost::asio;

namespace {

// The readings of the receive loop fail often (every request is tried as a response first),
// so each is tried only when the members it requires are there.
bool mayBeResponse(const ValueObject& object) {
    return object.contains("id") && (object.contains("result") || object.contains("error"));
}

bool mayBeRequest(const ValueObject& object) {
    return object.contains("id") && object.contains("method");
}

// The id under which to answer a message that could not be read: its own string or integer
// id, when it has one.
std::optional<ID> readableID(const Value& message) {
    const auto* object = message.objectValue();
    const Value* id = object != nullptr ? object->find("id") : nullptr;
    if (id == nullptr || id->isNull()) return std::nullopt;
    return tryDecode<ID>(*id);
}

logging::Logger::Metadata requestMetadata(const Request<AnyMethod>& request) {
    return {{"method", request.method}, {"id", request.id.description()}};
}

}  // namespace

// The receive loop

asio::awaitable<void> Server::receive(std::shared_ptr<Transport> transport, std::shared_ptr<ReceiveLoop> loop) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto incoming = transport->receive();
    std::exception_ptr streamFailure;
    while (!loop->cancelled) {
        loop->awaitingMessage = true;
        // Read as a tuple: the stop's cancellation ends every served request's loop, and a
        // thrown error there would cost more than the rest of the request.
        auto [failure, buffer] = co_await incoming->receive(asio::as_tuple(asio::use_awaitable));
        loop->awaitingMessage = false;
        if (failure) {
            if (!loop->cancelled) streamFailure = failure;
            break;
        }
        if (!buffer || loop->cancelled) break;
        try {
            co_await handleBuffer(std::move(*buffer));
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            if (!loop->cancelled) streamFailure = failure;
            break;
        }
    }
    if (streamFailure) {
        logger().error("Fatal error in message handling loop", [&streamFailure] {
            return logging::Logger::Metadata{{"error", detail::errorText(streamFailure)}};
        });
    }
    logger().debug("Server finished", [] { return logging::Logger::Metadata{}; });
    loop->finished = true;
    for (auto& waiter : std::exchange(loop->waiters, {})) {
        auto executor = asio::get_associated_executor(waiter);
        asio::dispatch(executor, std::move(waiter));
    }
}

asio::awaitable<void> Server::handleBuffer(IncomingMessage incoming) {
    std::optional<ID> errorID;
    std::exception_ptr failure;
    try {
        std::optional<Value> message;
        try {
            message.emplace(std::move(incoming).value());
        } catch (const DecodingError&) {
        }
        if (message) {
            if (message->arrayValue() != nullptr) {
                if (auto batch = tryDecode<Batch>(*message)) {
                    co_await handleBatch(std::move(*batch));
                    co_return;
                }
            } else if (const auto* object = message->objectValue()) {
                if (mayBeResponse(*object)) {
                    if (auto response = tryDecode<Response<AnyMethod>>(*message)) {
                        handleResponse(std::move(*response));
                        co_return;
                    }
                }
                if (mayBeRequest(*object)) {
                    if (auto request = tryDecode<Request<AnyMethod>>(*message)) {
                        serveRequest(std::move(*request));
                        co_return;
                    }
                }
                if (object->contains("method")) {
                    if (auto notification = tryDecode<Message<AnyNotification>>(*message)) {
                        co_await handleMessage(std::move(*notification));
                        co_return;
                    }
                }
                errorID = readableID(*message);
            }
        }
        throw MCPError::parseError("Invalid message format");
    } catch (...) {
        failure = std::current_exception();
    }

    if (detail::isResourceTemporarilyUnavailable(failure)) {
        const auto executor = co_await asio::this_coro::executor;
        asio::steady_timer pause(executor, std::chrono::milliseconds(10));
        co_await pause.async_wait(asio::as_tuple(asio::use_awaitable));
        co_return;
    }
    logger().error("Error processing message", [&failure] {
        return logging::Logger::Metadata{{"error", detail::errorText(failure)}};
    });
    const Response<AnyMethod> answer{errorID, detail::toMCPError(failure)};
    Value message = encode(answer);
    try {
        co_await sendMessage(std::move(message), std::move(errorID));
    } catch (...) {
        // The client is gone or unreachable; there is no one left to tell.
    }
}

// Requests

void Server::serveRequest(Request<AnyMethod> request) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // Registered before the task exists, so that a cancellation read right after the request
    // finds it. The cancellation reaches the whole task, and so its handler.
    auto task = registerRequestTask(request.id);
    const auto slot = task->signal.slot();
    auto serving = handleRequest(std::move(request), true, std::move(task));
    spawnOnStrand(strand_, std::move(serving),
                  asio::bind_cancellation_slot(slot, [self = shared_from_this()](std::exception_ptr error, const ResponseOrNone&) {
                      // Only a failed send gets here: the client can't be answered.
                      if (!error) return;
                      self->logger().debug("Failed to send response", [&error] {
                          return logging::Logger::Metadata{{"error", detail::errorText(error)}};
                      });
                  }));
}

asio::awaitable<Server::ResponseOrNone> Server::handleRequest(Request<AnyMethod> request, bool sendResponse,
                                                              std::shared_ptr<RequestTask> task) {
    // Within a batch, an unreadable item stands in as a request with an empty method.
    if (request.method.empty() && !sendResponse) {
        removeRequestTask(request.id, task);
        co_return Response<AnyMethod>{request.id, MCPError::invalidRequest("Invalid batch item format")};
    }
    logger().trace("Processing request", [&request] { return requestMetadata(request); });

    const bool refused = configuration_.strict && !isInitialized_ && request.method != Initialize::name &&
                         request.method != Ping::name;
    const auto handler = methodHandlers_.find(request.method);
    if (refused || handler == methodHandlers_.end()) {
        removeRequestTask(request.id, task);
        // A refused request is answered too: without an answer its caller would wait forever.
        MCPError error = refused ? MCPError::invalidRequest("Server is not initialized")
                                 : MCPError::methodNotFound("Unknown method: " + request.method);
        Response<AnyMethod> refusal{request.id, std::move(error)};
        // Only a handler can be cancelled; these answers go out whatever the client said.
        if (sendResponse) co_await asio::this_coro::reset_cancellation_state();
        auto response = co_await deliver(std::move(refusal), sendResponse);
        co_return response;
    }
    const auto box = handler->second;
    if (sendResponse) {
        if (const std::string* result = box->encodedResult(request)) {
            removeRequestTask(request.id, task);
            co_await asio::this_coro::reset_cancellation_state();
            co_await deliverEncoded(std::move(request.id), *result);
            co_return std::nullopt;
        }
    }
    const ID id = request.id;
    if (!task) task = registerRequestTask(id);

    ResponseOrNone outcome;
    std::exception_ptr failure;
    try {
        std::optional<HTTPRequest> httpContext;
        auto* provider = box->usesHTTPContext() ? dynamic_cast<HTTPContextProviding*>(connection_.get()) : nullptr;
        if (provider != nullptr) httpContext = co_await provider->httpRequestContext(id);
        HandlerContext context{id, std::move(httpContext)};
        auto running = runHandler(box, std::move(request), std::move(context), task);
        outcome = co_await std::move(running);
    } catch (...) {
        failure = std::current_exception();
    }
    removeRequestTask(id, task);
    if (failure) {
        if (task->cancelled && detail::isOperationAborted(failure)) co_return std::nullopt;
        outcome = Response<AnyMethod>{id, detail::toMCPError(failure)};
    }
    if (!outcome) co_return std::nullopt;
    // A handler that finished despite a cancellation is answered as usual.
    if (sendResponse) co_await asio::this_coro::reset_cancellation_state();
    auto response = co_await deliver(std::move(*outcome), sendResponse);
    co_return response;
}

asio::awaitable<Server::ResponseOrNone> Server::runHandler(std::shared_ptr<RequestHandlerBox> box,
                                                           Request<AnyMethod> request, HandlerContext context,
                                                           std::shared_ptr<RequestTask> task) {
    const auto state = co_await asio::this_coro::cancellation_state;
    const ID id = request.id;
    const std::string method = request.method;
    std::exception_ptr failure;
    if (!task->cancelled && state.cancelled() == asio::cancellation_type::none) {
        try {
            auto response = co_await box->handle(std::move(request), context);
            co_return response;
        } catch (...) {
            failure = std::current_exception();
        }
        // An operation that the cancellation interrupted reports it as an ordinary error.
        const bool cancelled = task->cancelled || state.cancelled() != asio::cancellation_type::none;
        if (!detail::isCancellationError(failure) && !(cancelled && detail::isOperationAborted(failure))) {
            co_return Response<AnyMethod>{id, detail::toMCPError(failure)};
        }
    }
    logger().debug("Request cancelled", [&id, &method] {
        return logging::Logger::Metadata{{"id", id.description()}, {"method", method}};
    });
    co_return std::nullopt;
}

asio::awaitable<Server::ResponseOrNone> Server::deliver(Response<AnyMethod> response, bool sendResponse) {
    if (!sendResponse) co_return response;
    std::exception_ptr failure;
    Value message = encode(response);
    try {
        co_await sendMessage(std::move(message), response.id);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) co_await answerWithFailure(std::move(response.id), failure);
    co_return std::nullopt;
}

asio::awaitable<void> Server::deliverEncoded(ID id, const std::string& result) {
    // The answer as deliver writes it, with the result's text in place of its encoding: with
    // sorted keys "result" comes last, so the envelope of a null result ends in "null}".
    constexpr std::string_view kNullResultEnd = "null}";
    std::string bytes = writeJSON(encode(Response<AnyMethod>{id, Value()}), KeyOrder::sorted);
    BOOST_ASSERT(bytes.ends_with(kNullResultEnd));
    bytes.resize(bytes.size() - kNullResultEnd.size());
    bytes += result;
    bytes += '}';
    std::exception_ptr failure;
    try {
        co_await sendBytes(std::move(bytes), id);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) co_await answerWithFailure(std::move(id), failure);
}

asio::awaitable<void> Server::answerWithFailure(std::optional<ID> id, std::exception_ptr failure) {
    // A response that can't be written or sent is answered with the error instead; when that
    // can't be sent either, the caller learns of it.
    const Response<AnyMethod> errorResponse{id, detail::toMCPError(failure)};
    Value errorMessage = encode(errorResponse);
    co_await sendMessage(std::move(errorMessage), std::move(id));
}

std::shared_ptr<Server::RequestTask> Server::registerRequestTask(const ID& id) {
    auto task = std::make_shared<RequestTask>();
    task->token = ++nextRequestTaskToken_;
    pendingRequestTasks_.insert_or_assign(id, task);
    return task;
}

void Server::removeRequestTask(const ID& id, const std::shared_ptr<RequestTask>& task) {
    // A client may reuse the id of a request still running; the entry is then the newer
    // request's, which must stay cancellable.
    const auto entry = pendingRequestTasks_.find(id);
    if (entry != pendingRequestTasks_.end() && task && entry->second->token == task->token) {
        pendingRequestTasks_.erase(entry);
    }
}

std::shared_ptr<Server::RequestTask> Server::removePendingRequestTask(const ID& id) {
    auto node = pendingRequestTasks_.extract(id);
    return node ? std::move(node.mapped()) : nullptr;
}

// Notifications

asio::awaitable<void> Server::handleMessage(Message<AnyNotification> message) {
    logger().trace("Processing notification", [&message] { return logging::Logger::Metadata{{"method", message.method}}; });
    if (configuration_.strict && !isInitialized_ && message.method != InitializedNotification::name) {
        // A notification is never answered, not even with an error.
        logger().warning("Dropped notification received before initialization", [&message] {
            return logging::Logger::Metadata{{"method", message.method}};
        });
        co_return;
    }
    const auto registered = notificationHandlers_.find(message.method);
    if (registered == notificationHandlers_.end()) co_return;
    co_await runNotificationHandlers(registered->second, std::move(message), &logger());
}

// Responses

void Server::handleResponse(Response<AnyMethod> response) {
    const ID id = response.id.value_or(ID(""));
    auto pending = removePendingRequest(id);
    if (!pending) {
        logger().warning("Received response for unknown request",
                         [&id] { return logging::Logger::Metadata{{"id", id.description()}}; });
        return;
    }
    if (auto* error = std::get_if<MCPError>(&response.outcome)) {
        pending->resume(std::make_exception_ptr(std::move(*error)));
    } else {
        pending->resume(std::move(std::get<Value>(response.outcome)));
    }
}

}  // namespace mcp
