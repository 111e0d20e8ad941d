#include "mcp/oauth/www_authenticate.hpp"

namespace mcp {
namespace {

bool isControlCharacter(char character) noexcept {
    const auto byte = static_cast<unsigned char>(character);
    return (byte < 0x20 && character != '\t') || byte == 0x7F;
}

void appendParameter(std::string& challenge, std::string_view name, std::string_view value,
                     bool first = false) {
    if (!first) challenge += ", ";
    challenge += name;
    challenge += "=\"";
    for (const char character : value) {
        if (character == '\\' || character == '"') challenge += '\\';
        challenge += isControlCharacter(character) ? ' ' : character;
    }
    challenge += '"';
}

}  // namespace

std::string formatBearerChallenge(std::string_view resourceMetadataURL,
                                  const std::optional<std::set<std::string>>& scopes,
                                  std::optional<std::string_view> error,
                                  std::optional<std::string_view> errorDescription) {
    std::string challenge = "Bearer ";
    appendParameter(challenge, "resource_metadata", resourceMetadataURL, true);
    if (scopes && !scopes->empty()) {
        // std::set iterates in ascending byte order, which is the order the value lists them in.
        std::string joined;
        for (const auto& scope : *scopes) {
            if (!joined.empty()) joined += ' ';
            joined += scope;
        }
        appendParameter(challenge, "scope", joined);
    }
    if (error) appendParameter(challenge, "error", *error);
    if (errorDescription && !errorDescription->empty()) {
        appendParameter(challenge, "error_description", *errorDescription);
    }
    return challenge;
}

}  // namespace mcp
