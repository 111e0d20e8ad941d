#pragma once

// PKCE (RFC 7636): the code verifier the client keeps and the S256 challenge it sends with the
// authorization request, and the check that the authorization server offers S256.

#include "mcp/oauth/oauth_authorization_server_metadata.hpp"

#include <string>
#include <string_view>

namespace mcp {

struct PKCE {
    // makeVerifier: `length` characters drawn uniformly from the 66 unreserved characters
    // A-Z a-z 0-9 "-._~" with the secure random source; "" for a length of 0 or less.
    static std::string makeVerifier(int length);
    // makeChallenge: base64url of the SHA-256 digest of `verifier`, 43 characters.
    static std::string makeChallenge(std::string_view verifier);
};

// requireS256Support: throws OAuthAuthorizationError pkceCodeChallengeMethodsMissing when the
// metadata lists no code challenge methods, and pkceS256NotSupported when none of them is
// "S256" ignoring case.
void requireS256Support(const OAuthAuthorizationServerMetadata& metadata);

}  // namespace mcp
