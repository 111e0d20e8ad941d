#include "client_credentials_authorizer.hpp"

#include "mcp/json/codec.hpp"
#include "mcp/json/json.hpp"
#include "mcp/oauth/client/form_encoding.hpp"
#include "mcp/oauth/client/metadata_discovery.hpp"
#include "mcp/oauth/client/token_endpoint_client.hpp"
#include "mcp/oauth/client/www_authenticate_parser.hpp"
#include "mcp/oauth/oauth_authorization_server_metadata.hpp"
#include "mcp/oauth/oauth_protected_resource_metadata.hpp"
#include "net/http_client.hpp"

#include <chrono>
#include <map>
#include <stdexcept>
#include <vector>

namespace conformance {
namespace {

namespace asio = boost::asio;

// The first of `candidates` that answers 200 with a document of type T.
template <class T>
asio::awaitable<std::optional<T>> firstDocument(net::HttpClient& session, std::vector<boost::urls::url> candidates) {
    for (auto& candidate : candidates) {
        net::HttpRequest request;
        request.url = std::move(candidate);
        request.headers.add("Accept", "application/json");
        const net::HttpResponse response = co_await session.fetch(std::move(request));
        if (response.status != 200) continue;
        // Read only: these documents have no encoder, so the codec is called directly.
        co_return mcp::Codec<T>::decode(mcp::parseJSON(response.body), mcp::CodingPath{});
    }
    co_return std::nullopt;
}

mcp::OAuthConfiguration::TokenEndpointAuthentication authentication(const ClientCredentials& credentials,
                                                                    std::optional<std::string> audience) {
    using Authentication = mcp::OAuthConfiguration::TokenEndpointAuthentication;
    if (credentials.privateKeyPEM) {
        return Authentication::privateKeyJWT(
            credentials.clientID,
            [pem = *credentials.privateKeyPEM, audience](boost::urls::url tokenEndpoint,
                                                         std::string clientID) -> asio::awaitable<std::string> {
                co_return mcp::OAuthConfiguration::makePrivateKeyJWTAssertion(
                    clientID, tokenEndpoint, pem, mcp::OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256,
                    audience, std::chrono::system_clock::now(), 300);
            });
    }
    return Authentication::clientSecretBasic(credentials.clientID, credentials.clientSecret.value_or(""));
}

}  // namespace

std::optional<std::string> ClientCredentialsAuthorizer::authorizationHeader(const boost::urls::url&) {
    if (!accessToken_) return std::nullopt;
    return "Bearer " + *accessToken_;
}

asio::awaitable<bool> ClientCredentialsAuthorizer::handleChallenge(int statusCode, const net::HeaderMap& headers,
                                                                   const boost::urls::url& endpoint,
                                                                   std::optional<std::string>,
                                                                   net::HttpClient& session) {
    // A token we got already was refused: asking again would get the same one.
    if (statusCode != 401 || accessToken_) co_return false;
    mcp::HTTPHeaders challengeHeaders;
    for (const auto& [name, value] : headers) challengeHeaders.emplace_back(name, value);
    const auto challenge = mcp::DefaultOAuthWWWAuthenticateParser().parseBearer(challengeHeaders);

    const mcp::DefaultOAuthMetadataDiscovery discovery;
    std::vector<boost::urls::url> resourceCandidates;
    if (const auto named = challenge ? challenge->resourceMetadataURL() : std::nullopt) {
        resourceCandidates.push_back(*named);
    } else {
        resourceCandidates = discovery.protectedResourceMetadataURLs(endpoint);
    }
    const auto resource = co_await firstDocument<mcp::OAuthProtectedResourceMetadata>(session, resourceCandidates);
    const boost::urls::url issuer = resource && !resource->authorizationServers.empty()
                                        ? resource->authorizationServers.front()
                                        : discovery.authorizationServerFallbackIssuer(endpoint);
    const auto server = co_await firstDocument<mcp::OAuthAuthorizationServerMetadata>(
        session, discovery.authorizationServerMetadataURLs(issuer));
    if (!server || !server->tokenEndpoint) throw std::runtime_error("The authorization server names no token endpoint");

    std::map<std::string, std::string> parameters{{"grant_type", "client_credentials"}};
    if (resource && resource->resource) parameters.emplace("resource", *resource->resource);
    if (const auto scope = challenge ? challenge->scope() : std::nullopt) parameters.emplace("scope", *scope);
    mcp::HTTPHeaders tokenHeaders;
    const std::string audience(server->issuer ? server->issuer->buffer() : issuer.buffer());
    co_await mcp::applyTokenEndpointAuthentication(authentication(credentials_, audience), tokenHeaders, parameters,
                                                   *server->tokenEndpoint);

    net::HttpRequest request;
    request.method = "POST";
    request.url = *server->tokenEndpoint;
    request.headers.add("Content-Type", "application/x-www-form-urlencoded");
    request.headers.add("Accept", "application/json");
    for (const auto& [name, value] : tokenHeaders) request.headers.add(name, value);
    request.body = mcp::formURLEncode(parameters);
    const net::HttpResponse response = co_await session.fetch(std::move(request));
    accessToken_ = mcp::readTokenEndpointReply(response.status, response.body).accessToken;
    co_return true;
}

}  // namespace conformance
