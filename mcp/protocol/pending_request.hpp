#pragma once

// Pending requests: the callers waiting for the answers to requests sent to the peer, kept by
// request id. Callers wait for results of different types, so the map holds
// `AnyPendingRequest`, which turns the JSON result of a response into the type its caller
// awaits.
//
//     // the caller, awaiting an `Initialize::Result`:
//     auto result = co_await boost::asio::async_initiate<decltype(use_awaitable),
//                                                        void(std::exception_ptr, Initialize::Result)>(
//         [&](auto handler) {
//             pending.emplace(id, AnyPendingRequest(PendingRequest<Initialize::Result>{std::move(handler)}));
//         },
//         use_awaitable);
//     // whoever has the answer takes the entry out, then resumes it:
//     if (auto node = pending.extract(id)) node.mapped().resume(resultValue);

#include "mcp/json/codec.hpp"
#include "mcp/json/value.hpp"
#include "mcp/async/one_shot.hpp"

#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <variant>

namespace mcp {

// The result of a response doesn't read as the type its caller awaits.
class TypeMismatchError : public std::runtime_error {
public:
    TypeMismatchError() : std::runtime_error("The response's result does not have the expected type") {}
};

// A caller waiting for a `T` or an error. Its continuation must be resumed exactly once.
template <class T>
struct PendingRequest {
    OneShot<T> continuation;
};

// A `PendingRequest` of any result type.
class AnyPendingRequest {
public:
    // How a request ended: the result as JSON, or the error.
    using Outcome = std::variant<Value, std::exception_ptr>;

    template <class T>
    explicit AnyPendingRequest(PendingRequest<T> pending) : waiter_(std::make_unique<Waiter<T>>(std::move(pending))) {}

    // Resumes the caller on its executor: with the error of a failure; with a success's value
    // read as the caller's type, or `TypeMismatchError` when it doesn't read. Only the first
    // call resumes; later ones do nothing.
    void resume(Outcome outcome) {
        if (!waiter_) return;
        auto waiter = std::move(waiter_);
        waiter->resume(std::move(outcome));
    }

private:
    struct AnyWaiter {
        virtual ~AnyWaiter() = default;
        virtual void resume(Outcome outcome) = 0;
    };

    template <class T>
    struct Waiter final : AnyWaiter {
        explicit Waiter(PendingRequest<T> pending) : pending(std::move(pending)) {}

        void resume(Outcome outcome) override {
            if (auto* error = std::get_if<std::exception_ptr>(&outcome)) {
                complete(*error, T{});
                return;
            }
            auto& value = std::get<Value>(outcome);
            if constexpr (std::is_same_v<T, Value>) {
                complete(nullptr, std::move(value));
            } else {
                std::optional<T> typed;
                try {
                    typed.emplace(mcp::decode<T>(value));
                } catch (const DecodingError&) {
                }
                if (typed) {
                    complete(nullptr, std::move(*typed));
                } else {
                    complete(std::make_exception_ptr(TypeMismatchError()), T{});
                }
            }
        }

        // The caller resumes on its own executor: at once when that is the current one.
        void complete(std::exception_ptr error, T result) { pending.continuation.resume(error, std::move(result)); }

        PendingRequest<T> pending;
    };

    std::unique_ptr<AnyWaiter> waiter_;
};

}  // namespace mcp
