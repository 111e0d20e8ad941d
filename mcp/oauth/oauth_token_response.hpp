#pragma once

// The two replies of a token endpoint, as the OAuth client reads them: a token, or an error.

#include "mcp/json/codec.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace mcp {

// OAuthTokenResponse: a successful reply; only read.
struct OAuthTokenResponse {
    std::string accessToken;
    std::string tokenType;
    // Seconds from now.
    std::optional<std::int64_t> expiresIn;
    // The granted scopes as one space-separated text.
    std::optional<std::string> scope;
    std::optional<std::string> refreshToken;

    friend bool operator==(const OAuthTokenResponse&, const OAuthTokenResponse&) = default;
};

// OAuthTokenErrorResponse: an error reply; only read. Members other than "error" are ignored.
struct OAuthTokenErrorResponse {
    std::string error;
};

// "access_token" and "token_type" are required; "expires_in" must be a number.
template <>
struct Codec<OAuthTokenResponse> {
    static OAuthTokenResponse decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<OAuthTokenErrorResponse> {
    static OAuthTokenErrorResponse decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
