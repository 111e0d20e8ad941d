#pragma once

// OAuthConfiguration: how the OAuth client obtains tokens for a protected MCP server: the grant
// it runs, who the client is and how it authenticates at the token endpoint, its retry limits,
// endpoints fixed in advance, the redirect URI, extra token parameters and the program's hooks.
// A plain value: copying a configuration copies all of it.

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace net {
class HTTPClient;
}

namespace mcp {

// OAuthTokenExpirySkew: a stored token that expires within this many seconds counts as expired.
struct OAuthTokenExpirySkew {
    static constexpr double defaultSeconds = 30.0;
};

// OAuthAuthorizationDelegate: lets the program run the user-facing part of the authorization-code
// grant (a browser, an embedded web view) instead of the client fetching the authorization URL.
class OAuthAuthorizationDelegate {
public:
    virtual ~OAuthAuthorizationDelegate() = default;

    // presentAuthorizationURL: shows `authorizationURL` to the user and completes with the URL
    // the authorization server redirected to (carrying "code" and "state"). May throw; the error
    // ends the authorization unchanged.
    virtual boost::asio::awaitable<boost::urls::url> presentAuthorizationURL(boost::urls::url authorizationURL) = 0;
};

class OAuthConfiguration {
public:
    enum class GrantType { authorizationCode, clientCredentials };

    // PrivateKeyJWTSigningAlgorithm: the signature algorithms of client assertions.
    enum class PrivateKeyJWTSigningAlgorithm { ES256 };
    // The algorithm named exactly `rawValue` ("ES256"; the comparison is case-sensitive).
    static std::optional<PrivateKeyJWTSigningAlgorithm> signingAlgorithm(std::string_view rawValue);
    static std::string_view rawValue(PrivateKeyJWTSigningAlgorithm algorithm);

    // AssertionFactory: makes a fresh client assertion for one token request, given the token
    // endpoint and the client ID. It may run concurrently with itself.
    using AssertionFactory =
        std::function<boost::asio::awaitable<std::string>(boost::urls::url tokenEndpoint, std::string clientID)>;

    // TokenEndpointAuthentication: the client's identity and how it authenticates at the token
    // endpoint. Two values are equal when they are the same method with equal client IDs and,
    // for the secret methods, equal secrets; assertion factories take no part.
    class TokenEndpointAuthentication {
    public:
        struct ClientSecretBasic {
            std::string clientID;
            std::string clientSecret;
            friend bool operator==(const ClientSecretBasic&, const ClientSecretBasic&) = default;
        };
        struct ClientSecretPost {
            std::string clientID;
            std::string clientSecret;
            friend bool operator==(const ClientSecretPost&, const ClientSecretPost&) = default;
        };
        struct None {
            std::string clientID;
            friend bool operator==(const None&, const None&) = default;
        };
        struct PrivateKeyJWT {
            std::string clientID;
            AssertionFactory assertionFactory;
            friend bool operator==(const PrivateKeyJWT& a, const PrivateKeyJWT& b) { return a.clientID == b.clientID; }
        };
        using Method = std::variant<ClientSecretBasic, ClientSecretPost, None, PrivateKeyJWT>;

        static TokenEndpointAuthentication clientSecretBasic(std::string clientID, std::string clientSecret);
        static TokenEndpointAuthentication clientSecretPost(std::string clientID, std::string clientSecret);
        static TokenEndpointAuthentication none(std::string clientID);
        static TokenEndpointAuthentication privateKeyJWT(std::string clientID, AssertionFactory assertionFactory);

        const Method& method() const noexcept { return method_; }
        const std::string& clientID() const noexcept;
        bool isNone() const noexcept { return std::holds_alternative<None>(method_); }

        friend bool operator==(const TokenEndpointAuthentication&, const TokenEndpointAuthentication&) = default;

    private:
        explicit TokenEndpointAuthentication(Method method) : method_(std::move(method)) {}
        Method method_;
    };

    // PrivateKeyJWTAssertionError: why a client assertion could not be made.
    class PrivateKeyJWTAssertionError : public std::runtime_error {
    public:
        enum class Kind { invalidLifetime, cryptographyUnavailable };

        // "private_key_jwt assertion lifetime must be greater than zero seconds, got " and the
        // lifetime's standard text ("0.0", "-5.0", "nan").
        static PrivateKeyJWTAssertionError invalidLifetime(double lifetimeSeconds);
        static PrivateKeyJWTAssertionError cryptographyUnavailable();

        Kind kind() const noexcept { return kind_; }
        // The refused lifetime of invalidLifetime.
        std::optional<double> lifetimeSeconds() const noexcept { return lifetimeSeconds_; }

