#pragma once

// OAuthURLValidator: the checks every URL passes before the OAuth client contacts it or hands it
// to an authorization server as its redirect target. They keep tokens and authorization codes
// off plain HTTP except on this computer, and refuse URLs with fragments. The caller chooses
// which check applies and the context text that names the URL in the error.

#include <boost/url/url_view.hpp>

#include <string>
#include <string_view>

namespace mcp {

// isLoopbackHost: whether `host` (without brackets) is "localhost", "127.0.0.1" or "::1",
// ignoring ASCII case. Nothing else counts: not 127.0.0.2, not "localhost.".
bool isLoopbackHost(std::string_view host);

// isHTTPSOrLoopback: whether `url` is https, or http to a loopback host. Scheme and host compare
// ignoring case.
bool isHTTPSOrLoopback(boost::urls::url_view url);

// urlHost: the host of `url` as the checks compare it: decoded, IPv6 without brackets, ASCII
// letters lowered.
std::string urlHost(boost::urls::url_view url);

// OAuthURLValidating: the checks through which the authorizer judges URLs. Every operation is
// synchronous, has no side effects and may be called from any thread.
class OAuthURLValidating {
public:
    virtual ~OAuthURLValidating() = default;

    // Accepts https, and http to a loopback host. Throws OAuthAuthorizationError:
    // invalidResourceURI ("Invalid <context>: <url>") for a URL without scheme or host or with a
    // fragment; insecureOAuthEndpoint otherwise.
    virtual void validateHTTPSOrLoopback(boost::urls::url_view url, std::string_view context) const = 0;
    // Accepts https, and http to a loopback host only when the validator allows it. Throws
    // invalidResourceURI as above, or insecureAuthorizationServerEndpoint.
    virtual void validateAuthorizationServer(boost::urls::url_view url, std::string_view context) const = 0;
    // Accepts https, and http to a loopback host; refuses fragments and every other scheme
    // (custom application schemes included). Throws invalidRedirectURI.
    virtual void validateRedirectURI(boost::urls::url_view url) const = 0;
    // Whether `host` is an IP literal in a private range (see private_address.hpp).
    virtual bool isPrivateIPHost(std::string_view host) const = 0;
};

class OAuthURLValidator final : public OAuthURLValidating {
public:
    explicit OAuthURLValidator(bool allowLoopbackHTTPForAuthorizationServer)
        : allowLoopbackHTTPForAuthorizationServer_(allowLoopbackHTTPForAuthorizationServer) {}

    bool allowLoopbackHTTPForAuthorizationServer() const noexcept { return allowLoopbackHTTPForAuthorizationServer_; }

    void validateHTTPSOrLoopback(boost::urls::url_view url, std::string_view context) const override;
    void validateAuthorizationServer(boost::urls::url_view url, std::string_view context) const override;
    void validateRedirectURI(boost::urls::url_view url) const override;
    bool isPrivateIPHost(std::string_view host) const override;

private:
    bool allowLoopbackHTTPForAuthorizationServer_;
};

}  // namespace mcp
