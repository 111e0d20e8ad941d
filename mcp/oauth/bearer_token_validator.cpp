#include "mcp/oauth/bearer_token_validator.hpp"

#include "mcp/detail/url.hpp"
#include "mcp/detail/whitespace.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/oauth/www_authenticate.hpp"

#include <stdexcept>
#include <utility>
#include <variant>

namespace mcp {
namespace {

constexpr std::string_view kInvalidToken = "invalid_token";

// The token of an Authorization header, or why there is none.
struct ExtractedToken {
    std::string_view token;
    std::string_view problem;
};

ExtractedToken extractBearerToken(std::string_view header) {
    const auto trimmed = detail::trimWhitespace(header);
    if (trimmed.empty()) return {{}, "Authorization header is empty"};
    const auto pieces = detail::splitAtWhitespace(trimmed, 1);
    if (pieces.size() != 2) return {{}, "Authorization header must be in the form: Bearer <token>"};
    if (!equalsIgnoringCase(pieces[0], "Bearer")) return {{}, "Authorization scheme must be Bearer"};
    const auto token = detail::trimWhitespace(pieces[1]);
    if (token.empty()) return {{}, "Bearer token is empty"};
    if (detail::containsWhitespace(token)) return {{}, "Bearer token must not contain whitespace"};
    return {token, {}};
}

}  // namespace

BearerTokenValidator::BearerTokenValidator(boost::urls::url resourceMetadataURL, boost::urls::url resourceIdentifier,
                                           TokenValidator tokenValidator, ChallengeScopeProvider challengeScopeProvider,
                                           RequiresAuthentication requiresAuthentication,
                                           std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery,
                                           Clock clock)
    : resourceMetadataURL_(std::move(resourceMetadataURL)),
      resourceIdentifier_(std::move(resourceIdentifier)),
      tokenValidator_(std::move(tokenValidator)),
      challengeScopeProvider_(std::move(challengeScopeProvider)),
      requiresAuthentication_(std::move(requiresAuthentication)),
      metadataDiscovery_(std::move(metadataDiscovery)),
      clock_(std::move(clock)) {
    if (!tokenValidator_ || !requiresAuthentication_ || !metadataDiscovery_ || !clock_) {
        throw std::invalid_argument("BearerTokenValidator: token validator, authentication rule, "
                                    "metadata discovery and clock are required");
    }
}

std::optional<HTTPResponse> BearerTokenValidator::validate(const HTTPRequest& request,
                                                           const HTTPValidationContext& context) const {
    if (!requiresAuthentication_(request, context)) return std::nullopt;

    const auto header = request.header(HTTPHeaderName::authorization);
    if (!header) return unauthorized(request, context, std::nullopt, std::nullopt);

    const auto extracted = extractBearerToken(*header);
    if (!extracted.problem.empty()) return refusal(400, "Bad Request: " + std::string(extracted.problem), context);

    const auto result = tokenValidator_(extracted.token, request, context);
    if (const auto* insufficient = std::get_if<BearerTokenValidationResult::InsufficientScope>(&result.value())) {
        return refusal(403, "Forbidden: Insufficient scope", context,
                       {{std::string(HTTPHeaderName::wwwAuthenticate),
                         formatBearerChallenge(resourceMetadataURL_.buffer(), insufficient->requiredScopes,
                                               "insufficient_scope", insufficient->errorDescription)}});
    }
    if (const auto* invalid = std::get_if<BearerTokenValidationResult::InvalidToken>(&result.value())) {
        return unauthorized(request, context, kInvalidToken, invalid->errorDescription);
    }
    if (const auto* malformed = std::get_if<BearerTokenValidationResult::MalformedRequest>(&result.value())) {
        return refusal(400, "Bad Request: " + malformed->errorDescription.value_or("Malformed authorization request"),
                       context);
    }

    const auto& info = std::get<BearerTokenValidationResult::Valid>(result.value()).info;
    if (info.expiresAt && *info.expiresAt <= clock_()) {
        return unauthorized(request, context, kInvalidToken, "Token has expired");
    }
    if (info.audience && !audienceNamesThisResource(*info.audience)) {
        return unauthorized(request, context, kInvalidToken, "Token audience mismatch");
    }
    return std::nullopt;
}

HTTPResponse BearerTokenValidator::unauthorized(const HTTPRequest& request, const HTTPValidationContext& context,
                                                std::optional<std::string_view> error,
                                                std::optional<std::string_view> errorDescription) const {
    const auto scopes =
        challengeScopeProvider_ ? challengeScopeProvider_(request, context) : std::optional<std::set<std::string>>();
    return refusal(401, "Unauthorized", context,
                   {{std::string(HTTPHeaderName::wwwAuthenticate),
                     formatBearerChallenge(resourceMetadataURL_.buffer(), scopes, error, errorDescription)}});
}

bool BearerTokenValidator::audienceNamesThisResource(const std::vector<std::string>& audience) const {
    for (const auto& entry : audience) {
        const auto url = detail::parseURL(entry);
        if (url && metadataDiscovery_->protectedResourceMatches(*url, resourceIdentifier_)) return true;
    }
    return false;
}

}  // namespace mcp
