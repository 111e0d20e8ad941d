#pragma once

// OAuthAuthorizer: the OAuth client as the HTTP client transport sees it. It puts the stored
// bearer token on requests, and answers a 401 by refreshing the token or authorizing anew and a
// 403 "insufficient_scope" by asking for more scopes: it discovers the protected resource's and
// the authorization server's metadata, registers the client when it has no credentials, runs the
// configured grant and stores the token.
//
//     auto authorizer = std::make_shared<OAuthAuthorizer>(configuration);
//     options.authorizer = authorizer;   // HTTPClientTransportOptions
//
// A stored token is sent only to endpoints of the resource it was issued for, and never within
// 30 seconds of its expiry.
//
// Thread safety: any method may be called from any thread. Challenges, and the refresh ahead of
// expiry, run one at a time: a caller that arrives while another authorizes waits, and when a
// new token was stored meanwhile it is retried with that token instead of authorizing again.

#include "mcp/http/client/http_client_authorizer.hpp"
#include "mcp/oauth/client/authorization_code_flow.hpp"
#include "mcp/oauth/client/client_registrar.hpp"
#include "mcp/oauth/client/configuration/oauth_configuration.hpp"
#include "mcp/oauth/client/configuration/oauth_scope_selector.hpp"
#include "mcp/oauth/client/configuration/token_storage.hpp"
#include "mcp/oauth/client/configuration/www_authenticate_parser.hpp"
#include "mcp/oauth/client/detail/async_lock.hpp"
#include "mcp/oauth/client/discovery_client.hpp"
#include "mcp/oauth/client/oauth_url_validator.hpp"
#include "mcp/oauth/client/token_endpoint_client.hpp"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace mcp {

class OAuthAuthorizer final : public HTTPClientAuthorizer {
public:
    using Scopes = std::set<std::string>;

    // Copies `configuration` (only its authentication changes later, after a registration) and
    // reads its two allowances once, for every check. Shares the other arguments; each left
    // empty is the library's own: InMemoryTokenStorage, DefaultOAuthScopeSelector,
    // DefaultOAuthWWWAuthenticateParser and DefaultOAuthMetadataDiscovery.
    explicit OAuthAuthorizer(OAuthConfiguration configuration, std::shared_ptr<TokenStorage> tokenStorage = nullptr,
                             std::shared_ptr<const OAuthScopeSelecting> scopeSelector = nullptr,
                             std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser = nullptr,
                             std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery = nullptr);

    int maxAuthorizationAttempts() const override;
    // Throws the https-or-loopback refusal for the "MCP endpoint".
    void validateEndpointSecurity(const boost::urls::url& endpoint) override;
    // "Bearer " and the stored token, when there is one that was issued for `endpoint`'s
    // resource, by the selected authorization server, and is valid for 30 more seconds.
    std::optional<std::string> authorizationHeader(const boost::urls::url& endpoint) override;
    // 401: refresh a token issued for `endpoint`'s resource, else authorize anew (a refresh the
    // server refuses with 4xx authorizes anew in the same call). 403 with "insufficient_scope":
    // authorize with the scopes asked for, at most maxScopeUpgradeAttempts times per resource,
    // operation and scope set. Other answers: false. Throws the OAuthAuthorizationError of the
    // step that failed, and the errors of the network and the program's hooks unchanged.
    boost::asio::awaitable<bool> handleChallenge(int statusCode, const net::HeaderMap& headers,
                                                 const boost::urls::url& endpoint,
                                                 std::optional<std::string> operationKey,
                                                 net::HTTPClient& session) override;
    // Refreshes a token for `endpoint`'s resource that expires within the configured window,
    // when the authorization server is known already. Never throws.
    boost::asio::awaitable<void> prepareAuthorization(const boost::urls::url& endpoint,
                                                      net::HTTPClient& session) override;

    // The authorization-server URL as tokens are bound to it: lowered scheme and host, no query
    // or fragment, "/" as the empty path; absent unless http(s) with a host.
    static std::optional<boost::urls::url> normalizeAuthorizationServerURL(boost::urls::url_view url);
    // Equal after normalizing; two URLs that both fail to normalize match.
    static bool authorizationServerMatches(boost::urls::url_view a, boost::urls::url_view b);
    // The operation key trimmed, or "<unknown>" when absent or blank.
    static std::string operationKeyLabel(const std::optional<std::string>& operationKey);

private:
    struct TokenEndpoint {
        boost::urls::url url;
        // Present for an endpoint a server named, which must not resolve to a private address.
        std::optional<std::string> privateAddressContext;
    };

