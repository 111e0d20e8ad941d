#include "mcp/oauth/oauth_bearer_challenge.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

TEST(OAuthBearerChallenge, ReadsItsParametersByExactName) {
    const OAuthBearerChallenge challenge{{
        {"scope", "read write"},
        {"error", "insufficient_scope"},
        {"error_description", "Need write"},
        {"resource_metadata", "https://api.example.com/.well-known/oauth-protected-resource"},
    }};
    EXPECT_EQ(challenge.scope(), "read write");
    EXPECT_EQ(challenge.error(), "insufficient_scope");
    EXPECT_EQ(challenge.errorDescription(), "Need write");
    ASSERT_TRUE(challenge.resourceMetadataURL());
    EXPECT_EQ(challenge.resourceMetadataURL()->buffer(), "https://api.example.com/.well-known/oauth-protected-resource");

    const OAuthBearerChallenge otherCase{{{"Scope", "read"}, {"ERROR", "invalid_token"}}};
    EXPECT_FALSE(otherCase.scope());
    EXPECT_FALSE(otherCase.error());
    EXPECT_FALSE(otherCase.errorDescription());
    EXPECT_FALSE(otherCase.resourceMetadataURL());
}

TEST(OAuthBearerChallenge, UnusableResourceMetadataLeavesTheOtherParameters) {
    for (const char* text : {"not a url", "", "%zz"}) {
        SCOPED_TRACE(text);
        const OAuthBearerChallenge challenge{{{"resource_metadata", text}, {"scope", "a"}, {"error", "invalid_token"}}};
        EXPECT_FALSE(challenge.resourceMetadataURL());
        EXPECT_EQ(challenge.scope(), "a");
        EXPECT_EQ(challenge.error(), "invalid_token");
    }
}

}  // namespace
}  // namespace mcp
