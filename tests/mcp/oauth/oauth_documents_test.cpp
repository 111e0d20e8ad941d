#include "mcp/oauth/oauth_authorization_server_metadata.hpp"
#include "mcp/oauth/oauth_client_registration_response.hpp"
#include "mcp/oauth/oauth_protected_resource_metadata.hpp"
#include "mcp/oauth/oauth_token_response.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

namespace mcp {
namespace {

template <class T>
T read(std::string_view json) {
    return Codec<T>::decode(parseJSON(json), {});
}

// Each refused document names the failure kind and, where a member is at fault, its path.
struct RefusedDocument {
    std::string_view name;
    std::function<void()> read;
    DecodingError::Kind kind;
    std::string_view path;
};

TEST(OAuthDocuments, RefuseBadDocumentsAsAWhole) {
    using Kind = DecodingError::Kind;
    const RefusedDocument cases[] = {
        {"token reply without token_type", [] { read<OAuthTokenResponse>(R"({"access_token":"a"})"); },
         Kind::keyNotFound, ""},
        {"token reply with null token_type",
         [] { read<OAuthTokenResponse>(R"({"access_token":"a","token_type":null})"); }, Kind::valueNotFound,
         "token_type"},
        {"token reply with expires_in as text",
         [] { read<OAuthTokenResponse>(R"({"access_token":"a","token_type":"Bearer","expires_in":"3600"})"); },
         Kind::typeMismatch, "expires_in"},
        {"token reply that is an array", [] { read<OAuthTokenResponse>("[]"); }, Kind::typeMismatch, ""},
        {"token error without error", [] { read<OAuthTokenErrorResponse>(R"({"error_description":"x"})"); },
         Kind::keyNotFound, ""},
        {"server metadata with a bad issuer URL",
         [] { read<OAuthAuthorizationServerMetadata>(R"({"issuer":"http://a b"})"); }, Kind::dataCorrupted,
         "issuer"},
        {"server metadata with an empty token endpoint",
         [] { read<OAuthAuthorizationServerMetadata>(R"({"token_endpoint":""})"); }, Kind::dataCorrupted,
         "token_endpoint"},
        {"server metadata with a flag as text",
         [] { read<OAuthAuthorizationServerMetadata>(R"({"client_id_metadata_document_supported":"yes"})"); },
         Kind::typeMismatch, "client_id_metadata_document_supported"},
        {"server-side resource metadata without resource",
         [] { read<OAuthProtectedResourceServerMetadata>(R"({"authorization_servers":[]})"); }, Kind::keyNotFound,
         ""},
        {"server-side resource metadata without servers",
         [] { read<OAuthProtectedResourceServerMetadata>(R"({"resource":"https://r"})"); }, Kind::keyNotFound, ""},
        {"client-side resource metadata without servers",
         [] { read<OAuthProtectedResourceMetadata>(R"({"resource":"https://r"})"); }, Kind::keyNotFound, ""},
        {"client-side resource metadata with a bad server URL",
         [] { read<OAuthProtectedResourceMetadata>(R"({"authorization_servers":["https://a","%zz"]})"); },
         Kind::dataCorrupted, "authorization_servers[1]"},
        {"registration reply without client_id", [] { read<OAuthClientRegistrationResponse>(R"({"client_secret":"s"})"); },
         Kind::keyNotFound, ""},
        {"registration reply with a fractional expiry",
         [] { read<OAuthClientRegistrationResponse>(R"({"client_id":"c","client_secret_expires_at":1.5})"); },
         Kind::dataCorrupted, "client_secret_expires_at"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        try {
            row.read();
            ADD_FAILURE() << "the document was read";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), row.kind) << error.debugDescription();
            EXPECT_EQ(error.path(), row.path) << error.debugDescription();
        }
    }
}

TEST(OAuthDocuments, TokenReplyReadsEveryMemberAndTreatsNullAsAbsent) {
    const auto full = read<OAuthTokenResponse>(
        R"({"access_token":"at","token_type":"Bearer","expires_in":3600,"scope":"a b","refresh_token":"rt","id_token":"x"})");
    EXPECT_EQ(full, (OAuthTokenResponse{"at", "Bearer", 3600, "a b", "rt"}));

    const auto bare = read<OAuthTokenResponse>(R"({"access_token":"at","token_type":"DPoP","expires_in":null})");
    EXPECT_EQ(bare, (OAuthTokenResponse{"at", "DPoP", std::nullopt, std::nullopt, std::nullopt}));
}

TEST(OAuthDocuments, TokenErrorReadsOnlyTheErrorCode) {
    const auto reply = read<OAuthTokenErrorResponse>(
        R"({"error":"invalid_grant","error_description":"expired","error_uri":"https://e"})");
    EXPECT_EQ(reply.error, "invalid_grant");
}

TEST(OAuthDocuments, AuthorizationServerMetadataReadsEmptyAndFullDocuments) {
    EXPECT_EQ(read<OAuthAuthorizationServerMetadata>("{}"), OAuthAuthorizationServerMetadata{});

    const auto full = read<OAuthAuthorizationServerMetadata>(R"({
        "issuer": "https://auth.example.com",
        "authorization_endpoint": "https://auth.example.com/authorize",
        "token_endpoint": "https://auth.example.com/token",
        "registration_endpoint": "https://auth.example.com/register",
        "code_challenge_methods_supported": ["S256"],
        "token_endpoint_auth_methods_supported": ["none", "client_secret_basic"],
        "client_id_metadata_document_supported": true,
        "response_types_supported": ["code"]
    })");
    ASSERT_TRUE(full.issuer && full.authorizationEndpoint && full.tokenEndpoint && full.registrationEndpoint);
    EXPECT_EQ(full.issuer->buffer(), "https://auth.example.com");
    EXPECT_EQ(full.authorizationEndpoint->buffer(), "https://auth.example.com/authorize");
    EXPECT_EQ(full.tokenEndpoint->buffer(), "https://auth.example.com/token");
    EXPECT_EQ(full.registrationEndpoint->buffer(), "https://auth.example.com/register");
    EXPECT_EQ(full.codeChallengeMethodsSupported, std::vector<std::string>{"S256"});
    EXPECT_EQ(full.tokenEndpointAuthMethodsSupported, (std::vector<std::string>{"none", "client_secret_basic"}));
    EXPECT_EQ(full.clientIDMetadataDocumentSupported, true);

    const auto nulls = read<OAuthAuthorizationServerMetadata>(R"({"issuer":null,"code_challenge_methods_supported":null})");
    EXPECT_EQ(nulls, OAuthAuthorizationServerMetadata{});
}

TEST(OAuthDocuments, ProtectedResourceMetadataResourceIsOptionalOnlyForTheClient) {
    const auto withoutResource = read<OAuthProtectedResourceMetadata>(R"({"authorization_servers":[]})");
    EXPECT_EQ(withoutResource, OAuthProtectedResourceMetadata{});

    const auto full = read<OAuthProtectedResourceMetadata>(
        R"({"resource":"https://api.example.com/mcp","authorization_servers":["https://auth.example.com"],"scopes_supported":["read","write"]})");
    EXPECT_EQ(full.resource, "https://api.example.com/mcp");
    ASSERT_EQ(full.authorizationServers.size(), 1u);
    EXPECT_EQ(full.authorizationServers[0].buffer(), "https://auth.example.com");
    EXPECT_EQ(full.scopesSupported, (std::vector<std::string>{"read", "write"}));

    const auto server = read<OAuthProtectedResourceServerMetadata>(
        R"({"resource":"https://api.example.com/mcp","authorization_servers":["https://auth.example.com"]})");
    EXPECT_EQ(server.resource, "https://api.example.com/mcp");
    ASSERT_EQ(server.authorizationServers.size(), 1u);
    EXPECT_EQ(server.authorizationServers[0].buffer(), "https://auth.example.com");
    EXPECT_FALSE(server.scopesSupported);
}

TEST(OAuthDocuments, ServerMetadataWritesItsKeysInOrderAndLeavesOutAbsentScopes) {
    const struct {
        std::string_view name;
        OAuthProtectedResourceServerMetadata metadata;
        std::string_view json;
    } cases[] = {
        {"no servers, no scopes", {"https://r", {}, std::nullopt}, R"({"resource":"https://r","authorization_servers":[]})"},
        {"servers and scopes",
         {"https://api.example.com/mcp",
          {boost::urls::url("https://auth.example.com"), boost::urls::url("https://other.example.com/t")},
          std::vector<std::string>{"write", "read"}},
         R"({"resource":"https://api.example.com/mcp","authorization_servers":["https://auth.example.com","https://other.example.com/t"],"scopes_supported":["write","read"]})"},
        {"empty scope list", {"r", {}, std::vector<std::string>{}},
         R"({"resource":"r","authorization_servers":[],"scopes_supported":[]})"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto json = encodeJSON(row.metadata);
        EXPECT_EQ(json, row.json);
        const auto back = read<OAuthProtectedResourceServerMetadata>(json);
        EXPECT_EQ(back.resource, row.metadata.resource);
        EXPECT_EQ(back.authorizationServers, row.metadata.authorizationServers);
        EXPECT_EQ(back.scopesSupported, row.metadata.scopesSupported);
    }
}

TEST(OAuthDocuments, RegistrationReplyNeedsOnlyTheClientID) {
    const auto bare = read<OAuthClientRegistrationResponse>(R"({"client_id":"c1"})");
    EXPECT_EQ(bare.clientID, "c1");
    EXPECT_FALSE(bare.clientSecret);
    EXPECT_FALSE(bare.tokenEndpointAuthMethod);
    EXPECT_FALSE(bare.clientSecretExpiresAt);

    const auto full = read<OAuthClientRegistrationResponse>(
        R"({"client_id":"c1","client_secret":"s","token_endpoint_auth_method":"client_secret_post","client_secret_expires_at":0,"redirect_uris":["http://127.0.0.1/cb"]})");
    EXPECT_EQ(full.clientSecret, "s");
    EXPECT_EQ(full.tokenEndpointAuthMethod, "client_secret_post");
    EXPECT_EQ(full.clientSecretExpiresAt, 0);
}

}  // namespace
}  // namespace mcp
