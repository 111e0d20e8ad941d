#include "app/host/http_response_writer.hpp"

#include <gtest/gtest.h>

#include <string>

namespace app {
namespace {

constexpr std::string_view kLaunch = "0F1E2D3C-4B5A-4968-8776-655443322110";

TEST(HTTPReasonPhrase, NamesTheUsualCodesAndCallsTheRestOKOrError) {
    const struct {
        int code;
        std::string_view want;
    } kCases[] = {
        {200, "OK"}, {202, "Accepted"}, {400, "Bad Request"}, {401, "Unauthorized"}, {403, "Forbidden"},
        {404, "Not Found"}, {405, "Method Not Allowed"}, {406, "Not Acceptable"}, {411, "Length Required"},
        {415, "Unsupported Media Type"}, {204, "OK"}, {399, "OK"}, {409, "Error"}, {421, "Error"}, {500, "Error"},
    };
    for (const auto& c : kCases) EXPECT_EQ(httpReasonPhrase(c.code), c.want) << c.code;
}

TEST(HTTPResponseBytes, WritesStatusHeadersLaunchLengthAndClose) {
    const mcp::HTTPResponse response(mcp::HTTPResponse::Data{"{\"a\":1}", {{"Content-Type", "application/json"}}});
    EXPECT_EQ(httpResponseBytes(response, kLaunch),
              "HTTP/1.1 200 OK\r\n"
              "Content-Type: application/json\r\n"
              "X-Vantor-MCP-Launch: 0F1E2D3C-4B5A-4968-8776-655443322110\r\n"
              "Content-Length: 7\r\n"
              "Connection: close\r\n"
              "\r\n"
              "{\"a\":1}");
}

TEST(HTTPResponseBytes, DropsTheResponsesOwnContentLength) {
    const mcp::HTTPResponse response(
        mcp::HTTPResponse::Data{"abc", {{"content-LENGTH", "99"}, {"X-A", "1"}, {"Content-Length", "1"}}});
    EXPECT_EQ(httpResponseBytes(response, kLaunch),
              "HTTP/1.1 200 OK\r\nX-A: 1\r\nX-Vantor-MCP-Launch: 0F1E2D3C-4B5A-4968-8776-655443322110\r\n"
              "Content-Length: 3\r\nConnection: close\r\n\r\nabc");
}

TEST(HTTPResponseBytes, AcceptedHasNoBody) {
    EXPECT_EQ(httpResponseBytes(mcp::HTTPResponse::Accepted{}, kLaunch),
              "HTTP/1.1 202 Accepted\r\nX-Vantor-MCP-Launch: 0F1E2D3C-4B5A-4968-8776-655443322110\r\n"
              "Content-Length: 0\r\nConnection: close\r\n\r\n");
}

TEST(HTTPResponseBytes, ErrorsCarryTheirJSONRPCErrorAndPhrase) {
    const mcp::HTTPResponse response(
        mcp::HTTPResponse::Error{421, mcp::MCPError::invalidRequest("Misdirected Request: x"), std::nullopt, {}});
    const auto bytes = httpResponseBytes(response, kLaunch);
    const auto body = *response.bodyData();
    EXPECT_EQ(bytes, "HTTP/1.1 421 Error\r\nContent-Type: application/json\r\n"
                     "X-Vantor-MCP-Launch: 0F1E2D3C-4B5A-4968-8776-655443322110\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

}  // namespace
}  // namespace app
