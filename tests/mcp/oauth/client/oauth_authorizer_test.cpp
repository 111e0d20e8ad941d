#include "mcp/oauth/client/oauth_authorizer.hpp"

#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/pkce.hpp"
#include "tests/mcp/oauth/client/fake_authorization_server.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using Kind = OAuthAuthorizationError::Kind;
using Clock = std::chrono::system_clock;
using testing::FakeAuthorizationServer;

class OAuthAuthorizerTest : public testing::OAuthNetworkTest {
protected:
    std::shared_ptr<OAuthAuthorizer> makeAuthorizer(OAuthConfiguration configuration) {
        configuration.setAllowLoopbackHTTPAuthorizationServerEndpoints(true);
        return std::make_shared<OAuthAuthorizer>(std::move(configuration), storage);
    }

    static OAuthConfiguration codeGrant() {
        return OAuthConfiguration(OAuthConfiguration::GrantType::authorizationCode, Authentication::none(""));
    }

    // A confidential client: no registration, no authorization request, one token request.
    static OAuthConfiguration clientCredentials(OAuthConfiguration::EndpointOverrides overrides = {}) {
        return OAuthConfiguration({.grantType = OAuthConfiguration::GrantType::clientCredentials,
                                   .authentication = Authentication::clientSecretBasic("c1", "s1"),
                                   .endpointOverrides = std::move(overrides)});
    }

    // A code-grant configuration whose access-token provider answers `answer` and keeps what it
    // was told in `seen`.
    static OAuthConfiguration providing(std::optional<std::string> answer,
                                        std::optional<OAuthConfiguration::AccessTokenProviderContext>& seen) {
        return OAuthConfiguration(
            {.authentication = Authentication::none("c1"),
             .clientName = "Test",
             .accessTokenProvider = [answer, &seen](const OAuthConfiguration::AccessTokenProviderContext& context,
                                                    net::HTTPClient&) -> boost::asio::awaitable<std::optional<std::string>> {
                 seen = context;
                 co_return answer;
             }});
    }

    // The authorization server metadata of the fake server with `tokenEndpoint`, or none.
    std::string serverDocument(std::optional<std::string> tokenEndpoint) const {
        std::string document = R"({"issuer":")" + as.base() + "\"";
        if (tokenEndpoint) document += R"(,"token_endpoint":")" + *tokenEndpoint + "\"";
        return document + "}";
    }

    // The targets the fake server saw after the first `count`.
    std::vector<std::string> targetsAfter(std::size_t count) const {
        const auto targets = as.targets();
        return std::vector<std::string>(targets.begin() + static_cast<std::ptrdiff_t>(count), targets.end());
    }

    // The OAuth error that a 401 challenge fails with.
    std::optional<OAuthAuthorizationError> challengeFailure(OAuthAuthorizer& authorizer, net::HTTPClient& session) {
        try {
            challenge(authorizer, 401, {}, std::nullopt, session);
        } catch (const OAuthAuthorizationError& error) {
            return error;
        }
        ADD_FAILURE() << "the challenge did not fail with an OAuth error";
        return std::nullopt;
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
                   net::HTTPClient& session) {
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
    // RFC 7636 allows 43 to 128 characters.
    EXPECT_GE(grant.at("code_verifier").size(), 43u);
    EXPECT_LE(grant.at("code_verifier").size(), 128u);

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
        return OAuthConfiguration({.clientName = "Test", .proactiveRefreshWindowSeconds = window});
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
    auto authorizer = makeAuthorizer(OAuthConfiguration({.clientName = "Test", .proactiveRefreshWindowSeconds = 300}));
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
    const struct {
        std::string_view name;
        std::optional<std::string> answer;
        std::string header;
        std::size_t tokenRequests;
    } cases[] = {
        {"a token", "provided", "Bearer provided", 0},
        {"an empty string", "", "Bearer at-1", 1},
        {"nothing", std::nullopt, "Bearer at-1", 1},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        storage->clear();
        FakeAuthorizationServer server;
        std::optional<OAuthConfiguration::AccessTokenProviderContext> seen;
        auto authorizer = makeAuthorizer(providing(row.answer, seen));
        auto session = makeClient();
        EXPECT_TRUE(await(authorizer->handleChallenge(401, bearer(R"(scope="read")"), server.endpoint(), std::nullopt,
                                                      *session)));
        EXPECT_EQ(authorizer->authorizationHeader(server.endpoint()), row.header);
        EXPECT_EQ(server.tokenRequests().size(), row.tokenRequests);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->statusCode, 401);
        EXPECT_EQ(seen->challengedScope, "read");
        EXPECT_EQ(seen->tokenEndpoint, boost::urls::url(server.base() + "/token"));
    }
}

