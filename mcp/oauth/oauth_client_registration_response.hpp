#pragma once

// OAuthClientRegistrationResponse: an authorization server's reply to dynamic client
// registration, as the OAuth client reads it.

#include "mcp/json/codec.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace mcp {

struct OAuthClientRegistrationResponse {
    std::string clientID;
    std::optional<std::string> clientSecret;
    std::optional<std::string> tokenEndpointAuthMethod;
    // Seconds since the Unix epoch, as the server gave it.
    std::optional<std::int64_t> clientSecretExpiresAt;
};

// Reading only: "client_id" is required; "client_secret", "token_endpoint_auth_method" and
// "client_secret_expires_at" are optional.
template <>
struct Codec<OAuthClientRegistrationResponse> {
    static OAuthClientRegistrationResponse decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
