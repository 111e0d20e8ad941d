#pragma once

// The protected-resource metadata document ("/.well-known/oauth-protected-resource"): which
// authorization servers a protected resource trusts and which scopes it knows. It comes in two
// forms that differ in one point: the form a server publishes requires "resource", the form a
// client reads accepts a document without it.

#include "mcp/json/codec.hpp"

#include <boost/url/url.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

// Where a protected resource serves this document: this path, or this path followed by the
// resource's own path ("/.well-known/oauth-protected-resource/mcp").
inline constexpr std::string_view kProtectedResourceMetadataPath = "/.well-known/oauth-protected-resource";

// OAuthProtectedResourceServerMetadata: the document as a server publishes it. Written with the
// keys "resource", "authorization_servers" (also when empty) and "scopes_supported" (only when
// present), in that order.
struct OAuthProtectedResourceServerMetadata {
    std::string resource;
    std::vector<boost::urls::url> authorizationServers;
    std::optional<std::vector<std::string>> scopesSupported;
};

// OAuthProtectedResourceMetadata: the document as the OAuth client reads it; only read.
struct OAuthProtectedResourceMetadata {
    std::optional<std::string> resource;
    std::vector<boost::urls::url> authorizationServers;
    std::optional<std::vector<std::string>> scopesSupported;

    friend bool operator==(const OAuthProtectedResourceMetadata&, const OAuthProtectedResourceMetadata&) = default;
};

template <>
struct Codec<OAuthProtectedResourceServerMetadata> {
    static Value encode(const OAuthProtectedResourceServerMetadata& metadata);
    // "resource" and "authorization_servers" are required.
    static OAuthProtectedResourceServerMetadata decode(const Value& value, const CodingPath& path);
};

// Reading only: "authorization_servers" is required, the rest optional.
template <>
struct Codec<OAuthProtectedResourceMetadata> {
    static OAuthProtectedResourceMetadata decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
