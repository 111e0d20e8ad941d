#pragma once

// Scope selection: which scopes the OAuth client asks for, and the conversions between the
// space-separated scope text of the protocol and the set the client holds.

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

// OAuthScopeSelecting: the authorizer's scope policy; a program may supply its own. Every
// operation is pure and safe to call from several threads at once.
class OAuthScopeSelecting {
public:
    virtual ~OAuthScopeSelecting() = default;

    // selectScopes: the scopes to request after a challenge; absent rather than empty.
    virtual std::optional<std::set<std::string>> selectScopes(
        const std::optional<std::string>& challengeScope,
        const std::optional<std::vector<std::string>>& scopesSupported) const = 0;
    // parseScopeString: the names of a scope text, possibly none.
    virtual std::set<std::string> parseScopeString(std::string_view text) const = 0;
    // serialize: the scope text of `scopes`; absent for the empty set.
    virtual std::optional<std::string> serialize(const std::set<std::string>& scopes) const = 0;
};

// DefaultOAuthScopeSelector: a scope named by the challenge decides alone (even when it names
// nothing); otherwise every scope the resource advertises is requested. Scope texts split at
// Unicode white space; the text of a set is its names in byte order joined by single blanks.
class DefaultOAuthScopeSelector final : public OAuthScopeSelecting {
public:
    std::optional<std::set<std::string>> selectScopes(
        const std::optional<std::string>& challengeScope,
        const std::optional<std::vector<std::string>>& scopesSupported) const override;
    std::set<std::string> parseScopeString(std::string_view text) const override;
    std::optional<std::string> serialize(const std::set<std::string>& scopes) const override;
};

}  // namespace mcp
