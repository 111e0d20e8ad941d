#include "mcp/oauth/client/oauth_authorizer.hpp"

#include "mcp/oauth/client/metadata_discovery.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/pkce.hpp"
#include "tests/mcp/oauth/client/fake_authorization_server.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using Clock = std::chrono::system_clock;
using testing::FakeAuthorizationServer;

class OAuthAuthorizerTest : public testing::OAuthNetworkTest {
protected:
    std::shared_ptr<OAuthAuthorizer> makeAuthorizer(OAuthConfiguration configuration) {
        configuration.setAllowLoopbackHTTPAuthorizationServerEndpoints(true);
        return std::make_shared<OAuthAuthorizer>(std::move(configuration), storage,
                                                 std::make_shared<DefaultOAuthScopeSelector>(),
                                                 std::make_shared<DefaultOAuthWWWAuthenticateParser>(),
                                                 std::make_shared<DefaultOAuthMetadataDiscovery>());
    }

    static OAuthConfiguration codeGrant() {
        return OAuthConfiguration(OAuthConfiguration::GrantType::authorizationCode, Authentication::none(""));
    }

    OAuthAccessToken storedToken(std::string value, std::chrono::seconds expiresIn, std::string resource) {
        OAuthAccessToken token;
        token.value = std::move(value);
        token.tokenType = "Bearer";
        token.expiresAt = Clock::now() + expiresIn;
        token.resource = boost::urls::url(resource);
        return token;
    }

    // A valid token for the fake server's resource that can be refreshed with `refreshToken`.
    void storeRefreshableToken(std::string refreshToken) {
        auto token = storedToken("old", std::chrono::seconds(3600), as.base() + "/mcp");
        token.refreshToken = std::move(refreshToken);
        storage->save(token);
    }

    bool challenge(OAuthAuthorizer& authorizer, int status, net::HeaderMap headers, std::optional<std::string> operation,
                   net::HttpClient& session) {
        return await(authorizer.handleChallenge(status, headers, as.endpoint(), std::move(operation), session));
    }

    static net::HeaderMap bearer(std::string parameters) {
        return net::HeaderMap{{"WWW-Authenticate", "Bearer " + parameters}};
    }

    std::shared_ptr<InMemoryTokenStorage> storage = std::make_shared<InMemoryTokenStorage>();
    FakeAuthorizationServer as;
};

TEST_F(OAuthAuthorizerTest, AuthorizesWithTheCodeFlowAfterA401) {
    auto authorizer = makeAuthorizer(codeGrant());
    auto session = makeClient();
    EXPECT_FALSE(authorizer->authorizationHeader(as.endpoint()));

    EXPECT_TRUE(challenge(*authorizer, 401,
                          bearer(R"(resource_metadata=")" + as.base() + R"(/.well-known/oauth-protected-resource/mcp")"),
                          "tools/call", *session));
    EXPECT_EQ(authorizer->authorizationHeader(as.endpoint()), "Bearer at-1");
    EXPECT_EQ(as.targets(), (std::vector<std::string>{"/.well-known/oauth-protected-resource/mcp",
                                                      "/.well-known/oauth-authorization-server", "/register",
                                                      "/authorize", "/token"}));
    const auto grant = as.tokenRequests().at(0);
    EXPECT_EQ(grant.at("grant_type"), "authorization_code");
    EXPECT_EQ(grant.at("code"), "code-1");
    EXPECT_EQ(grant.at("client_id"), "registered-1");
    EXPECT_EQ(grant.at("resource"), as.base() + "/mcp");
    EXPECT_EQ(grant.at("scope"), "read");
    EXPECT_EQ(PKCE::makeChallenge(grant.at("code_verifier")), as.codeChallenge());

    const auto token = storage->load();
    ASSERT_TRUE(token);
    EXPECT_EQ(token->refreshToken, "rt-1");
    EXPECT_EQ(token->clientID, "registered-1");
    EXPECT_EQ(token->scopes, std::set<std::string>{"read"});
    EXPECT_EQ(token->authorizationServer, boost::urls::url(as.base()));
}

