#include "mcp/http/origin_validator.hpp"

#include "tests/mcp/http/http_validation_outcome.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace mcp {
namespace {

constexpr std::string_view kHostRefused = "421 Invalid Request: Misdirected Request: Host header not allowed";
constexpr std::string_view kOriginRefused = "403 Invalid Request: Forbidden: Origin not allowed";

struct Case {
    std::string_view name;
    std::optional<std::string_view> host;
    std::optional<std::string_view> origin;
    std::string_view want;
};

void expectOutcomes(const OriginValidator& validator, std::initializer_list<Case> cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HTTPRequest request{"POST", {}, std::nullopt, std::nullopt};
        if (c.host) request.headers.emplace_back("host", std::string(*c.host));
        if (c.origin) request.headers.emplace_back("ORIGIN", std::string(*c.origin));
        const auto context = testing::contextFor("POST");
        EXPECT_EQ(testing::outcome(validator.validate(request, context), context), c.want);
    }
}

TEST(OriginValidator, LocalhostWithoutPortAllowsLoopbackNamesWithAnyNumericPort) {
    expectOutcomes(OriginValidator::localhost(std::nullopt), {
        {"neither header", std::nullopt, std::nullopt, "pass"},
        {"ipv4 host", "127.0.0.1:47293", std::nullopt, "pass"},
        {"name host", "localhost:8080", std::nullopt, "pass"},
        {"ipv6 host", "[::1]:1", std::nullopt, "pass"},
        {"arabic-indic port", "127.0.0.1:\u0668\u0660", std::nullopt, "pass"},
        {"letter in port", "127.0.0.1:80a", std::nullopt, kHostRefused},
        {"bare colon", "127.0.0.1:", std::nullopt, kHostRefused},
        {"no port", "localhost", std::nullopt, kHostRefused},
        {"other host", "evil.example:80", std::nullopt, kHostRefused},
        {"case matters", "LOCALHOST:80", std::nullopt, kHostRefused},
        {"invalid utf-8 port", "127.0.0.1:8\xff", std::nullopt, kHostRefused},
        {"local origin", std::nullopt, "http://localhost:3000", "pass"},
        {"ipv6 origin", "[::1]:3000", "http://[::1]:3000", "pass"},
        {"null origin", std::nullopt, "null", kOriginRefused},
        {"https origin", std::nullopt, "https://localhost:1", kOriginRefused},
        {"foreign origin", "127.0.0.1:3000", "http://evil.example:3000", kOriginRefused},
        {"trailing slash", std::nullopt, "http://localhost:3000/", kOriginRefused},
        {"host is checked first", "evil", "null", kHostRefused},
    });
}

TEST(OriginValidator, LocalhostWithPortMatchesThatPortExactly) {
    expectOutcomes(OriginValidator::localhost(47293), {
        {"the port", "127.0.0.1:47293", "http://localhost:47293", "pass"},
        {"other port", "127.0.0.1:47294", std::nullopt, kHostRefused},
        {"longer port", "localhost:472930", std::nullopt, kHostRefused},
        {"origin on other port", std::nullopt, "http://127.0.0.1:3000", kOriginRefused},
    });
}

TEST(OriginValidator, ExplicitListsAreExactAndEmptyListsRefuseThePresentHeader) {
    expectOutcomes(OriginValidator({"app.test"}, {}), {
        {"listed host", "app.test", std::nullopt, "pass"},
        {"host with port", "app.test:80", std::nullopt, kHostRefused},
        {"any origin", "app.test", "http://app.test", kOriginRefused},
    });
    expectOutcomes(OriginValidator({}, {}), {
        {"no headers", std::nullopt, std::nullopt, "pass"},
        {"any host", "127.0.0.1:1", std::nullopt, kHostRefused},
    });
}

TEST(OriginValidator, DisabledPassesEverything) {
    expectOutcomes(OriginValidator::disabled(), {
        {"foreign", "evil.example", "null", "pass"},
    });
}

TEST(OriginValidator, LocalhostListsTheLoopbackPatternsInOrder) {
    const auto validator = OriginValidator::localhost(8080);
    EXPECT_EQ(validator.allowedHosts(), (std::vector<std::string>{"127.0.0.1:8080", "localhost:8080", "[::1]:8080"}));
    EXPECT_EQ(validator.allowedOrigins(),
              (std::vector<std::string>{"http://127.0.0.1:8080", "http://localhost:8080", "http://[::1]:8080"}));
    EXPECT_EQ(OriginValidator::localhost().allowedHosts().front(), "127.0.0.1:*");
}

}  // namespace
}  // namespace mcp
