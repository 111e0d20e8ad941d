#pragma once

// OAuthMetadataDiscovering: the URL rules of OAuth metadata discovery: where the metadata
// documents of a protected resource and of an authorization server live, the canonical form of a
// resource URI, and whether a resource URI covers an endpoint. A protected resource uses the last
// to judge a token's audience; the OAuth client uses all of them. Every operation is pure and
// safe to call from several threads at once.

#include <boost/url/url.hpp>
#include <boost/url/url_view.hpp>

#include <vector>

namespace mcp {

class OAuthMetadataDiscovering {
public:
    virtual ~OAuthMetadataDiscovering() = default;

    // protectedResourceMetadataURLs: where to look for the protected-resource metadata of
    // `endpoint`, in order; empty when the endpoint is neither https nor loopback http.
    virtual std::vector<boost::urls::url> protectedResourceMetadataURLs(boost::urls::url_view endpoint) const = 0;
    // authorizationServerMetadataURLs: where to look for the metadata of the authorization server
    // `issuer`, in order; empty when the issuer is neither https nor loopback http.
    virtual std::vector<boost::urls::url> authorizationServerMetadataURLs(boost::urls::url_view issuer) const = 0;
    // canonicalResourceURI: `url` as a resource URI compares. Throws OAuthAuthorizationError
    // invalidResourceURI.
    virtual boost::urls::url canonicalResourceURI(boost::urls::url_view url) const = 0;
    // authorizationServerFallbackIssuer: the authorization server assumed for `endpoint` when it
    // publishes no metadata: its origin. Throws OAuthAuthorizationError invalidResourceURI.
    virtual boost::urls::url authorizationServerFallbackIssuer(boost::urls::url_view endpoint) const = 0;
    // protectedResourceMatches: whether `resource` names the protected resource served at
    // `endpoint`.
    virtual bool protectedResourceMatches(boost::urls::url_view resource,
                                          boost::urls::url_view endpoint) const noexcept = 0;
};

}  // namespace mcp
