#pragma once

// JWTAccessTokenVerifier: how the protected MCP server of the end-to-end tests checks the
// authorization server's access tokens on its own: JWTs (RFC 9068) signed with ES256 by the key
// whose public half it was given, from the one issuer it trusts.

#include "mcp/oauth/bearer_token_info.hpp"

#include <openssl/evp.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace mcp::testing {

class JWTAccessTokenVerifier {
public:
    // Throws std::runtime_error when `publicKeyPEM` holds no public key.
    JWTAccessTokenVerifier(std::string_view publicKeyPEM, std::string issuer);

    // The token's audience, scopes and expiry when it is a compact JWS whose header names
    // ES256, whose signature the key verifies and whose "iss" is the trusted issuer; absent
    // otherwise. Whether it has expired or names this resource is the caller's to judge.
    std::optional<BearerTokenInfo> verify(std::string_view token) const;

private:
    std::shared_ptr<EVP_PKEY> key_;
    std::string issuer_;
};

}  // namespace mcp::testing
