#include "mcp/oauth/bearer_token_validator.hpp"

#include "mcp/oauth/client/metadata_discovery.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace mcp {
namespace {

using std::chrono::seconds;
using std::chrono::system_clock;
using Result = BearerTokenValidationResult;
using Scopes = std::set<std::string>;

const system_clock::time_point kNow{seconds(1'750'000'000)};
constexpr std::string_view kResource = "https://api.example.com/mcp";
constexpr std::string_view kMetadataChallenge =
    R"(Bearer resource_metadata="https://api.example.com/.well-known/oauth-protected-resource/mcp")";

// Matches only audiences spelled exactly as the resource identifier, and records what it was
// asked.
class ExactDiscovery final : public DefaultOAuthMetadataDiscovery {
public:
    bool protectedResourceMatches(boost::urls::url_view resource, boost::urls::url_view endpoint) const noexcept override {
        asked.emplace_back(resource.buffer());
        return resource.buffer() == endpoint.buffer();
    }
    mutable std::vector<std::string> asked;
};

// A validator whose token check answers `result` and records the tokens it gets.
struct Harness {
    Result result = Result::valid({});
    std::optional<Scopes> providerScopes;
    bool withProvider = false;
    bool requiresAuthentication = true;
    std::vector<std::string> tokens;
    std::shared_ptr<ExactDiscovery> discovery = std::make_shared<ExactDiscovery>();

    BearerTokenValidator validator() {
        BearerTokenValidator::ChallengeScopeProvider provider;
        if (withProvider) provider = [this](const HTTPRequest&, const HTTPValidationContext&) { return providerScopes; };
        return BearerTokenValidator(
            boost::urls::url("https://api.example.com/.well-known/oauth-protected-resource/mcp"),
            boost::urls::url(kResource),
            [this](std::string_view token, const HTTPRequest&, const HTTPValidationContext&) {
                tokens.emplace_back(token);
                return result;
            },
            std::move(provider),
            [this](const HTTPRequest&, const HTTPValidationContext&) { return requiresAuthentication; }, discovery,
            [] { return kNow; });
    }

    std::optional<HTTPResponse> validate(std::optional<std::string> authorization, std::optional<std::string> session = {}) {
        HTTPRequest request{.method = "POST", .headers = {}, .body = "{}", .path = "/mcp"};
        if (authorization) request.headers.emplace_back("authorization", *authorization);
        return validator().validate(request, HTTPValidationContext{.httpMethod = "POST", .sessionID = std::move(session)});
    }
};

// Checks a refusal: its status, its text, the session it echoes and its one optional header.
void expectRefusal(const std::optional<HTTPResponse>& response, int status, std::string_view text,
                   std::optional<std::string_view> challenge, std::optional<std::string> session = {}) {
    ASSERT_TRUE(response) << "the request passed";
    const auto* error = std::get_if<HTTPResponse::Error>(&response->value());
    ASSERT_NE(error, nullptr) << "not an error response";
    EXPECT_EQ(error->statusCode, status);
    EXPECT_EQ(error->error, MCPError::invalidRequest(std::string(text)));
    EXPECT_EQ(error->sessionID, session);
    HTTPHeaders expectedHeaders;
    if (challenge) expectedHeaders.emplace_back("WWW-Authenticate", *challenge);
    EXPECT_EQ(error->extraHeaders, expectedHeaders);
}

TEST(BearerTokenValidator, ReadsTheTokenFromTheAuthorizationHeader) {
    const struct {
        std::string_view name;
        std::string_view header;
        std::optional<std::string_view> token;  // absent: refused with 400 and `problem`
        std::string_view problem;
    } cases[] = {
        {"canonical", "Bearer abc123", "abc123", ""},
        {"lower-case scheme", "bearer abc123", "abc123", ""},
        {"upper-case scheme", "BEARER abc123", "abc123", ""},
        {"mixed-case scheme", "bEaReR abc123", "abc123", ""},
        {"two blanks before the token", "Bearer  abc123", "abc123", ""},
        {"tab and blanks around", " \tBearer \t abc123 \r\n", "abc123", ""},
        {"unicode blank after the scheme", "Bearer\u2003abc123", "abc123", ""},
        {"token with symbols", "Bearer a.b-c_d~e+f/g=", "a.b-c_d~e+f/g=", ""},
        {"blank inside the token", "Bearer abc 123", std::nullopt, "Bearer token must not contain whitespace"},
        {"line break inside the token", "Bearer abc\n123", std::nullopt, "Bearer token must not contain whitespace"},
        {"no-break space inside the token", "Bearer abc\u00A0123", std::nullopt,
         "Bearer token must not contain whitespace"},
        {"missing token", "Bearer", std::nullopt, "Authorization header must be in the form: Bearer <token>"},
        {"missing token with blanks", "Bearer   ", std::nullopt,
         "Authorization header must be in the form: Bearer <token>"},
        {"another scheme", "Basic dXNlcjpwYXNz", std::nullopt, "Authorization scheme must be Bearer"},
        {"scheme with a suffix", "Bearerx abc", std::nullopt, "Authorization scheme must be Bearer"},
        {"empty header", "", std::nullopt, "Authorization header is empty"},
        {"only blanks", "   ", std::nullopt, "Authorization header is empty"},
        {"only line breaks", "\r\n\t", std::nullopt, "Authorization header is empty"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Harness harness;
        const auto response = harness.validate(std::string(row.header));
        if (row.token) {
            EXPECT_FALSE(response);
            EXPECT_EQ(harness.tokens, std::vector<std::string>{std::string(*row.token)});
        } else {
            expectRefusal(response, 400, "Bad Request: " + std::string(row.problem), std::nullopt);
            EXPECT_TRUE(harness.tokens.empty()) << "the token check ran";
        }
    }
}

TEST(BearerTokenValidator, MissingHeaderGetsAChallengeNamingTheProvidersScopes) {
    const struct {
        std::string_view name;
        bool withProvider;
        std::optional<Scopes> scopes;
        std::string challenge;
    } cases[] = {
        {"no provider", false, std::nullopt, std::string(kMetadataChallenge)},
        {"provider without scopes", true, std::nullopt, std::string(kMetadataChallenge)},
        {"provider with an empty set", true, Scopes{}, std::string(kMetadataChallenge)},
        {"scopes sorted", true, Scopes{"write", "read", "admin"},
         std::string(kMetadataChallenge) + R"(, scope="admin read write")"},
        {"quote in a scope escaped", true, Scopes{"b", "a\"x"}, std::string(kMetadataChallenge) + R"(, scope="a\"x b")"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Harness harness;
        harness.withProvider = row.withProvider;
        harness.providerScopes = row.scopes;
        expectRefusal(harness.validate(std::nullopt, "session-1"), 401, "Unauthorized", row.challenge, "session-1");
        EXPECT_TRUE(harness.tokens.empty());
    }
}

TEST(BearerTokenValidator, MissingHeaderRendersAsTheProtocolExpects) {
    Harness harness;
    const auto response = harness.validate(std::nullopt);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusCode(), 401);
    EXPECT_EQ(response->headers(), (HTTPHeaders{{"Content-Type", "application/json"},
                                                {"WWW-Authenticate", std::string(kMetadataChallenge)}}));
    EXPECT_EQ(response->bodyData(),
              R"({"error":{"code":-32600,"message":"Invalid Request: Unauthorized"},"id":null,"jsonrpc":"2.0"})");
}

TEST(BearerTokenValidator, AnswersWhatTheTokenCheckDecides) {
    const auto challenge = [](std::string_view rest) { return std::string(kMetadataChallenge) + std::string(rest); };
    const struct {
        std::string_view name;
        Result result;
        int status;
        std::string_view text;
        std::optional<std::string> challenge;
    } cases[] = {
        {"insufficient scope names the required scopes", Result::insufficientScope({"write", "admin"}, "Needs write"),
         403, "Forbidden: Insufficient scope",
         challenge(R"(, scope="admin write", error="insufficient_scope", error_description="Needs write")")},
        {"insufficient scope without description", Result::insufficientScope({}), 403,
         "Forbidden: Insufficient scope", challenge(R"(, error="insufficient_scope")")},
        {"invalid token with the provider's scopes", Result::invalidToken("Token \"x\" was revoked"), 401,
         "Unauthorized", challenge(R"(, scope="read", error="invalid_token", error_description="Token \"x\" was revoked")")},
        {"invalid token without description", Result::invalidToken(), 401, "Unauthorized",
         challenge(R"(, scope="read", error="invalid_token")")},
        {"malformed request with description", Result::malformedRequest("Token is not a JWT"), 400,
         "Bad Request: Token is not a JWT", std::nullopt},
        {"malformed request without description", Result::malformedRequest(), 400,
         "Bad Request: Malformed authorization request", std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Harness harness;
        harness.result = row.result;
        harness.withProvider = true;
        harness.providerScopes = Scopes{"read"};
        expectRefusal(harness.validate("Bearer tok"), row.status, row.text, row.challenge);
    }
}

TEST(BearerTokenValidator, RefusesExpiredTokensAndForeignAudiences) {
    const auto invalid = [](std::string_view description) {
        return std::string(kMetadataChallenge) + R"(, error="invalid_token", error_description=")" +
               std::string(description) + "\"";
    };
    using Audience = std::optional<std::vector<std::string>>;
    const struct {
        std::string_view name;
        BearerTokenInfo info;
        std::optional<std::string> refusal;  // the challenge; absent when the token passes
    } cases[] = {
        {"no expiry, no audience", {}, std::nullopt},
        {"expires in a second", {.expiresAt = kNow + seconds(1)}, std::nullopt},
        {"expires now", {.expiresAt = kNow}, invalid("Token has expired")},
        {"expired a second ago", {.expiresAt = kNow - seconds(1)}, invalid("Token has expired")},
        {"expired and foreign", {.audience = Audience{{"https://other.example.com"}}, .expiresAt = kNow},
         invalid("Token has expired")},
        {"audience is this resource", {.audience = Audience{{std::string(kResource)}}}, std::nullopt},
        {"this resource after others and a non-URL",
         {.audience = Audience{{"https://other.example.com", "not a url", "", std::string(kResource)}}}, std::nullopt},
        {"empty audience", {.audience = Audience{std::vector<std::string>{}}}, invalid("Token audience mismatch")},
        {"only other resources", {.audience = Audience{{"https://other.example.com", "api"}}},
         invalid("Token audience mismatch")},
        {"scopes are not examined", {.scopes = Scopes{}}, std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Harness harness;
        harness.result = Result::valid(row.info);
        const auto response = harness.validate("Bearer tok");
        if (row.refusal) {
            expectRefusal(response, 401, "Unauthorized", *row.refusal);
        } else {
            EXPECT_FALSE(response);
        }
    }
}

TEST(BearerTokenValidator, ChecksAudiencesInOrderUntilOneMatches) {
    Harness harness;
    harness.result = Result::valid({.audience = std::vector<std::string>{"https://a.example.com", "not a url",
                                                                          std::string(kResource), "https://b.example.com"}});
    EXPECT_FALSE(harness.validate("Bearer tok"));
    EXPECT_EQ(harness.discovery->asked, (std::vector<std::string>{"https://a.example.com", std::string(kResource)}));
}

TEST(BearerTokenValidator, RequestsThatNeedNoAuthenticationPassUnchecked) {
    Harness harness;
    harness.requiresAuthentication = false;
    harness.result = Result::invalidToken();
    EXPECT_FALSE(harness.validate(std::nullopt));
    EXPECT_FALSE(harness.validate("Basic x"));
    EXPECT_TRUE(harness.tokens.empty());
}

TEST(BearerTokenValidator, RefusesToBeBuiltWithoutItsFunctions) {
    const auto build = [](BearerTokenValidator::TokenValidator check, BearerTokenValidator::RequiresAuthentication rule,
                          std::shared_ptr<const OAuthMetadataDiscovering> discovery) {
        return BearerTokenValidator(boost::urls::url("https://r/m"), boost::urls::url("https://r"), std::move(check),
                                    nullptr, std::move(rule), std::move(discovery));
    };
    const auto check = [](std::string_view, const HTTPRequest&, const HTTPValidationContext&) {
        return Result::invalidToken();
    };
    const auto rule = [](const HTTPRequest&, const HTTPValidationContext&) { return true; };
    const auto discovery = std::make_shared<ExactDiscovery>();
    EXPECT_THROW(build(nullptr, rule, discovery), std::invalid_argument);
    EXPECT_THROW(build(check, nullptr, discovery), std::invalid_argument);
    EXPECT_THROW(build(check, rule, nullptr), std::invalid_argument);
    EXPECT_NO_THROW(build(check, rule, discovery));
}

}  // namespace
}  // namespace mcp
