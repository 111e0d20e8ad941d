#include "mcp/oauth/oauth_access_token.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using std::chrono::seconds;
using std::chrono::system_clock;

const system_clock::time_point kExpiry{seconds(1'750'000'000)};

void expectSameToken(const OAuthAccessToken& actual, const OAuthAccessToken& expected) {
    EXPECT_EQ(actual.value, expected.value);
    EXPECT_EQ(actual.tokenType, expected.tokenType);
    EXPECT_EQ(actual.expiresAt, expected.expiresAt);
    EXPECT_EQ(actual.scopes, expected.scopes);
    EXPECT_EQ(actual.authorizationServer, expected.authorizationServer);
    EXPECT_EQ(actual.refreshToken, expected.refreshToken);
    EXPECT_EQ(actual.clientID, expected.clientID);
    EXPECT_EQ(actual.resource, expected.resource);
}

TEST(OAuthAccessToken, WritesFieldNamesAsKeysInFieldOrder) {
    const OAuthAccessToken token{"at", "Bearer", kExpiry, {"write", "read"}, boost::urls::url("https://auth.example.com"),
                                 "rt", "client-1", boost::urls::url("https://api.example.com/mcp")};
    EXPECT_EQ(encodeJSON(token),
              R"({"value":"at","tokenType":"Bearer","expiresAt":1750000000,"scopes":["read","write"],)"
              R"("authorizationServer":"https://auth.example.com","refreshToken":"rt","clientID":"client-1",)"
              R"("resource":"https://api.example.com/mcp"})");

    const OAuthAccessToken bare{"at", "Bearer", std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(encodeJSON(bare), R"({"value":"at","tokenType":"Bearer","scopes":[]})");
}

TEST(OAuthAccessToken, RoundTripKeepsEveryField) {
    const OAuthAccessToken cases[] = {
        {"at", "Bearer", kExpiry, {"a", "b"}, boost::urls::url("https://auth.example.com/t"), "rt", "c",
         boost::urls::url("http://127.0.0.1:8080")},
        {"at", "Bearer", kExpiry + std::chrono::milliseconds(250), {}, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt},
        {"at", "DPoP", system_clock::time_point(std::chrono::microseconds(-1'500'001)), {"x"}, std::nullopt, "rt",
         std::nullopt, std::nullopt},
    };
    for (const auto& token : cases) {
        const auto json = encodeJSON(token);
        SCOPED_TRACE(json);
        expectSameToken(decodeJSON<OAuthAccessToken>(json), token);
    }
}

TEST(OAuthAccessToken, ReadingCollapsesDuplicateScopesAndTreatsNullAsAbsent) {
    const auto token = decodeJSON<OAuthAccessToken>(
        R"({"value":"v","tokenType":"Bearer","scopes":["a","b","a"],"expiresAt":null,"refreshToken":null,"extra":1})");
    EXPECT_EQ(token.scopes, (std::set<std::string>{"a", "b"}));
    EXPECT_FALSE(token.expiresAt);
    EXPECT_FALSE(token.refreshToken);
}

TEST(OAuthAccessToken, RefusesIncompleteDocuments) {
    const struct {
        std::string_view json;
        DecodingError::Kind kind;
    } cases[] = {
        {R"({"value":"v","tokenType":"Bearer"})", DecodingError::Kind::keyNotFound},
        {R"({"value":"v","tokenType":"Bearer","scopes":null})", DecodingError::Kind::valueNotFound},
        {R"({"value":"v","scopes":[]})", DecodingError::Kind::keyNotFound},
        {R"({"value":"v","tokenType":"Bearer","scopes":[],"expiresAt":"soon"})", DecodingError::Kind::typeMismatch},
        {R"({"value":"v","tokenType":"Bearer","scopes":[],"expiresAt":1e300})", DecodingError::Kind::dataCorrupted},
        {R"({"value":"v","tokenType":"Bearer","scopes":[1]})", DecodingError::Kind::typeMismatch},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.json);
        try {
            decodeJSON<OAuthAccessToken>(row.json);
            ADD_FAILURE() << "the token was read";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), row.kind) << error.debugDescription();
        }
    }
}

TEST(OAuthAccessToken, IsExpiredOnceNowPlusSkewReachesTheExpiry) {
    const OAuthAccessToken expiring{"v", "Bearer", kExpiry, {}, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    const OAuthAccessToken everlasting{"v", "Bearer", std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt,
                                       std::nullopt};
    const struct {
        std::string_view name;
        const OAuthAccessToken& token;
        system_clock::time_point now;
        double skew;
        bool expired;
    } cases[] = {
        {"no expiry, large skew", everlasting, kExpiry, 1e6, false},
        {"now plus skew at the expiry", expiring, kExpiry - seconds(30), 30, true},
        {"one second short", expiring, kExpiry - seconds(31), 30, false},
        {"at the expiry without skew", expiring, kExpiry, 0, true},
        {"fraction of a second short", expiring, kExpiry - seconds(1), 0.5, false},
        {"negative skew", expiring, kExpiry, -1, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.token.isExpired(row.now, row.skew), row.expired);
    }
}

}  // namespace
}  // namespace mcp
