#pragma once

// DefaultOAuthMetadataDiscovery: the well-known metadata locations (RFC 9728, RFC 8414 and
// OpenID Connect Discovery) and the resource URI rules the OAuth client uses.

#include "mcp/oauth/oauth_metadata_discovering.hpp"

namespace mcp {

// A program may derive from it to change single rules.
class DefaultOAuthMetadataDiscovery : public OAuthMetadataDiscovering {
public:
    // The endpoint without query and fragment, with the path
    // "/.well-known/oauth-protected-resource" + its own path, then with the bare well-known path
    // (the same URL twice for an endpoint at the root).
    std::vector<boost::urls::url> protectedResourceMetadataURLs(boost::urls::url_view endpoint) const override;
    // For an issuer with the path p (slashes at both ends removed):
    // "/.well-known/oauth-authorization-server/p", "/.well-known/openid-configuration/p" and
    // "/p/.well-known/openid-configuration"; for an issuer without path the two root documents.
    std::vector<boost::urls::url> authorizationServerMetadataURLs(boost::urls::url_view issuer) const override;
    // Scheme and host lowered, query dropped, a lone "/" path emptied; port, user information and
    // the path's letter case kept. A fragment is refused.
    boost::urls::url canonicalResourceURI(boost::urls::url_view url) const override;
    // Scheme, user information, host (lowered) and port only.
    boost::urls::url authorizationServerFallbackIssuer(boost::urls::url_view endpoint) const override;
    // Same scheme, host and effective port; the resource's path empty, equal to the endpoint's,
    // or a prefix of it followed by "/" (a final "/" on either aside). "/mcp" covers "/mcp/tools"
    // but not "/mcpx" or "/MCP".
    bool protectedResourceMatches(boost::urls::url_view resource, boost::urls::url_view endpoint) const noexcept override;
};

}  // namespace mcp
