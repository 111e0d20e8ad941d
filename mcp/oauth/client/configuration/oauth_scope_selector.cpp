#include "mcp/oauth/client/configuration/oauth_scope_selector.hpp"

#include "mcp/detail/whitespace.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace mcp {
namespace {

// Whether `entry` holds something besides blanks: the Unicode space separators and tabs. Line
// breaks count as content, so an entry made of one stays a scope.
bool hasContentBesidesBlanks(std::string_view entry) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(entry.data());
    const auto length = static_cast<std::int32_t>(entry.size());
    for (std::int32_t index = 0; index < length;) {
        UChar32 codePoint = 0;
        U8_NEXT(bytes, index, length, codePoint);
        if (codePoint != '\t' && (codePoint < 0 || u_charType(codePoint) != U_SPACE_SEPARATOR)) return true;
    }
    return false;
}

std::optional<std::set<std::string>> nonEmpty(std::set<std::string> scopes) {
    if (scopes.empty()) return std::nullopt;
    return scopes;
}

}  // namespace

std::optional<std::set<std::string>> DefaultOAuthScopeSelector::selectScopes(
    const std::optional<std::string>& challengeScope,
    const std::optional<std::vector<std::string>>& scopesSupported) const {
    if (challengeScope) return nonEmpty(parseScopeString(*challengeScope));
    if (!scopesSupported) return std::nullopt;
    std::set<std::string> scopes;
    for (const auto& entry : *scopesSupported) {
        if (hasContentBesidesBlanks(entry)) scopes.insert(entry);
    }
    return nonEmpty(std::move(scopes));
}

std::set<std::string> DefaultOAuthScopeSelector::parseScopeString(std::string_view text) const {
    std::set<std::string> scopes;
    for (const auto piece : detail::splitAtWhitespace(text)) scopes.emplace(piece);
    return scopes;
}

std::optional<std::string> DefaultOAuthScopeSelector::serialize(const std::set<std::string>& scopes) const {
    if (scopes.empty()) return std::nullopt;
    std::string text;
    for (const auto& scope : scopes) {
        if (&scope != &*scopes.begin()) text += ' ';
        text += scope;
    }
    return text;
}

}  // namespace mcp
