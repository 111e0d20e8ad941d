#include "mcp/oauth/client/oauth_authorizer.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/detail/whitespace.hpp"
#include "mcp/oauth/client/metadata_discovery.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"


namespace mcp {
namespace {

using Clock = std::chrono::system_clock;

constexpr int kUnauthorized = 401;
constexpr int kForbidden = 403;

std::map<std::string, std::string> refreshGrant(const std::string& refreshToken) {
    return {{"grant_type", "refresh_token"}, {"refresh_token", refreshToken}};
}

// `given`, or the library's own `Default` when it is empty.
template <class Default, class T>
std::shared_ptr<T> givenOr(std::shared_ptr<T> given) {
    return given ? std::move(given) : std::make_shared<Default>();
}

}  // namespace

OAuthAuthorizer::OAuthAuthorizer(OAuthConfiguration configuration, std::shared_ptr<TokenStorage> tokenStorage,
                                 std::shared_ptr<const OAuthScopeSelecting> scopeSelector,
                                 std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser,
                                 std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery)
    : configuration_(std::move(configuration)),
      tokenStorage_(givenOr<InMemoryTokenStorage>(std::move(tokenStorage))),
      scopeSelector_(givenOr<DefaultOAuthScopeSelector>(std::move(scopeSelector))),
      challengeParser_(givenOr<DefaultOAuthWWWAuthenticateParser>(std::move(challengeParser))),
      metadataDiscovery_(givenOr<DefaultOAuthMetadataDiscovery>(std::move(metadataDiscovery))),
      privateServerAllowed_(configuration_.allowPrivateAddressesForConfiguredAuthorizationServer() &&
                            configuration_.endpointOverrides().authorizationServerURL.has_value()),
      urlValidator_(configuration_.allowLoopbackHTTPAuthorizationServerEndpoints()),
      discoveryClient_(metadataDiscovery_, urlValidator_, privateServerAllowed_),
      clientRegistrar_(urlValidator_, privateServerAllowed_),
      authCodeFlow_(privateServerAllowed_) {}

int OAuthAuthorizer::maxAuthorizationAttempts() const {
    return configuration_.retryPolicy().maxAuthorizationAttempts();
}

void OAuthAuthorizer::validateEndpointSecurity(const boost::urls::url& endpoint) {
    urlValidator_.validateHTTPSOrLoopback(endpoint, "MCP endpoint");
}

std::optional<std::string> OAuthAuthorizer::authorizationHeader(const boost::urls::url& endpoint) {
    const auto token = tokenStorage_->load();
    if (!token) return std::nullopt;
    if (!issuedFor(*token, endpoint)) return std::nullopt;
    const auto selected = selectedAuthorizationServer();
    if (token->authorizationServer && selected && !authorizationServerMatches(*token->authorizationServer, *selected)) {
        return std::nullopt;
    }
    if (token->isExpired(Clock::now(), OAuthTokenExpirySkew::defaultSeconds)) return std::nullopt;
    return "Bearer " + token->value;
}

boost::asio::awaitable<bool> OAuthAuthorizer::handleChallenge(int statusCode, const net::HeaderMap& headers,
                                                              const boost::urls::url& endpoint,
                                                              std::optional<std::string> operationKey,
                                                              net::HTTPClient& session) {
    validateEndpointSecurity(endpoint);
    const auto challenge = challengeParser_->parseBearer(headers.fields());
    if (statusCode == kForbidden) {
        if (!challenge || challenge->parameters.empty() || !challenge->error() ||
            detail::asciiLowercase(*challenge->error()) != "insufficient_scope") {
            co_return false;
        }
    } else if (statusCode != kUnauthorized) {
        co_return false;
    }

    // The header the challenged request carried, as far as can be told now; if another caller
    // stores a different one while this one waits, the request is simply sent again with it.
    const auto sentHeader = authorizationHeader(endpoint);
    const auto guard = co_await flowLock_.lock();
    const auto currentHeader = authorizationHeader(endpoint);
    if (currentHeader && currentHeader != sentHeader) co_return true;

    if (statusCode == kForbidden) co_return co_await stepUp(endpoint, *challenge, operationKey, session);
    const auto token = tokenStorage_->load();
    if (token && token->refreshToken && issuedFor(*token, endpoint)) {
        co_return co_await refreshOrAuthorize(endpoint, challenge, *token, session);
    }
    co_return co_await authorize(endpoint, challenge, session);
}

boost::asio::awaitable<bool> OAuthAuthorizer::refreshOrAuthorize(const boost::urls::url& endpoint,
                                                                 const std::optional<OAuthBearerChallenge>& challenge,
                                                                 const OAuthAccessToken& token,
                                                                 net::HTTPClient& session) {
    const auto resourceMetadata = co_await resolveProtectedResourceMetadata(endpoint, challenge, session);
    const auto serverMetadata = co_await resolveAuthorizationServerMetadata(resourceMetadata, session);
    const auto resource = resolveResourceURI(endpoint);
    const auto requestedScopes = scopeSelector_->selectScopes(challenge ? challenge->scope() : std::nullopt,
                                                              resourceMetadata.scopesSupported);
    std::optional<TokenEndpoint> tokenEndpoint;
    try {
        tokenEndpoint = resolveTokenEndpoint(serverMetadata);
    } catch (const OAuthAuthorizationError&) {
        // Without a usable token endpoint there is nothing to refresh at.
    }
    if (!tokenEndpoint) co_return co_await authorize(endpoint, challenge, session);
    try {
        const auto response =
            co_await requestToken(refreshGrant(*token.refreshToken), resource, requestedScopes, *tokenEndpoint, session);
        storeTokenResponse(response, requestedScopes, resource, token.refreshToken);
        co_return true;
    } catch (const OAuthAuthorizationError& error) {
        const auto status = error.statusCode();
        if (error.kind() != OAuthAuthorizationError::Kind::tokenRequestFailed || !status || *status < 400 ||
            *status > 499) {
            throw;
        }
    }
    // The server no longer honours the refresh token: authorize anew within the same challenge.
    co_return co_await authorize(endpoint, challenge, session);
}

boost::asio::awaitable<bool> OAuthAuthorizer::authorize(const boost::urls::url& endpoint,
                                                        const std::optional<OAuthBearerChallenge>& challenge,
                                                        net::HTTPClient& session) {
    const auto resourceMetadata = co_await resolveProtectedResourceMetadata(endpoint, challenge, session);
    const auto requestedScopes = scopeSelector_->selectScopes(challenge ? challenge->scope() : std::nullopt,
                                                              resourceMetadata.scopesSupported);
    co_return co_await provideOrGrant(kUnauthorized, endpoint, challenge, resourceMetadata, requestedScopes, session);
}

boost::asio::awaitable<bool> OAuthAuthorizer::stepUp(const boost::urls::url& endpoint,
                                                     const OAuthBearerChallenge& challenge,
                                                     const std::optional<std::string>& operationKey,
                                                     net::HTTPClient& session) {
    const auto resourceMetadata = co_await resolveProtectedResourceMetadata(endpoint, challenge, session);
    auto merged = scopeSelector_->selectScopes(challenge.scope(), resourceMetadata.scopesSupported).value_or(Scopes{});
    if (const auto token = tokenStorage_->load()) merged.insert(token->scopes.begin(), token->scopes.end());
    const auto resource = metadataDiscovery_->canonicalResourceURI(endpoint);

    std::string key = std::string(resource.buffer()) + "|" + operationKeyLabel(operationKey) + "|";
    for (const auto& scope : merged) {
        if (&scope != &*merged.begin()) key += ' ';
        key += scope;
    }
    int& attempts = stepUpAttempts_[key];
    if (attempts >= configuration_.retryPolicy().maxScopeUpgradeAttempts()) co_return false;
    ++attempts;

    std::optional<Scopes> requestedScopes;
    if (!merged.empty()) requestedScopes = std::move(merged);
    co_return co_await provideOrGrant(kForbidden, endpoint, challenge, resourceMetadata, requestedScopes, session);
}

boost::asio::awaitable<bool> OAuthAuthorizer::provideOrGrant(int statusCode, const boost::urls::url& endpoint,
                                                             const std::optional<OAuthBearerChallenge>& challenge,
                                                             const OAuthProtectedResourceMetadata& resourceMetadata,
                                                             const std::optional<Scopes>& requestedScopes,
                                                             net::HTTPClient& session) {
    const auto serverMetadata = co_await resolveAuthorizationServerMetadata(resourceMetadata, session);
    const auto resource = resolveResourceURI(endpoint);
    if (const auto& provider = configuration_.accessTokenProvider()) {
        const auto& overrides = configuration_.endpointOverrides();
        OAuthConfiguration::AccessTokenProviderContext context;
        context.statusCode = statusCode;
        context.endpoint = endpoint;
        context.resource = resource;
        context.authorizationServer = overrides.authorizationServerURL;
        if (!context.authorizationServer) context.authorizationServer = selectedAuthorizationServer();
        if (!context.authorizationServer && !resourceMetadata.authorizationServers.empty()) {
            context.authorizationServer = resourceMetadata.authorizationServers.front();
        }
        context.authorizationEndpoint = serverMetadata.authorizationEndpoint;
        context.tokenEndpoint = overrides.tokenEndpoint ? overrides.tokenEndpoint : serverMetadata.tokenEndpoint;
        context.registrationEndpoint = serverMetadata.registrationEndpoint;
        context.challengedScope = challenge ? challenge->scope() : std::nullopt;
        context.scopesSupported = resourceMetadata.scopesSupported;
        context.requestedScopes = requestedScopes;
        auto provided = co_await provider(context, session);
        if (provided && !provided->empty()) {
            storeProvidedAccessToken(std::move(*provided), requestedScopes, context.authorizationServer, resource);
            co_return true;
        }
    }
    co_await runAuthorizationGrant(endpoint, resourceMetadata, requestedScopes, session);
    co_return true;
}

boost::asio::awaitable<void> OAuthAuthorizer::prepareAuthorization(const boost::urls::url& endpoint,
                                                                   net::HTTPClient& session) {
    const double window = configuration_.proactiveRefreshWindowSeconds();
    if (!(window > 0)) co_return;
    const auto guard = co_await flowLock_.lock();
    const auto token = tokenStorage_->load();
    if (!token || !token->expiresAt || !token->isExpired(Clock::now(), window) || !token->refreshToken ||
        !issuedFor(*token, endpoint)) {
        co_return;
    }
    if (!authorizationServerMetadata_ || !authorizationServerMetadata_->tokenEndpoint) co_return;
    try {
        const auto resource = resolveResourceURI(endpoint);
        std::optional<Scopes> requestedScopes;
        if (!token->scopes.empty()) requestedScopes = token->scopes;
        const auto tokenEndpoint = resolveTokenEndpoint(*authorizationServerMetadata_);
        const auto response =
            co_await requestToken(refreshGrant(*token->refreshToken), resource, requestedScopes, tokenEndpoint, session);
        storeTokenResponse(response, requestedScopes, resource, token->refreshToken);
    } catch (const std::exception&) {
        // The old token stays; a challenge will sort things out.
    }
}

bool OAuthAuthorizer::issuedFor(const OAuthAccessToken& token, const boost::urls::url& endpoint) const {
    // One storage may serve several servers: a token of one, or its refresh token, must never
    // reach another or that one's authorization server.
    return token.resource && metadataDiscovery_->protectedResourceMatches(*token.resource, endpoint);
}

std::optional<boost::urls::url> OAuthAuthorizer::normalizeAuthorizationServerURL(boost::urls::url_view url) {
    const auto scheme = detail::asciiLowercase(url.scheme());
    if (!url.has_scheme() || !url.has_authority() || url.encoded_host().empty() ||
        (scheme != "http" && scheme != "https")) {
        return std::nullopt;
    }
    boost::urls::url normalized(url);
    normalized.set_scheme(scheme);
    normalized.set_encoded_host(detail::asciiLowercase(url.encoded_host()));
    normalized.remove_query();
    normalized.remove_fragment();
    if (normalized.encoded_path() == "/") normalized.set_encoded_path("");
    return normalized;
}

bool OAuthAuthorizer::authorizationServerMatches(boost::urls::url_view a, boost::urls::url_view b) {
    return normalizeAuthorizationServerURL(a) == normalizeAuthorizationServerURL(b);
}

std::string OAuthAuthorizer::operationKeyLabel(const std::optional<std::string>& operationKey) {
    const auto trimmed = operationKey ? detail::trimWhitespace(*operationKey) : std::string_view();
    return trimmed.empty() ? std::string("<unknown>") : std::string(trimmed);
}

std::optional<boost::urls::url> OAuthAuthorizer::selectedAuthorizationServer() const {
    const std::lock_guard lock(selectedServerMutex_);
    return selectedAuthorizationServer_;
}

void OAuthAuthorizer::setSelectedAuthorizationServer(std::optional<boost::urls::url> server) {
    const std::lock_guard lock(selectedServerMutex_);
    selectedAuthorizationServer_ = std::move(server);
}

}  // namespace mcp
