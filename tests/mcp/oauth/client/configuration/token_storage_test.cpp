#include "mcp/oauth/client/configuration/token_storage.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace mcp {
namespace {

OAuthAccessToken token(std::string value) {
    OAuthAccessToken token;
    token.value = std::move(value);
    token.tokenType = "Bearer";
    token.resource = boost::urls::url("https://api.example.com/mcp");
    return token;
}

TEST(InMemoryTokenStorage, HoldsOnlyTheLastTokenSaved) {
    InMemoryTokenStorage storage;
    EXPECT_FALSE(storage.load());
    storage.clear();
    EXPECT_FALSE(storage.load());

    storage.save(token("first"));
    storage.save(token("second"));
    const auto loaded = storage.load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->value, "second");
    EXPECT_EQ(loaded->resource, boost::urls::url("https://api.example.com/mcp"));

    storage.clear();
    EXPECT_FALSE(storage.load());
}

TEST(InMemoryTokenStorage, LoadsWholeTokensWhileOtherThreadsSaveAndClear) {
    InMemoryTokenStorage storage;
    const std::string longValue(4096, 'x');
    std::vector<std::jthread> threads;
    for (int writer = 0; writer < 4; ++writer) {
        threads.emplace_back([&, writer] {
            for (int round = 0; round < 500; ++round) {
                if ((round + writer) % 7 == 0) {
                    storage.clear();
                } else {
                    storage.save(token(writer % 2 ? longValue : "short"));
                }
            }
        });
    }
    for (int round = 0; round < 2000; ++round) {
        if (const auto loaded = storage.load()) {
            ASSERT_TRUE(loaded->value == "short" || loaded->value == longValue);
        }
    }
}

}  // namespace
}  // namespace mcp
