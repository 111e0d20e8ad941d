#include "mcp/http/client/http_authentication_challenge_error.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

TEST(HTTPAuthenticationChallengeError, CarriesTheReplysStatusAndHeadersToItsCatcher) {
    const HTTPHeaders headers{{"www-authenticate", R"(Bearer error="insufficient_scope", scope="write")"},
                              {"Content-Type", "application/json"}};
    try {
        throw HTTPAuthenticationChallengeError(403, headers);
    } catch (const std::exception& thrown) {
        const auto* challenge = dynamic_cast<const HTTPAuthenticationChallengeError*>(&thrown);
        ASSERT_NE(challenge, nullptr);
        EXPECT_EQ(challenge->statusCode(), 403);
        EXPECT_EQ(challenge->headers(), headers);
    }
}

}  // namespace
}  // namespace mcp
