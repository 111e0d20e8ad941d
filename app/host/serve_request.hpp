#pragma once

#include "app/common/host_status.hpp"
#include "app/tools/tool_dispatcher.hpp"

#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"

#include "platform/scheduler.hpp"
#include "platform/settings.hpp"

#include <boost/asio/awaitable.hpp>

#include <cstddef>
#include <optional>
#include <string>

namespace app {

// The longest client name kept, in user-perceived characters.
inline constexpr std::size_t kClientNameLimit = 40;

// ServingContext: what the server of every request needs of the program. One for the
// program's life; the references must outlive every request.
struct ServingContext {
    platform::Scheduler& main;
    // Written on the main thread: the last client's name.
    HostStatus& status;
    // Written on the main thread: "hasConnectedClient".
    platform::Settings& settings;
    ToolDispatcher& tools;
    // The program's version, announced in the initialize answer.
    std::string version;
};

// serveRequest: answers one HTTP request that the host has read with a fresh MCP server and
// a fresh stateless transport, dropped when the answer is made: nothing of an MCP session
// outlives the request, and tools are served without an initialize.
//
// The transport refuses what isn't a POST with one JSON-RPC message, then runs, in order: the
// access check against token (401 without it), the Origin and Host check for loopback names,
// Accept (JSON), Content-Type and the protocol version. tools/list gives the catalogue;
// tools/call goes to the context's dispatcher on the main thread, and whatever it throws
// becomes a tool result flagged as an error, never a JSON-RPC error.
//
// A request that carries the client header and the token has its client recorded (HostStatus
// lastClient, "hasConnectedClient") before it is validated; an initialize records the client
// info's title, else its name.
//
// Always yields a response: 500 with an internal error when the server can't start. Runs on
// the caller's executor, which should be a strand; many requests may be served at once.
boost::asio::awaitable<mcp::HTTPResponse> serveRequest(mcp::HTTPRequest request, std::string token,
                                                       const ServingContext& context);

// clientNameFromHeader: the client name a request's client header gives: the value
// percent-decoded ("+" stays "+") and tidied to kClientNameLimit characters, a cut one ending in
// "…" (tidyShown); absent when there is no header, an escape is malformed or the decoded bytes
// are not UTF-8.
std::optional<std::string> clientNameFromHeader(const std::optional<std::string>& value);

}  // namespace app
