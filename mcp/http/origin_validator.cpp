#include "mcp/http/origin_validator.hpp"

#include "mcp/http/http_header_name.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace mcp {

namespace {

constexpr std::string_view kPortWildcard = ":*";

// True when `text` is non-empty, valid UTF-8 and made only of characters with a Unicode
// numeric type.
bool isNumericText(std::string_view text) {
    if (text.empty()) return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t offset = 0;
    while (offset < length) {
        UChar32 codePoint = 0;
        U8_NEXT(bytes, offset, length, codePoint);
        if (codePoint < 0 || u_getIntPropertyValue(codePoint, UCHAR_NUMERIC_TYPE) == U_NT_NONE) return false;
    }
    return true;
}

bool matches(std::string_view value, std::string_view pattern) {
    if (!pattern.ends_with(kPortWildcard)) return value == pattern;
    // The base and its colon: the pattern without the trailing "*".
    const auto prefix = pattern.substr(0, pattern.size() - 1);
    return value.starts_with(prefix) && isNumericText(value.substr(prefix.size()));
}

bool matchesAny(std::string_view value, const std::vector<std::string>& patterns) {
    return std::ranges::any_of(patterns, [&](const std::string& pattern) { return matches(value, pattern); });
}

}  // namespace

OriginValidator::OriginValidator(std::vector<std::string> allowedHosts, std::vector<std::string> allowedOrigins)
    : OriginValidator(std::move(allowedHosts), std::move(allowedOrigins), true) {}

OriginValidator::OriginValidator(std::vector<std::string> allowedHosts, std::vector<std::string> allowedOrigins,
                                 bool enabled)
    : allowedHosts_(std::move(allowedHosts)), allowedOrigins_(std::move(allowedOrigins)), enabled_(enabled) {}

OriginValidator OriginValidator::localhost(std::optional<int> port) {
    const std::string suffix = ":" + (port ? std::to_string(*port) : std::string("*"));
    return OriginValidator(
        {"127.0.0.1" + suffix, "localhost" + suffix, "[::1]" + suffix},
        {"http://127.0.0.1" + suffix, "http://localhost" + suffix, "http://[::1]" + suffix});
}

OriginValidator OriginValidator::disabled() { return OriginValidator({}, {}, false); }

std::optional<HTTPResponse> OriginValidator::validate(const HTTPRequest& request,
                                                      const HTTPValidationContext& context) const {
    if (!enabled_) return std::nullopt;
    if (const auto host = request.header(HTTPHeaderName::host); host && !matchesAny(*host, allowedHosts_)) {
        return refusal(421, "Misdirected Request: Host header not allowed", context);
    }
    if (const auto origin = request.header(HTTPHeaderName::origin); origin && !matchesAny(*origin, allowedOrigins_)) {
        return refusal(403, "Forbidden: Origin not allowed", context);
    }
    return std::nullopt;
}

}  // namespace mcp
