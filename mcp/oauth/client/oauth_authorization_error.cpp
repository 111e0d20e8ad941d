#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <stdexcept>
#include <utility>

namespace mcp {
namespace {

using Kind = OAuthAuthorizationError::Kind;

std::string fixedDescription(Kind kind) {
    switch (kind) {
    case Kind::missingAuthorizationServer:
        return "No authorization server was found in protected resource metadata";
    case Kind::metadataDiscoveryFailed:
        return "Failed to discover protected resource metadata";
    case Kind::authorizationServerMetadataDiscoveryFailed:
        return "Failed to discover authorization server metadata";
    case Kind::tokenEndpointMissing:
        return "Authorization server metadata is missing token_endpoint";
    case Kind::tokenResponseInvalid:
        return "Token response is invalid";
    case Kind::registrationInformationRequired:
        return "No supported client registration mechanism was available; provide pre-registered client credentials";
    case Kind::authorizationResponseMissingRedirectLocation:
        return "Authorization response is missing redirect location";
    case Kind::authorizationResponseMissingState:
        return "Authorization response is missing state";
    case Kind::authorizationResponseMissingCode:
        return "Authorization response is missing the authorization code";
    case Kind::pkceCodeChallengeMethodsMissing:
        return "Authorization server metadata must include code_challenge_methods_supported for PKCE";
    case Kind::pkceS256Unavailable:
        return "PKCE S256 code challenge generation is unavailable on this platform";
    default:
        throw std::logic_error("OAuthAuthorizationError::make: this case carries values");
    }
}

}  // namespace

OAuthAuthorizationError::OAuthAuthorizationError(Kind kind, const std::string& description)
    : std::runtime_error(description), kind_(kind) {}

OAuthAuthorizationError OAuthAuthorizationError::make(Kind kind) {
    return OAuthAuthorizationError(kind, fixedDescription(kind));
}

OAuthAuthorizationError OAuthAuthorizationError::tokenRequestFailed(int statusCode,
                                                                    std::optional<std::string> oauthError) {
    std::string text = "Token request failed with status " + std::to_string(statusCode);
    if (oauthError && !oauthError->empty()) text += " (oauth_error: " + *oauthError + ")";
    OAuthAuthorizationError error(Kind::tokenRequestFailed, text);
    error.statusCode_ = statusCode;
    error.oauthError_ = std::move(oauthError);
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::invalidResourceURI(std::string text) {
    OAuthAuthorizationError error(Kind::invalidResourceURI, "Invalid resource URI: " + text);
    error.values_ = {std::move(text)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::invalidClientIDMetadataURL(std::string text) {
    OAuthAuthorizationError error(Kind::invalidClientIDMetadataURL,
                                  "Client ID metadata document URL must use https and include a path: " + text);
    error.values_ = {std::move(text)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::protectedResourceMismatch(std::string expected, std::string actual) {
    OAuthAuthorizationError error(
        Kind::protectedResourceMismatch,
        "Protected resource metadata resource mismatch. Expected " + expected + ", got " + actual);
    error.values_ = {std::move(expected), std::move(actual)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::cimdNotSupported(std::string clientID) {
    OAuthAuthorizationError error(
        Kind::cimdNotSupported,
        "Authorization server does not support Client ID Metadata Documents; configure pre-registered "
        "credentials or ensure the server advertises client_id_metadata_document_supported: " +
            clientID);
    error.values_ = {std::move(clientID)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::privateIPAddressBlocked(std::string context, std::string url,
                                                                         std::optional<std::string> address) {
    OAuthAuthorizationError error(
        Kind::privateIPAddressBlocked,
        context + " resolves to a private or reserved IP address which is blocked for SSRF protection: " + url +
            (address ? " (" + *address + ")" : ""));
    error.values_ = {std::move(context), std::move(url)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::insecureOAuthEndpoint(std::string context, std::string url) {
    OAuthAuthorizationError error(Kind::insecureOAuthEndpoint,
                                  context + " must use https or loopback http: " + url);
    error.values_ = {std::move(context), std::move(url)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::insecureAuthorizationServerEndpoint(std::string context,
                                                                                     std::string url) {
    OAuthAuthorizationError error(Kind::insecureAuthorizationServerEndpoint, context + " must use https: " + url);
    error.values_ = {std::move(context), std::move(url)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::invalidRedirectURI(std::string text) {
    OAuthAuthorizationError error(
        Kind::invalidRedirectURI,
        "Redirect URI must use https or loopback http and must not include fragments: " + text);
    error.values_ = {std::move(text)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationRequestFailed(int statusCode) {
    OAuthAuthorizationError error(Kind::authorizationRequestFailed,
                                  "Authorization request failed with status " + std::to_string(statusCode));
    error.statusCode_ = statusCode;
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationResponseRedirectMismatch(std::string expected,
                                                                                       std::string actual) {
    OAuthAuthorizationError error(
        Kind::authorizationResponseRedirectMismatch,
        "Authorization response redirect URI mismatch. Expected " + expected + ", got " + actual);
    error.values_ = {std::move(expected), std::move(actual)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationResponseStateMismatch(std::string expected,
                                                                                    std::string actual) {
    OAuthAuthorizationError error(Kind::authorizationResponseStateMismatch,
                                  "Authorization response state mismatch. Expected " + expected + ", got " + actual);
    error.values_ = {std::move(expected), std::move(actual)};
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::pkceS256NotSupported(std::vector<std::string> advertisedMethods) {
    std::string joined;
    for (std::size_t index = 0; index < advertisedMethods.size(); ++index) {
        if (index > 0) joined += ", ";
        joined += advertisedMethods[index];
    }
    OAuthAuthorizationError error(Kind::pkceS256NotSupported,
                                  "Authorization server metadata must support PKCE S256 (advertised: " + joined + ")");
    error.values_ = std::move(advertisedMethods);
    return error;
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationServerIssuerMismatch(std::string expected,
                                                                                   std::string actual) {
    OAuthAuthorizationError error(Kind::authorizationServerIssuerMismatch,
                                  "Authorization server issuer mismatch. Expected " + expected + ", got " + actual);
    error.values_ = {std::move(expected), std::move(actual)};
    return error;
}

}  // namespace mcp
