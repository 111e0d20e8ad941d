#pragma once

// OAuthAccessToken: an access token as the OAuth client keeps it in its token storage.
//
// Its JSON form uses the field names as keys: "value", "tokenType", "expiresAt", "scopes",
// "authorizationServer", "refreshToken", "clientID", "resource". "expiresAt" is a number of
// seconds since the Unix epoch (a whole number when the time is a whole second), read back to
// the microsecond.

#include "mcp/json/codec.hpp"

#include <boost/url/url.hpp>

#include <chrono>
#include <optional>
#include <set>
#include <string>

namespace mcp {

struct OAuthAccessToken {
    std::string value;
    std::string tokenType;
    // Absent for a token that does not expire.
    std::optional<std::chrono::system_clock::time_point> expiresAt;
    std::set<std::string> scopes;
    // The authorization server that issued the token.
    std::optional<boost::urls::url> authorizationServer;
    std::optional<std::string> refreshToken;
    std::optional<std::string> clientID;
    // The canonical URI of the protected resource the token was issued for. The client sends the
    // token only to endpoints this resource covers, so that a token for one server never reaches
    // another that shares the storage.
    std::optional<boost::urls::url> resource;

    // isExpired: whether the token counts as expired at `now` when it must stay valid for
    // `skewSeconds` more: true exactly when it has an expiry and `now` + `skewSeconds` is at or
    // after it.
    bool isExpired(std::chrono::system_clock::time_point now, double skewSeconds) const;
};

// "value", "tokenType" and "scopes" are required; the other members are written only when
// present, and read as absent when missing or null.
template <>
struct Codec<OAuthAccessToken> {
    static Value encode(const OAuthAccessToken& token);
    static OAuthAccessToken decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
