// The fixture server of the protocol's conformance suite: an MCP server over the stateful
// HTTP transport (sessions, event streams, loopback Host and Origin checks) offering the
// tools, resources, prompts and completions that the suite's server scenarios ask for.
//
//     conformance_server 0
//
// listens on a free loopback port and prints its endpoint, "http://127.0.0.1:PORT/mcp", on
// the first line of its output; it runs until it is killed.

#include "fixture_server.hpp"

#include "examples/http_listener/loopback_server.hpp"
#include "examples/http_listener/session_table.hpp"

#include <boost/asio/any_io_executor.hpp>

#include <cstdint>
#include <memory>

// How long a client waits before it resumes a stream the server closed (test_reconnection's).
constexpr std::int64_t kRetryInterval = 500;

int main(int argc, char** argv) {
    namespace asio = boost::asio;
    // A full run of the suite leaves a few dozen ended sessions in the table.
    return example::serveOnLoopback("conformance_server", argc, argv, "", [](const asio::any_io_executor& executor) {
        auto sessions = std::make_shared<example::SessionTable>(executor, fixture::makeServer, kRetryInterval);
        return std::make_shared<const example::RequestHandler>(
            [sessions](mcp::HTTPRequest request) { return sessions->handle(std::move(request)); });
    });
}
