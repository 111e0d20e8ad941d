#include "mcp/oauth/oauth_token_response.hpp"

namespace mcp {

OAuthTokenResponse Codec<OAuthTokenResponse>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .accessToken = reader.required<std::string>("access_token"),
        .tokenType = reader.required<std::string>("token_type"),
        .expiresIn = reader.optional<std::int64_t>("expires_in"),
        .scope = reader.optional<std::string>("scope"),
        .refreshToken = reader.optional<std::string>("refresh_token"),
    };
}

OAuthTokenErrorResponse Codec<OAuthTokenErrorResponse>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.error = reader.required<std::string>("error")};
}

}  // namespace mcp
