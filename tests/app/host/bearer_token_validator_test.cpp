#include "app/host/bearer_token_validator.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace app {
namespace {

constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";

TEST(BearerTokenValidator, PassesOnlyTheExactBearerValue) {
    const std::string token(kToken);
    const struct {
        const char* name;
        mcp::HTTPHeaders headers;
        bool passes;
    } kCases[] = {
        {"exact", {{"Authorization", "Bearer " + token}}, true},
        {"header name in lower case", {{"authorization", "Bearer " + token}}, true},
        {"missing", {}, false},
        {"scheme in lower case", {{"Authorization", "bearer " + token}}, false},
        {"two blanks", {{"Authorization", "Bearer  " + token}}, false},
        {"trailing blank", {{"Authorization", "Bearer " + token + " "}}, false},
        {"last digit wrong", {{"Authorization", "Bearer " + token.substr(0, 47) + "8"}}, false},
        {"first digit wrong", {{"Authorization", "Bearer 1" + token.substr(1)}}, false},
        {"token alone", {{"Authorization", token}}, false},
        {"shorter", {{"Authorization", "Bearer " + token.substr(1)}}, false},
        {"other scheme", {{"Authorization", "Basic " + token}}, false},
    };
    const BearerTokenValidator validator(token);
    for (const auto& c : kCases) {
        const mcp::HTTPRequest request{"POST", c.headers, "{}", "/mcp"};
        EXPECT_EQ(!validator.validate(request, {}).has_value(), c.passes) << c.name;
    }
}

TEST(BearerTokenValidator, AnEmptyTokenPassesOnlyTheBareScheme) {
    const BearerTokenValidator validator("");
    EXPECT_FALSE(validator.validate({"POST", {{"Authorization", "Bearer "}}, "{}", "/"}, {}));
    EXPECT_TRUE(validator.validate({"POST", {{"Authorization", "Bearer"}}, "{}", "/"}, {}));
    EXPECT_TRUE(validator.validate({"POST", {}, "{}", "/"}, {}));
}

TEST(BearerTokenValidator, RefusesWith401AndTheInvalidRequestError) {
    const BearerTokenValidator validator(std::string{kToken});
    const auto refusal = validator.validate({"POST", {{"Authorization", "Bearer nope"}}, "{}", "/mcp"}, {});
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->statusCode(), 401);
    EXPECT_EQ(refusal->headers(),
              (mcp::HTTPHeaders{{"Content-Type", "application/json"}, {"WWW-Authenticate", "Bearer"}}));
    const auto expected = mcp::parseJSON(
        R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Missing or wrong access token. )"
        R"(Copy the connection settings from the Vantor MCP tray icon."},"id":null})");
    EXPECT_EQ(mcp::parseJSON(*refusal->bodyData()), expected);
}

}  // namespace
}  // namespace app
