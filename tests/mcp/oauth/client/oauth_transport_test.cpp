// The OAuth authorizer behind the HTTP client transport: what a program sees when it talks to a
// protected MCP server.

#include "mcp/oauth/client/oauth_authorizer.hpp"

#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/oauth/client/metadata_discovery.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "tests/mcp/oauth/client/fake_authorization_server.hpp"
#include "tests/mcp/transport/message_text.hpp"

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using testing::FakeAuthorizationServer;
using testing::finished;

std::string message(int id, std::string_view method) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":")" + std::string(method) + R"("})";
}

class OAuthTransportTest : public testing::OAuthNetworkTest {
protected:
    std::shared_ptr<OAuthAuthorizer> makeAuthorizer(OAuthConfiguration::RetryPolicy retryPolicy = {}) {
        OAuthConfiguration configuration(OAuthConfiguration::GrantType::authorizationCode, Authentication::none(""),
                                         retryPolicy);
        configuration.setAllowLoopbackHTTPAuthorizationServerEndpoints(true);
        return std::make_shared<OAuthAuthorizer>(std::move(configuration), storage,
                                                 std::make_shared<DefaultOAuthScopeSelector>(),
                                                 std::make_shared<DefaultOAuthWWWAuthenticateParser>(),
                                                 std::make_shared<DefaultOAuthMetadataDiscovery>());
    }

    std::shared_ptr<HTTPClientTransport> makeTransport(const FakeAuthorizationServer& server,
                                                       std::shared_ptr<OAuthAuthorizer> authorizer) {
        HTTPClientTransportOptions options;
        options.http.connector = connector_;
        options.authorizer = std::move(authorizer);
        auto transport = HTTPClientTransport::make(io_.get_executor(), server.endpoint(), std::move(options));
        await(finished(transport->connect()));
        return transport;
    }

    // The detail of the error `send` fails with, "" when it succeeds.
    std::string sendFailure(HTTPClientTransport& transport, std::string text) {
        try {
            await(finished(transport.send(std::move(text))));
        } catch (const MCPError& error) {
            return error.detail().value_or("");
        }
        return "";
    }

    std::shared_ptr<InMemoryTokenStorage> storage = std::make_shared<InMemoryTokenStorage>();
    FakeAuthorizationServer as;
};

TEST_F(OAuthTransportTest, AuthorizesAfterTheFirst401AndSendsAgainWithTheToken) {
    auto transport = makeTransport(as, makeAuthorizer());
    auto incoming = transport->receive();
    await(finished(transport->send(message(1, "tools/list"))));
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"jsonrpc":"2.0","id":1,"result":{}})");
    EXPECT_EQ(as.targets(), (std::vector<std::string>{"/mcp", "/.well-known/oauth-protected-resource/mcp",
                                                      "/.well-known/oauth-authorization-server", "/register",
                                                      "/authorize", "/token", "/mcp"}));
    EXPECT_EQ(as.resourceAuthorizations(), (std::vector<std::string>{"", "Bearer at-1"}));

    // Later messages carry the token from the start.
    await(finished(transport->send(message(2, "tools/call"))));
    EXPECT_EQ(as.resourceAuthorizations().back(), "Bearer at-1");
    EXPECT_EQ(as.tokenRequests().size(), 1u);
}

TEST_F(OAuthTransportTest, ConcurrentSendsAnswered401ShareOneAuthorization) {
    auto transport = makeTransport(as, makeAuthorizer());
    auto first = start(finished(transport->send(message(1, "tools/list"))));
    auto second = start(finished(transport->send(message(2, "prompts/list"))));
    runUntil([&] { return first->done && second->done; });
    EXPECT_FALSE(first->error);
    EXPECT_FALSE(second->error);
    EXPECT_EQ(as.tokenRequests().size(), 1u);
}

TEST_F(OAuthTransportTest, StepUpsEndInAccessForbiddenAtTheirLimit) {
    as.setResource(FakeAuthorizationServer::Resource::forbidsEverything);
    auto transport = makeTransport(as, makeAuthorizer(OAuthConfiguration::RetryPolicy(10, 2)));
    EXPECT_EQ(sendFailure(*transport, message(1, "tools/call")), "Access forbidden");
    // Two step-ups, each a new authorization asking for "admin"; the third 403 is final.
    EXPECT_EQ(as.resourceAuthorizations().size(), 3u);
    ASSERT_EQ(as.tokenRequests().size(), 2u);
    EXPECT_EQ(as.tokenRequests().at(1).at("scope"), "admin");
}

TEST_F(OAuthTransportTest, NeverSendsAStoredTokenToAnotherServer) {
    auto transport = makeTransport(as, makeAuthorizer());
    await(finished(transport->send(message(1, "tools/list"))));

    // The same storage behind a transport to another server: its token stays at home, and so
    // does its refresh token; the other server's client authorizes afresh.
    FakeAuthorizationServer other;
    auto otherTransport = makeTransport(other, makeAuthorizer());
    await(finished(otherTransport->send(message(1, "tools/list"))));
    EXPECT_EQ(other.resourceAuthorizations(), (std::vector<std::string>{"", "Bearer at-1"}));
    ASSERT_EQ(other.tokenRequests().size(), 1u);
    EXPECT_EQ(other.tokenRequests().front().at("grant_type"), "authorization_code");
    EXPECT_EQ(storage->load()->resource, other.endpoint());
}

}  // namespace
}  // namespace mcp
