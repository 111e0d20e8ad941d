// The OAuth client against a real authorization server (tests/peers/oidc), which judges our
// client authentication with its own code: the Basic credentials, the posted secret and the
// ES256 client assertion.

#include "mcp/oauth/client/discovery_client.hpp"
#include "mcp/oauth/client/oauth_authorizer.hpp"
#include "mcp/oauth/client/metadata_discovery.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/token_endpoint_client.hpp"
#include "tests/mcp/oauth/client/authorization_server_peer.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"
#include "tests/support/required_peer.hpp"
#include "tests/support/temporary_folder.hpp"

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using Clock = std::chrono::system_clock;
using testing::AuthorizationServerPeer;

constexpr std::string_view kResource = "urn:vantor:test";

class RealAuthorizationServerTest : public testing::OAuthNetworkTest {
protected:
    void SetUp() override {
        test_support::requirePeer(AuthorizationServerPeer::installed(),
                                  "the authorization server's npm packages are not installed (make deps)");
        if (IsSkipped() || HasFatalFailure()) return;
        const auto key = (folder_.path() / "client.pem").string();
        ASSERT_TRUE(testing::makeP256KeyPair(key));
        privateKey_ = testing::readFile(key);
        server_.emplace(std::vector<std::string>{"CLIENT_PUBLIC_KEY=" + key + ".pub"});
        issuer_ = server_->issuer();
    }

    // The requests the server logged since the last call, as "METHOD /path".
    std::vector<std::string> serverLog() { return server_->requestLines(); }

    OAuthTokenResponse clientCredentials(Authentication authentication, net::HTTPClient& session) {
        return await(OAuthTokenEndpointClient().requestToken(
            {{"grant_type", "client_credentials"}, {"resource", std::string(kResource)}, {"scope", "read"}},
            boost::urls::url(issuer_ + "/token"), std::move(authentication), session, std::nullopt));
    }

    test_support::TemporaryFolder folder_;
    std::optional<AuthorizationServerPeer> server_;
    std::string issuer_;
    std::string privateKey_;
};

TEST_F(RealAuthorizationServerTest, DiscoversTheServerAndGetsTokensWithEachClientAuthentication) {
    auto session = makeClient();
    const OAuthDiscoveryClient discovery(std::make_shared<DefaultOAuthMetadataDiscovery>(), OAuthURLValidator(true));
    const auto found = await(discovery.fetchAuthorizationServerMetadata({boost::urls::url(issuer_)}, *session));
    EXPECT_EQ(found.metadata.issuer, boost::urls::url(issuer_));
    EXPECT_EQ(found.metadata.tokenEndpoint, boost::urls::url(issuer_ + "/token"));

    const auto basic = clientCredentials(Authentication::clientSecretBasic("basic-client", "basic-secret"), *session);
    EXPECT_FALSE(basic.accessToken.empty());
    EXPECT_EQ(basic.scope, "read");

    EXPECT_FALSE(clientCredentials(Authentication::clientSecretPost("post-client", "post-secret"), *session)
                     .accessToken.empty());

    const std::string key = privateKey_;
    const std::string issuer = issuer_;
    const auto assertion = [key, issuer](boost::urls::url tokenEndpoint,
                                         std::string clientID) -> boost::asio::awaitable<std::string> {
        co_return OAuthConfiguration::makePrivateKeyJWTAssertion(
            clientID, tokenEndpoint, key, OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256, issuer,
            Clock::now(), 60);
    };
    EXPECT_FALSE(clientCredentials(Authentication::privateKeyJWT("jwt-client", assertion), *session).accessToken.empty());

    // The server publishes its metadata at the first candidate; each token request was its own.
    EXPECT_EQ(serverLog(), (std::vector<std::string>{"GET /.well-known/oauth-authorization-server", "POST /token",
                                                     "POST /token", "POST /token"}));
}

// The authorizer answers a 401 from a resource on the server's origin that publishes no resource
// metadata: it falls back to the origin as authorization server, registers, runs the code grant
// with PKCE without a browser (the server lets its test user in at once) and stores the token.
TEST_F(RealAuthorizationServerTest, AuthorizesWithARegisteredClientAndTheCodeGrant) {
    OAuthConfiguration configuration(OAuthConfiguration::GrantType::authorizationCode, Authentication::none(""));
    configuration.setAllowLoopbackHTTPAuthorizationServerEndpoints(true);
    auto storage = std::make_shared<InMemoryTokenStorage>();
    OAuthAuthorizer authorizer(std::move(configuration), storage, std::make_shared<DefaultOAuthScopeSelector>(),
                               std::make_shared<DefaultOAuthWWWAuthenticateParser>(),
                               std::make_shared<DefaultOAuthMetadataDiscovery>());
    auto session = makeClient();
    const boost::urls::url endpoint(issuer_ + "/mcp");
    const net::HeaderMap challenge{{"WWW-Authenticate", R"(Bearer scope="read")"}};

    EXPECT_TRUE(await(authorizer.handleChallenge(401, challenge, endpoint, "tools/list", *session)));
    const auto header = authorizer.authorizationHeader(endpoint);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->starts_with("Bearer "));
    const auto token = storage->load();
    ASSERT_TRUE(token);
    EXPECT_EQ(token->authorizationServer, boost::urls::url(issuer_));
    EXPECT_EQ(token->scopes, std::set<std::string>{"read"});
    EXPECT_TRUE(token->clientID);
    // The token exchange succeeding means the server matched our verifier to the challenge.
    EXPECT_EQ(serverLog(), (std::vector<std::string>{"GET /.well-known/oauth-protected-resource/mcp",
                                                     "GET /.well-known/oauth-protected-resource",
                                                     "GET /.well-known/oauth-authorization-server", "POST /reg",
                                                     "GET /auth", "POST /token"}));
}

TEST_F(RealAuthorizationServerTest, ReportsTheServersRefusal) {
    auto session = makeClient();
    try {
        clientCredentials(Authentication::clientSecretBasic("basic-client", "wrong"), *session);
        ADD_FAILURE() << "a token was issued";
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.statusCode(), 401);
        EXPECT_EQ(error.oauthError(), "invalid_client");
    }
}

}  // namespace
}  // namespace mcp
