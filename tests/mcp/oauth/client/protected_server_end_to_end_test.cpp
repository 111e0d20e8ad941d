// The OAuth client end to end: a program's MCP client, over the HTTP client transport with the
// OAuth authorizer, talks to an MCP server protected by the library's validators, whose tokens
// come from a real authorization server (tests/peers/oidc). Both servers log what reached them;
// merged on the monotonic clock the two logs show the whole exchange in order.

#include "mcp/client/client.hpp"
#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/oauth/client/oauth_authorizer.hpp"
#include "tests/mcp/oauth/client/authorization_server_peer.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"
#include "tests/mcp/oauth/client/protected_mcp_server.hpp"
#include "tests/support/required_peer.hpp"
#include "tests/support/temporary_folder.hpp"

#include <algorithm>

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using testing::AuthorizationServerPeer;
using testing::finished;
using testing::LoggedRequest;
using testing::ProtectedMCPServer;
using Lines = std::vector<std::string>;

std::string ping(int id) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"ping"})";
}

class ProtectedServerEndToEndTest : public testing::OAuthNetworkTest {
protected:
    void SetUp() override {
        test_support::requirePeer(AuthorizationServerPeer::installed(),
                                  "the authorization server's npm packages are not installed (make deps)");
        if (IsSkipped() || HasFatalFailure()) return;
        // The authorization server signs its access tokens with this key; the MCP server gets
        // the public half, as it would read it from the server's published keys.
        const auto key = (folder_.path() / "signing.pem").string();
        ASSERT_TRUE(testing::makeP256KeyPair(key));
        ASSERT_TRUE(testing::makeP256KeyPair(clientKey_));
        mcpServer_.emplace(io_.get_executor());
        authorizationServer_.emplace(std::vector<std::string>{
            "MCP_RESOURCE=" + std::string(mcpServer_->endpoint().buffer()), "AS_SIGNING_KEY=" + key,
            "CLIENT_PUBLIC_KEY=" + clientKey_ + ".pub"});
        await(finished(mcpServer_->start(authorizationServer_->issuer(), testing::readFile(key + ".pub"))));
    }

    void TearDown() override {
        if (mcpServer_) await(finished(mcpServer_->stop()));
        OAuthNetworkTest::TearDown();
    }

    // A client that registers itself and runs the authorization-code grant.
    std::shared_ptr<OAuthAuthorizer> makeAuthorizer(double proactiveRefreshWindowSeconds = 0) {
        return makeAuthorizer(OAuthConfiguration(
            {.clientName = "End-to-end test", .proactiveRefreshWindowSeconds = proactiveRefreshWindowSeconds}));
    }

    std::shared_ptr<OAuthAuthorizer> makeAuthorizer(OAuthConfiguration configuration) {
        configuration.setAllowLoopbackHTTPAuthorizationServerEndpoints(true);
        return std::make_shared<OAuthAuthorizer>(std::move(configuration), storage_);
    }

    std::shared_ptr<HTTPClientTransport> makeTransport(std::shared_ptr<OAuthAuthorizer> authorizer) {
        HTTPClientTransportOptions options;
        options.http.connector = connector_;
        options.authorizer = std::move(authorizer);
        // The server has no sessions and no event stream of its own to listen to.
        options.streaming = false;
        return HTTPClientTransport::make(io_.get_executor(), mcpServer_->endpoint(), std::move(options));
    }

    // What both servers saw since the last call, merged in order of arrival: "AS POST /token",
    // "MCP POST /mcp tools/list -> 200".
    Lines exchange() {
        std::vector<LoggedRequest> merged;
        for (auto request : authorizationServer_->requests()) {
            request.what = "AS " + request.what;
            merged.push_back(std::move(request));
        }
        auto mcpRequests = mcpServer_->requests();
        for (auto request = mcpRequests.begin() + static_cast<std::ptrdiff_t>(mcpRequestsSeen_);
             request != mcpRequests.end(); ++request) {
            merged.push_back({request->arrived, "MCP " + request->what});
        }
        mcpRequestsSeen_ = mcpRequests.size();
        std::stable_sort(merged.begin(), merged.end(),
                         [](const LoggedRequest& a, const LoggedRequest& b) { return a.arrived < b.arrived; });
        Lines lines;
        for (auto& request : merged) lines.push_back(std::move(request.what));
        return lines;
    }

