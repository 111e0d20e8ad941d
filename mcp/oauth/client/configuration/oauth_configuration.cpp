#include "mcp/oauth/client/configuration/oauth_configuration.hpp"

#include "mcp/detail/number_text.hpp"
#include "mcp/detail/random.hpp"

#include <algorithm>

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

// The dynamic port range, where a port of our own choosing collides with no registered service.
constexpr std::uint64_t kFirstDynamicPort = 49152;
constexpr std::uint64_t kDynamicPortCount = 65536 - kFirstDynamicPort;

}  // namespace

std::optional<OAuthConfiguration::PrivateKeyJWTSigningAlgorithm> OAuthConfiguration::signingAlgorithm(
    std::string_view rawValue) {
    if (rawValue == "ES256") return PrivateKeyJWTSigningAlgorithm::ES256;
    return std::nullopt;
}

std::string_view OAuthConfiguration::rawValue(PrivateKeyJWTSigningAlgorithm) {
    return "ES256";
}

Authentication Authentication::clientSecretBasic(std::string clientID, std::string clientSecret) {
    return TokenEndpointAuthentication(ClientSecretBasic{std::move(clientID), std::move(clientSecret)});
}

Authentication Authentication::clientSecretPost(std::string clientID, std::string clientSecret) {
    return TokenEndpointAuthentication(ClientSecretPost{std::move(clientID), std::move(clientSecret)});
}

Authentication Authentication::none(std::string clientID) {
    return TokenEndpointAuthentication(None{std::move(clientID)});
}

Authentication Authentication::privateKeyJWT(std::string clientID, AssertionFactory assertionFactory) {
    return TokenEndpointAuthentication(PrivateKeyJWT{std::move(clientID), std::move(assertionFactory)});
}

const std::string& Authentication::clientID() const noexcept {
    return std::visit([](const auto& method) -> const std::string& { return method.clientID; }, method_);
}

OAuthConfiguration::PrivateKeyJWTAssertionError OAuthConfiguration::PrivateKeyJWTAssertionError::invalidLifetime(
    double lifetimeSeconds) {
    return PrivateKeyJWTAssertionError(
        Kind::invalidLifetime,
        "private_key_jwt assertion lifetime must be greater than zero seconds, got " + detail::doubleText(lifetimeSeconds),
        lifetimeSeconds);
}

OAuthConfiguration::PrivateKeyJWTAssertionError
OAuthConfiguration::PrivateKeyJWTAssertionError::cryptographyUnavailable() {
    return PrivateKeyJWTAssertionError(Kind::cryptographyUnavailable,
                                       "private_key_jwt assertion signing requires CryptoKit support", std::nullopt);
}

OAuthConfiguration::RetryPolicy::RetryPolicy(int maxAuthorizationAttempts, int maxScopeUpgradeAttempts)
    : maxAuthorizationAttempts_(std::max(1, maxAuthorizationAttempts)),
      maxScopeUpgradeAttempts_(std::max(1, maxScopeUpgradeAttempts)) {}

OAuthConfiguration::OAuthConfiguration(GrantType grantType, TokenEndpointAuthentication authentication,
                                       RetryPolicy retryPolicy, EndpointOverrides endpointOverrides,
                                       std::optional<boost::urls::url> authorizationRedirectURI, std::string clientName,
                                       std::map<std::string, std::string> additionalTokenRequestParameters,
                                       AccessTokenProvider accessTokenProvider,
                                       std::shared_ptr<OAuthAuthorizationDelegate> authorizationDelegate,
                                       double proactiveRefreshWindowSeconds)
    : grantType_(grantType),
      authentication_(std::move(authentication)),
      retryPolicy_(retryPolicy),
      endpointOverrides_(std::move(endpointOverrides)),
      authorizationRedirectURI_(authorizationRedirectURI ? std::move(*authorizationRedirectURI) : defaultRedirectURI()),
      additionalTokenRequestParameters_(std::move(additionalTokenRequestParameters)),
      clientName_(std::move(clientName)),
      accessTokenProvider_(std::move(accessTokenProvider)),
      authorizationDelegate_(std::move(authorizationDelegate)),
      proactiveRefreshWindowSeconds_(proactiveRefreshWindowSeconds) {}

OAuthConfiguration::OAuthConfiguration(Options options)
    : OAuthConfiguration(options.grantType, std::move(options.authentication), options.retryPolicy,
                         std::move(options.endpointOverrides), std::move(options.authorizationRedirectURI),
                         std::move(options.clientName), std::move(options.additionalTokenRequestParameters),
                         std::move(options.accessTokenProvider), std::move(options.authorizationDelegate),
                         options.proactiveRefreshWindowSeconds) {
    allowLoopbackHTTPAuthorizationServerEndpoints_ = options.allowLoopbackHTTPAuthorizationServerEndpoints;
    allowPrivateAddressesForConfiguredAuthorizationServer_ = options.allowPrivateAddressesForConfiguredAuthorizationServer;
}

boost::urls::url OAuthConfiguration::defaultRedirectURI() {
    const auto port = kFirstDynamicPort + detail::randomBelow(kDynamicPortCount);
    return boost::urls::url("http://127.0.0.1:" + std::to_string(port) + "/callback");
}

}  // namespace mcp
