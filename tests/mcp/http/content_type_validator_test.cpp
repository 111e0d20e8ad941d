#include "mcp/http/content_type_validator.hpp"

#include "tests/mcp/http/http_validation_outcome.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace mcp {
namespace {

constexpr std::string_view kRefused =
    "415 Invalid Request: Unsupported Media Type: Content-Type must be application/json";

TEST(ContentTypeValidator, RequiresExactlyJSONOnPOST) {
    const struct {
        std::string_view name;
        std::string_view method;
        std::optional<std::string_view> contentType;
        std::string_view want;
    } kCases[] = {
        {"json", "POST", "application/json", "pass"},
        {"with charset", "POST", "application/json; charset=utf-8", "pass"},
        {"blanks around", "POST", " \tapplication/json\t;charset=utf-8", "pass"},
        {"leading empty piece", "POST", ";application/json", "pass"},
        {"upper case", "POST", "APPLICATION/JSON", kRefused},
        {"longer type", "POST", "application/json-seq", kRefused},
        {"other type", "POST", "text/plain", kRefused},
        {"blank first piece", "POST", " ;application/json", kRefused},
        {"empty", "POST", "", kRefused},
        {"missing", "POST", std::nullopt, kRefused},
        {"GET without header", "GET", std::nullopt, "pass"},
        {"DELETE with other type", "DELETE", "text/plain", "pass"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        HTTPRequest request{std::string(c.method), {}, std::nullopt, std::nullopt};
        if (c.contentType) request.headers.emplace_back("CONTENT-TYPE", std::string(*c.contentType));
        const auto context = testing::contextFor(std::string(c.method));
        EXPECT_EQ(testing::outcome(ContentTypeValidator().validate(request, context), context), c.want);
    }
}

}  // namespace
}  // namespace mcp
