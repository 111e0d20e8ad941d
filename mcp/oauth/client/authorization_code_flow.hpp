#pragma once

// The authorization-code grant's front half: the authorization request URL and reading the
// authorization code out of the authorization server's redirect.

#include "mcp/oauth/client/configuration/oauth_configuration.hpp"
#include "mcp/oauth/client/configuration/oauth_scope_selector.hpp"

#include "net/http_client.hpp"

#include <boost/asio/awaitable.hpp>

#include <boost/url/url.hpp>
#include <boost/url/url_view.hpp>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mcp {

// redirectComparisonKey: what two redirect URIs must share to be the same target: lowered scheme
// "://" lowered host ":" port, then the path ("/" when empty). The port is the explicit one, else
// 443 for https, 80 for http and -1 for other schemes. User information, query and fragment take
// no part; the path compares with its letter case.
std::string redirectComparisonKey(boost::urls::url_view url);

// buildAuthorizationURL: `authorizationEndpoint` with its query replaced by response_type=code,
// client_id, redirect_uri, state, resource, code_challenge, code_challenge_method=S256 and, when
// `scopeSerializer` gives a text for `scopes`, scope, in this order. Values are encoded with
// percentEncodeUnreserved, so a "+" reaches the server as %2B rather than as a blank.
boost::urls::url buildAuthorizationURL(boost::urls::url_view authorizationEndpoint, boost::urls::url_view resource,
                                       boost::urls::url_view redirectURI, std::string_view clientID,
                                       std::string_view codeChallenge,
                                       const std::optional<std::set<std::string>>& scopes, std::string_view state,
                                       const OAuthScopeSelecting& scopeSerializer);

// extractAuthorizationCode: the "code" of the redirect `received`, after checking that it goes to
// `expectedRedirectURI` (by redirectComparisonKey) and that its first "state" equals `state`
// exactly. Throws OAuthAuthorizationError authorizationResponseRedirectMismatch,
// authorizationResponseMissingState, authorizationResponseStateMismatch or
// authorizationResponseMissingCode. The code is returned percent-decoded.
std::string extractAuthorizationCode(boost::urls::url_view received, boost::urls::url_view expectedRedirectURI,
                                     std::string_view state);

// readAuthorizationReply: the code carried by the answer to a fetched authorization URL,
// `requestURL`, when the authorization server redirects at once. A 3xx must have a Location,
// which is resolved against `requestURL` when it is relative and then read by
// extractAuthorizationCode. Throws authorizationResponseMissingRedirectLocation for a missing or
// unreadable Location and for a status below 300, and authorizationRequestFailed for 400 and
// above.
std::string readAuthorizationReply(boost::urls::url_view requestURL, int statusCode,
                                   const std::optional<std::string>& location,
                                   boost::urls::url_view expectedRedirectURI, std::string_view state);

// OAuthAuthorizationCodeFlowing: how the authorizer runs the user-facing half of the grant; a
// program may supply its own.
class OAuthAuthorizationCodeFlowing {
public:
    virtual ~OAuthAuthorizationCodeFlowing() = default;

    // buildURL: the authorization request URL (see buildAuthorizationURL).
    virtual boost::urls::url buildURL(boost::urls::url_view authorizationEndpoint, boost::urls::url_view resource,
                                      boost::urls::url_view redirectURI, std::string_view clientID,
                                      std::string_view codeChallenge, const std::optional<std::set<std::string>>& scopes,
                                      std::string_view state, const OAuthScopeSelecting& scopeSerializer) const = 0;

    // perform: the authorization code for `authorizationURL`, checked against `redirectURI` and
    // `state`. The delegate's and the HTTP client's errors pass through unchanged.
    virtual boost::asio::awaitable<std::string> perform(boost::urls::url authorizationURL, boost::urls::url redirectURI,
                                                        std::string state,
                                                        std::shared_ptr<OAuthAuthorizationDelegate> delegate,
                                                        net::HTTPClient& session) const = 0;
};

// OAuthAuthorizationCodeFlow: with a delegate, the delegate presents the URL and hands back the
// redirect. Without one, the client GETs the URL itself ("Accept: text/html, application/json")
// on a connection of its own that is closed afterwards, follows no redirect, and reads the code
// from the redirect's Location (readAuthorizationReply): this works only with a server that
// redirects at once, without asking anybody. The authorization endpoint is refused when it
// resolves to a private address, unless `allowPrivateAddresses` (the endpoint of a server the
// program named itself).
class OAuthAuthorizationCodeFlow final : public OAuthAuthorizationCodeFlowing {
public:
    explicit OAuthAuthorizationCodeFlow(bool allowPrivateAddresses = false) : allowPrivateAddresses_(allowPrivateAddresses) {}

    boost::urls::url buildURL(boost::urls::url_view authorizationEndpoint, boost::urls::url_view resource,
                              boost::urls::url_view redirectURI, std::string_view clientID,
                              std::string_view codeChallenge, const std::optional<std::set<std::string>>& scopes,
                              std::string_view state, const OAuthScopeSelecting& scopeSerializer) const override;

    boost::asio::awaitable<std::string> perform(boost::urls::url authorizationURL, boost::urls::url redirectURI,
                                                std::string state, std::shared_ptr<OAuthAuthorizationDelegate> delegate,
                                                net::HTTPClient& session) const override;

private:
    bool allowPrivateAddresses_;
};

}  // namespace mcp
