#include "mcp/oauth/client/pkce.hpp"

#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <gtest/gtest.h>

#include <map>

namespace mcp {
namespace {

using Kind = OAuthAuthorizationError::Kind;

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";

TEST(PKCE, ChallengeMatchesTheRFC7636Example) {
    EXPECT_EQ(PKCE::makeChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    EXPECT_EQ(PKCE::makeChallenge("").size(), 43u);
}

TEST(PKCE, VerifierHasTheLengthAskedForFromTheUnreservedCharacters) {
    EXPECT_EQ(PKCE::makeVerifier(0), "");
    EXPECT_EQ(PKCE::makeVerifier(-3), "");
    EXPECT_EQ(PKCE::makeVerifier(1).size(), 1u);
    EXPECT_EQ(PKCE::makeVerifier(200).size(), 200u);
    const auto verifier = PKCE::makeVerifier(64);
    ASSERT_EQ(verifier.size(), 64u);
    EXPECT_EQ(verifier.find_first_not_of(kAlphabet), std::string::npos) << verifier;
    EXPECT_NE(PKCE::makeVerifier(64), verifier);
}

// With bytes 0..198 accepted, "A" (0, 66, 132 and 198) would come up 4/199 of the time instead
// of 1/66: 20100 times in 10^6 characters instead of 15152. The test allows about six standard
// deviations around the fair count.
TEST(PKCE, VerifierFavoursNoCharacter) {
    const auto verifier = PKCE::makeVerifier(1'000'000);
    std::map<char, int> counts;
    for (const char c : verifier) ++counts[c];
    ASSERT_EQ(counts.size(), kAlphabet.size());
    for (const auto& [character, count] : counts) {
        SCOPED_TRACE(std::string(1, character));
        EXPECT_GT(count, 14400);
        EXPECT_LT(count, 15900);
    }
}

TEST(PKCE, RequiresTheServerToOfferS256) {
    using Methods = std::optional<std::vector<std::string>>;
    const struct {
        std::string_view name;
        Methods methods;
        std::optional<Kind> refusal;
        std::string_view description = "";
    } cases[] = {
        {"S256", Methods{{"plain", "S256"}}, std::nullopt},
        {"s256 in lower case", Methods{{"s256"}}, std::nullopt},
        {"plain only", Methods{{"plain", "S384"}}, Kind::pkceS256NotSupported,
         "Authorization server metadata must support PKCE S256 (advertised: plain, S384)"},
        {"empty list", Methods{std::vector<std::string>{}}, Kind::pkceCodeChallengeMethodsMissing},
        {"no list", std::nullopt, Kind::pkceCodeChallengeMethodsMissing},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        OAuthAuthorizationServerMetadata metadata;
        metadata.codeChallengeMethodsSupported = row.methods;
        if (!row.refusal) {
            EXPECT_NO_THROW(requireS256Support(metadata));
            continue;
        }
        try {
            requireS256Support(metadata);
            ADD_FAILURE() << "accepted";
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_EQ(error.kind(), *row.refusal);
            if (!row.description.empty()) {
                EXPECT_EQ(error.what(), row.description);
            }
        }
    }
}

}  // namespace
}  // namespace mcp
