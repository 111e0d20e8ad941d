#pragma once

#include "mcp/http/http_validation.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace app {

// The text of the host's 401 answer, after "Invalid Request: ".
inline constexpr std::string_view kMissingTokenText =
    "Missing or wrong access token. Copy the connection settings from the Vantor MCP tray icon.";

// carriesAccessToken: whether an Authorization value is exactly "Bearer " and token: same
// letter case, one blank, nothing before or after. Takes the same time whatever part of the
// token matches, so that the time of a refusal says nothing about the token.
bool carriesAccessToken(const std::optional<std::string>& authorization, std::string_view token) noexcept;

// accessRefusal: the access check alone: absent when request carries token, else the 401
// answer described below. The host also runs it on the head of a request that announces a
// body, before reading the body.
std::optional<mcp::HTTPResponse> accessRefusal(const mcp::HTTPRequest& request, std::string_view token);

// BearerTokenValidator: the host's access check, the first of its request validators. A request
// passes when its Authorization header (any letter case of the name) carries the token; any
// other gets 401 with MCPError::invalidRequest(kMissingTokenText), no session id and the plain
// challenge "WWW-Authenticate: Bearer" (no realm, no resource metadata: the token comes from
// the program's own settings, not from an authorization server). An empty token is compared
// like any other.
class BearerTokenValidator final : public mcp::HTTPRequestValidator {
public:
    explicit BearerTokenValidator(std::string token) : token_(std::move(token)) {}

    const std::string& token() const noexcept { return token_; }

    // The context is not used.
    std::optional<mcp::HTTPResponse> validate(const mcp::HTTPRequest& request,
                                              const mcp::HTTPValidationContext& context) const override;

private:
    std::string token_;
};

}  // namespace app
