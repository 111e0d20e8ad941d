#include "mcp/json/json.hpp"

#include "mcp/json/coding.hpp"

namespace mcp {

std::optional<std::string> minifyJSON(std::string_view text) {
    try {
        parseJSON(text);
    } catch (const DecodingError&) {
        return std::nullopt;
    }
    // The text is valid JSON: outside strings the only bytes to drop are its four white-space
    // characters, and inside a string an escape is a backslash and the one byte after it
    // (the hexadecimal digits of "\\u" need no care).
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!inString) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            if (c == '"') inString = true;
            out += c;
            continue;
        }
        if (c == '\\') {
            const char escaped = text[++i];
            if (escaped != '/') out += c;
            out += escaped;
            continue;
        }
        if (c == '"') inString = false;
        out += c;
    }
    return out;
}

}  // namespace mcp