// A server that registers the client for a secret method demands it at its token endpoint.
TEST_F(OAuthAuthorizerTest, AuthenticatesAtTheTokenEndpointAsTheServerRegisteredIt) {
    const struct {
        std::string_view name;
        std::string method;
        std::string authorization;  // the token request's header, "" for none
        std::optional<std::string> postedSecret;
    } cases[] = {
        {"client_secret_basic", "client_secret_basic", "Basic cmVnaXN0ZXJlZC0xOnMz", std::nullopt},
        {"client_secret_post", "client_secret_post", "", "s3"},
        {"none", "none", "", std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        storage->clear();
        FakeAuthorizationServer server;
        server.setRegistrationReply(R"({"client_id":"registered-1","client_secret":"s3",)"
                                    R"("token_endpoint_auth_method":")" + row.method + R"("})");
        auto authorizer = makeAuthorizer(codeGrant());
        auto session = makeClient();
        EXPECT_TRUE(await(authorizer->handleChallenge(401, {}, server.endpoint(), "tools/list", *session)));
        ASSERT_EQ(server.tokenAuthorizations(), std::vector<std::string>{row.authorization});
        const auto grant = server.tokenRequests().at(0);
        EXPECT_EQ(grant.contains("client_id"), row.method != "client_secret_basic");
        EXPECT_EQ(grant.contains("client_secret") ? std::optional(grant.at("client_secret")) : std::nullopt,
                  row.postedSecret);
    }
}

TEST_F(OAuthAuthorizerTest, GetsATokenWithClientCredentials) {
    auto authorizer = makeAuthorizer(
        OAuthConfiguration(OAuthConfiguration::GrantType::clientCredentials, Authentication::clientSecretBasic("c1", "s1")));
    auto session = makeClient();
    EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
    EXPECT_EQ(authorizer->authorizationHeader(as.endpoint()), "Bearer at-1");
    const auto grant = as.tokenRequests().at(0);
    EXPECT_EQ(grant.at("grant_type"), "client_credentials");
    EXPECT_FALSE(grant.contains("client_id"));
    const auto targets = as.targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/register"), 0);
}

TEST_F(OAuthAuthorizerTest, SendsOnlyTokensValidForHalfAMinuteToTheirOwnResource) {
    auto authorizer = makeAuthorizer(codeGrant());
    const struct {
        std::string_view name;
        std::chrono::seconds expiresIn;
        std::string resource;
        bool sent;
    } cases[] = {
        {"expires in 40 s", std::chrono::seconds(40), as.base() + "/mcp", true},
        {"expires in 20 s", std::chrono::seconds(20), as.base() + "/mcp", false},
        {"resource covering the endpoint", std::chrono::seconds(3600), as.base(), true},
        {"another resource on the same server", std::chrono::seconds(3600), as.base() + "/other", false},
        {"another server", std::chrono::seconds(3600), "https://api.example.com/mcp", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        storage->save(storedToken("t", row.expiresIn, row.resource));
        EXPECT_EQ(authorizer->authorizationHeader(as.endpoint()).has_value(), row.sent);
    }
    auto unbound = storedToken("t", std::chrono::seconds(3600), as.base());
    unbound.resource.reset();
    storage->save(unbound);
    EXPECT_FALSE(authorizer->authorizationHeader(as.endpoint()));
}

// Lifetimes past the clock's range once overflowed the time arithmetic, and the fresh token
// counted as expired at once. Such a lifetime is the longest the clock holds; a stored token
// still reads back.
TEST_F(OAuthAuthorizerTest, LifetimesPastTheClocksRangeSaturate) {
    const struct {
        std::string_view name;
        std::string expiresIn;
        std::string secretExpiresAt;
        bool sent;
    } cases[] = {
        {"far future", "9999999999", "9999999999", true},
        {"largest counts", "9223372036854775807", "9223372036854775807", true},
        {"far past", "-9999999999", "1", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        storage->clear();
        FakeAuthorizationServer server;
        server.setTokenLifetime(row.expiresIn);
        server.setRegistrationReply(R"({"client_id":"registered-1","client_secret":"s3","client_secret_expires_at":)" +
                                    row.secretExpiresAt + R"(,"token_endpoint_auth_method":"client_secret_post"})");
        auto authorizer = makeAuthorizer(codeGrant());
        auto session = makeClient();
        EXPECT_TRUE(await(authorizer->handleChallenge(401, {}, server.endpoint(), "tools/list", *session)));
        EXPECT_EQ(authorizer->authorizationHeader(server.endpoint()).has_value(), row.sent);
        const auto token = storage->load();
        ASSERT_TRUE(token && token->expiresAt);
        EXPECT_EQ(*token->expiresAt > Clock::now() + std::chrono::hours(24 * 365 * 100), row.sent);
        const auto reread = Codec<OAuthAccessToken>::decode(Codec<OAuthAccessToken>::encode(*token), {});
        ASSERT_TRUE(reread.expiresAt);
        EXPECT_LE(std::chrono::abs(*reread.expiresAt - *token->expiresAt), std::chrono::microseconds(1));
    }
}

TEST_F(OAuthAuthorizerTest, RefreshesAndKeepsTheRefreshTokenTheServerDidNotReplace) {
    auto authorizer = makeAuthorizer(codeGrant());
    auto session = makeClient();
    storeRefreshableToken("rt-0");

    EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
    ASSERT_EQ(as.tokenRequests().size(), 1u);
    EXPECT_EQ(as.tokenRequests().at(0).at("grant_type"), "refresh_token");
    EXPECT_EQ(as.tokenRequests().at(0).at("refresh_token"), "rt-0");
    EXPECT_EQ(storage->load()->value, "at-1");
    EXPECT_EQ(storage->load()->refreshToken, "rt-0");
}

TEST_F(OAuthAuthorizerTest, AuthorizesAnewInTheSameChallengeWhenTheRefreshIsRefused) {
    auto authorizer = makeAuthorizer(codeGrant());
    auto session = makeClient();
    storeRefreshableToken("revoked");
    as.refuseRefresh(400);

    EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
    ASSERT_EQ(as.tokenRequests().size(), 2u);
    EXPECT_EQ(as.tokenRequests().at(1).at("grant_type"), "authorization_code");
    EXPECT_EQ(storage->load()->value, "at-2");

    as.refuseRefresh(500);
    EXPECT_THROW(challenge(*authorizer, 401, {}, std::nullopt, *session), OAuthAuthorizationError);
}

TEST_F(OAuthAuthorizerTest, RefreshesATokenAheadOfItsExpiryOnceTheServerIsKnown) {
    const auto withWindow = [](double window) {
        return OAuthConfiguration(OAuthConfiguration::GrantType::authorizationCode, Authentication::none(""), {}, {},
                                  std::nullopt, "Test", {}, nullptr, nullptr, window);
    };
    auto session = makeClient();
    for (const double window : {0.0, 300.0}) {
        SCOPED_TRACE(window);
        auto authorizer = makeAuthorizer(withWindow(window));
        const auto endpoint = as.endpoint();
        storeRefreshableToken("rt-near");
        auto nearExpiry = *storage->load();
        nearExpiry.expiresAt = Clock::now() + std::chrono::seconds(100);
        storage->save(nearExpiry);

        // Nothing is known of the server yet: no discovery is made for a refresh ahead of time.
        await(testing::finished(authorizer->prepareAuthorization(endpoint, *session)));
        EXPECT_EQ(storage->load()->value, "old");

        // Once a challenge has taught it the server, the refresh goes ahead, with a window.
        const auto requestsBefore = as.tokenRequests().size();
        EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
        storage->save(nearExpiry);
        await(testing::finished(authorizer->prepareAuthorization(endpoint, *session)));
        if (window > 0) {
            ASSERT_EQ(as.tokenRequests().size(), requestsBefore + 2);
            EXPECT_EQ(as.tokenRequests().back().at("refresh_token"), "rt-near");
            EXPECT_NE(storage->load()->value, "old");
        } else {
            EXPECT_EQ(as.tokenRequests().size(), requestsBefore + 1);
            EXPECT_EQ(storage->load()->value, "old");
        }
    }
}

// A storage shared with the client of another server may hold that server's token: its refresh
// token must not go to this server's authorization server, ahead of time or on a 401.
TEST_F(OAuthAuthorizerTest, NeverRefreshesATokenOfAnotherResource) {
    auto authorizer = makeAuthorizer(OAuthConfiguration(OAuthConfiguration::GrantType::authorizationCode,
                                                        Authentication::none(""), {}, {}, std::nullopt, "Test", {},
                                                        nullptr, nullptr, 300));
    auto session = makeClient();
    EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
    auto foreign = storedToken("foreign", std::chrono::seconds(100), "http://127.0.0.1:1/mcp");
    foreign.refreshToken = "rt-foreign";
    storage->save(foreign);

    await(testing::finished(authorizer->prepareAuthorization(as.endpoint(), *session)));
    EXPECT_EQ(as.tokenRequests().size(), 1u);
    EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
    ASSERT_EQ(as.tokenRequests().size(), 2u);
    EXPECT_EQ(as.tokenRequests().back().at("grant_type"), "authorization_code");
}

TEST_F(OAuthAuthorizerTest, StepsUpScopesUntilTheLimit) {
    auto authorizer = makeAuthorizer(codeGrant());
    auto session = makeClient();
    const auto insufficient = bearer(R"(error="INSUFFICIENT_SCOPE", scope="write")");

    EXPECT_TRUE(challenge(*authorizer, 403, insufficient, " tools/call ", *session));
    EXPECT_EQ(as.tokenRequests().back().at("scope"), "write");
    // The token now holds "write": the merged set stays the same, so this is the same key.
    EXPECT_TRUE(challenge(*authorizer, 403, insufficient, "tools/call", *session));
    EXPECT_FALSE(challenge(*authorizer, 403, insufficient, "tools/call", *session));
    // Another operation counts on its own; an absent and a blank key share "<unknown>".
    EXPECT_TRUE(challenge(*authorizer, 403, insufficient, std::nullopt, *session));
    EXPECT_TRUE(challenge(*authorizer, 403, insufficient, "  ", *session));
    EXPECT_FALSE(challenge(*authorizer, 403, insufficient, std::nullopt, *session));

    EXPECT_FALSE(challenge(*authorizer, 403, bearer(R"(error="invalid_token")"), "tools/call", *session));
    EXPECT_FALSE(challenge(*authorizer, 403, {}, "tools/call", *session));
    EXPECT_FALSE(challenge(*authorizer, 500, {}, "tools/call", *session));
}

TEST_F(OAuthAuthorizerTest, ConcurrentChallengesShareOneAuthorization) {
    auto authorizer = makeAuthorizer(codeGrant());
    auto session = makeClient();
    // The coroutines hold the headers and the endpoint by reference.
    const net::HeaderMap headers;
    const auto endpoint = as.endpoint();
    auto first = start(authorizer->handleChallenge(401, headers, endpoint, "tools/list", *session));
    auto second = start(authorizer->handleChallenge(401, headers, endpoint, "tools/call", *session));
    runUntil([&] { return first->done && second->done; });
    ASSERT_FALSE(first->error);
    ASSERT_FALSE(second->error);
    EXPECT_TRUE(*first->value);
    EXPECT_TRUE(*second->value);
    EXPECT_EQ(as.tokenRequests().size(), 1u);
}

TEST_F(OAuthAuthorizerTest, StoresAProvidedTokenWithoutAnyGrant) {
    std::optional<OAuthConfiguration::AccessTokenProviderContext> seen;
    OAuthConfiguration configuration(
        OAuthConfiguration::GrantType::authorizationCode, Authentication::none("c1"), {}, {}, std::nullopt, "Test", {},
        [&](const OAuthConfiguration::AccessTokenProviderContext& context,
            net::HttpClient&) -> boost::asio::awaitable<std::optional<std::string>> {
            seen = context;
            co_return "provided";
        });
    auto authorizer = makeAuthorizer(std::move(configuration));
    auto session = makeClient();
    EXPECT_TRUE(challenge(*authorizer, 401, bearer(R"(scope="read")"), std::nullopt, *session));
    EXPECT_EQ(authorizer->authorizationHeader(as.endpoint()), "Bearer provided");
    EXPECT_TRUE(as.tokenRequests().empty());
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->statusCode, 401);
    EXPECT_EQ(seen->challengedScope, "read");
    EXPECT_EQ(seen->tokenEndpoint, boost::urls::url(as.base() + "/token"));
}

TEST(OAuthAuthorizerRules, NormalizesAuthorizationServersAndLabelsOperations) {
    EXPECT_TRUE(OAuthAuthorizer::authorizationServerMatches(boost::urls::url("HTTPS://AS.Example.com/"),
                                                            boost::urls::url("https://as.example.com?x#y")));
    EXPECT_FALSE(OAuthAuthorizer::authorizationServerMatches(boost::urls::url("https://as.example.com"),
                                                             boost::urls::url("https://other.example.com")));
    EXPECT_FALSE(OAuthAuthorizer::normalizeAuthorizationServerURL(boost::urls::url("ftp://as.example.com")));
    EXPECT_EQ(OAuthAuthorizer::operationKeyLabel(" tools/call\n"), "tools/call");
    EXPECT_EQ(OAuthAuthorizer::operationKeyLabel(std::nullopt), "<unknown>");
    EXPECT_EQ(OAuthAuthorizer::operationKeyLabel(" \t"), "<unknown>");
}

}  // namespace
}  // namespace mcp
