#include "mcp/oauth/client/client_registrar.hpp"

#include "mcp/json/json.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::json;
using testing::notFound;
using testing::RecordedRequest;
using testing::Reply;
using testing::ScriptedHTTPServer;

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using GrantType = OAuthConfiguration::GrantType;
using Kind = OAuthAuthorizationError::Kind;

OAuthConfiguration configuration(Authentication authentication, GrantType grant = GrantType::authorizationCode) {
    return OAuthConfiguration({.grantType = grant,
                               .authentication = std::move(authentication),
                               .authorizationRedirectURI = boost::urls::url("http://127.0.0.1:50000/callback"),
                               .clientName = "Vantor Test"});
}

TEST(ClientRegistrar, DecidesWhetherTheClientMustRegister) {
    const std::optional<boost::urls::url> endpoint = boost::urls::url("https://as.example.com/register");
    const struct {
        std::string_view name;
        Authentication authentication;
        std::optional<bool> documentsSupported;
        std::optional<boost::urls::url> registrationEndpoint;
        std::optional<bool> registers;  // absent: refused
        std::optional<Kind> refusal = std::nullopt;
    } cases[] = {
        {"secret client never registers", Authentication::clientSecretPost("c", "s"), true, endpoint, false},
        {"public client registers", Authentication::none("c"), std::nullopt, endpoint, true},
        {"no registration endpoint", Authentication::none("c"), std::nullopt, std::nullopt, false},
        {"document URL where documents are read", Authentication::none("https://app.example.com/client.json"), true,
         endpoint, false},
        {"https URL without path where documents are read", Authentication::none("https://app.example.com"), true,
         endpoint, std::nullopt, Kind::invalidClientIDMetadataURL},
        {"http URL where documents are read", Authentication::none("http://app.example.com/client.json"), true,
         endpoint, std::nullopt, Kind::invalidClientIDMetadataURL},
        {"plain word where documents are read", Authentication::none("my-client"), true, endpoint, true},
        {"document URL where documents are not read", Authentication::none("https://app.example.com/client.json"),
         false, endpoint, true},
        {"document URL, no documents, no registration", Authentication::none("https://app.example.com/client.json"),
         std::nullopt, std::nullopt, std::nullopt, Kind::cimdNotSupported},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        OAuthAuthorizationServerMetadata metadata;
        metadata.clientIDMetadataDocumentSupported = row.documentsSupported;
        metadata.registrationEndpoint = row.registrationEndpoint;
        const auto config = configuration(row.authentication);
        if (row.registers) {
            EXPECT_EQ(needsRegistration(config, metadata), *row.registers);
            continue;
        }
        try {
            needsRegistration(config, metadata);
            ADD_FAILURE() << "decided";
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_EQ(error.kind(), row.refusal);
        }
    }
}

TEST(ClientRegistrar, AsksForTheGrantTypesOfTheConfiguredGrant) {
    EXPECT_EQ(parseJSON(registrationRequestBody(configuration(Authentication::none("c")))),
              parseJSON(R"({"client_name":"Vantor Test","grant_types":["authorization_code","refresh_token"],
                            "token_endpoint_auth_method":"none","response_types":["code"],
                            "redirect_uris":["http://127.0.0.1:50000/callback"]})"));
    EXPECT_EQ(parseJSON(registrationRequestBody(configuration(Authentication::none("c"), GrantType::clientCredentials))),
              parseJSON(R"({"client_name":"Vantor Test","grant_types":["client_credentials"],
                            "token_endpoint_auth_method":"none"})"));
}

// The token endpoint demands the method the server registered the client with, whatever the
// client asked for; a method it cannot use (no secret, or a key it does not have) leaves "none".
TEST(ClientRegistrar, AuthenticatesAsTheServerRegisteredTheClient) {
    const struct {
        std::string_view name;
        std::optional<std::string> method;
        std::optional<std::string> secret;
        Authentication authentication;
    } cases[] = {
        {"no method, no secret", std::nullopt, std::nullopt, Authentication::none("new-id")},
        {"secret without a method", std::nullopt, "s", Authentication::none("new-id")},
        {"none", "none", std::nullopt, Authentication::none("new-id")},
        {"basic with a secret", "client_secret_basic", "s", Authentication::clientSecretBasic("new-id", "s")},
        {"post with a secret", "client_secret_post", "s", Authentication::clientSecretPost("new-id", "s")},
        {"basic without a secret", "client_secret_basic", std::nullopt, Authentication::none("new-id")},
        {"post with an empty secret", "client_secret_post", "", Authentication::none("new-id")},
        {"a key the client does not have", "private_key_jwt", "s", Authentication::none("new-id")},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Value::Object reply{{"client_id", Value("new-id")}};
        if (row.method) reply.insertOrAssign("token_endpoint_auth_method", Value(*row.method));
        if (row.secret) reply.insertOrAssign("client_secret", Value(*row.secret));
        const auto registration = readRegistrationReply(201, writeJSON(Value(std::move(reply))));
        EXPECT_EQ(registration.response.clientID, "new-id");
        EXPECT_EQ(registration.authentication, row.authentication);
    }
}

TEST(ClientRegistrar, ReportsARefusedRegistration) {

    const struct {
        int status;
        std::string_view body;
        std::string_view description;
    } failures[] = {
        {400, R"({"error":"invalid_client_metadata"})",
         "Token request failed with status 400 (oauth_error: invalid_client_metadata)"},
        {500, "", "Token request failed with status 500"},
        {302, "", "Token request failed with status 302"},
    };
    for (const auto& row : failures) {
        SCOPED_TRACE(row.status);
        try {
            readRegistrationReply(row.status, row.body);
            ADD_FAILURE() << "registered";
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_EQ(error.what(), row.description);
        }
    }
    EXPECT_THROW(readRegistrationReply(200, R"({"client_secret":"s"})"), DecodingError);
}

class ClientRegistrarTest : public testing::OAuthNetworkTest {};

TEST_F(ClientRegistrarTest, PostsTheRegistrationAndTakesTheNewClientID) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (parseJSON(request.body).objectValue()->find("redirect_uris")) return json(R"({"client_id":"code-client"})", 201);
        return json(R"({"error":"invalid_client_metadata"})", 400);
    });
    auto session = makeClient();
    const OAuthClientRegistrar registrar(OAuthURLValidator(true));
    OAuthAuthorizationServerMetadata metadata;
    metadata.registrationEndpoint = boost::urls::url(server.url("/register"));

    const auto registration = await(registrar.registerClientIfNeeded(configuration(Authentication::none("")), metadata, *session));
    ASSERT_TRUE(registration);
    EXPECT_EQ(registration->authentication, Authentication::none("code-client"));
    const auto request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Accept"), "application/json");
    EXPECT_EQ(parseJSON(request.body), parseJSON(registrationRequestBody(configuration(Authentication::none("")))));

    try {
        await(registrar.registerClientIfNeeded(configuration(Authentication::none(""), GrantType::clientCredentials),
                                               metadata, *session));
        ADD_FAILURE() << "registered";
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.what(), std::string("Token request failed with status 400 (oauth_error: invalid_client_metadata)"));
    }

    // Without the loopback allowance the plain-http endpoint is refused before any request.
    EXPECT_THROW(await(OAuthClientRegistrar(OAuthURLValidator(false))
                           .registerClientIfNeeded(configuration(Authentication::none("")), metadata, *session)),
                 OAuthAuthorizationError);
    EXPECT_EQ(server.requests().size(), 2u);
}

}  // namespace
}  // namespace mcp
