#include "mcp/oauth/client/oauth_url_validator.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/private_address.hpp"

namespace mcp {
namespace {

std::string scheme(boost::urls::url_view url) {
    return detail::asciiLowercase(url.scheme());
}

// The first step of both endpoint checks: a URL the client can address at all.
void requireAddressable(boost::urls::url_view url, std::string_view context) {
    if (!url.has_scheme() || !url.has_authority() || url.encoded_host().empty() || url.has_fragment()) {
        throw OAuthAuthorizationError::invalidResourceURI("Invalid " + std::string(context) + ": " +
                                                          std::string(url.buffer()));
    }
}

}  // namespace

bool isLoopbackHost(std::string_view host) {
    const auto lowered = detail::asciiLowercase(host);
    return lowered == "localhost" || lowered == "127.0.0.1" || lowered == "::1";
}

std::string urlHost(boost::urls::url_view url) {
    return detail::asciiLowercase(url.host_address());
}

bool isHTTPSOrLoopback(boost::urls::url_view url) {
    const auto lowered = scheme(url);
    return lowered == "https" || (lowered == "http" && url.has_authority() && isLoopbackHost(url.host_address()));
}

void OAuthURLValidator::validateHTTPSOrLoopback(boost::urls::url_view url, std::string_view context) const {
    requireAddressable(url, context);
    if (isHTTPSOrLoopback(url)) return;
    throw OAuthAuthorizationError::insecureOAuthEndpoint(std::string(context), std::string(url.buffer()));
}

void OAuthURLValidator::validateAuthorizationServer(boost::urls::url_view url, std::string_view context) const {
    requireAddressable(url, context);
    const auto lowered = scheme(url);
    if (lowered == "https") return;
    if (allowLoopbackHTTPForAuthorizationServer_ && lowered == "http" && isLoopbackHost(url.host_address())) return;
    throw OAuthAuthorizationError::insecureAuthorizationServerEndpoint(std::string(context),
                                                                       std::string(url.buffer()));
}

void OAuthURLValidator::validateRedirectURI(boost::urls::url_view url) const {
    const auto refuse = [&] { return OAuthAuthorizationError::invalidRedirectURI(std::string(url.buffer())); };
    if (!url.has_scheme() || url.has_fragment()) throw refuse();
    const auto lowered = scheme(url);
    if (lowered == "https") return;
    if (lowered == "http" && url.has_authority() && isLoopbackHost(url.host_address())) return;
    throw refuse();
}

bool OAuthURLValidator::isPrivateIPHost(std::string_view host) const {
    return mcp::isPrivateIPHost(host);
}

}  // namespace mcp