// A token endpoint that can't be resolved leaves nothing to refresh at: the challenge is
// answered by a full authorization, here by the provider.
TEST_F(OAuthAuthorizerTest, ARefreshWithoutATokenEndpointAuthorizesAnew) {
    as.setDocument("/.well-known/oauth-authorization-server", serverDocument(std::nullopt));
    std::optional<OAuthConfiguration::AccessTokenProviderContext> seen;
    auto authorizer = makeAuthorizer(providing("provided", seen));
    auto session = makeClient();
    storeRefreshableToken("rt-0");

    EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
    EXPECT_EQ(authorizer->authorizationHeader(as.endpoint()), "Bearer provided");
    EXPECT_TRUE(as.tokenRequests().empty());
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->tokenEndpoint, std::nullopt);
}

TEST_F(OAuthAuthorizerTest, ReusesTheDiscoveredMetadataUntilAChallengeNamesOther) {
    const std::string base = as.base();
    as.setDocument("/other-metadata",
                   R"({"resource":")" + base + R"(/mcp","authorization_servers":[")" + base + R"(/as2"]})");
    as.setDocument("/.well-known/oauth-authorization-server/as2",
                   R"({"issuer":")" + base + R"(/as2","token_endpoint":")" + base + R"(/as2/token"})");
    auto authorizer = makeAuthorizer(clientCredentials());
    auto session = makeClient();
    const auto first = bearer(R"(resource_metadata=")" + base + R"(/.well-known/oauth-protected-resource/mcp")");
    const auto other = bearer(R"(resource_metadata=")" + base + R"(/other-metadata")");
    const struct {
        std::string_view name;
        net::HeaderMap headers;
        std::vector<std::string> targets;
        std::string authorizationServer;
    } steps[] = {
        {"the first challenge discovers", first,
         {"/.well-known/oauth-protected-resource/mcp", "/.well-known/oauth-authorization-server", "/token"}, base},
        {"a challenge naming no metadata", {}, {"/token"}, base},
        {"a challenge naming the same metadata", first, {"/token"}, base},
        // Metadata, server metadata and the selected server all go: as2 is found anew.
        {"a challenge naming other metadata", other,
         {"/other-metadata", "/.well-known/oauth-authorization-server/as2", "/as2/token"}, base + "/as2"},
        {"a challenge naming the other metadata again", other, {"/as2/token"}, base + "/as2"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        storage->clear();
        const auto before = as.targets().size();
        EXPECT_TRUE(challenge(*authorizer, 401, step.headers, std::nullopt, *session));
        EXPECT_EQ(targetsAfter(before), step.targets);
        EXPECT_EQ(storage->load()->authorizationServer, boost::urls::url(step.authorizationServer));
    }
}

TEST_F(OAuthAuthorizerTest, UsesOnlyMetadataThatFitsTheEndpoint) {
    const std::string servers = R"("authorization_servers":[")" + as.base() + R"("])";
    const auto resource = [&](std::string_view value) {
        return R"({"resource":)" + std::string(value) + "," + servers + "}";
    };
    const auto server = serverDocument(as.base() + "/token");
    const struct {
        std::string_view name;
        std::string resourceDocument, serverDocument;
        std::optional<Kind> refusal;
        std::string description;
    } cases[] = {
        {"no resource", "{" + servers + "}", server, std::nullopt, ""},
        {"a blank resource", resource(R"(" \n ")"), server, std::nullopt, ""},
        // Passed over for the endpoint's origin, which is the same server here.
        {"no authorization server", R"({"authorization_servers":[]})", server, std::nullopt, ""},
        {"a resource that is no URI", resource(R"(" not a uri ")"), server, Kind::invalidResourceURI,
         "Invalid resource URI: Protected resource metadata contains an invalid resource URI: not a uri"},
        {"another resource", resource(R"("https://api.example.com/mcp")"), server, Kind::protectedResourceMismatch,
         "Protected resource metadata resource mismatch. Expected " + as.base() + "/mcp, got https://api.example.com/mcp"},
        {"no token endpoint", "{" + servers + "}", serverDocument(std::nullopt), Kind::tokenEndpointMissing,
         "Authorization server metadata is missing token_endpoint"},
        {"a token endpoint on a private address", "{" + servers + "}", serverDocument("https://10.0.0.5/token"),
         Kind::privateIPAddressBlocked,
         "Token endpoint resolves to a private or reserved IP address which is blocked for SSRF protection: "
         "https://10.0.0.5/token"},
    };
    auto session = makeClient();
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        storage->clear();
        as.setDocument("/.well-known/oauth-protected-resource/mcp", row.resourceDocument);
        as.setDocument("/.well-known/oauth-authorization-server", row.serverDocument);
        auto authorizer = makeAuthorizer(clientCredentials());
        if (!row.refusal) {
            EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
            EXPECT_TRUE(authorizer->authorizationHeader(as.endpoint()));
            continue;
        }
        const auto failure = challengeFailure(*authorizer, *session);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind(), *row.refusal);
        EXPECT_EQ(failure->what(), row.description);
    }
}

