#include "mcp/http/http_request.hpp"

#include "mcp/http/http_header_name.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

TEST(HTTPRequest, HeaderLookupIgnoresCase) {
    const HTTPRequest request{
        .method = "POST",
        .headers = {{"Authorization", "Bearer a"}, {"content-TYPE", "application/json"}, {"AUTHORIZATION", "Bearer b"}},
        .body = std::nullopt,
        .path = std::nullopt,
    };
    EXPECT_EQ(request.header("authorization"), "Bearer a");
    EXPECT_EQ(request.header(HTTPHeaderName::contentType), "application/json");
    EXPECT_EQ(request.header(HTTPHeaderName::sessionID), std::nullopt);
    EXPECT_EQ(request.header("Authorizatio"), std::nullopt);
}

TEST(HTTPHeaderName, SpellsTheProtocolsHeaders) {
    EXPECT_EQ(HTTPHeaderName::protocolVersion, "MCP-Protocol-Version");
    EXPECT_EQ(HTTPHeaderName::sessionID, "MCP-Session-Id");
    EXPECT_EQ(HTTPHeaderName::wwwAuthenticate, "WWW-Authenticate");
    EXPECT_EQ(HTTPHeaderName::lastEventID, "Last-Event-ID");
}

}  // namespace
}  // namespace mcp
