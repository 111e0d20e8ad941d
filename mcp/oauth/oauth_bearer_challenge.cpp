#include "mcp/oauth/oauth_bearer_challenge.hpp"

#include "mcp/detail/url.hpp"

namespace mcp {
namespace {

std::optional<std::string> parameter(const std::map<std::string, std::string>& parameters,
                                     const std::string& name) {
    const auto found = parameters.find(name);
    if (found == parameters.end()) return std::nullopt;
    return found->second;
}

}  // namespace

std::optional<std::string> OAuthBearerChallenge::scope() const {
    return parameter(parameters, "scope");
}

std::optional<std::string> OAuthBearerChallenge::error() const {
    return parameter(parameters, "error");
}

std::optional<std::string> OAuthBearerChallenge::errorDescription() const {
    return parameter(parameters, "error_description");
}

std::optional<boost::urls::url> OAuthBearerChallenge::resourceMetadataURL() const {
    const auto text = parameter(parameters, "resource_metadata");
    if (!text) return std::nullopt;
    return detail::parseURL(*text);
}

}  // namespace mcp
