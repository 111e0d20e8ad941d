#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace mcp {
namespace {

using Error = OAuthAuthorizationError;
using Kind = Error::Kind;

TEST(OAuthAuthorizationError, DescribesEveryCase) {
    const struct {
        std::string_view name;
        Error error;
        std::string_view description;
    } cases[] = {
        {"token request with oauth error", Error::tokenRequestFailed(400, "invalid_grant"),
         "Token request failed with status 400 (oauth_error: invalid_grant)"},
        {"token request with empty oauth error", Error::tokenRequestFailed(400, ""), "Token request failed with status 400"},
        {"token request without oauth error", Error::tokenRequestFailed(-1, std::nullopt),
         "Token request failed with status -1"},
        {"invalid resource", Error::invalidResourceURI("Invalid MCP endpoint: https://h/#f"),
         "Invalid resource URI: Invalid MCP endpoint: https://h/#f"},
        {"client id metadata url", Error::invalidClientIDMetadataURL("http://c.example"),
         "Client ID metadata document URL must use https and include a path: http://c.example"},
        {"resource mismatch", Error::protectedResourceMismatch("https://a/mcp", "https://b"),
         "Protected resource metadata resource mismatch. Expected https://a/mcp, got https://b"},
        {"cimd", Error::cimdNotSupported("https://c.example/client.json"),
         "Authorization server does not support Client ID Metadata Documents; configure pre-registered credentials "
         "or ensure the server advertises client_id_metadata_document_supported: https://c.example/client.json"},
        {"private address", Error::privateIPAddressBlocked("Token endpoint", "https://10.0.0.5/token"),
         "Token endpoint resolves to a private or reserved IP address which is blocked for SSRF protection: "
         "https://10.0.0.5/token"},
        {"insecure endpoint", Error::insecureOAuthEndpoint("MCP endpoint", "http://example.com"),
         "MCP endpoint must use https or loopback http: http://example.com"},
        {"insecure authorization server", Error::insecureAuthorizationServerEndpoint("Token endpoint", "http://127.0.0.1:9000"),
         "Token endpoint must use https: http://127.0.0.1:9000"},
        {"redirect", Error::invalidRedirectURI("myapp://cb"),
         "Redirect URI must use https or loopback http and must not include fragments: myapp://cb"},
        {"authorization request", Error::authorizationRequestFailed(401), "Authorization request failed with status 401"},
        {"redirect mismatch", Error::authorizationResponseRedirectMismatch("http://127.0.0.1:1/cb", "http://x/cb"),
         "Authorization response redirect URI mismatch. Expected http://127.0.0.1:1/cb, got http://x/cb"},
        {"state mismatch", Error::authorizationResponseStateMismatch("S", "T"),
         "Authorization response state mismatch. Expected S, got T"},
        {"s256 not supported", Error::pkceS256NotSupported({"plain", "S384"}),
         "Authorization server metadata must support PKCE S256 (advertised: plain, S384)"},
        {"s256 not supported, none advertised", Error::pkceS256NotSupported({}),
         "Authorization server metadata must support PKCE S256 (advertised: )"},
        {"issuer mismatch", Error::authorizationServerIssuerMismatch("https://as", "https://as/"),
         "Authorization server issuer mismatch. Expected https://as, got https://as/"},
        {"missing server", Error::make(Kind::missingAuthorizationServer),
         "No authorization server was found in protected resource metadata"},
        {"resource discovery", Error::make(Kind::metadataDiscoveryFailed), "Failed to discover protected resource metadata"},
        {"server discovery", Error::make(Kind::authorizationServerMetadataDiscoveryFailed),
         "Failed to discover authorization server metadata"},
        {"token endpoint", Error::make(Kind::tokenEndpointMissing), "Authorization server metadata is missing token_endpoint"},
        {"token response", Error::make(Kind::tokenResponseInvalid), "Token response is invalid"},
        {"registration", Error::make(Kind::registrationInformationRequired),
         "No supported client registration mechanism was available; provide pre-registered client credentials"},
        {"no location", Error::make(Kind::authorizationResponseMissingRedirectLocation),
         "Authorization response is missing redirect location"},
        {"no state", Error::make(Kind::authorizationResponseMissingState), "Authorization response is missing state"},
        {"no code", Error::make(Kind::authorizationResponseMissingCode),
         "Authorization response is missing the authorization code"},
        {"no methods", Error::make(Kind::pkceCodeChallengeMethodsMissing),
         "Authorization server metadata must include code_challenge_methods_supported for PKCE"},
        {"no s256", Error::make(Kind::pkceS256Unavailable),
         "PKCE S256 code challenge generation is unavailable on this platform"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.error.what(), row.description);
        EXPECT_EQ(row.error.errorDescription(), row.description);
    }
}

TEST(OAuthAuthorizationError, KeepsTheValuesCallersActOn) {
    const auto refused = Error::tokenRequestFailed(400, "invalid_grant");
    EXPECT_EQ(refused.kind(), Kind::tokenRequestFailed);
    EXPECT_EQ(refused.statusCode(), 400);
    EXPECT_EQ(refused.oauthError(), "invalid_grant");

    const auto mismatch = Error::authorizationServerIssuerMismatch("https://as", "https://evil");
    EXPECT_EQ(mismatch.kind(), Kind::authorizationServerIssuerMismatch);
    EXPECT_EQ(mismatch.values(), (std::vector<std::string>{"https://as", "https://evil"}));
    EXPECT_FALSE(mismatch.statusCode());
}

TEST(OAuthAuthorizationError, RefusesToMakeACaseWithValuesWithoutThem) {
    EXPECT_THROW(Error::make(Kind::tokenRequestFailed), std::logic_error);
}

}  // namespace
}  // namespace mcp
