#include "mcp/oauth/client/token_endpoint_client.hpp"

#include "mcp/json/coding.hpp"
#include "mcp/oauth/client/detail/form_encoding.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "tests/mcp/coroutine_runner.hpp"
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
using Parameters = std::map<std::string, std::string>;
using Kind = OAuthAuthorizationError::Kind;

const boost::urls::url kTokenEndpoint("https://as.example.com/token");

TEST(FormEncoding, SortsByNameAndEncodesEverythingButUnreservedCharacters) {
    EXPECT_EQ(detail::formURLEncode({{"scope", "a b"},
                             {"grant_type", "client_credentials"},
                             {"resource", "urn:x/y"},
                             {"client_id", "c1"}}),
              "client_id=c1&grant_type=client_credentials&resource=urn%3Ax%2Fy&scope=a%20b");
    EXPECT_EQ(detail::formURLEncode({{"b", "1+1=2"}, {"_", "~.-_"}, {"Z", "\xC3\xA9"}}), "Z=%C3%A9&_=~.-_&b=1%2B1%3D2");
    EXPECT_EQ(detail::formURLEncode({}), "");
}

TEST(TokenEndpointAuthentication, AddsEachMethodsCredentials) {
    const OAuthConfiguration::AssertionFactory factory = [](boost::urls::url endpoint,
                                                            std::string clientID) -> boost::asio::awaitable<std::string> {
        co_return "assertion-for-" + clientID + "-at-" + std::string(endpoint.buffer());
    };
    const struct {
        std::string_view name;
        Authentication authentication;
        HTTPHeaders headers;
        Parameters parameters;
    } cases[] = {
        // The id "a b" and secret "p:w" travel form-encoded: "a%20b:p%3Aw".
        {"basic", Authentication::clientSecretBasic("a b", "p:w"), {{"Authorization", "Basic YSUyMGI6cCUzQXc="}},
         {{"client_id", "caller"}, {"grant_type", "client_credentials"}}},
        {"post", Authentication::clientSecretPost("c1", "s3cret"), {},
         {{"client_id", "c1"}, {"client_secret", "s3cret"}, {"grant_type", "client_credentials"}}},
        {"none", Authentication::none("c1"), {}, {{"client_id", "c1"}, {"grant_type", "client_credentials"}}},
        {"private key jwt", Authentication::privateKeyJWT("c1", factory), {},
         {{"client_assertion", "assertion-for-c1-at-https://as.example.com/token"},
          {"client_assertion_type", "urn:ietf:params:oauth:client-assertion-type:jwt-bearer"},
          {"client_id", "c1"},
          {"grant_type", "client_credentials"}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        HTTPHeaders headers;
        Parameters parameters{{"client_id", "caller"}, {"grant_type", "client_credentials"}};
        testing::runCoroutine([&]() -> boost::asio::awaitable<void> {
            co_await applyTokenEndpointAuthentication(row.authentication, headers, parameters, kTokenEndpoint);
        });
        EXPECT_EQ(headers, row.headers);
        EXPECT_EQ(parameters, row.parameters);
    }
}

TEST(TokenEndpointAuthentication, AFailingAssertionFactoryAddsNothingAndPassesItsErrorOn) {
    const auto failing = Authentication::privateKeyJWT(
        "c1", [](boost::urls::url, std::string) -> boost::asio::awaitable<std::string> {
            throw std::runtime_error("no key");
            co_return "";
        });
    HTTPHeaders headers;
    Parameters parameters;
    EXPECT_THROW(testing::runCoroutine([&]() -> boost::asio::awaitable<void> {
                     co_await applyTokenEndpointAuthentication(failing, headers, parameters, kTokenEndpoint);
                 }),
                 std::runtime_error);
    EXPECT_FALSE(parameters.contains("client_assertion"));
}

TEST(TokenEndpointReply, AcceptsBearerTokensAndRefusesTheRest) {
    const struct {
        std::string_view name;
        int status;
        std::string_view body;
        std::optional<Kind> refusal;
        std::string_view description = "";
    } cases[] = {
        {"bearer", 200, R"({"access_token":"at","token_type":"Bearer","expires_in":3600,"refresh_token":"rt"})",
         std::nullopt},
        {"bearer with blanks around it", 200, R"({"access_token":"at","token_type":" bearer\n"})", std::nullopt},
        {"created", 201, R"({"access_token":"at","token_type":"BEARER"})", std::nullopt},
        {"mac token", 200, R"({"access_token":"at","token_type":"mac"})", Kind::tokenResponseInvalid,
         "Token response is invalid"},
        {"empty access token", 200, R"({"access_token":"","token_type":"Bearer"})", Kind::tokenResponseInvalid},
        {"blank token type", 200, R"({"access_token":"at","token_type":"  "})", Kind::tokenResponseInvalid},
        {"oauth error", 400, R"({"error":"invalid_grant","error_description":"expired"})", Kind::tokenRequestFailed,
         "Token request failed with status 400 (oauth_error: invalid_grant)"},
        {"server error page", 500, "<html>oops</html>", Kind::tokenRequestFailed, "Token request failed with status 500"},
        {"redirect", 302, "", Kind::tokenRequestFailed, "Token request failed with status 302"},
        {"error member in a 200 is not looked at", 200, R"({"access_token":"at","token_type":"Bearer","error":"x"})",
         std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        if (!row.refusal) {
            const auto response = readTokenEndpointReply(row.status, row.body);
            EXPECT_EQ(response.accessToken, "at");
            continue;
        }
        try {
            readTokenEndpointReply(row.status, row.body);
            ADD_FAILURE() << "accepted";
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_EQ(error.kind(), *row.refusal);
            if (!row.description.empty()) {
                EXPECT_EQ(error.what(), row.description);
            }
        }
    }
    // The token type is kept as the server wrote it.
    EXPECT_EQ(readTokenEndpointReply(200, R"({"access_token":"at","token_type":" bearer\n"})").tokenType, " bearer\n");
    EXPECT_THROW(readTokenEndpointReply(200, R"({"token_type":"Bearer"})"), DecodingError);
}

class TokenEndpointClientTest : public testing::OAuthNetworkTest {
protected:
    OAuthTokenEndpointClient client;
};

TEST_F(TokenEndpointClientTest, PostsTheFormWithEachAuthenticationMethod) {
    const OAuthConfiguration::AssertionFactory factory = [](boost::urls::url,
                                                            std::string) -> boost::asio::awaitable<std::string> {
        co_return "signed.jwt.here";
    };
    const struct {
        std::string_view name;
        Authentication authentication;
        std::optional<std::string> authorization;
        std::string body;
    } cases[] = {
        {"basic", Authentication::clientSecretBasic("c1", "s:1"), "Basic YzE6cyUzQTE=",
         "grant_type=client_credentials&resource=https%3A%2F%2Fapi.example.com%2Fmcp&scope=a%20b"},
        {"post", Authentication::clientSecretPost("c1", "s:1"), std::nullopt,
         "client_id=c1&client_secret=s%3A1&grant_type=client_credentials&resource=https%3A%2F%2Fapi.example.com%2Fmcp"
         "&scope=a%20b"},
        {"none", Authentication::none("c1"), std::nullopt,
         "client_id=c1&grant_type=client_credentials&resource=https%3A%2F%2Fapi.example.com%2Fmcp&scope=a%20b"},
        {"private key jwt", Authentication::privateKeyJWT("c1", factory), std::nullopt,
         "client_assertion=signed.jwt.here&client_assertion_type=urn%3Aietf%3Aparams%3Aoauth%3Aclient-assertion-type"
         "%3Ajwt-bearer&client_id=c1&grant_type=client_credentials&resource=https%3A%2F%2Fapi.example.com%2Fmcp"
         "&scope=a%20b"},
    };
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return json(R"({"access_token":"at","token_type":"Bearer","expires_in":60})");
    });
    auto session = makeClient();
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto response = await(client.requestToken(
            {{"grant_type", "client_credentials"}, {"resource", "https://api.example.com/mcp"}, {"scope", "a b"}},
            boost::urls::url(server.url("/token")), row.authentication, *session, std::nullopt));
        EXPECT_EQ(response.accessToken, "at");
        const auto request = server.requests().back();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target, "/token");
        EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(request.header("Accept"), "application/json");
        EXPECT_EQ(request.header("Authorization"), row.authorization);
        EXPECT_EQ(request.body, row.body);
    }
}

