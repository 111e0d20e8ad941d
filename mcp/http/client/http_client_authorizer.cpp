#include "mcp/http/client/http_client_authorizer.hpp"

namespace mcp {

boost::asio::awaitable<void> HTTPClientAuthorizer::prepareAuthorization(const boost::urls::url&, net::HTTPClient&) {
    co_return;
}

}  // namespace mcp
