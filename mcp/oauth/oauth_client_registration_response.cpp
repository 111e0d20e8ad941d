#include "mcp/oauth/oauth_client_registration_response.hpp"

namespace mcp {

OAuthClientRegistrationResponse Codec<OAuthClientRegistrationResponse>::decode(const Value& value,
                                                                               const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .clientID = reader.required<std::string>("client_id"),
        .clientSecret = reader.optional<std::string>("client_secret"),
        .tokenEndpointAuthMethod = reader.optional<std::string>("token_endpoint_auth_method"),
        .clientSecretExpiresAt = reader.optional<std::int64_t>("client_secret_expires_at"),
    };
}

}  // namespace mcp
