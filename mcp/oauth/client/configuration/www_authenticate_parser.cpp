#include "mcp/oauth/client/configuration/www_authenticate_parser.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/detail/whitespace.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

constexpr std::string_view kSchemeName = "bearer";

bool isTokenCharacter(char c) {
    constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           kSymbols.find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isTokenCharacter);
}

// Splits at commas outside double quotes. A backslash takes the next character literally, inside
// quotes or not; quotes and backslashes stay in the items. Items are trimmed, empty ones dropped.
std::vector<std::string> splitItems(std::string_view text) {
    std::vector<std::string> items;
    std::string current;
    bool insideQuotes = false;
    bool escaped = false;
    const auto store = [&] {
        const auto trimmed = detail::trimWhitespace(current);
        if (!trimmed.empty()) items.emplace_back(trimmed);
        current.clear();
    };
    for (const char c : text) {
        if (escaped) {
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '"') {
            insideQuotes = !insideQuotes;
        } else if (c == ',' && !insideQuotes) {
            store();
            continue;
        }
        current += c;
    }
    store();
    return items;
}

bool isBearerItem(std::string_view item) {
    if (item.size() < kSchemeName.size()) return false;
    if (detail::asciiLowercase(item.substr(0, kSchemeName.size())) != kSchemeName) return false;
    const auto rest = item.substr(kSchemeName.size());
    return rest.empty() || detail::findWhitespace(rest) == 0;
}

bool startsNewChallenge(std::string_view item) {
    if (isBearerItem(item)) return true;
    const auto equals = item.find('=');
    if (equals != std::string_view::npos) {
        const auto name = detail::trimWhitespace(item.substr(0, equals));
        if (!detail::containsWhitespace(name) && isToken(name)) return false;
    }
    const auto blank = detail::findWhitespace(item);
    if (blank != std::string_view::npos) return isToken(item.substr(0, blank));
    return isToken(item);
}

std::string unquote(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
    const auto inner = value.substr(1, value.size() - 2);
    std::string result;
    result.reserve(inner.size());
    for (std::size_t index = 0; index < inner.size(); ++index) {
        // A quoted pair stands for its second character: "\\" for a backslash as "\"" for a quote.
        if (inner[index] == '\\' && index + 1 < inner.size()) {
            result += inner[++index];
        } else {
            result += inner[index];
        }
    }
    return result;
}

// One "name=value" item into `parameters`; items without a name or a value are skipped.
void readParameter(std::string_view item, std::map<std::string, std::string>& parameters) {
    const auto nameBegin = item.find_first_not_of('=');
    if (nameBegin == std::string_view::npos) return;
    const auto equals = item.find('=', nameBegin);
    if (equals == std::string_view::npos) return;
    const auto value = item.substr(equals + 1);
    if (value.empty()) return;
    const auto name = detail::asciiLowercase(detail::trimWhitespace(item.substr(nameBegin, equals - nameBegin)));
    parameters[name] = unquote(detail::trimWhitespace(value));
}

}  // namespace

std::optional<OAuthBearerChallenge> DefaultOAuthWWWAuthenticateParser::parseBearer(const HTTPHeaders& headers) const {
    std::optional<std::string> field;
    for (const auto& [name, value] : headers) {
        if (!equalsIgnoringCase(name, "WWW-Authenticate")) continue;
        field = field ? *field + ", " + value : value;
    }
    if (!field || detail::trimWhitespace(*field).empty()) return std::nullopt;

    const auto items = splitItems(detail::trimWhitespace(*field));
    const auto bearer = std::find_if(items.begin(), items.end(), [](const std::string& item) { return isBearerItem(item); });
    if (bearer == items.end()) return std::nullopt;

    std::string parameterText(detail::trimWhitespace(std::string_view(*bearer).substr(kSchemeName.size())));
    for (auto item = std::next(bearer); item != items.end() && !startsNewChallenge(*item); ++item) {
        if (!parameterText.empty()) parameterText += ',';
        parameterText += *item;
    }

    OAuthBearerChallenge challenge;
    for (const auto& item : splitItems(parameterText)) readParameter(item, challenge.parameters);
    return challenge;
}

}  // namespace mcp
