#pragma once

// OAuthMetadataDiscovering: the part of OAuth metadata discovery that a protected resource needs
// to judge a token's audience. The OAuth client's discovery implements it.

#include <boost/url/url_view.hpp>

namespace mcp {

class OAuthMetadataDiscovering {
public:
    virtual ~OAuthMetadataDiscovering() = default;

    // protectedResourceMatches: whether `resource` names the protected resource served at
    // `endpoint`. Must not throw, and must be safe to call from several threads at once.
    virtual bool protectedResourceMatches(boost::urls::url_view resource,
                                          boost::urls::url_view endpoint) const noexcept = 0;
};

}  // namespace mcp
