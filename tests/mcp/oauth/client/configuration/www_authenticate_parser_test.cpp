#include "mcp/oauth/client/configuration/www_authenticate_parser.hpp"

#include "mcp/oauth/www_authenticate.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using Parameters = std::map<std::string, std::string>;

TEST(DefaultOAuthWWWAuthenticateParser, ReadsTheBearerChallenge) {
    const struct {
        std::string_view name;
        HTTPHeaders headers;
        std::optional<Parameters> want;  // absent: no challenge
    } cases[] = {
        {"three parameters",
         {{"WWW-Authenticate",
           R"(Bearer error="insufficient_scope", scope="files:read files:write", resource_metadata="https://api.example.com/.well-known/oauth-protected-resource")"}},
         Parameters{{"error", "insufficient_scope"},
                    {"scope", "files:read files:write"},
                    {"resource_metadata", "https://api.example.com/.well-known/oauth-protected-resource"}}},
        {"header name in lower case", {{"www-authenticate", "Bearer error=invalid_token"}},
         Parameters{{"error", "invalid_token"}}},
        {"basic before bearer", {{"WWW-Authenticate", R"(Basic realm="a", Bearer realm="b", error="invalid_token")"}},
         Parameters{{"realm", "b"}, {"error", "invalid_token"}}},
        {"basic after bearer", {{"WWW-Authenticate", R"(Bearer realm="b", error="e", Basic realm="a")"}},
         Parameters{{"realm", "b"}, {"error", "e"}}},
        {"bare scheme after bearer ends it", {{"WWW-Authenticate", "Bearer error=e, Negotiate, scope=s"}},
         Parameters{{"error", "e"}}},
        {"comma inside quotes", {{"WWW-Authenticate", R"(Bearer error_description="a, b", error=e)"}},
         Parameters{{"error_description", "a, b"}, {"error", "e"}}},
        {"escaped quotes", {{"WWW-Authenticate", R"(Bearer error_description="say \"hi, there\"", scope=x)"}},
         Parameters{{"error_description", R"(say "hi, there")"}, {"scope", "x"}}},
        {"quoted backslash unquoted", {{"WWW-Authenticate", R"(Bearer realm="a\\b")"}}, Parameters{{"realm", R"(a\b)"}}},
        {"quoted pair of a letter", {{"WWW-Authenticate", R"(Bearer realm="a\b")"}}, Parameters{{"realm", "ab"}}},
        {"challenge written by the library reads back",
         {{"WWW-Authenticate", formatBearerChallenge("https://a.example/m", std::nullopt, "invalid_token", R"(C:\tmp "x")")}},
         Parameters{{"resource_metadata", "https://a.example/m"}, {"error", "invalid_token"}, {"error_description", R"(C:\tmp "x")"}}},
        {"escaped comma outside quotes", {{"WWW-Authenticate", R"(Bearer realm=a\,b)"}}, Parameters{{"realm", R"(a\,b)"}}},
        {"bare scheme", {{"WWW-Authenticate", "Bearer"}}, Parameters{}},
        {"scheme and blanks", {{"WWW-Authenticate", "Bearer   "}}, Parameters{}},
        {"scheme and a lone comma", {{"WWW-Authenticate", "Bearer ,"}}, Parameters{}},
        {"scheme in capitals, name in mixed case", {{"WWW-Authenticate", "BEARER Error=Invalid_Token"}},
         Parameters{{"error", "Invalid_Token"}}},
        {"scheme and tab", {{"WWW-Authenticate", "bearer\terror=e"}}, Parameters{{"error", "e"}}},
        {"name and equals only, equals and value only", {{"WWW-Authenticate", "Bearer a=, =b, c=d"}},
         Parameters{{"c", "d"}}},
        {"last duplicate wins", {{"WWW-Authenticate", "Bearer scope=a, scope=b"}}, Parameters{{"scope", "b"}}},
        {"token68 credential", {{"WWW-Authenticate", "Bearer abc123=="}}, Parameters{{"abc123", "="}}},
        {"unbalanced quote kept", {{"WWW-Authenticate", R"(Bearer realm="open)"}}, Parameters{{"realm", R"("open)"}}},
        {"value with blanks around", {{"WWW-Authenticate", "Bearer realm =  x  "}}, Parameters{{"realm", "x"}}},
        {"only basic", {{"WWW-Authenticate", R"(Basic realm="a")"}}, std::nullopt},
        {"scheme glued to letters", {{"WWW-Authenticate", "Bearerx error=e"}}, std::nullopt},
        {"empty header", {{"WWW-Authenticate", ""}}, std::nullopt},
        {"blank header", {{"WWW-Authenticate", " \t "}}, std::nullopt},
        {"no header", {{"Content-Type", "application/json"}}, std::nullopt},
        {"repeated fields merged",
         {{"WWW-Authenticate", R"(Basic realm="a")"}, {"Content-Type", "text/plain"},
          {"www-authenticate", R"(Bearer error="invalid_token", scope="s")"}},
         Parameters{{"error", "invalid_token"}, {"scope", "s"}}},
        {"repeated fields, bearer first", {{"WWW-Authenticate", "Bearer error=e"}, {"WWW-Authenticate", "Basic realm=r"}},
         Parameters{{"error", "e"}}},
    };
    const DefaultOAuthWWWAuthenticateParser parser;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto challenge = parser.parseBearer(row.headers);
        ASSERT_EQ(challenge.has_value(), row.want.has_value());
        if (challenge) {
            EXPECT_EQ(challenge->parameters, *row.want);
        }
    }
}

TEST(DefaultOAuthWWWAuthenticateParser, ParametersInCapitalsReachTheChallengeAccessors) {
    const auto challenge = DefaultOAuthWWWAuthenticateParser().parseBearer(
        {{"WWW-Authenticate", R"(Bearer SCOPE="a b", Resource_Metadata="https://api.example.com/m")"}});
    ASSERT_TRUE(challenge);
    EXPECT_EQ(challenge->scope(), "a b");
    EXPECT_EQ(challenge->resourceMetadataURL(), boost::urls::url("https://api.example.com/m"));
}

}  // namespace
}  // namespace mcp
