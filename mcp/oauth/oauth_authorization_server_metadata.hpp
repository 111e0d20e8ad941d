#pragma once

// OAuthAuthorizationServerMetadata: an authorization server's metadata document
// ("/.well-known/oauth-authorization-server" or "/.well-known/openid-configuration"), as the
// OAuth client reads it. Every member is optional, so the empty object is a valid document.

#include "mcp/json/codec.hpp"

#include <boost/url/url.hpp>

#include <optional>
#include <string>
#include <vector>

namespace mcp {

struct OAuthAuthorizationServerMetadata {
    std::optional<boost::urls::url> issuer;
    std::optional<boost::urls::url> authorizationEndpoint;
    std::optional<boost::urls::url> tokenEndpoint;
    std::optional<boost::urls::url> registrationEndpoint;
    std::optional<std::vector<std::string>> codeChallengeMethodsSupported;
    std::optional<std::vector<std::string>> tokenEndpointAuthMethodsSupported;
    std::optional<bool> clientIDMetadataDocumentSupported;

    friend bool operator==(const OAuthAuthorizationServerMetadata&, const OAuthAuthorizationServerMetadata&) = default;
};

// Reading only, from the keys "issuer", "authorization_endpoint", "token_endpoint",
// "registration_endpoint", "code_challenge_methods_supported",
// "token_endpoint_auth_methods_supported" and "client_id_metadata_document_supported".
template <>
struct Codec<OAuthAuthorizationServerMetadata> {
    static OAuthAuthorizationServerMetadata decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
