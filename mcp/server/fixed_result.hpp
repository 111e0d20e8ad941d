#pragma once

// FixedResult<M>: a result of method `M` encoded once, and the handler box that serves it
// (`Server::withFixedResult`). For answers that never change, such as a program's tool list,
// served by many short-lived servers: each answer then costs a copy of the text instead of an
// encoding.
//
//     static const auto tools = std::make_shared<const FixedResult<ListTools>>(ListTools::Result{myTools});
//     server->withFixedResult<ListTools>(tools);

#include "mcp/handlers/handler_box.hpp"
#include "mcp/json/json.hpp"

#include <boost/asio/awaitable.hpp>

#include <memory>
#include <string>
#include <utility>

namespace mcp {

// A result of `M` and its JSON text with sorted keys, as the server writes it. Immutable, so
// one may be shared by servers on any thread. Throws `EncodingError` when `result` can't be
// written.
template <Method M>
class FixedResult {
public:
    explicit FixedResult(typename M::Result result)
        : value_(mcp::encode(result)), json_(writeJSON(value_, KeyOrder::sorted)) {}

    const Value& value() const noexcept { return value_; }
    const std::string& json() const noexcept { return json_; }

private:
    Value value_;
    std::string json_;
};

// The box of a method `M` answered with a `FixedResult<M>`.
template <Method M>
class FixedResultHandler final : public RequestHandlerBox {
public:
    explicit FixedResultHandler(std::shared_ptr<const FixedResult<M>> result) : result_(std::move(result)) {}

    boost::asio::awaitable<Response<AnyMethod>> handle(Request<AnyMethod> request, const HandlerContext&) override {
        detail::decodeRequestParams<typename M::Parameters>(std::move(request.params));
        co_return Response<AnyMethod>{std::move(request.id), result_->value()};
    }

    const std::string* encodedResult(const Request<AnyMethod>& request) const override {
        try {
            detail::decodeMessageParams<typename M::Parameters>(request.params);
        } catch (const DecodingError&) {
            return nullptr;
        }
        return &result_->json();
    }

    bool usesHTTPContext() const noexcept override { return false; }

private:
    std::shared_ptr<const FixedResult<M>> result_;
};

}  // namespace mcp
