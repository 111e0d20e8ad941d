#pragma once

// The token endpoint as the OAuth client speaks to it: the client authentication a token request
// carries, and the judgement of the endpoint's reply.

#include "mcp/http/http_request.hpp"
#include "mcp/oauth/client/configuration/oauth_configuration.hpp"
#include "mcp/oauth/oauth_token_response.hpp"

#include "net/http_client.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// The client_assertion_type of a JWT client assertion.
inline constexpr std::string_view kJWTBearerAssertionType = "urn:ietf:params:oauth:client-assertion-type:jwt-bearer";

// applyTokenEndpointAuthentication: adds `authentication` to a token request under way.
// - client_secret_basic: "Authorization: Basic " + base64 of the form-encoded client ID, ":" and
//   the form-encoded secret, as RFC 6749 section 2.3.1 asks, so that IDs and secrets holding
//   ":" or "%" survive; nothing in the body.
// - client_secret_post: client_id and client_secret.
// - none: client_id.
// - private_key_jwt: client_id, client_assertion_type and client_assertion, the assertion factory's
//   answer for `tokenEndpoint`, made afresh for every request. The factory's error propagates.
// The fields replace same-named parameters the caller put in `parameters`.
boost::asio::awaitable<void> applyTokenEndpointAuthentication(
    const OAuthConfiguration::TokenEndpointAuthentication& authentication, HTTPHeaders& headers,
    std::map<std::string, std::string>& parameters, const boost::urls::url& tokenEndpoint);

// oauthErrorCode: the "error" of an OAuth error reply body, or absent when the body is not one.
std::optional<std::string> oauthErrorCode(std::string_view body);

// readTokenEndpointReply: the token in a reply of status `statusCode` with `body`. Throws
// OAuthAuthorizationError tokenRequestFailed for a status outside 200-299 (with the "error" of a
// JSON error body when there is one; a redirect counts as failure, since token requests are never
// redirected), tokenResponseInvalid for an empty access token or a token type other than Bearer
// (blanks around it and letter case aside), and DecodingError for a 2xx body that is no token
// response.
OAuthTokenResponse readTokenEndpointReply(int statusCode, std::string_view body);

// OAuthTokenRequesting: how the authorizer asks for tokens; a program may supply its own.
class OAuthTokenRequesting {
public:
    virtual ~OAuthTokenRequesting() = default;

    // requestToken: POSTs `parameters` with `authentication` to `tokenEndpoint`, a URL the
    // caller has checked, through `session`, and returns the token. With
    // `privateAddressContext` (an endpoint a server named) a host that resolves to a private
    // address is refused with privateIPAddressBlocked under that context. Throws what
    // applyTokenEndpointAuthentication and readTokenEndpointReply throw, and the HTTP client's
    // errors unchanged. Never retried.
    virtual boost::asio::awaitable<OAuthTokenResponse> requestToken(
        std::map<std::string, std::string> parameters, boost::urls::url tokenEndpoint,
        OAuthConfiguration::TokenEndpointAuthentication authentication, net::HTTPClient& session,
        std::optional<std::string> privateAddressContext) const = 0;
};

// OAuthTokenEndpointClient: a form-encoded POST with "Accept: application/json". Redirects are
// not followed: a 3xx would carry the client's credentials to a place nobody checked, so it
// fails like any other error status.
class OAuthTokenEndpointClient final : public OAuthTokenRequesting {
public:
    boost::asio::awaitable<OAuthTokenResponse> requestToken(
        std::map<std::string, std::string> parameters, boost::urls::url tokenEndpoint,
        OAuthConfiguration::TokenEndpointAuthentication authentication, net::HTTPClient& session,
        std::optional<std::string> privateAddressContext) const override;
};

}  // namespace mcp