    private:
        PrivateKeyJWTAssertionError(Kind kind, const std::string& description, std::optional<double> lifetimeSeconds)
            : std::runtime_error(description), kind_(kind), lifetimeSeconds_(lifetimeSeconds) {}
        Kind kind_;
        std::optional<double> lifetimeSeconds_;
    };

    // RetryPolicy: how many authorization attempts the HTTP client transport makes for one
    // request, and how often one resource, operation and scope set may be stepped up after a
    // 403 "insufficient_scope". Values below 1 become 1; there is no upper bound. The default
    // is 3 and 2.
    class RetryPolicy {
    public:
        RetryPolicy() noexcept : maxAuthorizationAttempts_(3), maxScopeUpgradeAttempts_(2) {}
        RetryPolicy(int maxAuthorizationAttempts, int maxScopeUpgradeAttempts);

        int maxAuthorizationAttempts() const noexcept { return maxAuthorizationAttempts_; }
        int maxScopeUpgradeAttempts() const noexcept { return maxScopeUpgradeAttempts_; }

    private:
        int maxAuthorizationAttempts_;
        int maxScopeUpgradeAttempts_;
    };

    // EndpointOverrides: endpoints fixed by the program that replace discovery. The default value
    // fixes none.
    struct EndpointOverrides {
        std::optional<boost::urls::url> protectedResourceMetadataURL;
        std::optional<boost::urls::url> authorizationServerURL;
        std::optional<boost::urls::url> tokenEndpoint;
        std::optional<boost::urls::url> resource;
    };

    // AccessTokenProviderContext: what the access-token provider is told about a challenge.
    struct AccessTokenProviderContext {
        int statusCode = 0;
        boost::urls::url endpoint;
        boost::urls::url resource;
        std::optional<boost::urls::url> authorizationServer;
        std::optional<boost::urls::url> authorizationEndpoint;
        std::optional<boost::urls::url> tokenEndpoint;
        std::optional<boost::urls::url> registrationEndpoint;
        std::optional<std::string> challengedScope;
        std::optional<std::vector<std::string>> scopesSupported;
        std::optional<std::set<std::string>> requestedScopes;
    };

    // AccessTokenProvider: a hook consulted when a server challenges the client, before any
    // grant runs: a token it answers (absent or "" for none) is used as it is. It gets the HTTP
    // client of the transport for requests of its own, and may run concurrently with itself.
    using AccessTokenProvider = std::function<boost::asio::awaitable<std::optional<std::string>>(
        const AccessTokenProviderContext& context, net::HTTPClient& session)>;

    // Options: the constructor's arguments by name, with the two allowances, for designated
    // initializers (defined below the class).
    struct Options;

    // Stores every argument unchanged and validates nothing: a bad redirect URI is refused when
    // the authorization-code grant runs. Without `authorizationRedirectURI` the configuration
    // draws its own (see defaultRedirectURI) once, here; copies keep it.
    explicit OAuthConfiguration(Options options);
    OAuthConfiguration(GrantType grantType, TokenEndpointAuthentication authentication,
                       RetryPolicy retryPolicy = {}, EndpointOverrides endpointOverrides = {},
                       std::optional<boost::urls::url> authorizationRedirectURI = std::nullopt,
                       std::string clientName = "MCP Client",
                       std::map<std::string, std::string> additionalTokenRequestParameters = {},
                       AccessTokenProvider accessTokenProvider = nullptr,
                       std::shared_ptr<OAuthAuthorizationDelegate> authorizationDelegate = nullptr,
                       double proactiveRefreshWindowSeconds = 0);

    // makePrivateKeyJWTAssertion: a signed client assertion (RFC 7523) for private_key_jwt, in
    // compact JWS form: header {"alg":"ES256","typ":"JWT"}; claims iss = sub = `clientID`, aud =
    // `audience` or else the token endpoint, iat = `issuedAt` in whole seconds (truncated), exp =
    // iat + the lifetime rounded down but at least 1, jti = a fresh upper-case UUID; signature
    // ECDSA P-256 with SHA-256 in its raw 64-byte form. `privateKeyPEM` holds a P-256 key as SEC1
    // ("EC PRIVATE KEY") or PKCS #8 ("PRIVATE KEY") PEM. Throws PrivateKeyJWTAssertionError
    // invalidLifetime when `lifetimeSeconds` is not above zero (before the key is read), and
    // std::runtime_error when the key cannot be read (an encrypted key included: there is
    // nobody to ask for its password), is not a P-256 key, or signing fails. Fits the first two
    // parameters of an AssertionFactory.
    static std::string makePrivateKeyJWTAssertion(std::string_view clientID, const boost::urls::url& tokenEndpoint,
                                                  std::string_view privateKeyPEM,
                                                  PrivateKeyJWTSigningAlgorithm signingAlgorithm,
                                                  const std::optional<std::string>& audience,
                                                  std::chrono::system_clock::time_point issuedAt,
                                                  double lifetimeSeconds);

