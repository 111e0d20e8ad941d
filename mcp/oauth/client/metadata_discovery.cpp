#include "mcp/oauth/client/metadata_discovery.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/oauth_url_validator.hpp"
#include "mcp/oauth/oauth_protected_resource_metadata.hpp"

#include <optional>
#include <string>

namespace mcp {
namespace {

constexpr std::string_view kAuthorizationServerPath = "/.well-known/oauth-authorization-server";
constexpr std::string_view kOpenIDConfigurationPath = "/.well-known/openid-configuration";

bool isUsable(boost::urls::url_view url) {
    return url.has_scheme() && url.has_authority() && !url.encoded_host().empty() && isHTTPSOrLoopback(url);
}

boost::urls::url withoutQueryAndFragment(boost::urls::url_view url) {
    boost::urls::url copy(url);
    copy.remove_query();
    copy.remove_fragment();
    return copy;
}

boost::urls::url withPath(boost::urls::url base, std::string_view encodedPath) {
    base.set_encoded_path(encodedPath);
    return base;
}

void lowerSchemeAndHost(boost::urls::url& url) {
    url.set_scheme(detail::asciiLowercase(url.scheme()));
    url.set_encoded_host(detail::asciiLowercase(url.encoded_host()));
}

std::optional<std::uint32_t> effectivePort(boost::urls::url_view url, std::string_view scheme) {
    if (url.has_port()) return url.port_number();
    if (scheme == "http") return 80;
    if (scheme == "https") return 443;
    return std::nullopt;
}

std::string normalizedPath(boost::urls::url_view url) {
    std::string path(url.encoded_path());
    if (path == "/") return {};
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::optional<std::string> loweredScheme(boost::urls::url_view url) {
    if (!url.has_scheme()) return std::nullopt;
    return detail::asciiLowercase(url.scheme());
}

std::optional<std::string> loweredHost(boost::urls::url_view url) {
    if (!url.has_authority()) return std::nullopt;
    return detail::asciiLowercase(url.host_address());
}

}  // namespace

std::vector<boost::urls::url> DefaultOAuthMetadataDiscovery::protectedResourceMetadataURLs(
    boost::urls::url_view endpoint) const {
    if (!isUsable(endpoint)) return {};
    const auto base = withoutQueryAndFragment(endpoint);
    const std::string path = base.encoded_path() == "/" ? std::string() : std::string(base.encoded_path());
    return {withPath(base, std::string(kProtectedResourceMetadataPath) + path),
            withPath(base, kProtectedResourceMetadataPath)};
}

std::vector<boost::urls::url> DefaultOAuthMetadataDiscovery::authorizationServerMetadataURLs(
    boost::urls::url_view issuer) const {
    if (!isUsable(issuer)) return {};
    const auto base = withoutQueryAndFragment(issuer);
    std::string_view path = base.encoded_path();
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    if (path.empty()) return {withPath(base, kAuthorizationServerPath), withPath(base, kOpenIDConfigurationPath)};
    const std::string tenant(path);
    return {withPath(base, std::string(kAuthorizationServerPath) + "/" + tenant),
            withPath(base, std::string(kOpenIDConfigurationPath) + "/" + tenant),
            withPath(base, "/" + tenant + std::string(kOpenIDConfigurationPath))};
}

boost::urls::url DefaultOAuthMetadataDiscovery::canonicalResourceURI(boost::urls::url_view url) const {
    if (!isUsable(url)) {
        throw OAuthAuthorizationError::invalidResourceURI("Resource URI must use https or loopback http");
    }
    if (url.has_fragment()) throw OAuthAuthorizationError::invalidResourceURI("Resource URI must not contain a fragment");
    boost::urls::url canonical(url);
    lowerSchemeAndHost(canonical);
    canonical.remove_query();
    if (canonical.encoded_path() == "/") canonical.set_encoded_path("");
    return canonical;
}

boost::urls::url DefaultOAuthMetadataDiscovery::authorizationServerFallbackIssuer(boost::urls::url_view endpoint) const {
    if (!isUsable(endpoint)) {
        throw OAuthAuthorizationError::invalidResourceURI("Resource URI must use https or loopback http");
    }
    auto issuer = withoutQueryAndFragment(endpoint);
    lowerSchemeAndHost(issuer);
    issuer.set_encoded_path("");
    return issuer;
}

bool DefaultOAuthMetadataDiscovery::protectedResourceMatches(boost::urls::url_view resource,
                                                             boost::urls::url_view endpoint) const noexcept {
    try {
        const auto scheme = loweredScheme(resource);
        if (scheme != loweredScheme(endpoint) || loweredHost(resource) != loweredHost(endpoint)) return false;
        if (effectivePort(resource, scheme.value_or("")) != effectivePort(endpoint, scheme.value_or(""))) return false;
        const auto resourcePath = normalizedPath(resource);
        const auto endpointPath = normalizedPath(endpoint);
        return resourcePath.empty() || resourcePath == endpointPath ||
               (endpointPath.size() > resourcePath.size() && endpointPath.starts_with(resourcePath) &&
                endpointPath[resourcePath.size()] == '/');
    } catch (const std::exception&) {
        // Only allocation can fail here; a resource that cannot be judged covers nothing.
        return false;
    }
}

}  // namespace mcp
