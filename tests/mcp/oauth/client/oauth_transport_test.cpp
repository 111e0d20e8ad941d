// The OAuth authorizer behind the HTTP client transport: what a program sees when it talks to a
// protected MCP server.

#include "mcp/oauth/client/oauth_authorizer.hpp"

#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "tests/mcp/oauth/client/fake_authorization_server.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include <map>
#include <string>
#include <vector>

namespace mcp {
namespace {

using testing::FakeAuthorizationServer;
using testing::finished;

std::string message(int id, std::string_view method) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":")" + std::string(method) + R"("})";
}

class OAuthTransportTest : public testing::OAuthNetworkTest {
protected:
    std::shared_ptr<OAuthAuthorizer> makeAuthorizer(OAuthConfiguration::RetryPolicy retryPolicy = {}) {
        return std::make_shared<OAuthAuthorizer>(
            OAuthConfiguration({.retryPolicy = retryPolicy, .allowLoopbackHTTPAuthorizationServerEndpoints = true}),
            storage);
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

// A program may name its own authorization server on the company network: with the allowance,
// its metadata, registration, authorization and token endpoints may all be there. Without it,
// or for a server that the MCP server names, the address is refused and the error names it.
TEST_F(OAuthTransportTest, AProgramMayAllowItsOwnAuthorizationServerOnAPrivateAddress) {
    const struct {
        const char* name;
        bool configured;
        bool allowed;
        bool succeeds;
    } kCases[] = {
        {"configured, not allowed", true, false, false},
        {"configured and allowed", true, true, true},
        {"named by the MCP server, allowed", false, true, false},
    };
    constexpr const char* kPrivateAddress = "10.0.0.5";
    connector_->privateStandIn = boost::asio::ip::make_address(kPrivateAddress);
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        FakeAuthorizationServer server;
        // "localhost" passes the loopback-http rule by its name, and resolves to the private
        // address here, as a name on the company network would.
        const std::string port = std::to_string(server.endpoint().port_number());
        const std::string issuer = "http://localhost:" + port;
        server.setDocument("/.well-known/oauth-protected-resource/mcp",
                           R"({"resource":")" + server.base() + R"(/mcp","authorization_servers":[")" + issuer + R"("]})");
        server.setDocument("/.well-known/oauth-authorization-server",
                           R"({"issuer":")" + issuer + R"(","authorization_endpoint":")" + issuer +
                               R"(/authorize","token_endpoint":")" + issuer + R"(/token","registration_endpoint":")" +
                               issuer + R"(/register","code_challenge_methods_supported":["S256"]})");

        OAuthConfiguration::EndpointOverrides overrides;
        if (row.configured) overrides.authorizationServerURL = boost::urls::url(issuer);
        auto authorizer = std::make_shared<OAuthAuthorizer>(OAuthConfiguration({
            .endpointOverrides = overrides,
            .allowLoopbackHTTPAuthorizationServerEndpoints = true,
            .allowPrivateAddressesForConfiguredAuthorizationServer = row.allowed,
        }));
        const int standInConnectionsBefore = connector_->standInConnections;
        HTTPClientTransportOptions options;
        options.http.resolver = std::make_shared<testing::TableResolver>(
            std::map<std::string, std::string>{{"localhost", kPrivateAddress}});
        options.http.connector = connector_;
        options.authorizer = authorizer;
        auto transport = HTTPClientTransport::make(io_.get_executor(), server.endpoint(), std::move(options));
        await(finished(transport->connect()));

        const auto failure = sendFailure(*transport, message(1, "tools/list"));
        if (row.succeeds) {
            EXPECT_EQ(failure, "");
            EXPECT_EQ(server.targets(), (std::vector<std::string>{"/mcp", "/.well-known/oauth-protected-resource/mcp",
                                                                  "/.well-known/oauth-authorization-server",
                                                                  "/register", "/authorize", "/token", "/mcp"}));
            EXPECT_EQ(server.resourceAuthorizations().back(), "Bearer at-1");
            EXPECT_GT(connector_->standInConnections, standInConnectionsBefore);
        } else {
            EXPECT_EQ(failure, "Authorization flow failed: Authorization server issuer resolves to a private or "
                               "reserved IP address which is blocked for SSRF protection: " +
                                   issuer + "/.well-known/oauth-authorization-server (10.0.0.5)");
            EXPECT_EQ(connector_->standInConnections, standInConnectionsBefore);
            EXPECT_TRUE(server.tokenRequests().empty());
        }
        await(finished(transport->disconnect()));
    }
}

}  // namespace
}  // namespace mcp
