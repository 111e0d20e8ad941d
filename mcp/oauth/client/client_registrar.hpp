#pragma once

// Dynamic client registration (RFC 7591): whether a public client must register at the
// authorization server before it asks for a token, the registration request, and the reply.

#include "mcp/oauth/client/oauth_configuration.hpp"
#include "mcp/oauth/oauth_authorization_server_metadata.hpp"
#include "mcp/oauth/oauth_client_registration_response.hpp"

#include <string>
#include <string_view>

namespace mcp {

// isURLLikeClientID: whether `clientID` reads as a URL with a scheme.
bool isURLLikeClientID(std::string_view clientID);

// isClientIDMetadataDocumentURL: whether `clientID` is an https URL with a path other than ""
// and "/", where the client publishes its own metadata document instead of registering.
bool isClientIDMetadataDocumentURL(std::string_view clientID);

// needsRegistration: whether the client configured in `configuration` must register at the
// server described by `metadata`. Only a client without a secret or key (authentication none)
// registers, and only where the server has a registration endpoint; a client whose ID is a
// metadata document URL needs none where the server reads such documents. Throws
// OAuthAuthorizationError invalidClientIDMetadataURL for a URL-like client ID that is no such
// document URL while the server reads them, and cimdNotSupported for a document URL where the
// server has neither the documents nor registration.
bool needsRegistration(const OAuthConfiguration& configuration, const OAuthAuthorizationServerMetadata& metadata);

// registrationRequestBody: the JSON registration request: client_name, grant_types,
// token_endpoint_auth_method "none", and for the authorization-code grant response_types and
// redirect_uris.
std::string registrationRequestBody(const OAuthConfiguration& configuration);

// OAuthClientRegistration: a registration that succeeded, and the authentication to use from
// now on: none with the registered client ID. A secret in the reply is not used.
struct OAuthClientRegistration {
    OAuthClientRegistrationResponse response;
    OAuthConfiguration::TokenEndpointAuthentication authentication;
};

// readRegistrationReply: the registration in a reply of status `statusCode` with `body`. Throws
// OAuthAuthorizationError tokenRequestFailed (with the "error" of a JSON error body) for a
// status outside 200-299, and DecodingError for a 2xx body that is no registration reply.
OAuthClientRegistration readRegistrationReply(int statusCode, std::string_view body);

}  // namespace mcp
