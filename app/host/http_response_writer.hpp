#pragma once

#include "mcp/http/http_response.hpp"

#include <string>
#include <string_view>

namespace app {

// httpReasonPhrase: the phrase of the status line: the usual phrase for 200, 202, 400, 401,
// 403, 404, 405, 406, 411 and 415; "OK" for any other code below 400 and "Error" for any other
// code from 400 up (so 421 and 500 read "Error").
std::string_view httpReasonPhrase(int statusCode) noexcept;

// httpResponseBytes: the whole reply to write to the connection, head and body: the status
// line, the response's own headers except any Content-Length (in any letter case), then
// "X-Vantor-MCP-Launch" with launchID, "Content-Length" with the body's length and
// "Connection: close", a blank line and the body (empty when the response has none).
// A Stream response is written without its body: the host serves no event streams.
std::string httpResponseBytes(const mcp::HTTPResponse& response, std::string_view launchID);

}  // namespace app
