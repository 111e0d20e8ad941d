#include "mcp/oauth/www_authenticate.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

constexpr std::string_view kMetadata = "https://api.example.com/.well-known/oauth-protected-resource";

TEST(BearerChallenge, WritesParametersInOrderWithSortedScopesAndEscapedValues) {
    using Scopes = std::optional<std::set<std::string>>;
    const struct {
        std::string_view name;
        Scopes scopes;
        std::optional<std::string_view> error;
        std::optional<std::string_view> description;
        std::string_view challenge;
    } cases[] = {
        {"metadata only", std::nullopt, std::nullopt, std::nullopt,
         R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource")"},
        {"empty scope set and empty description", Scopes{std::set<std::string>{}}, std::nullopt, "",
         R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource")"},
        {"scopes sorted", Scopes{{"b", "a", "B"}}, std::nullopt, std::nullopt,
         R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource", scope="B a b")"},
        {"all four", Scopes{{"read"}}, "invalid_token", "Token has expired",
         R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource", scope="read", error="invalid_token", error_description="Token has expired")"},
        {"error without description", std::nullopt, "invalid_token", std::nullopt,
         R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource", error="invalid_token")"},
        {"quotes and backslashes escaped", Scopes{{"a\"b"}}, std::nullopt, R"(say "hi" \ bye)",
         R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource", scope="a\"b", error_description="say \"hi\" \\ bye")"},
        // A line break would end the header and start another one.
        {"control characters become blanks", std::nullopt, std::nullopt, "a\r\nSet-Cookie: x\x7f\tb",
         R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource", error_description="a  Set-Cookie: x )"
         "\tb\""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(formatBearerChallenge(kMetadata, row.scopes, row.error, row.description), row.challenge);
    }
}

}  // namespace
}  // namespace mcp
