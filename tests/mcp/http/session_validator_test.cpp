#include "mcp/http/session_validator.hpp"

#include "tests/mcp/http/http_validation_outcome.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace mcp {
namespace {

TEST(SessionValidator, RequiresTheTransportsSessionOnEveryRequestButInitialization) {
    const struct {
        std::string_view name;
        bool initialization;
        std::optional<std::string_view> held;
        std::optional<std::string_view> header;
        std::string_view want;
    } kCases[] = {
        {"same session", false, "s1", "s1", "pass"},
        {"no session held", false, std::nullopt, "s1", "400 Invalid Request: Bad Request: Session not initialized"},
        {"no session, no header", false, std::nullopt, std::nullopt,
         "400 Invalid Request: Bad Request: Session not initialized"},
        {"header missing", false, "s1", std::nullopt, "400 Invalid Request: Bad Request: Missing MCP-Session-Id header"},
        {"other session", false, "s1", "s2", "404 Invalid Request: Not Found: Invalid or expired session ID"},
        {"compared exactly", false, "s1", "S1", "404 Invalid Request: Not Found: Invalid or expired session ID"},
        {"initialization without session", true, std::nullopt, std::nullopt, "pass"},
        {"initialization with a stale header", true, "s1", "old", "pass"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        HTTPRequest request{"POST", {}, std::nullopt, std::nullopt};
        if (c.header) request.headers.emplace_back("Mcp-Session-Id", std::string(*c.header));
        auto context = testing::contextFor("POST");
        context.isInitializationRequest = c.initialization;
        if (c.held) context.sessionID = std::string(*c.held);
        EXPECT_EQ(testing::outcome(SessionValidator().validate(request, context), context), c.want);
    }
}

}  // namespace
}  // namespace mcp
