#pragma once

// Dynamic client registration (RFC 7591): whether a public client must register at the
// authorization server before it asks for a token, the registration request, and the reply.

#include "mcp/oauth/client/configuration/oauth_configuration.hpp"
#include "mcp/oauth/client/oauth_url_validator.hpp"
#include "mcp/oauth/oauth_authorization_server_metadata.hpp"
#include "mcp/oauth/oauth_client_registration_response.hpp"

#include "net/http_client.hpp"

#include <boost/asio/awaitable.hpp>

#include <optional>
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
// now on, the one the server registered the client with: client_secret_basic or
// client_secret_post with the registered client ID and secret when the reply names that method
// and gives a secret, else none with the registered client ID.
struct OAuthClientRegistration {
    OAuthClientRegistrationResponse response;
    OAuthConfiguration::TokenEndpointAuthentication authentication;
};

// readRegistrationReply: the registration in a reply of status `statusCode` with `body`. Throws
// OAuthAuthorizationError tokenRequestFailed (with the "error" of a JSON error body) for a
// status outside 200-299, and DecodingError for a 2xx body that is no registration reply.
OAuthClientRegistration readRegistrationReply(int statusCode, std::string_view body);

// OAuthClientRegistering: how the authorizer registers its client; a program may supply its own.
class OAuthClientRegistering {
public:
    virtual ~OAuthClientRegistering() = default;

    // registerClientIfNeeded: registers the client of `configuration` at the server of
    // `metadata` when needsRegistration says so, through `session`; absent when nothing was to
    // be done. Throws what needsRegistration and readRegistrationReply throw, the URL check's
    // error for the registration endpoint, privateIPAddressBlocked when that endpoint resolves
    // to a private address, and the HTTP client's errors unchanged.
    virtual boost::asio::awaitable<std::optional<OAuthClientRegistration>> registerClientIfNeeded(
        OAuthConfiguration configuration, OAuthAuthorizationServerMetadata metadata,
        net::HTTPClient& session) const = 0;
};

// OAuthClientRegistrar: a JSON POST to the registration endpoint, which must pass the
// authorization-server URL check ("Client registration endpoint"). Redirects are not followed.
// With `allowPrivateAddresses` (the endpoint of a server the program named itself) the
// endpoint may resolve to a private address.
class OAuthClientRegistrar final : public OAuthClientRegistering {
public:
    explicit OAuthClientRegistrar(OAuthURLValidator urlValidator, bool allowPrivateAddresses = false)
        : urlValidator_(urlValidator), allowPrivateAddresses_(allowPrivateAddresses) {}

    boost::asio::awaitable<std::optional<OAuthClientRegistration>> registerClientIfNeeded(
        OAuthConfiguration configuration, OAuthAuthorizationServerMetadata metadata,
        net::HTTPClient& session) const override;

private:
    OAuthURLValidator urlValidator_;
    bool allowPrivateAddresses_;
};

}  // namespace mcp
