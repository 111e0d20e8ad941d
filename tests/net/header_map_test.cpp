#include "net/header_map.hpp"

#include <gtest/gtest.h>

namespace net {
namespace {

TEST(HeaderMap, LooksUpNamesIgnoringCaseAndMergesRepeatedFields) {
    HeaderMap headers;
    headers.add("WWW-Authenticate", "Basic realm=\"a\"");
    headers.add("www-authenticate", "Bearer realm=\"b\"");
    headers.add("Content-Type", "text/plain");

    EXPECT_EQ(headers.get("WWW-AUTHENTICATE"), "Basic realm=\"a\", Bearer realm=\"b\"");
    EXPECT_EQ(headers.get("content-type"), "text/plain");
    EXPECT_EQ(headers.get("Content-Length"), std::nullopt);
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers.fields()[0].first, "WWW-Authenticate") << "the first spelling stays";
}

TEST(HeaderMap, SetReplacesInPlaceAndRemoveTakesEverySpelling) {
    HeaderMap headers{{"Accept", "a"}, {"Authorization", "old"}, {"Host", "h"}};
    headers.set("authorization", "Bearer new");
    EXPECT_EQ(headers.fields()[1], (HeaderMap::Field{"Authorization", "Bearer new"}));

    headers.remove("HOST");
    EXPECT_FALSE(headers.contains("Host"));
    headers.set("MCP-Session-Id", "s");
    EXPECT_EQ(headers.fields().back(), (HeaderMap::Field{"MCP-Session-Id", "s"}));
}

}  // namespace
}  // namespace net
