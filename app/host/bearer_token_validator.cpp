#include "app/host/bearer_token_validator.hpp"

#include "mcp/http/http_header_name.hpp"

#include <openssl/crypto.h>

namespace app {

namespace {

constexpr std::string_view kScheme = "Bearer ";

}  // namespace

bool carriesAccessToken(const std::optional<std::string>& authorization, std::string_view token) noexcept {
    if (!authorization) return false;
    // The token's length is no secret (every token has 48 digits); its digits are.
    if (authorization->size() != kScheme.size() + token.size()) return false;
    const auto schemeDiffers = CRYPTO_memcmp(authorization->data(), kScheme.data(), kScheme.size());
    const auto tokenDiffers = CRYPTO_memcmp(authorization->data() + kScheme.size(), token.data(), token.size());
    return (schemeDiffers | tokenDiffers) == 0;
}

std::optional<mcp::HTTPResponse> accessRefusal(const mcp::HTTPRequest& request, std::string_view token) {
    if (carriesAccessToken(request.header(mcp::HTTPHeaderName::authorization), token)) return std::nullopt;
    // HTTP asks for a challenge on every 401. A plain one: the token comes from the program's
    // own settings, so there is no authorization server to name, and a client that finds no
    // challenge may go looking for one (registering itself as an OAuth client, say).
    return mcp::HTTPResponse(mcp::HTTPResponse::Error{401,
                                                      mcp::MCPError::invalidRequest(std::string(kMissingTokenText)),
                                                      std::nullopt,
                                                      {{std::string(mcp::HTTPHeaderName::wwwAuthenticate), "Bearer"}}});
}

std::optional<mcp::HTTPResponse> BearerTokenValidator::validate(const mcp::HTTPRequest& request,
                                                                const mcp::HTTPValidationContext&) const {
    return accessRefusal(request, token_);
}

}  // namespace app