    // defaultRedirectURI: "http://127.0.0.1:" + a port drawn uniformly from 49152-65535 +
    // "/callback". Nothing listens there: the grant takes the redirect from the authorization
    // server's answer or from the delegate.
    static boost::urls::url defaultRedirectURI();

    GrantType grantType() const noexcept { return grantType_; }
    const TokenEndpointAuthentication& authentication() const noexcept { return authentication_; }
    // The authorizer replaces the authentication with the outcome of a dynamic registration.
    void setAuthentication(TokenEndpointAuthentication authentication) { authentication_ = std::move(authentication); }
    const RetryPolicy& retryPolicy() const noexcept { return retryPolicy_; }
    const EndpointOverrides& endpointOverrides() const noexcept { return endpointOverrides_; }
    // Whether authorization server endpoints may be plain http on a loopback host. False on
    // every new configuration; read once, when the authorizer is made.
    bool allowLoopbackHTTPAuthorizationServerEndpoints() const noexcept {
        return allowLoopbackHTTPAuthorizationServerEndpoints_;
    }
    void setAllowLoopbackHTTPAuthorizationServerEndpoints(bool allow) noexcept {
        allowLoopbackHTTPAuthorizationServerEndpoints_ = allow;
    }
    // Whether the authorization server the program names in `endpointOverrides` may be reached
    // on a private network address (a name on the company network, 10.0.0.5), and with it every
    // endpoint the flow then calls for that server: its metadata, and the token, authorization
    // and registration endpoints that metadata names. A server an MCP server names is refused
    // on a private address whatever this says. False on every new configuration; read once,
    // when the authorizer is made.
    bool allowPrivateAddressesForConfiguredAuthorizationServer() const noexcept {
        return allowPrivateAddressesForConfiguredAuthorizationServer_;
    }
    void setAllowPrivateAddressesForConfiguredAuthorizationServer(bool allow) noexcept {
        allowPrivateAddressesForConfiguredAuthorizationServer_ = allow;
    }
    const boost::urls::url& authorizationRedirectURI() const noexcept { return authorizationRedirectURI_; }
    const std::map<std::string, std::string>& additionalTokenRequestParameters() const noexcept {
        return additionalTokenRequestParameters_;
    }
    const std::string& clientName() const noexcept { return clientName_; }
    const AccessTokenProvider& accessTokenProvider() const noexcept { return accessTokenProvider_; }
    const std::shared_ptr<OAuthAuthorizationDelegate>& authorizationDelegate() const noexcept {
        return authorizationDelegate_;
    }
    // How long before expiry a token is refreshed ahead of use; 0 or less turns that off.
    double proactiveRefreshWindowSeconds() const noexcept { return proactiveRefreshWindowSeconds_; }

private:
    GrantType grantType_;
    TokenEndpointAuthentication authentication_;
    RetryPolicy retryPolicy_;
    EndpointOverrides endpointOverrides_;
    bool allowLoopbackHTTPAuthorizationServerEndpoints_ = false;
    bool allowPrivateAddressesForConfiguredAuthorizationServer_ = false;
    boost::urls::url authorizationRedirectURI_;
    std::map<std::string, std::string> additionalTokenRequestParameters_;
    std::string clientName_;
    AccessTokenProvider accessTokenProvider_;
    std::shared_ptr<OAuthAuthorizationDelegate> authorizationDelegate_;
    double proactiveRefreshWindowSeconds_;
};

// What is left out takes the positional constructor's default; the grant defaults to the
// authorization code and the client to a public one without an ID yet, which registers where
// the server lets it.
//
//     OAuthConfiguration configuration({
//         .grantType = OAuthConfiguration::GrantType::clientCredentials,
//         .authentication = OAuthConfiguration::TokenEndpointAuthentication::clientSecretBasic(id, secret)});
struct OAuthConfiguration::Options {
    GrantType grantType = GrantType::authorizationCode;
    TokenEndpointAuthentication authentication = TokenEndpointAuthentication::none("");
    RetryPolicy retryPolicy;
    EndpointOverrides endpointOverrides;
    std::optional<boost::urls::url> authorizationRedirectURI;
    std::string clientName = "MCP Client";
    std::map<std::string, std::string> additionalTokenRequestParameters;
    AccessTokenProvider accessTokenProvider;
    std::shared_ptr<OAuthAuthorizationDelegate> authorizationDelegate;
    double proactiveRefreshWindowSeconds = 0;
    bool allowLoopbackHTTPAuthorizationServerEndpoints = false;
    bool allowPrivateAddressesForConfiguredAuthorizationServer = false;
};

}  // namespace mcp
