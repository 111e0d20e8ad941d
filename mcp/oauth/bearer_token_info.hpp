#pragma once

// BearerTokenInfo: what a protected resource's token check reports about a good bearer token.

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mcp {

struct BearerTokenInfo {
    // The audiences the token was issued for, in the issuer's order; absent when the token
    // names none, which skips the audience check.
    std::optional<std::vector<std::string>> audience;
    std::optional<std::set<std::string>> scopes;
    // Absent for a token that does not expire.
    std::optional<std::chrono::system_clock::time_point> expiresAt;

    friend bool operator==(const BearerTokenInfo&, const BearerTokenInfo&) = default;
};

}  // namespace mcp
