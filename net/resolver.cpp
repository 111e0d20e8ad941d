#include "net/resolver.hpp"

#include "net/error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>

namespace net {

namespace asio = boost::asio;
using asio::ip::tcp;

asio::awaitable<std::vector<tcp::endpoint>> SystemResolver::resolve(std::string host, std::uint16_t port) {
    tcp::resolver resolver(co_await asio::this_coro::executor);
    const auto results = co_await resolver.async_resolve(host, std::to_string(port), tcp::resolver::numeric_service,
                                                         asio::use_awaitable);
    std::vector<tcp::endpoint> endpoints;
    for (const auto& entry : results) endpoints.push_back(entry.endpoint());
    if (endpoints.empty()) throw boost::system::system_error(asio::error::host_not_found);
    co_return endpoints;
}

asio::awaitable<boost::beast::tcp_stream> TCPConnector::connect(asio::any_io_executor executor,
                                                               std::vector<tcp::endpoint> endpoints,
                                                               std::chrono::milliseconds timeout) {
    boost::system::error_code lastError = asio::error::host_not_found;
    for (const auto& endpoint : endpoints) {
        boost::beast::tcp_stream stream(executor);
        stream.expires_after(timeout);
        auto [error] = co_await stream.async_connect(endpoint, asio::as_tuple(asio::use_awaitable));
        if (!error) {
            stream.expires_never();
            // Requests go out in one write each; waiting to coalesce them only adds latency.
            stream.socket().set_option(tcp::no_delay(true), error);
            co_return stream;
        }
        // One timed-out address ends the attempt: the whole connect shares one idle timeout.
        if (error == boost::beast::error::timeout) throw boost::system::system_error(Error::timedOut);
        if (error == asio::error::operation_aborted) throw boost::system::system_error(error);
        lastError = error;
    }
    throw boost::system::system_error(lastError);
}

}  // namespace net
