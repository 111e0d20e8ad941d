#pragma once

// OAuthBearerChallenge: a parsed "Bearer" challenge of a WWW-Authenticate header, as the OAuth
// client's challenge parser fills it, with typed views of the parameters it acts on.

#include <boost/url/url.hpp>

#include <map>
#include <optional>
#include <string>

namespace mcp {

struct OAuthBearerChallenge {
    // Parameter names as the challenge spelled them; the accessors look them up exactly.
    std::map<std::string, std::string> parameters;

    // The "scope" parameter.
    std::optional<std::string> scope() const;
    // The "error" parameter.
    std::optional<std::string> error() const;
    // The "error_description" parameter.
    std::optional<std::string> errorDescription() const;
    // The "resource_metadata" parameter as a URL; absent when it is missing or is not a URL.
    std::optional<boost::urls::url> resourceMetadataURL() const;
};

}  // namespace mcp
