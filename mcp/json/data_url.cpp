#include "mcp/json/data_url.hpp"

#include "mcp/detail/base64.hpp"
#include "mcp/detail/utf8.hpp"

namespace mcp {
namespace {

constexpr std::string_view kScheme = "data:";
constexpr std::string_view kCharset = ";charset=";
constexpr std::string_view kBase64 = ";base64";

// The pieces of a text that matches the grammar.
struct DataURLMatch {
    std::string_view mimeType;
    std::optional<std::string_view> charset;
    std::string_view payload;
};

std::optional<DataURLMatch> matchDataURL(std::string_view text) noexcept {
    if (!text.starts_with(kScheme)) return std::nullopt;
    std::string_view rest = text.substr(kScheme.size());

    DataURLMatch match;
    const auto mimeEnd = rest.find_first_of(",;");
    if (mimeEnd == std::string_view::npos) return std::nullopt;
    match.mimeType = rest.substr(0, mimeEnd);
    rest.remove_prefix(mimeEnd);

    if (rest.starts_with(kCharset)) {
        rest.remove_prefix(kCharset.size());
        const auto charsetEnd = rest.find_first_of(",;");
        if (charsetEnd == 0 || charsetEnd == std::string_view::npos) return std::nullopt;
        match.charset = rest.substr(0, charsetEnd);
        rest.remove_prefix(charsetEnd);
    }
    if (rest.starts_with(kBase64)) rest.remove_prefix(kBase64.size());
    if (!rest.starts_with(',')) return std::nullopt;
    match.payload = rest.substr(1);
    return match;
}

int hexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexDigit(text[i + 1]);
        const int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!detail::isValidUTF8(bytes)) return std::nullopt;
    return bytes;
}

}  // namespace

bool isDataURL(std::string_view text) noexcept { return matchDataURL(text).has_value(); }

std::optional<DataURLContent> parseDataURL(std::string_view text) {
    const auto match = matchDataURL(text);
    if (!match) return std::nullopt;

    DataURLContent content;
    content.mimeType = match->mimeType.empty() ? "text/plain" : std::string(match->mimeType);
    if (match->charset && content.mimeType.starts_with("text/")) {
        content.mimeType += kCharset;
        content.mimeType += *match->charset;
    }

    // Whether the payload is base64 is decided on the whole text, payload included, so
    // "data:text/plain,a;base64,b" is taken as base64 and fails.
    auto bytes = text.find(";base64,") != std::string_view::npos ? detail::decodeBase64(match->payload)
                                                                  : percentDecode(match->payload);
    if (!bytes) return std::nullopt;
    content.data = std::move(*bytes);
    return content;
}

void appendDataURL(std::string& out, std::string_view bytes, const std::optional<std::string>& mimeType) {
    out += kScheme;
    out += mimeType ? std::string_view(*mimeType) : std::string_view("text/plain");
    out += ";base64,";
    detail::appendBase64(out, bytes);
}

std::string dataURLEncoded(std::string_view bytes, const std::optional<std::string>& mimeType) {
    std::string text;
    text.reserve(kScheme.size() + (mimeType ? mimeType->size() : 10) + 8 + (bytes.size() + 2) / 3 * 4);
    appendDataURL(text, bytes, mimeType);
    return text;
}

}  // namespace mcp
