#include "mcp/http/protocol_version_validator.hpp"

#include "mcp/protocol/initialize.hpp"
#include "tests/mcp/http/http_validation_outcome.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace mcp {
namespace {

constexpr std::string_view kSupported = ". Supported: 2024-11-05, 2025-03-26, 2025-06-18, 2025-11-25";

TEST(ProtocolVersionValidator, RefusesUnsupportedVersionsExceptOnInitialization) {
    const std::string refusedPrefix = "400 Invalid Request: Bad Request: Unsupported protocol version: ";
    const struct {
        std::string_view name;
        bool initialization;
        std::optional<std::string_view> version;
        std::string want;
    } kCases[] = {
        {"supported", false, "2025-06-18", "pass"},
        {"oldest supported", false, "2024-11-05", "pass"},
        {"no header", false, std::nullopt, "pass"},
        {"unsupported", false, "1999-01-01", refusedPrefix + "1999-01-01" + std::string(kSupported)},
        {"empty value", false, "", refusedPrefix + std::string(kSupported)},
        {"compared exactly", false, " 2025-06-18", refusedPrefix + " 2025-06-18" + std::string(kSupported)},
        {"initialize is exempt", true, "1999-01-01", "pass"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        HTTPRequest request{"POST", {}, std::nullopt, std::nullopt};
        if (c.version) request.headers.emplace_back("mcp-protocol-version", std::string(*c.version));
        auto context = testing::contextFor("POST");
        context.isInitializationRequest = c.initialization;
        context.supportedProtocolVersions = Version::supported();
        EXPECT_EQ(testing::outcome(ProtocolVersionValidator().validate(request, context), context), c.want);
    }
}

}  // namespace
}  // namespace mcp
