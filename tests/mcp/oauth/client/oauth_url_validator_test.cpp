#include "mcp/oauth/client/oauth_url_validator.hpp"

#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <boost/url/parse.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string_view>

namespace mcp {
namespace {

using Kind = OAuthAuthorizationError::Kind;

enum class Check { httpsOrLoopback, authorizationServer, authorizationServerLoopbackAllowed, redirect };

void run(Check check, boost::urls::url_view url, std::string_view context) {
    switch (check) {
    case Check::httpsOrLoopback:
        OAuthURLValidator(false).validateHTTPSOrLoopback(url, context);
        return;
    case Check::authorizationServer:
        OAuthURLValidator(false).validateAuthorizationServer(url, context);
        return;
    case Check::authorizationServerLoopbackAllowed:
        OAuthURLValidator(true).validateAuthorizationServer(url, context);
        return;
    case Check::redirect:
        OAuthURLValidator(false).validateRedirectURI(url);
        return;
    }
}

TEST(OAuthURLValidator, AcceptsHTTPSAndLoopbackHTTPAndRefusesTheRest) {
    const struct {
        std::string_view name;
        Check check;
        std::string_view url;
        std::optional<Kind> refusal;  // absent: accepted
        std::string_view description = "";
    } cases[] = {
        {"capital scheme and host", Check::httpsOrLoopback, "HTTPS://EXAMPLE.COM/x", std::nullopt},
        {"capital localhost with a port", Check::httpsOrLoopback, "http://LOCALHOST:9/mcp", std::nullopt},
        {"loopback v4", Check::httpsOrLoopback, "http://127.0.0.1:8080", std::nullopt},
        {"loopback v6", Check::httpsOrLoopback, "http://[::1]:8080/mcp", std::nullopt},
        {"another loopback address", Check::httpsOrLoopback, "http://127.0.0.2", Kind::insecureOAuthEndpoint,
         "MCP endpoint must use https or loopback http: http://127.0.0.2"},
        {"name that begins with localhost", Check::httpsOrLoopback, "http://localhost.example.com",
         Kind::insecureOAuthEndpoint},
        {"localhost with a trailing dot", Check::httpsOrLoopback, "http://localhost./", Kind::insecureOAuthEndpoint},
        {"unspecified address", Check::httpsOrLoopback, "http://0.0.0.0:80", Kind::insecureOAuthEndpoint},
        {"plain http", Check::httpsOrLoopback, "http://example.com/mcp", Kind::insecureOAuthEndpoint},
        {"other scheme", Check::httpsOrLoopback, "ftp://example.com", Kind::insecureOAuthEndpoint},
        {"fragment", Check::httpsOrLoopback, "https://h/#f", Kind::invalidResourceURI,
         "Invalid resource URI: Invalid MCP endpoint: https://h/#f"},
        {"no host", Check::httpsOrLoopback, "https:/path", Kind::invalidResourceURI},
        {"empty host", Check::httpsOrLoopback, "https:///path", Kind::invalidResourceURI},
        {"no scheme", Check::httpsOrLoopback, "//example.com/x", Kind::invalidResourceURI},
        {"server over https", Check::authorizationServer, "https://as.example.com/tenant", std::nullopt},
        {"server over loopback http, not allowed", Check::authorizationServer, "http://127.0.0.1:9000",
         Kind::insecureAuthorizationServerEndpoint, "MCP endpoint must use https: http://127.0.0.1:9000"},
        {"server over loopback http, allowed", Check::authorizationServerLoopbackAllowed, "http://127.0.0.1:9000",
         std::nullopt},
        {"server over LOCALHOST, allowed", Check::authorizationServerLoopbackAllowed, "HTTP://LocalHost/", std::nullopt},
        {"server over remote http, allowed flag", Check::authorizationServerLoopbackAllowed, "http://as.example.com",
         Kind::insecureAuthorizationServerEndpoint},
        {"server with a fragment", Check::authorizationServerLoopbackAllowed, "https://as.example.com#x",
         Kind::invalidResourceURI},
        {"redirect to loopback with port and path", Check::redirect, "http://127.0.0.1:50000/callback", std::nullopt},
        {"redirect over https", Check::redirect, "https://app.example.com/cb", std::nullopt},
        {"redirect to a custom scheme", Check::redirect, "com.example.app:/oauth", Kind::invalidRedirectURI,
         "Redirect URI must use https or loopback http and must not include fragments: com.example.app:/oauth"},
        {"redirect to remote http", Check::redirect, "http://app.example.com/cb", Kind::invalidRedirectURI},
        {"redirect with a fragment", Check::redirect, "http://127.0.0.1:1/cb#x", Kind::invalidRedirectURI},
        {"redirect over http without host", Check::redirect, "http:/cb", Kind::invalidRedirectURI},
        {"redirect without scheme", Check::redirect, "/cb", Kind::invalidRedirectURI},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto url = boost::urls::parse_uri_reference(row.url);
        ASSERT_TRUE(url) << row.url;
        if (!row.refusal) {
            EXPECT_NO_THROW(run(row.check, *url, "MCP endpoint"));
            continue;
        }
        try {
            run(row.check, *url, "MCP endpoint");
            ADD_FAILURE() << "accepted";
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_EQ(error.kind(), *row.refusal) << error.what();
            if (!row.description.empty()) {
                EXPECT_EQ(error.what(), row.description);
            }
        }
    }
}

TEST(OAuthURLValidator, JudgesPrivateHostsLikeTheAddressCheck) {
    const OAuthURLValidator validator(false);
    EXPECT_TRUE(validator.isPrivateIPHost("169.254.169.254"));
    EXPECT_FALSE(validator.isPrivateIPHost("feature.example.com"));
}

}  // namespace
}  // namespace mcp
