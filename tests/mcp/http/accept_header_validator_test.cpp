#include "mcp/http/accept_header_validator.hpp"

#include "tests/mcp/http/http_validation_outcome.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace mcp {
namespace {

using Mode = AcceptHeaderValidator::Mode;

constexpr std::string_view kNeedsJSON = "406 Invalid Request: Not Acceptable: Client must accept application/json";
constexpr std::string_view kNeedsBoth =
    "406 Invalid Request: Not Acceptable: Client must accept both application/json and text/event-stream";
constexpr std::string_view kNeedsStream = "406 Invalid Request: Not Acceptable: Client must accept text/event-stream";

TEST(AcceptHeaderValidator, AcceptsOnlyTheNamedMediaTypesPerMethodAndMode) {
    const struct {
        std::string_view name;
        Mode mode;
        std::string_view method;
        std::optional<std::string_view> accept;
        std::string_view want;
    } kCases[] = {
        {"json", Mode::jsonOnly, "POST", "application/json", "pass"},
        {"q=0 still counts", Mode::jsonOnly, "POST", "application/json;q=0", "pass"},
        {"json among others", Mode::jsonOnly, "POST", "text/html, \tapplication/json ", "pass"},
        {"prefix counts", Mode::jsonOnly, "POST", "application/json-seq", "pass"},
        {"any type", Mode::jsonOnly, "POST", "*/*", kNeedsJSON},
        {"application wildcard", Mode::jsonOnly, "POST", "application/*", kNeedsJSON},
        {"other case", Mode::jsonOnly, "POST", "Application/JSON", kNeedsJSON},
        {"no header", Mode::jsonOnly, "POST", std::nullopt, kNeedsJSON},
        {"empty pieces", Mode::jsonOnly, "POST", ",,", kNeedsJSON},
        {"both", Mode::sseRequired, "POST", "application/json, text/event-stream", "pass"},
        {"both reversed, tabs", Mode::sseRequired, "POST", "\ttext/event-stream\t,  application/json", "pass"},
        {"both, no blanks", Mode::sseRequired, "POST", "text/event-stream,application/json", "pass"},
        {"json only", Mode::sseRequired, "POST", "application/json", kNeedsBoth},
        {"stream only", Mode::sseRequired, "POST", "text/event-stream", kNeedsBoth},
        {"GET needs the stream in jsonOnly", Mode::jsonOnly, "GET", "application/json", kNeedsStream},
        {"GET needs the stream in sseRequired", Mode::sseRequired, "GET", std::nullopt, kNeedsStream},
        {"GET with the stream", Mode::jsonOnly, "GET", "text/event-stream", "pass"},
        {"DELETE without header, jsonOnly", Mode::jsonOnly, "DELETE", std::nullopt, "pass"},
        {"DELETE without header, sseRequired", Mode::sseRequired, "DELETE", std::nullopt, "pass"},
        {"method names are exact", Mode::jsonOnly, "post", std::nullopt, "pass"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        HTTPRequest request{std::string(c.method), {}, std::nullopt, std::nullopt};
        if (c.accept) request.headers.emplace_back("accept", std::string(*c.accept));
        const auto context = testing::contextFor(std::string(c.method));
        EXPECT_EQ(testing::outcome(AcceptHeaderValidator(c.mode).validate(request, context), context), c.want);
    }
}

}  // namespace
}  // namespace mcp
