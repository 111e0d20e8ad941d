#pragma once

// BearerTokenValidationResult: a protected resource's judgement of one bearer token, as the
// function that checks tokens reports it to `BearerTokenValidator`.

#include "mcp/oauth/bearer_token_info.hpp"

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>

namespace mcp {

class BearerTokenValidationResult {
public:
    // The token is good; its expiry and audience are checked next.
    struct Valid {
        BearerTokenInfo info;
        friend bool operator==(const Valid&, const Valid&) = default;
    };
    // The token is good but lacks scopes the request needs: 403 naming `requiredScopes`.
    struct InsufficientScope {
        std::set<std::string> requiredScopes;
        std::optional<std::string> errorDescription;
        friend bool operator==(const InsufficientScope&, const InsufficientScope&) = default;
    };
    // The token is unknown, revoked or otherwise unusable: 401.
    struct InvalidToken {
        std::optional<std::string> errorDescription;
        friend bool operator==(const InvalidToken&, const InvalidToken&) = default;
    };
    // The request itself is unusable: 400 without a challenge.
    struct MalformedRequest {
        std::optional<std::string> errorDescription;
        friend bool operator==(const MalformedRequest&, const MalformedRequest&) = default;
    };

    using Case = std::variant<Valid, InsufficientScope, InvalidToken, MalformedRequest>;

    BearerTokenValidationResult(Case result) : case_(std::move(result)) {}

    static BearerTokenValidationResult valid(BearerTokenInfo info) { return Case(Valid{std::move(info)}); }
    static BearerTokenValidationResult insufficientScope(std::set<std::string> requiredScopes,
                                                         std::optional<std::string> errorDescription = std::nullopt) {
        return Case(InsufficientScope{std::move(requiredScopes), std::move(errorDescription)});
    }
    static BearerTokenValidationResult invalidToken(std::optional<std::string> errorDescription = std::nullopt) {
        return Case(InvalidToken{std::move(errorDescription)});
    }
    static BearerTokenValidationResult malformedRequest(std::optional<std::string> errorDescription = std::nullopt) {
        return Case(MalformedRequest{std::move(errorDescription)});
    }

    const Case& value() const noexcept { return case_; }

    // Equal when the cases and their payloads are.
    friend bool operator==(const BearerTokenValidationResult&, const BearerTokenValidationResult&) = default;

private:
    Case case_;
};

}  // namespace mcp
