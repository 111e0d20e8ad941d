#include "oauth_setup.hpp"

#include "mcp/json/json.hpp"
#include "mcp/oauth/client/configuration/oauth_configuration.hpp"
#include "mcp/oauth/client/oauth_authorizer.hpp"

#include <chrono>
#include <optional>
#include <string>

namespace conformance {
namespace {

namespace asio = boost::asio;
using mcp::OAuthConfiguration;
using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

// The client's metadata document: its URL is its id where the authorization server reads them.
constexpr std::string_view kClientMetadataURL = "https://conformance-test.local/client-metadata.json";

std::optional<std::string> field(const mcp::Value& context, std::string_view name) {
    const auto* object = context.objectValue();
    const mcp::Value* value = object ? object->find(name) : nullptr;
    if (!value || !value->stringValue()) return std::nullopt;
    return *value->stringValue();
}

// The assertion's audience is the authorization server, whose issuer is the origin of its
// token endpoint.
Authentication privateKeyJWT(std::string clientID, std::string privateKeyPEM) {
    return Authentication::privateKeyJWT(
        std::move(clientID),
        [pem = std::move(privateKeyPEM)](boost::urls::url tokenEndpoint,
                                         std::string assertedClientID) -> asio::awaitable<std::string> {
            boost::urls::url issuer = tokenEndpoint;
            issuer.set_path("");
            issuer.remove_query();
            co_return OAuthConfiguration::makePrivateKeyJWTAssertion(
                assertedClientID, tokenEndpoint, pem, OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256,
                std::string(issuer.buffer()), std::chrono::system_clock::now(), 300);
        });
}

OAuthConfiguration configuration(std::string_view scenario, const mcp::Value& context) {
    const auto clientID = field(context, "client_id");
    const auto secret = field(context, "client_secret");
    if (scenario.starts_with("auth/client-credentials") && clientID) {
        if (const auto key = field(context, "private_key_pem")) {
            return {OAuthConfiguration::GrantType::clientCredentials, privateKeyJWT(*clientID, *key)};
        }
        return {OAuthConfiguration::GrantType::clientCredentials,
                Authentication::clientSecretBasic(*clientID, secret.value_or(""))};
    }
    if (clientID && secret) {
        return {OAuthConfiguration::GrantType::authorizationCode, Authentication::clientSecretBasic(*clientID, *secret)};
    }
    return {OAuthConfiguration::GrantType::authorizationCode, Authentication::none(std::string(kClientMetadataURL))};
}

}  // namespace

std::shared_ptr<mcp::HTTPClientAuthorizer> makeAuthorizer(std::string_view scenario, std::string_view context) {
    const mcp::Value parsed = context.empty() ? mcp::Value() : mcp::parseJSON(context);
    OAuthConfiguration chosen = configuration(scenario, parsed);
    // The scenarios' authorization servers are plain http on loopback.
    chosen.setAllowLoopbackHTTPAuthorizationServerEndpoints(true);
    return std::make_shared<mcp::OAuthAuthorizer>(std::move(chosen));
}

}  // namespace conformance