TEST_F(TokenEndpointClientTest, DoesNotFollowARedirectWithTheCredentials) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.target == "/token") return Reply{.status = 307, .headers = {{"Location", "/elsewhere"}}};
        return json(R"({"access_token":"stolen","token_type":"Bearer"})");
    });
    auto session = makeClient();
    try {
        await(client.requestToken({{"grant_type", "client_credentials"}}, boost::urls::url(server.url("/token")),
                                  Authentication::clientSecretPost("c1", "secret"), *session, std::nullopt));
        ADD_FAILURE() << "a token was returned";
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.what(), std::string("Token request failed with status 307"));
    }
    EXPECT_EQ(targets(server), std::vector<std::string>{"/token"});
}

TEST_F(TokenEndpointClientTest, RefusesATokenEndpointThatResolvesToAPrivateAddress) {
    auto session = makeClient({{"as.internal.example", "10.0.0.5"}});
    try {
        await(client.requestToken({{"grant_type", "client_credentials"}},
                                  boost::urls::url("https://as.internal.example/token"),
                                  Authentication::clientSecretPost("c1", "secret"), *session, "Token endpoint"));
        ADD_FAILURE() << "a token was returned";
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.kind(), Kind::privateIPAddressBlocked);
        EXPECT_EQ(error.what(), std::string("Token endpoint resolves to a private or reserved IP address which is "
                                            "blocked for SSRF protection: https://as.internal.example/token (10.0.0.5)"));
    }
    EXPECT_EQ(connector_->attempts, 0);
}

}  // namespace
}  // namespace mcp
