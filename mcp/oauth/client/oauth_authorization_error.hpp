#pragma once

// OAuthAuthorizationError: the one error type of the OAuth client. Every component of the client
// throws it for the failures it detects itself; errors of the network, of JSON decoding, of the
// cryptography and of hooks supplied by the program pass through as their own types.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp {

class OAuthAuthorizationError : public std::runtime_error {
public:
    enum class Kind {
        tokenRequestFailed,
        invalidResourceURI,
        invalidClientIDMetadataURL,
        protectedResourceMismatch,
        cimdNotSupported,
        privateIPAddressBlocked,
        insecureOAuthEndpoint,
        insecureAuthorizationServerEndpoint,
        invalidRedirectURI,
        authorizationRequestFailed,
        authorizationResponseRedirectMismatch,
        authorizationResponseStateMismatch,
        pkceS256NotSupported,
        authorizationServerIssuerMismatch,
        missingAuthorizationServer,
        metadataDiscoveryFailed,
        authorizationServerMetadataDiscoveryFailed,
        tokenEndpointMissing,
        tokenResponseInvalid,
        registrationInformationRequired,
        authorizationResponseMissingRedirectLocation,
        authorizationResponseMissingState,
        authorizationResponseMissingCode,
        pkceCodeChallengeMethodsMissing,
        pkceS256Unavailable,
    };

    // Each factory builds one case with its fixed description (`what()`); values are inserted
    // as they are, without quoting.
    static OAuthAuthorizationError tokenRequestFailed(int statusCode, std::optional<std::string> oauthError);
    static OAuthAuthorizationError invalidResourceURI(std::string text);
    static OAuthAuthorizationError invalidClientIDMetadataURL(std::string text);
    static OAuthAuthorizationError protectedResourceMismatch(std::string expected, std::string actual);
    static OAuthAuthorizationError cimdNotSupported(std::string clientID);
    // `address`, when given, is the refused address, named after the URL in parentheses.
    static OAuthAuthorizationError privateIPAddressBlocked(std::string context, std::string url,
                                                           std::optional<std::string> address = std::nullopt);
    static OAuthAuthorizationError insecureOAuthEndpoint(std::string context, std::string url);
    static OAuthAuthorizationError insecureAuthorizationServerEndpoint(std::string context, std::string url);
    static OAuthAuthorizationError invalidRedirectURI(std::string text);
    static OAuthAuthorizationError authorizationRequestFailed(int statusCode);
    static OAuthAuthorizationError authorizationResponseRedirectMismatch(std::string expected, std::string actual);
    static OAuthAuthorizationError authorizationResponseStateMismatch(std::string expected, std::string actual);
    static OAuthAuthorizationError pkceS256NotSupported(std::vector<std::string> advertisedMethods);
    static OAuthAuthorizationError authorizationServerIssuerMismatch(std::string expected, std::string actual);
    // The cases without values.
    static OAuthAuthorizationError make(Kind kind);

    Kind kind() const noexcept { return kind_; }
    // The HTTP status of tokenRequestFailed and authorizationRequestFailed; absent otherwise.
    std::optional<int> statusCode() const noexcept { return statusCode_; }
    // The OAuth "error" code of tokenRequestFailed, as the server sent it.
    const std::optional<std::string>& oauthError() const noexcept { return oauthError_; }
    // The text values of the case in declaration order (the two values of a pair such as
    // expected/actual, the advertised methods of pkceS256NotSupported, ...).
    const std::vector<std::string>& values() const noexcept { return values_; }
    // The description, the same text as `what()`.
    std::string errorDescription() const { return what(); }

private:
    OAuthAuthorizationError(Kind kind, const std::string& description);

    Kind kind_;
    std::optional<int> statusCode_;
    std::optional<std::string> oauthError_;
    std::vector<std::string> values_;
};

}  // namespace mcp
