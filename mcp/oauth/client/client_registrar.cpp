#include "mcp/oauth/client/client_registrar.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/detail/url.hpp"
#include "mcp/json/json.hpp"
#include "mcp/oauth/client/detail/oauth_request.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/token_endpoint_client.hpp"

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using GrantType = OAuthConfiguration::GrantType;

// The server may register the client for another method than the "none" it asked for
// (RFC 7591, section 3.2.1), and its token endpoint then demands that method: a client that
// kept to "none" would be refused every token.
Authentication registeredAuthentication(const OAuthClientRegistrationResponse& response) {
    const auto& method = response.tokenEndpointAuthMethod;
    const auto& secret = response.clientSecret;
    if (!method || !secret || secret->empty()) return Authentication::none(response.clientID);
    if (*method == "client_secret_basic") return Authentication::clientSecretBasic(response.clientID, *secret);
    if (*method == "client_secret_post") return Authentication::clientSecretPost(response.clientID, *secret);
    return Authentication::none(response.clientID);
}

}  // namespace

bool isURLLikeClientID(std::string_view clientID) {
    const auto url = detail::parseURL(clientID);
    return url && url->has_scheme() && !url->scheme().empty();
}

bool isClientIDMetadataDocumentURL(std::string_view clientID) {
    const auto url = detail::parseURL(clientID);
    return url && detail::asciiLowercase(url->scheme()) == "https" && !url->path().empty() && url->path() != "/";
}

bool needsRegistration(const OAuthConfiguration& configuration, const OAuthAuthorizationServerMetadata& metadata) {
    const auto& authentication = configuration.authentication();
    if (!authentication.isNone()) return false;
    const auto& clientID = authentication.clientID();
    const bool documentURL = isClientIDMetadataDocumentURL(clientID);
    if (metadata.clientIDMetadataDocumentSupported == true && isURLLikeClientID(clientID)) {
        if (documentURL) return false;
        throw OAuthAuthorizationError::invalidClientIDMetadataURL(clientID);
    }
    if (!metadata.registrationEndpoint) {
        if (documentURL) throw OAuthAuthorizationError::cimdNotSupported(clientID);
        return false;
    }
    return true;
}

std::string registrationRequestBody(const OAuthConfiguration& configuration) {
    const bool codeGrant = configuration.grantType() == GrantType::authorizationCode;
    Value::Object body{
        {"client_name", Value(configuration.clientName())},
        {"grant_types", codeGrant ? Value(Value::Array{Value("authorization_code"), Value("refresh_token")})
                                  : Value(Value::Array{Value("client_credentials")})},
        {"token_endpoint_auth_method", Value("none")},
    };
    if (codeGrant) {
        body.insertOrAssign("response_types", Value(Value::Array{Value("code")}));
        body.insertOrAssign("redirect_uris",
                            Value(Value::Array{Value(std::string(configuration.authorizationRedirectURI().buffer()))}));
    }
    return writeJSON(Value(std::move(body)));
}

OAuthClientRegistration readRegistrationReply(int statusCode, std::string_view body) {
    if (statusCode < 200 || statusCode > 299) {
        throw OAuthAuthorizationError::tokenRequestFailed(statusCode, oauthErrorCode(body));
    }
    auto response = Codec<OAuthClientRegistrationResponse>::decode(parseJSON(body), {});
    auto authentication = registeredAuthentication(response);
    return {std::move(response), std::move(authentication)};
}

boost::asio::awaitable<std::optional<OAuthClientRegistration>> OAuthClientRegistrar::registerClientIfNeeded(
    OAuthConfiguration configuration, OAuthAuthorizationServerMetadata metadata, net::HTTPClient& session) const {
    if (!needsRegistration(configuration, metadata)) co_return std::nullopt;
    constexpr std::string_view kContext = "Client registration endpoint";
    const auto& endpoint = *metadata.registrationEndpoint;
    urlValidator_.validateAuthorizationServer(endpoint, kContext);
    auto request = detail::oauthRequest("POST", endpoint);
    request.headers.set("Content-Type", "application/json");
    request.headers.set("Accept", "application/json");
    request.body = registrationRequestBody(configuration);
    if (!allowPrivateAddresses_) detail::refusePrivateAddresses(request, std::string(kContext));
    const auto response = co_await session.fetch(std::move(request));
    co_return readRegistrationReply(response.status, response.body);
}

}  // namespace mcp
