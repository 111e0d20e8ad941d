#include "mcp/oauth/client/configuration/oauth_scope_selector.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using Scopes = std::set<std::string>;
using Supported = std::optional<std::vector<std::string>>;

TEST(DefaultOAuthScopeSelector, SelectsTheChallengeScopeElseTheSupportedOnes) {
    const struct {
        std::string_view name;
        std::optional<std::string> challenge;
        Supported supported;
        std::optional<Scopes> want;
    } cases[] = {
        {"challenge scope", "read write", Supported{{"admin"}}, Scopes{"read", "write"}},
        {"blank challenge scope ignores supported", "   ", Supported{{"read"}}, std::nullopt},
        {"empty challenge scope", "", Supported{{"read"}}, std::nullopt},
        {"repeated names and mixed blanks", " a\tb\n\na  b\r\n", std::nullopt, Scopes{"a", "b"}},
        {"unicode spaces separate", "a\u00A0b\u2003c", std::nullopt, Scopes{"a", "b", "c"}},
        {"case matters", "Read read", std::nullopt, Scopes{"Read", "read"}},
        {"supported scopes", std::nullopt, Supported{{"read", "write"}}, Scopes{"read", "write"}},
        {"supported: blank entries dropped, others kept as written", std::nullopt,
         Supported{{"", " \t ", "two words", " padded ", "\n", "\u3000"}},
         Scopes{"two words", " padded ", "\n"}},
        {"supported absent", std::nullopt, std::nullopt, std::nullopt},
        {"supported empty", std::nullopt, Supported{std::vector<std::string>{}}, std::nullopt},
        {"supported only blanks", std::nullopt, Supported{{" ", "\t"}}, std::nullopt},
    };
    const DefaultOAuthScopeSelector selector;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(selector.selectScopes(row.challenge, row.supported), row.want);
    }
}

TEST(DefaultOAuthScopeSelector, SerializesInByteOrderAndReadsItBack) {
    const DefaultOAuthScopeSelector selector;
    EXPECT_EQ(selector.serialize({"b", "a", "C"}), "C a b");
    EXPECT_EQ(selector.serialize({}), std::nullopt);
    EXPECT_EQ(selector.serialize({"only"}), "only");
    const Scopes scopes{"mcp:tools", "files.read", "Z"};
    EXPECT_EQ(selector.parseScopeString(*selector.serialize(scopes)), scopes);
    EXPECT_TRUE(selector.parseScopeString(" \t\n").empty());
}

}  // namespace
}  // namespace mcp
