#include "mcp/handlers/handler_box.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/utility_messages.hpp"
#include "tests/mcp/coroutine_runner.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::runCoroutine;

Request<AnyMethod> erasedRequest(std::string_view json) {
    return decodeJSON<Request<AnyMethod>>(json);
}

// What handling `json` with `box` comes to: the response as sorted JSON, or the error thrown.
std::string handle(RequestHandlerBox& box, std::string_view json) {
    std::string outcome;
    runCoroutine([&]() -> asio::awaitable<void> {
        const HandlerContext context{ID(1), std::nullopt};
        try {
            const auto response = co_await box.handle(erasedRequest(json), context);
            outcome = encodeJSON(response, KeyOrder::sorted);
        } catch (const MCPError& error) {
            outcome = "MCPError: " + error.debugDescription();
        } catch (const std::exception& error) {
            outcome = std::string("error: ") + error.what();
        }
    });
    return outcome;
}

TEST(TypedRequestHandler, ServesTypedParametersAndGivesTheResultAsJSON) {
    TypedRequestHandler<CallTool> box([](CallTool::Parameters params, const HandlerContext& context) -> asio::awaitable<CallTool::Result> {
        co_return CallTool::Result{.content = {Tool::Content::text(params.name + " for " + context.id.description())}};
    });
    const struct {
        std::string_view name, request, outcome;
    } kCases[] = {
        {"typed parameters", R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"look"}})",
         R"({"id":7,"jsonrpc":"2.0","result":{"content":[{"text":"look for 1","type":"text"}]}})"},
        {"no params", R"({"jsonrpc":"2.0","id":7,"method":"tools/call"})",
         "MCPError: [-32602] Invalid params: Missing required params field"},
        {"null params", R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":null})",
         "MCPError: [-32602] Invalid params: Missing required params field"},
        {"params that don't fit", R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"arguments":{}}})",
         "MCPError: [-32602] Invalid params: Invalid params field"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(handle(box, c.request), c.outcome);
    }
}

TEST(TypedRequestHandler, ParametersThatMayBeAbsentReportTheirOwnError) {
    TypedRequestHandler<ListTools> box([](ListTools::Parameters params, const HandlerContext&) -> asio::awaitable<ListTools::Result> {
        co_return ListTools::Result{.nextCursor = params.cursor};
    });
    EXPECT_EQ(handle(box, R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})"), R"({"id":1,"jsonrpc":"2.0","result":{"tools":[]}})");
    EXPECT_EQ(handle(box, R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":5})"),
              "MCPError: [-32602] Invalid params: Expected an object but found a number");
}

TEST(TypedRequestHandler, EmptyParametersMayBeLeftOut) {
    TypedRequestHandler<Ping> box([](Empty, const HandlerContext&) -> asio::awaitable<Empty> { co_return Empty{}; });
    EXPECT_EQ(handle(box, R"({"jsonrpc":"2.0","id":"a","method":"ping"})"), R"({"id":"a","jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(handle(box, R"({"jsonrpc":"2.0","id":"a","method":"ping","params":5})"), R"({"id":"a","jsonrpc":"2.0","result":{}})");
}

TEST(TypedRequestHandler, PassesTheHandlersErrorOnUnchanged) {
    TypedRequestHandler<Ping> refusing([](Empty, const HandlerContext&) -> asio::awaitable<Empty> {
        throw MCPError::serverError(-32099, "Busy");
        co_return Empty{};
    });
    EXPECT_EQ(handle(refusing, R"({"jsonrpc":"2.0","id":1,"method":"ping"})"), "MCPError: [-32099] Server error: Busy");
    TypedRequestHandler<Ping> failing([](Empty, const HandlerContext&) -> asio::awaitable<Empty> {
        throw std::runtime_error("boom");
        co_return Empty{};
    });
    EXPECT_EQ(handle(failing, R"({"jsonrpc":"2.0","id":1,"method":"ping"})"), "error: boom");
}

TEST(TypedNotificationHandler, GivesEachHandlerItsOwnTypedCopy) {
    std::vector<CancelledNotification::Parameters> received;
    auto record = [&received](Message<CancelledNotification> message) -> asio::awaitable<void> {
        received.push_back(message.params);
        message.params.reason = "changed";
        co_return;
    };
    TypedNotificationHandler<CancelledNotification> first(record);
    TypedNotificationHandler<CancelledNotification> second(record);
    const auto message = decodeJSON<Message<AnyNotification>>(
        R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":3,"reason":"late"}})");
    runCoroutine([&]() -> asio::awaitable<void> {
        co_await first.handle(message);
        co_await second.handle(message);
    });
    const CancelledNotification::Parameters expected{ID(3), "late"};
    EXPECT_EQ(received, (std::vector{expected, expected}));
}

TEST(TypedNotificationHandler, ThrowsTheReadingError) {
    TypedNotificationHandler<ProgressNotification> box([](Message<ProgressNotification>) -> asio::awaitable<void> { co_return; });
    const auto message = decodeJSON<Message<AnyNotification>>(R"({"jsonrpc":"2.0","method":"notifications/progress","params":{}})");
    EXPECT_THROW(runCoroutine([&]() -> asio::awaitable<void> { co_await box.handle(message); }), DecodingError);
}

}  // namespace
}  // namespace mcp