    // Challenge handling; run while flowLock_ is held.
    boost::asio::awaitable<bool> refreshOrAuthorize(const boost::urls::url& endpoint,
                                                    const std::optional<OAuthBearerChallenge>& challenge,
                                                    const OAuthAccessToken& token, net::HTTPClient& session);
    boost::asio::awaitable<bool> authorize(const boost::urls::url& endpoint,
                                           const std::optional<OAuthBearerChallenge>& challenge,
                                           net::HTTPClient& session);
    boost::asio::awaitable<bool> stepUp(const boost::urls::url& endpoint, const OAuthBearerChallenge& challenge,
                                        const std::optional<std::string>& operationKey, net::HTTPClient& session);
    boost::asio::awaitable<bool> provideOrGrant(int statusCode, const boost::urls::url& endpoint,
                                                const std::optional<OAuthBearerChallenge>& challenge,
                                                const OAuthProtectedResourceMetadata& resourceMetadata,
                                                const std::optional<Scopes>& requestedScopes,
                                                net::HTTPClient& session);

    // The steps of an authorization (oauth_authorization_flow.cpp); run while flowLock_ is held.
    boost::asio::awaitable<OAuthProtectedResourceMetadata> resolveProtectedResourceMetadata(
        const boost::urls::url& endpoint, const std::optional<OAuthBearerChallenge>& challenge,
        net::HTTPClient& session);
    void validateProtectedResourceMetadata(const OAuthProtectedResourceMetadata& metadata,
                                           const boost::urls::url& endpoint) const;
    boost::asio::awaitable<OAuthAuthorizationServerMetadata> resolveAuthorizationServerMetadata(
        const OAuthProtectedResourceMetadata& resourceMetadata, net::HTTPClient& session);
    boost::urls::url resolveResourceURI(const boost::urls::url& endpoint) const;
    TokenEndpoint resolveTokenEndpoint(const OAuthAuthorizationServerMetadata& metadata) const;
    boost::asio::awaitable<OAuthTokenResponse> requestToken(std::map<std::string, std::string> grantParameters,
                                                            const boost::urls::url& resource,
                                                            const std::optional<Scopes>& requestedScopes,
                                                            const TokenEndpoint& tokenEndpoint,
                                                            net::HTTPClient& session) const;
    boost::asio::awaitable<void> runAuthorizationGrant(const boost::urls::url& endpoint,
                                                       const OAuthProtectedResourceMetadata& resourceMetadata,
                                                       const std::optional<Scopes>& requestedScopes,
                                                       net::HTTPClient& session);
    boost::asio::awaitable<void> ensureClientRegistration(const OAuthAuthorizationServerMetadata& metadata,
                                                          net::HTTPClient& session);
    boost::asio::awaitable<void> runAuthorizationCodeFlow(const boost::urls::url& resource,
                                                          const std::optional<Scopes>& requestedScopes,
                                                          const OAuthAuthorizationServerMetadata& metadata,
                                                          net::HTTPClient& session);
    // `keptRefreshToken` stays when the response brings no refresh token of its own.
    void storeTokenResponse(const OAuthTokenResponse& response, const std::optional<Scopes>& requestedScopes,
                            const boost::urls::url& resource, const std::optional<std::string>& keptRefreshToken);
    void storeProvidedAccessToken(std::string token, const std::optional<Scopes>& requestedScopes,
                                  const std::optional<boost::urls::url>& authorizationServer,
                                  const boost::urls::url& resource);
    // Whether `token` was issued for `endpoint`'s resource: neither it nor its refresh token
    // may go anywhere else.
    bool issuedFor(const OAuthAccessToken& token, const boost::urls::url& endpoint) const;
    std::optional<std::string> configuredClientID() const;
    std::optional<boost::urls::url> selectedAuthorizationServer() const;
    void setSelectedAuthorizationServer(std::optional<boost::urls::url> server);

    OAuthConfiguration configuration_;
    const std::shared_ptr<TokenStorage> tokenStorage_;
    const std::shared_ptr<const OAuthScopeSelecting> scopeSelector_;
    const std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser_;
    const std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery_;
    // Whether the configured authorization server, and every endpoint its metadata names, may
    // be on a private address: the program named that server itself.
    const bool privateServerAllowed_;
    const OAuthURLValidator urlValidator_;
    const OAuthDiscoveryClient discoveryClient_;
    const OAuthTokenEndpointClient tokenEndpointClient_;
    const OAuthClientRegistrar clientRegistrar_;
    const OAuthAuthorizationCodeFlow authCodeFlow_;

    // One challenge or refresh at a time; the fields below it are touched only while it is held.
    detail::AsyncLock flowLock_;
    std::optional<OAuthProtectedResourceMetadata> protectedResourceMetadata_;
    std::optional<OAuthAuthorizationServerMetadata> authorizationServerMetadata_;
    std::optional<boost::urls::url> cachedProtectedResourceMetadataURL_;
    std::map<std::string, int> stepUpAttempts_;
    bool clientRegistrationAttempted_ = false;
    std::optional<std::chrono::system_clock::time_point> clientSecretExpiresAt_;

    // Read by authorizationHeader() without the flow lock.
    mutable std::mutex selectedServerMutex_;
    std::optional<boost::urls::url> selectedAuthorizationServer_;  // guarded by selectedServerMutex_
};

}  // namespace mcp
