#include "mcp/http/http_response.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

TEST(HTTPResponse, StatusHeadersAndBodyOfEachCase) {
    const HTTPHeaders headers{{"X-A", "1"}};
    const struct {
        const char* name;
        HTTPResponse response;
        int status;
        HTTPHeaders headers;
        std::optional<std::string> body;
    } kCases[] = {
        {"accepted", HTTPResponse::Accepted{headers}, 202, headers, std::nullopt},
        {"ok", HTTPResponse::OK{headers}, 200, headers, std::nullopt},
        {"data", HTTPResponse::Data{"{}", headers}, 200, headers, "{}"},
        {"stream", HTTPResponse::Stream{AsyncQueue<std::string>::make(), headers}, 200, headers, std::nullopt},
        {"error", HTTPResponse::Error{400, MCPError::invalidRequest(), std::nullopt, {}}, 400,
         {{"Content-Type", "application/json"}},
         R"({"error":{"code":-32600,"message":"Invalid Request"},"id":null,"jsonrpc":"2.0"})"},
        {"error with session", HTTPResponse::Error{404, MCPError::invalidRequest("Session not found"), "S", {{"content-type", "text/plain"}, {"X-B", "2"}}},
         404, {{"Content-Type", "text/plain"}, {"MCP-Session-Id", "S"}, {"X-B", "2"}},
         R"({"error":{"code":-32600,"message":"Invalid Request: Session not found"},"id":null,"jsonrpc":"2.0"})"},
        {"server error", HTTPResponse::Error{500, MCPError::serverError(-32099, "Busy"), std::nullopt, {}}, 500,
         {{"Content-Type", "application/json"}}, R"({"error":{"code":-32099,"message":"Server error: Busy"},"id":null,"jsonrpc":"2.0"})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.response.statusCode(), c.status);
        EXPECT_EQ(c.response.headers(), c.headers);
        EXPECT_EQ(c.response.bodyData(), c.body);
    }
}

}  // namespace
}  // namespace mcp
