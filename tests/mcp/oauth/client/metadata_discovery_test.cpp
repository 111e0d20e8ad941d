#include "mcp/oauth/client/metadata_discovery.hpp"

#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using Texts = std::vector<std::string_view>;

Texts texts(const std::vector<boost::urls::url>& urls) {
    Texts result;
    for (const auto& url : urls) result.emplace_back(url.buffer());
    return result;
}

TEST(MetadataDiscovery, ListsProtectedResourceMetadataCandidates) {
    const struct {
        std::string_view endpoint;
        Texts want;
    } cases[] = {
        {"https://api.example.com", {"https://api.example.com/.well-known/oauth-protected-resource",
                                     "https://api.example.com/.well-known/oauth-protected-resource"}},
        {"https://api.example.com/", {"https://api.example.com/.well-known/oauth-protected-resource",
                                      "https://api.example.com/.well-known/oauth-protected-resource"}},
        {"https://API.example.com:8443/mcp?x=1#f", {"https://API.example.com:8443/.well-known/oauth-protected-resource/mcp",
                                                    "https://API.example.com:8443/.well-known/oauth-protected-resource"}},
        {"http://127.0.0.1:9/a/b/", {"http://127.0.0.1:9/.well-known/oauth-protected-resource/a/b/",
                                     "http://127.0.0.1:9/.well-known/oauth-protected-resource"}},
        {"http://api.example.com/mcp", {}},
        {"/mcp", {}},
    };
    const DefaultOAuthMetadataDiscovery discovery;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.endpoint);
        EXPECT_EQ(texts(discovery.protectedResourceMetadataURLs(boost::urls::url(row.endpoint))), row.want);
    }
}

TEST(MetadataDiscovery, ListsAuthorizationServerMetadataCandidates) {
    const struct {
        std::string_view issuer;
        Texts want;
    } cases[] = {
        {"https://as.example.com/tenant/", {"https://as.example.com/.well-known/oauth-authorization-server/tenant",
                                            "https://as.example.com/.well-known/openid-configuration/tenant",
                                            "https://as.example.com/tenant/.well-known/openid-configuration"}},
        {"https://as.example.com/a/b?x#y", {"https://as.example.com/.well-known/oauth-authorization-server/a/b",
                                            "https://as.example.com/.well-known/openid-configuration/a/b",
                                            "https://as.example.com/a/b/.well-known/openid-configuration"}},
        {"https://as.example.com/", {"https://as.example.com/.well-known/oauth-authorization-server",
                                     "https://as.example.com/.well-known/openid-configuration"}},
        {"http://localhost:4000", {"http://localhost:4000/.well-known/oauth-authorization-server",
                                   "http://localhost:4000/.well-known/openid-configuration"}},
        {"http://as.example.com", {}},
    };
    const DefaultOAuthMetadataDiscovery discovery;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.issuer);
        EXPECT_EQ(texts(discovery.authorizationServerMetadataURLs(boost::urls::url(row.issuer))), row.want);
    }
}

TEST(MetadataDiscovery, CanonicalisesResourceURIs) {
    const struct {
        std::string_view url;
        std::string_view want;  // empty: refused with `error`
        std::string_view error = "";
    } cases[] = {
        {"HTTPS://API.Example.COM:443/MCP/?q=1", "https://api.example.com:443/MCP/"},
        {"https://api.example.com/", "https://api.example.com"},
        {"https://user@api.example.com", "https://user@api.example.com"},
        {"http://LOCALHOST:8080/mcp", "http://localhost:8080/mcp"},
        {"https://api.example.com/mcp#frag", "", "Invalid resource URI: Resource URI must not contain a fragment"},
        {"http://api.example.com/mcp", "", "Invalid resource URI: Resource URI must use https or loopback http"},
    };
    const DefaultOAuthMetadataDiscovery discovery;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.url);
        try {
            EXPECT_EQ(discovery.canonicalResourceURI(boost::urls::url(row.url)).buffer(), row.want);
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_EQ(error.what(), row.error);
        }
    }
    EXPECT_EQ(discovery.authorizationServerFallbackIssuer(boost::urls::url("https://API.example.com:8443/mcp?x=1#f")).buffer(),
              "https://api.example.com:8443");
    EXPECT_THROW(discovery.authorizationServerFallbackIssuer(boost::urls::url("http://api.example.com/mcp")),
                 OAuthAuthorizationError);
}

TEST(MetadataDiscovery, MatchesResourcesToTheEndpointsTheyCover) {
    const struct {
        std::string_view resource, endpoint;
        bool matches;
    } cases[] = {
        {"https://api.example.com", "https://api.example.com/anything/at/all", true},
        {"https://api.example.com/mcp", "https://api.example.com/mcp", true},
        {"https://api.example.com/mcp", "https://api.example.com/mcp/", true},
        {"https://api.example.com/mcp/", "https://api.example.com/mcp", true},
        {"https://api.example.com/mcp", "https://api.example.com/mcp/tools", true},
        {"https://api.example.com/mcp", "https://api.example.com/mcpx", false},
        {"https://api.example.com/mcp", "https://api.example.com/MCP", false},
        {"https://api.example.com:443/mcp", "https://API.EXAMPLE.COM/mcp?x=1", true},
        {"http://127.0.0.1:80", "http://127.0.0.1/mcp", true},
        {"https://api.example.com", "http://api.example.com", false},
        {"https://api.example.com", "https://api.example.com:8443", false},
        {"https://api.example.com", "https://other.example.com", false},
        {"https://api.example.com/a/b", "https://api.example.com/a", false},
    };
    const DefaultOAuthMetadataDiscovery discovery;
    for (const auto& row : cases) {
        SCOPED_TRACE(std::string(row.resource) + " for " + std::string(row.endpoint));
        EXPECT_EQ(discovery.protectedResourceMatches(boost::urls::url(row.resource), boost::urls::url(row.endpoint)),
                  row.matches);
    }
}

}  // namespace
}  // namespace mcp