TEST_F(OAuthAuthorizerTest, FollowsTheConfiguredEndpoints) {
    const std::string base = as.base();
    as.setDocument("/configured-metadata",
                   R"({"resource":")" + base + R"(/mcp","authorization_servers":[")" + base + R"("]})");
    as.setDocument("/.well-known/oauth-authorization-server/as2",
                   R"({"issuer":")" + base + R"(/as2","token_endpoint":")" + base + R"(/as2/token"})");
    auto session = makeClient();
    auto authorizer = makeAuthorizer(clientCredentials({
        .protectedResourceMetadataURL = boost::urls::url(base + "/configured-metadata"),
        .authorizationServerURL = boost::urls::url(base + "/as2"),
        .tokenEndpoint = boost::urls::url(base + "/configured/token"),
        .resource = boost::urls::url(base),
    }));
    EXPECT_TRUE(challenge(*authorizer, 401, {}, std::nullopt, *session));
    EXPECT_EQ(as.targets(), (std::vector<std::string>{"/configured-metadata", "/.well-known/oauth-authorization-server/as2",
                                                      "/configured/token"}));
    EXPECT_EQ(as.tokenRequests().at(0).at("resource"), base);

    storage->clear();
    auto mismatched = makeAuthorizer(clientCredentials({.resource = boost::urls::url(base + "/other")}));
    const auto failure = challengeFailure(*mismatched, *session);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), Kind::protectedResourceMismatch);
}

// A token endpoint the program configured is its own choice; one that metadata names must not
// lead into a private network.
TEST_F(OAuthAuthorizerTest, OnlyATokenEndpointFromMetadataIsRefusedOnAPrivateAddress) {
    constexpr std::string_view kPrivate = "https://10.0.0.5/token";
    auto session = makeClient();
    auto configured = makeAuthorizer(clientCredentials({.tokenEndpoint = boost::urls::url(kPrivate)}));
    try {
        challenge(*configured, 401, {}, std::nullopt, *session);
        ADD_FAILURE() << "a token was obtained";
    } catch (const OAuthAuthorizationError& error) {
        ADD_FAILURE() << error.what();
    } catch (const std::exception&) {
        // The test's connector refused the address, without a packet sent.
    }
    EXPECT_EQ(connector_->beyondLoopback, 1) << "the configured endpoint was asked";
    connector_->beyondLoopback = 0;

    as.setDocument("/.well-known/oauth-authorization-server", serverDocument(std::string(kPrivate)));
    auto fromMetadata = makeAuthorizer(clientCredentials());
    const auto failure = challengeFailure(*fromMetadata, *session);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), Kind::privateIPAddressBlocked);
}

// A registered secret that has expired makes the client a public one again, which registers
// anew at the next authorization.
TEST_F(OAuthAuthorizerTest, RegistersAgainOnceTheRegisteredSecretHasExpired) {
    const struct {
        std::string_view name;
        std::string expiresAt;
        bool registersAgain;
    } cases[] = {
        {"expired", "1", true},
        {"never expires", "0", false},
        {"expires in 2100", "4102444800", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        storage->clear();
        FakeAuthorizationServer server;
        server.setRegistrationReply(R"({"client_id":"registered-1","client_secret":"s3",)"
                                    R"("token_endpoint_auth_method":"client_secret_post","client_secret_expires_at":)" +
                                    row.expiresAt + "}");
        auto authorizer = makeAuthorizer(codeGrant());
        auto session = makeClient();
        EXPECT_TRUE(await(authorizer->handleChallenge(401, {}, server.endpoint(), std::nullopt, *session)));
        server.setRegistrationReply(R"({"client_id":"registered-2"})");
        storage->clear();
        EXPECT_TRUE(await(authorizer->handleChallenge(401, {}, server.endpoint(), std::nullopt, *session)));

        const auto targets = server.targets();
        EXPECT_EQ(std::count(targets.begin(), targets.end(), "/register"), row.registersAgain ? 2 : 1);
        const auto grant = server.tokenRequests().back();
        EXPECT_EQ(grant.at("client_id"), row.registersAgain ? "registered-2" : "registered-1");
        EXPECT_EQ(grant.contains("client_secret"), !row.registersAgain);
    }
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
