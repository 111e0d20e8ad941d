#pragma once

// ProtectedMCPServer: an MCP server without sessions, built from the library as
// examples/stateless_http_server builds it, and protected as a deployment would protect it:
// its protected-resource metadata (served by the library's metadata validator) names the
// authorization server, and the library's bearer-token validator lets a message through only
// with an access token that server issued for this server's URL, which the server checks
// itself against the authorization server's signing key. Every message needs the scope "read";
// calling a tool needs "write" as well.

#include "tests/mcp/oauth/client/authorization_server_peer.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/url/url.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mcp::testing {

class ProtectedMCPServer {
public:
    // Listens on 127.0.0.1 and a free port at once, so that its URL can be given to the
    // authorization server before that starts; answers nobody before `start`.
    explicit ProtectedMCPServer(const boost::asio::any_io_executor& executor);

    // "http://127.0.0.1:<port>/mcp".
    const boost::urls::url& endpoint() const { return endpoint_; }

    // Serves on the constructor's executor, trusting the access tokens of `issuer` signed with
    // the key of `publicKeyPEM`. Call once.
    boost::asio::awaitable<void> start(std::string issuer, std::string_view publicKeyPEM);

    // Stops the MCP server and its transport (which refer to each other until then).
    boost::asio::awaitable<void> stop();

    // The requests answered so far, in arrival order, as "POST /mcp tools/call -> 403".
    std::vector<LoggedRequest> requests() const;

private:
    struct State;

    boost::asio::ip::tcp::acceptor acceptor_;
    boost::urls::url endpoint_;
    std::shared_ptr<State> state_;
};

}  // namespace mcp::testing
