#include "mcp/oauth/client/bearer_token_authorizer.hpp"

#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "tests/mcp/oauth/client/fake_authorization_server.hpp"

#include <stdexcept>
#include <string>
#include <vector>

namespace mcp {
namespace {

using testing::FakeAuthorizationServer;
using testing::finished;

TEST(BearerTokenAuthorizer, SendsItsTokenOnlyOverHTTPSOrToLoopback) {
    BearerTokenAuthorizer authorizer("k-123.abc_~+/=");
    const struct {
        const char* endpoint;
        bool accepted;
    } kCases[] = {
        {"https://mcp.example.com/mcp", true},
        {"http://127.0.0.1:8080/mcp", true},
        {"http://localhost/mcp", true},
        {"http://mcp.example.com/mcp", false},
        {"ftp://mcp.example.com/mcp", false},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.endpoint);
        const boost::urls::url endpoint(row.endpoint);
        if (row.accepted) {
            EXPECT_NO_THROW(authorizer.validateEndpointSecurity(endpoint));
        } else {
            EXPECT_THROW(authorizer.validateEndpointSecurity(endpoint), OAuthAuthorizationError);
        }
        EXPECT_EQ(authorizer.authorizationHeader(endpoint), "Bearer k-123.abc_~+/=");
    }
    EXPECT_EQ(authorizer.maxAuthorizationAttempts(), 1);
}

TEST(BearerTokenAuthorizer, RefusesATokenNoHeaderCouldCarry) {
    for (const std::string& token : {std::string(), std::string("a b"), std::string("a\r\nX-Injected: 1"),
                                    std::string("a\0b", 3), std::string("caf\xc3\xa9")}) {
        SCOPED_TRACE(token);
        EXPECT_THROW(BearerTokenAuthorizer{token}, std::invalid_argument);
    }
}

class BearerTokenTransportTest : public testing::OAuthNetworkTest {};

// A refused token is final: one post, the server's answer as the failure, no OAuth flow.
TEST_F(BearerTokenTransportTest, ARefusedTokenFailsTheSendAfterOnePost) {
    FakeAuthorizationServer server;
    HTTPClientTransportOptions options;
    options.http.connector = connector_;
    options.authorizer = std::make_shared<BearerTokenAuthorizer>("fixed");
    auto transport = HTTPClientTransport::make(io_.get_executor(), server.endpoint(), std::move(options));
    await(finished(transport->connect()));

    EXPECT_THROW(await(finished(transport->send(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})"))), MCPError);
    EXPECT_EQ(server.targets(), std::vector<std::string>{"/mcp"});
    EXPECT_EQ(server.resourceAuthorizations(), std::vector<std::string>{"Bearer fixed"});
    await(finished(transport->disconnect()));
}

}  // namespace
}  // namespace mcp
