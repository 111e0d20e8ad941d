#include "mcp/oauth/client/token_endpoint_client.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/detail/base64.hpp"
#include "mcp/detail/whitespace.hpp"
#include "mcp/json/json.hpp"
#include "mcp/oauth/client/detail/form_encoding.hpp"
#include "mcp/oauth/client/detail/oauth_request.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <type_traits>

namespace mcp {
namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

}  // namespace

std::optional<std::string> oauthErrorCode(std::string_view body) {
    try {
        return Codec<OAuthTokenErrorResponse>::decode(parseJSON(body), {}).error;
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

boost::asio::awaitable<void> applyTokenEndpointAuthentication(const Authentication& authentication,
                                                              HTTPHeaders& headers,
                                                              std::map<std::string, std::string>& parameters,
                                                              const boost::urls::url& tokenEndpoint) {
    const auto& method = authentication.method();
    if (const auto* basic = std::get_if<Authentication::ClientSecretBasic>(&method)) {
        std::string credentials = "Basic ";
        detail::appendBase64(credentials, detail::percentEncodeUnreserved(basic->clientID) + ":" +
                                              detail::percentEncodeUnreserved(basic->clientSecret));
        headers.emplace_back("Authorization", std::move(credentials));
    } else if (const auto* post = std::get_if<Authentication::ClientSecretPost>(&method)) {
        parameters["client_id"] = post->clientID;
        parameters["client_secret"] = post->clientSecret;
    } else if (const auto* none = std::get_if<Authentication::None>(&method)) {
        parameters["client_id"] = none->clientID;
    } else if (const auto* jwt = std::get_if<Authentication::PrivateKeyJWT>(&method)) {
        parameters["client_id"] = jwt->clientID;
        parameters["client_assertion_type"] = std::string(kJWTBearerAssertionType);
        parameters["client_assertion"] = co_await jwt->assertionFactory(tokenEndpoint, jwt->clientID);
    }
}

OAuthTokenResponse readTokenEndpointReply(int statusCode, std::string_view body) {
    if (statusCode < 200 || statusCode > 299) {
        throw OAuthAuthorizationError::tokenRequestFailed(statusCode, oauthErrorCode(body));
    }
    auto response = Codec<OAuthTokenResponse>::decode(parseJSON(body), {});
    if (response.accessToken.empty() || detail::asciiLowercase(detail::trimWhitespace(response.tokenType)) != "bearer") {
        throw OAuthAuthorizationError::make(OAuthAuthorizationError::Kind::tokenResponseInvalid);
    }
    return response;
}

boost::asio::awaitable<OAuthTokenResponse> OAuthTokenEndpointClient::requestToken(
    std::map<std::string, std::string> parameters, boost::urls::url tokenEndpoint, Authentication authentication,
    net::HTTPClient& session, std::optional<std::string> privateAddressContext) const {
    auto request = detail::oauthRequest("POST", tokenEndpoint);
    request.headers.set("Content-Type", "application/x-www-form-urlencoded");
    request.headers.set("Accept", "application/json");
    HTTPHeaders authenticationHeaders;
    co_await applyTokenEndpointAuthentication(authentication, authenticationHeaders, parameters, tokenEndpoint);
    for (auto& [name, value] : authenticationHeaders) request.headers.set(name, std::move(value));
    request.body = detail::formURLEncode(parameters);
    if (privateAddressContext) detail::refusePrivateAddresses(request, std::move(*privateAddressContext));
    const auto response = co_await session.fetch(std::move(request));
    co_return readTokenEndpointReply(response.status, response.body);
}

}  // namespace mcp