    test_support::TemporaryFolder folder_;
    // The key of the authorization server's "jwt-client", which authenticates with assertions.
    std::string clientKey_ = (folder_.path() / "client.pem").string();
    std::optional<ProtectedMCPServer> mcpServer_;
    std::optional<AuthorizationServerPeer> authorizationServer_;
    std::size_t mcpRequestsSeen_ = 0;
    std::shared_ptr<InMemoryTokenStorage> storage_ = std::make_shared<InMemoryTokenStorage>();
};

// The first POST is refused; the client discovers the resource's metadata and its
// authorization server, registers, gets a code without a browser (the server lets its test
// user in at once) and exchanges it with the PKCE verifier, which the server checks against the
// challenge; the MCP server then checks the token's signature, issuer, audience and scope.
TEST_F(ProtectedServerEndToEndTest, RunsTheCodeFlowAndReachesTheServerWithTheToken) {
    auto client = std::make_shared<Client>(io_.get_executor(), "end-to-end-client", "1.0");
    await(client->connect(makeTransport(makeAuthorizer())));
    const auto listing = await(client->listTools());
    ASSERT_EQ(listing.tools.size(), 1u);
    EXPECT_EQ(listing.tools.front().name, "echo");

    EXPECT_EQ(exchange(), (Lines{
                              "MCP POST /mcp initialize -> 401",
                              "MCP GET /.well-known/oauth-protected-resource/mcp -> 200",
                              "AS GET /.well-known/oauth-authorization-server",
                              "AS POST /reg",
                              "AS GET /auth",
                              "AS POST /token",
                              "MCP POST /mcp initialize -> 200",
                              "MCP POST /mcp notifications/initialized -> 202",
                              "MCP POST /mcp tools/list -> 200",
                          }));
    const auto token = storage_->load();
    ASSERT_TRUE(token);
    EXPECT_EQ(token->resource, mcpServer_->endpoint());
    EXPECT_EQ(token->scopes, std::set<std::string>{"read"});
    await(finished(client->disconnect()));
}

