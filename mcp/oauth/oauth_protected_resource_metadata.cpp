#include "mcp/oauth/oauth_protected_resource_metadata.hpp"

#include "mcp/oauth/detail/document_codecs.hpp"

namespace mcp {

Value Codec<OAuthProtectedResourceServerMetadata>::encode(const OAuthProtectedResourceServerMetadata& metadata) {
    ObjectBuilder builder;
    builder.add("resource", metadata.resource)
        .add("authorization_servers", metadata.authorizationServers)
        .addIfPresent("scopes_supported", metadata.scopesSupported);
    return std::move(builder).build();
}

OAuthProtectedResourceServerMetadata Codec<OAuthProtectedResourceServerMetadata>::decode(const Value& value,
                                                                                         const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .resource = reader.required<std::string>("resource"),
        .authorizationServers = reader.required<std::vector<boost::urls::url>>("authorization_servers"),
        .scopesSupported = reader.optional<std::vector<std::string>>("scopes_supported"),
    };
}

OAuthProtectedResourceMetadata Codec<OAuthProtectedResourceMetadata>::decode(const Value& value,
                                                                             const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .resource = reader.optional<std::string>("resource"),
        .authorizationServers = reader.required<std::vector<boost::urls::url>>("authorization_servers"),
        .scopesSupported = reader.optional<std::vector<std::string>>("scopes_supported"),
    };
}

}  // namespace mcp
