#pragma once

// BearerTokenValidator: the check with which a server protected by OAuth refuses requests that
// carry no good bearer token, with the WWW-Authenticate challenges OAuth clients act on.
//
//     auto validator = std::make_shared<BearerTokenValidator>(
//         boost::urls::url("https://api.example.com/.well-known/oauth-protected-resource/mcp"),
//         boost::urls::url("https://api.example.com/mcp"),
//         [&](std::string_view token, const HTTPRequest&, const HTTPValidationContext&) {
//             return introspect(token);  // a BearerTokenValidationResult
//         },
//         nullptr,  // no scopes named in 401 challenges
//         [](const HTTPRequest&, const HTTPValidationContext&) { return true; },
//         discovery);
//
// In order: a request that needs no authentication passes; one without an Authorization
// header gets 401; an unusable header gets 400; then the token check decides (403, 401 or 400
// refuse, a valid token goes on); a valid token that has expired (expiry at or before now) or
// whose audience names another resource gets 401. A token without audience skips that check;
// its scopes are the token check's business (it answers `insufficientScope`).

#include "mcp/http/http_validation.hpp"
#include "mcp/oauth/bearer_token_validation_result.hpp"
#include "mcp/oauth/oauth_metadata_discovering.hpp"

#include <boost/url/url.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

class BearerTokenValidator final : public HTTPRequestValidator {
public:
    // The caller's judgement of a token. It gets the token exactly as the request carried it,
    // so it can compare it with a known secret in constant time.
    using TokenValidator = std::function<BearerTokenValidationResult(
        std::string_view token, const HTTPRequest& request, const HTTPValidationContext& context)>;
    // The scopes that 401 challenges name, or absent to name none.
    using ChallengeScopeProvider = std::function<std::optional<std::set<std::string>>(
        const HTTPRequest& request, const HTTPValidationContext& context)>;
    // False lets the request through unchecked.
    using RequiresAuthentication =
        std::function<bool(const HTTPRequest& request, const HTTPValidationContext& context)>;
    // The current time, against which token expiry is judged.
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // `resourceMetadataURL` is where this resource's metadata is served, named in every
    // challenge; `resourceIdentifier` is what a token's audience must name, as judged by
    // `metadataDiscovery`. An empty `challengeScopeProvider` names no scopes. The functions are
    // called from whichever thread validates, possibly several at once. Throws
    // std::invalid_argument when `tokenValidator`, `requiresAuthentication`,
    // `metadataDiscovery` or `clock` is empty.
    BearerTokenValidator(boost::urls::url resourceMetadataURL, boost::urls::url resourceIdentifier,
                         TokenValidator tokenValidator, ChallengeScopeProvider challengeScopeProvider,
                         RequiresAuthentication requiresAuthentication,
                         std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery,
                         Clock clock = std::chrono::system_clock::now);

    const boost::urls::url& resourceMetadataURL() const noexcept { return resourceMetadataURL_; }
    const boost::urls::url& resourceIdentifier() const noexcept { return resourceIdentifier_; }

    // Refusals carry `MCPError::invalidRequest` with "Unauthorized" (401), "Forbidden:
    // Insufficient scope" (403) or "Bad Request: " and the reason (400), and the context's
    // session id; 401 and 403 also carry the "WWW-Authenticate" challenge.
    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

private:
    // 401 with a challenge naming the provider's scopes and, for a token at fault, the error.
    HTTPResponse unauthorized(const HTTPRequest& request, const HTTPValidationContext& context,
                              std::optional<std::string_view> error,
                              std::optional<std::string_view> errorDescription) const;
    bool audienceNamesThisResource(const std::vector<std::string>& audience) const;

    boost::urls::url resourceMetadataURL_;
    boost::urls::url resourceIdentifier_;
    TokenValidator tokenValidator_;
    ChallengeScopeProvider challengeScopeProvider_;
    RequiresAuthentication requiresAuthentication_;
    std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery_;
    Clock clock_;
};

}  // namespace mcp
