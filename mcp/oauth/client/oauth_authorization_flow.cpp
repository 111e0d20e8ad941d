// The steps OAuthAuthorizer runs to obtain or renew a token: discovery, the resource URI,
// registration, the grants and storing the result.

#include "mcp/oauth/client/oauth_authorizer.hpp"

#include "mcp/detail/url.hpp"
#include "mcp/detail/uuid.hpp"
#include "mcp/detail/whitespace.hpp"
#include "mcp/oauth/client/detail/expiry_time.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/pkce.hpp"
#include "mcp/oauth/client/private_address.hpp"

#include <algorithm>

namespace mcp {
namespace {

using Clock = std::chrono::system_clock;
using Kind = OAuthAuthorizationError::Kind;

constexpr int kVerifierLength = 64;

bool listed(const std::vector<ProtectedResourceMetadataCandidate>& candidates, const boost::urls::url& url) {
    return std::any_of(candidates.begin(), candidates.end(),
                       [&](const ProtectedResourceMetadataCandidate& candidate) { return candidate.url == url; });
}

// Refuses `url` when its host is an IP literal in a private range. Names are judged when they
// are resolved, by the request's address check.
void refusePrivateLiteral(const boost::urls::url& url, std::string_view context) {
    if (isPrivateIPHost(urlHost(url))) {
        throw OAuthAuthorizationError::privateIPAddressBlocked(std::string(context), std::string(url.buffer()));
    }
}

}  // namespace

boost::asio::awaitable<OAuthProtectedResourceMetadata> OAuthAuthorizer::resolveProtectedResourceMetadata(
    const boost::urls::url& endpoint, const std::optional<OAuthBearerChallenge>& challenge, net::HTTPClient& session) {
    const auto challengedURL = challenge ? challenge->resourceMetadataURL() : std::nullopt;
    if (protectedResourceMetadata_) {
        if (!challengedURL || challengedURL == cachedProtectedResourceMetadataURL_) co_return *protectedResourceMetadata_;
        // The server now names other metadata: everything learned from the old one goes.
        protectedResourceMetadata_.reset();
        authorizationServerMetadata_.reset();
        setSelectedAuthorizationServer(std::nullopt);
        cachedProtectedResourceMetadataURL_.reset();
    }

    std::vector<ProtectedResourceMetadataCandidate> candidates;
    if (challengedURL) {
        constexpr std::string_view kContext = "Protected resource metadata URL";
        urlValidator_.validateHTTPSOrLoopback(*challengedURL, kContext);
        refusePrivateLiteral(*challengedURL, kContext);
        candidates.push_back({*challengedURL, std::string(kContext)});
    }
    if (const auto& configured = configuration_.endpointOverrides().protectedResourceMetadataURL) {
        if (!listed(candidates, *configured)) {
            urlValidator_.validateHTTPSOrLoopback(*configured, "Configured protected resource metadata URL");
            candidates.push_back({*configured, std::nullopt});
        }
    }
    for (auto& url : metadataDiscovery_->protectedResourceMetadataURLs(endpoint)) {
        if (!listed(candidates, url)) candidates.push_back({std::move(url), std::nullopt});
    }
    std::optional<boost::urls::url> fallbackIssuer;
    try {
        fallbackIssuer = metadataDiscovery_->authorizationServerFallbackIssuer(endpoint);
    } catch (const OAuthAuthorizationError&) {
        // No origin to fall back on.
    }

    std::optional<boost::urls::url> firstCandidate;
    if (!candidates.empty()) firstCandidate = candidates.front().url;
    auto metadata = co_await discoveryClient_.fetchProtectedResourceMetadata(std::move(candidates),
                                                                             std::move(fallbackIssuer), session);
    validateProtectedResourceMetadata(metadata, endpoint);
    protectedResourceMetadata_ = metadata;
    cachedProtectedResourceMetadataURL_ = std::move(firstCandidate);
    co_return metadata;
}

void OAuthAuthorizer::validateProtectedResourceMetadata(const OAuthProtectedResourceMetadata& metadata,
                                                        const boost::urls::url& endpoint) const {
    if (!metadata.resource) return;
    const std::string resource(detail::trimWhitespace(*metadata.resource));
    if (resource.empty()) return;
    const auto url = detail::parseURL(resource);
    if (!url) {
        throw OAuthAuthorizationError::invalidResourceURI(
            "Protected resource metadata contains an invalid resource URI: " + resource);
    }
    const auto expected = metadataDiscovery_->canonicalResourceURI(endpoint);
    const auto actual = metadataDiscovery_->canonicalResourceURI(*url);
    if (!metadataDiscovery_->protectedResourceMatches(actual, expected)) {
        throw OAuthAuthorizationError::protectedResourceMismatch(std::string(expected.buffer()),
                                                                 std::string(actual.buffer()));
    }
}

boost::asio::awaitable<OAuthAuthorizationServerMetadata> OAuthAuthorizer::resolveAuthorizationServerMetadata(
    const OAuthProtectedResourceMetadata& resourceMetadata, net::HTTPClient& session) {
    if (authorizationServerMetadata_) co_return *authorizationServerMetadata_;
    std::vector<boost::urls::url> servers;
    if (const auto& configured = configuration_.endpointOverrides().authorizationServerURL) {
        urlValidator_.validateAuthorizationServer(*configured, "Authorization server issuer");
        servers.push_back(*configured);
    } else if (auto selected = selectedAuthorizationServer()) {
        servers.push_back(std::move(*selected));
    } else {
        servers = resourceMetadata.authorizationServers;
    }
    if (servers.empty()) throw OAuthAuthorizationError::make(Kind::missingAuthorizationServer);
    auto found = co_await discoveryClient_.fetchAuthorizationServerMetadata(std::move(servers), session);
    setSelectedAuthorizationServer(found.server);
    authorizationServerMetadata_ = found.metadata;
    co_return std::move(found.metadata);
}

boost::urls::url OAuthAuthorizer::resolveResourceURI(const boost::urls::url& endpoint) const {
    const auto canonicalEndpoint = metadataDiscovery_->canonicalResourceURI(endpoint);
    const auto checked = [&](const boost::urls::url& resource) {
        auto canonical = metadataDiscovery_->canonicalResourceURI(resource);
        if (!metadataDiscovery_->protectedResourceMatches(canonical, canonicalEndpoint)) {
            throw OAuthAuthorizationError::protectedResourceMismatch(std::string(canonicalEndpoint.buffer()),
                                                                     std::string(canonical.buffer()));
        }
        return canonical;
    };
    if (const auto& configured = configuration_.endpointOverrides().resource) return checked(*configured);
    if (protectedResourceMetadata_ && protectedResourceMetadata_->resource) {
        if (const auto url = detail::parseURL(*protectedResourceMetadata_->resource)) return checked(*url);
    }
    return canonicalEndpoint;
}

OAuthAuthorizer::TokenEndpoint OAuthAuthorizer::resolveTokenEndpoint(
    const OAuthAuthorizationServerMetadata& metadata) const {
    if (const auto& configured = configuration_.endpointOverrides().tokenEndpoint) {
        urlValidator_.validateAuthorizationServer(*configured, "Configured token endpoint");
        return {*configured, std::nullopt};
    }
    if (!metadata.tokenEndpoint) throw OAuthAuthorizationError::make(Kind::tokenEndpointMissing);
    constexpr std::string_view kContext = "Token endpoint";
    urlValidator_.validateAuthorizationServer(*metadata.tokenEndpoint, kContext);
    if (privateServerAllowed_) return {*metadata.tokenEndpoint, std::nullopt};
    refusePrivateLiteral(*metadata.tokenEndpoint, kContext);
    return {*metadata.tokenEndpoint, std::string(kContext)};
}

boost::asio::awaitable<OAuthTokenResponse> OAuthAuthorizer::requestToken(
    std::map<std::string, std::string> grantParameters, const boost::urls::url& resource,
    const std::optional<Scopes>& requestedScopes, const TokenEndpoint& tokenEndpoint, net::HTTPClient& session) const {
    auto parameters = configuration_.additionalTokenRequestParameters();
    for (auto& [name, value] : grantParameters) parameters[name] = std::move(value);
    parameters["resource"] = std::string(resource.buffer());
    if (requestedScopes) {
        if (auto scope = scopeSelector_->serialize(*requestedScopes)) parameters["scope"] = std::move(*scope);
    }
    co_return co_await tokenEndpointClient_.requestToken(std::move(parameters), tokenEndpoint.url,
                                                         configuration_.authentication(), session,
                                                         tokenEndpoint.privateAddressContext);
}

boost::asio::awaitable<void> OAuthAuthorizer::runAuthorizationGrant(
    const boost::urls::url& endpoint, const OAuthProtectedResourceMetadata& resourceMetadata,
    const std::optional<Scopes>& requestedScopes, net::HTTPClient& session) {
    const auto metadata = co_await resolveAuthorizationServerMetadata(resourceMetadata, session);
    co_await ensureClientRegistration(metadata, session);
    const auto resource = resolveResourceURI(endpoint);
    if (configuration_.grantType() == OAuthConfiguration::GrantType::authorizationCode) {
        co_await runAuthorizationCodeFlow(resource, requestedScopes, metadata, session);
        co_return;
    }
    const auto tokenEndpoint = resolveTokenEndpoint(metadata);
    std::map<std::string, std::string> grant;
    grant["grant_type"] = "client_credentials";
    const auto response = co_await requestToken(std::move(grant), resource, requestedScopes, tokenEndpoint, session);
    storeTokenResponse(response, requestedScopes, resource, std::nullopt);
}

boost::asio::awaitable<void> OAuthAuthorizer::ensureClientRegistration(const OAuthAuthorizationServerMetadata& metadata,
                                                                       net::HTTPClient& session) {
    if (clientSecretExpiresAt_ && Clock::now() >= *clientSecretExpiresAt_) {
        clientSecretExpiresAt_.reset();
        clientRegistrationAttempted_ = false;
        configuration_.setAuthentication(
            OAuthConfiguration::TokenEndpointAuthentication::none(configuration_.authentication().clientID()));
    }
    if (clientRegistrationAttempted_ || !configuration_.authentication().isNone()) co_return;
    // Counted before the attempt: a registration that fails is not retried on every challenge.
    clientRegistrationAttempted_ = true;
    const auto registration = co_await clientRegistrar_.registerClientIfNeeded(configuration_, metadata, session);
    if (!registration) co_return;
    configuration_.setAuthentication(registration->authentication);
    const auto expiresAt = registration->response.clientSecretExpiresAt;
    if (expiresAt && *expiresAt >= 1) clientSecretExpiresAt_ = detail::secondsAfter(Clock::time_point(), *expiresAt);
}

boost::asio::awaitable<void> OAuthAuthorizer::runAuthorizationCodeFlow(const boost::urls::url& resource,
                                                                       const std::optional<Scopes>& requestedScopes,
                                                                       const OAuthAuthorizationServerMetadata& metadata,
                                                                       net::HTTPClient& session) {
    if (!metadata.authorizationEndpoint) {
        throw OAuthAuthorizationError::make(Kind::authorizationServerMetadataDiscoveryFailed);
    }
    constexpr std::string_view kContext = "Authorization endpoint";
    urlValidator_.validateAuthorizationServer(*metadata.authorizationEndpoint, kContext);
    if (!privateServerAllowed_) refusePrivateLiteral(*metadata.authorizationEndpoint, kContext);
    const auto& redirectURI = configuration_.authorizationRedirectURI();
    urlValidator_.validateRedirectURI(redirectURI);
    requireS256Support(metadata);

    const auto verifier = PKCE::makeVerifier(kVerifierLength);
    const auto state = detail::randomUUID();
    const auto authorizationURL =
        authCodeFlow_.buildURL(*metadata.authorizationEndpoint, resource, redirectURI,
                               configuration_.authentication().clientID(), PKCE::makeChallenge(verifier),
                               requestedScopes, state, *scopeSelector_);
    const auto code = co_await authCodeFlow_.perform(authorizationURL, redirectURI, state,
                                                     configuration_.authorizationDelegate(), session);
    const auto tokenEndpoint = resolveTokenEndpoint(metadata);
    std::map<std::string, std::string> grant;
    grant["grant_type"] = "authorization_code";
    grant["code"] = code;
    grant["code_verifier"] = verifier;
    grant["redirect_uri"] = std::string(redirectURI.buffer());
    const auto response = co_await requestToken(std::move(grant), resource, requestedScopes, tokenEndpoint, session);
    storeTokenResponse(response, requestedScopes, resource, std::nullopt);
}

void OAuthAuthorizer::storeTokenResponse(const OAuthTokenResponse& response, const std::optional<Scopes>& requestedScopes,
                                         const boost::urls::url& resource,
                                         const std::optional<std::string>& keptRefreshToken) {
    OAuthAccessToken token;
    token.value = response.accessToken;
    token.tokenType = "Bearer";
    if (response.expiresIn) token.expiresAt = detail::secondsAfter(Clock::now(), *response.expiresIn);
    if (response.scope) {
        token.scopes = scopeSelector_->parseScopeString(*response.scope);
    } else if (requestedScopes) {
        token.scopes = *requestedScopes;
    }
    token.authorizationServer = selectedAuthorizationServer();
    // RFC 6749 section 6: a refresh answer without a new refresh token leaves the old one valid.
    token.refreshToken = response.refreshToken ? response.refreshToken : keptRefreshToken;
    token.clientID = configuredClientID();
    token.resource = resource;
    tokenStorage_->save(token);
}

void OAuthAuthorizer::storeProvidedAccessToken(std::string value, const std::optional<Scopes>& requestedScopes,
                                               const std::optional<boost::urls::url>& authorizationServer,
                                               const boost::urls::url& resource) {
    OAuthAccessToken token;
    token.value = std::move(value);
    token.tokenType = "Bearer";
    token.scopes = requestedScopes.value_or(Scopes{});
    token.authorizationServer = authorizationServer;
    token.clientID = configuredClientID();
    token.resource = resource;
    tokenStorage_->save(token);
}

std::optional<std::string> OAuthAuthorizer::configuredClientID() const {
    const auto& clientID = configuration_.authentication().clientID();
    if (clientID.empty()) return std::nullopt;
    return clientID;
}

}  // namespace mcp
