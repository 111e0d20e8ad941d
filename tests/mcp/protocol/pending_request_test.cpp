#include "mcp/protocol/pending_request.hpp"

#include "mcp/protocol/initialize.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "tests/mcp/coroutine_runner.hpp"

#include <boost/asio/async_result.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <gtest/gtest.h>

#include <optional>

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::runCoroutine;

// Awaits a `T` through an `AnyPendingRequest` that `resume` is given once the caller waits.
template <class T>
T awaitResumedWith(std::function<void(AnyPendingRequest&)> resume) {
    std::optional<T> result;
    runCoroutine([&]() -> asio::awaitable<void> {
        std::optional<AnyPendingRequest> pending;
        auto initiation = [&pending](auto continuation) {
            pending.emplace(PendingRequest<T>{std::move(continuation)});
        };
        auto waiting = asio::async_initiate<decltype(asio::use_awaitable), void(std::exception_ptr, T)>(
            std::move(initiation), asio::use_awaitable);
        auto executor = co_await asio::this_coro::executor;
        asio::post(executor, [&pending, &resume] { resume(*pending); });
        result.emplace(co_await std::move(waiting));
    });
    return std::move(*result);
}

TEST(AnyPendingRequest, PassesAValueThroughToAValueCaller) {
    const Value value = decodeJSON<Value>(R"({"b":[1,2.5],"a":"data:,x"})");
    EXPECT_EQ(awaitResumedWith<Value>([&](AnyPendingRequest& pending) { pending.resume(value); }), value);
}

TEST(AnyPendingRequest, ReadsTheValueAsTheCallersType) {
    const auto result = awaitResumedWith<Initialize::Result>([](AnyPendingRequest& pending) {
        pending.resume(decodeJSON<Value>(R"({"protocolVersion":"2025-06-18","capabilities":{},"serverInfo":{"name":"s","version":"1"}})"));
    });
    EXPECT_EQ(result.protocolVersion, "2025-06-18");
    EXPECT_EQ(result.serverInfo.name, "s");
}

TEST(AnyPendingRequest, AValueOfAnotherShapeIsATypeMismatch) {
    EXPECT_THROW(awaitResumedWith<Initialize::Result>([](AnyPendingRequest& pending) {
                     pending.resume(decodeJSON<Value>(R"({"capabilities":{}})"));
                 }),
                 TypeMismatchError);
}

TEST(AnyPendingRequest, PassesTheVeryErrorOn) {
    try {
        awaitResumedWith<Value>([](AnyPendingRequest& pending) {
            pending.resume(std::make_exception_ptr(MCPError::serverError(-32050, "Declined")));
        });
        FAIL() << "no error";
    } catch (const MCPError& error) {
        EXPECT_EQ(error, MCPError::serverError(-32050, "Declined"));
    }
}

TEST(AnyPendingRequest, ResumesOnlyOnce) {
    EXPECT_EQ(awaitResumedWith<Value>([](AnyPendingRequest& pending) {
                  pending.resume(Value(1));
                  pending.resume(Value(2));
                  pending.resume(std::make_exception_ptr(MCPError::connectionClosed()));
              }),
              Value(1));
}

}  // namespace
}  // namespace mcp