// A client acting for itself: the client-credentials grant, the client authenticated by its
// secret in a Basic header or by an ES256 assertion that the authorization server checks with
// the client's public key.
TEST_F(ProtectedServerEndToEndTest, ReachesTheServerWithClientCredentials) {
    using Assertion = boost::asio::awaitable<std::string>;
    const auto assertion = [key = testing::readFile(clientKey_), issuer = authorizationServer_->issuer()](
                               boost::urls::url tokenEndpoint, std::string clientID) -> Assertion {
        co_return OAuthConfiguration::makePrivateKeyJWTAssertion(
            clientID, tokenEndpoint, key, OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256, issuer,
            std::chrono::system_clock::now(), 60);
    };
    const struct {
        std::string_view name;
        Authentication authentication;
    } cases[] = {
        {"client_secret_basic", Authentication::clientSecretBasic("basic-client", "basic-secret")},
        {"private_key_jwt", Authentication::privateKeyJWT("jwt-client", assertion)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        storage_->clear();
        auto transport = makeTransport(
            makeAuthorizer(OAuthConfiguration(OAuthConfiguration::GrantType::clientCredentials, row.authentication)));
        await(finished(transport->connect()));
        await(finished(transport->send(ping(1))));
        EXPECT_EQ(exchange(), (Lines{
                                  "MCP POST /mcp ping -> 401",
                                  "MCP GET /.well-known/oauth-protected-resource/mcp -> 200",
                                  "AS GET /.well-known/oauth-authorization-server",
                                  "AS POST /token",
                                  "MCP POST /mcp ping -> 200",
                              }));
        await(finished(transport->disconnect()));
    }
}

// Calling a tool needs "write": the 403 names it, and the client authorizes once more for
// "read write" (no new discovery or registration) and calls the tool with the new token.
TEST_F(ProtectedServerEndToEndTest, StepsUpTheScopeWhenTheServerAsksForMore) {
    auto client = std::make_shared<Client>(io_.get_executor(), "end-to-end-client", "1.0");
    await(client->connect(makeTransport(makeAuthorizer())));
    exchange();

    const auto outcome = await(client->callTool("echo", ValueObject{{"text", "hello"}}));
    ASSERT_EQ(outcome.content.size(), 1u);
    EXPECT_EQ(outcome.content.front(), Tool::Content::text("hello"));
    EXPECT_EQ(exchange(), (Lines{
                              "MCP POST /mcp tools/call -> 403",
                              "AS GET /auth",
                              "AS POST /token",
                              "MCP POST /mcp tools/call -> 200",
                          }));
    EXPECT_EQ(storage_->load()->scopes, (std::set<std::string>{"read", "write"}));
    await(finished(client->disconnect()));
}

// With a refresh window longer than the token's life, every send finds the token near its
// expiry and refreshes it first: one token request, no new authorization, and the server takes
// the new token.
TEST_F(ProtectedServerEndToEndTest, RefreshesATokenNearItsExpiryBeforeSending) {
    auto client = std::make_shared<Client>(io_.get_executor(), "end-to-end-client", "1.0");
    await(client->connect(makeTransport(makeAuthorizer(3600))));
    exchange();
    const auto before = storage_->load();
    ASSERT_TRUE(before && before->refreshToken);

    await(client->listTools());
    EXPECT_EQ(exchange(), (Lines{"AS POST /token", "MCP POST /mcp tools/list -> 200"}));
    const auto after = storage_->load();
    ASSERT_TRUE(after);
    EXPECT_NE(after->value, before->value);
    EXPECT_TRUE(after->refreshToken);
    await(finished(client->disconnect()));
}

// The server judges every token itself: one whose signature was altered, or one signed with
// another key though it names the right issuer and audience, is refused like no token at all.
TEST_F(ProtectedServerEndToEndTest, RefusesTokensTheAuthorizationServerDidNotSign) {
    auto client = std::make_shared<Client>(io_.get_executor(), "end-to-end-client", "1.0");
    await(client->connect(makeTransport(makeAuthorizer())));
    const std::string genuine = storage_->load()->value;
    std::string altered = genuine;
    char& signatureStart = altered[altered.rfind('.') + 1];
    signatureStart = signatureStart == 'A' ? 'B' : 'A';
    const auto otherKey = (folder_.path() / "other.pem").string();
    ASSERT_TRUE(testing::makeP256KeyPair(otherKey));
    const std::string endpoint(mcpServer_->endpoint().buffer());
    const auto foreign = OAuthConfiguration::makePrivateKeyJWTAssertion(
        authorizationServer_->issuer(), boost::urls::url(authorizationServer_->issuer() + "/token"),
        testing::readFile(otherKey), OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256, endpoint,
        std::chrono::system_clock::now(), 60);

    auto session = makeClient();
    const struct {
        std::string_view name;
        std::string token;
        int status;
    } cases[] = {
        {"genuine", genuine, 200},
        {"signature altered", altered, 401},
        {"signed with another key", foreign, 401},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        auto post = request(endpoint, "POST", ping(1));
        post.headers.set("Authorization", "Bearer " + row.token);
        post.headers.set("Content-Type", "application/json");
        post.headers.set("Accept", "application/json");
        const auto response = await(session->fetch(std::move(post)));
        EXPECT_EQ(response.status, row.status);
        if (row.status == 401) {
            EXPECT_NE(response.headers.get("WWW-Authenticate").value_or("").find(R"(error="invalid_token")"),
                      std::string::npos);
        }
    }
    await(finished(client->disconnect()));
}

TEST_F(ProtectedServerEndToEndTest, ConcurrentSendsRefusedTogetherShareOneAuthorization) {
    auto transport = makeTransport(makeAuthorizer());
    await(finished(transport->connect()));
    auto first = start(finished(transport->send(ping(1))));
    auto second = start(finished(transport->send(ping(2))));
    runUntil([&] { return first->done && second->done; }, std::chrono::seconds(20));
    EXPECT_FALSE(first->error);
    EXPECT_FALSE(second->error);

    const auto lines = exchange();
    SCOPED_TRACE(::testing::PrintToString(lines));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "AS POST /token"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "MCP POST /mcp ping -> 401"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "MCP POST /mcp ping -> 200"), 2);
    await(finished(transport->disconnect()));
}

}  // namespace
}  // namespace mcp
