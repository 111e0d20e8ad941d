#pragma once

// OAuthDiscoveryClient: fetches the protected resource's and the authorization server's metadata
// documents, trying candidate URLs one at a time in order.

#include "mcp/oauth/client/oauth_url_validator.hpp"
#include "mcp/oauth/oauth_authorization_server_metadata.hpp"
#include "mcp/oauth/oauth_metadata_discovering.hpp"
#include "mcp/oauth/oauth_protected_resource_metadata.hpp"

#include "net/http_client.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcp {

// A place to look for protected-resource metadata. One that a server named (in a challenge)
// carries the context under which a private address refuses it.
struct ProtectedResourceMetadataCandidate {
    boost::urls::url url;
    std::optional<std::string> privateAddressContext;

    friend bool operator==(const ProtectedResourceMetadataCandidate&, const ProtectedResourceMetadataCandidate&) = default;
};

// The authorization server whose metadata was found, and the metadata.
struct DiscoveredAuthorizationServer {
    boost::urls::url server;
    OAuthAuthorizationServerMetadata metadata;
};

// OAuthDiscoveryFetching: how the authorizer fetches metadata; a program may supply its own.
class OAuthDiscoveryFetching {
public:
    virtual ~OAuthDiscoveryFetching() = default;

    virtual const OAuthMetadataDiscovering& metadataDiscovery() const = 0;

    // fetchProtectedResourceMetadata: the first document among `candidates` that answers 2xx,
    // reads as protected-resource metadata and names at least one authorization server. When
    // none does: a document naming only `fallbackIssuer`, or without one
    // OAuthAuthorizationError metadataDiscoveryFailed. A failed candidate (network error, error
    // status, unreadable body) moves on to the next; an OAuthAuthorizationError of the candidate
    // itself (a private address) and cancellation end the fetch.
    virtual boost::asio::awaitable<OAuthProtectedResourceMetadata> fetchProtectedResourceMetadata(
        std::vector<ProtectedResourceMetadataCandidate> candidates, std::optional<boost::urls::url> fallbackIssuer,
        net::HTTPClient& session) const = 0;

    // fetchAuthorizationServerMetadata: the metadata of the first of `servers` that has some
    // whose issuer is the server itself (letter case aside) or is absent. Servers that fail the
    // authorization-server URL check or are private IP literals are skipped without a request.
    // Metadata naming another issuer is never used (it would let one server pose as another):
    // when no server yields matching metadata, OAuthAuthorizationError
    // authorizationServerIssuerMismatch for the first such document, else
    // authorizationServerMetadataDiscoveryFailed. Cancellation ends the fetch.
    virtual boost::asio::awaitable<DiscoveredAuthorizationServer> fetchAuthorizationServerMetadata(
        std::vector<boost::urls::url> servers, net::HTTPClient& session) const = 0;
};

// Each metadata request is a GET with "Accept: application/json" and no credentials. Redirects
// are followed up to three times, each target checked like the URL that led to it (the same
// URL rule, the same refusal of private addresses); a refused target fails the candidate.
// With `allowPrivateAuthorizationServers` (for a server the program named itself), the
// authorization servers and their metadata URLs may be on private addresses; a redirect to a
// private IP literal is refused all the same.
class OAuthDiscoveryClient final : public OAuthDiscoveryFetching {
public:
    OAuthDiscoveryClient(std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery, OAuthURLValidator urlValidator,
                         bool allowPrivateAuthorizationServers = false);

    const OAuthMetadataDiscovering& metadataDiscovery() const override { return *metadataDiscovery_; }

    boost::asio::awaitable<OAuthProtectedResourceMetadata> fetchProtectedResourceMetadata(
        std::vector<ProtectedResourceMetadataCandidate> candidates, std::optional<boost::urls::url> fallbackIssuer,
        net::HTTPClient& session) const override;

    boost::asio::awaitable<DiscoveredAuthorizationServer> fetchAuthorizationServerMetadata(
        std::vector<boost::urls::url> servers, net::HTTPClient& session) const override;

private:
    std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery_;
    OAuthURLValidator urlValidator_;
    bool allowPrivateAuthorizationServers_;
};

}  // namespace mcp
