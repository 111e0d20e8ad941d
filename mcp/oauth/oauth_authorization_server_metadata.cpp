#include "mcp/oauth/oauth_authorization_server_metadata.hpp"

#include "mcp/oauth/detail/document_codecs.hpp"

namespace mcp {

OAuthAuthorizationServerMetadata Codec<OAuthAuthorizationServerMetadata>::decode(const Value& value,
                                                                                 const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .issuer = reader.optional<boost::urls::url>("issuer"),
        .authorizationEndpoint = reader.optional<boost::urls::url>("authorization_endpoint"),
        .tokenEndpoint = reader.optional<boost::urls::url>("token_endpoint"),
        .registrationEndpoint = reader.optional<boost::urls::url>("registration_endpoint"),
        .codeChallengeMethodsSupported = reader.optional<std::vector<std::string>>("code_challenge_methods_supported"),
        .tokenEndpointAuthMethodsSupported =
            reader.optional<std::vector<std::string>>("token_endpoint_auth_methods_supported"),
        .clientIDMetadataDocumentSupported = reader.optional<bool>("client_id_metadata_document_supported"),
    };
}

}  // namespace mcp
