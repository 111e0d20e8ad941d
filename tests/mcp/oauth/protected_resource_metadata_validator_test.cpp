#include "mcp/oauth/protected_resource_metadata_validator.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

TEST(ProtectedResourceMetadataValidator, ServesTheDocumentAtItsWellKnownPathsOnly) {
    const OAuthProtectedResourceServerMetadata metadata{
        "https://api.example.com/mcp", {boost::urls::url("https://auth.example.com")}, std::vector<std::string>{"read"}};
    const ProtectedResourceMetadataValidator validator(metadata);
    const Value expected = parseJSON(
        R"({"resource":"https://api.example.com/mcp","authorization_servers":["https://auth.example.com"],"scopes_supported":["read"]})");

    const struct {
        std::string_view name;
        std::string_view method;
        std::optional<std::string> path;
        bool served;
    } cases[] = {
        {"well-known path", "GET", "/.well-known/oauth-protected-resource", true},
        {"with the resource's path", "GET", "/.well-known/oauth-protected-resource/mcp", true},
        {"with a deeper path", "GET", "/.well-known/oauth-protected-resource/a/b", true},
        {"with a trailing slash", "GET", "/.well-known/oauth-protected-resource/", true},
        {"another suffix", "GET", "/.well-known/oauth-protected-resource-x", false},
        {"with a query", "GET", "/.well-known/oauth-protected-resource?x=1", false},
        {"other letter case", "GET", "/.well-known/OAuth-Protected-Resource", false},
        {"the endpoint", "GET", "/mcp", false},
        {"no path", "GET", std::nullopt, false},
        {"POST of the well-known path", "POST", "/.well-known/oauth-protected-resource", false},
        {"lower-case get", "get", "/.well-known/oauth-protected-resource", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const HTTPRequest request{.method = std::string(row.method), .headers = {}, .body = {}, .path = row.path};
        const auto response = validator.validate(request, HTTPValidationContext{.httpMethod = std::string(row.method)});
        if (!row.served) {
            EXPECT_FALSE(response);
            continue;
        }
        ASSERT_TRUE(response);
        EXPECT_EQ(response->statusCode(), 200);
        EXPECT_EQ(response->headers(), (HTTPHeaders{{"Content-Type", "application/json"}}));
        ASSERT_TRUE(response->bodyData());
        EXPECT_EQ(parseJSON(*response->bodyData()), expected);
    }
}

TEST(ProtectedResourceMetadataValidator, ServesTheDocumentsFieldsInOrder) {
    const ProtectedResourceMetadataValidator validator({"https://r", {}, std::nullopt});
    const auto response = validator.validate({.method = "GET", .headers = {}, .body = {}, .path = "/.well-known/oauth-protected-resource"},
                                             HTTPValidationContext{.httpMethod = "GET"});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->bodyData(), R"({"resource":"https://r","authorization_servers":[]})");
}

}  // namespace
}  // namespace mcp
