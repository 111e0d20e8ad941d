#pragma once

// Handler boxes: the entries of a server's or client's handler maps. Handlers are typed (they
// take the `Parameters` of one method and give its `Result`), while messages arrive with their
// parameters as plain JSON values; a box converts between the two.
//
//     auto box = std::make_shared<TypedRequestHandler<CallTool>>(
//         [](CallTool::Parameters params, const HandlerContext&) -> asio::awaitable<CallTool::Result> {
//             co_return CallTool::Result{.content = {Tool::Content::text("Hi, " + params.name)}};
//         });
//     Response<AnyMethod> response = co_await box->handle(request, context);
//
// Boxes hold no mutable state and may be called from any coroutine, several at a time.

#include "mcp/async/cancellation_error.hpp"
#include "mcp/http/http_request.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "mcp/protocol/id.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/protocol/method.hpp"

#include <boost/asio/awaitable.hpp>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace mcp {

// What a request handler knows of the request it serves.
struct HandlerContext {
    // The id of the request being handled.
    ID id;
    // The HTTP request that carried it, when the transport can tell (the HTTP server
    // transports can).
    std::optional<HTTPRequest> httpContext;
};

namespace detail {

// Reads the parameters of a message by the envelope rules ("Missing required params field",
// "Invalid params field", or the type's own error for a type whose params may be absent).
// Throws `DecodingError`.
template <class Parameters>
Parameters decodeMessageParams(Value params) {
    // Nothing can fail to read as `Empty`.
    if constexpr (std::is_same_v<Parameters, Empty>) return Empty{};
    ValueObject envelope;
    envelope.insertOrAssign("params", std::move(params));
    const Value message(std::move(envelope));
    const CodingPath root;
    return decodeParams<Parameters>(ObjectReader(message, root));
}

// Reads a request's parameters as decodeMessageParams does. Parameters that don't read are the
// caller's fault, not the server's: throws `MCPError::invalidParams` with the reading error's text.
template <class Parameters>
Parameters decodeRequestParams(Value params) {
    try {
        return decodeMessageParams<Parameters>(std::move(params));
    } catch (const DecodingError& error) {
        throw MCPError::invalidParams(error.what());
    }
}

}  // namespace detail

// The common type of every entry of a method-handler map.
class RequestHandlerBox {
public:
    virtual ~RequestHandlerBox() = default;

    // Serves one request: reads its parameters as the handler's type, runs the handler and
    // gives its result as a JSON value under the request's id. Throws `MCPError` with
    // `invalidParams` when the parameters don't read (the detail is the reading error's text),
    // and whatever the handler throws, unchanged. `context` must outlive the returned
    // awaitable.
    virtual boost::asio::awaitable<Response<AnyMethod>> handle(Request<AnyMethod> request,
                                                               const HandlerContext& context) = 0;

    // The result of `request` as JSON text, when the box has it ready without running
    // anything (a result fixed in advance, whose parameters read): what `handle` would
    // answer, written with sorted keys. Absent otherwise, and then `handle` serves it. The
    // text lives as long as the box.
    virtual const std::string* encodedResult([[maybe_unused]] const Request<AnyMethod>& request) const {
        return nullptr;
    }

    // False when the handler never looks at the context's HTTP request, which then needn't
    // be fetched.
    virtual bool usesHTTPContext() const noexcept { return true; }
};

// The box of one method `M`. The handler runs on the caller's executor.
template <Method M>
class TypedRequestHandler final : public RequestHandlerBox {
public:
    using Handler =
        std::function<boost::asio::awaitable<typename M::Result>(typename M::Parameters, const HandlerContext&)>;

    explicit TypedRequestHandler(Handler handler, bool usesContext = true)
        : handler_(std::move(handler)), usesContext_(usesContext) {}

    bool usesHTTPContext() const noexcept override { return usesContext_; }

    boost::asio::awaitable<Response<AnyMethod>> handle(Request<AnyMethod> request,
                                                       const HandlerContext& context) override {
        auto params = detail::decodeRequestParams<typename M::Parameters>(std::move(request.params));
        typename M::Result result = co_await handler_(std::move(params), context);
        co_return Response<AnyMethod>{std::move(request.id), mcp::encode(result)};
    }

private:
    Handler handler_;
    bool usesContext_;
};

// The handler of a `TypedRequestHandler<M>` made from one that takes `M::Parameters` and,
// optionally, `const HandlerContext&`, and returns `awaitable<M::Result>`.
template <Method M, class Handler>
typename TypedRequestHandler<M>::Handler adaptRequestHandler(Handler handler) {
    if constexpr (std::is_invocable_v<Handler&, typename M::Parameters, const HandlerContext&>) {
        return typename TypedRequestHandler<M>::Handler(std::move(handler));
    } else {
        return [handler = std::move(handler)](typename M::Parameters params, const HandlerContext&) {
            return handler(std::move(params));
        };
    }
}

// The common type of the entries of a notification-handler list.
class NotificationHandlerBox {
public:
    virtual ~NotificationHandlerBox() = default;

    // Reads the notification's parameters as the handler's type and runs the handler.
    // Throws the reading error (`DecodingError`) or whatever the handler throws.
    virtual boost::asio::awaitable<void> handle(Message<AnyNotification> message) = 0;
};

// The box of one notification `N`. The handler runs on the caller's executor.
template <Notification N>
class TypedNotificationHandler final : public NotificationHandlerBox {
public:
    using Handler = std::function<boost::asio::awaitable<void>(Message<N>)>;

    explicit TypedNotificationHandler(Handler handler) : handler_(std::move(handler)) {}

    boost::asio::awaitable<void> handle(Message<AnyNotification> message) override {
        Message<N> typed{std::move(message.method),
                         detail::decodeMessageParams<typename N::Parameters>(std::move(message.params))};
        co_await handler_(std::move(typed));
    }

private:
    Handler handler_;
};

}  // namespace mcp
